#include "ui/dialogs/exit_confirm_dialog.h"

#include "core/text/format.h"
#include "core/text/string_table.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/dialogs/message_box_dialog.h"
#include "ui/dialogs/program_icons.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <deque>
#include <mutex>
#include <optional>

namespace tw::ui {

namespace {

constexpr int kIconSide = 32;
constexpr int kProgramNameId = 1000;
constexpr int kProgramTitleId = 1002;

struct TestHookState {
    std::mutex mutex;
    std::deque<ExitConfirmAnswer> answers;
    int asked = 0;
};

TestHookState& hookState() {
    static TestHookState state;
    return state;
}

std::optional<ExitConfirmAnswer> takeTestAnswer() {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    if (hook.answers.empty())
        return std::nullopt;
    const ExitConfirmAnswer answer = hook.answers.front();
    hook.answers.pop_front();
    ++hook.asked;
    return answer;
}

QString text(int id) {
    return LookupString(id).value_or(QString());
}

} // namespace

ExitConfirmDialog::ExitConfirmDialog(QWidget* owner, const std::uint32_t* confirmFlag)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("ExitConfirm"));
    const DialogUnits du;
    setFont(du.font());
    setFixedSize(du.size(230, 76));
    SetDialogIcon(this, 1000);

    const QString name = text(kProgramNameId);
    const QString title = text(kProgramTitleId);
    setWindowTitle(FormatText(QStringLiteral(" Exit %s"), {title}, kFetchedTextLimit));

    auto* icon = new QLabel(this);
    icon->setGeometry(QRect(du.point(9, 8), QSize(kIconSide, kIconSide)));
    icon->setPixmap(ProgramIconPixmap(1000, QSize(kIconSide, kIconSide), devicePixelRatioF()));

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("101"));
    m_text->setGeometry(du.rect(37, 10, 190, 16));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setText(BoxDisplayText(FormatText(
        QStringLiteral("You are about to exit %s.\rAre you sure you want to quit %s at this time?"),
        {title, name}, kFetchedTextLimit)));

    m_yes = new QPushButton(QStringLiteral("&Yes"), this);
    m_yes->setObjectName(QStringLiteral("1"));
    m_yes->setGeometry(du.rect(58, 54, 46, 14));
    m_yes->setDefault(true);
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);

    m_no = new QPushButton(QStringLiteral("&No"), this);
    m_no->setObjectName(QStringLiteral("2"));
    m_no->setGeometry(du.rect(124, 54, 46, 14));
    m_no->setAutoDefault(true);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);

    m_check = new QCheckBox(this);
    m_check->setObjectName(QStringLiteral("102"));
    m_check->setGeometry(du.rect(50, 35, 155, 8));
    if (confirmFlag) {
        m_check->setText(
            FormatText(QStringLiteral("&Always Confirm %s Exits"), {name}, kFetchedTextLimit));
        m_check->setChecked(*confirmFlag != 0);
    } else {
        m_check->hide();
    }

    // The tab order of the template: Yes, No, then the check box.
    setTabOrder(m_yes, m_no);
    setTabOrder(m_no, m_check);
    m_yes->setFocus(Qt::OtherFocusReason);
    CenterWindowOnMonitor(this);
}

bool ExitConfirmDialog::alwaysConfirm() const {
    return m_check->isChecked();
}

bool ConfirmExit(QWidget* owner, std::uint32_t* confirmFlag) {
    if (confirmFlag && *confirmFlag == 0)
        return true;
    bool yes = false;
    bool keep = true;
    if (const std::optional<ExitConfirmAnswer> answer = takeTestAnswer()) {
        yes = answer->yes;
        keep = answer->alwaysConfirm;
    } else {
        ExitConfirmDialog dialog(owner, confirmFlag);
        yes = dialog.exec() == QDialog::Accepted;
        keep = dialog.alwaysConfirm();
    }
    if (!yes)
        return false;
    if (confirmFlag)
        *confirmFlag = keep ? 1 : 0;
    return true;
}

void ExitConfirmTestHook::pushAnswers(std::initializer_list<ExitConfirmAnswer> answers) {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    hook.answers.insert(hook.answers.end(), answers);
}

std::size_t ExitConfirmTestHook::pendingAnswers() {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    return hook.answers.size();
}

int ExitConfirmTestHook::askedCount() {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    return hook.asked;
}

void ExitConfirmTestHook::clear() {
    TestHookState& hook = hookState();
    std::lock_guard lock(hook.mutex);
    hook.answers.clear();
    hook.asked = 0;
}

} // namespace tw::ui
