#include "ui/options/flags_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tw::ui {

namespace {
// The Transfer page's combo follows its second check box.
constexpr std::size_t kBlockSizeRow = 2;
} // namespace

FlagsPage::FlagsPage(OptionsSheet& sheet, OptionsPage page, QWidget* parent)
    : OptionsPageWidget(parent), m_sheet(sheet), m_page(page) {
    setObjectName(QStringLiteral("optionsPage%1").arg(int(page)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(10);
    const auto checks = OptionChecks(page);
    for (std::size_t i = 0; i < checks.size(); ++i) {
        if (page == OptionsPage::Transfer && i == kBlockSizeRow) {
            m_blockSizes = new QComboBox(this);
            m_blockSizes->setObjectName(QStringLiteral("107"));
            auto* label = new QLabel(QStringLiteral("&Transfer Block Size"), this);
            label->setBuddy(m_blockSizes);
            auto* row = new QHBoxLayout;
            row->addWidget(label);
            row->addWidget(m_blockSizes);
            row->addWidget(new QLabel(QStringLiteral("Bytes"), this));
            row->addStretch();
            layout->addLayout(row);
        }
        auto* box = new QCheckBox(QString::fromUtf16(checks[i].text), this);
        box->setObjectName(QString::number(checks[i].controlId));
        layout->addWidget(box);
        m_checks.push_back(box);
    }
    if (page == OptionsPage::Transfer) {
        m_connections = new QSpinBox(this);
        m_connections->setObjectName(QStringLiteral("109"));
        m_connections->setRange(1, int(kMaxConnections));
        auto* label = new QLabel(QStringLiteral("Parallel Transfer &Connections"), this);
        label->setBuddy(m_connections);
        m_connections->setAccessibleName(label->text().remove(u'&'));
        auto* row = new QHBoxLayout;
        row->addWidget(label);
        row->addWidget(m_connections);
        row->addStretch();
        layout->addLayout(row);
    }
    layout->addStretch();
}

QCheckBox* FlagsPage::check(int controlId) const {
    const auto checks = OptionChecks(m_page);
    for (std::size_t i = 0; i < checks.size(); ++i)
        if (checks[i].controlId == controlId)
            return m_checks[i];
    return nullptr;
}

void FlagsPage::activate() {
    const std::vector<bool> flags = m_sheet.flags(m_page);
    for (std::size_t i = 0; i < m_checks.size() && i < flags.size(); ++i)
        m_checks[i]->setChecked(flags[i]);
    if (m_blockSizes) {
        m_blockSizes->clear();
        for (const int size : kBlockSizes)
            m_blockSizes->addItem(QString::number(size));
        m_blockSizes->setCurrentIndex(m_sheet.blockSizeIndex());
    }
    if (m_connections)
        m_connections->setValue(m_sheet.connections());
}

bool FlagsPage::store() {
    std::vector<bool> flags;
    flags.reserve(m_checks.size());
    for (const QCheckBox* box : m_checks)
        flags.push_back(box->isChecked());
    m_sheet.storeFlags(m_page, flags);
    if (m_blockSizes)
        m_sheet.storeBlockSizeIndex(m_blockSizes->currentIndex());
    if (m_connections)
        m_sheet.storeConnections(m_connections->value());
    return true;
}

} // namespace tw::ui
