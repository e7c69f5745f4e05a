#include "Classes/Catalog/ProductListPopController.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Classes/Catalog/CatalogLayOut.h"
#include "Database/DataAccessManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"

namespace {

constexpr int kCatalogTab = 1;

} // namespace

ProductListPopController::~ProductListPopController() = default;

void ProductListPopController::addEditButtons(std::function<void()> removeAll)
{
    m_btnEdit = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(15, 5, 60, 34));
    PublicFunction::initializeToButtonHeight34(m_btnEdit.get());
    m_btnEdit->setTitle(Language::stringWithName("EDIT"));
    m_btnEdit->addTarget([this](ui::Control& sender) { enterEditMode(sender); }, ui::ControlEventTouchUpInside);
    titlebar()->addSubview(m_btnEdit);

    m_removeAllBtn = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(15, 5, 100, 34));
    PublicFunction::initializeToButtonHeight34(m_removeAllBtn.get());
    m_removeAllBtn->setTitle(Language::stringWithName("REMOVEALL"));
    m_removeAllBtn->addTarget([removeAll](ui::Control&) { removeAll(); }, ui::ControlEventTouchUpInside);
    m_removeAllBtn->setHidden(true);
    titlebar()->addSubview(m_removeAllBtn);
}

void ProductListPopController::updateEditTexts(const char* titleKey)
{
    PopBaseController::updateLanguage();
    if (m_removeAllBtn)
        m_removeAllBtn->setTitle(Language::stringWithName("REMOVEALL"));
    if (lblTittle())
        lblTittle()->setText(Language::stringWithName(titleKey));
    if (isViewLoaded())
        if (ui::View* stale = view()->viewWithTag(kRemovedOnLanguageTag); stale && stale != view().get())
            stale->removeFromSuperview();
}

void ProductListPopController::viewAfterFirstDidLoad()
{
    PopBaseController::viewAfterFirstDidLoad();
    auto& center = base::NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver("AppWillEnterBackgound", nullptr, [this](const base::Notification&) { willEnterBackground(); }));
    m_observers.push_back(center.addObserver("AppWillEnterForegroud", nullptr, [this](const base::Notification&) { willEnterForeground(); }));
}

void ProductListPopController::setInEdit(bool inEdit)
{
    if (inEdit == m_inEdit)
        return;
    shakeAllCellImages(inEdit);
    m_inEdit = inEdit;
    if (m_btnEdit)
        m_btnEdit->setHidden(inEdit);
    if (m_removeAllBtn)
        m_removeAllBtn->setHidden(!inEdit);
}

void ProductListPopController::shakeAllCellImages(bool shaking)
{
    for (const auto& tile : editableTiles()) {
        if (tile.deleteButton)
            tile.deleteButton->setHidden(!shaking);
        if (tile.addButton)
            tile.addButton->setEnabled(!shaking);
        PublicFunction::setViewShakingShaking(tile.image, shaking);
    }
}

void ProductListPopController::enterEditMode(ui::Control& sender)
{
    if (&sender == m_btnEdit.get())
        setInEdit(true);
}

void ProductListPopController::willEnterBackground()
{
    if (m_inEdit)
        shakeAllCellImages(false);
}

void ProductListPopController::willEnterForeground()
{
    if (m_inEdit)
        shakeAllCellImages(true);
}

void ProductListPopController::openProductPage(uint32_t index, std::vector<brivanta_product_Entity> products)
{
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        if (auto tabs = app->tabBarController(); tabs && tabs->iCurSelectTab() != kCatalogTab)
            tabs->selectTab(kCatalogTab);
    auto layout = std::make_shared<CatalogLayOut>();
    layout->index = index;
    layout->products = std::move(products);
    base::NotificationCenter::defaultCenter().post(CatalogLayOut::kNotification, layout);
}

brivanta_product_Entity* ProductListPopController::freshProduct(int productId)
{
    auto data = DataAccessManager::sharedDataModel();
    auto product = data ? data->getProductByProductId(productId) : std::nullopt;
    if (!product)
        return nullptr;
    m_freshProduct = *product;
    return &m_freshProduct;
}
