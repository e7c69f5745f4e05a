#include "Classes/Catalog/ProductCompareController.h"

#include "Widgets/IconButton.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/TextView.h"

namespace {

constexpr int kBase = AddToOrderFlow::kCompareBase;
constexpr int kProductImage = 1;

std::shared_ptr<ui::View> clearBackground(const gfx::Rect& frame, std::function<void()> onTap)
{
    auto view = std::make_shared<ui::View>(frame);
    view->setBackgroundColor(gfx::Color::clear());
    view->setOpaque(false);
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addTarget([onTap](ui::GestureRecognizer&) { onTap(); });
    view->addGestureRecognizer(tap);
    return view;
}

std::shared_ptr<ui::Label> header(double y, gfx::Color color)
{
    auto label = std::make_shared<ui::Label>(gfx::Rect(50, y, 100, 40));
    label->setFont(gfx::Font("Helvetica-Bold", 14));
    label->setTextColor(color);
    label->setBackgroundColor(gfx::Color::clear());
    label->setOpaque(false);
    return label;
}

} // namespace

ProductCompareController::~ProductCompareController() = default;

void ProductCompareController::loadView()
{
    setView(std::make_shared<ui::View>(gfx::Rect(0, 0, 1024, 768)));
}

void ProductCompareController::viewDidLoad()
{
    ProductListPopController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(gfx::Color::white());
    m_flow = std::make_shared<AddToOrderFlow>(*this, AddToOrderFlow::compareOptions());

    m_bgView = clearBackground(root->bounds(), [this] { respondToTapBackgroundGesture(); });
    root->insertSubviewAtIndex(m_bgView, 0);
    m_compareScrollView = std::make_shared<ui::ScrollView>(gfx::Rect(kScrollX, 55, kScrollWidth, 600));
    m_compareScrollView->setBackgroundColor(gfx::Color::clear());
    m_compareScrollView->setOpaque(false);
    m_scrollViewBgView = clearBackground(m_compareScrollView->bounds(), [this] { respondToTapBackgroundGesture(); });
    m_compareScrollView->addSubview(m_scrollViewBgView);
    root->addSubview(m_compareScrollView);

    addEditButtons([this] { removeAll(); });
    m_nameLabel = header(263, gfx::Color::fromWhite(0.2));
    m_priceLabel = header(321, gfx::Color::fromRgb(176, 48, 96));
    m_SKULabel = header(382, gfx::Color::fromWhite(0.2));
    m_descriptionLabel = header(440, gfx::Color::fromWhite(0.2));
    for (auto& label : {m_nameLabel, m_priceLabel, m_SKULabel, m_descriptionLabel})
        root->addSubview(label);
    setHeaderTexts();
    if (lblTittle())
        lblTittle()->setText(Language::stringWithName("PRODUCTCOMPARISON"));
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    setInEdit(false);
    getCompareShowData();
}

void ProductCompareController::setHeaderTexts()
{
    const std::pair<ui::Label*, const char*> headers[] = {
        {m_nameLabel.get(), "NAME"}, {m_priceLabel.get(), "PRICE"}, {m_SKULabel.get(), "SKU"}, {m_descriptionLabel.get(), "DESCRIPTION"}};
    for (auto [label, key] : headers)
        if (label)
            label->setText(Language::stringWithName(key) + ":");
}

void ProductCompareController::updateLanguage(ui::Responder*)
{
    updateEditTexts("PRODUCTCOMPARISON");
    setHeaderTexts();
}

void ProductCompareController::viewDidUnload()
{
    m_compareScrollView.reset();
    m_bgView.reset();
    m_scrollViewBgView.reset();
    m_nameLabel.reset();
    m_priceLabel.reset();
    m_SKULabel.reset();
    m_descriptionLabel.reset();
}

std::vector<std::pair<size_t, brivanta_product_Entity>> ProductCompareController::readableProducts() const
{
    std::vector<std::pair<size_t, brivanta_product_Entity>> readable;
    auto data = DataAccessManager::sharedDataModel();
    for (size_t i = 0; i < m_compareProductsArray.size(); ++i)
        if (auto product = data->getProductByProductId(m_compareProductsArray[i].product_id))
            readable.emplace_back(i, *product);
    return readable;
}

void ProductCompareController::getCompareShowData()
{
    if (!m_compareScrollView)
        return;
    for (CompareCell* column : columns())
        column->removeFromSuperview();
    auto data = DataAccessManager::sharedDataModel();
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    auto readable = readableProducts();
    if (!readable.empty()) {
        m_cellHeight = CompareCell::kHeight;
        m_cellWidth = CompareCell::kWidth;
    }
    double x = 0;
    for (size_t k = 0; k < readable.size(); ++k) {
        auto& [row, product] = readable[k];
        auto column = std::make_shared<CompareCell>("Comparecell");
        column->setCompareDelegate(std::weak_ptr<CompareCellDelegate>(std::dynamic_pointer_cast<CompareCellDelegate>(sharedController())));
        column->setFrame({x, 0, CompareCell::kWidth, CompareCell::kHeight});
        column->setTag(kBase + static_cast<int>(row));
        auto image = data->getImageByKeyId(product.product_id);
        PublicFunction::ImageViewFitImgImg(&column->productImageView(),
                                           PublicFunction::getLocalImageFiletype(image ? image->image_thumb_address : std::nullopt, kProductImage, PublicFunction::thumbShownPixels()));
        store->getItemNumberInOrder(product);
        column->setBadgeValueAnimated(product.itemNumberInOrder ? std::optional<std::string>(std::to_string(product.itemNumberInOrder))
                                                                : std::nullopt,
                                      false);
        column->setProductId(product.product_id);
        column->SKULabel().setText(product.product_sku.value_or(""));
        column->productNameLabel().setText(product.product_name.value_or(""));
        column->shortDesTextView().setText(product.product_s_desc.value_or(""));
        int tag = kBase + static_cast<int>(row);
        column->smallCloseBtn().setTag(tag);
        column->smallCloseBtn().addTarget([this, tag](ui::Control&) { deleteSingleCompare(tag); }, ui::ControlEventTouchUpInside);
        column->devideImageView().setHidden(k + 1 == readable.size());
        m_compareScrollView->addSubview(column);
        x += CompareCell::kWidth;
    }
    double width = std::max(CompareCell::kWidth * static_cast<double>(readable.size()), m_compareScrollView->bounds().width());
    m_compareScrollView->setContentSize({width, m_compareScrollView->bounds().height()});
    m_scrollViewBgView->setFrame({0, 0, width, m_compareScrollView->bounds().height()});
    shakeAllCellImages(inEdit());
}

std::vector<CompareCell*> ProductCompareController::columns() const
{
    std::vector<CompareCell*> found;
    if (m_compareScrollView)
        for (const auto& sub : m_compareScrollView->subviews())
            if (auto* column = dynamic_cast<CompareCell*>(sub.get()))
                found.push_back(column);
    return found;
}

CompareCell* ProductCompareController::columnWithTag(int tag) const
{
    for (CompareCell* column : columns())
        if (column->tag() == tag)
            return column;
    return nullptr;
}

std::vector<ProductListPopController::EditableTile> ProductCompareController::editableTiles()
{
    std::vector<EditableTile> tiles;
    for (CompareCell* column : columns())
        tiles.push_back({&column->productImageView(), &column->smallCloseBtn(), &column->addOrderBtn()});
    return tiles;
}

void ProductCompareController::respondToTapBackgroundGesture()
{
    if (inEdit())
        setInEdit(false);
}

void ProductCompareController::didClickCellBackground(CompareCell&)
{
    respondToTapBackgroundGesture();
}

void ProductCompareController::didLongPressImage(CompareCell&)
{
    if (!inEdit())
        setInEdit(true);
}

void ProductCompareController::didTapImage(CompareCell& column)
{
    if (inEdit())
        return;
    column.productImageView().setAlpha(0.4);
    column.productImageView().setBackgroundColor(PublicFunction::colorOfMainTheme());
    // The page list holds only products that can be read; the index is the tapped one's place in it.
    size_t row = static_cast<size_t>(column.tag() - kBase);
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

void ProductCompareController::deleteSingleCompare(int tag)
{
    size_t row = static_cast<size_t>(tag - kBase);
    if (row >= m_compareProductsArray.size())
        return;
    DataAccessManager::sharedDataModel()->deleteSingleCompareByCompareId(m_compareProductsArray[row].product_id);
    m_compareProductsArray.erase(m_compareProductsArray.begin() + static_cast<std::ptrdiff_t>(row));
    getCompareShowData();
    if (auto listener = compareDelegate())
        listener->changeAddCompareButtonState();
}

void ProductCompareController::removeAll()
{
    m_compareProductsArray.clear();
    DataAccessManager::sharedDataModel()->deleteAllCompare();
    getCompareShowData();
    if (auto listener = compareDelegate())
        listener->changeAddCompareButtonState();
    std::make_shared<UIToast>()->show(Language::stringWithName("ALLCOMPARISONREMOVED"));
    close();
}

void ProductCompareController::addToOrder(CompareCell& column)
{
    m_flow->addToOrder(column.tag());
}

brivanta_product_Entity* ProductCompareController::addFlowProductAtIndex(uint32_t index)
{
    if (index >= m_compareProductsArray.size())
        return nullptr;
    return freshProduct(m_compareProductsArray[index].product_id);
}

BadgeButton* ProductCompareController::addFlowBadgeAtIndex(uint32_t index)
{
    CompareCell* column = columnWithTag(kBase + static_cast<int>(index));
    return column ? &column->addOrderBtn() : nullptr;
}

gfx::Rect ProductCompareController::addFlowAnchorAtIndex(uint32_t index)
{
    CompareCell* column = columnWithTag(kBase + static_cast<int>(index));
    if (!column)
        return {};
    // Right of the column, where the sheet's arrow can point at it.
    gfx::Rect shown = column->convertRectToView(column->bounds(), view().get());
    return shown.offsetBy(shown.width(), 0);
}
