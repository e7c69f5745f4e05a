#include "Classes/Catalog/ProductDetailController.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Widgets/IconButton.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Widgets/ProductAttributeView.h"
#include "Classes/Catalog/ProductDescView.h"
#include "Classes/Catalog/RelatedProductViewcontroller.h"
#include "Classes/Library/ProductRelatedFileController.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/Language.h"
#include "Common/NumericInputValidator.h"
#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Common/SkinManager.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Protocol/SyncModel.h"
#include "Platform/Base/DeferredCall.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/SwipeGestureRecognizer.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr const char* kRefreshKey = "refreshProduct";
const gfx::Size kFullImageSize{1024, 768}; // the whole window
const gfx::Size kThumbnailShown{320, 220}; // a thumbnail's box, twice

gfx::Color pageColor()
{
    return gfx::Color::fromRgb(176, 48, 96);
}

gfx::Color discountColor()
{
    return gfx::Color::fromRgb(128, 0, 128);
}

std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, const gfx::Font& font, gfx::Color color)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setFont(font);
    label->setTextColor(color);
    label->setBackgroundColor(std::nullopt);
    return label;
}

bool isBlank(const std::optional<std::string>& text)
{
    return !text || text->find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string format(const std::string& name, int index, int count)
{
    return name + "  ( " + std::to_string(index) + " / " + std::to_string(count) + " )";
}

// What a product picture that cannot be read shows, and what stands in while one is decoded.
gfx::Image placeholderImage()
{
    return PublicFunction::getLocalImageFiletype(std::nullopt, 1);
}

void showToast(const std::string& key)
{
    std::make_shared<UIToast>()->show(Language::stringWithName(key));
}

void showAlert(const std::string& message, ui::AlertViewDelegate* delegate = nullptr)
{
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"), message, delegate,
                                                 Language::stringWithName("OK"));
    alert->show();
}

std::shared_ptr<UITabBarControllerExt> mainTabBar()
{
    auto app = BrivantaAppDelegate::sharedAppDelegate();
    return app ? app->tabBarController() : nullptr;
}

std::shared_ptr<ui::NavigationController> rootNavigationController()
{
    ui::Window* window = ui::Window::keyWindow();
    return window ? std::dynamic_pointer_cast<ui::NavigationController>(window->rootViewController()) : nullptr;
}

} // namespace

ProductDetailController::ProductDetailController() = default;

std::shared_ptr<ProductDetailController> ProductDetailController::pageForRequest(const ProductPageRequest& request)
{
    auto page = std::make_shared<ProductDetailController>();
    page->setProductEntity(request.product);
    page->setProductID(request.product.product_id);
    page->setProductArray(request.products);
    page->setProductCount(request.count);
    page->setTag(request.index);
    page->setLblTitle(request.lblTitle);
    page->set_currentTag(request.currentTag);
    if (!request.tags.empty())
        page->set_dataArray(request.tags);
    return page;
}

void ProductDetailController::installPageMaker()
{
    ProductPageRoad::setMaker([](const ProductPageRequest& request) -> std::shared_ptr<ui::ViewController> {
        return pageForRequest(request);
    });
}

void ProductDetailController::deselectCompareButton()
{
    if (m_compareBtn)
        m_compareBtn->setSelected(false);
}

void ProductDetailController::deselectFavoriteButton()
{
    if (m_favBtn)
        m_favBtn->setSelected(false);
}

ProductDetailController::~ProductDetailController()
{
    if (m_manyImagesView)
        m_manyImagesView->setDelegate(nullptr);
    if (m_tagsScrollView)
        m_tagsScrollView->setDelegate(nullptr);
    if (m_countTextField)
        m_countTextField->setDelegate(nullptr);
    for (auto& sub : m_manyImagesView ? m_manyImagesView->subviews() : std::vector<std::shared_ptr<ui::View>>{})
        if (auto* cell = dynamic_cast<ProductDetailManyImageCell*>(sub.get()))
            cell->setProductDetailManyImageCellDelegate(nullptr);
}

std::weak_ptr<const void> ProductDetailController::owner()
{
    return std::weak_ptr<const void>(shared_from_this());
}

int ProductDetailController::effectiveProductCount() const
{
    return std::max<int>(1, static_cast<int>(m_productArray.size()));
}

int ProductDetailController::quantityOfText(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t\r\n");
    if (i == std::string::npos)
        return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(std::max(-value, static_cast<long long>(INT_MIN)));
    return static_cast<int>(std::min(value, static_cast<long long>(INT_MAX)));
}

double ProductDetailController::snappedThumbnailOffset(double target)
{
    if (target <= 0)
        return 0;
    double base = kThumbnailStep * std::trunc(target / kThumbnailStep);
    double rest = target - base;
    return rest - 8 < kThumbnailWidth / 2 ? base : base + kThumbnailStep;
}

void ProductDetailController::setIsInEdit(bool edit)
{
    m_isInEdit = edit;
    if (m_addToOrderBtn)
        m_addToOrderBtn->setIconType(edit ? 2 : 1);
}

// The interface of the page: labels, picture, strips, buttons and the quantity field.
void ProductDetailController::layoutPage()
{
    auto page = view();
    page->setBackgroundColor(gfx::Color::white());
    std::weak_ptr<ProductDetailController> weak = std::static_pointer_cast<ProductDetailController>(sharedController());
    auto on = [weak](void (ProductDetailController::*action)()) {
        return [weak, action](ui::Control&) {
            if (auto self = weak.lock())
                ((*self).*action)();
        };
    };

    m_productImageView = std::make_shared<ui::ImageView>(gfx::Rect(50, 15, 540, 440));
    m_productImageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    page->addSubview(m_productImageView);
    m_manyImagesView = std::make_shared<ui::ScrollView>(gfx::Rect(50, 475, 540, 92));
    m_manyImagesView->setBackgroundColor(std::nullopt);
    page->addSubview(m_manyImagesView);

    auto title = [&](double y) {
        auto label = makeLabel({620, y, 72, 24}, gfx::Font::boldSystemFont(16), gfx::Color::fromWhite(0.35));
        page->addSubview(label);
        return label;
    };
    m_productNameTittle = title(15);
    m_productNameLabel = makeLabel({695, 14, 300, 26}, gfx::Font::boldSystemFont(18), pageColor());
    page->addSubview(m_productNameLabel);
    m_skuTittle = title(50);
    m_skuLabel = makeLabel({695, 49, 300, 26}, gfx::Font::boldSystemFont(18), pageColor());
    page->addSubview(m_skuLabel);
    m_priceTittle = title(84);
    m_priceLabel = makeLabel({695, 81, 130, 30}, gfx::Font::boldSystemFont(20), pageColor());
    page->addSubview(m_priceLabel);
    for (double y : {117.0, 168.0, 383.0}) {
        auto line = std::make_shared<ui::ImageView>(SkinManager::bundledImageNamed("productDetaildivideline.png"));
        line->setFrame({620, y, 360, 1});
        page->addSubview(line);
        m_dividers.push_back(line);
    }

    auto iconButton = [&](const gfx::Rect& frame, void (ProductDetailController::*action)()) {
        auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom, frame);
        button->addTarget(on(action), ui::ControlEventTouchUpInside);
        page->addSubview(button);
        return button;
    };
    m_relatedBtn = iconButton({620, 328, 44, 44}, &ProductDetailController::RelatedBtnClicked);
    m_relatedFileBtn = iconButton({672, 328, 44, 44}, &ProductDetailController::RelatedFileBtnClicked);
    m_compareBtn = iconButton({884, 328, 44, 44}, &ProductDetailController::productCompare);
    m_favBtn = iconButton({936, 328, 44, 44}, &ProductDetailController::addProductToFavorite);
    m_deleteBtn = iconButton({620, 585, 34, 34}, &ProductDetailController::deleteCount);
    m_addBtn = iconButton({760, 585, 34, 34}, &ProductDetailController::addCount);
    m_countTextField = std::make_shared<ui::TextField>(gfx::Rect(660, 585, 94, 34));
    m_countTextField->setTextAlignment(gfx::TextAlignment::Center);
    page->addSubview(m_countTextField);
}

void ProductDetailController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    layoutPage();
    auto page = view();
    std::weak_ptr<ProductDetailController> weak = std::static_pointer_cast<ProductDetailController>(sharedController());

    // 1. Name, price, SKU.
    m_productNameLabel->setNumberOfLines(0);
    m_discountLabel = makeLabel({}, gfx::Font("Helvetica-Bold", 20), discountColor());
    page->addSubview(m_discountLabel);
    showNameAndSku();
    // 2. The quantity.
    m_countTextField->setText("1");
    m_countTextField->setDelegate(this);
    m_countTextField->setBackground(SkinManager::skinFromImageName(std::string("input.png")));
    // 3. The main picture.
    loadMainImage();
    // 4. The description.
    replaceDescriptionView(137);
    // 5. The tag strip.
    m_tagsScrollView = std::make_shared<ui::ScrollView>(gfx::Rect(620, 120, 349, 45));
    m_tagsScrollView->setBackgroundColor(std::nullopt);
    m_tagsScrollView->setHidden(true);
    m_tagsScrollView->setDelegate(this);
    page->addSubview(m_tagsScrollView);
    // 6. The attribute choosers.
    m_attributeView = std::make_shared<ProductAttributeView>(gfx::Rect(620, 392, 365, 178));
    m_attributeView->setBackgroundColor(std::nullopt);
    m_attributeView->setAttributeFont(gfx::Font::systemFont(17));
    m_attributeView->setAttributeColor(pageColor());
    page->addSubview(m_attributeView);
    if (auto data = DataAccessManager::sharedDataModel())
        m_attributeView->setAttributeAry(data->getProductAttributeByProductId(m_productID));
    // 7. A tap on the picture opens the viewer.
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addTarget([weak](ui::GestureRecognizer&) {
        if (auto self = weak.lock())
            self->onClickImage();
    });
    m_productImageView->setUserInteractionEnabled(true);
    m_productImageView->addGestureRecognizer(tap);
    // 8. The arrows.
    auto arrow = [&](const gfx::Rect& frame, const char* normal, const char* highlighted, bool previous) {
        auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom, frame);
        button->setImage(SkinManager::skinFromImageName(std::string(normal)));
        button->setImage(SkinManager::skinFromImageName(std::string(highlighted)), ui::ControlStateHighlighted);
        button->addTarget([weak, previous](ui::Control& sender) {
            if (auto self = weak.lock())
                previous ? self->slipToRight(&sender) : self->slipToLeft(&sender);
        }, ui::ControlEventTouchUpInside);
        page->addSubview(button);
        return button;
    };
    m_tapToLeftProduct = arrow({13, 285, 23, 87}, "Icon_Arrow_Left_23x87.png", "Icon_Arrow_Left_Highlighted_23x87.png", true);
    m_tapToRightProduct = arrow({987, 285, 23, 87}, "Icon_Arrow_Right_23x87.png", "Icon_Arrow_Right_Highlighted_23x87.png", false);
    // 9. The add button.
    m_addToOrderBtn = std::make_shared<IconButton>(gfx::Rect(826, 585, 143, 34));
    m_addToOrderBtn->addTarget([weak](ui::Control&) {
        if (auto self = weak.lock())
            self->addToOrder();
    }, ui::ControlEventTouchUpInside);
    m_addToOrderBtn->setIconType(m_isInEdit ? 2 : 1);
    PublicFunction::initializeToButtonHeight34(m_addToOrderBtn.get());
    page->addSubview(m_addToOrderBtn);
    // 10. The thumbnail strip snaps.
    m_manyImagesView->setDelegate(this);
    // Pictures still on their way when the page opened show when a sync brings them.
    m_fileArrived = base::NotificationCenter::defaultCenter().addObserver(
        SyncModel::kFileArrivedNotification, nullptr, [weak](const base::Notification& n) {
            auto name = std::static_pointer_cast<std::string>(n.object);
            auto self = weak.lock();
            if (self && name && n.userInfo.isInteger() && n.userInfo.asInteger() == 1)
                self->fileArrived(*name);
        });
    // 11. The first time: frame, indices, swipes.
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    // 12. The values.
    fillValues();
}

void ProductDetailController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    view()->setFrame({0, 0, 1024, 638});
    m_currentImageIndex = 0;
    m_selectedTagIndex = -1;
    std::weak_ptr<ProductDetailController> weak = std::static_pointer_cast<ProductDetailController>(sharedController());
    m_swipeGestureRecognizers.clear();
    for (auto direction : {ui::SwipeGestureRecognizer::Right, ui::SwipeGestureRecognizer::Left}) {
        auto swipe = std::make_shared<ui::SwipeGestureRecognizer>();
        swipe->setDirection(direction);
        swipe->addTarget([weak, direction](ui::GestureRecognizer&) {
            auto self = weak.lock();
            if (!self)
                return;
            if (direction == ui::SwipeGestureRecognizer::Right)
                self->slipToRight(nullptr);
            else
                self->slipToLeft(nullptr);
        });
        view()->addGestureRecognizer(swipe);
        m_swipeGestureRecognizers.push_back(swipe);
    }
}

void ProductDetailController::removeSwipeGestureRecognizers()
{
    if (!isViewLoaded())
        return;
    for (auto& swipe : m_swipeGestureRecognizers)
        view()->removeGestureRecognizer(swipe.get());
}

void ProductDetailController::fillValues()
{
    if (!delegate())
        loadTagsScrollView();
    loadManyImages();
    showPrice();
    m_tapToLeftProduct->setHidden(m_tag == 0);
    int count = effectiveProductCount();
    m_tapToRightProduct->setHidden(count == 1 || m_tag + 1 >= count);
    showRelatedAndToggles();
    showTitles();
    m_relatedBtn->setImage(SkinManager::skinFromImageName(std::string("btn-related.png")));
    m_relatedFileBtn->setImage(SkinManager::skinFromImageName(std::string("btn-materials.png")));
    m_compareBtn->setImage(SkinManager::skinFromImageName(std::string("btn-addcompare.png")));
    m_compareBtn->setImage(SkinManager::skinFromImageName(std::string("btn-compareAdded.png")), ui::ControlStateSelected);
    m_favBtn->setImage(SkinManager::skinFromImageName(std::string("btn-addfav.png")));
    m_favBtn->setImage(SkinManager::skinFromImageName(std::string("btn-favAdded.png")), ui::ControlStateSelected);
    m_addBtn->setImage(SkinManager::skinFromImageName(std::string("icon-add.png")));
    m_deleteBtn->setImage(SkinManager::skinFromImageName(std::string("icon-remove.png")));
    bool orders = QuoteOrderStore::sharedQuoteOrderStore()->isOrderOnShow();
    for (ui::View* v : {static_cast<ui::View*>(m_deleteBtn.get()), static_cast<ui::View*>(m_countTextField.get()),
                        static_cast<ui::View*>(m_addBtn.get()), static_cast<ui::View*>(m_addToOrderBtn.get())})
        v->setHidden(!orders);
}

void ProductDetailController::showNameAndSku()
{
    m_productNameLabel->setText(m_productEntity.product_name.value_or(""));
    m_skuLabel->setText(m_productEntity.product_sku.value_or(""));
    m_skuTittle->setHidden(isBlank(m_productEntity.product_sku));
}

void ProductDetailController::showTitles()
{
    m_productNameTittle->setText(Language::stringWithName("NAME") + ":");
    m_skuTittle->setText(Language::stringWithName("SKU") + ":");
    m_priceTittle->setText(Language::stringWithName("PRICE") + ":");
}

void ProductDetailController::showRelatedAndToggles()
{
    auto data = DataAccessManager::sharedDataModel();
    m_relatedProducts = data ? data->getrelatedProductIDsByProductid(m_productID).value_or(std::vector<brivanta_product_Entity>{})
                             : std::vector<brivanta_product_Entity>{};
    m_relatedBtn->setHidden(m_relatedProducts.empty());
    m_productRelateFiles = data ? data->getProductRelatedFilesByProductId(m_productID)
                                : std::vector<brivanta_library_files_Entity>{};
    m_relatedFileBtn->setHidden(m_productRelateFiles.empty());
    m_compareBtn->setSelected(data && data->getCompareByCompareId(m_productID).has_value());
    m_favBtn->setSelected(data && data->getFavoriteByFavoriteId(m_productID).has_value());
}

void ProductDetailController::loadMainImage()
{
    auto data = DataAccessManager::sharedDataModel();
    auto record = data ? data->getImageByKeyId(m_productID) : std::nullopt;
    showFullImage(record ? record->image_full_address : std::nullopt, placeholderImage());
}

void ProductDetailController::showFullImage(const std::optional<std::string>& name, const gfx::Image& standIn)
{
    // A new token per request: the one asked before is dropped unstarted when its turn comes,
    // so paging through products never queues their full pictures behind each other.
    auto token = std::make_shared<const int>(0);
    m_mainImageToken = token;
    m_mainImageShown = false;
    m_mainImageName = name;
    PublicFunction::ImageViewFitImgImg(m_productImageView.get(), standIn.isNull() ? placeholderImage() : standIn);
    std::weak_ptr<ProductDetailController> weak = std::static_pointer_cast<ProductDetailController>(sharedController());
    ScreenPicture::load(PublicFunction::filePathWithNameFiletype(name, 1), kFullImageSize,
                        std::weak_ptr<const void>(token), [weak](gfx::Image image) {
                            auto self = weak.lock();
                            if (!self || !self->m_productImageView)
                                return;
                            PublicFunction::ImageViewFitImgImg(self->m_productImageView.get(),
                                                               image.isNull() ? placeholderImage() : image);
                            self->m_mainImageShown = !image.isNull();
                        });
}

void ProductDetailController::replaceDescriptionView(double height)
{
    if (m_descriptionView)
        m_descriptionView->removeFromSuperview();
    m_descriptionView = std::make_shared<ProductDescView>(gfx::Rect(620, 175, 352, height));
    m_descriptionView->setBackgroundColor(std::nullopt);
    m_descriptionView->setShortDesc(m_productEntity.product_s_desc);
    m_descriptionView->setLongDesc(m_productEntity.product_l_desc);
    view()->addSubview(m_descriptionView);
}

void ProductDetailController::showPrice()
{
    auto data = DataAccessManager::sharedDataModel();
    brivanta_product_price_Entity price = data ? data->getPriceEntityByProductId(m_productID) : brivanta_product_price_Entity{};
    m_priceTittle->setHidden(price.isHidden());
    m_priceLabel->setHidden(price.isHidden());
    m_priceLabel->setText(price.strPrice());
    PublicFunction::removeDeletionLineFromLabel(m_priceLabel.get());
    if (price.discount_flag && !price.isHidden()) {
        gfx::Rect frame = m_priceLabel->frame();
        double width = gfx::sizeOfText(m_priceLabel->text(), m_priceLabel->font(), {1e6, 40},
                                       gfx::LineBreakMode::WordWrap).width;
        m_discountLabel->setFrame({frame.x() + width + 20, frame.y(), frame.width(), frame.height()});
        m_discountLabel->setText(price.strDiscountPrice());
        m_discountLabel->setFont(gfx::Font("Helvetica-Bold", 20));
        m_discountLabel->setTextColor(discountColor());
        PublicFunction::addDeletionLineToLabel(m_priceLabel.get());
    } else {
        m_discountLabel->setText("");
        m_discountLabel->setFrame({});
    }
}

void ProductDetailController::loadTagsScrollView()
{
    auto data = DataAccessManager::sharedDataModel();
    std::vector<std::string> names;
    for (const auto& tag : data ? data->getTagsByProductID(m_productEntity.product_id) : std::vector<brivanta_tag_entity>{}) {
        std::string name = tag.tag_name.value_or("");
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    for (auto& sub : std::vector<std::shared_ptr<ui::View>>(m_tagsScrollView->subviews()))
        if (dynamic_cast<ui::Button*>(sub.get()))
            sub->removeFromSuperview();
    if (m_currentTag) {
        names.erase(std::remove(names.begin(), names.end(), *m_currentTag), names.end());
        names.insert(names.begin(), *m_currentTag);
    }
    m_dataArray = names;

    std::weak_ptr<ProductDetailController> weak = std::static_pointer_cast<ProductDetailController>(sharedController());
    gfx::Image normal = PublicFunction::resizeImageWithCapInsets(SkinManager::skinFromImageName(std::string("btn_tag.png")),
                                                                 {1, 15, 1, 15});
    gfx::Image selected = PublicFunction::resizeImageWithCapInsets(
        SkinManager::skinFromImageName(std::string("btn_tag_selected.png")), {1, 15, 1, 15});
    gfx::Font font = gfx::Font::systemFont(14);
    double x = 0, bare = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty())
            continue;
        double width = 90;
        double titleWidth = gfx::sizeOfText(names[i], font, {1e6, 30}, gfx::LineBreakMode::WordWrap).width;
        if (titleWidth > 50)
            width = titleWidth + 20;
        auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(x, 0, width, 35));
        button->setTag(static_cast<int>(i));
        button->setTitle(names[i]);
        button->titleLabel().setFont(font);
        button->setTitleColor(gfx::Color::black().withAlpha(0.8));
        button->setBackgroundImage(normal);
        button->setBackgroundImage(selected, ui::ControlStateSelected);
        button->setBackgroundColor(std::nullopt);
        button->setSelected(m_currentTag && names[i] == *m_currentTag);
        button->addTarget([weak](ui::Control& sender) {
            if (auto self = weak.lock())
                self->clickOtherTags(static_cast<ui::Button&>(sender));
        }, ui::ControlEventTouchUpInside);
        m_tagsScrollView->addSubview(button);
        x += width + 10;
        bare += width;
    }
    double stripWidth = m_tagsScrollView->bounds().width();
    m_tagsScrollView->setContentSize({bare < stripWidth ? stripWidth : x, m_tagsScrollView->bounds().height()});
    m_tagsScrollView->setHidden(false);
}

void ProductDetailController::clickOtherTags(ui::Button& button)
{
    int index = button.tag();
    if (index == m_selectedTagIndex || !m_dataArray || index < 0 || static_cast<size_t>(index) >= m_dataArray->size())
        return;
    m_selectedTagIndex = index;
    for (auto& sub : m_tagsScrollView->subviews())
        if (auto* other = dynamic_cast<ui::Button*>(sub.get()))
            other->setSelected(false);
    button.setSelected(true);
    std::string name = (*m_dataArray)[static_cast<size_t>(index)];
    // The catalogue's panels listen; they must be on screen to show the result.
    selectCatalogueTab();
    auto& center = base::NotificationCenter::defaultCenter();
    if (MasterViewController::getCurrentState() == 0)
        center.post("changeMasterViewState");
    center.post("detailOnClickTagListener", std::make_shared<std::string>(name));
}

void ProductDetailController::selectCatalogueTab() const
{
    auto tabs = mainTabBar();
    if (tabs && tabs->iCurSelectTab() != 1)
        tabs->selectTab(1);
}

std::shared_ptr<ui::ViewController> ProductDetailController::catalogueController() const
{
    auto tabs = mainTabBar();
    if (tabs && tabs->viewControllers().size() > 1)
        return tabs->viewControllers()[1];
    return nullptr;
}

void ProductDetailController::loadManyImages()
{
    for (auto& sub : std::vector<std::shared_ptr<ui::View>>(m_manyImagesView->subviews()))
        if (auto* cell = dynamic_cast<ProductDetailManyImageCell*>(sub.get())) {
            cell->setProductDetailManyImageCellDelegate(nullptr);
            sub->removeFromSuperview();
        }
    auto data = DataAccessManager::sharedDataModel();
    m_manyImagesArray = data ? data->getManyImageByKeyId(m_productID) : std::vector<brivanta_image_Entity>{};
    if (m_manyImagesArray.size() <= 1) {
        m_manyImagesView->setHidden(true);
        return;
    }
    m_manyImagesView->setHidden(false);
    double x = 0;
    for (size_t i = 0; i < m_manyImagesArray.size(); ++i) {
        auto cell = std::make_shared<ProductDetailManyImageCell>("ProductDetailManyImageCell");
        cell->setIsFocus(i == 0);
        cell->setProductDetailManyImageCellDelegate(this);
        cell->setTag(kThumbnailTagBase + static_cast<int>(i));
        cell->setFrame({x, 0, m_cellWidth, 92});
        cell->layoutIfNeeded();
        loadThumbnail(cell, m_manyImagesArray[i].image_thumb_address);
        m_manyImagesView->addSubview(cell);
        x += m_cellWidth + 8;
    }
    m_manyImagesView->setContentSize({x - 8, m_manyImagesView->bounds().height()});
}

void ProductDetailController::loadThumbnail(const std::shared_ptr<ProductDetailManyImageCell>& cell,
                                            const std::optional<std::string>& name)
{
    std::weak_ptr<ProductDetailManyImageCell> weakCell = cell;
    ScreenPicture::load(PublicFunction::filePathWithNameFiletype(name, 1), kThumbnailShown, weakCell,
                        [weakCell](gfx::Image image) {
                            if (auto shown = weakCell.lock())
                                PublicFunction::ImageViewFitImgImg(shown->imageView_().get(),
                                                                   image.isNull() ? placeholderImage() : image);
                        });
}

void ProductDetailController::fileArrived(const std::string& name)
{
    if (!m_productImageView)
        return;
    // The main picture still shows its stand-in: the file it waited for has come.
    if (!m_mainImageShown && m_mainImageName == name)
        showFullImage(name, m_productImageView->image());
    if (!m_manyImagesView)
        return;
    for (size_t i = 0; i < m_manyImagesArray.size(); ++i) {
        if (m_manyImagesArray[i].image_thumb_address != name)
            continue;
        for (const auto& sub : m_manyImagesView->subviews())
            if (sub->tag() == kThumbnailTagBase + static_cast<int>(i))
                if (auto cell = std::dynamic_pointer_cast<ProductDetailManyImageCell>(sub))
                    loadThumbnail(cell, name);
    }
}

void ProductDetailController::scrollViewWillEndDragging(ui::ScrollView& scrollView, gfx::Point, gfx::Point* target)
{
    if (&scrollView == m_manyImagesView.get() && target)
        target->x = snappedThumbnailOffset(target->x);
}

void ProductDetailController::didSelectedManyImage(ProductDetailManyImageCell& cell)
{
    int index = cell.tag() - kThumbnailTagBase;
    if (index == m_currentImageIndex || index < 0 || static_cast<size_t>(index) >= m_manyImagesArray.size())
        return;
    m_currentImageIndex = index;
    for (auto& sub : m_manyImagesView->subviews())
        if (auto* other = dynamic_cast<ProductDetailManyImageCell*>(sub.get()))
            other->setIsFocus(other == &cell);
    // The old picture fades out above while the new one fades in below, both starting now; the
    // new one shows its thumbnail until its full picture is decoded.
    auto outgoing = std::make_shared<ui::ImageView>(m_productImageView->frame());
    outgoing->setImage(m_productImageView->image());
    outgoing->setContentMode(m_productImageView->contentMode());
    view()->insertSubviewAboveSubview(outgoing, m_productImageView.get());
    ui::View::AnimationOptions out;
    out.duration = 0.35;
    out.curve = ui::View::AnimationOptions::Curve::EaseIn;
    ui::View::animate(out, [outgoing] { outgoing->setAlpha(0); }, [outgoing](bool) { outgoing->removeFromSuperview(); });
    showFullImage(m_manyImagesArray[static_cast<size_t>(index)].image_full_address, cell.imageView_()->image());
    m_productImageView->setAlpha(0);
    ui::View::AnimationOptions in;
    in.duration = 0.5;
    in.curve = ui::View::AnimationOptions::Curve::EaseOut;
    auto main = m_productImageView;
    ui::View::animate(in, [main] { main->setAlpha(1); });
}

void ProductDetailController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto tabs = mainTabBar())
        tabs->itemsMove(true);
    m_titleLabel = makeLabel({0, 5, 1024, 30}, gfx::Font("Helvetica-Bold", 20), gfx::Color::white());
    m_titleLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_titleLabel->setText(m_productEntity.product_name.value_or(""));
    setTitleView(m_titleLabel);
    refreshOrderCount();
}

void ProductDetailController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    m_tagsScrollView->flashScrollIndicators();
    m_descriptionView->flashScrollIndicators();
    m_manyImagesView->flashScrollIndicators();
}

void ProductDetailController::refreshOrderCount()
{
    m_productEntity.itemNumberInOrder = 0;
    QuoteOrderStore::sharedQuoteOrderStore()->getItemNumberInOrder(m_productEntity);
    if (!m_addToOrderBtn)
        return;
    int n = m_productEntity.itemNumberInOrder;
    m_addToOrderBtn->setBadgeValueAnimated(n ? std::optional<std::string>(std::to_string(n)) : std::nullopt, false);
}

void ProductDetailController::bounce(double by, const std::string& key)
{
    auto animation = ui::LayerAnimation::make("position.x");
    double x = view()->center().x;
    animation->values = {x, x + by};
    animation->duration = 0.2;
    animation->curve = ui::View::AnimationOptions::Curve::EaseInOut;
    animation->autoreverses = true;
    view()->addAnimation(animation, key);
}

void ProductDetailController::showProductAt(size_t index)
{
    m_productEntity = m_productArray[index];
    m_productID = m_productEntity.product_id;
    if (m_dataArray) {
        loadTagsScrollView();
        m_selectedTagIndex = -1;
    }
}

void ProductDetailController::slipToRight(ui::Responder* sender)
{
    if (dynamic_cast<ui::Button*>(sender) && sender != m_tapToLeftProduct.get())
        return;
    if (!isViewLoaded())
        return;
    int count = effectiveProductCount();
    if (count != 1)
        m_tapToRightProduct->setHidden(false);
    if (m_tag > 0 && static_cast<size_t>(m_tag - 1) < m_productArray.size()) {
        showProductAt(static_cast<size_t>(m_tag - 1));
        ui::View::TransitionOptions transition;
        transition.type = ui::View::TransitionOptions::Type::Reveal;
        transition.subtype = ui::View::TransitionOptions::Subtype::FromLeft;
        transition.duration = 0.4;
        transition.curve = ui::View::AnimationOptions::Curve::EaseIn;
        view()->addTransition(transition, "kPagePushFromLeft");
        refreshProduct();
        --m_tag;
        refreshTitle();
    } else {
        bounce(100, "BouceToRight");
    }
    m_tapToLeftProduct->setHidden(m_tag == 0);
    refreshOrderCount();
}

void ProductDetailController::slipToLeft(ui::Responder* sender)
{
    if (dynamic_cast<ui::Button*>(sender) && sender != m_tapToRightProduct.get())
        return;
    if (!isViewLoaded())
        return;
    int count = effectiveProductCount();
    if (count != 1)
        m_tapToLeftProduct->setHidden(false);
    if (m_tag + 1 < count && static_cast<size_t>(m_tag + 1) < m_productArray.size()) {
        showProductAt(static_cast<size_t>(m_tag + 1));
        ui::View::TransitionOptions transition;
        transition.type = ui::View::TransitionOptions::Type::MoveIn;
        transition.subtype = ui::View::TransitionOptions::Subtype::FromRight;
        transition.duration = 0.4;
        transition.curve = ui::View::AnimationOptions::Curve::EaseOut;
        view()->addTransition(transition, "kPagePushFromRight");
        refreshProduct();
        ++m_tag;
        refreshTitle();
    } else {
        bounce(-100, "BouceToLeft");
    }
    m_tapToRightProduct->setHidden(count == 1 || m_tag + 1 >= count);
    refreshOrderCount();
}

void ProductDetailController::refreshProduct()
{
    if (!isViewLoaded())
        return;
    showRelatedAndToggles();
    m_productNameLabel->setNumberOfLines(0);
    showNameAndSku();
    showPrice();
    m_countTextField->setText("1");
    loadMainImage();
    m_currentImageIndex = 0;
    replaceDescriptionView(117);
    if (auto data = DataAccessManager::sharedDataModel())
        m_attributeView->setAttributeAry(data->getProductAttributeByProductId(m_productID));
    loadManyImages();
    m_tagsScrollView->flashScrollIndicators();
    m_descriptionView->flashScrollIndicators();
    m_manyImagesView->flashScrollIndicators();
}

void ProductDetailController::refreshTitle()
{
    if (m_titleLabel)
        m_titleLabel->setText(m_productEntity.product_name.value_or(""));
    auto label = m_lblTitle;
    if (!label)
        return;
    std::string text = format(m_productEntity.product_name.value_or(""), m_tag + 1, effectiveProductCount());
    ui::View::animate(0.2, [label] { label->setAlpha(0); }, [label, text](bool) {
        label->setText(text);
        ui::View::animate(0.2, [label] { label->setAlpha(1); });
    });
}

void ProductDetailController::onClickImage()
{
    view()->endEditing();
    std::vector<std::string> full, thumbs;
    for (const auto& image : m_manyImagesArray) {
        full.push_back(image.image_full_address.value_or(""));
        thumbs.push_back(image.image_thumb_address.value_or(""));
    }
    if (full.empty())
        return;
    auto viewer = std::make_shared<ProductDetailImageController>();
    m_imageController = viewer;
    viewer->setDelegate(std::dynamic_pointer_cast<PopControllerDelegate>(sharedController()));
    viewer->ImagesArray = full;
    viewer->thumbImagesArray = thumbs;
    viewer->productEntity = m_productEntity;
    viewer->productPrice = m_priceLabel->text();
    viewer->productDiscountPrice = m_discountLabel->text();
    viewer->productTitle = m_lblTitle ? m_lblTitle->text() : m_productEntity.product_name.value_or("");
    viewer->tag = m_currentImageIndex;
    // Only a decoded picture stands for the full image; a stand-in would stay for good.
    if (m_mainImageShown) {
        viewer->cachedImageIndex = m_currentImageIndex;
        viewer->currentImageCache = m_productImageView->image();
    }
    viewer->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    viewer->setModalTransitionStyle(ui::ModalTransitionStyle::CrossDissolve);
    auto presenter = catalogueController();
    (presenter ? presenter : sharedController())->presentViewController(viewer, true);
    viewer->btnLeft()->setHidden(m_tapToLeftProduct->isHidden());
    viewer->btnRight()->setHidden(m_tapToRightProduct->isHidden());
}

void ProductDetailController::changeProductSlideshow(int direction, bool slideshow)
{
    int count = effectiveProductCount();
    std::weak_ptr<ProductDetailController> weak = std::static_pointer_cast<ProductDetailController>(sharedController());
    auto scheduleRefresh = [&] {
        base::cancelPerforms(owner(), kRefreshKey);
        base::performAfterDelay(owner(), kRefreshKey, 0.3, [weak] {
            if (auto self = weak.lock())
                self->refreshProduct();
        });
    };
    if (direction == 1) {
        if (count != 1)
            m_tapToRightProduct->setHidden(false);
        if (m_tag > 0 && static_cast<size_t>(m_tag - 1) < m_productArray.size()) {
            showProductAt(static_cast<size_t>(m_tag - 1));
            scheduleRefresh();
            --m_tag;
            refreshTitle();
        }
        m_tapToLeftProduct->setHidden(m_tag == 0);
    } else if (direction == 2) {
        if (count != 1)
            m_tapToLeftProduct->setHidden(false);
        if (m_tag + 1 < count && static_cast<size_t>(m_tag + 1) < m_productArray.size()) {
            showProductAt(static_cast<size_t>(m_tag + 1));
            scheduleRefresh();
            ++m_tag;
            refreshTitle();
        } else if (slideshow && !m_productArray.empty() && m_tag != 0) {
            // The slide show goes round to the first product.
            showProductAt(0);
            scheduleRefresh();
            m_tag = 0;
            refreshTitle();
            m_tapToLeftProduct->setHidden(true);
            m_tapToRightProduct->setHidden(count == 1);
        }
        m_tapToRightProduct->setHidden(count == 1 || m_tag + 1 >= count);
    }
    if (auto viewer = m_imageController) {
        auto data = DataAccessManager::sharedDataModel();
        m_manyImagesArray = data ? data->getManyImageByKeyId(m_productID) : std::vector<brivanta_image_Entity>{};
        viewer->ImagesArray.clear();
        viewer->thumbImagesArray.clear();
        for (const auto& image : m_manyImagesArray) {
            viewer->ImagesArray.push_back(image.image_full_address.value_or(""));
            viewer->thumbImagesArray.push_back(image.image_thumb_address.value_or(""));
        }
        viewer->productEntity = m_productEntity;
        brivanta_product_price_Entity price = data ? data->getPriceEntityByProductId(m_productID) : brivanta_product_price_Entity{};
        viewer->productPrice = price.strPrice();
        viewer->productDiscountPrice = price.discount_flag ? price.strDiscountPrice() : std::string();
        viewer->productTitle = format(m_productEntity.product_name.value_or(""), m_tag + 1, count);
        viewer->tag = 0;
        if (viewer->btnLeft())
            viewer->btnLeft()->setHidden(m_tapToLeftProduct->isHidden());
        if (viewer->btnRight())
            viewer->btnRight()->setHidden(m_tapToRightProduct->isHidden());
    }
    refreshOrderCount();
}

void ProductDetailController::dismissPopController(bool animated)
{
    if (auto presenter = catalogueController(); presenter && presenter->presentedViewController())
        presenter->dismissViewController(animated);
    else if (presentedViewController())
        dismissViewController(animated);
    if (auto root = rootNavigationController(); root && root->viewControllers().size() > 1)
        root->popViewController(animated);
}

void ProductDetailController::RelatedBtnClicked()
{
    auto popup = std::make_shared<RelatedProductViewcontroller>();
    popup->setRelatedArray(m_relatedProducts);
    popup->setDelegate(std::dynamic_pointer_cast<PopControllerDelegate>(sharedController()));
    if (auto root = rootNavigationController())
        root->pushViewController(popup, true);
}

void ProductDetailController::RelatedFileBtnClicked()
{
    auto files = std::make_shared<ProductRelatedFileController>();
    files->setLibfilesArray(m_productRelateFiles);
    files->setDelegate(std::dynamic_pointer_cast<PopControllerDelegate>(sharedController()));
    if (auto root = rootNavigationController())
        root->pushViewController(files, true);
}

void ProductDetailController::productCompare()
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data)
        return;
    toggleStoredList(
        *m_compareBtn, [&] { return data->getCompareByCompareId(m_productID).has_value(); },
        [&] { data->deleteSingleCompareByCompareId(m_productID); },
        [&] { data->saveToDatabaseCompareSkuName(m_productID, m_productEntity.product_sku, m_productEntity.product_name); },
        "PRODUCTADDEDTOCOMSUCCESS", "PRODUCTREMOVEDFROMCOMPARSION");
}

void ProductDetailController::addProductToFavorite()
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data)
        return;
    toggleStoredList(
        *m_favBtn, [&] { return data->getFavoriteByFavoriteId(m_productID).has_value(); },
        [&] { data->deleteSingleFavoriteByFavoriteId(m_productID); },
        [&] { data->saveToDatabaseFavoriteSkuName(m_productID, m_productEntity.product_sku, m_productEntity.product_name); },
        "PRODUCTADDEDTOFAVSUCCESS", "PRODUCTREMOVEDFROMFAVORITE");
}

void ProductDetailController::toggleStoredList(ui::Button& button, const std::function<bool()>& isStored,
                                               const std::function<void()>& remove, const std::function<void()>& add,
                                               const char* addedText, const char* removedText)
{
    // Decided by what is stored, and judged by what is stored afterwards.
    bool before = isStored();
    if (before)
        remove();
    else
        add();
    bool after = isStored();
    if (after == before) {
        showToast("FAILED");
        return;
    }
    button.setSelected(after);
    showToast(after ? addedText : removedText);
}

void ProductDetailController::deleteCount()
{
    int q = quantityOfText(m_countTextField->text());
    if (q >= 2)
        m_countTextField->setText(std::to_string(q - 1));
}

void ProductDetailController::addCount()
{
    int q = quantityOfText(m_countTextField->text());
    if (q < INT_MAX)
        m_countTextField->setText(std::to_string(q + 1));
}

void ProductDetailController::textFieldDidBeginEditing(ui::TextField&)
{
    // Nothing to make room for where no keyboard is on screen: the page stays under the pointer.
    if (!ui::Keyboard::isOnScreen())
        return;
    auto page = view();
    gfx::Rect frame = page->frame();
    ui::View::animate(0.25, [&] { page->setFrame({frame.x(), -kKeyboardShift, frame.width(), frame.height()}); });
}

void ProductDetailController::textFieldDidEndEditing(ui::TextField&)
{
    auto page = view();
    gfx::Rect frame = page->frame();
    if (frame.y() == 0)
        return;
    ui::View::animate(0.25, [&] { page->setFrame({frame.x(), 0, frame.width(), frame.height()}); });
}

bool ProductDetailController::checkQuantity(int quantity)
{
    if (quantity == 0) {
        showAlert(Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER"));
        return false;
    }
    std::optional<InputValidationError> error;
    if (!NumericInputValidator().validateInputError(m_countTextField.get(), &error)) {
        showAlert(error ? error->localizedFailureReason : Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER"));
        return false;
    }
    if (quantity > kMaximumQuantity) {
        m_countTextField->setText(std::to_string(kMaximumQuantity));
        showAlert(Language::stringWithName("ORDEROVERMAX"));
        return false;
    }
    return true;
}

void ProductDetailController::addToOrder()
{
    if (m_isInEdit) {
        addInEditMode();
        return;
    }
    int quantity = quantityOfText(m_countTextField->text());
    if (!checkQuantity(quantity))
        return;
    auto data = DataAccessManager::sharedDataModel();
    if (auto fresh = data ? data->getProductByProductId(m_productID) : std::nullopt)
        m_productEntity = *fresh;
    refreshOrderCount();
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    if (store->diffItemCYExist(m_productEntity)) {
        m_pendingCount = quantity;
        auto alert = std::make_shared<ui::AlertView>("", Language::stringWithName("NOTTHESAMEMONEYCY"), this,
                                                     Language::stringWithName("DONTSAVE"),
                                                     std::vector<std::string>{Language::stringWithName("SAVE")});
        alert->setTag(kCurrencyAlertTag);
        alert->show();
        return;
    }
    addProductWithCount(quantity);
}

void ProductDetailController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    if (alert.tag() != kCurrencyAlertTag)
        return;
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    if (index == alert.cancelButtonIndex()) {
        store->removeCurrentQuoteOrder();
        addProductWithCount(m_pendingCount);
        return;
    }
    bool saved = store->saveCurrentQuoteOrder();
    refreshOrderCount();
    if (!saved) {
        // The order stays open with its lines, so the orders tab keeps its count.
        auto failed = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"),
                                                      Language::stringWithName("FAILED"), nullptr,
                                                      Language::stringWithName("OK"));
        failed->show();
        return;
    }
    if (auto tabs = mainTabBar())
        tabs->setBadgeValueTabBarItemTagAnimated(std::nullopt, 5, false);
    addProductWithCount(m_pendingCount);
}

void ProductDetailController::addProductWithCount(int count)
{
    if (auto missing = m_attributeView->firstUnchosenAttributeIndex()) {
        showToast("CHOOSEATTRIBUTE");
        showHighlightFrame(*missing);
        return;
    }
    brivanta_product_Entity line = m_productEntity;
    line.count = count;
    line.attributes = m_attributeView->attributes();
    if (!QuoteOrderStore::sharedQuoteOrderStore()->addToOrder(line)) {
        showToast("FAILED");
        return;
    }
    m_productEntity.itemNumberInOrder += count;
    m_addToOrderBtn->setBadgeValueAnimated(std::to_string(m_productEntity.itemNumberInOrder), true);
}

void ProductDetailController::addInEditMode()
{
    // The same checks as an add: a negative or broken count is never handed back.
    int quantity = quantityOfText(m_countTextField->text());
    if (!checkQuantity(quantity))
        return;
    auto data = DataAccessManager::sharedDataModel();
    if (auto fresh = data ? data->getProductByProductId(m_productID) : std::nullopt) {
        int inOrder = m_productEntity.itemNumberInOrder;
        m_productEntity = *fresh;
        m_productEntity.itemNumberInOrder = inOrder;
    }
    m_productEntity.count = quantity;
    m_productEntity.attributes = m_attributeView->attributes();
    auto listener = delegate();
    if (!listener)
        return;
    listener->saveOrderItemIndex(m_productEntity, m_itemIndex);
    listener->back();
    m_productEntity.itemNumberInOrder += quantity;
    if (m_addToOrderBtn)
        m_addToOrderBtn->setBadgeValueAnimated(std::to_string(m_productEntity.itemNumberInOrder), true);
}

void ProductDetailController::showHighlightFrame(size_t index)
{
    if (m_highlightFrame)
        m_highlightFrame->removeFromSuperview();
    auto frame = std::make_shared<ui::View>(gfx::Rect(605 + 198.0 * static_cast<double>(index % 2),
                                                      397 + 78.0 * static_cast<double>(index / 2), 180, 80));
    frame->setBackgroundColor(std::nullopt);
    frame->setBorderWidth(2);
    frame->setBorderColor(pageColor());
    frame->setAlpha(0);
    frame->setUserInteractionEnabled(false);
    view()->addSubview(frame);
    m_highlightFrame = frame;
    double t = ui::LayerAnimation::layerTime();
    auto step = [&](const char* key, double from, double to, double begin, ui::View::AnimationOptions::Curve curve) {
        auto animation = ui::LayerAnimation::make("opacity");
        animation->values = {from, to};
        animation->beginTime = t + begin;
        animation->duration = 0.5;
        animation->curve = curve;
        frame->addAnimation(animation, key);
        return animation;
    };
    step("BoxFadeIn", 0, 1, 1.0, ui::View::AnimationOptions::Curve::EaseIn);
    step("BoxStay", 1, 1, 1.5, ui::View::AnimationOptions::Curve::Linear);
    auto last = step("BoxFadeOut", 1, 0, 2.0, ui::View::AnimationOptions::Curve::EaseOut);
    std::weak_ptr<ProductDetailController> weak = std::static_pointer_cast<ProductDetailController>(sharedController());
    std::weak_ptr<ui::View> shown = frame;
    // Nothing shows once the animations are over, so the frame goes with them.
    last->didStop = [weak, shown](bool) {
        auto view = shown.lock();
        if (!view)
            return;
        view->removeFromSuperview();
        if (auto self = weak.lock(); self && self->m_highlightFrame == view)
            self->m_highlightFrame.reset();
    };
}

void ProductDetailController::updateLanguage(ui::Responder*)
{
    if (!isViewLoaded())
        return;
    showTitles();
    if (m_addToOrderBtn)
        m_addToOrderBtn->reloadText();
    if (m_descriptionView)
        m_descriptionView->updateLanguage();
    if (auto data = DataAccessManager::sharedDataModel())
        m_attributeView->setAttributeAry(data->getProductAttributeByProductId(m_productID));
}

void ProductDetailController::viewDidUnload()
{
    BaseViewController::viewDidUnload();
    if (m_manyImagesView)
        m_manyImagesView->setDelegate(nullptr);
    if (m_tagsScrollView)
        m_tagsScrollView->setDelegate(nullptr);
    if (m_countTextField)
        m_countTextField->setDelegate(nullptr);
    m_productNameTittle.reset();
    m_productNameLabel.reset();
    m_skuTittle.reset();
    m_skuLabel.reset();
    m_priceTittle.reset();
    m_priceLabel.reset();
    m_discountLabel.reset();
    m_productImageView.reset();
    m_manyImagesView.reset();
    m_dividers.clear();
    m_relatedBtn.reset();
    m_relatedFileBtn.reset();
    m_compareBtn.reset();
    m_favBtn.reset();
    m_deleteBtn.reset();
    m_addBtn.reset();
    m_countTextField.reset();
    m_descriptionView.reset();
    m_tagsScrollView.reset();
    m_attributeView.reset();
    m_tapToLeftProduct.reset();
    m_tapToRightProduct.reset();
    m_addToOrderBtn.reset();
    m_titleLabel.reset();
    m_imageController.reset();
    m_highlightFrame.reset();
}
