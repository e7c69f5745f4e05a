#include "App/SwitchTableViewCell.h"

#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Switch.h"

#include <algorithm>

namespace {
constexpr double kSwitchRightMargin = 5;
}

SwitchTableViewCell::SwitchTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier))
{
    contentView().addSubview(switchShowAll());
}

SwitchTableViewCell::SwitchTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier, WithoutShowAllSwitch)
    : ui::TableViewCell(style, std::move(reuseIdentifier))
{
}

const std::shared_ptr<ui::Switch>& SwitchTableViewCell::switchShowAll()
{
    if (!m_switchShowAll) {
        m_switchShowAll = ui::View::make<ui::Switch>();
        m_switchShowAll->setOn(ConfigManager::sharedInstance()->isShowAllCustomer());
        // The cell owns the switch, so the switch's action may point back at the cell.
        m_switchShowAll->addTarget([this](ui::Control& control) { switchValueChanged(static_cast<ui::Switch&>(control)); },
                                   ui::ControlEventValueChanged);
    }
    return m_switchShowAll;
}

void SwitchTableViewCell::switchValueChanged(ui::Switch& control)
{
    ConfigManager::sharedInstance()->setIsShowAllCustomer(control.isOn());
    base::NotificationCenter::defaultCenter().post("SETTINGS_SWITCH_CHANGE_NOTIFATION");
}

void SwitchTableViewCell::placeSwitch(ui::Switch& control)
{
    // Laid out again when the table reloads, as it does after a language change.
    control.setTitles(Language::stringWithName("SWITCHON"), Language::stringWithName("SWITCHOFF"));
    gfx::Rect content = contentView().bounds();
    gfx::Size size = control.bounds().size;
    control.setFrame({content.maxX() - size.width - kSwitchRightMargin, (content.height() - size.height) / 2, size.width,
                      size.height});
    gfx::Rect title = textLabel().frame();
    textLabel().setFrame({title.x(), title.y(), std::max(0.0, title.width() - size.width - kSwitchRightMargin),
                          title.height()});
}

void SwitchTableViewCell::layoutSubviews()
{
    ui::TableViewCell::layoutSubviews();
    if (m_switchShowAll)
        placeSwitch(*m_switchShowAll);
}
