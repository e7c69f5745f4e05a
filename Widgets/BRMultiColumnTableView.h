#pragma once
#include "Platform/Graphics/Color.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/TableViewCell.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {
class GestureRecognizer;
class LongPressGestureRecognizer;
}
class BRMultiColumnTableView;

// Supplies a multi-column table. The optional operations are only called when answers()
// says so: whether one is answered changes what the table shows (a left header column,
// column moving), so "not answered" is never confused with a default value.
class BRMultiColumnTableViewDataSource {
public:
    enum class Optional {
        numberOfSectionsInTableView,
        heightForCellAtIndexPathColumn,
        widthForColumn,
        reuseIdForIndexPath,
        headerCellForIndexPath,
        setContentForHeaderCellAtIndexPath,
        heightForHeaderCellAtIndexPath,
        widthForHeaderCellOfTableView,
        heightForHeaderCellOfTableView,
        headerCellForColumn,
        setContentForHeaderCellAtColumn,
        topleftHeaderCellOfTableView,
        backgroundColorAtIndexPath,
        backgroundColorAtIndexPathAtColumn,
        swapDataOfColumnAndColumn,
        sectionHeaderCellForSectionColumn,
        setContentForSectionHeaderCellSectionColumn,
        heightForSectionHeaderCellAtSectionColumn,
        headerCellInSectionHeaderForSection,
        setContentForHeaderCellInSectionHeaderAtSection,
        heightForHeaderCellInSectionHeaderAtSection,
    };

    virtual ~BRMultiColumnTableViewDataSource() = default;
    virtual bool answers(Optional operation) const { return false; }

    using T = BRMultiColumnTableView;
    using IndexPath = ui::IndexPath;
    // Required. A null cell leaves an empty view of the column's width.
    virtual std::shared_ptr<ui::View> tableViewCellForIndexPathColumn(T&, const IndexPath&, int column) = 0;
    virtual void tableViewSetContentForCellIndexPathColumn(T&, ui::View& cell, const IndexPath&, int column) = 0;
    virtual int tableViewNumberOfRowsInSection(T&, int section) = 0;
    virtual int numberOfColumnsInTableView(T&) = 0;

    // Optional: called only when answered.
    virtual int numberOfSectionsInTableView(T&) { return 1; }
    virtual double tableViewHeightForCellAtIndexPathColumn(T&, const IndexPath&, int column) { return 0; }
    virtual double tableViewWidthForColumn(T&, int column) { return 0; }
    virtual std::string tableViewReuseIdForIndexPath(T&, const IndexPath&) { return {}; }
    virtual std::shared_ptr<ui::View> tableViewHeaderCellForIndexPath(T&, const IndexPath&) { return nullptr; }
    virtual void tableViewSetContentForHeaderCellAtIndexPath(T&, ui::View& cell, const IndexPath&) {}
    virtual double tableViewHeightForHeaderCellAtIndexPath(T&, const IndexPath&) { return 0; }
    virtual double widthForHeaderCellOfTableView(T&) { return 0; }
    virtual double heightForHeaderCellOfTableView(T&) { return 0; }
    virtual std::shared_ptr<ui::View> tableViewHeaderCellForColumn(T&, int column) { return nullptr; }
    virtual void tableViewSetContentForHeaderCellAtColumn(T&, ui::View& cell, int column) {}
    virtual std::shared_ptr<ui::View> topleftHeaderCellOfTableView(T&) { return nullptr; }
    virtual gfx::Color backgroundColorAtIndexPath(T&, const IndexPath&) { return gfx::Color::white(); }
    virtual gfx::Color backgroundColorAtIndexPathAtColumn(T&, const IndexPath&, int column) { return gfx::Color::white(); }
    virtual void tableViewSwapDataOfColumnAndColumn(T&, int column, int otherColumn) {}
    virtual std::shared_ptr<ui::View> tableViewSectionHeaderCellForSectionColumn(T&, int section, int column) { return nullptr; }
    virtual void tableViewSetContentForSectionHeaderCellSectionColumn(T&, ui::View& cell, int section, int column) {}
    virtual double tableViewHeightForSectionHeaderCellAtSectionColumn(T&, int section, int column) { return 0; }
    virtual std::shared_ptr<ui::View> tableViewHeaderCellInSectionHeaderForSection(T&, int section) { return nullptr; }
    virtual void tableViewSetContentForHeaderCellInSectionHeaderAtSection(T&, ui::View& cell, int section) {}
    virtual double tableViewHeightForHeaderCellInSectionHeaderAtSection(T&, int section) { return 0; }
};

// Grows the view by `width` and lays a line of that height along its bottom edge.
void addBottomLineWithWidthColor(ui::View& view, double width, gfx::Color color);
// A line `width` wide at x over the view's full height, stretching with it.
std::shared_ptr<ui::View> addVerticalLineWithWidthColorAtX(ui::View& view, double width, gfx::Color color, double x);

// A body row: the cells of its columns in column order.
class BRMultiColumnTableViewCell : public ui::TableViewCell {
public:
    explicit BRMultiColumnTableViewCell(std::string reuseIdentifier);
    const char* className() const override { return "BRMultiColumnTableViewCell"; }
    std::vector<std::shared_ptr<ui::View>>& columnCells() { return m_columnCells; }
    // Each column cell's own x as the data source made it, kept so the cell can be put back
    // in its column whenever the widths before it change.
    std::vector<double>& columnOffsets() { return m_columnOffsets; }

private:
    std::vector<std::shared_ptr<ui::View>> m_columnCells;
    std::vector<double> m_columnOffsets;
};

// The body, scrolling sideways, with the column separators it draws.
class BRMultiColumnTableViewBGScrollView : public ui::ScrollView {
public:
    explicit BRMultiColumnTableViewBGScrollView(const gfx::Rect& frame) : ScrollView(frame) {}
    const char* className() const override { return "BRMultiColumnTableViewBGScrollView"; }
    BRMultiColumnTableView* parent() const { return m_parent; }
    void setParent(BRMultiColumnTableView* parent) { m_parent = parent; }
    const std::vector<std::shared_ptr<ui::View>>& lines() const { return m_lines; }
    void redraw();

private:
    BRMultiColumnTableView* m_parent = nullptr;
    std::vector<std::shared_ptr<ui::View>> m_lines;
};

// The inner table of body rows.
class BRMultiColumnTableViewContentBackgroundView : public ui::TableView {
public:
    explicit BRMultiColumnTableViewContentBackgroundView(const gfx::Rect& frame) : TableView(frame) {}
    const char* className() const override { return "BRMultiColumnTableViewContentBackgroundView"; }
    gfx::Rect highlightedRect() const { return m_highlightedRect; }
    void setHighlightedRect(const gfx::Rect& rect) { m_highlightedRect = rect; }

private:
    gfx::Rect m_highlightedRect;
};

// One green line corner to corner.
class BRHeaderHighlightLayer : public ui::View {
public:
    using View::View;
    const char* className() const override { return "BRHeaderHighlightLayer"; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
};

// A spreadsheet: a top header row, an optional fixed left header column, body rows whose
// columns scroll sideways together, optional folding section header rows, separators, and
// columns moved by a long press. Main thread only; every cell comes from the data source.
class BRMultiColumnTableView : public ui::View, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    explicit BRMultiColumnTableView(const gfx::Rect& frame);
    ~BRMultiColumnTableView() override;
    const char* className() const override { return "BRMultiColumnTableView"; }

    // Not owned.
    BRMultiColumnTableViewDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(BRMultiColumnTableViewDataSource* dataSource);
    void reloadData();

    double cellHeight() const { return m_cellHeight; }
    void setCellHeight(double v) { m_cellHeight = v; }
    double cellWidth() const { return m_cellWidth; }
    void setCellWidth(double v) { m_cellWidth = v; }
    double topHeaderHeight() const { return m_topHeaderHeight; }
    void setTopHeaderHeight(double v) { m_topHeaderHeight = v; }
    double leftHeaderWidth() const { return m_leftHeaderWidth; }
    void setLeftHeaderWidth(double v) { m_leftHeaderWidth = v; }
    double sectionHeaderHeight() const { return m_sectionHeaderHeight; }
    void setSectionHeaderHeight(double v) { m_sectionHeaderHeight = v; }
    double boldSeperatorLineWidth() const { return m_boldSeperatorLineWidth; }
    void setBoldSeperatorLineWidth(double v) { m_boldSeperatorLineWidth = v; setNeedsDisplay(); }
    double normalSeperatorLineWidth() const { return m_normalSeperatorLineWidth; }
    void setNormalSeperatorLineWidth(double v) { m_normalSeperatorLineWidth = v; }
    gfx::Color boldSeperatorLineColor() const { return m_boldSeperatorLineColor; }
    void setBoldSeperatorLineColor(gfx::Color c) { m_boldSeperatorLineColor = c; setNeedsDisplay(); }
    gfx::Color normalSeperatorLineColor() const { return m_normalSeperatorLineColor; }
    void setNormalSeperatorLineColor(gfx::Color c) { m_normalSeperatorLineColor = c; }
    gfx::Color leftHeaderBackgroundColor() const { return m_leftHeaderBackgroundColor; }
    void setLeftHeaderBackgroundColor(gfx::Color c) { m_leftHeaderBackgroundColor = c; }
    gfx::Color sectionHeaderBackgroundColor() const { return m_sectionHeaderBackgroundColor; }
    void setSectionHeaderBackgroundColor(gfx::Color c) { m_sectionHeaderBackgroundColor = c; }
    gfx::Color topHeaderBackgroundColor() const { return m_topHeaderBackgroundColor; }
    void setTopHeaderBackgroundColor(gfx::Color c) { m_topHeaderBackgroundColor = c; }
    bool sectionFoldedByDefault() const { return m_sectionFoldedByDefault; }
    void setSectionFoldedByDefault(bool v) { m_sectionFoldedByDefault = v; }
    bool sectionHeaderEnabled() const { return m_sectionHeaderEnabled; }
    void setSectionHeaderEnabled(bool v) { m_sectionHeaderEnabled = v; }

    // Inner views, for owners and tests.
    BRMultiColumnTableViewBGScrollView* scrlView() const { return m_scrlView.get(); }
    BRMultiColumnTableViewContentBackgroundView* tblView() const { return m_tblView.get(); }
    // Null without a left header column.
    ui::TableView* headerTblView() const { return m_headerTblView.get(); }
    // The flat rows: {section, row}, or {section, -1} for a section header row.
    const std::vector<ui::IndexPath>& indexPathTable() const { return m_indexPathTable; }
    const std::vector<bool>& sectionFoldingStatus() const { return m_sectionFoldingStatus; }
    int selectedColumn() const { return m_selectedColumn; }
    ui::View* highlightColumnLayer() const { return m_highlightColumnLayer.get(); }
    ui::LongPressGestureRecognizer* longPressRecognizer() const { return m_longPress.get(); }

    // Column geometry: width, and x of a column's left edge in the body.
    double widthForColumn(int column);
    double xForColumn(int column);
    // 0 without a left header column.
    double headerWidth();
    double totalWidth();
    // The column at a body x; -1 past the last.
    int columnAtX(double x);

    void adjustWidth();
    void reset();
    void toggleFoldOfSection(int section, int headerRow);

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

    // ui::TableViewDataSource and delegate, for both inner tables.
    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForHeaderInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::View> viewForHeaderInSection(ui::TableView&, int section) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void scrollViewDidScroll(ui::ScrollView&) override;

private:
    using Optional = BRMultiColumnTableViewDataSource::Optional;
    bool has(Optional op) const { return m_answers[static_cast<size_t>(op)]; }
    int numberOfSections();
    int numberOfColumns();
    void rebuildIndexPathTable();
    void setupHeaderTblView();
    std::shared_ptr<ui::TableViewCell> bodyRow(const ui::IndexPath& entry);
    std::shared_ptr<ui::TableViewCell> leftHeaderRow(const ui::IndexPath& entry);
    std::shared_ptr<ui::View> emptyCell(double width, double height);
    void columnLongPressed(ui::GestureRecognizer& recognizer);
    void highlightColumn(int column);

    BRMultiColumnTableViewDataSource* m_dataSource = nullptr;
    std::vector<bool> m_answers;

    double m_cellHeight = 31;
    double m_cellWidth = 252;
    double m_topHeaderHeight = 298;
    double m_leftHeaderWidth = 111;
    double m_sectionHeaderHeight = 31;
    double m_boldSeperatorLineWidth = 3;
    double m_normalSeperatorLineWidth = 1;
    gfx::Color m_boldSeperatorLineColor = gfx::Color::fromWhite(223 / 255.0);
    gfx::Color m_normalSeperatorLineColor = gfx::Color::fromWhite(223 / 255.0);
    gfx::Color m_leftHeaderBackgroundColor = gfx::Color::fromWhite(249 / 255.0);
    gfx::Color m_sectionHeaderBackgroundColor = gfx::Color::fromWhite(241 / 255.0);
    gfx::Color m_topHeaderBackgroundColor = gfx::Color::white();
    bool m_sectionFoldedByDefault = false;
    bool m_sectionHeaderEnabled = false;

    std::shared_ptr<BRMultiColumnTableViewBGScrollView> m_scrlView;
    std::shared_ptr<BRMultiColumnTableViewContentBackgroundView> m_tblView;
    std::shared_ptr<ui::TableView> m_headerTblView;
    std::shared_ptr<ui::LongPressGestureRecognizer> m_longPress;
    std::shared_ptr<ui::View> m_highlightColumnLayer;
    std::vector<ui::IndexPath> m_indexPathTable;
    std::vector<bool> m_sectionFoldingStatus;
    int m_selectedColumn = -1;
    bool m_folding = false;
    bool m_syncingOffset = false;
};
