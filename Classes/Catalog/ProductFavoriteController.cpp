#include "Classes/Catalog/ProductFavoriteController.h"

#include "Classes/Order/QuoteOrderStore.h"
#include "Common/BadgeButton.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/Touch.h"

namespace {

constexpr int kBase = AddToOrderFlow::kFavoritesBase;
constexpr int kProductImage = 1;
constexpr int kPerRow = 5;

} // namespace

ProductFavoriteController::~ProductFavoriteController()
{
    if (m_tapGesturRecognizer)
        m_tapGesturRecognizer->setDelegate(nullptr);
}

void ProductFavoriteController::loadView()
{
    setView(std::make_shared<ui::View>(gfx::Rect(0, 0, 1024, 768)));
}

void ProductFavoriteController::viewDidLoad()
{
    ProductListPopController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(gfx::Color::white());
    m_flow = std::make_shared<AddToOrderFlow>(*this, AddToOrderFlow::favoritesOptions());
    if (lblTittle())
        lblTittle()->setText(Language::stringWithName("FAVORITES"));

    m_favoriteScrollView = std::make_shared<ui::ScrollView>(gfx::Rect(15, 55, 1009, 713));
    m_favoriteScrollView->setBackgroundColor(gfx::Color::clear());
    m_favoriteScrollView->setOpaque(false);
    auto press = std::make_shared<ui::LongPressGestureRecognizer>();
    press->setMinimumPressDuration(0.7);
    press->addTarget([this](ui::GestureRecognizer& g) { respondToLongPressGesture(g); });
    m_favoriteScrollView->addGestureRecognizer(press);
    root->addSubview(m_favoriteScrollView);

    m_tapGesturRecognizer = std::make_shared<ui::TapGestureRecognizer>();
    m_tapGesturRecognizer->setDelegate(this);
    // Taps on tiles' images still reach the tiles' own recognisers.
    m_tapGesturRecognizer->setCancelsTouchesInView(false);
    m_tapGesturRecognizer->addTarget([this](ui::GestureRecognizer& g) { respondToTapGesture(g); });
    root->addGestureRecognizer(m_tapGesturRecognizer);

    addEditButtons([this] { removeAllFavorites(); });
    setInEdit(false);
    getFavoritesShowData();
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void ProductFavoriteController::updateLanguage(ui::Responder*)
{
    updateEditTexts("FAVORITES");
}

void ProductFavoriteController::viewDidUnload()
{
    m_favoriteScrollView.reset();
}

std::vector<std::pair<size_t, brivanta_product_Entity>> ProductFavoriteController::readableProducts() const
{
    std::vector<std::pair<size_t, brivanta_product_Entity>> readable;
    auto data = DataAccessManager::sharedDataModel();
    for (size_t i = 0; i < m_favArray.size(); ++i)
        if (auto product = data->getProductByProductId(m_favArray[i].product_id))
            readable.emplace_back(i, *product);
    return readable;
}

void ProductFavoriteController::getFavoritesShowData()
{
    if (!m_favoriteScrollView)
        return;
    for (DetailCell* tile : tiles())
        tile->removeFromSuperview();
    auto data = DataAccessManager::sharedDataModel();
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    auto readable = readableProducts();
    size_t n = readable.size();
    size_t rows = n / kPerRow + 1;
    double step = m_favoriteScrollView->bounds().width() / kPerRow;
    auto self = std::dynamic_pointer_cast<DetailCellDelegate>(sharedController());
    for (size_t k = 0; k < n; ++k) {
        size_t row = readable[k].first;
        const brivanta_favorite_Entity& favorite = m_favArray[row];
        auto tile = std::make_shared<DetailCell>();
        tile->setDetailDelegate(self);
        int tag = kBase + static_cast<int>(row);
        tile->setTag(tag);
        tile->setFrame({5 + step * static_cast<double>(k % kPerRow), kCellHeight * static_cast<double>(k / kPerRow), kCellWidth, kCellHeight});
        auto image = data->getImageByKeyId(favorite.product_id);
        PublicFunction::ImageViewFitImgImg(&tile->productImageView(),
                                           PublicFunction::getLocalImageFiletype(image ? image->image_thumb_address : std::nullopt, kProductImage, PublicFunction::thumbShownPixels()));
        tile->catalogNameLabel().setText(favorite.product_name.value_or(""));
        tile->setProductId(favorite.product_id);
        tile->skuContentLabel().setText(favorite.product_sku.value_or(""));
        brivanta_product_Entity counted = favorite;
        store->getItemNumberInOrder(counted);
        tile->setBadgeValueAnimated(counted.itemNumberInOrder ? std::optional<std::string>(std::to_string(counted.itemNumberInOrder))
                                                              : std::nullopt,
                                    false);
        tile->smallCloseBtn().setFrame({kCellWidth - 70, -10, 50, 50});
        tile->smallCloseBtn().setTag(tag);
        tile->smallCloseBtn().addTarget([this, tag](ui::Control&) { deleteSingleFavorite(tag); }, ui::ControlEventTouchUpInside);
        tile->devideImageView().setHidden(k % kPerRow == kPerRow - 1);
        m_favoriteScrollView->addSubview(tile);
    }
    gfx::Size box = m_favoriteScrollView->bounds().size;
    m_favoriteScrollView->setContentSize({box.width, std::max(static_cast<double>(rows) * kCellHeight, box.height)});
    shakeAllCellImages(inEdit());
}

std::vector<DetailCell*> ProductFavoriteController::tiles() const
{
    std::vector<DetailCell*> found;
    if (m_favoriteScrollView)
        for (const auto& sub : m_favoriteScrollView->subviews())
            if (auto* tile = dynamic_cast<DetailCell*>(sub.get()))
                found.push_back(tile);
    return found;
}

DetailCell* ProductFavoriteController::tileWithTag(int tag) const
{
    for (DetailCell* tile : tiles())
        if (tile->tag() == tag)
            return tile;
    return nullptr;
}

std::vector<ProductListPopController::EditableTile> ProductFavoriteController::editableTiles()
{
    std::vector<EditableTile> found;
    for (DetailCell* tile : tiles())
        found.push_back({&tile->productImageView(), &tile->smallCloseBtn(), &tile->addOrderBtn()});
    return found;
}

DetailCell* ProductFavoriteController::tileAt(gfx::Point point, bool imageOnly)
{
    for (DetailCell* tile : tiles()) {
        gfx::Point local = tile->convertPointFromView(point, view().get());
        // Where the image shows in the tile, not its bounds taken at the tile's origin.
        gfx::Rect area = imageOnly ? tile->productImageView().frame() : tile->bounds();
        if (area.contains(local))
            return tile;
    }
    return nullptr;
}

bool ProductFavoriteController::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch)
{
    if (&recognizer != m_tapGesturRecognizer.get())
        return true;
    gfx::Point at = touch.locationInView(view().get());
    if (!inEdit())
        return tileAt(at, true) != nullptr;
    return tileAt(at, false) == nullptr;
}

void ProductFavoriteController::respondToTapGesture(ui::GestureRecognizer& recognizer)
{
    gfx::Point at = recognizer.locationInView(view().get());
    if (tileAt(at, true))
        return;
    setInEdit(false);
    if (!titlebar())
        return;
    gfx::Point inBar = titlebar()->convertPointFromView(at, view().get());
    // Against the buttons' frames: a tap beside remove-all must not empty the list.
    if (removeAllBtn() && removeAllBtn()->frame().contains(inBar))
        removeAllFavorites();
    else if (btnClose() && btnClose()->frame().contains(inBar))
        close();
}

void ProductFavoriteController::respondToLongPressGesture(ui::GestureRecognizer& recognizer)
{
    if (recognizer.state() != ui::GestureRecognizer::State::Began || inEdit())
        return;
    if (tileAt(recognizer.locationInView(view().get()), true))
        setInEdit(true);
}

void ProductFavoriteController::didSelectedImage(DetailCell& tile)
{
    if (inEdit())
        return;
    size_t row = static_cast<size_t>(tile.tag() - kBase);
    std::vector<brivanta_product_Entity> products;
    std::optional<uint32_t> index;
    for (auto& [r, product] : readableProducts()) {
        if (r == row)
            index = static_cast<uint32_t>(products.size());
        products.push_back(std::move(product));
    }
    auto keep = sharedController();
    close();
    if (index)
        openProductPage(*index, std::move(products));
}

void ProductFavoriteController::deleteSingleFavorite(int tag)
{
    int index = tag - kBase;
    base::logf("deleteSingleFavorite:%d", index);
    if (index < 0 || static_cast<size_t>(index) >= m_favArray.size())
        return;
    DataAccessManager::sharedDataModel()->deleteSingleFavoriteByFavoriteId(m_favArray[static_cast<size_t>(index)].product_id);
    m_favArray.erase(m_favArray.begin() + index);
    getFavoritesShowData();
    if (auto listener = favDelegate())
        listener->changeAddFavoriteButtonState();
}

void ProductFavoriteController::removeAllFavorites()
{
    m_favArray.clear();
    DataAccessManager::sharedDataModel()->deleteAllFavorites();
    getFavoritesShowData();
    if (auto listener = favDelegate())
        listener->changeAddFavoriteButtonState();
    std::make_shared<UIToast>()->show(Language::stringWithName("ALLFAVORITESREMOVED"));
    close();
}

void ProductFavoriteController::addToOrder(DetailCell& tile)
{
    m_flow->addToOrder(tile.tag());
}

brivanta_product_Entity* ProductFavoriteController::addFlowProductAtIndex(uint32_t index)
{
    if (index >= m_favArray.size())
        return nullptr;
    return freshProduct(m_favArray[index].product_id);
}

BadgeButton* ProductFavoriteController::addFlowBadgeAtIndex(uint32_t index)
{
    DetailCell* tile = tileWithTag(kBase + static_cast<int>(index));
    return tile ? &tile->addOrderBtn() : nullptr;
}

gfx::Rect ProductFavoriteController::addFlowAnchorAtIndex(uint32_t index)
{
    DetailCell* tile = tileWithTag(kBase + static_cast<int>(index));
    return tile ? tile->convertRectToView(tile->bounds(), view().get()) : gfx::Rect();
}
