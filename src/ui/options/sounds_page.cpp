#include "ui/options/sounds_page.h"

#include "core/options/options_sheet.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/options/browse_button.h"
#include "ui/panes/file_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

constexpr int kWaveSize = 256; // at most 255 characters
constexpr int kWaveFilterId = 1023;
constexpr int kWaveTitleId = 1022;

// The kinds' boxes, in AlertKind order, and the group each one belongs to.
struct KindControl {
    const char16_t* text;
    int group; // 0 Connection Status, 1 Transfer Status, 2 none
};
constexpr KindControl kKinds[kAlertKindCount] = {
    {u"&Success", 0}, {u"&Failure", 0}, {u"Su&ccess", 1}, {u"Fai&lure", 1}, {u"&Errors", 2}};

} // namespace

SoundsPage::SoundsPage(OptionsSheet& sheet, const Messages& messages, QWidget* parent)
    : OptionsPageWidget(parent), m_sheet(sheet), m_messages(messages) {
    setObjectName(QStringLiteral("soundsPage"));
    const DialogUnits du;
    const QString browseTitle = LookupString(kWaveTitleId).value_or(QString());

    m_level = new QComboBox(this);
    m_level->setObjectName(QStringLiteral("100"));
    m_level->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* levelLabel = new QLabel(QStringLiteral("&Alert Level"), this);
    levelLabel->setBuddy(m_level);
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(levelLabel);
    levelRow->addWidget(m_level);
    levelRow->addStretch();

    const std::array<QGroupBox*, 3> groups = {
        new QGroupBox(QStringLiteral("Connection Status"), this),
        new QGroupBox(QStringLiteral("Transfer Status"), this),
        new QGroupBox(QStringLiteral("FTP Errors"), this)};
    std::array<QGridLayout*, 3> grids{};
    for (std::size_t g = 0; g < groups.size(); ++g) {
        grids[g] = new QGridLayout(groups[g]);
        grids[g]->setColumnStretch(1, 1);
    }
    std::array<int, 3> rows{};
    for (int k = 0; k < kAlertKindCount; ++k) {
        const auto i = std::size_t(k);
        m_checks[i] = new QCheckBox(QString::fromUtf16(kKinds[i].text), this);
        m_checks[i]->setObjectName(QString::number(101 + k));
        m_waves[i] = new QLineEdit(this);
        m_waves[i]->setObjectName(QString::number(201 + k));
        m_waves[i]->setMaxLength(kWaveSize - 1);
        m_waves[i]->setAccessibleName(AlertKindName(k));
        m_browse[i] = MakeBrowseButton(this, QString::number(301 + k), browseTitle);
        m_play[i] = new QToolButton(this);
        m_play[i]->setObjectName(QStringLiteral("playButton%1").arg(k + 1));
        m_play[i]->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
        m_play[i]->setIconSize(QSize(12, 12));
        m_play[i]->setToolTip(QStringLiteral("Play"));
        m_play[i]->setAccessibleName(QStringLiteral("Play"));

        const auto g = std::size_t(kKinds[i].group);
        const int row = rows[g]++;
        grids[g]->addWidget(m_checks[i], row, 0);
        grids[g]->addWidget(m_waves[i], row, 1);
        grids[g]->addWidget(m_browse[i], row, 2);
        grids[g]->addWidget(m_play[i], row, 3);

        connect(m_checks[i], &QCheckBox::clicked, this, [this, k] {
            m_checks[std::size_t(k)]->setChecked(m_sheet.toggleSoundActive(k));
            updateEnabling();
        });
        connect(m_browse[i], &QToolButton::clicked, this, [this, k] { browse(k); });
        connect(m_play[i], &QToolButton::clicked, this, [this, k] { play(k); });
    }
    connect(m_level, &QComboBox::currentIndexChanged, this, [this] { updateEnabling(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->addLayout(levelRow);
    for (QGroupBox* group : groups)
        layout->addWidget(group);
    layout->addStretch();
}

void SoundsPage::activate() {
    const SoundsFields fields = m_sheet.soundsFields();
    {
        const QSignalBlocker block(m_level);
        m_level->clear();
        m_level->addItems({QStringLiteral("Silent"), QStringLiteral("Simple Beeps"),
                           QStringLiteral("Play Wave Files")});
        m_level->setCurrentIndex(fields.level);
    }
    for (std::size_t k = 0; k < m_checks.size(); ++k) {
        m_checks[k]->setChecked(fields.active[k]);
        SetEditText(m_waves[k], fields.waveFiles[k], kWaveSize);
    }
    updateEnabling();
}

// The level is stored as it is chosen, so the enabling and the copy agree.
void SoundsPage::updateEnabling() {
    m_sheet.storeAlertLevel(m_level->currentIndex());
    std::array<bool, kAlertKindCount> active{};
    for (std::size_t k = 0; k < active.size(); ++k)
        active[k] = m_checks[k]->isChecked();
    const SoundsEnabling e = ComputeSoundsEnabling(m_level->currentIndex(), active);
    for (std::size_t k = 0; k < active.size(); ++k) {
        m_checks[k]->setEnabled(e.check[k]);
        m_waves[k]->setEnabled(e.wave[k]);
        m_browse[k]->setEnabled(e.wave[k]);
        m_play[k]->setEnabled(e.wave[k]);
    }
}

bool SoundsPage::store() {
    SoundsFields shown;
    shown.level = m_level->currentIndex();
    for (std::size_t k = 0; k < m_checks.size(); ++k) {
        shown.active[k] = m_checks[k]->isChecked();
        shown.waveFiles[k] = GetEditText(m_waves[k], kWaveSize);
    }
    const std::optional<int> failed = m_sheet.storeSounds(shown);
    if (!failed)
        return true;
    SelectEditText(m_waves[std::size_t(*failed)]);
    return false;
}

void SoundsPage::browse(int kind) {
    QLineEdit* edit = m_waves[std::size_t(kind)];
    m_sheet.storeWaveFile(kind, GetEditText(edit, kWaveSize));
    QString path = GetEditText(edit, kWaveSize);
    if (OpenFileDialog(this, path, kWaveFilterId, kWaveTitleId))
        SetEditText(edit, path, kWaveSize);
    updateEnabling();
}

void SoundsPage::play(int kind) {
    const QString path = GetEditText(m_waves[std::size_t(kind)], kWaveSize);
    if (path.isEmpty() || !m_messages.port().playWave(path))
        m_messages.Beep();
}

} // namespace tw::ui
