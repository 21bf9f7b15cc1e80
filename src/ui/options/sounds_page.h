#pragma once

#include "core/state/app_state.h"
#include "ui/options/options_page.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;

namespace tw {
class Messages;
class OptionsSheet;
} // namespace tw

namespace tw::ui {

// The Sounds page: the alert level and, for each kind of warning, whether it sounds and the
// wave file it plays, with a browse and a play button beside each file. Object names: "100"
// (level), "101"-"105" (boxes), "201"-"205" (files), "301"-"305" (browse), "playButton1"-"5".
class SoundsPage : public OptionsPageWidget {
public:
    SoundsPage(OptionsSheet& sheet, const Messages& messages, QWidget* parent = nullptr);

    void activate() override;
    bool store() override;

    QComboBox* level() const { return m_level; }
    QCheckBox* check(int kind) const { return m_checks[std::size_t(kind)]; }
    QLineEdit* waveEdit(int kind) const { return m_waves[std::size_t(kind)]; }
    QToolButton* browseButton(int kind) const { return m_browse[std::size_t(kind)]; }
    QToolButton* playButton(int kind) const { return m_play[std::size_t(kind)]; }

private:
    void updateEnabling();
    void browse(int kind);
    void play(int kind);

    OptionsSheet& m_sheet;
    const Messages& m_messages;
    QComboBox* m_level = nullptr;
    std::array<QCheckBox*, kAlertKindCount> m_checks{};
    std::array<QLineEdit*, kAlertKindCount> m_waves{};
    std::array<QToolButton*, kAlertKindCount> m_browse{};
    std::array<QToolButton*, kAlertKindCount> m_play{};
};

} // namespace tw::ui
