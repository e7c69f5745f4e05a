#pragma once
#include "Classes/Library/FileDescriptionViewController.h"
#include "Classes/Library/LibraryDetailCell.h"
#include "Classes/Library/LibraryFileActions.h"
#include "Classes/Library/SaleslibraryModel.h"
#include "Common/BaseViewController.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/SearchBar.h"
#include "Widgets/BRGridView.h"
#include "Widgets/OrderingController.h"

#include <map>
#include <memory>
#include <set>
#include <vector>

namespace base {
class Timer;
}
namespace ui {
class Button;
class ImageView;
class PanGestureRecognizer;
class TapGestureRecognizer;
}
class BRCheckBoxView;

// The right-hand pane of the library tab: a grid of document tiles under a header with the
// search field, the sort button, the hide-local-files box and the all-files button. Tab 0
// lists every published document, tab 1 those on the device or on their way.
class LibraryDetailController : public BaseViewController,
                                public BRGridViewDataSource,
                                public BRGridViewDelegate,
                                public LibraryDetailCellDelegate,
                                public OrderingControllerDelegate,
                                public ui::SearchBarDelegate,
                                public FileDescripionDelegate,
                                public SaleslibraryModelDelegate,
                                public LibraryFileActionsHost,
                                public ui::GestureRecognizerDelegate {
public:
    using Files = std::vector<brivanta_library_files_Entity>;
    static constexpr gfx::Size kCellSize{200, 300};
    static constexpr gfx::Size kTileSize{180, 240};
    static constexpr double kDeleteDelay = 0.5;
    static constexpr int kAlertDemo = LibraryFileActions::kAlertDemo;
    static constexpr int kAlertFailed = LibraryFileActions::kAlertFailed;
    static constexpr int kAlertDownloadAll = 1002;
    static constexpr int kAlertUpdateAll = 1003;
    static constexpr int kAlertWifi = LibraryFileActions::kAlertWifi;
    static constexpr int kAlertWifiAll = 1005;
    static constexpr int kAlertCancelAll = 1006;
    static constexpr int kAlertUpdateBase = LibraryFileActions::kAlertUpdateBase;

    LibraryDetailController() = default;
    ~LibraryDetailController() override;
    const char* className() const override { return "LibraryDetailController"; }

    int libraryTab() const { return m_libraryTab; }
    // Set by the library tab before the view loads.
    void setLibraryTab(int tab) { m_libraryTab = tab; }
    bool masterHide() const { return m_masterHide; }
    void setMasterHide(bool hide) { m_masterHide = hide; }
    int sortType() const { return m_sortType; }
    bool isSearching() const { return m_isSearching; }
    int selectedCategory() const { return m_selectedCategory; }
    void setSelectedCategory(int category) { m_selectedCategory = category; }
    int selectedRow() const { return m_selectedRow; }
    void setSelectedRow(int row) { m_selectedRow = row; }
    bool showCollectionInLibrary() const { return m_showCollectionInLibrary; }
    bool isEditing() const { return m_isEditing; }
    bool showCellShaking() const { return m_showCellShaking; }
    const Files& libfilesArray() const { return m_libfilesArray; }
    const Files& catalogDisplayFileArray() const { return m_catalogDisplayFileArray; }
    const std::set<int>& libFilesArrayIDS() const { return m_libFilesArrayIDS; }

    BRGridView* gridView() const { return m_gridView.get(); }
    ui::View* headerView() const { return m_headerView.get(); }
    ui::SearchBar* searchBar() const { return m_searchBar.get(); }
    BRCheckBoxView* checkBox() const { return m_checkBox.get(); }
    ui::Button* allFilesButton() const { return m_btnAllFiles.get(); }
    ui::Button* sortButton() const;
    OrderingController* orderingController() const { return m_ordering.get(); }
    FileDescriptionViewController* presentedCard() const { return m_card.get(); }

    void reloadDataWithPostNotiChangeTab(bool post, bool changeTab);
    // Frames of the header, grid, check box, sort and all-files buttons for the panel state.
    void layoutForMasterHidden(bool hidden);

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    unsigned supportedInterfaceOrientations() const override;

    // Category choice from the tree ("display_catalog").
    void displayCatalog(const base::Notification& notification);
    void orderingDidSelected(unsigned index) override;
    void checkBoxViewChangedState(bool checked);
    void searchBarTextDidChange(ui::SearchBar&, const std::string& text) override;
    void searchBarTextDidBeginEditing(ui::SearchBar&) override;

    uint32_t numberOfItemsInGridView(BRGridView&) override;
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView&, uint32_t index) override;
    std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView&) override { return kCellSize; }

    void didSelectedCell(const brivanta_library_files_Entity& file, int cellIndex) override;
    void didSelectedInfoButton(const brivanta_library_files_Entity& file) override;
    void didSelectedDeleteButton(const brivanta_library_files_Entity& file) override;
    void didCellLongPressed() override;
    void selectShowInfo(const brivanta_library_files_Entity& file);

    void actionButtonPressed(const brivanta_library_files_Entity& file) override;
    void descriptionViewDeleteButtonPressed(const brivanta_library_files_Entity& file) override;
    void markButtonPressed() override;

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override;
    void ReciveDownloadPercent(const DownLoadRequestInfo& info) override;

    void panMove(ui::GestureRecognizer& pan);
    void endEditing();

    // Opens a document on the device in its viewer.
    void selectDownloadedFileType(const std::optional<std::string>& name, int type);
    void stopViewVideo(const base::Notification&);

    // --- Downloads and updates ---
    bool isBtnCancel() const { return m_isBtnCancel; }
    bool alertCancelIsShow() const { return m_alertCancelIsShow; }
    void downloadAll();
    void downloadAllFiles();
    void startDownloadAll();
    void updateAllFiles();
    void cancelAllDownloads();
    // With the demo, offline and Wi-Fi refusals.
    void selectedFileToDownload(const brivanta_library_files_Entity& file);
    void pauseDownload(const brivanta_library_files_Entity& file);
    // The update question for a listed document; it stays bound to that document.
    void selectFileToUpdate(const brivanta_library_files_Entity& file);
    void updateBtnDownlaodOrUpdate();
    void setBtnStatusToCancel(bool cancel);
    int getNumberOfAllFilesToDownload() const;
    int getNumberOfAllFilesToUpdate() const;
    double getSizeOfAllFilesToDownload() const;
    double getSizeOfAllFilesToUpdate() const;
    static double getFileSize(const brivanta_library_files_Entity& file);
    // The shared download, update and opening steps, made on first use.
    LibraryFileActions& actions();

    // As the shared steps see the grid.
    const Files& listedFiles() const override { return m_libfilesArray; }
    const std::set<int>& pendingUpdateIds() const override { return m_libFilesArrayIDS; }
    BRGridView* fileGrid() const override { return m_gridView.get(); }
    void downloadsChanged() override;
    void downloadFinished() override;
    void redrawTiles() override { redrawVisibleCells(); }
    void showFileCard(const brivanta_library_files_Entity& file) override { selectShowInfo(file); }
    bool tapOpensFiles() const override { return !(m_libraryTab == 1 && m_isEditing); }
    void alertAnswered(int tag, int index) override;

private:
    void enterBackground(const base::Notification&);
    void enterForeground(const base::Notification&);
    void updateBtnDownloadAll();
    void updateBtnUpdateAll();
    static std::string orderName(int sortType);
    void filterAndSortArray();
    void searchWithCurrentText();
    void configureCell(LibraryDetailCell& cell, const brivanta_library_files_Entity& file, int index);
    void startEditing();
    void editTapped(ui::GestureRecognizer& tap);
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) override;
    void redrawVisibleCells();
    std::shared_ptr<LibraryDetailController> self();

    int m_libraryTab = 0;
    bool m_masterHide = false;
    int m_sortType = 0;
    bool m_isSearching = false;
    int m_selectedCategory = -1;
    int m_selectedRow = 0;
    bool m_showCollectionInLibrary = true;
    Files m_searchResultArray;
    Files m_libfilesArray;
    Files m_catalogDisplayFileArray;
    std::set<int> m_libFilesArrayIDS;
    std::set<int> m_favoriteIds;
    bool m_isEditing = false;
    bool m_showCellShaking = false;
    double m_panDistance = 0;

    std::shared_ptr<ui::ImageView> m_background;
    std::shared_ptr<ui::View> m_headerView;
    std::shared_ptr<BRGridView> m_gridView;
    std::shared_ptr<ui::SearchBar> m_searchBar;
    std::shared_ptr<BRCheckBoxView> m_checkBox;
    std::shared_ptr<ui::Button> m_btnAllFiles;
    std::shared_ptr<ui::ImageView> m_shadow;
    std::unique_ptr<OrderingController> m_ordering;
    std::shared_ptr<ui::PanGestureRecognizer> m_pan;
    std::shared_ptr<ui::TapGestureRecognizer> m_tapGesture;
    std::weak_ptr<ui::View> m_tapWindow;
    std::shared_ptr<FileDescriptionViewController> m_card;
    std::shared_ptr<base::Timer> m_deleteTimer;
    std::shared_ptr<LibraryFileActions> m_actions;
    std::vector<base::ObserverToken> m_observers;
    bool m_registered = false;
    bool m_isBtnCancel = false;
    std::shared_ptr<ui::AlertView> m_alertCancel;
    bool m_alertCancelIsShow = false;
};
