#pragma once
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"

#include <memory>

class TitleBarView;

// The orders tab: the saved and submitted quotes and orders.
class QuoteOrderHistoryController : public BaseViewController, public ConfigDelegate {
public:
    QuoteOrderHistoryController() = default;
    const char* className() const override { return "QuoteOrderHistoryController"; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

private:
    std::shared_ptr<TitleBarView> m_titleBar;
    int m_loadByConfigCount = 0;
};
