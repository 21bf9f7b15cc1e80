#include "ui/dialogs/message_box_dialog.h"

#include "core/text/shown_text.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/dialogs/program_icons.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

#include <algorithm>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace tw::ui {

namespace {

constexpr int kIconSide = 32;      // the size of a standard icon in pixels
constexpr int kTitleBarUnits = 16; // room kept for the window frame when the box grows

int iconIdOf(MessageBoxDialog::Kind kind) {
    switch (kind) {
    case MessageBoxDialog::Kind::Error:
        return 5500;
    case MessageBoxDialog::Kind::Info:
        return 5300;
    case MessageBoxDialog::Kind::YesNo:
        return 5400;
    }
    return 5300;
}

struct TestHookState {
    std::mutex mutex;
    std::deque<bool> answers;
    std::vector<BoxRequest> answered;
};

TestHookState& hookState() {
    static TestHookState state;
    return state;
}

// Takes the next queued test answer, recording the request; nullopt when none is queued.
std::optional<bool> takeTestAnswer(const BoxRequest& request) {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    if (hook.answers.empty())
        return std::nullopt;
    const bool answer = hook.answers.front();
    hook.answers.pop_front();
    hook.answered.push_back(request);
    return answer;
}

QPushButton* makeButton(QWidget* parent, const QString& text, int id, const QRect& geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::number(id));
    button->setGeometry(geometry);
    button->setAutoDefault(true);
    button->setAccessibleName(VisibleText(text));
    return button;
}

int showOwnBox(QWidget* owner, const BoxRequest& request) {
    MessageBoxDialog::Kind kind = MessageBoxDialog::Kind::Info;
    if (request.kind == BoxKind::Error)
        kind = MessageBoxDialog::Kind::Error;
    else if (request.kind == BoxKind::YesNo)
        kind = MessageBoxDialog::Kind::YesNo;
    int end = 0;
    {
        MessageBoxDialog box(kind, owner, request.caption, request.text, request.defaultYes);
        end = box.exec();
    }
    if (owner)
        owner->update();
    return end == MessageBoxDialog::kOk || end == MessageBoxDialog::kYes ? 1 : 0;
}

int showSystemBox(QWidget* owner, const BoxRequest& request) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (request.kind) {
    case BoxKind::SystemError:
    case BoxKind::Fatal:
        icon = QMessageBox::Critical;
        break;
    case BoxKind::SystemWarning:
        icon = QMessageBox::Warning;
        break;
    case BoxKind::SystemYesNo:
        icon = QMessageBox::Question;
        break;
    default:
        break;
    }
    const bool yesNo = request.kind == BoxKind::SystemYesNo;
    QMessageBox box(icon, request.caption, BoxDisplayText(request.text),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    if (yesNo) {
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
        box.setDefaultButton(request.defaultYes ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    NameControlsByText(&box);
    if (request.kind == BoxKind::Fatal) {
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    const int answer = box.exec();
    if (yesNo)
        return answer == QMessageBox::Yes ? 1 : 0;
    return answer == QMessageBox::Ok ? 1 : 0;
}

} // namespace

QString BoxDisplayText(const QString& text) {
    return ShownText(text, ftp::LineBreaks::Keep);
}

MessageBoxDialog::MessageBoxDialog(Kind kind, QWidget* owner, const QString& caption,
                                   const QString& text, bool defaultYes)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      m_kind(kind) {
    setObjectName(QStringLiteral("MessageBoxEx"));
    const DialogUnits du;
    setFont(du.font());
    setWindowTitle(kind == Kind::Error ? QStringLiteral("Error") : caption);
    SetDialogIcon(this, 1000);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("100"));
    m_icon->setGeometry(QRect(du.point(8, 9), QSize(kIconSide, kIconSide)));
    m_icon->setPixmap(
        ProgramIconPixmap(iconIdOf(kind), QSize(kIconSide, kIconSide), devicePixelRatioF()));

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("101"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setText(BoxDisplayText(text));
    m_text->setAccessibleName(m_text->text());
    const QSize grown = layOutText(owner);

    if (kind == Kind::YesNo) {
        m_first = makeButton(this, QStringLiteral("&Yes"), 6,
                             du.rect(72, 80, 46, 14).translated(grown.width() / 2, grown.height()));
        m_no = makeButton(this, QStringLiteral("&No"), 7,
                          du.rect(124, 80, 46, 14).translated(grown.width() / 2, grown.height()));
        connect(m_first, &QPushButton::clicked, this, [this] { done(kYes); });
        connect(m_no, &QPushButton::clicked, this, [this] { done(kNo); });
        QPushButton* chosen = defaultYes ? m_first : m_no;
        chosen->setDefault(true);
        chosen->setFocus(Qt::OtherFocusReason);
    } else {
        m_first = makeButton(this, QStringLiteral("OK"), 1,
                             du.rect(92, 80, 46, 14).translated(grown.width() / 2, grown.height()));
        connect(m_first, &QPushButton::clicked, this, [this] { done(kOk); });
        m_first->setDefault(true);
        m_first->setFocus(Qt::OtherFocusReason);
    }
    CenterWindowOnMonitor(this);
}

QSize MessageBoxDialog::layOutText(QWidget* owner) {
    // A text that fits the standard text area keeps the standard box. A longer one widens the
    // box up to its longest line and two thirds of the screen, then heightens it up to the
    // screen's height; what is still longer scrolls.
    const DialogUnits du;
    const QRect standard = du.rect(37, 8, 185, 64);
    const QSize standardBox = du.size(230, 100);
    const QScreen* screen = owner && owner->screen() ? owner->screen() : this->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 640, 480);
    const int chrome = standardBox.height() - standard.height() + du.y(kTitleBarUnits);

    int width = standard.width();
    if (m_text->heightForWidth(width) > standard.height()) {
        const QFontMetrics metrics(m_text->font());
        int longest = 0;
        for (const QString& line : m_text->text().split(u'\n'))
            longest =
                std::max(longest, metrics.horizontalAdvance(line) + metrics.averageCharWidth());
        const int widest = available.width() * 2 / 3 - (standardBox.width() - standard.width());
        width = std::clamp(longest, standard.width(), std::max(standard.width(), widest));
    }
    const int needed = std::max(standard.height(), m_text->heightForWidth(width));
    const int tallest = std::max(standard.height(), available.height() - chrome);
    const int height = std::min(needed, tallest);
    QRect area(standard.topLeft(), QSize(width, height));
    if (needed > height) {
        // The scroll bar takes its room beside the text, not from it.
        area.setWidth(width + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
        auto* scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("textArea"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidgetResizable(true);
        scroll->viewport()->setAutoFillBackground(false);
        m_text->setAutoFillBackground(false);
        scroll->setWidget(m_text);
        scroll->setGeometry(area);
        scroll->setAccessibleName(m_text->text());
    } else {
        m_text->setGeometry(area);
    }
    const QSize grown(area.width() - standard.width(), area.height() - standard.height());
    setFixedSize(standardBox + grown);
    return grown;
}

int ShowMessageBox(QWidget* owner, const BoxRequest& request) {
    if (const std::optional<bool> answer = takeTestAnswer(request))
        return *answer ? 1 : 0;
    switch (request.kind) {
    case BoxKind::Error:
    case BoxKind::Info:
    case BoxKind::YesNo:
        return showOwnBox(owner, request);
    default:
        return showSystemBox(owner, request);
    }
}

void MessageBoxTestHook::pushAnswers(std::initializer_list<bool> answers) {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    hook.answers.insert(hook.answers.end(), answers);
}

std::size_t MessageBoxTestHook::pendingAnswers() {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    return hook.answers.size();
}

std::vector<BoxRequest> MessageBoxTestHook::takeAnsweredRequests() {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    return std::exchange(hook.answered, {});
}

void MessageBoxTestHook::clear() {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    hook.answers.clear();
    hook.answered.clear();
}

} // namespace tw::ui
