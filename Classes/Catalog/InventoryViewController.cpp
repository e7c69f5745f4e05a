#include "Classes/Catalog/InventoryViewController.h"

#include "Common/Language.h"
#include "Common/TitleBarView.h"

void InventoryViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_titleBar = std::make_shared<TitleBarView>(view()->bounds().width());
    view()->addSubview(m_titleBar);
    updateLanguage(nullptr);
}

void InventoryViewController::updateLanguage(ui::Responder*)
{
    if (m_titleBar)
        m_titleBar->setTitle(Language::stringWithName("INVENTORY"));
}

void InventoryViewController::loadByConfig()
{
    ++m_loadByConfigCount;
}
