#include "Classes/Catalog/DetailViewController.h"

#include "Classes/Catalog/CategoryWalk.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Classes/Catalog/ProductPageRoad.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Value.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/PanGestureRecognizer.h"
#include "Widgets/BRGridViewCell.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace {

// Process-wide, as the panel and the logout reach them without a grid at hand.
std::string g_currentTitle;
gfx::Point g_panStartPoint;

constexpr double kPanThreshold = 100;

bool panelIsNormal()
{
    auto type = ConfigManager::sharedInstance()->leftPanelType();
    return type && *type == "normal";
}

// The price a product sorts by: the discount price while its window is open, else the list
// price; no price row counts 0. A negative (hidden) price sorts as it is, first.
double effectivePrice(DataAccessManager& data, int productId)
{
    auto record = data.getPriceEntityByProductId(productId);
    if (record.product_id != productId)
        return 0;
    return record.discount_flag ? record.discount_price : record.price;
}

} // namespace

const std::string& DetailViewController::getCurrentTitle()
{
    return g_currentTitle;
}

void DetailViewController::setCurrentTitle(const std::string& title)
{
    g_currentTitle = title;
}

gfx::Point DetailViewController::panStartPoint()
{
    return g_panStartPoint;
}

void DetailViewController::resetSharedState()
{
    g_currentTitle.clear();
    g_panStartPoint = {};
}

DetailViewController::~DetailViewController()
{
    if (m_productShowView) {
        m_productShowView->setDataSource(nullptr);
        m_productShowView->setDelegate(nullptr);
    }
    if (m_pan)
        m_pan->setDelegate(nullptr);
}

unsigned DetailViewController::supportedInterfaceOrientations() const
{
    return ui::InterfaceOrientationMaskLandscapeLeft | ui::InterfaceOrientationMaskLandscapeRight;
}

void DetailViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    gfx::Rect frame = panelIsNormal() ? gfx::Rect(250, 0, 774, 638) : gfx::Rect(0, 0, 1024, 638);
    m_productShowView = ui::View::make<BRGridView>(frame);
    m_productShowView->setAlwaysBounceVertical(true);
    m_productShowView->setDataSource(this);
    m_productShowView->setDelegate(this);
    view()->addSubview(m_productShowView);
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void DetailViewController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    g_currentTitle = Language::stringWithName("TAG");
    m_productArray.clear();
    m_sortType = 0;
    auto& center = base::NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver("displayFourColumn", nullptr, [this](const base::Notification& n) {
        auto id = std::static_pointer_cast<base::Value>(n.object);
        getImgShowData(id ? static_cast<int>(id->asInteger()) : 0);
    }));
    m_observers.push_back(center.addObserver("refushRightData", nullptr, [this](const base::Notification& n) {
        refushRightData(std::static_pointer_cast<const MasterViewController::TagProducts>(n.object));
    }));
    m_observers.push_back(center.addObserver("SORT_PRODUCT", nullptr, [this](const base::Notification& n) {
        auto value = std::static_pointer_cast<base::Value>(n.object);
        sortproduct(value ? static_cast<int>(value->asInteger()) : 0);
    }));
    m_observers.push_back(center.addObserver("switchProductStyle", nullptr, [this](const base::Notification&) { switchProductStyle(); }));
    m_observers.push_back(center.addObserver("changeTitleToTags", nullptr, [this](const base::Notification&) { changeTitleToTags(); }));
    m_observers.push_back(center.addObserver("changeisAllState", nullptr, [this](const base::Notification&) { changeisAllState(); }));
    m_pan = std::make_shared<ui::PanGestureRecognizer>();
    m_pan->setMaximumNumberOfTouches(1);
    m_pan->setDelegate(this);
    m_pan->setCancelsTouchesInView(false);
    m_pan->addTarget([this](ui::GestureRecognizer& g) { panMove(static_cast<ui::PanGestureRecognizer&>(g)); });
    view()->addGestureRecognizer(m_pan);
    m_panDistance = 0;
    base::NotificationCenter::defaultCenter().post("displayFourColumn", std::make_shared<base::Value>(0));
}

void DetailViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (m_productShowView)
        for (auto& cell : m_productShowView->visibleCells())
            if (auto* tile = dynamic_cast<DetailCell*>(cell.get()))
                tile->reloadCellProdectPrice();
    refreshItemNumberBadges();
    if (m_productShowView)
        m_productShowView->reloadData();
}

void DetailViewController::updateLanguage(ui::Responder*)
{
    g_currentTitle = Language::stringWithName("TAG");
    m_tagTitle = titleText();
}

void DetailViewController::viewDidUnload()
{
    BaseViewController::viewDidUnload();
    if (m_productShowView) {
        m_productShowView->setDataSource(nullptr);
        m_productShowView->setDelegate(nullptr);
    }
    m_productShowView.reset();
}

void DetailViewController::showTitle(const std::string& text)
{
    if (m_lblTitle)
        m_lblTitle->setText(text);
}

std::string DetailViewController::titleText() const
{
    return m_lblTitle ? m_lblTitle->text() : std::string();
}

// MARK: Lists

void DetailViewController::showAllImageCell()
{
    if (auto* nav = navigationController())
        nav->popToRootViewController(true);
    refreshItemNumberBadges();
    if (!m_productShowView)
        return;
    m_productShowView->reloadData();
    m_productShowView->layoutIfNeeded();
    if (!m_productArray.empty())
        m_productShowView->scrollToItemAtIndexAtScrollPositionAnimated(0, BRGridView::ScrollPositionTop, false);
}

void DetailViewController::refreshItemNumberBadges()
{
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    for (auto& product : m_productArray)
        store->getItemNumberInOrder(product);
}

void DetailViewController::getAllproductsEntity(int categoryId)
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data)
        return;
    if (categoryId == 0) {
        m_productArray = data->getAllProducts();
        return;
    }
    std::unordered_set<int> present;
    for (auto& product : m_productArray)
        present.insert(product.product_id);
    for (auto& product : CategoryWalk::productsUnderCategory(categoryId))
        if (present.insert(product.product_id).second)
            m_productArray.push_back(std::move(product));
}

void DetailViewController::getImgShowData(int categoryId)
{
    if (auto* nav = navigationController())
        nav->popToRootViewController(true);
    bool tagMode = MasterViewController::getCurrentState() != 0;
    if (!tagMode || m_isTagsALL) {
        m_productArray.clear();
        getAllproductsEntity(categoryId);
        m_isTagsALL = false;
    }
    sorteProductArryBy(m_sortType);
    auto data = DataAccessManager::sharedDataModel();
    brivanta_category_Entity category = data ? data->getCategoryWithCategoryid(categoryId) : brivanta_category_Entity{};
    std::string name = category.category_name.value_or("");
    if (name.empty() && categoryId == 0)
        name = Language::stringWithName("CATALOG_");
    showTitle(tagMode ? m_tagTitle : name);
    m_tagTitle = titleText();
    showAllImageCell();
}

void DetailViewController::refushRightData(
    const std::shared_ptr<const std::map<std::string, std::vector<brivanta_product_Entity>>>& tags)
{
    if (auto* nav = navigationController())
        nav->popToRootViewController(true);
    m_productArray.clear();
    std::string title = Language::stringWithName("TAG");
    if (tags) {
        for (const auto& [name, products] : *tags) {
            g_currentTitle = name;
            title = name;
            m_productArray.insert(m_productArray.end(), products.begin(), products.end());
        }
    }
    sorteProductArryBy(m_sortType);
    m_tagTitle = title;
    showTitle(title);
    showAllImageCell();
}

void DetailViewController::sortproduct(int sortType)
{
    sorteProductArryBy(sortType);
    m_sortType = sortType;
    showAllImageCell();
}

void DetailViewController::sorteProductArryBy(int sortType)
{
    auto text = [](const std::optional<std::string>& s) -> const std::string& {
        static const std::string empty;
        return s ? *s : empty;
    };
    switch (sortType) {
    case 0:
        std::stable_sort(m_productArray.begin(), m_productArray.end(),
                         [&](const auto& a, const auto& b) { return text(a.product_name) < text(b.product_name); });
        break;
    case 1:
        std::stable_sort(m_productArray.begin(), m_productArray.end(),
                         [&](const auto& a, const auto& b) { return text(a.product_sku) < text(b.product_sku); });
        break;
    case 2: {
        // Each key read once, at one instant: a comparison never changes within the sort.
        auto data = DataAccessManager::sharedDataModel();
        if (!data)
            break;
        std::vector<std::pair<double, size_t>> keys;
        keys.reserve(m_productArray.size());
        for (size_t i = 0; i < m_productArray.size(); ++i)
            keys.emplace_back(effectivePrice(*data, m_productArray[i].product_id), i);
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<brivanta_product_Entity> sorted;
        sorted.reserve(keys.size());
        for (auto& [price, i] : keys)
            sorted.push_back(std::move(m_productArray[i]));
        m_productArray = std::move(sorted);
        break;
    }
    default:
        break;
    }
}

void DetailViewController::switchProductStyle()
{
    showTitle(m_tagTitle);
    if (!panelIsNormal())
        showAllImageCell();
}

void DetailViewController::changeTitleToTags()
{
    m_tagTitle = Language::stringWithName("TAG");
}

void DetailViewController::changeisAllState()
{
    m_isTagsALL = true;
}

// MARK: Tiles

uint32_t DetailViewController::numberOfItemsInGridView(BRGridView&)
{
    return static_cast<uint32_t>(m_productArray.size());
}

std::shared_ptr<BRGridViewCell> DetailViewController::gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index)
{
    auto cell = std::dynamic_pointer_cast<DetailCell>(grid.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = ui::View::make<DetailCell>(gfx::Rect(0, 0, 200, 212), kCellIdentifier);
        cell->setSelectionStyle(BRGridViewCell::SelectionStyleNone);
    }
    cell->setTag(kTileTagBase + static_cast<int>(index));
    if (index >= m_productArray.size())
        return cell;
    const auto& product = m_productArray[index];
    auto data = DataAccessManager::sharedDataModel();
    std::optional<std::string> thumb;
    if (data)
        if (auto image = data->getImageByKeyId(product.product_id))
            thumb = image->image_thumb_address;
    cell->setImagename(thumb);
    cell->setDimmed(false);
    cell->loadImageAsyncWihtAnimation(PublicFunction::getDeviceVersion() >= 5.0);
    cell->catalogNameLabel().setText(product.product_name.value_or(""));
    cell->setProductId(product.product_id);
    cell->skuContentLabel().setText(product.product_sku.value_or(""));
    cell->setBadgeValueAnimated(product.itemNumberInOrder != 0 ? std::optional<std::string>(std::to_string(product.itemNumberInOrder))
                                                              : std::nullopt,
                                false);
    cell->setDetailDelegate(std::dynamic_pointer_cast<DetailCellDelegate>(sharedController()));
    return cell;
}

void DetailViewController::didSelectedImage(DetailCell& tile)
{
    didSelectedImage(static_cast<uint32_t>(tile.tag() - kTileTagBase));
}

void DetailViewController::addToOrder(DetailCell& tile)
{
    if (!m_flow)
        m_flow = std::make_shared<AddToOrderFlow>(*this, AddToOrderFlow::gridOptions());
    m_flow->addToOrder(tile.tag());
}

brivanta_product_Entity* DetailViewController::addFlowProductAtIndex(uint32_t index)
{
    return index < m_productArray.size() ? &m_productArray[index] : nullptr;
}

BadgeButton* DetailViewController::addFlowBadgeAtIndex(uint32_t index)
{
    DetailCell* tile = m_productShowView ? AddToOrderFlow::gridTileAtIndex(*m_productShowView, index) : nullptr;
    return tile ? &tile->addOrderBtn() : nullptr;
}

gfx::Rect DetailViewController::addFlowAnchorAtIndex(uint32_t index)
{
    return m_productShowView ? AddToOrderFlow::gridAnchorAtIndex(*m_productShowView, index, view().get()) : gfx::Rect();
}

void DetailViewController::addFlowRefresh()
{
    refreshItemNumberBadges();
    if (m_productShowView)
        m_productShowView->reloadData();
}

void DetailViewController::didSelectedImage(uint32_t index)
{
    if (index >= m_productArray.size())
        return;
    const auto& product = m_productArray[index];
    char title[512];
    std::snprintf(title, sizeof title, "%s  ( %d / %d )", product.product_name.value_or("").c_str(),
                  static_cast<int>(index) + 1, static_cast<int>(m_productArray.size()));
    ProductPageRequest request;
    request.product = product;
    request.products = m_productArray;
    request.index = static_cast<int>(index);
    request.count = static_cast<int>(m_productArray.size());
    request.lblTitle = m_lblTitle;
    if (MasterViewController::getCurrentState() == 1)
        request.currentTag = m_tagTitle;
    // The tab lays itself out for a page only when there is one to show.
    auto page = ProductPageRoad::makePage(request);
    if (!page || !navigationController())
        return;
    if (m_detailViewDelegate)
        m_detailViewDelegate->productCellClicked();
    showTitle(title);
    navigationController()->pushViewController(page, true);
}

// MARK: Pan

void DetailViewController::panMove(ui::PanGestureRecognizer& pan)
{
    using State = ui::GestureRecognizer::State;
    if (pan.state() == State::Began && m_productShowView)
        g_panStartPoint = pan.locationInView(m_productShowView.get());
    bool moving = pan.state() == State::Began || pan.state() == State::Changed;
    if (moving && m_panDistance > -kPanThreshold && m_panDistance < kPanThreshold) {
        // The translation is since the gesture began, yet added at every callback: the swipe
        // threshold is tuned to this sum, so a slow drag still turns the product.
        m_panDistance += pan.translationInView(view().get()).x;
        return;
    }
    if (m_detailViewDelegate) {
        if (m_panDistance > kPanThreshold)
            m_detailViewDelegate->setMasterViewHiddedBeginPoint(false, g_panStartPoint);
        else if (m_panDistance < -kPanThreshold)
            m_detailViewDelegate->setMasterViewHiddedBeginPoint(true, g_panStartPoint);
    }
    m_panDistance = 0;
}
