#pragma once
#include "Classes/Library/FileDescriptionViewController.h"
#include "Classes/Library/LibraryDetailCell.h"
#include "Classes/Library/LibraryFileActions.h"
#include "Classes/Library/SaleslibraryModel.h"
#include "Common/PopBaseController.h"
#include "Database/brivanta_library_files_Entity.h"
#include "Widgets/BRGridView.h"

#include <memory>
#include <set>
#include <vector>

namespace ui {
class ImageView;
}

// The related materials of a product: its library documents as tiles, four across, in a
// full-screen pop-up that its delegate closes. Downloads, pauses, updates and opens them as the
// library grid does, through the same steps, except that a download off Wi-Fi never asks.
class ProductRelatedFileController : public PopBaseController,
                                     public BRGridViewDataSource,
                                     public BRGridViewDelegate,
                                     public LibraryDetailCellDelegate,
                                     public FileDescripionDelegate,
                                     public SaleslibraryModelDelegate,
                                     public LibraryFileActionsHost {
public:
    using Files = std::vector<brivanta_library_files_Entity>;
    static inline const gfx::Rect kGridFrame{0, 55, 1024, 638};
    static constexpr double kGridInset = 15;

    ProductRelatedFileController() = default;
    ~ProductRelatedFileController() override;
    const char* className() const override { return "ProductRelatedFileController"; }

    const Files& libfilesArray() const { return m_libfilesArray; }
    // Set by the product page before the pop-up shows; the pop-up never changes it.
    void setLibfilesArray(Files files);
    const std::set<int>& libFilesArrayIDS() const { return m_libFilesArrayIDS; }
    BRGridView* libraryFileScrollView() const { return m_gridView.get(); }
    FileDescriptionViewController* presentedCard() const { return m_card.get(); }
    LibraryFileActions& actions();

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    unsigned supportedInterfaceOrientations() const override;

    uint32_t numberOfItemsInGridView(BRGridView&) override;
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView&, uint32_t index) override;
    std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView& grid) override;

    void didSelectedCell(const brivanta_library_files_Entity& file, int cellIndex) override;
    void didSelectedInfoButton(const brivanta_library_files_Entity& file) override { selectShowInfo(file); }
    void selectShowInfo(const brivanta_library_files_Entity& file);
    void actionButtonPressed(const brivanta_library_files_Entity& file) override;
    void markButtonPressed() override;

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override;
    void ReciveDownloadPercent(const DownLoadRequestInfo& info) override;

    // As the shared steps see the pop-up: its list, and the updates read when it loaded.
    const Files& listedFiles() const override { return m_libfilesArray; }
    const std::set<int>& pendingUpdateIds() const override { return m_libFilesArrayIDS; }
    BRGridView* fileGrid() const override { return m_gridView.get(); }
    void downloadsChanged() override { reloadGrid(); }
    void downloadFinished() override { reloadGrid(); }
    void redrawTiles() override { reloadGrid(); }
    void showFileCard(const brivanta_library_files_Entity& file) override { selectShowInfo(file); }

private:
    void reloadGrid();
    std::shared_ptr<ProductRelatedFileController> self();

    Files m_libfilesArray;
    std::set<int> m_libFilesArrayIDS;
    std::set<int> m_favoriteIds;
    std::shared_ptr<ui::ImageView> m_background;
    std::shared_ptr<BRGridView> m_gridView;
    std::shared_ptr<FileDescriptionViewController> m_card;
    std::shared_ptr<LibraryFileActions> m_actions;
    bool m_registered = false;
};
