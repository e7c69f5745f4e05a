// The multi-column table on a headless window, driven by touches: column placement in fresh
// and reused rows, row heights, the left header column and its folding section rows, the
// two tables kept at one offset, and moving a column by a long press.
#include "Widgets/BRMultiColumnTableView.h"

#include "tests/App/AppWindowTestSupport.h"

#include "Platform/Base/Log.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ViewController.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Op = BRMultiColumnTableViewDataSource::Optional;

// Within a step of 255 on each channel (rounding of premultiplied pixels).
::testing::AssertionResult sameColour(gfx::Color a, gfx::Color b)
{
    if (std::abs(a.r - b.r) < 1.5 / 255 && std::abs(a.g - b.g) < 1.5 / 255 && std::abs(a.b - b.b) < 1.5 / 255)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.r * 255 << ", " << a.g * 255 << ", " << a.b * 255 << ") vs ("
                                         << b.r * 255 << ", " << b.g * 255 << ", " << b.b * 255 << ")";
}

// Cells are labels reading "section.row.column" (or "#column" for the top header); a cell
// sits 2 points right of its column's edge, as a data source with margins would put it.
class Sheet : public BRMultiColumnTableViewDataSource {
public:
    std::set<Op> answered{Op::widthForColumn, Op::heightForCellAtIndexPathColumn, Op::headerCellForColumn,
                          Op::heightForHeaderCellOfTableView, Op::swapDataOfColumnAndColumn};
    int columns = 5;
    std::vector<int> rows{20};
    std::vector<double> widths{105, 200, 200, 390, 100, 80, 80};
    std::vector<std::string> names{"A", "B", "C", "D", "E", "F", "G"};
    int missingColumn = -1;
    std::vector<std::pair<int, int>> swaps;
    int contentCalls = 0;

    bool answers(Op op) const override { return answered.count(op) != 0; }
    std::shared_ptr<ui::View> tableViewCellForIndexPathColumn(T&, const IndexPath&, int column) override
    {
        if (column == missingColumn) {
            base::log("No information found for this cell.");
            return nullptr;
        }
        auto label = ui::View::make<ui::Label>(gfx::Rect(2, 0, widths[column] - 4, 30));
        return label;
    }
    void tableViewSetContentForCellIndexPathColumn(T&, ui::View& cell, const IndexPath& path, int column) override
    {
        ++contentCalls;
        auto& label = dynamic_cast<ui::Label&>(cell);
        label.setText(names[column] + std::to_string(path.section) + "." + std::to_string(path.row));
    }
    int tableViewNumberOfRowsInSection(T&, int section) override { return rows[section]; }
    int numberOfColumnsInTableView(T&) override { return columns; }
    int numberOfSectionsInTableView(T&) override { return static_cast<int>(rows.size()); }
    // Column 3 of odd rows is the tallest.
    double tableViewHeightForCellAtIndexPathColumn(T&, const IndexPath& path, int column) override
    {
        return column == 3 && path.row % 2 ? 70 : 40;
    }
    double tableViewWidthForColumn(T&, int column) override { return widths[column]; }
    std::shared_ptr<ui::View> tableViewHeaderCellForIndexPath(T&, const IndexPath& path) override
    {
        return ui::View::make<ui::Label>(gfx::Rect(4, 0, 60, 30));
    }
    void tableViewSetContentForHeaderCellAtIndexPath(T&, ui::View& cell, const IndexPath& path) override
    {
        dynamic_cast<ui::Label&>(cell).setText("r" + std::to_string(path.row));
    }
    double heightForHeaderCellOfTableView(T&) override { return 40; }
    std::shared_ptr<ui::View> tableViewHeaderCellForColumn(T&, int column) override
    {
        auto label = ui::View::make<ui::Label>(gfx::Rect(2, 5, widths[column] - 4, 30));
        label->setText("#" + names[column]);
        return label;
    }
    gfx::Color backgroundColorAtIndexPath(T&, const IndexPath& path) override
    {
        return path.row % 2 ? gfx::Color::fromRgb(249, 249, 249) : gfx::Color::white();
    }
    void tableViewSwapDataOfColumnAndColumn(T&, int a, int b) override
    {
        swaps.emplace_back(a, b);
        std::swap(names[a], names[b]);
    }
    std::shared_ptr<ui::View> tableViewHeaderCellInSectionHeaderForSection(T&, int section) override
    {
        return ui::View::make<ui::Label>(gfx::Rect(4, 0, 80, 30));
    }
    void tableViewSetContentForHeaderCellInSectionHeaderAtSection(T&, ui::View& cell, int section) override
    {
        dynamic_cast<ui::Label&>(cell).setText("Section " + std::to_string(section));
    }
};

class MultiColumnTableTest : public apptest::AppWindowTest {
protected:
    MultiColumnTableTest()
    {
        screen = std::make_shared<ui::ViewController>();
        window->setRootViewController(screen);
        screen->view()->setBackgroundColor(gfx::Color::white());
    }
    ~MultiColumnTableTest() override
    {
        if (table)
            table->setDataSource(nullptr);
    }
    void build(gfx::Rect frame = {0, 20, 1024, 600}, bool sectionHeaders = false)
    {
        if (table) {
            table->setDataSource(nullptr);
            table->removeFromSuperview();
        }
        table = ui::View::make<BRMultiColumnTableView>(frame);
        table->setSectionHeaderEnabled(sectionHeaders);
        screen->view()->addSubview(table);
        table->setDataSource(&sheet);
        window->layoutIfNeeded();
    }
    // Body rows on screen, by their row in the flat list.
    std::map<int, BRMultiColumnTableViewCell*> bodyRows()
    {
        std::map<int, BRMultiColumnTableViewCell*> rows;
        for (auto* cell : table->tblView()->visibleCells())
            if (auto path = table->tblView()->indexPathForCell(cell))
                rows[path->row] = dynamic_cast<BRMultiColumnTableViewCell*>(cell);
        return rows;
    }
    void expectColumnsInPlace(const std::string& when)
    {
        auto rows = bodyRows();
        ASSERT_FALSE(rows.empty()) << when;
        for (auto& [row, cell] : rows) {
            ASSERT_TRUE(cell) << when;
            ASSERT_EQ(static_cast<int>(cell->columnCells().size()), sheet.columns) << when << ", row " << row;
            double x = 0;
            for (int k = 0; k < sheet.columns; ++k) {
                EXPECT_EQ(cell->columnCells()[k]->frame().x(), x + 2) << when << ", row " << row << ", column " << k;
                EXPECT_EQ(cell->columnCells()[k]->superview(), &cell->contentView());
                x += sheet.widths[k] + table->normalSeperatorLineWidth();
            }
        }
    }

    Sheet sheet;
    std::shared_ptr<ui::ViewController> screen;
    std::shared_ptr<BRMultiColumnTableView> table;
};

TEST_F(MultiColumnTableTest, ColumnsSitAtTheSumOfWidthsAndSeparatorsInFreshAndReusedRows)
{
    build();
    EXPECT_EQ(table->borderWidth(), 1);
    EXPECT_EQ(table->cornerRadius(), 3);
    EXPECT_TRUE(table->clipsToBounds());
    // No left header operation: no left column, no edge line, the body at the left edge.
    EXPECT_EQ(table->headerTblView(), nullptr);
    EXPECT_EQ(table->headerWidth(), 0);
    EXPECT_EQ(table->scrlView()->frame().x(), 0);
    EXPECT_TRUE(sameColour(window->snapshot().colorAt(112, 300), gfx::Color::white())) << "no left-edge line";
    // Without numberOfSectionsInTableView there is one section.
    sheet.answered.erase(Op::numberOfSectionsInTableView);
    sheet.rows = {20, 7};
    table->reloadData();
    EXPECT_EQ(table->indexPathTable().size(), 20u);

    struct Case {
        const char* when;
        int columns;
        double separator;
    };
    // Rows go back to the pool on each reload and come out again holding the cells of the
    // previous case: fewer, more, then as many.
    for (Case c : {Case{"fresh rows", 5, 1}, Case{"reused rows that held fewer", 7, 1}, Case{"reused rows that held more", 3, 1},
                   Case{"wider separators", 3, 4}}) {
        sheet.columns = c.columns;
        table->setNormalSeperatorLineWidth(c.separator);
        table->reloadData();
        window->layoutIfNeeded();
        expectColumnsInPlace(c.when);
        // Row heights: the tallest cell plus the separator.
        EXPECT_EQ(table->tblView()->rectForRowAtIndexPath({0, 0}).height(), 40 + c.separator) << c.when;
        double tallest = c.columns > 3 ? 70 : 40;
        EXPECT_EQ(table->tblView()->rectForRowAtIndexPath({0, 1}).height(), tallest + c.separator) << c.when;
        // One separator line left of the first column and one after each.
        ASSERT_EQ(static_cast<int>(table->scrlView()->lines().size()), c.columns + 1) << c.when;
        EXPECT_EQ(table->scrlView()->lines()[1]->frame().x(), sheet.widths[0]) << c.when;
        EXPECT_EQ(table->scrlView()->contentSize().width, table->xForColumn(c.columns) - c.separator) << c.when;
    }
}

TEST_F(MultiColumnTableTest, AColumnWithoutACellKeepsAnEmptyViewOfItsWidth)
{
    sheet.missingColumn = 2;
    base::ScopedLogCapture log;
    build();
    auto rows = bodyRows();
    ASSERT_FALSE(rows.empty());
    for (auto& [row, cell] : rows) {
        ASSERT_EQ(cell->columnCells().size(), 5u);
        ui::View& empty = *cell->columnCells()[2];
        EXPECT_EQ(empty.frame(), gfx::Rect(105 + 1 + 200 + 1, 0, 200, 40)) << "row " << row;
        EXPECT_EQ(empty.superview(), &cell->contentView());
        EXPECT_EQ(dynamic_cast<ui::Label&>(*cell->columnCells()[3]).text(), "D0." + std::to_string(row));
    }
    EXPECT_TRUE(log.contains("No information found for this cell."));
    // The filled cells only: four columns of every visible row.
    EXPECT_EQ(sheet.contentCalls, 4 * static_cast<int>(rows.size()));
}

TEST_F(MultiColumnTableTest, SectionHeaderRowsFoldTheirSectionInBothTablesWhichScrollTogether)
{
    sheet.answered.insert({Op::headerCellForIndexPath, Op::setContentForHeaderCellAtIndexPath,
                           Op::numberOfSectionsInTableView, Op::headerCellInSectionHeaderForSection,
                           Op::setContentForHeaderCellInSectionHeaderAtSection, Op::backgroundColorAtIndexPath});
    sheet.rows = {4, 6, 30};
    build({0, 20, 1024, 600}, true);
    ASSERT_NE(table->headerTblView(), nullptr);
    EXPECT_EQ(table->headerWidth(), 111);
    EXPECT_EQ(table->scrlView()->frame().x(), 111 + 3);
    ui::TableView& left = *table->headerTblView();
    ui::TableView& body = *table->tblView();
    ASSERT_EQ(body.numberOfRowsInSection(0), 3 + 40);
    // The left-edge line: bold, between the left column and the body.
    gfx::Image shot = window->snapshot();
    EXPECT_TRUE(sameColour(shot.colorAt(112, 300), gfx::Color::fromWhite(223 / 255.0)));

    struct Step {
        int headerRow; // in the flat list
        size_t rowsAfter;
        bool section1Shown;
    };
    for (Step step : {Step{5, 37, false}, Step{5, 43, true}, Step{0, 39, true}}) {
        gfx::Rect rect = left.rectForRowAtIndexPath({0, step.headerRow});
        driver->tap(left.convertPointToView({rect.midX(), rect.midY()}, nullptr));
        window->layoutIfNeeded();
        EXPECT_EQ(table->indexPathTable().size(), step.rowsAfter);
        EXPECT_EQ(static_cast<size_t>(body.numberOfRowsInSection(0)), step.rowsAfter);
        EXPECT_EQ(static_cast<size_t>(left.numberOfRowsInSection(0)), step.rowsAfter);
        bool shown = false;
        for (auto& [row, cell] : bodyRows())
            if (auto* label = dynamic_cast<ui::Label*>(cell->columnCells()[0].get()))
                shown |= label->text().rfind("A1.", 0) == 0;
        EXPECT_EQ(shown, step.section1Shown) << "after tapping flat row " << step.headerRow;
    }
    base::RunLoop::main().advance(1);
    // A reload bringing one more section gives it a folding status of its own.
    sheet.rows.push_back(3);
    table->reloadData();
    EXPECT_EQ(table->sectionFoldingStatus().size(), 4u);
    EXPECT_EQ(table->indexPathTable().size(), 39u + 1 + 3);

    // Dragging either table moves the other to the same offset.
    for (ui::TableView* dragged : {&body, &left}) {
        gfx::Point from = dragged->convertPointToView({50, 500}, nullptr);
        driver->drag(from, {from.x, from.y - 300});
        base::RunLoop::main().advance(3);
        EXPECT_GT(dragged->contentOffset().y, 100);
        EXPECT_EQ(body.contentOffset(), left.contentOffset());
        driver->drag({from.x, from.y - 300}, from);
        base::RunLoop::main().advance(3);
        EXPECT_EQ(body.contentOffset(), left.contentOffset());
    }
}

TEST_F(MultiColumnTableTest, ALongPressMovesTheColumnUnderTheFinger)
{
    build();
    // Through the current table: the last case builds a new one.
    auto at = [&](double bodyX) { return table->tblView()->convertPointToView({bodyX, 100}, nullptr); };
    double column2 = table->xForColumn(2) + 50, column4 = table->xForColumn(4) + 50, outside = table->totalWidth() + 10;

    struct Case {
        const char* what;
        double pressX, moveX;
        double held;
        std::vector<std::pair<int, int>> swaps;
    };
    for (const Case& c : {Case{"column 2 onto column 4", column2, column4, 1.0, {{2, 4}}},
                          Case{"outside every column", outside, column4, 1.0, {}},
                          Case{"held too briefly", column2, column4, 0.5, {}}}) {
        sheet.swaps.clear();
        driver->press(at(c.pressX));
        driver->wait(c.held + 0.01);
        if (c.swaps.size() == 1) {
            ASSERT_NE(table->highlightColumnLayer(), nullptr);
            EXPECT_EQ(table->highlightColumnLayer()->frame(), gfx::Rect(table->xForColumn(2), 1, 200, 598));
        }
        driver->moveTo(at(c.moveX));
        if (c.swaps.size() == 1) {
            // The highlight follows the column to its new place; the new order shows.
            EXPECT_EQ(table->selectedColumn(), 4);
            EXPECT_EQ(table->highlightColumnLayer()->frame(), gfx::Rect(table->xForColumn(4), 1, 100, 598));
            EXPECT_EQ(table->highlightColumnLayer()->borderColor(), gfx::Color::fromRgb(232, 142, 20));
            window->layoutIfNeeded();
            EXPECT_EQ(dynamic_cast<ui::Label&>(*bodyRows().begin()->second->columnCells()[4]).text(), "C0.0");
        }
        driver->release();
        EXPECT_EQ(sheet.swaps, c.swaps) << c.what;
        EXPECT_EQ(table->selectedColumn(), -1) << c.what;
        EXPECT_TRUE(!table->highlightColumnLayer() || !table->highlightColumnLayer()->superview()) << c.what;
        driver->wait(0.5);
    }
    // Without the swap operation, nothing moves.
    sheet.answered.erase(Op::swapDataOfColumnAndColumn);
    build();
    sheet.swaps.clear();
    driver->press(at(column2));
    driver->wait(1.01);
    driver->moveTo(at(column4));
    driver->release();
    EXPECT_TRUE(sheet.swaps.empty());
}

TEST_F(MultiColumnTableTest, AnInventoryLikeSheetIsDrawn)
{
    sheet.answered.insert({Op::backgroundColorAtIndexPath, Op::headerCellForIndexPath, Op::setContentForHeaderCellAtIndexPath});
    sheet.widths = {105, 200, 200, 300, 100};
    build({0, 20, 1024, 700});
    table->setTopHeaderBackgroundColor(gfx::Color::fromRgb(179, 168, 178));
    table->reloadData();
    window->layoutIfNeeded();
    gfx::Image shot = window->snapshot();
    // An odd row is grey 249, the top header purple-grey, a column separator light grey.
    gfx::Rect odd = table->tblView()->rectForRowAtIndexPath({0, 1});
    gfx::Point inOdd = table->tblView()->convertPointToView({odd.x() + 1, odd.midY()}, nullptr);
    EXPECT_TRUE(sameColour(shot.colorAt(static_cast<int>(inOdd.x), static_cast<int>(inOdd.y)), gfx::Color::fromRgb(249, 249, 249)));
    gfx::Point header = table->tblView()->convertPointToView({1, 3}, nullptr);
    EXPECT_TRUE(sameColour(shot.colorAt(static_cast<int>(header.x), static_cast<int>(header.y)), gfx::Color::fromRgb(179, 168, 178)));
    gfx::Point line = table->scrlView()->convertPointToView({105, 300}, nullptr);
    EXPECT_TRUE(sameColour(shot.colorAt(static_cast<int>(line.x), static_cast<int>(line.y)), gfx::Color::fromWhite(223 / 255.0)));
    if (const char* folder = std::getenv("BRIVANTA_REVIEW_DIR")) {
        EXPECT_TRUE(window->savePng(std::string(folder) + "/multi_column_table.png"));
    }
}

} // namespace
