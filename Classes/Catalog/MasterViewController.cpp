#include "Classes/Catalog/MasterViewController.h"

#include "Classes/Catalog/CategoryWalk.h"
#include "Classes/Catalog/ProductBigCatalog.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Value.h"
#include "Platform/Graphics/Font.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <unordered_set>

namespace {

int g_currentState = 0;

constexpr double kWidth = 244;
// The whole window's height: there is no status bar above it.
constexpr double kHeight = 768;
constexpr double kSwitchTop = kHeight - 43;
constexpr double kRowHeight = 62;

std::string trimmed(const std::string& text)
{
    const char* space = " \t\r\n\v\f";
    auto first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::shared_ptr<DataAccessManager> data()
{
    return DataAccessManager::sharedDataModel();
}

} // namespace

int MasterViewController::getCurrentState()
{
    return g_currentState;
}

void MasterViewController::resetCurrentState()
{
    g_currentState = 0;
}

MasterViewController::~MasterViewController()
{
    resetCurrentState();
    if (m_tagsLeftView)
        m_tagsLeftView->setDelegate(nullptr);
    if (m_btnCatalogSwitch)
        m_btnCatalogSwitch->setDelegate(nullptr);
    // The view may stay on screen a moment longer than the panel; its button must not call back.
    if (m_btnback)
        m_btnback->removeTargets(ui::ControlEventAll);
    if (m_myTable) {
        m_myTable->setDataSource(nullptr);
        m_myTable->setDelegate(nullptr);
    }
}

void MasterViewController::loadView()
{
    auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, kWidth, kHeight));
    view->setBackgroundColor(gfx::Color::clear());
    view->setClipsToBounds(true);

    m_imgBackground = std::make_shared<ui::ImageView>(gfx::Rect(0, 0, kWidth, kHeight));
    m_imgBackground->setImage(SkinManager::skinFromImageName("left-nav.png"));
    view->addSubview(m_imgBackground);

    // The two lists keep their rows and selection across an unloaded view; the rest is rebuilt.
    if (!m_myTable)
        m_myTable = std::make_shared<ui::TableView>(gfx::Rect(0, 44, kWidth, kSwitchTop - 44));
    m_myTable->setBackgroundColor(gfx::Color::clear());
    m_myTable->setSeparatorColor(std::nullopt);
    m_myTable->setRowHeight(kRowHeight);
    m_myTable->setDataSource(this);
    m_myTable->setDelegate(this);
    view->addSubview(m_myTable);

    m_titlebg = std::make_shared<ui::ImageView>(gfx::Rect(0, 0, kWidth, 44));
    m_titlebg->setImage(SkinManager::skinFromImageName("topnavbar.png"));
    m_titlebg->setBackgroundColor(gfx::Color::clear());
    m_titlebg->setUserInteractionEnabled(true);
    view->addSubview(m_titlebg);

    m_lbcategory = std::make_shared<ui::Label>(gfx::Rect(72, 7, 100, 30));
    m_lbcategory->setFont(gfx::Font("Helvetica-Bold", 20));
    m_lbcategory->setTextColor(gfx::Color::white());
    m_lbcategory->setBackgroundColor(gfx::Color::clear());
    m_lbcategory->setTextAlignment(gfx::TextAlignment::Center);
    m_lbcategory->setAdjustsFontSizeToFitWidth(true);
    m_lbcategory->setMinimumFontSize(15);
    m_titlebg->addSubview(m_lbcategory);

    m_btnback = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(8, 5, 60, 34));
    PublicFunction::initializeToBackButtonHeight34(m_btnback.get());
    m_btnback->setHidden(m_cid == 0 || m_currentStte == 1);
    m_btnback->addTarget([this](ui::Control&) { btnbackClicked(); }, ui::ControlEventTouchUpInside);
    m_titlebg->addSubview(m_btnback);

    if (!m_tagsLeftView)
        m_tagsLeftView = std::make_shared<TagsLeftView>(gfx::Rect(0, 44, kWidth, kSwitchTop - 60));
    m_tagsLeftView->setDelegate(this);
    view->addSubview(m_tagsLeftView);

    m_btnCatalogSwitch = std::make_shared<SwitchButton>(gfx::Rect(0, kSwitchTop, kWidth, 43));
    // A reloaded panel shows the mode it was in; the delegate comes after, so nothing is told.
    m_btnCatalogSwitch->setCurrentIndex(m_currentStte);
    m_btnCatalogSwitch->setDelegate(this);
    view->addSubview(m_btnCatalogSwitch);
    m_tagsLeftView->setHidden(m_currentStte != 1);
    m_myTable->setHidden(m_currentStte == 1);

    m_shadowImageView = std::make_shared<ui::ImageView>(gfx::Rect(160, 0, 84, kHeight));
    m_shadowImageView->setImage(SkinManager::bundledImageNamed("shadow_navbar"));
    m_shadowImageView->setUserInteractionEnabled(false);
    view->addSubview(m_shadowImageView);

    setView(view);
    updateLanguage(this);
    if (m_currentStte == 1)
        setHeader(Language::stringWithName("TAG"));
}

void MasterViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    m_allProducts = data() ? data()->getAllProducts() : std::vector<brivanta_product_Entity>{};
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    calculateProductNumber();
    m_myTable->reloadData();
    selectTopCell(*m_myTable);
    if (m_currentStte == 1) {
        // The hidden category table's choice does not speak for the tag list on screen.
        setHeader(Language::stringWithName("TAG"));
        m_btnback->setHidden(true);
    }
}

void MasterViewController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    m_selectRow = 0;
    m_currentStte = 0;
    m_dataArray = data() ? data()->getCategoryWithParentCategoryid(0) : std::vector<brivanta_category_Entity>{};
    addUncategorized();
    m_cid = 0;
    m_cname = std::string();
    // A raw this: the token is a member and unregisters before the controller goes.
    m_stateObserver = base::NotificationCenter::defaultCenter().addObserver(
        "changeMasterViewState", nullptr, [this](const base::Notification&) { switchTagButton(); });
}

void MasterViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    auto config = ConfigManager::sharedInstance();
    auto& flags = config->flagDic();
    auto it = flags.find("Needreloadcatelog");
    if (it != flags.end() && it->second == "YES") {
        refreshData();
        flags["Needreloadcatelog"] = "NO";
    }
}

void MasterViewController::updateLanguage(ui::Responder*)
{
    if (!isViewLoaded())
        return;
    m_btnback->setTitle(Language::stringWithName("BACK"));
    setHeader(Language::stringWithName("CATEGORY"));
    m_btnCatalogSwitch->setLeftTittle(Language::stringWithName("CATEGORY"));
    m_btnCatalogSwitch->setRightTittle(Language::stringWithName("TAG"));
    if (m_currentStte == 0) {
        m_myTable->reloadData();
        setCellToHighLightRow(*m_myTable, m_selectRow);
    } else {
        setHeader(Language::stringWithName("TAG"));
    }
}

void MasterViewController::setHeader(const std::string& text)
{
    if (m_lbcategory)
        m_lbcategory->setText(text);
}

void MasterViewController::setCatalogTitle(const std::string& key)
{
    if (auto title = m_lblTitle.lock())
        title->setText(Language::stringWithName(key));
}

void MasterViewController::postCategory(int categoryId)
{
    base::NotificationCenter::defaultCenter().post("displayFourColumn", std::make_shared<base::Value>(categoryId));
}

// --- Category table ------------------------------------------------------------------

int MasterViewController::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_dataArray.size()) + 1;
}

std::shared_ptr<ui::TableViewCell> MasterViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                              const ui::IndexPath& ip)
{
    static const std::string kIdentifier = "Cell";
    auto cell = std::dynamic_pointer_cast<ProductBigCatalog>(table.dequeueReusableCellWithIdentifier(kIdentifier));
    if (!cell)
        cell = std::make_shared<ProductBigCatalog>(kIdentifier);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::Gray);
    if (ip.row == 0) {
        cell->setIsFirstLine(true);
        cell->imgicon().setHidden(true);
        cell->lbcount().setText("(" + std::to_string(m_totalProductsNumber) + ")");
        return cell;
    }
    cell->setIsFirstLine(false);
    auto index = static_cast<size_t>(ip.row - 1);
    const auto& category = m_dataArray[index];
    cell->lbcount().setFont(gfx::Font::systemFont(16));
    if (category.category_id == kUncategorizedId) {
        cell->lbTitle().setText(Language::stringWithName("UNCATEGORIZED"));
        cell->lbTitle().setFont(gfx::Font::italicSystemFont(16));
        cell->imgicon().setHidden(true);
    } else {
        cell->lbTitle().setText(trimmed(category.category_name.value_or("")));
        cell->lbTitle().setFont(gfx::Font::systemFont(16));
        cell->imgicon().setHidden(!data() || data()->getCategoryCountUnderCategoryid(category.category_id) < 1);
    }
    cell->lbcount().setText("(" + std::to_string(categoryNumberOfProducts(index)) + ")");
    return cell;
}

void MasterViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    if (ip.row == m_selectRow)
        return;
    if (auto* old = table.cellForRowAtIndexPath(ui::IndexPath::forRow(m_selectRow, 0)))
        old->setHighlighted(false);
    m_selectRow = ip.row;
    tagTableSelectRow(ip.row);
}

void MasterViewController::tagTableSelectRow(int row)
{
    if (row > 0 && static_cast<size_t>(row) <= m_dataArray.size()) {
        brivanta_category_Entity category = m_dataArray[static_cast<size_t>(row - 1)];
        m_clickIndex = category.category_id;
        auto subs = category.category_id == kUncategorizedId || !data()
            ? std::vector<brivanta_category_Entity>{}
            : data()->getCategoryWithParentCategoryid(category.category_id);
        if (!subs.empty()) {
            m_cid = category.category_id;
            m_cname = category.category_name;
            m_dataArray = std::move(subs);
            calculateProductNumber();
            std::weak_ptr<ViewController> weak = sharedController();
            slideRows(-kSlide, true, [this, weak] {
                if (!weak.lock())
                    return;
                m_myTable->reloadData();
                selectTopCell(*m_myTable);
                m_selectRow = 0;
                setHeader(m_cname.value_or(""));
                placeRowsAt(kSlide);
                slideRows(-kSlide, false, [this, weak] {
                    if (weak.lock())
                        m_btnback->setHidden(false);
                });
            });
        } else if (category.category_parent_id != 0) {
            setHeader(m_cname.value_or(""));
            m_btnback->setHidden(false);
        }
        postCategory(m_clickIndex);
        return;
    }
    if (row != 0)
        return;
    auto parent = data() ? data()->getCategoryWithCategoryid(m_cid) : brivanta_category_Entity{};
    bool unchanged = m_clickIndex == m_cid && m_cname == parent.category_name;
    m_clickIndex = m_cid;
    m_cname = parent.category_name;
    if (m_cid != 0) {
        setHeader(m_cname.value_or(""));
        m_btnback->setHidden(false);
    } else {
        setHeader(Language::stringWithName("CATEGORY"));
    }
    if (!unchanged)
        postCategory(m_clickIndex);
}

void MasterViewController::placeRowsAt(double x)
{
    for (const auto& ip : m_myTable->indexPathsForVisibleRows()) {
        if (ip.row == 0)
            continue;
        auto* cell = m_myTable->cellForRowAtIndexPath(ip);
        gfx::Rect frame = cell->frame();
        cell->setFrame({x, frame.y(), frame.width(), frame.height()});
    }
}

void MasterViewController::slideRows(double dx, bool easeIn, std::function<void()> completion)
{
    ui::View::AnimationOptions options;
    options.duration = kSlideSeconds;
    options.curve = easeIn ? ui::View::AnimationOptions::Curve::EaseIn : ui::View::AnimationOptions::Curve::EaseOut;
    double target = easeIn ? dx : 0;
    ui::View::animate(options, [this, target] { placeRowsAt(target); },
                      [completion = std::move(completion)](bool) { completion(); });
}

void MasterViewController::btnbackClicked()
{
    int parent = data() ? data()->getParentCategoryId(m_cid) : 0;
    m_cid = parent;
    m_clickIndex = parent;
    m_cname = data() ? data()->getCategoryWithCategoryid(parent).category_name : std::nullopt;
    m_dataArray = data() ? data()->getCategoryWithParentCategoryid(parent) : std::vector<brivanta_category_Entity>{};
    if (parent == 0)
        addUncategorized();
    std::weak_ptr<ViewController> weak = sharedController();
    calculateProductNumber();
    slideRows(kSlide, true, [this, weak, parent] {
        if (!weak.lock())
            return;
        m_myTable->reloadData();
        selectTopCell(*m_myTable);
        placeRowsAt(-kSlide);
        slideRows(kSlide, false, [this, weak, parent] {
            if (!weak.lock())
                return;
            m_btnback->setHidden(parent == 0);
            setHeader(parent == 0 ? Language::stringWithName("CATEGORY") : m_cname.value_or(""));
        });
    });
    postCategory(parent);
    m_selectRow = 0;
}

// --- Counting --------------------------------------------------------------------------

void MasterViewController::addUncategorized()
{
    if (!data() || data()->getProductsByCategory_id(kUncategorizedId).empty())
        return;
    brivanta_category_Entity uncategorized;
    uncategorized.category_id = kUncategorizedId;
    uncategorized.category_name = Language::stringWithName("UNCATEGORIZED");
    uncategorized.category_type = "category";
    uncategorized.category_publish = 1;
    uncategorized.category_ordering = static_cast<int>(m_dataArray.size());
    uncategorized.category_parent_id = 0;
    m_dataArray.push_back(std::move(uncategorized));
}

int MasterViewController::getProductCountUnderCategory(int categoryId) const
{
    return CategoryWalk::countProductsUnderCategory(categoryId);
}

void MasterViewController::calculateProductNumber()
{
    m_counts.clear();
    // A product filed in several categories counts once in "All".
    std::unordered_set<int> all;
    for (const auto& category : m_dataArray) {
        auto products = CategoryWalk::productsUnderCategory(category.category_id);
        m_counts.push_back(static_cast<int>(products.size()));
        for (const auto& product : products)
            all.insert(product.product_id);
    }
    // At the top the summary row shows the list of every product, those filed directly on a
    // parent category too: its count is that list's.
    if (m_cid == 0) {
        all.clear();
        for (const auto& product : m_allProducts)
            all.insert(product.product_id);
    }
    m_totalProductsNumber = static_cast<unsigned>(all.size());
}

// --- Selection helpers ---------------------------------------------------------------

void MasterViewController::selectTopCell(ui::TableView& table)
{
    if (table.numberOfRowsInSection(0) < 1)
        return;
    auto top = ui::IndexPath::forRow(0, 0);
    table.selectRowAtIndexPath(top, false, ui::TableViewScrollPosition::Top);
    if (auto* delegate = table.delegate())
        delegate->didSelectRowAtIndexPath(table, top);
}

void MasterViewController::selectFirstTag()
{
    selectTopCell(m_tagsLeftView->tableView());
}

void MasterViewController::setCellToHighLightRow(ui::TableView& table, int row)
{
    if (row >= 0 && row < table.numberOfRowsInSection(0))
        table.selectRowAtIndexPath(ui::IndexPath::forRow(row, 0), false);
}

// --- Mode and tags -----------------------------------------------------------------------

void MasterViewController::selectSwitchButtonIndex(SwitchButton&, int index)
{
    m_currentStte = index;
    g_currentState = index;
    if (index == 0) {
        setHeader(Language::stringWithName("CATEGORY"));
        setCatalogTitle("CATALOG_");
        tagTableSelectRow(m_selectRow);
        m_tagsLeftView->setHidden(true);
        m_myTable->setHidden(false);
    } else if (index == 1) {
        m_btnback->setHidden(true);
        m_myTable->setHidden(true);
        m_tagsLeftView->setHidden(false);
        if (m_tagsLeftView->selectRow() >= 0) {
            m_tagsLeftView->resetData();
        } else {
            setCatalogTitle("TAG");
            m_tagsLeftView->setDataArray(data() ? data()->getAllProductTags() : std::vector<brivanta_tag_entity>{});
            base::NotificationCenter::defaultCenter().post("refushRightData");
            m_tagsLeftView->tableView().reloadData();
            selectFirstTag();
        }
        setHeader(Language::stringWithName("TAG"));
    }
}

void MasterViewController::switchTagButton()
{
    if (m_btnCatalogSwitch)
        m_btnCatalogSwitch->setCurrentIndex(1);
}

void MasterViewController::didSelectDelegateWithTagName(const std::vector<int>& productIds, const std::string& tagName)
{
    std::unordered_set<int> wanted(productIds.begin(), productIds.end());
    std::vector<brivanta_product_Entity> products;
    for (const auto& product : m_allProducts)
        if (wanted.contains(product.product_id))
            products.push_back(product);
    g_currentState = 1;
    auto payload = std::make_shared<TagProducts>();
    (*payload)[tagName] = std::move(products);
    base::NotificationCenter::defaultCenter().post("refushRightData", payload);
}

void MasterViewController::clickToAppearOrHiddenCategory()
{
    base::NotificationCenter::defaultCenter().post("AppearOrHiddenMasterView");
}

void MasterViewController::refreshData()
{
    base::NotificationCenter::defaultCenter().post("btnBackClick");
    m_selectRow = 0;
    m_clickIndex = 0;
    m_cid = 0;
    m_cname = std::string();
    if (!isViewLoaded())
        return; // the first load reads everything afresh
    m_tagsLeftView->setSelectRow(-1);
    m_btnback->setHidden(true);
    m_dataArray = data() ? data()->getCategoryWithParentCategoryid(0) : std::vector<brivanta_category_Entity>{};
    m_allProducts = data() ? data()->getAllProducts() : std::vector<brivanta_product_Entity>{};
    addUncategorized();
    calculateProductNumber();
    m_myTable->reloadData();
    selectTopCell(*m_myTable);
    if (m_currentStte == 0) {
        setHeader(Language::stringWithName("CATEGORY"));
        setCatalogTitle("CATALOG_");
        postCategory(0);
    } else {
        setHeader(Language::stringWithName("TAG"));
        m_tagsLeftView->setDataArray(data() ? data()->getAllProductTags() : std::vector<brivanta_tag_entity>{});
        base::NotificationCenter::defaultCenter().post("refushRightData");
        m_tagsLeftView->tableView().reloadData();
        selectFirstTag();
    }
}
