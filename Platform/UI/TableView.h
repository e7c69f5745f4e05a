#pragma once
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TableViewCell.h"

#include <compare>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class TableView;
class SwipeGestureRecognizer;

// A row in a section.
struct IndexPath {
    int section = 0;
    int row = 0;

    static IndexPath forRow(int row, int section) { return {section, row}; }
    auto operator<=>(const IndexPath&) const = default;
};

enum class TableViewStyle { Plain, Grouped };
enum class TableViewScrollPosition { None, Top, Middle, Bottom };
enum class TableViewRowAnimation { None, Fade, Automatic };

// Supplies the rows. Sections, titles and editing are optional.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSectionsInTableView(TableView&) { return 1; }
    virtual int numberOfRowsInSection(TableView&, int section) = 0;
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, const IndexPath&) = 0;
    // Empty: the section has no title.
    virtual std::string titleForHeaderInSection(TableView&, int section) { return {}; }
    // Empty: nothing under the section.
    virtual std::string titleForFooterInSection(TableView&, int section) { return {}; }
    virtual bool canEditRowAtIndexPath(TableView&, const IndexPath&) { return false; }
    // The data source changes its rows, then tells the table (deleteRowsAtIndexPaths).
    virtual void commitEditingStyle(TableView&, TableViewCellEditingStyle, const IndexPath&) {}
};

// Hears selections and shapes rows and headers. Every operation is optional.
class TableViewDelegate : public ScrollViewDelegate {
public:
    virtual double heightForRowAtIndexPath(TableView&, const IndexPath&);
    virtual double heightForHeaderInSection(TableView&, int section);
    virtual double heightForFooterInSection(TableView&, int section);
    // Nothing: the section's title, if any, is shown.
    virtual std::shared_ptr<View> viewForHeaderInSection(TableView&, int section) { return nullptr; }
    // Another row to select instead, or nothing to select none.
    virtual std::optional<IndexPath> willSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) { return indexPath; }
    virtual void didSelectRowAtIndexPath(TableView&, const IndexPath&) {}
    virtual void didDeselectRowAtIndexPath(TableView&, const IndexPath&) {}
    virtual TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView&, const IndexPath&)
    {
        return TableViewCellEditingStyle::Delete;
    }
    virtual std::string titleForDeleteConfirmationButtonForRowAtIndexPath(TableView&, const IndexPath&) { return "Delete"; }
    virtual void willDisplayCell(TableView&, TableViewCell&, const IndexPath&) {}
    // A swipe offers the row's delete button, and the button went away (deleted or not).
    virtual void willBeginEditingRowAtIndexPath(TableView&, const IndexPath&) {}
    virtual void didEndEditingRowAtIndexPath(TableView&, const IndexPath&) {}
};

// Rows in sections, of which only the visible ones have cells: cells leaving the screen wait
// in a pool for dequeueReusableCellWithIdentifier.
class TableView : public ScrollView {
public:
    TableView(const gfx::Rect& frame, TableViewStyle style = TableViewStyle::Plain);
    ~TableView() override;
    const char* className() const override { return "TableView"; }

    TableViewStyle style() const { return m_style; }
    TableViewDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(TableViewDataSource* dataSource);
    TableViewDelegate* delegate() const { return m_tableDelegate; }
    // Virtual: a table may stand between itself and the delegate its owner gives.
    virtual void setDelegate(TableViewDelegate* delegate);

    double rowHeight() const { return m_rowHeight; }
    void setRowHeight(double height);
    // A header's height when the delegate does not give one: from its title and the style.
    double defaultHeightForHeaderInSection(int section);
    // From the footer's title: none, no height.
    double defaultHeightForFooterInSection(int section);
    std::shared_ptr<View> tableHeaderView() const { return m_tableHeaderView; }
    void setTableHeaderView(std::shared_ptr<View> view);
    std::shared_ptr<View> tableFooterView() const { return m_tableFooterView; }
    void setTableFooterView(std::shared_ptr<View> view);
    std::optional<gfx::Color> separatorColor() const { return m_separatorColor; }
    void setSeparatorColor(std::optional<gfx::Color> color) { m_separatorColor = color; }

    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);

    void reloadData();
    void reloadRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation);
    // The data source already has the new rows; index paths are in the new numbering.
    void insertRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation);
    // The data source has already dropped the rows; index paths are in the old numbering.
    void deleteRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation);

    int numberOfSections();
    int numberOfRowsInSection(int section);
    gfx::Rect rectForRowAtIndexPath(const IndexPath& indexPath);
    gfx::Rect rectForHeaderInSection(int section);
    gfx::Rect rectForFooterInSection(int section);
    // The row under a point in the table's (content) coordinates.
    std::optional<IndexPath> indexPathForRowAtPoint(gfx::Point point);
    std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
    // Visible rows only.
    TableViewCell* cellForRowAtIndexPath(const IndexPath& indexPath) const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    std::vector<TableViewCell*> visibleCells() const;
    void scrollToRowAtIndexPath(const IndexPath& indexPath, TableViewScrollPosition position, bool animated);

    std::optional<IndexPath> indexPathForSelectedRow() const { return m_selected; }
    void selectRowAtIndexPath(const std::optional<IndexPath>& indexPath, bool animated,
                              TableViewScrollPosition position = TableViewScrollPosition::None);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    // Keys for a list the user picks from (search results): "up" and "down" move the selection
    // a row, bringing it into view, the delegate hearing nothing yet; "\n" picks the selected
    // row as a click on it does. False when the key does nothing here.
    bool pickByKey(const std::string& key);
    // Up and Down move by one row: the next row's top comes to the top of the list, under
    // the pinned header of its section in a plain table.
    double lineKeyOffset(double offsetY, bool down) override;

    bool isEditing() const { return m_editing; }
    void setEditing(bool editing, bool animated = false);
    // The row whose delete button is showing.
    std::optional<IndexPath> indexPathForDeleteConfirmation() const { return m_confirming; }

    // How far a row stands in from each side of the list: a grouped list's panels are inset.
    double rowInset() const;

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    void touchesCancelled(const std::vector<Touch*>& touches, Event& event) override;

private:
    struct Section {
        double headerY = 0;
        double headerHeight = 0;
        std::vector<double> rowY; // row tops, then the bottom of the last row
        double footerY = 0;
        double footerHeight = 0;
    };

    void ensureGeometry();
    void rebuildGeometry();
    void tile();
    void configureCell(TableViewCell& cell, const IndexPath& indexPath);
    void recycle(const std::shared_ptr<TableViewCell>& cell);
    void placeCell(TableViewCell& cell, const gfx::Rect& rect);
    // Where a section's header is shown: pinned to the top in a plain table.
    gfx::Rect shownHeaderRect(int section);
    std::shared_ptr<View> makeHeaderView(int section);
    std::shared_ptr<View> makeFooterView(int section);
    // Shows the visible headers or footers, made on demand, and drops the others.
    void tileSectionViews(std::map<int, std::shared_ptr<View>>& views, bool footers, const gfx::Rect& visible);
    void insertCellView(const std::shared_ptr<View>& cell);
    std::vector<int> rowCounts() const;
    bool rowsMatch(const std::vector<int>& oldCounts, const std::map<int, int>& delta);
    void animateMovedCells(TableViewRowAnimation animation);
    void fadeOutAndRecycle(const std::shared_ptr<TableViewCell>& cell, TableViewRowAnimation animation);
    void handleSwipe();
    void showDeleteConfirmation(const IndexPath& indexPath);
    void hideDeleteConfirmation();
    void commitDelete(const IndexPath& indexPath);
    void userSelect(const IndexPath& indexPath);
    bool isValid(const IndexPath& indexPath) const;

    TableViewStyle m_style;
    TableViewDataSource* m_dataSource = nullptr;
    TableViewDelegate* m_tableDelegate = nullptr;
    double m_rowHeight = 44;
    std::shared_ptr<View> m_tableHeaderView;
    std::shared_ptr<View> m_tableFooterView;
    std::optional<gfx::Color> m_separatorColor = gfx::Color::fromWhite(0.88);

    bool m_geometryValid = false;
    std::vector<Section> m_sections;
    double m_footerY = 0;

    std::map<IndexPath, std::shared_ptr<TableViewCell>> m_visible;
    // The row rectangle each visible cell was last put at by the table.
    std::map<const TableViewCell*, gfx::Rect> m_placedRows;
    std::map<int, std::shared_ptr<View>> m_headers;
    std::map<int, std::shared_ptr<View>> m_footers;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> m_pool;
    std::vector<IndexPath> m_fadingIn; // inserted rows whose cells appear gradually

    std::optional<IndexPath> m_selected;
    std::optional<IndexPath> m_touchRow;
    int m_touchId = -1;
    bool m_editing = false;
    std::optional<IndexPath> m_confirming;
    std::shared_ptr<SwipeGestureRecognizer> m_swipe;
};

} // namespace ui
