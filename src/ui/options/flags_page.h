#pragma once

#include "core/options/options_sheet.h"
#include "ui/options/options_page.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace tw::ui {

// The General, Transfer and Sorting pages: one check box per option flag, in the page's order;
// the Transfer page adds the block-size combo after its second box and the number of the
// transfer queue's connections at its end.
class FlagsPage : public OptionsPageWidget {
public:
    FlagsPage(OptionsSheet& sheet, OptionsPage page, QWidget* parent = nullptr);

    void activate() override;
    bool store() override;

    QCheckBox* check(int controlId) const;
    QComboBox* blockSizes() const { return m_blockSizes; }
    QSpinBox* connections() const { return m_connections; }

private:
    OptionsSheet& m_sheet;
    OptionsPage m_page;
    std::vector<QCheckBox*> m_checks;
    QComboBox* m_blockSizes = nullptr;
    QSpinBox* m_connections = nullptr;
};

} // namespace tw::ui
