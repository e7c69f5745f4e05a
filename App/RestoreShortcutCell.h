#pragma once
#include "App/SwitchTableViewCell.h"

// A settings row with a switch to restore the login shortcuts. Nothing creates it yet.
class RestoreShortcutCell : public SwitchTableViewCell {
public:
    RestoreShortcutCell(ui::TableViewCellStyle style, std::string reuseIdentifier);
    const char* className() const override { return "RestoreShortcutCell"; }

    const std::shared_ptr<ui::Switch>& switchShowShortcut() const { return m_switchShowShortcut; }
    void switchValueChanged(ui::Switch& control) override;
    void layoutSubviews() override;

private:
    std::shared_ptr<ui::Switch> m_switchShowShortcut;
};
