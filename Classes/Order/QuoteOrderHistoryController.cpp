#include "Classes/Order/QuoteOrderHistoryController.h"

#include "Classes/Order/QuoteOrderStore.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/TitleBarView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/NavigationController.h"

void QuoteOrderHistoryController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_titleBar = std::make_shared<TitleBarView>(view()->bounds().width());
    view()->addSubview(m_titleBar);
    m_btnNewOrder = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(911, 5, 105, 34));
    PublicFunction::initializeToForwardButtonHeight34(m_btnNewOrder.get());
    std::weak_ptr<QuoteOrderHistoryController> weak = std::static_pointer_cast<QuoteOrderHistoryController>(shared_from_this());
    m_btnNewOrder->addTarget([weak](ui::Control&) {
        if (auto screen = weak.lock())
            screen->btnNewOrderClick();
    }, ui::ControlEventTouchUpInside);
    view()->addSubview(m_btnNewOrder);
    if (auto* nav = navigationController())
        nav->setNavigationBarHidden(true);
    updateLanguage(nullptr);
}

void QuoteOrderHistoryController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto* nav = navigationController())
        nav->setNavigationBarHidden(true);
    // The catalogue left a new order: open it, marked changed.
    if (QuoteOrderStore::sharedQuoteOrderStore()->addQuoteOrder())
        openNewOrder(true);
}

void QuoteOrderHistoryController::btnNewOrderClick()
{
    openNewOrder(false);
}

void QuoteOrderHistoryController::openNewOrder(bool changed)
{
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    auto editor = std::make_shared<QuoteOrderViewController>();
    editor->setState(0);
    editor->setQuoteOrder(store->createNewQuoteOrder());
    editor->setIsOrderChanged(changed);
    store->setAddQuoteOrder(nullptr);
    if (auto* nav = navigationController())
        nav->pushViewController(editor, true);
}

void QuoteOrderHistoryController::updateLanguage(ui::Responder*)
{
    if (m_titleBar)
        m_titleBar->setTitle(Language::stringWithName("ORDERLIST"));
    if (m_btnNewOrder)
        m_btnNewOrder->setTitle(Language::stringWithName("NEWORDER"));
}

void QuoteOrderHistoryController::loadByConfig()
{
    ++m_loadByConfigCount;
}
