#include "App/RestoreShortcutCell.h"

#include "Platform/UI/Switch.h"

RestoreShortcutCell::RestoreShortcutCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : SwitchTableViewCell(style, std::move(reuseIdentifier), WithoutShowAllSwitch{})
{
    m_switchShowShortcut = ui::View::make<ui::Switch>();
    m_switchShowShortcut->addTarget([this](ui::Control& control) { switchValueChanged(static_cast<ui::Switch&>(control)); },
                                    ui::ControlEventValueChanged);
    contentView().addSubview(m_switchShowShortcut);
}

void RestoreShortcutCell::switchValueChanged(ui::Switch&) {}

void RestoreShortcutCell::layoutSubviews()
{
    ui::TableViewCell::layoutSubviews();
    placeSwitch(*m_switchShowShortcut);
}
