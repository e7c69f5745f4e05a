#include "Classes/Library/ProductRelatedFileController.h"

#include "Classes/Library/LibraryDetailController.h"
#include "Classes/Library/LibraryFileState.h"
#include "Common/Language.h"
#include "Database/DataAccessManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"

ProductRelatedFileController::~ProductRelatedFileController()
{
    if (m_gridView) {
        m_gridView->setDataSource(nullptr);
        m_gridView->setDelegate(nullptr);
    }
    if (m_registered) {
        if (auto model = SaleslibraryModel::existingInstance())
            model->removeFromCallBackList(this);
    }
}

std::shared_ptr<ProductRelatedFileController> ProductRelatedFileController::self()
{
    return std::static_pointer_cast<ProductRelatedFileController>(sharedController());
}

LibraryFileActions& ProductRelatedFileController::actions()
{
    // Downloads from the related materials start at once on any network.
    if (!m_actions)
        m_actions = std::make_shared<LibraryFileActions>(
            std::shared_ptr<LibraryFileActionsHost>(self(), static_cast<LibraryFileActionsHost*>(this)), false);
    return *m_actions;
}

unsigned ProductRelatedFileController::supportedInterfaceOrientations() const
{
    return ui::InterfaceOrientationMaskLandscapeLeft | ui::InterfaceOrientationMaskLandscapeRight;
}

void ProductRelatedFileController::setLibfilesArray(Files files)
{
    m_libfilesArray = std::move(files);
    reloadGrid();
}

void ProductRelatedFileController::viewDidLoad()
{
    PopBaseController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(gfx::Color::white());
    m_libFilesArrayIDS = LibraryFiles::pendingUpdateIds();
    m_background = std::make_shared<ui::ImageView>(gfx::Rect{0, 44, 1024, 768});
    m_background->setImage(ui::imageNamed("background.png"));
    root->insertSubviewAtIndex(m_background, 0);

    m_gridView = std::make_shared<BRGridView>(kGridFrame);
    m_gridView->setBackgroundColor(gfx::Color::clear());
    m_gridView->setOpaque(false);
    m_gridView->setLeftContentInset(kGridInset);
    m_gridView->setRightContentInset(kGridInset);
    m_gridView->setDataSource(this);
    m_gridView->setDelegate(this);
    root->addSubview(m_gridView);
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    updateLanguage(nullptr);
    reloadGrid();
}

void ProductRelatedFileController::viewAfterFirstDidLoad()
{
    PopBaseController::viewAfterFirstDidLoad();
    if (m_registered)
        return;
    // The player's "stopViewVideo" is heard by the opener that showed it.
    SaleslibraryModel::sharedInstance()->registerCallBackList(
        std::shared_ptr<SaleslibraryModelDelegate>(self(), static_cast<SaleslibraryModelDelegate*>(this)));
    m_registered = true;
}

void ProductRelatedFileController::updateLanguage(ui::Responder*)
{
    PopBaseController::updateLanguage();
    if (lblTittle())
        lblTittle()->setText(Language::stringWithName("RELATEDMATERIALS"));
}

void ProductRelatedFileController::reloadGrid()
{
    if (!m_gridView)
        return;
    if (auto manager = DataAccessManager::sharedDataModel()) {
        auto favourites = manager->getAllLibraryFavoriteIds();
        m_favoriteIds = std::set<int>(favourites.begin(), favourites.end());
    }
    m_gridView->reloadData();
}

uint32_t ProductRelatedFileController::numberOfItemsInGridView(BRGridView&)
{
    return static_cast<uint32_t>(m_libfilesArray.size());
}

std::optional<gfx::Size> ProductRelatedFileController::portraitGridCellSizeForGridView(BRGridView& grid)
{
    // Four across and two rows in view.
    return gfx::Size{grid.frame().width() * 0.25 - 10, grid.frame().height() * 0.5};
}

std::shared_ptr<BRGridViewCell> ProductRelatedFileController::gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index)
{
    auto cell = std::dynamic_pointer_cast<LibraryDetailCell>(grid.dequeueReusableCellWithIdentifier(LibraryDetailCell::kIdentifier));
    if (!cell)
        cell = std::make_shared<LibraryDetailCell>(gfx::Rect{{0, 0}, LibraryDetailController::kTileSize},
                                                   LibraryDetailCell::kIdentifier);
    if (index >= m_libfilesArray.size())
        return cell;
    const auto& file = m_libfilesArray[index];
    LibraryFiles::configureTile(*cell, file, static_cast<int>(index), m_libFilesArrayIDS, m_favoriteIds.count(file.file_id) != 0,
                                *SaleslibraryModel::sharedInstance());
    cell->setDetailDelegate(this);
    // No edit mode here: deleting is not offered from the related materials.
    cell->deleteButton().setHidden(true);
    cell->setShaking(false);
    return cell;
}

void ProductRelatedFileController::didSelectedCell(const brivanta_library_files_Entity& file, int cellIndex)
{
    auto keep = self();
    actions().didSelectedCell(file, cellIndex);
}

void ProductRelatedFileController::selectShowInfo(const brivanta_library_files_Entity& file)
{
    if (presentedViewController())
        return;
    m_card = std::make_shared<FileDescriptionViewController>();
    m_card->setFileEntity(file);
    m_card->setDelagate(std::shared_ptr<FileDescripionDelegate>(self(), static_cast<FileDescripionDelegate*>(this)));
    m_card->delButton().setHidden(true);
    m_card->presentFrom(*this);
}

void ProductRelatedFileController::actionButtonPressed(const brivanta_library_files_Entity& file)
{
    auto keep = self();
    actions().actionButtonPressed(file);
}

void ProductRelatedFileController::markButtonPressed()
{
    reloadGrid();
}

int ProductRelatedFileController::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    auto keep = self();
    return actions().ReciveHttpRespondInfo(result);
}

void ProductRelatedFileController::ReciveDownloadPercent(const DownLoadRequestInfo& info)
{
    actions().ReciveDownloadPercent(info);
}
