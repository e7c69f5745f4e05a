#include "Classes/Customer/CustomerViewController.h"

#include "Common/Language.h"
#include "Common/TitleBarView.h"

CustomerViewController::CustomerViewController()
{
    // The token ends the observation with the screen; the handler never outlives it.
    m_switchObserver = base::NotificationCenter::defaultCenter().addObserver(
        "SETTINGS_SWITCH_CHANGE_NOTIFATION", nullptr, [this](const base::Notification&) { settingsSwitchChanged(); });
}

void CustomerViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_titleBar = std::make_shared<TitleBarView>(view()->bounds().width());
    view()->addSubview(m_titleBar);
    updateLanguage(nullptr);
}

void CustomerViewController::updateLanguage(ui::Responder*)
{
    if (m_titleBar)
        m_titleBar->setTitle(Language::stringWithName("CUSTOMER"));
}

void CustomerViewController::loadByConfig()
{
    ++m_loadByConfigCount;
}

void CustomerViewController::settingsSwitchChanged()
{
    ++m_settingsSwitchChanges;
}
