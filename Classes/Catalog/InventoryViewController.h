#pragma once
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"

#include <memory>

class TitleBarView;

// The inventory tab: the stock of the catalogue's products.
class InventoryViewController : public BaseViewController, public ConfigDelegate {
public:
    InventoryViewController() = default;
    const char* className() const override { return "InventoryViewController"; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

private:
    std::shared_ptr<TitleBarView> m_titleBar;
    int m_loadByConfigCount = 0;
};
