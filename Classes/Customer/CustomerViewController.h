#pragma once
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Platform/Base/NotificationCenter.h"

#include <memory>

class TitleBarView;

// The customers tab. It follows the settings' show-all-customers switch.
class CustomerViewController : public BaseViewController, public ConfigDelegate {
public:
    CustomerViewController();
    const char* className() const override { return "CustomerViewController"; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    // The show-all switch changed: the list is shown again with or without hidden customers.
    void settingsSwitchChanged();
    int settingsSwitchChanges() const { return m_settingsSwitchChanges; }

private:
    std::shared_ptr<TitleBarView> m_titleBar;
    base::ObserverToken m_switchObserver;
    int m_loadByConfigCount = 0;
    int m_settingsSwitchChanges = 0;
};
