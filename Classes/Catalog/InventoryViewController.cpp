#include "Classes/Catalog/InventoryViewController.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTopBarHeight = 45;
constexpr double kTitleRowHeight = 40;
constexpr double kTabBarHeight = 66;
constexpr int kThumbnailFileType = 1;

gfx::TextAlignment alignmentOf(int alignment)
{
    return alignment == 1 ? gfx::TextAlignment::Center : gfx::TextAlignment::Left;
}

MultiColumnTableCellInfo titleInfo(double width, double leftMargin, int alignment)
{
    MultiColumnTableCellInfo info;
    info.cellWidth = width;
    info.cellHeight = kTitleRowHeight;
    info.leftMargin = leftMargin;
    info.topMargin = 5;
    info.cellType = MultiColumnTableCellInfo::TitleLabel;
    info.alignment = alignment;
    info.textFont = gfx::Font::boldSystemFont(17);
    return info;
}

MultiColumnTableCellInfo cellInfo(int type, double leftMargin, double topMargin, int alignment, bool font,
                                  std::function<std::optional<std::string>(const brivanta_product_Entity&)> message)
{
    MultiColumnTableCellInfo info;
    info.cellType = type;
    info.leftMargin = leftMargin;
    info.topMargin = topMargin;
    info.alignment = alignment;
    info.cellHeight = InventoryViewController::kRowHeight;
    if (font)
        info.textFont = gfx::Font::systemFont(14);
    info.message = std::move(message);
    return info;
}

// The thumbnail of the product's default picture in the client's thumbnail folder.
std::optional<std::string> thumbnailPath(const brivanta_product_Entity& product)
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data)
        return std::nullopt;
    auto image = data->getImageByKeyId(product.product_id);
    if (!image || !image->image_thumb_address || image->image_thumb_address->empty())
        return std::nullopt;
    return PublicFunction::filePathWithNameFiletype(image->image_thumb_address, kThumbnailFileType);
}

// Read and shrunk to the box off the main thread, so the display only places it.
gfx::Image readThumbnail(const std::optional<std::string>& path, const gfx::Image& fallback, gfx::Size box)
{
    gfx::Image image = path && box.width >= 1 && box.height >= 1
        ? gfx::Image::fromFileFitting(*path, box, gfx::DecodeBudget::Priority::Screen)
        : gfx::Image();
    if (image.isNull())
        image = fallback;
    if (image.isNull())
        return image;
    double width = std::floor(image.size().width), height = std::floor(image.size().height);
    if (width <= box.width && height <= box.height)
        return image;
    double factor = std::min(box.width / width, box.height / height);
    return image.scaledTo({std::max(1.0, std::floor(width * factor)), std::max(1.0, std::floor(height * factor))});
}

} // namespace

InventoryViewController::~InventoryViewController()
{
    if (m_tblView)
        m_tblView->setDataSource(nullptr);
}

const std::vector<std::string>& InventoryViewController::columnTitleKeys()
{
    static const std::vector<std::string> keys{"SKU", "IMAGE", "PRODUCTNAME", "DESCRIPTION", "QUANTITY"};
    return keys;
}

void InventoryViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(std::nullopt);
    if (auto* nav = navigationController())
        nav->setNavigationBarHidden(true);
    m_defaultThumbnail = SkinManager::bundledImageNamed("fileDefault.png");
    loadData();
    buildBands();
}

void InventoryViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto* nav = navigationController())
        nav->setNavigationBarHidden(true);
    loadMultiColumnTableData();
    if (m_tblView)
        m_tblView->reloadData();
}

void InventoryViewController::viewDidUnload()
{
    BaseViewController::viewDidUnload();
    if (m_tblView)
        m_tblView->setDataSource(nullptr);
    m_tblView.reset();
    m_headerInfos.clear();
    m_regularInfos.clear();
    m_headerTitles.clear();
    m_data.clear();
    m_labelArray.clear();
    m_wantedThumbnail.clear();
    m_navigationView.reset();
    m_title.reset();
    m_tableHeaderView.reset();
}

void InventoryViewController::loadData()
{
    m_headerInfos = {titleInfo(105, 46, 0), titleInfo(200, 5, 1), titleInfo(200, 50, 0), titleInfo(390, 5, 1),
                     titleInfo(100, 10, 1)};
    m_headerTitles.clear();
    for (const auto& key : columnTitleKeys())
        m_headerTitles.push_back(Language::stringWithName(key));
    m_regularInfos = {
        cellInfo(MultiColumnTableCellInfo::TextButton, 20, 5, 0, true, [](const brivanta_product_Entity& p) { return p.product_sku; }),
        cellInfo(MultiColumnTableCellInfo::ImageButton, 0, 0, 0, false, thumbnailPath),
        cellInfo(MultiColumnTableCellInfo::Label, 40, 5, 0, true, [](const brivanta_product_Entity& p) { return p.product_name; }),
        cellInfo(MultiColumnTableCellInfo::Label, 5, 5, 0, true, [](const brivanta_product_Entity& p) { return p.product_s_desc; }),
        cellInfo(MultiColumnTableCellInfo::Label, 10, 5, 1, true,
                 [](const brivanta_product_Entity& p) -> std::optional<std::string> { return PublicFunction::intFormate(p.product_stock); }),
    };
    loadMultiColumnTableData();
}

void InventoryViewController::loadMultiColumnTableData()
{
    auto data = DataAccessManager::sharedDataModel();
    m_data = data ? data->getAllProducts() : std::vector<brivanta_product_Entity>{};
}

void InventoryViewController::buildBands()
{
    m_lastViewVerticalPosition = 0;
    m_navigationView = ui::View::make<ui::ImageView>(gfx::Rect(-2, 0, 1026, kTopBarHeight));
    m_navigationView->setImage(SkinManager::skinFromImageName("topbar-bg.png"));
    m_navigationView->setUserInteractionEnabled(true);
    m_title = ui::View::make<ui::Label>(gfx::Rect(362, 5, 300, 30));
    m_title->setTextColor(gfx::Color::white());
    m_title->setFont(gfx::Font("Helvetica-Bold", 20));
    m_title->setTextAlignment(gfx::TextAlignment::Center);
    m_title->setBackgroundColor(std::nullopt);
    m_title->setText(Language::stringWithName("INVENTORY_"));
    m_navigationView->addSubview(m_title);
    view()->addSubview(m_navigationView);
    m_lastViewVerticalPosition += kTopBarHeight;

    m_tableHeaderView = ui::View::make(gfx::Rect(0, m_lastViewVerticalPosition, 1026, kTitleRowHeight));
    auto rowBackground = ui::View::make<ui::ImageView>(m_tableHeaderView->bounds());
    rowBackground->setImage(SkinManager::skinFromImageName("quote-topbar.png"));
    m_tableHeaderView->addSubview(rowBackground);
    m_labelArray.clear();
    double x = 0;
    for (size_t k = 0; k < m_headerInfos.size(); ++k) {
        const auto& info = m_headerInfos[k];
        auto label = ui::View::make<ui::Label>(gfx::Rect(x + info.leftMargin, info.topMargin, info.contentWidth(),
                                                         kTitleRowHeight - info.topMargin - info.bottomMargin));
        label->setBackgroundColor(std::nullopt);
        if (info.textFont)
            label->setFont(*info.textFont);
        label->setTextAlignment(alignmentOf(info.alignment));
        label->setText(k < m_headerTitles.size() ? m_headerTitles[k] : std::string());
        m_tableHeaderView->addSubview(label);
        m_labelArray.push_back(label);
        x += info.cellWidth;
    }
    view()->addSubview(m_tableHeaderView);
    m_lastViewVerticalPosition += kTitleRowHeight;

    double height = ui::Window::kScreenSize.height - kTabBarHeight - m_lastViewVerticalPosition;
    m_tblView = ui::View::make<BRMultiColumnTableView>(gfx::Rect(0, m_lastViewVerticalPosition, 1024, height));
    m_tblView->setBoldSeperatorLineWidth(0);
    m_tblView->setBoldSeperatorLineColor(gfx::Color::fromRgb(128, 0, 128));
    m_tblView->setNormalSeperatorLineWidth(0);
    m_tblView->setSectionHeaderEnabled(false);
    m_tblView->setTopHeaderBackgroundColor(gfx::Color::fromRgb(179, 168, 178));
    m_tblView->setDataSource(this);
    view()->addSubview(m_tblView);
    m_lastViewVerticalPosition += height;
}

void InventoryViewController::updateLanguage(ui::Responder*)
{
    if (m_title)
        m_title->setText(Language::stringWithName("INVENTORY_"));
    m_headerTitles.clear();
    for (const auto& key : columnTitleKeys())
        m_headerTitles.push_back(Language::stringWithName(key));
    for (size_t k = 0; k < m_labelArray.size() && k < m_headerTitles.size(); ++k)
        m_labelArray[k]->setText(m_headerTitles[k]);
}

void InventoryViewController::loadByConfig()
{
    ++m_loadByConfigCount;
}

bool InventoryViewController::answers(Optional operation) const
{
    switch (operation) {
    case Optional::numberOfSectionsInTableView:
    case Optional::heightForCellAtIndexPathColumn:
    case Optional::widthForColumn:
    case Optional::heightForHeaderCellOfTableView:
    case Optional::widthForHeaderCellOfTableView:
    case Optional::topleftHeaderCellOfTableView:
    case Optional::headerCellForColumn:
    case Optional::backgroundColorAtIndexPath:
        return true;
    default:
        return false;
    }
}

int InventoryViewController::tableViewNumberOfRowsInSection(T&, int)
{
    return static_cast<int>(m_data.size());
}

double InventoryViewController::tableViewWidthForColumn(T&, int column)
{
    return column >= 0 && static_cast<size_t>(column) < m_headerInfos.size() ? m_headerInfos[column].cellWidth : 0;
}

std::shared_ptr<ui::View> InventoryViewController::topleftHeaderCellOfTableView(T&)
{
    return ui::View::make(gfx::Rect());
}

gfx::Color InventoryViewController::backgroundColorAtIndexPath(T&, const IndexPath& indexPath)
{
    return indexPath.row % 2 ? gfx::Color::fromRgb(249, 249, 249) : gfx::Color::white();
}

std::shared_ptr<ui::View> InventoryViewController::tableViewHeaderCellForColumn(T&, int column)
{
    if (column < 0 || static_cast<size_t>(column) >= m_headerInfos.size()) {
        base::log("MultiColumnTable does not have any columns");
        return nullptr;
    }
    auto cell = multiColumnTableCell(&m_headerInfos[column]);
    if (auto* label = dynamic_cast<ui::Label*>(cell->subviews().empty() ? nullptr : cell->subviews().front().get()))
        label->setText(static_cast<size_t>(column) < m_headerTitles.size() ? m_headerTitles[column] : std::string());
    return cell;
}

std::shared_ptr<ui::View> InventoryViewController::tableViewCellForIndexPathColumn(T&, const IndexPath&, int column)
{
    if (column < 0 || static_cast<size_t>(column) >= m_regularInfos.size()) {
        base::log("No information found for this cell.");
        return nullptr;
    }
    auto& info = m_regularInfos[column];
    info.cellWidth = tableViewWidthForColumn(*m_tblView, column);
    info.cellHeight = kRowHeight;
    return multiColumnTableCell(&info);
}

std::shared_ptr<ui::View> InventoryViewController::multiColumnTableCell(const MultiColumnTableCellInfo* info)
{
    auto cell = ui::View::make(gfx::Rect(0, 0, info->cellWidth, info->cellHeight));
    gfx::Rect content(info->leftMargin, info->topMargin, info->contentWidth(), info->contentHeight());
    if (info->cellType == MultiColumnTableCellInfo::ImageButton || info->cellType == MultiColumnTableCellInfo::TextButton) {
        auto button = ui::View::make<ui::Button>(ui::ButtonType::Custom);
        button->setFrame(content);
        button->setBackgroundColor(std::nullopt);
        if (info->textFont)
            button->titleLabel().setFont(*info->textFont);
        button->setTitleColor(gfx::Color::black());
        if (info->alignment == 0)
            button->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Left);
        std::weak_ptr<ViewController> weak = sharedController();
        bool image = info->cellType == MultiColumnTableCellInfo::ImageButton;
        button->addTarget([weak, image](ui::Control& sender) {
            auto self = std::static_pointer_cast<InventoryViewController>(weak.lock());
            if (!self)
                return;
            if (image)
                self->tapImage(static_cast<ui::Button&>(sender));
            else
                self->skuTap(static_cast<ui::Button&>(sender));
        }, ui::ControlEventTouchUpInside);
        cell->addSubview(button);
        return cell;
    }
    auto label = ui::View::make<ui::Label>(content);
    label->setTextAlignment(alignmentOf(info->alignment));
    if (info->textFont)
        label->setFont(*info->textFont);
    label->setBackgroundColor(std::nullopt);
    if (info->cellType == MultiColumnTableCellInfo::Label) {
        label->setNumberOfLines(0);
        label->setLineBreakMode(gfx::LineBreakMode::WordWrap);
    }
    cell->addSubview(label);
    return cell;
}

void InventoryViewController::tableViewSetContentForCellIndexPathColumn(T&, ui::View& cell, const IndexPath& indexPath, int column)
{
    if (indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= m_data.size() || column < 0 ||
        static_cast<size_t>(column) >= m_regularInfos.size() || cell.subviews().empty())
        return;
    const auto& product = m_data[indexPath.row];
    const auto& info = m_regularInfos[column];
    ui::View* control = cell.subviews().front().get();
    std::optional<std::string> value = info.message ? info.message(product) : std::nullopt;
    switch (info.cellType) {
    case MultiColumnTableCellInfo::ImageButton:
        if (auto* button = dynamic_cast<ui::Button*>(control)) {
            button->setTag(indexPath.row);
            showThumbnail(*button, indexPath.row, value);
        }
        break;
    case MultiColumnTableCellInfo::TextButton:
        if (auto* button = dynamic_cast<ui::Button*>(control)) {
            button->setTag(indexPath.row);
            button->setTitle(value.value_or(""));
        }
        break;
    default:
        if (auto* label = dynamic_cast<ui::Label*>(control))
            label->setText(value.value_or(""));
        break;
    }
}

void InventoryViewController::showThumbnail(ui::Button& button, int row, const std::optional<std::string>& path)
{
    // A reused button may still show the picture of the row it had before.
    PublicFunction::ImageViewSetImgImg(&button, gfx::Image());
    std::string wanted = std::to_string(row) + "|" + path.value_or("");
    m_wantedThumbnail[&button] = wanted;
    std::weak_ptr<ui::View> weakButton = button.sharedView();
    std::weak_ptr<ViewController> weakSelf = sharedController();
    gfx::Image fallback = m_defaultThumbnail;
    gfx::Size box = button.frame().size;
    ScreenPicture::loadWith([path, fallback, box] { return readThumbnail(path, fallback, box); }, weakSelf,
                            [weakButton, weakSelf, wanted](gfx::Image image) {
        auto self = std::static_pointer_cast<InventoryViewController>(weakSelf.lock());
        auto button = weakButton.lock();
        if (!self || !button)
            return;
        auto it = self->m_wantedThumbnail.find(static_cast<ui::Button*>(button.get()));
        // The button has moved on to another row while the file was read.
        if (it == self->m_wantedThumbnail.end() || it->second != wanted)
            return;
        PublicFunction::ImageViewSetImgImg(button.get(), image);
    });
}

void InventoryViewController::tapImage(ui::Button& sender)
{
    int row = sender.tag();
    auto* nav = navigationController();
    if (!nav || row < 0 || static_cast<size_t>(row) >= m_data.size())
        return;
    const auto& product = m_data[row];
    auto page = std::make_shared<ProductDetailController>();
    page->setProductEntity(product);
    page->setProductID(product.product_id);
    page->setDelegate(std::static_pointer_cast<InventoryViewController>(sharedController()));
    nav->pushViewController(page, true);
    nav->setNavigationBarHidden(false);

    auto backButton = ui::View::make<ui::Button>(ui::ButtonType::Custom);
    backButton->setFrame({0, 0, 78, 34});
    backButton->setTitle(Language::stringWithName("BACK"));
    PublicFunction::initializeToBackButtonHeight34(backButton.get());
    backButton->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Center);
    std::weak_ptr<ViewController> weak = sharedController();
    backButton->addTarget([weak](ui::Control& sender) {
        if (auto self = std::static_pointer_cast<InventoryViewController>(weak.lock()))
            self->back(static_cast<ui::Button*>(&sender));
    }, ui::ControlEventTouchUpInside);
    page->setLeftBarButtonItem(std::make_shared<ui::BarButtonItem>(backButton));

    // One background for every opening, under the bar's title and items (index 0 here).
    if (auto& bar = nav->navigationBar(); bar && !bar->viewWithTag(kBarBackgroundTag)) {
        auto background = ui::View::make<ui::ImageView>(gfx::Rect(-1, 0, bar->bounds().width() + 1, bar->bounds().height()));
        background->setImage(SkinManager::skinFromImageName("topbar-bg.png"));
        background->setTag(kBarBackgroundTag);
        background->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
        bar->insertSubviewAtIndex(background, 0);
    }
    if (page->_tapToLeftProduct())
        page->_tapToLeftProduct()->setHidden(true);
    if (page->_tapToRightProduct())
        page->_tapToRightProduct()->setHidden(true);
    page->removeSwipeGestureRecognizers();
}

void InventoryViewController::back(ui::Button*)
{
    auto* nav = navigationController();
    if (!nav || nav->viewControllers().size() < 2)
        return;
    if (dynamic_cast<ProductDetailController*>(nav->topViewController().get()))
        nav->popViewController(true);
}
