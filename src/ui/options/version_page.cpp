#include "ui/options/version_page.h"

#include "core/about/version_info.h"
#include "core/about/web_site.h"
#include "core/text/messages.h"
#include "ui/about/desktop_launcher.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/options/page_items.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace tw::ui {

namespace {

constexpr int kWebSiteButton = 107;

// A button text without mnemonic processing.
QString literalButtonText(const QString& text) {
    return QString(text).replace(u'&', QStringLiteral("&&"));
}

} // namespace

VersionPage::VersionPage(const Messages& messages, QWidget* parent)
    : OptionsPageWidget(parent), m_messages(messages),
      m_programPath(QCoreApplication::applicationFilePath()) {
    setObjectName(QStringLiteral("versionPage"));
    setFont(DialogUnits::dialogFont());
    const DialogUnits du(font());
    setMinimumSize(du.size(320, 172));

    AddPicture(this, du, 1999, {7, 7, 104, 159}, true);
    AddPicture(this, du, 1000, {123, 10, 18, 20}, false);

    auto* name = AddStaticText(this, du, 101, messages.LoadStringText(1002), {155, 10, 160, 8});
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    AddStaticText(this, du, 102, messages.LoadStringText(1021), {155, 20, 160, 8});
    AddStaticText(this, du, 103, messages.LoadStringText(1020), {155, 35, 160, 8});
    AddStaticText(this, du, 104, messages.LoadStringText(1019), {155, 45, 160, 8});
    AddStaticText(this, du, 108, QStringLiteral("Folder:"), {125, 60, 30, 8});
    AddStaticText(this, du, 109, QString(), {155, 60, 160, 16});
    AddEtchedLine(this, du, 80);
    AddStaticText(this, du, 105, QString(), {130, 87, 170, 32});
    AddEtchedLine(this, du, 118);
    AddStaticText(this, du, 106, QString::fromUtf16(kCommentsFallback), {130, 126, 170, 17});

    auto* web = new QPushButton(literalButtonText(QString::fromUtf16(kWebSiteAddress)), this);
    web->setObjectName(QString::number(kWebSiteButton));
    web->setAutoDefault(false);
    web->setGeometry(du.rect(155, 150, 115, 14));
    connect(web, &QPushButton::clicked, this, [this] {
        if (m_openWebSite) {
            m_openWebSite();
            return;
        }
        OpenWebSite(m_messages, std::make_shared<DesktopLauncher>());
    });
}

QWidget* VersionPage::item(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void VersionPage::activate() {
    for (const VersionItem& shown : VersionPageTexts(ProgramVersionTable(), m_programPath)) {
        if (auto* label = qobject_cast<QLabel*>(item(shown.id)))
            label->setText(shown.text);
        else if (auto* button = qobject_cast<QPushButton*>(item(shown.id)))
            button->setText(literalButtonText(shown.text));
    }
}

} // namespace tw::ui
