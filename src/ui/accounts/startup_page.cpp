#include "ui/accounts/startup_page.h"

#include "ui/dialogs/control_names.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

constexpr int kPortDigits = 10;

QLineEdit* makeEdit(QWidget* parent, const char* name, int limit) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(limit);
    return edit;
}

// The sort keys in their order, so that the selected index is the key 0-3.
QComboBox* makeSortList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems({QStringLiteral("by Name"), QStringLiteral("by Date"), QStringLiteral("by Size"),
                    QStringLiteral("by Type")});
    return list;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

StartupPage::StartupPage(AccountsSheet& sheet, const QString& browseTitle, QWidget* parent)
    : QWidget(parent), m_sheet(sheet), m_browseTitle(browseTitle) {
    setObjectName(QStringLiteral("startupPage"));
    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("accountName"));
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);

    m_localPath = makeEdit(this, "localPathEdit", kAccountPathLimit);
    m_browse = new QToolButton(this);
    m_browse->setObjectName(QStringLiteral("browseButton"));
    m_browse->setIcon(QIcon::fromTheme(QStringLiteral("folder-open"),
                                       style()->standardIcon(QStyle::SP_DirOpenIcon)));
    m_browse->setIconSize(QSize(12, 12));
    m_browse->setToolTip(browseTitle);
    m_browse->setAccessibleName(browseTitle);
    m_localMask = makeEdit(this, "localMaskEdit", kAccountMaskLimit);
    m_localSort = makeSortList(this, "localSortList");
    m_localExclude = makeEdit(this, "localExcludeEdit", kAccountExcludeLimit);
    m_remotePath = makeEdit(this, "remotePathEdit", kAccountPathLimit);
    m_remoteMask = makeEdit(this, "remoteMaskEdit", kAccountMaskLimit);
    m_remoteSort = makeSortList(this, "remoteSortList");
    m_remoteExclude = makeEdit(this, "remoteExcludeEdit", kAccountExcludeLimit);
    m_port = makeEdit(this, "portEdit", kPortDigits);
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    m_passive = new QCheckBox(QStringLiteral("Passive &Connection"), this);
    m_passive->setObjectName(QStringLiteral("passiveCheck"));

    auto* local = new QGroupBox(QStringLiteral("Local"), this);
    auto* localForm = new QFormLayout(local);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_localPath, 1);
    pathRow->addWidget(m_browse);
    localForm->addRow(buddyLabel(QStringLiteral("&Folder"), m_localPath, local), pathRow);
    localForm->addRow(buddyLabel(QStringLiteral("&Mask"), m_localMask, local), m_localMask);
    localForm->addRow(buddyLabel(QStringLiteral("S&ort"), m_localSort, local), m_localSort);
    localForm->addRow(buddyLabel(QStringLiteral("E&xclude"), m_localExclude, local),
                      m_localExclude);

    auto* remote = new QGroupBox(QStringLiteral("Remote"), this);
    auto* remoteForm = new QFormLayout(remote);
    remoteForm->addRow(buddyLabel(QStringLiteral("Pat&h"), m_remotePath, remote), m_remotePath);
    remoteForm->addRow(buddyLabel(QStringLiteral("M&ask"), m_remoteMask, remote), m_remoteMask);
    remoteForm->addRow(buddyLabel(QStringLiteral("&Sort"), m_remoteSort, remote), m_remoteSort);
    remoteForm->addRow(buddyLabel(QStringLiteral("Exc&lude"), m_remoteExclude, remote),
                       m_remoteExclude);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_port);
    portRow->addSpacing(12);
    portRow->addWidget(m_passive);
    portRow->addStretch(1);
    remoteForm->addRow(buddyLabel(QStringLiteral("Po&rt"), m_port, remote), portRow);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    layout->addWidget(local);
    layout->addWidget(remote);
    layout->addStretch(1);

    connect(m_browse, &QToolButton::clicked, this, &StartupPage::onBrowse);
}

void StartupPage::show(const StartupView& view) {
    const StartupFields& f = view.fields;
    m_name->setText(view.name);
    m_localPath->setText(f.localPath);
    m_localMask->setText(f.localMask);
    m_localSort->setCurrentIndex(f.localSort >= 0 && f.localSort <= 3 ? f.localSort : -1);
    m_localExclude->setText(f.localExclude);
    m_remotePath->setText(f.remotePath);
    m_remoteMask->setText(f.remoteMask);
    m_remoteSort->setCurrentIndex(f.remoteSort >= 0 && f.remoteSort <= 3 ? f.remoteSort : -1);
    m_remoteExclude->setText(f.remoteExclude);
    m_port->setText(f.remotePort);
    m_passive->setChecked(f.passive);
    const bool any = m_sheet.hasCurrentAccount();
    for (QWidget* w : findChildren<QWidget*>())
        if (w != m_name && !qobject_cast<QLabel*>(w))
            w->setEnabled(any);
    m_passive->setEnabled(any && view.passiveEnabled); // greyed, not hidden, for SFTP
    NameControlsByText(this);
}

StartupFields StartupPage::fields() const {
    return {m_localPath->text(),          m_localMask->text(),     m_localSort->currentIndex(),
            m_localExclude->text(),       m_remotePath->text(),    m_remoteMask->text(),
            m_remoteSort->currentIndex(), m_remoteExclude->text(), m_port->text(),
            m_passive->isChecked()};
}

void StartupPage::onBrowse() {
    m_sheet.storeLocalPath(m_localPath->text());
    const QString folder =
        QFileDialog::getExistingDirectory(this, m_browseTitle, m_localPath->text());
    if (!folder.isEmpty())
        m_localPath->setText(folder);
}

} // namespace tw::ui
