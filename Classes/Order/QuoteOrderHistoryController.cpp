#include "Classes/Order/QuoteOrderHistoryController.h"

#include "Common/Language.h"
#include "Common/TitleBarView.h"

void QuoteOrderHistoryController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_titleBar = std::make_shared<TitleBarView>(view()->bounds().width());
    view()->addSubview(m_titleBar);
    updateLanguage(nullptr);
}

void QuoteOrderHistoryController::updateLanguage(ui::Responder*)
{
    if (m_titleBar)
        m_titleBar->setTitle(Language::stringWithName("ORDER"));
}

void QuoteOrderHistoryController::loadByConfig()
{
    ++m_loadByConfigCount;
}
