#include "Classes/Catalog/RelatedProductViewcontroller.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Classes/Catalog/CatalogLayOut.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/BadgeButton.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Database/QuoteOrderItemEntity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"

namespace {

constexpr int kCatalogTab = 1;
constexpr int kLanguageSensitiveViewTag = 8000;

} // namespace

RelatedProductViewcontroller::RelatedProductViewcontroller()
    : m_addFlow(std::make_shared<AddToOrderFlow>(*this, AddToOrderFlow::relatedOptions()))
{
}

RelatedProductViewcontroller::~RelatedProductViewcontroller() = default;

void RelatedProductViewcontroller::viewDidLoad()
{
    PopBaseController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    if (lblTittle())
        lblTittle()->setText(Language::stringWithName("RELATEDPRODUCTS"));
    m_relatedScrollView = std::make_shared<ui::ScrollView>(gfx::Rect(0, 55, 980, 713));
    m_relatedScrollView->setBackgroundColor(std::nullopt);
    view()->addSubview(m_relatedScrollView);
    getRelatedShowData();
}

void RelatedProductViewcontroller::viewDidUnload()
{
    PopBaseController::viewDidUnload();
    m_relatedScrollView.reset();
}

void RelatedProductViewcontroller::updateLanguage(ui::Responder*)
{
    PopBaseController::updateLanguage();
    if (lblTittle())
        lblTittle()->setText(Language::stringWithName("RELATEDPRODUCTS"));
    if (ui::View* stale = view()->viewWithTag(kLanguageSensitiveViewTag); stale && stale != view().get())
        stale->removeFromSuperview();
}

void RelatedProductViewcontroller::getRelatedShowData()
{
    if (!m_relatedScrollView)
        return;
    for (auto& sub : std::vector<std::shared_ptr<ui::View>>(m_relatedScrollView->subviews()))
        if (dynamic_cast<DetailCell*>(sub.get()))
            sub->removeFromSuperview();
    size_t n = m_relatedArray.size();
    double width = m_relatedScrollView->bounds().width();
    double height = m_relatedScrollView->bounds().height();
    size_t rows = n / kColumns + 1;
    if (n >= 1) {
        m_cellHeight = kCellHeight;
        m_cellWidth = kCellWidth;
        auto data = DataAccessManager::sharedDataModel();
        const auto& order = QuoteOrderStore::sharedQuoteOrderStore()->curQuoteOrder();
        auto self = std::dynamic_pointer_cast<DetailCellDelegate>(sharedController());
        for (size_t r = 0; r < rows; ++r) {
            double x = 10;
            for (size_t c = 0; c < kColumns; ++c, x += width / kColumns) {
                size_t index = r * kColumns + c;
                if (index >= n)
                    break;
                auto& product = m_relatedArray[index];
                auto cell = std::make_shared<DetailCell>();
                cell->setDetailDelegate(self);
                cell->setTag(kTagBase + static_cast<int>(index));
                cell->setFrame({x, kCellHeight * static_cast<double>(r), kCellWidth, kCellHeight});
                auto image = data ? data->getImageByKeyId(product.product_id) : std::nullopt;
                PublicFunction::ImageViewFitImgImg(
                    &cell->productImageView(),
                    PublicFunction::getLocalImageFiletype(image ? image->image_thumb_address : std::nullopt, 1, PublicFunction::thumbShownPixels()));
                cell->catalogNameLabel().setText(product.product_name.value_or(""));
                cell->setProductId(product.product_id);
                cell->skuContentLabel().setText(product.product_sku.value_or(""));
                product.itemNumberInOrder = 0;
                if (order)
                    for (const auto& line : order->items())
                        if (line && line->product() && line->product()->product_id == product.product_id)
                            product.itemNumberInOrder += line->quantity();
                cell->setBadgeValueAnimated(
                    product.itemNumberInOrder ? std::optional<std::string>(std::to_string(product.itemNumberInOrder))
                                              : std::nullopt,
                    false);
                if (c == kColumns - 1)
                    cell->devideImageView().setHidden(true);
                cell->smallCloseBtn().setHidden(true);
                m_relatedScrollView->addSubview(cell);
            }
        }
    }
    m_relatedScrollView->setContentSize({width, std::max(static_cast<double>(rows) * kCellHeight, height)});
}

void RelatedProductViewcontroller::didSelectedImage(DetailCell& cell)
{
    auto layout = std::make_shared<CatalogLayOut>();
    layout->index = static_cast<uint32_t>(cell.tag() - kTagBase);
    layout->products = m_relatedArray;
    close();
    // The catalogue opens the page; from another tab it must be brought up first.
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        if (auto tabs = app->tabBarController(); tabs && tabs->iCurSelectTab() != kCatalogTab)
            tabs->selectTab(kCatalogTab);
    base::NotificationCenter::defaultCenter().post(CatalogLayOut::kNotification, layout);
}

void RelatedProductViewcontroller::addToOrder(DetailCell& cell)
{
    m_addFlow->addToOrder(cell.tag());
}

DetailCell* RelatedProductViewcontroller::tileAt(uint32_t index) const
{
    if (!m_relatedScrollView)
        return nullptr;
    return dynamic_cast<DetailCell*>(
        AddToOrderFlow::tileWithTagInScrollView(*m_relatedScrollView, kTagBase + static_cast<int>(index)));
}

brivanta_product_Entity* RelatedProductViewcontroller::addFlowProductAtIndex(uint32_t index)
{
    return index < m_relatedArray.size() ? &m_relatedArray[index] : nullptr;
}

BadgeButton* RelatedProductViewcontroller::addFlowBadgeAtIndex(uint32_t index)
{
    DetailCell* tile = tileAt(index);
    return tile ? &tile->addOrderBtn() : nullptr;
}

gfx::Rect RelatedProductViewcontroller::addFlowAnchorAtIndex(uint32_t index)
{
    DetailCell* tile = tileAt(index);
    return tile ? tile->convertRectToView(tile->bounds(), view().get()) : gfx::Rect();
}

ui::View* RelatedProductViewcontroller::addFlowView()
{
    return view().get();
}

void RelatedProductViewcontroller::addFlowRefresh()
{
    getRelatedShowData();
}
