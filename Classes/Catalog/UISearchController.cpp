#include "Classes/Catalog/UISearchController.h"

#include "Classes/Catalog/SearchProductCell.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"

void UISearchController::loadView()
{
    m_tableView = ui::View::make<ui::TableView>(gfx::Rect(0, 0, 320, 480));
    m_tableView->setRowHeight(kRowHeight);
    m_tableView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    setView(m_tableView);
}

void UISearchController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
}

void UISearchController::setSearchProductArray(std::vector<brivanta_product_Entity> products)
{
    m_searchProductArray = std::move(products);
    if (m_tableView)
        m_tableView->reloadData();
}

int UISearchController::numberOfRowsInSection(ui::TableView&, int)
{
    return m_searchProductArray.empty() ? 1 : static_cast<int>(m_searchProductArray.size());
}

std::shared_ptr<ui::TableViewCell> UISearchController::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    if (m_searchProductArray.empty()) {
        auto cell = table.dequeueReusableCellWithIdentifier("NoResult");
        if (!cell)
            cell = ui::View::make<ui::TableViewCell>(ui::TableViewCellStyle::Subtitle, "NoResult");
        cell->textLabel().setText(Language::stringWithName("NORESULT"));
        cell->detailTextLabel().setText("");
        cell->setAccessoryType(ui::TableViewCellAccessoryType::None);
        return cell;
    }
    auto cell = std::dynamic_pointer_cast<SearchProductCell>(table.dequeueReusableCellWithIdentifier("Cell"));
    if (!cell)
        cell = ui::View::make<SearchProductCell>("Cell");
    const auto& product = m_searchProductArray[static_cast<size_t>(path.row)];
    std::optional<std::string> thumb;
    if (auto data = DataAccessManager::sharedDataModel())
        if (auto image = data->getImageByKeyId(product.product_id))
            thumb = image->image_thumb_address;
    PublicFunction::ImageViewSetImgImg(&cell->imageView(), PublicFunction::getLocalImageFiletype(thumb, 1, PublicFunction::thumbShownPixels()));
    cell->productName().setText(product.product_name.value_or(""));
    cell->productSKU().setText(product.product_sku.value_or(""));
    cell->setProductId(product.product_id);
    cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    return cell;
}

void UISearchController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    if (!m_searchProductArray.empty() && m_delegate && path.row >= 0 &&
        static_cast<size_t>(path.row) < m_searchProductArray.size())
        m_delegate->didselectSearchResultIndex(m_searchProductArray[static_cast<size_t>(path.row)], path.row);
    table.deselectRowAtIndexPath(path, true);
}
