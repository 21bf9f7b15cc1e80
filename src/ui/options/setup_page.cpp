#include "ui/options/setup_page.h"

#include "core/options/options_sheet.h"
#include "core/setup/desktop_shortcuts.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/dialogs/program_icons.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>

namespace tw::ui {

namespace {

const QString kProgramName = QStringLiteral("Tarnwick 2000");

struct Item {
    int x, y, cx, cy;
};

QLabel* picture(QWidget* page, const DialogUnits& du, int iconId, Item at, bool sunken) {
    auto* label = new QLabel(page);
    label->setGeometry(du.rect(at.x, at.y, at.cx, at.cy));
    const QSize size =
        sunken ? label->size() - QSize(4, 4) : QSize(32, 32).boundedTo(label->size());
    label->setPixmap(ProgramIconPixmap(iconId, size, page->devicePixelRatioF()));
    label->setAlignment(Qt::AlignCenter);
    if (sunken)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QLabel* text(QWidget* page, const DialogUnits& du, const QString& format, Item at) {
    auto* label = new QLabel(QString(format).replace(QStringLiteral("%s"), kProgramName), page);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(du.rect(at.x, at.y, at.cx, at.cy));
    return label;
}

void line(QWidget* page, const DialogUnits& du, int y) {
    auto* rule = new QFrame(page);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rule->setGeometry(du.rect(118, y, 195, 1).adjusted(0, -1, 0, 1));
}

} // namespace

SetupPage::SetupPage(OptionsSheet& sheet, QWidget* parent)
    : OptionsPageWidget(parent), m_sheet(sheet) {
    setObjectName(QStringLiteral("setupPage"));
    setFont(DialogUnits::dialogFont());
    const DialogUnits du(font());
    setMinimumSize(du.size(320, 172));

    picture(this, du, 1999, {7, 7, 104, 159}, true);
    text(this, du,
         QStringLiteral("To include or remove %s from the applications menu check one of the "
                        "boxes below."),
         {120, 10, 190, 16})
        ->setObjectName(QStringLiteral("104"));
    picture(this, du, 1000, {135, 32, 18, 20}, false);
    line(this, du, 60);
    text(this, du,
         QStringLiteral("To display or delete the %s program icon on the desktop check the "
                        "boxes below."),
         {120, 65, 190, 16})
        ->setObjectName(QStringLiteral("101"));
    picture(this, du, 2880, {135, 87, 18, 20}, false);
    line(this, du, 115);
    text(this, du, QStringLiteral("To run %s automatically when you log in check the box below."),
         {120, 120, 190, 16})
        ->setObjectName(QStringLiteral("107"));
    picture(this, du, 2585, {135, 142, 18, 20}, false);

    struct Box {
        int id;
        const char16_t* text;
        Item at;
    };
    // In the order of the requests: create / remove for the menu, the desktop, autostart.
    const Box boxes[] = {
        {105, u"&Create an Applications Menu Item", {170, 32, 140, 10}},
        {106, u"&Remove this Applications Menu Item", {170, 44, 140, 10}},
        {102, u"Create a &Desktop Icon", {170, 87, 140, 10}},
        {103, u"Remove &Icon from the Desktop", {170, 99, 140, 10}},
        {108, u"Create an &Autostart Item", {170, 142, 140, 10}},
        {109, u"Remove this A&utostart Item", {170, 154, 140, 10}},
    };
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        auto* box = new QCheckBox(QString::fromUtf16(boxes[i].text), this);
        box->setObjectName(QString::number(boxes[i].id));
        const Item at = boxes[i].at;
        box->setGeometry(du.rect(at.x, at.y - 1, at.cx, at.cy + 2));
        m_boxes[i] = box;
    }
}

void SetupPage::activate() {
    const SetupBoxes state = m_sheet.setupBoxes(ShortcutExists);
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i]->setEnabled(state[i].enabled);
        m_boxes[i]->setChecked(state[i].checked);
    }
}

bool SetupPage::store() {
    std::array<bool, 6> checked{};
    for (std::size_t i = 0; i < m_boxes.size(); ++i)
        checked[i] = m_boxes[i]->isChecked();
    m_sheet.storeSetup(checked);
    return true;
}

} // namespace tw::ui
