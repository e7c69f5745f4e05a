#include "Classes/Catalog/AddToOrderFlow.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Classes/Catalog/DetailCell.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/BadgeButton.h"
#include "Common/Language.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Database/OrderLineAttributeText.h"
#include "Platform/Base/Text.h"
#include "Platform/UI/PopoverController.h"
#include "Widgets/BRGridView.h"

#include <algorithm>

namespace {

constexpr int kOrderTabTag = 5;

void toastFailed()
{
    std::make_shared<UIToast>()->show(Language::stringWithName("FAILED"));
}

} // namespace

AddToOrderFlow::AddToOrderFlow(AddToOrderFlowHost& host, Options options) : m_host(host), m_options(options) {}

AddToOrderFlow::~AddToOrderFlow()
{
    if (m_addToOrderPopController)
        m_addToOrderPopController->dismissPopoverAnimated(false);
}

void AddToOrderFlow::addToOrder(int tileTag)
{
    int index = tileTag - m_options.tagBase;
    if (index < 0)
        return;
    brivanta_product_Entity* product = m_host.addFlowProductAtIndex(static_cast<uint32_t>(index));
    if (!product)
        return;
    m_selectTag = index;
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    if (store->diffItemCYExist(*product)) {
        auto alert = std::make_shared<ui::AlertView>(std::string(), Language::stringWithName("NOTTHESAMEMONEYCY"),
                                                     nullptr, Language::stringWithName("DONTSAVE"),
                                                     std::vector<std::string>{Language::stringWithName("SAVE")});
        alert->setTag(kCurrencyAlertTag);
        alert->setDelegate(std::weak_ptr<ui::AlertViewDelegate>(shared_from_this()));
        alert->show();
        return;
    }
    addProductToOrderSelectCell(static_cast<uint32_t>(index));
}

void AddToOrderFlow::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    if (alert.tag() != kCurrencyAlertTag)
        return;
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    if (index == 0) {
        store->removeCurrentQuoteOrder();
    } else if (!store->saveCurrentQuoteOrder()) {
        auto failed = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"),
                                                      Language::stringWithName("FAILED"), nullptr,
                                                      Language::stringWithName("OK"));
        failed->show();
        return;
    }
    m_host.addFlowRefresh();
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        if (auto tabs = app->tabBarController())
            tabs->setBadgeValueTabBarItemTagAnimated(std::nullopt, kOrderTabTag, false);
    addProductToOrderSelectCell(static_cast<uint32_t>(m_selectTag));
}

void AddToOrderFlow::addProductToOrderSelectCell(uint32_t index)
{
    brivanta_product_Entity* product = m_host.addFlowProductAtIndex(index);
    if (!product)
        return;
    product->count = 1;
    auto rows = DataAccessManager::sharedDataModel()->getProductAttributeByProductId(product->product_id);
    bool choiceNeeded = false;
    for (auto& row : rows) {
        if (!row.attributeList || base::trimmingWhitespace(*row.attributeList).empty())
            continue;
        auto values = OrderLineAttributeText::permittedValues(row.attributeList);
        // A list of blanks offers nothing to choose, as the sheet's own check agrees.
        if (std::all_of(values.begin(), values.end(), [](const std::string& v) { return OrderLineAttributeText::isBlank(v); }))
            continue;
        if (values.size() == 1)
            row.attributeValue = values.front();
        else
            choiceNeeded = true;
    }
    if (choiceNeeded) {
        presentSheet(*product, index);
        return;
    }
    product->attributes = OrderLineAttributeText::write(rows);
    if (m_options.rereadOnDirectAdd)
        QuoteOrderStore::sharedQuoteOrderStore()->getItemNumberInOrder(*product);
    add(*product, m_host.addFlowBadgeAtIndex(index));
}

void AddToOrderFlow::presentSheet(const brivanta_product_Entity& product, uint32_t index)
{
    auto sheet = std::make_shared<AddToOrderController>();
    sheet->setDelegate(std::weak_ptr<AddToOrderControllerDelegate>(shared_from_this()));
    sheet->setProduct_Entity(product);
    sheet->setCellIndex(m_options.sheetIndexIsTag ? index + static_cast<uint32_t>(m_options.tagBase) : index);
    if (m_addToOrderPopController)
        m_addToOrderPopController->dismissPopoverAnimated(false);
    m_addToOrderPopController = std::make_shared<ui::PopoverController>(sheet);
    m_addToOrderPopController->setPopoverContentSize(AddToOrderController::kContentSize);
    m_addToOrderPopController->presentPopoverFromRect(
        m_host.addFlowAnchorAtIndex(index), m_host.addFlowView(),
        ui::PopoverArrowDirectionDown | ui::PopoverArrowDirectionLeft | ui::PopoverArrowDirectionRight, true);
}

void AddToOrderFlow::addProductToOrderWithProductCellIndex(const brivanta_product_Entity& chosen, uint32_t cellIndex)
{
    if (m_addToOrderPopController)
        m_addToOrderPopController->dismissPopoverAnimated(true);
    uint32_t index = cellIndex;
    if (m_options.sheetIndexIsTag) {
        if (cellIndex < static_cast<uint32_t>(m_options.tagBase))
            return;
        index = cellIndex - static_cast<uint32_t>(m_options.tagBase);
    }
    brivanta_product_Entity product = chosen;
    if (m_options.rereadAfterSheet)
        QuoteOrderStore::sharedQuoteOrderStore()->getItemNumberInOrder(product);
    add(product, m_host.addFlowBadgeAtIndex(index));
    // The list's own record keeps the total for its next reload.
    if (brivanta_product_Entity* kept = m_host.addFlowProductAtIndex(index))
        if (kept->product_id == product.product_id)
            kept->itemNumberInOrder = product.itemNumberInOrder;
}

void AddToOrderFlow::add(brivanta_product_Entity& product, BadgeButton* badge)
{
    if (!QuoteOrderStore::sharedQuoteOrderStore()->addToOrder(product)) {
        toastFailed();
        return;
    }
    product.itemNumberInOrder += product.count;
    if (badge)
        badge->setBadgeValueAnimated(std::to_string(product.itemNumberInOrder), true);
}

DetailCell* AddToOrderFlow::gridTileAtIndex(BRGridView& grid, uint32_t index)
{
    grid.layoutIfNeeded();
    return dynamic_cast<DetailCell*>(grid.cellForItemAtIndex(index).get());
}

gfx::Rect AddToOrderFlow::gridAnchorAtIndex(BRGridView& grid, uint32_t index, ui::View* view)
{
    if (DetailCell* tile = gridTileAtIndex(grid, index))
        return tile->convertRectToView(tile->bounds(), view);
    return grid.convertRectToView(grid.rectForItemAtIndex(index), view);
}

ui::View* AddToOrderFlow::tileWithTagInScrollView(ui::ScrollView& scrollView, int tag)
{
    for (const auto& subview : scrollView.subviews())
        if (subview->tag() == tag)
            return subview.get();
    return nullptr;
}
