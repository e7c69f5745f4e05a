#pragma once
#include "Classes/Catalog/ProductDetailImageController.h"
#include "Classes/Catalog/ProductDetailManyImageCell.h"
#include "Classes/Catalog/ProductPageRoad.h"
#include "Common/BaseViewController.h"
#include "Common/PopBaseController.h"
#include "Database/brivanta_image_Entity.h"
#include "Database/brivanta_library_files_Entity.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TextField.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Button;
class GestureRecognizer;
class ImageView;
class Label;
}
class IconButton;
class ProductAttributeView;
class ProductDescView;

// Hears the page when it edits an order line. The defaults do nothing.
class ProductDetailDelegate {
public:
    virtual ~ProductDetailDelegate() = default;
    // The edited line's product, with `count` and `attributes` filled, and its line index.
    virtual void saveOrderItemIndex(const brivanta_product_Entity& product, int index) {}
    virtual void back() {}
};

// The page of one product: its main image over a thumbnail strip, name, SKU and price, the
// description, tags and attribute choosers, the quantity and the add button, compare and
// favourite toggles, related products and materials. Swipes and the arrows step through the
// list it was opened from; a tap on the image opens the full-screen viewer.
class ProductDetailController : public BaseViewController,
                                public ProductDetailManyImageCellDelegate,
                                public ui::ScrollViewDelegate,
                                public ui::TextFieldDelegate,
                                public DetailImageDelegate,
                                public PopControllerDelegate,
                                public ui::AlertViewDelegate,
                                public CatalogProductPage {
public:
    static constexpr int kCurrencyAlertTag = 8801;
    static constexpr int kMaximumQuantity = 1000000;
    static constexpr double kKeyboardShift = 292;
    static constexpr int kThumbnailTagBase = 100;
    static constexpr double kThumbnailWidth = 120;
    static constexpr double kThumbnailStep = 128;

    ProductDetailController();
    ~ProductDetailController() override;
    // The page as the catalogue asks for it, filled from the request.
    static std::shared_ptr<ProductDetailController> pageForRequest(const ProductPageRequest& request);
    // Lets the catalogue open product pages (ProductPageRoad).
    static void installPageMaker();
    const char* className() const override { return "ProductDetailController"; }

    // Set by the opener before the page is shown.
    const brivanta_product_Entity& productEntity() const { return m_productEntity; }
    void setProductEntity(const brivanta_product_Entity& product) { m_productEntity = product; }
    int productID() const { return m_productID; }
    void setProductID(int id) { m_productID = id; }
    const std::vector<brivanta_product_Entity>& productArray() const { return m_productArray; }
    void setProductArray(std::vector<brivanta_product_Entity> products) { m_productArray = std::move(products); }
    int productCount() const { return m_productCount; }
    void setProductCount(int count) { m_productCount = count; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    const std::shared_ptr<ui::Label>& lblTitle() const { return m_lblTitle; }
    void setLblTitle(std::shared_ptr<ui::Label> label) { m_lblTitle = std::move(label); }
    const std::optional<std::string>& _currentTag() const { return m_currentTag; }
    void set_currentTag(std::optional<std::string> tag) { m_currentTag = std::move(tag); }
    const std::optional<std::vector<std::string>>& _dataArray() const { return m_dataArray; }
    void set_dataArray(std::optional<std::vector<std::string>> tags) { m_dataArray = std::move(tags); }
    // Not owned.
    std::shared_ptr<ProductDetailDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<ProductDetailDelegate>& delegate) { m_delegate = delegate; }
    bool isInEdit() const { return m_isInEdit; }
    // Also retitles the add button: SAVEORDER in edit mode, ADDTOORDER otherwise.
    void setIsInEdit(bool edit);
    int itemIndex() const { return m_itemIndex; }
    void setItemIndex(int index) { m_itemIndex = index; }

    // What the order editor and the inventory reach into.
    const std::shared_ptr<ui::Button>& _tapToLeftProduct() const { return m_tapToLeftProduct; }
    const std::shared_ptr<ui::Button>& _tapToRightProduct() const { return m_tapToRightProduct; }
    const std::vector<std::shared_ptr<ui::GestureRecognizer>>& swipeGestureRecognizers() const
    {
        return m_swipeGestureRecognizers;
    }
    // Takes the page's swipes off its view (the inventory and the order editor do).
    void removeSwipeGestureRecognizers();
    const std::shared_ptr<ProductAttributeView>& attributeView() const { return m_attributeView; }
    const std::shared_ptr<ui::TextField>& countTextField() const { return m_countTextField; }
    const std::shared_ptr<ui::Button>& deleteBtn() const { return m_deleteBtn; }
    const std::shared_ptr<ui::Button>& addBtn() const { return m_addBtn; }
    const std::shared_ptr<IconButton>& addToOrderBtn() const { return m_addToOrderBtn; }

    // Views, for the tests and the openers.
    const std::shared_ptr<ui::ImageView>& productImageView() const { return m_productImageView; }
    const std::shared_ptr<ui::ScrollView>& manyImagesView() const { return m_manyImagesView; }
    const std::shared_ptr<ui::ScrollView>& tagsScrollView() const { return m_tagsScrollView; }
    const std::shared_ptr<ProductDescView>& descriptionView() const { return m_descriptionView; }
    const std::shared_ptr<ui::Label>& productNameLabel() const { return m_productNameLabel; }
    const std::shared_ptr<ui::Label>& productNameTittle() const { return m_productNameTittle; }
    const std::shared_ptr<ui::Label>& skuTittle() const { return m_skuTittle; }
    const std::shared_ptr<ui::Label>& skuLabel() const { return m_skuLabel; }
    const std::shared_ptr<ui::Label>& priceTittle() const { return m_priceTittle; }
    const std::shared_ptr<ui::Label>& priceLabel() const { return m_priceLabel; }
    const std::shared_ptr<ui::Label>& discountLabel() const { return m_discountLabel; }
    const std::shared_ptr<ui::Button>& relatedBtn() const { return m_relatedBtn; }
    const std::shared_ptr<ui::Button>& relatedFileBtn() const { return m_relatedFileBtn; }
    const std::shared_ptr<ui::Button>& compareBtn() const { return m_compareBtn; }
    const std::shared_ptr<ui::Button>& favBtn() const { return m_favBtn; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_titleLabel; }
    const std::shared_ptr<ProductDetailImageController>& imageController() const { return m_imageController; }
    const std::vector<brivanta_image_Entity>& manyImagesArray() const { return m_manyImagesArray; }
    const std::vector<brivanta_product_Entity>& relatedProducts() const { return m_relatedProducts; }
    const std::vector<brivanta_library_files_Entity>& productRelateFiles() const { return m_productRelateFiles; }
    int currentImageIndex() const { return m_currentImageIndex; }
    // The main image view shows the decoded full picture, not a stand-in.
    bool mainImageShown() const { return m_mainImageShown; }
    int selectedTagIndex() const { return m_selectedTagIndex; }
    // The highlight frame round an attribute still to be chosen, while its animations run.
    const std::shared_ptr<ui::View>& highlightFrame() const { return m_highlightFrame; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidUnload() override;
    void viewAfterFirstDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    // Button actions.
    void deleteCount();
    void addCount();
    void addToOrder();
    void productCompare();
    void addProductToFavorite();
    void RelatedBtnClicked();
    void RelatedFileBtnClicked();
    // Previous and next product; a button sender must be the page's own arrow.
    void slipToRight(ui::Responder* sender);
    void slipToLeft(ui::Responder* sender);
    void clickOtherTags(ui::Button& button);
    void onClickImage();

    // The viewer and the pop-ups.
    void changeProductSlideshow(int direction, bool slideshow) override;
    void dismissPopController(bool animated) override;
    void didSelectedManyImage(ProductDetailManyImageCell& cell) override;
    void scrollViewWillEndDragging(ui::ScrollView& scrollView, gfx::Point velocity, gfx::Point* target) override;
    void textFieldDidBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void deselectCompareButton() override;
    void deselectFavoriteButton() override;

    // The quantity a text asks for: its leading integer, locale-independent, saturating at
    // the 32-bit limits; 0 when it does not start with one.
    static int quantityOfText(const std::string& text);
    // Where a released thumbnail strip comes to rest.
    static double snappedThumbnailOffset(double target);
    // The products the page steps through: the list's length, at least the one shown.
    int effectiveProductCount() const;

private:
    void layoutPage();
    void fillValues();
    void refreshProduct();
    void refreshTitle();
    void refreshOrderCount();
    void showPrice();
    void showNameAndSku();
    void showRelatedAndToggles();
    void showTitles();
    void loadMainImage();
    // Shows the stand-in at once and the full picture of that name once it is decoded off the
    // main thread; a later call wins.
    void showFullImage(const std::optional<std::string>& name, const gfx::Image& standIn);
    void loadTagsScrollView();
    void loadManyImages();
    void loadThumbnail(const std::shared_ptr<ProductDetailManyImageCell>& cell, const std::optional<std::string>& name);
    // A picture file a sync has just put in place: shown where the page shows its stand-in.
    void fileArrived(const std::string& name);
    void replaceDescriptionView(double height);
    void addProductWithCount(int count);
    void addInEditMode();
    // Puts the product on a stored list or takes it off, as the button and a toast then show.
    void toggleStoredList(ui::Button& button, const std::function<bool()>& isStored, const std::function<void()>& remove,
                          const std::function<void()>& add, const char* addedText, const char* removedText);
    bool checkQuantity(int quantity);
    void showHighlightFrame(size_t index);
    void bounce(double by, const std::string& key);
    void showProductAt(size_t index);
    std::shared_ptr<ui::ViewController> catalogueController() const;
    void selectCatalogueTab() const;
    std::weak_ptr<const void> owner();

    brivanta_product_Entity m_productEntity;
    int m_productID = 0;
    std::vector<brivanta_product_Entity> m_productArray;
    int m_productCount = 0;
    int m_tag = 0;
    std::shared_ptr<ui::Label> m_lblTitle;
    std::optional<std::string> m_currentTag;
    std::optional<std::vector<std::string>> m_dataArray;
    std::weak_ptr<ProductDetailDelegate> m_delegate;
    bool m_isInEdit = false;
    int m_itemIndex = 0;

    std::vector<brivanta_image_Entity> m_manyImagesArray;
    std::vector<brivanta_product_Entity> m_relatedProducts;
    std::vector<brivanta_library_files_Entity> m_productRelateFiles;
    int m_currentImageIndex = 0;
    // Held while the product's full picture is the one wanted.
    std::shared_ptr<const int> m_mainImageToken;
    bool m_mainImageShown = false;
    // The file of the picture the main image view is to show.
    std::optional<std::string> m_mainImageName;
    // Pictures that a sync brings while the page shows their stand-ins.
    base::ObserverToken m_fileArrived;
    int m_selectedTagIndex = -1;
    double m_cellWidth = kThumbnailWidth;
    int m_pendingCount = 0;

    std::shared_ptr<ui::Label> m_productNameTittle, m_productNameLabel, m_skuTittle, m_skuLabel, m_priceTittle,
        m_priceLabel, m_discountLabel;
    std::shared_ptr<ui::ImageView> m_productImageView;
    std::shared_ptr<ui::ScrollView> m_manyImagesView;
    std::vector<std::shared_ptr<ui::ImageView>> m_dividers;
    std::shared_ptr<ui::Button> m_relatedBtn, m_relatedFileBtn, m_compareBtn, m_favBtn, m_deleteBtn, m_addBtn;
    std::shared_ptr<ui::TextField> m_countTextField;
    std::shared_ptr<ProductDescView> m_descriptionView;
    std::shared_ptr<ui::ScrollView> m_tagsScrollView;
    std::shared_ptr<ProductAttributeView> m_attributeView;
    std::shared_ptr<ui::Button> m_tapToLeftProduct, m_tapToRightProduct;
    std::shared_ptr<IconButton> m_addToOrderBtn;
    std::vector<std::shared_ptr<ui::GestureRecognizer>> m_swipeGestureRecognizers;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::shared_ptr<ProductDetailImageController> m_imageController;
    std::shared_ptr<ui::View> m_highlightFrame;
};
