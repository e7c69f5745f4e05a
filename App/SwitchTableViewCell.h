#pragma once
#include "Platform/UI/TableViewCell.h"

#include <memory>
#include <string>

namespace ui {
class Switch;
}

// The settings row with the show-all-customers switch at its right.
class SwitchTableViewCell : public ui::TableViewCell {
public:
    SwitchTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier);
    const char* className() const override { return "SwitchTableViewCell"; }

    // Made on first use, on when hidden customers are shown.
    const std::shared_ptr<ui::Switch>& switchShowAll();
    // Stores the choice and tells the customer list.
    virtual void switchValueChanged(ui::Switch& control);
    void layoutSubviews() override;

protected:
    struct WithoutShowAllSwitch {};
    SwitchTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier, WithoutShowAllSwitch);
    // The switch at the right edge of the content view, centred; the title makes room.
    void placeSwitch(ui::Switch& control);

private:
    std::shared_ptr<ui::Switch> m_switchShowAll;
};
