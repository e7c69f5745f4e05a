#include "Classes/Library/LibraryDetailController.h"

#include "Classes/Library/LibraryFileState.h"
#include "Classes/Library/LibraryTexts.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Timer.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/PanGestureRecognizer.h"
#include "Platform/UI/ProgressView.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/Touch.h"
#include "Platform/UI/Window.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/ServerCommands.h"
#include "Widgets/BRCheckBoxView.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr double kMasterWidth = 244;

bool isChinese()
{
    return LanguageManager::sharedInstance()->currentLanguage() == 2;
}

} // namespace

LibraryDetailController::~LibraryDetailController()
{
    if (m_deleteTimer)
        m_deleteTimer->invalidate();
    if (m_tapGesture) {
        if (auto window = m_tapWindow.lock())
            window->removeGestureRecognizer(m_tapGesture.get());
    }
    if (m_registered) {
        if (auto model = SaleslibraryModel::existingInstance())
            model->removeFromCallBackList(this);
    }
}

std::shared_ptr<LibraryDetailController> LibraryDetailController::self()
{
    return std::static_pointer_cast<LibraryDetailController>(sharedController());
}

unsigned LibraryDetailController::supportedInterfaceOrientations() const
{
    return ui::InterfaceOrientationMaskLandscapeLeft | ui::InterfaceOrientationMaskLandscapeRight;
}

ui::Button* LibraryDetailController::sortButton() const
{
    return m_ordering ? m_ordering->orderingButton().get() : nullptr;
}

// --- Views ------------------------------------------------------------------------------

void LibraryDetailController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(gfx::Color::fromRgb(236, 240, 245));
    m_background = std::make_shared<ui::ImageView>(root->bounds());
    m_background->setImage(ui::imageNamed("background.png"));
    m_background->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    root->addSubview(m_background);

    m_gridView = std::make_shared<BRGridView>(gfx::Rect{0, 50, 1024, 588});
    m_gridView->setBackgroundColor(gfx::Color::clear());
    m_gridView->setOpaque(false);
    m_gridView->setAlwaysBounceVertical(true);
    m_gridView->setDataSource(this);
    m_gridView->setDelegate(this);
    root->addSubview(m_gridView);

    m_headerView = ui::View::make(gfx::Rect{0, 0, 1024, 50});
    m_headerView->setBackgroundColor(gfx::Color::clear());
    m_headerView->setOpaque(false);
    root->addSubview(m_headerView);

    m_searchBar = std::make_shared<ui::SearchBar>(gfx::Rect{15, 7, 300, 34});
    m_searchBar->setBackgroundColor(gfx::Color::clear());
    m_searchBar->setDelegate(this);
    m_headerView->addSubview(m_searchBar);

    m_ordering = std::make_unique<OrderingController>(gfx::Rect{840, 10, 110, 30},
                                                      std::vector<std::string>{"BYDEFAULT", "BYTITLE", "BYDATE", "BYTYPE"},
                                                      this, root.get());
    auto sort = m_ordering->orderingButton();
    sort->setBackgroundImage(ui::imageNamed("bth-sort.png"));
    sort->setBackgroundImage(ui::imageNamed("bth-sort_on.png"), ui::ControlStateHighlighted);
    sort->titleLabel().setFont(gfx::Font::boldSystemFont(14));
    sort->setTitleColor(gfx::Color::fromRgb(64, 64, 64));
    sort->setTitleEdgeInsets({0, 0, 0, 20});
    m_headerView->addSubview(sort);

    m_checkBox = std::make_shared<BRCheckBoxView>(gfx::Rect{628, 7, 200, 30}, BRCheckBoxView::Box, false);
    m_checkBox->setStateChangedBlock([this](BRCheckBoxView& box) { checkBoxViewChangedState(box.checked()); });
    m_checkBox->setHidden(m_libraryTab == 1);
    m_headerView->addSubview(m_checkBox);

    m_btnAllFiles = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect{970, 8, 34, 34});
    m_btnAllFiles->setImage(ui::imageNamed(m_libraryTab == 1 ? "icon_update.png" : "icon_download.png"));
    m_btnAllFiles->addTarget([this](ui::Control&) { downloadAll(); }, ui::ControlEventTouchUpInside);
    m_headerView->addSubview(m_btnAllFiles);

    m_shadow = std::make_shared<ui::ImageView>(gfx::Rect{0, 50, 1024, 15});
    m_shadow->setImage(ui::imageNamed("bg-Shadow.png"));
    m_shadow->setUserInteractionEnabled(false);
    root->addSubview(m_shadow);

    m_pan = std::make_shared<ui::PanGestureRecognizer>();
    m_pan->setMaximumNumberOfTouches(1);
    m_pan->setCancelsTouchesInView(false);
    m_pan->addTarget([this](ui::GestureRecognizer& pan) { panMove(pan); });
    root->addGestureRecognizer(m_pan);

    layoutForMasterHidden(m_masterHide);
    if (!m_registered) {
        SaleslibraryModel::sharedInstance()->registerCallBackList(
            std::shared_ptr<SaleslibraryModelDelegate>(sharedController(), static_cast<SaleslibraryModelDelegate*>(this)));
        m_registered = true;
    }
    updateLanguage(nullptr);
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void LibraryDetailController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    m_selectedRow = 0;
    m_selectedCategory = -1;
    reloadDataWithPostNotiChangeTab(true, false);
    auto& center = base::NotificationCenter::defaultCenter();
    std::weak_ptr<LibraryDetailController> weak = self();
    auto on = [weak](void (LibraryDetailController::*handler)(const base::Notification&)) {
        return [weak, handler](const base::Notification& note) {
            if (auto controller = weak.lock())
                (controller.get()->*handler)(note);
        };
    };
    m_observers.push_back(center.addObserver("display_catalog", nullptr, on(&LibraryDetailController::displayCatalog)));
    m_observers.push_back(center.addObserver("stopViewVideo", nullptr, on(&LibraryDetailController::stopViewVideo)));
    m_observers.push_back(center.addObserver("AppWillEnterBackgound", nullptr, on(&LibraryDetailController::enterBackground)));
    m_observers.push_back(center.addObserver("AppWillEnterForegroud", nullptr, on(&LibraryDetailController::enterForeground)));
}

void LibraryDetailController::viewWillAppear(bool)
{
    reloadDataWithPostNotiChangeTab(true, true);
    updateBtnDownlaodOrUpdate();
    if (m_searchBar)
        m_searchBar->resignFirstResponder();
}

void LibraryDetailController::updateLanguage(ui::Responder*)
{
    if (!m_searchBar)
        return;
    m_searchBar->setPlaceholder(Language::stringWithName("LIBRARYSEARCHHOLD"));
    m_ordering->updateLanguage();
    m_checkBox->setText(Language::stringWithName("HIDELOCALFILES"));
    layoutForMasterHidden(m_masterHide);
    reloadDataWithPostNotiChangeTab(true, false);
}

void LibraryDetailController::layoutForMasterHidden(bool hidden)
{
    m_masterHide = hidden;
    if (!m_gridView)
        return;
    double shift = hidden ? 0 : kMasterWidth;
    double width = 1024 - shift;
    m_gridView->setFrame({shift, 50, width, 588});
    m_gridView->setLeftContentInset(hidden ? 25 : 20);
    m_gridView->setRightContentInset(hidden ? 25 : 20);
    m_headerView->setFrame({shift, 0, width, 50});
    if (auto sort = sortButton())
        sort->setFrame({hidden ? 840.0 : 596.0, 10, 110, 30});
    if (isChinese())
        m_checkBox->setFrame({hidden ? 685.0 : 441.0, 7, 150, 30});
    else
        m_checkBox->setFrame({hidden ? 628.0 : 384.0, 7, 200, 30});
    m_btnAllFiles->setFrame({hidden ? 970.0 : 726.0, 8, 34, 34});
}

// --- The list -----------------------------------------------------------------------------

std::string LibraryDetailController::orderName(int sortType)
{
    switch (sortType) {
    case 1:
        return "date desc";
    case 2:
        return "type desc";
    default:
        return "title";
    }
}

void LibraryDetailController::filterAndSortArray()
{
    auto manager = DataAccessManager::sharedDataModel();
    auto model = SaleslibraryModel::sharedInstance();
    if (!manager)
        return;
    if (!m_isSearching) {
        if (m_sortType == 1)
            m_searchResultArray = manager->getAllLibFilesOrderByDate();
        else if (m_sortType == 2)
            m_searchResultArray = manager->getAllLibFilesOrderByType();
        else
            m_searchResultArray = manager->getAllLibFiles();
    }
    // Favourites and pending updates are read once per reload, not once per document.
    auto favourites = manager->getAllLibraryFavoriteIds();
    m_favoriteIds = std::set<int>(favourites.begin(), favourites.end());
    Files base = m_searchResultArray;
    if (m_sortType == 0) {
        Files favourites, updates, rest;
        for (auto& file : base) {
            if (m_favoriteIds.count(file.file_id))
                favourites.push_back(std::move(file));
            else if (m_libFilesArrayIDS.count(file.file_id))
                updates.push_back(std::move(file));
            else
                rest.push_back(std::move(file));
        }
        base = std::move(favourites);
        base.insert(base.end(), updates.begin(), updates.end());
        base.insert(base.end(), rest.begin(), rest.end());
    }
    m_libfilesArray = base;
    m_catalogDisplayFileArray = base;
    if (m_libraryTab == 1) {
        std::erase_if(m_catalogDisplayFileArray, [&](const brivanta_library_files_Entity& file) {
            return !model->isExists(file.file_id) && !model->isInDownloadList(file.file_name);
        });
    }
    auto isLocal = [&](const brivanta_library_files_Entity& file) {
        return model->isExists(file.file_id) || model->isInDownloadList(file.file_name) ||
               model->isInPauseList(file.file_name);
    };
    if (m_libraryTab == 1)
        std::erase_if(m_libfilesArray, [&](const auto& file) { return !isLocal(file); });
    if (m_selectedCategory != -1) {
        auto parents = manager->getLibCategoryParentMap();
        std::erase_if(m_libfilesArray, [&](const auto& file) {
            return !LibraryFiles::fileIsInCategory(file.category, m_selectedCategory, parents);
        });
    }
    if (!m_showCollectionInLibrary) {
        std::erase_if(m_libfilesArray, isLocal);
        std::erase_if(m_catalogDisplayFileArray, isLocal);
    }
}

void LibraryDetailController::reloadDataWithPostNotiChangeTab(bool post, bool changeTab)
{
    m_libFilesArrayIDS = LibraryFiles::pendingUpdateIds();
    filterAndSortArray();
    if (m_gridView)
        m_gridView->reloadData();
    if (post) {
        base::Dictionary info;
        info.set("ChangeTab", base::Value(changeTab));
        base::NotificationCenter::defaultCenter().post("reloadlibrarycatalog", sharedController(),
                                                       base::Value(std::move(info)));
    }
}

void LibraryDetailController::displayCatalog(const base::Notification& notification)
{
    const auto& info = notification.userInfo;
    if (!info.isDictionary() || info["tabIndex"].toInt() != m_libraryTab)
        return;
    m_selectedRow = static_cast<int>(info["m_selectRow"].toInt());
    m_selectedCategory = static_cast<int>(info["clickIndex"].toInt());
    reloadDataWithPostNotiChangeTab(true, false);
    updateBtnDownlaodOrUpdate();
}

void LibraryDetailController::orderingDidSelected(unsigned index)
{
    static constexpr int kTypes[] = {0, 3, 1, 2};
    m_sortType = index < 4 ? kTypes[index] : 0;
    if (m_isSearching)
        searchWithCurrentText();
    reloadDataWithPostNotiChangeTab(false, false);
}

void LibraryDetailController::searchWithCurrentText()
{
    auto manager = DataAccessManager::sharedDataModel();
    if (manager && m_searchBar)
        m_searchResultArray = manager->getLibFilesBysearchNameOrderBy(m_searchBar->text(), orderName(m_sortType));
}

void LibraryDetailController::searchBarTextDidChange(ui::SearchBar&, const std::string& text)
{
    if (text.empty()) {
        m_isSearching = false;
        m_selectedRow = 0;
        m_selectedCategory = -1;
    } else {
        m_isSearching = true;
        searchWithCurrentText();
    }
    reloadDataWithPostNotiChangeTab(true, false);
}

void LibraryDetailController::searchBarTextDidBeginEditing(ui::SearchBar& bar)
{
    if (!bar.text().empty())
        return;
    m_isSearching = true;
    m_selectedCategory = -1;
    m_selectedRow = 0;
    searchWithCurrentText();
    reloadDataWithPostNotiChangeTab(true, false);
}

void LibraryDetailController::checkBoxViewChangedState(bool checked)
{
    m_showCollectionInLibrary = !checked;
    reloadDataWithPostNotiChangeTab(true, false);
}

// --- Tiles --------------------------------------------------------------------------------

uint32_t LibraryDetailController::numberOfItemsInGridView(BRGridView&)
{
    return static_cast<uint32_t>(m_libfilesArray.size());
}

std::shared_ptr<BRGridViewCell> LibraryDetailController::gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index)
{
    auto cell = std::dynamic_pointer_cast<LibraryDetailCell>(grid.dequeueReusableCellWithIdentifier(LibraryDetailCell::kIdentifier));
    if (!cell)
        cell = std::make_shared<LibraryDetailCell>(gfx::Rect{{0, 0}, kTileSize}, LibraryDetailCell::kIdentifier);
    if (index < m_libfilesArray.size())
        configureCell(*cell, m_libfilesArray[index], static_cast<int>(index));
    return cell;
}

void LibraryDetailController::configureCell(LibraryDetailCell& cell, const brivanta_library_files_Entity& file, int index)
{
    LibraryFiles::configureTile(cell, file, index, m_libFilesArrayIDS, m_favoriteIds.count(file.file_id) != 0,
                                *SaleslibraryModel::sharedInstance());
    cell.setDetailDelegate(this);
    cell.deleteButton().setHidden(!m_isEditing);
    cell.setShaking(m_showCellShaking);
    if (m_isEditing)
        cell.setBackgroundView(nullptr);
}

void LibraryDetailController::redrawVisibleCells()
{
    if (!m_gridView)
        return;
    for (auto& visible : m_gridView->visibleCells()) {
        auto cell = std::dynamic_pointer_cast<LibraryDetailCell>(visible);
        if (cell && cell->cellIndex() >= 0 && static_cast<size_t>(cell->cellIndex()) < m_libfilesArray.size())
            configureCell(*cell, m_libfilesArray[cell->cellIndex()], cell->cellIndex());
    }
}

void LibraryDetailController::didSelectedInfoButton(const brivanta_library_files_Entity& file)
{
    selectShowInfo(file);
}

void LibraryDetailController::selectShowInfo(const brivanta_library_files_Entity& file)
{
    if (presentedViewController())
        return;
    m_card = std::make_shared<FileDescriptionViewController>();
    m_card->setFileEntity(file);
    m_card->setDelagate(std::shared_ptr<FileDescripionDelegate>(sharedController(), static_cast<FileDescripionDelegate*>(this)));
    bool onDevice = SaleslibraryModel::sharedInstance()->isExists(file.file_id);
    m_card->delButton().setHidden(!(m_libraryTab == 1 || onDevice));
    m_card->presentFrom(*this);
}

void LibraryDetailController::markButtonPressed()
{
    reloadDataWithPostNotiChangeTab(false, false);
}

void LibraryDetailController::descriptionViewDeleteButtonPressed(const brivanta_library_files_Entity& file)
{
    if (m_deleteTimer)
        m_deleteTimer->invalidate();
    std::weak_ptr<LibraryDetailController> weak = self();
    m_deleteTimer = base::Timer::scheduled(kDeleteDelay, false, [weak, file](base::Timer&) {
        if (auto controller = weak.lock())
            controller->didSelectedDeleteButton(file);
    });
}

// --- Edit mode and the pane gesture -------------------------------------------------------

void LibraryDetailController::didCellLongPressed()
{
    if (m_libraryTab != 1 || m_isEditing)
        return;
    startEditing();
}

void LibraryDetailController::startEditing()
{
    auto* window = view()->window();
    if (window && !m_tapGesture) {
        m_tapGesture = std::make_shared<ui::TapGestureRecognizer>();
        m_tapGesture->setCancelsTouchesInView(false);
        m_tapGesture->setDelegate(this);
        m_tapGesture->addTarget([this](ui::GestureRecognizer& tap) { editTapped(tap); });
        window->addGestureRecognizer(m_tapGesture);
        m_tapWindow = window->sharedView();
    }
    m_isEditing = true;
    m_showCellShaking = true;
    reloadDataWithPostNotiChangeTab(false, false);
    for (auto& cell : m_gridView->visibleCells())
        cell->setBackgroundView(nullptr);
}

bool LibraryDetailController::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch)
{
    if (&recognizer != m_tapGesture.get() || !m_gridView)
        return true;
    for (auto& cell : m_gridView->visibleCells()) {
        if (cell->bounds().contains(touch.locationInView(cell.get())))
            return false;
    }
    return true;
}

void LibraryDetailController::editTapped(ui::GestureRecognizer&)
{
    endEditing();
}

void LibraryDetailController::endEditing()
{
    m_isEditing = false;
    m_showCellShaking = false;
    if (m_gridView)
        m_gridView->reloadData();
    if (m_tapGesture) {
        if (auto window = m_tapWindow.lock())
            window->removeGestureRecognizer(m_tapGesture.get());
        m_tapGesture.reset();
        m_tapWindow.reset();
    }
}

void LibraryDetailController::enterBackground(const base::Notification&)
{
    if (!m_isEditing)
        return;
    m_showCellShaking = false;
    reloadDataWithPostNotiChangeTab(false, false);
}

void LibraryDetailController::enterForeground(const base::Notification&)
{
    if (!m_isEditing)
        return;
    m_showCellShaking = true;
    reloadDataWithPostNotiChangeTab(false, false);
}

void LibraryDetailController::panMove(ui::GestureRecognizer& recognizer)
{
    auto& pan = static_cast<ui::PanGestureRecognizer&>(recognizer);
    bool moving = pan.state() == ui::GestureRecognizer::State::Began || pan.state() == ui::GestureRecognizer::State::Changed;
    if (moving && m_panDistance > -100 && m_panDistance < 100) {
        m_panDistance += pan.translationInView(view().get()).x;
        return;
    }
    if (m_panDistance > 100) {
        m_masterHide = false;
        base::NotificationCenter::defaultCenter().post("ShowLibraryMasterView");
    } else if (m_panDistance < -100) {
        m_masterHide = true;
        base::NotificationCenter::defaultCenter().post("HideLibraryMasterView");
    }
    m_panDistance = 0;
}
