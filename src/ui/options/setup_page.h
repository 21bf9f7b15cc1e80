#pragma once

#include "ui/options/options_page.h"

#include <array>

class QCheckBox;

namespace tw {
class OptionsSheet;
}

namespace tw::ui {

// The Setup page ("Desktop"): check boxes asking for the program's entry in the applications
// menu, on the desktop and in autostart, or for their removal. Each pair offers what can be
// done now: creation while the entry is missing, removal while it exists. The requests are
// carried out after OK.
class SetupPage : public OptionsPageWidget {
public:
    explicit SetupPage(OptionsSheet& sheet, QWidget* parent = nullptr);

    void activate() override;
    bool store() override;

    // The six boxes in the order of the requests (create / remove for each place).
    QCheckBox* box(int index) const { return m_boxes[std::size_t(index)]; }

private:
    OptionsSheet& m_sheet;
    std::array<QCheckBox*, 6> m_boxes{};
};

} // namespace tw::ui
