#include "Classes/Library/LibraryCatalogController.h"

#include "Common/AppSession.h"
#include "Classes/Library/LibraryCatalogCell.h"
#include "Classes/Library/LibraryDetailController.h"
#include "Classes/Library/LibraryFileState.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

namespace {
std::string trimmed(const std::string& text)
{
    const char* space = " \t\r\n";
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

LibraryCatalogController::~LibraryCatalogController()
{
    if (m_catatable) {
        m_catatable->setDataSource(nullptr);
        m_catatable->setDelegate(nullptr);
    }
}

unsigned LibraryCatalogController::supportedInterfaceOrientations() const
{
    return ui::InterfaceOrientationMaskLandscapeLeft | ui::InterfaceOrientationMaskLandscapeRight;
}

void LibraryCatalogController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(gfx::Color::clear());
    root->setClipsToBounds(true);

    m_tableimgbg = std::make_shared<ui::ImageView>(gfx::Rect(0, 64, kWidth, 723));
    m_tableimgbg->setImage(SkinManager::skinFromImageName("left-nav.png"));
    root->addSubview(m_tableimgbg);

    m_catatable = std::make_shared<ui::TableView>(gfx::Rect(0, 44, kWidth, 724));
    m_catatable->setBackgroundColor(gfx::Color::clear());
    m_catatable->setSeparatorColor(std::nullopt);
    m_catatable->setRowHeight(kRowHeight);
    m_catatable->setDataSource(this);
    m_catatable->setDelegate(this);
    root->addSubview(m_catatable);

    m_catatitlebg = std::make_shared<ui::ImageView>(gfx::Rect(0, 0, kWidth, 44));
    m_catatitlebg->setImage(SkinManager::skinFromImageName("topnavbar.png"));
    m_catatitlebg->setUserInteractionEnabled(true);
    root->addSubview(m_catatitlebg);

    m_catatitlelb = std::make_shared<ui::Label>(gfx::Rect(72, 7, 100, 30));
    m_catatitlelb->setBackgroundColor(gfx::Color::clear());
    m_catatitlelb->setTextColor(gfx::Color::white());
    m_catatitlelb->setFont(gfx::Font("Helvetica-Bold", 20));
    m_catatitlelb->setAdjustsFontSizeToFitWidth(true);
    m_catatitlelb->setMinimumFontSize(15);
    m_catatitlelb->setTextAlignment(gfx::TextAlignment::Center);
    m_catatitlebg->addSubview(m_catatitlelb);

    m_btnBack = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(8, 5, 60, 34));
    PublicFunction::initializeToBackButtonHeight34(m_btnBack.get());
    m_btnBack->setTitle(Language::stringWithName("BACK"));
    m_btnBack->setHidden(true);
    m_btnBack->addTarget([this](ui::Control&) { backToParentCategory(); }, ui::ControlEventTouchUpInside);
    m_catatitlebg->addSubview(m_btnBack);

    m_shadowImageView = std::make_shared<ui::ImageView>(gfx::Rect(160, 0, 84, 768));
    m_shadowImageView->setImage(SkinManager::bundledImageNamed("shadow_navbar"));
    m_shadowImageView->setUserInteractionEnabled(false);
    root->addSubview(m_shadowImageView);

    m_clickIndex = -1;
    m_cid = 0;
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    updateLanguage(nullptr);
}

void LibraryCatalogController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    m_cataArr = data() ? data()->getLibSubCategoriesByParentCategoryID(0) : std::vector<brivanta_library_category_Entity>{};
    m_cname = std::string();
    addUncategorized();
    m_parents = data() ? data()->getLibCategoryParentMap() : std::map<int, int>{};
    m_counts.reset();
    auto& center = base::NotificationCenter::defaultCenter();
    std::weak_ptr<ui::ViewController> weak = sharedController();
    m_observers.push_back(center.addObserver("reloadlibrarycatalog", nullptr, [this, weak](const base::Notification& note) {
        if (weak.lock())
            reloadlibrarycatalog(note);
    }));
    m_observers.push_back(center.addObserver("deselectlibrarycatalog", nullptr, [this, weak](const base::Notification&) {
        if (weak.lock())
            removeSelectFlag();
    }));
}

void LibraryCatalogController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    auto config = ConfigManager::sharedInstance();
    auto& flags = config->flagDic();
    auto flag = flags.find("Needreloadlibrary");
    if (flag == flags.end() || flag->second != "YES")
        return;
    // Back to the top level, so the panel and the grids agree on what is chosen.
    m_cid = 0;
    m_cname = std::string();
    m_cataArr = data() ? data()->getLibSubCategoriesByParentCategoryID(0) : std::vector<brivanta_library_category_Entity>{};
    m_libFilesArray = data() ? data()->getAllLibFiles() : std::vector<brivanta_library_files_Entity>{};
    addUncategorized();
    m_parents = data() ? data()->getLibCategoryParentMap() : std::map<int, int>{};
    m_counts.reset();
    flag->second = "NO";
    if (config->leftPanelType() == std::optional<std::string>("normal")) {
        if (auto app = AppSession::shared())
            app->setIsFileDisPlayTwoColumn(true);
    }
    setTitleText(Language::stringWithName("CATEGORY"));
    if (m_btnBack)
        m_btnBack->setHidden(true);
    removeSelectFlag();
    if (m_catatable)
        selectTopCell(*m_catatable);
}

void LibraryCatalogController::updateLanguage(ui::Responder*)
{
    if (!m_catatable)
        return;
    m_btnBack->setTitle(Language::stringWithName("BACK"));
    setTitleText(m_cid == 0 ? Language::stringWithName("CATEGORY") : m_cname.value_or(""));
    m_catatable->reloadData();
    selectRowQuietly(m_selectRow < 0 ? 0 : m_selectRow);
}

void LibraryCatalogController::setTitleText(const std::string& text)
{
    if (m_catatitlelb)
        m_catatitlelb->setText(text);
}

void LibraryCatalogController::addUncategorized()
{
    if (!data() || data()->getLibFilesBycatalogId(0).empty())
        return;
    brivanta_library_category_Entity uncategorized;
    uncategorized.categoryID = 0;
    uncategorized.name = Language::stringWithName("UNCATEGORIZED");
    uncategorized.published = 1;
    uncategorized.ordering = static_cast<int>(m_cataArr.size());
    m_cataArr.push_back(uncategorized);
}

bool LibraryCatalogController::fileIsInCategory(const brivanta_library_files_Entity& file, int categoryId) const
{
    if (file.category == categoryId)
        return true;
    if (file.category == 0)
        return false;
    return LibraryFiles::fileIsInCategory(file.category, categoryId, m_parents);
}

int LibraryCatalogController::countIn(int categoryId) const
{
    if (categoryId == 0) {
        int count = 0;
        for (const auto& file : m_libFilesArray)
            count += file.category == 0 ? 1 : 0;
        return count;
    }
    if (!m_counts)
        m_counts = LibraryFiles::countsUnderCategories(m_libFilesArray, m_parents);
    auto found = m_counts->find(categoryId);
    return found == m_counts->end() ? 0 : found->second;
}

void LibraryCatalogController::removeSelectFlag()
{
    if (m_catatable)
        m_catatable->reloadData();
    m_clickIndex = -1;
    m_selectRow = -1;
}

void LibraryCatalogController::selectRowQuietly(int row)
{
    if (!m_catatable || row < 0 || row >= numberOfRowsInSection(*m_catatable, 0))
        return;
    m_catatable->selectRowAtIndexPath(ui::IndexPath::forRow(row, 0), false);
}

void LibraryCatalogController::selectTopCell(ui::TableView& table)
{
    table.selectRowAtIndexPath(ui::IndexPath::forRow(0, 0), false, ui::TableViewScrollPosition::Top);
    didSelectRowAtIndexPath(table, ui::IndexPath::forRow(0, 0));
}

void LibraryCatalogController::postDisplayCatalog()
{
    base::Dictionary info;
    info.set("tabIndex", base::Value(m_tabIndex));
    info.set("m_selectRow", base::Value(m_selectRow));
    info.set("clickIndex", base::Value(m_clickIndex));
    base::NotificationCenter::defaultCenter().post("display_catalog", sharedController(), base::Value(std::move(info)));
}

int LibraryCatalogController::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_cataArr.size()) + 1;
}

std::shared_ptr<ui::TableViewCell> LibraryCatalogController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                   const ui::IndexPath& ip)
{
    if (&table != m_catatable.get())
        return nullptr;
    static const std::string kIdentifier = "Cell";
    auto cell = std::dynamic_pointer_cast<LibraryCatalogCell>(table.dequeueReusableCellWithIdentifier(kIdentifier));
    if (!cell)
        cell = std::make_shared<LibraryCatalogCell>(kIdentifier);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::Gray);
    if (ip.row == 0) {
        cell->setIsFirstLine(true);
        cell->imgicon().setHidden(true);
        int count = m_cid == 0 ? static_cast<int>(m_libFilesArray.size()) : countIn(m_cid);
        cell->lbcount().setText("(" + std::to_string(count) + ")");
        return cell;
    }
    cell->setIsFirstLine(false);
    const auto& category = m_cataArr.at(static_cast<size_t>(ip.row - 1));
    cell->lbcount().setFont(gfx::Font::systemFont(16));
    int count = 0;
    if (category.categoryID == 0) {
        cell->lbTitle().setText(Language::stringWithName("UNCATEGORIZED"));
        cell->lbTitle().setFont(gfx::Font::italicSystemFont(16));
        cell->imgicon().setHidden(true);
        count = countIn(0);
    } else {
        cell->lbTitle().setText(trimmed(category.name.value_or("")));
        cell->lbTitle().setFont(gfx::Font::systemFont(16));
        cell->imgicon().setHidden(!data() || data()->getLibSubCategoriesByParentCategoryID(category.categoryID).empty());
        count = countIn(category.categoryID);
    }
    cell->lbcount().setText("(" + std::to_string(count) + ")");
    return cell;
}

void LibraryCatalogController::placeRowsAt(double x)
{
    for (const auto& ip : m_catatable->indexPathsForVisibleRows()) {
        if (ip.row == 0)
            continue;
        if (auto* cell = m_catatable->cellForRowAtIndexPath(ip)) {
            gfx::Rect frame = cell->frame();
            cell->setFrame({x, frame.y(), frame.width(), frame.height()});
        }
    }
}

void LibraryCatalogController::slideRows(double to, bool easeIn, std::function<void()> completion)
{
    ui::View::AnimationOptions options;
    options.duration = kSlideSeconds;
    options.curve = easeIn ? ui::View::AnimationOptions::Curve::EaseIn : ui::View::AnimationOptions::Curve::EaseOut;
    std::weak_ptr<ui::ViewController> weak = sharedController();
    ui::View::animate(options, [this, to] { placeRowsAt(to); },
                      [weak, completion = std::move(completion)](bool) {
                          if (weak.lock())
                              completion();
                      });
}

void LibraryCatalogController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    if (&table != m_catatable.get() || ip.row == m_selectRow)
        return;
    m_selectRow = ip.row;
    if (ip.row == 0) {
        m_cname = data() ? data()->getLibraryCategoryByCategoryid(m_cid).name : std::nullopt;
        if (m_cid != 0) {
            setTitleText(m_cname.value_or(""));
            m_btnBack->setHidden(false);
            m_clickIndex = m_cid;
        } else {
            setTitleText(Language::stringWithName("CATEGORY"));
            m_clickIndex = -1;
        }
        postDisplayCatalog();
        return;
    }
    if (static_cast<size_t>(ip.row) > m_cataArr.size())
        return;
    brivanta_library_category_Entity category = m_cataArr[static_cast<size_t>(ip.row - 1)];
    m_clickIndex = category.categoryID;
    auto subs = category.categoryID == 0 || !data() ? std::vector<brivanta_library_category_Entity>{}
                                                    : data()->getLibSubCategoriesByParentCategoryID(category.categoryID);
    if (subs.empty()) {
        if (category.parent_id != 0) {
            setTitleText(m_cname.value_or(""));
            m_btnBack->setHidden(false);
        }
        postDisplayCatalog();
        return;
    }
    m_cid = category.categoryID;
    m_cname = category.name;
    m_cataArr = std::move(subs);
    slideRows(-kSlide, true, [this] {
        m_catatable->reloadData();
        selectTopCell(*m_catatable);
        m_selectRow = 0;
        setTitleText(m_cname.value_or(""));
        placeRowsAt(kSlide);
        slideRows(0, false, [this] {
            m_btnBack->setHidden(false);
            postDisplayCatalog();
        });
    });
}

void LibraryCatalogController::backToParentCategory()
{
    int parent = 0;
    if (auto found = m_parents.find(m_cid); found != m_parents.end())
        parent = found->second;
    else if (data())
        parent = data()->getLibParentCategoryIDByCategoryID(m_cid);
    m_cid = parent;
    m_clickIndex = parent == 0 ? -1 : parent;
    m_cname = data() ? data()->getLibraryCategoryByCategoryid(parent).name : std::nullopt;
    m_cataArr = data() ? data()->getLibSubCategoriesByParentCategoryID(parent) : std::vector<brivanta_library_category_Entity>{};
    if (parent == 0)
        addUncategorized();
    m_selectRow = 0;
    slideRows(kSlide, true, [this, parent] {
        m_catatable->reloadData();
        selectTopCell(*m_catatable);
        placeRowsAt(-kSlide);
        m_btnBack->setHidden(parent == 0);
        setTitleText(parent == 0 ? Language::stringWithName("CATEGORY") : m_cname.value_or(""));
        slideRows(0, false, [this] { postDisplayCatalog(); });
    });
}

void LibraryCatalogController::reloadlibrarycatalog(const base::Notification& notification)
{
    auto grid = std::static_pointer_cast<ui::ViewController>(notification.object);
    auto* detail = dynamic_cast<LibraryDetailController*>(grid.get());
    if (!detail)
        return;
    bool change = notification.userInfo["ChangeTab"].toBool();
    if ((change && m_tabIndex == detail->libraryTab()) || (!change && m_tabIndex != detail->libraryTab()))
        return;
    if (m_catatable) {
        if (auto selected = m_catatable->indexPathForSelectedRow())
            m_catatable->deselectRowAtIndexPath(*selected, false);
    }
    m_libFilesArray = detail->catalogDisplayFileArray();
    m_tabIndex = detail->libraryTab();
    m_clickIndex = detail->selectedCategory();
    m_selectRow = detail->selectedRow();
    m_parents = data() ? data()->getLibCategoryParentMap() : std::map<int, int>{};
    m_counts.reset();
    if (!m_catatable)
        return;
    m_catatable->reloadData();
    selectRowQuietly(m_clickIndex == -1 ? 0 : m_selectRow);
}
