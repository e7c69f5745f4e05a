#pragma once
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"

#include <memory>

class TitleBarView;
namespace ui {
class Button;
}

// The orders tab: the saved and submitted quotes and orders, and the way to a new one.
class QuoteOrderHistoryController : public BaseViewController, public ConfigDelegate {
public:
    QuoteOrderHistoryController() = default;
    const char* className() const override { return "QuoteOrderHistoryController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }
    // Opens the order editor on the store's new order.
    void btnNewOrderClick();

private:
    void openNewOrder(bool changed);

    std::shared_ptr<TitleBarView> m_titleBar;
    std::shared_ptr<ui::Button> m_btnNewOrder;
    int m_loadByConfigCount = 0;
};
