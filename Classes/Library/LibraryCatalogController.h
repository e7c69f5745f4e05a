#pragma once
#include "Common/BaseViewController.h"
#include "Database/brivanta_library_category_Entity.h"
#include "Database/brivanta_library_files_Entity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/TableView.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Button;
class ImageView;
class Label;
}

// The library's category panel: one level of the tree at a time under an ALL row, with an
// UNCATEGORIZED row at the top, a file count per row, drill-down and back. It talks to the
// file grids through "display_catalog" and "reloadlibrarycatalog".
class LibraryCatalogController : public BaseViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    static constexpr double kWidth = 244;
    static constexpr double kRowHeight = 60;
    static constexpr double kSlide = 243;
    static constexpr double kSlideSeconds = 0.15;

    LibraryCatalogController() = default;
    ~LibraryCatalogController() override;
    const char* className() const override { return "LibraryCatalogController"; }

    ui::TableView* catatable() const { return m_catatable.get(); }
    ui::Label* catatitlelb() const { return m_catatitlelb.get(); }
    ui::Button* btnBack() const { return m_btnBack.get(); }
    const std::vector<brivanta_library_category_Entity>& cataArr() const { return m_cataArr; }
    int cid() const { return m_cid; }
    int clickIndex() const { return m_clickIndex; }
    int selectRow() const { return m_selectRow; }
    int tabIndex() const { return m_tabIndex; }

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    unsigned supportedInterfaceOrientations() const override;

    void addUncategorized();
    // A file counts under its category and every ancestor of it; the walk ends on a loop.
    bool fileIsInCategory(const brivanta_library_files_Entity& file, int categoryId) const;
    void removeSelectFlag();
    void selectTopCell(ui::TableView& table);
    void backToParentCategory();

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return kRowHeight; }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;

private:
    void reloadlibrarycatalog(const base::Notification& notification);
    void postDisplayCatalog();
    void setTitleText(const std::string& text);
    void placeRowsAt(double x);
    void slideRows(double to, bool easeIn, std::function<void()> completion);
    int countIn(int categoryId) const;
    void selectRowQuietly(int row);

    std::shared_ptr<ui::TableView> m_catatable;
    std::shared_ptr<ui::ImageView> m_tableimgbg;
    std::shared_ptr<ui::ImageView> m_catatitlebg;
    std::shared_ptr<ui::Label> m_catatitlelb;
    std::shared_ptr<ui::ImageView> m_shadowImageView;
    std::shared_ptr<ui::Button> m_btnBack;
    std::vector<brivanta_library_category_Entity> m_cataArr;
    std::vector<brivanta_library_files_Entity> m_libFilesArray;
    // Loaded once per list change for the counts.
    std::map<int, int> m_parents;
    // Each category's documents, counted once per change of the list or of the parents.
    mutable std::optional<std::map<int, int>> m_counts;
    int m_cid = 0;
    std::optional<std::string> m_cname;
    int m_clickIndex = -1;
    int m_selectRow = 0;
    int m_tabIndex = 0;
    std::vector<base::ObserverToken> m_observers;
};
