#include "ui/options/setup_page.h"

#include "core/options/options_sheet.h"
#include "core/setup/desktop_shortcuts.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/options/page_items.h"

#include <QCheckBox>
#include <QLabel>

namespace tw::ui {

namespace {

const QString kProgramName = QStringLiteral("Tarnwick 2000");

// A text of the page with the program's name in place of its "%s".
QLabel* text(QWidget* page, const DialogUnits& du, int id, const QString& format, PageItem at) {
    return AddStaticText(page, du, id, QString(format).replace(QStringLiteral("%s"), kProgramName),
                         at);
}

} // namespace

SetupPage::SetupPage(OptionsSheet& sheet, QWidget* parent)
    : OptionsPageWidget(parent), m_sheet(sheet) {
    setObjectName(QStringLiteral("setupPage"));
    setFont(DialogUnits::dialogFont());
    const DialogUnits du(font());
    setMinimumSize(du.size(320, 172));

    AddPicture(this, du, 1999, {7, 7, 104, 159}, true);
    text(this, du, 104,
         QStringLiteral("To include or remove %s from the applications menu check one of the "
                        "boxes below."),
         {120, 10, 190, 16});
    AddPicture(this, du, 1000, {135, 32, 18, 20}, false);
    AddEtchedLine(this, du, 60);
    text(this, du, 101,
         QStringLiteral("To display or delete the %s program icon on the desktop check the "
                        "boxes below."),
         {120, 65, 190, 16});
    AddPicture(this, du, 2880, {135, 87, 18, 20}, false);
    AddEtchedLine(this, du, 115);
    text(this, du, 107,
         QStringLiteral("To run %s automatically when you log in check the box below."),
         {120, 120, 190, 16});
    AddPicture(this, du, 2585, {135, 142, 18, 20}, false);

    struct Box {
        int id;
        const char16_t* text;
        PageItem at;
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
        const PageItem at = boxes[i].at;
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
