#pragma once
#include "Classes/Library/LibraryViewDelegate.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"

#include <memory>

class LibraryDetailController;
class TitleBarView;

// The sales-library tab. Its category tree and file area are handed to the main tab bar's view
// while the tab is selected.
class SaleslibraryController : public BaseViewController, public ConfigDelegate, public LibraryViewDelegate {
public:
    static constexpr int kMasterViewTag = 6003;
    static constexpr int kDetailViewTag = 6004;
    static constexpr double kMasterWidth = 244;

    SaleslibraryController() = default;
    const char* className() const override { return "SaleslibraryController"; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    // Only while the library tab is selected.
    void addLibraryView() override;
    void removeLibraryView() override;

    // The category tree slides out to the left when hidden.
    bool isMasterHidden() const { return m_masterHidden; }
    void setMasterHidden(bool hidden) { m_masterHidden = hidden; }
    const std::shared_ptr<ui::View>& masterView() const { return m_masterView; }
    const std::shared_ptr<ui::View>& detailView() const { return m_detailView; }
    const std::shared_ptr<LibraryDetailController>& libraryGrid() const { return m_libraryGrid; }
    void viewWillAppear(bool animated) override;

private:
    std::shared_ptr<TitleBarView> m_titleBar;
    std::shared_ptr<ui::View> m_masterView;
    std::shared_ptr<ui::View> m_detailView;
    std::shared_ptr<LibraryDetailController> m_libraryGrid;
    bool m_masterHidden = false;
    int m_loadByConfigCount = 0;
};
