#include "UITestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TableView.h"

#include <cmath>
#include <cstdlib>

namespace {

// Rows of text in sections; deletes what the table asks it to.
class Rows : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    std::vector<std::vector<std::string>> sections;
    std::vector<std::string> titles;
    std::map<ui::IndexPath, double> heights;
    std::vector<std::string> log;
    std::optional<ui::IndexPath> refuse; // willSelect answers nothing for this row
    int created = 0;
    bool editable = true;

    static Rows numbered(int count)
    {
        Rows rows;
        rows.sections.emplace_back();
        for (int i = 0; i < count; ++i)
            rows.sections[0].push_back("Row " + std::to_string(i));
        return rows;
    }

    int numberOfSectionsInTableView(ui::TableView&) override { return static_cast<int>(sections.size()); }
    int numberOfRowsInSection(ui::TableView&, int s) override { return static_cast<int>(sections[static_cast<size_t>(s)].size()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) {
            cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "row");
            ++created;
        }
        cell->textLabel().setText(text(ip));
        return cell;
    }
    std::string titleForHeaderInSection(ui::TableView&, int s) override
    {
        return static_cast<size_t>(s) < titles.size() ? titles[static_cast<size_t>(s)] : std::string();
    }
    bool canEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return editable; }
    void commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle, const ui::IndexPath& ip) override
    {
        log.push_back("commit " + text(ip));
        auto& rows = sections[static_cast<size_t>(ip.section)];
        rows.erase(rows.begin() + ip.row);
        table.deleteRowsAtIndexPaths({ip}, ui::TableViewRowAnimation::Fade);
    }

    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip) override
    {
        auto it = heights.find(ip);
        return it == heights.end() ? table.rowHeight() : it->second;
    }
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override
    {
        if (refuse == ip)
            return std::nullopt;
        return ip;
    }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override { log.push_back("select " + text(ip)); }
    void didDeselectRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override { log.push_back("deselect " + text(ip)); }
    void willBeginEditingRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override
    {
        editing.push_back("begin " + std::to_string(ip.row));
    }
    void didEndEditingRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override
    {
        editing.push_back("end " + std::to_string(ip.row));
    }
    std::vector<std::string> editing;

    std::string text(const ui::IndexPath& ip) const
    {
        return sections[static_cast<size_t>(ip.section)][static_cast<size_t>(ip.row)];
    }
};

class TableViewTest : public uitest::WindowTest {
protected:
    void make(Rows source, ui::TableViewStyle style = ui::TableViewStyle::Plain)
    {
        rows = std::move(source);
        table = ui::View::make<ui::TableView>(gfx::Rect(0, 0, 600, 440), style);
        table->setDataSource(&rows);
        table->setDelegate(&rows);
        window->addSubview(table);
        table->layoutIfNeeded();
    }
    void TearDown() override
    {
        if (table) {
            table->setDataSource(nullptr);
            table->setDelegate(nullptr);
        }
        WindowTest::TearDown();
        ui::View::setAnimationsEnabled(true);
    }

    static void advance(double seconds) { base::RunLoop::main().advance(seconds); }

    size_t cellsInTable() const
    {
        size_t n = 0;
        for (auto& v : table->subviews())
            n += dynamic_cast<ui::TableViewCell*>(v.get()) != nullptr;
        return n;
    }
    std::string textAt(int row, int section = 0) const
    {
        auto* cell = table->cellForRowAtIndexPath({section, row});
        return cell ? cell->textLabel().text() : "<none>";
    }
    // Every visible cell shows the text of its own row.
    void expectCellsMatchRows() const
    {
        for (auto& ip : table->indexPathsForVisibleRows())
            EXPECT_EQ(textAt(ip.row, ip.section), rows.text(ip));
    }
    void tapAt(gfx::Point p)
    {
        window->touchDown(1, p);
        window->touchUp(1, p);
    }
    void drag(gfx::Point from, gfx::Point to, int steps, double dt, double rest = 0)
    {
        window->touchDown(1, from);
        for (int i = 1; i <= steps; ++i) {
            advance(dt);
            window->touchMoved(1, {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        }
        advance(rest);
        window->touchUp(1, to);
    }

    Rows rows;
    std::shared_ptr<ui::TableView> table;
};

using Log = std::vector<std::string>;

TEST_F(TableViewTest, AThousandRowsKeepOnlyTheVisibleCellsAlive)
{
    make(Rows::numbered(1000));
    // 440 points of 44-point rows: ten rows, eleven when both ends show part of a row.
    const size_t limit = 11;
    EXPECT_EQ(table->contentSize().height, 44000);
    EXPECT_EQ(cellsInTable(), 10u);
    size_t most = 0;
    for (int drags = 0; drags < 20; ++drags) {
        window->touchDown(1, {300, 400});
        for (int i = 1; i <= 35; ++i) {
            advance(0.016);
            window->touchMoved(1, {300, 400.0 - 10 * i});
            most = std::max(most, cellsInTable());
        }
        advance(0.2);
        window->touchUp(1, {300, 50});
    }
    EXPECT_LE(most, limit);
    EXPECT_GT(table->contentOffset().y, 6000);
    expectCellsMatchRows();

    // A flick decelerates through hundreds of rows with the same few cells.
    drag({300, 400}, {300, 100}, 10, 0.01);
    while (table->isDecelerating()) {
        advance(0.05);
        most = std::max(most, cellsInTable());
    }
    EXPECT_LE(most, limit);
    EXPECT_LE(rows.created, static_cast<int>(limit) + 1);
    expectCellsMatchRows();
}

TEST_F(TableViewTest, SectionsHeadersAndRowHeightsShapeTheContent)
{
    Rows source;
    source.sections = {{"a", "b", "c"}, {"d", "e"}};
    source.titles = {"First", "Second"};
    source.heights[{0, 1}] = 100;
    make(std::move(source));

    // Plain headers are 22 points high.
    EXPECT_EQ(table->rectForHeaderInSection(0), (gfx::Rect{0, 0, 600, 22}));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}), (gfx::Rect{0, 22, 600, 44}));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}), (gfx::Rect{0, 66, 600, 100}));
    EXPECT_EQ(table->rectForHeaderInSection(1).y(), 210);
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 1}), (gfx::Rect{0, 276, 600, 44}));
    EXPECT_EQ(table->contentSize().height, 320);

    EXPECT_EQ(table->indexPathForRowAtPoint({10, 150}), (ui::IndexPath{0, 1}));
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 240}), (ui::IndexPath{1, 0}));
    EXPECT_FALSE(table->indexPathForRowAtPoint({10, 10})) << "a header is not a row";
    EXPECT_FALSE(table->indexPathForRowAtPoint({10, 330}));
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 5u);
    EXPECT_EQ(textAt(0, 1), "d");

    // The titles show as labels on screen.
    int titled = 0;
    for (auto& v : table->subviews())
        for (auto& sub : v->subviews())
            if (sub->accessibilityText() == "First" || sub->accessibilityText() == "Second")
                ++titled;
    EXPECT_EQ(titled, 2);

    // Stacking: an owner's picture put at the bottom stays under the rows, which stay under
    // the section headers.
    auto picture = ui::View::make(gfx::Rect(0, 0, 600, 440));
    table->insertSubviewAtIndex(picture, 0);
    table->reloadData();
    table->layoutIfNeeded();
    auto indexOf = [&](const ui::View* v) {
        const auto& subs = table->subviews();
        for (size_t i = 0; i < subs.size(); ++i)
            if (subs[i].get() == v)
                return static_cast<int>(i);
        return -1;
    };
    for (auto& ip : table->indexPathsForVisibleRows()) {
        int cell = indexOf(table->cellForRowAtIndexPath(ip));
        EXPECT_GT(cell, indexOf(picture.get()));
        for (auto& v : table->subviews()) {
            if (v->frame() == table->rectForHeaderInSection(ip.section)) {
                EXPECT_LT(cell, indexOf(v.get()));
            }
        }
    }

    // A table header pushes the rows down; the footer follows the last section.
    auto header = ui::View::make(gfx::Rect(0, 0, 10, 50));
    auto footer = ui::View::make(gfx::Rect(0, 0, 10, 30));
    table->setTableHeaderView(header);
    table->setTableFooterView(footer);
    table->layoutIfNeeded();
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}).y(), 72);
    EXPECT_EQ(header->frame(), (gfx::Rect{0, 0, 600, 50}));
    EXPECT_EQ(footer->frame(), (gfx::Rect{0, 370, 600, 30}));
    EXPECT_EQ(table->contentSize().height, 400);

    // Grouped tables inset their rows.
    auto grouped = ui::View::make<ui::TableView>(gfx::Rect(0, 0, 300, 400), ui::TableViewStyle::Grouped);
    grouped->setDataSource(&rows);
    EXPECT_EQ(grouped->rectForRowAtIndexPath({0, 0}), (gfx::Rect{10, 40, 280, 44}));
    EXPECT_FALSE(grouped->indexPathForRowAtPoint({5, 50}));
    grouped->setDataSource(nullptr);
}

TEST_F(TableViewTest, TappingSelectsButDraggingDoesNot)
{
    make(Rows::numbered(50));
    tapAt({300, 44 * 2 + 20});
    EXPECT_EQ(rows.log, Log{"select Row 2"});
    EXPECT_EQ(table->indexPathForSelectedRow(), (ui::IndexPath{0, 2}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isSelected());

    tapAt({300, 44 * 3 + 20});
    EXPECT_EQ(rows.log, (Log{"select Row 2", "deselect Row 2", "select Row 3"}));
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isSelected());

    // While the finger is down the row is highlighted; a drag takes that back.
    rows.log.clear();
    window->touchDown(1, {300, 44 * 5 + 20});
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 5})->isHighlighted());
    for (int i = 1; i <= 6; ++i)
        window->touchMoved(1, {300, 44 * 5 + 20 - 10.0 * i});
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 5})->isHighlighted());
    window->touchUp(1, {300, 44 * 5 - 40});
    EXPECT_TRUE(rows.log.empty());
    EXPECT_EQ(table->indexPathForSelectedRow(), (ui::IndexPath{0, 3}));

    // The delegate may refuse a row.
    advance(5);
    rows.refuse = ui::IndexPath{0, 1};
    double y = 44 * 1 + 20 - table->contentOffset().y;
    tapAt({300, y});
    EXPECT_TRUE(rows.log.empty());

    // Selection survives scrolling the row away and back.
    table->scrollToRowAtIndexPath({0, 40}, ui::TableViewScrollPosition::Top, false);
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 3}));
    table->scrollToRowAtIndexPath({0, 0}, ui::TableViewScrollPosition::Top, false);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 3})->isSelected());
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 4})->isSelected());
}

TEST_F(TableViewTest, ScrollToRowPlacesIt)
{
    make(Rows::numbered(100));
    table->scrollToRowAtIndexPath({0, 50}, ui::TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 2200);
    table->scrollToRowAtIndexPath({0, 50}, ui::TableViewScrollPosition::Middle, false);
    EXPECT_EQ(table->contentOffset().y, 2200 + 22 - 220);
    table->scrollToRowAtIndexPath({0, 50}, ui::TableViewScrollPosition::Bottom, false);
    EXPECT_EQ(table->contentOffset().y, 2244 - 440);
    table->scrollToRowAtIndexPath({0, 99}, ui::TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 4400 - 440) << "never beyond the end";
    table->scrollToRowAtIndexPath({0, 10}, ui::TableViewScrollPosition::Top, true);
    advance(1);
    EXPECT_EQ(table->contentOffset().y, 440);
    EXPECT_EQ(textAt(10), "Row 10");
}

TEST_F(TableViewTest, InsertAndDeleteMoveTheRows)
{
    ui::View::setAnimationsEnabled(false);
    make(Rows::numbered(20));
    rows.sections[0].erase(rows.sections[0].begin() + 1, rows.sections[0].begin() + 3);
    table->deleteRowsAtIndexPaths({{0, 1}, {0, 2}}, ui::TableViewRowAnimation::Fade);
    EXPECT_EQ(table->numberOfRowsInSection(0), 18);
    EXPECT_EQ(textAt(0), "Row 0");
    EXPECT_EQ(textAt(1), "Row 3");
    EXPECT_EQ(table->contentSize().height, 18 * 44);
    EXPECT_EQ(cellsInTable(), 10u);
    expectCellsMatchRows();

    rows.sections[0].insert(rows.sections[0].begin(), "New");
    table->insertRowsAtIndexPaths({{0, 0}}, ui::TableViewRowAnimation::Fade);
    EXPECT_EQ(textAt(0), "New");
    EXPECT_EQ(textAt(1), "Row 0");
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1})->frame().y(), 44);
    expectCellsMatchRows();

    // An update the data source does not agree with shows what the data source has.
    rows.sections[0].push_back("Extra");
    table->deleteRowsAtIndexPaths({{0, 0}}, ui::TableViewRowAnimation::None);
    EXPECT_EQ(table->numberOfRowsInSection(0), 20);
    expectCellsMatchRows();
}

TEST_F(TableViewTest, AnimatedDeleteFadesTheRowOut)
{
    make(Rows::numbered(20));
    table->selectRowAtIndexPath(ui::IndexPath{0, 5}, false);
    auto* doomed = table->cellForRowAtIndexPath({0, 2});
    rows.sections[0].erase(rows.sections[0].begin() + 2);
    table->deleteRowsAtIndexPaths({{0, 2}}, ui::TableViewRowAnimation::Fade);
    EXPECT_EQ(doomed->superview(), table.get()) << "still fading";
    EXPECT_EQ(doomed->alpha(), 0);
    EXPECT_EQ(table->indexPathForSelectedRow(), (ui::IndexPath{0, 4})) << "the selection moved up with its row";
    auto* moved = table->cellForRowAtIndexPath({0, 2});
    EXPECT_EQ(moved->textLabel().text(), "Row 3");
    EXPECT_EQ(moved->frame().y(), 88);
    advance(0.1);
    EXPECT_GT(moved->presentation().center.y, 88 + 22) << "sliding up on screen";
    advance(0.5);
    EXPECT_EQ(doomed->superview(), nullptr);
    EXPECT_EQ(moved->presentation().center.y, 88 + 22);
    EXPECT_EQ(cellsInTable(), 10u);
}

TEST_F(TableViewTest, SwipeLeftOffersDeleteAndTheButtonCommits)
{
    ui::View::setAnimationsEnabled(false);
    make(Rows::numbered(20));
    double y = 44 * 3 + 22;
    drag({500, y}, {380, y + 4}, 4, 0.02);
    ASSERT_EQ(table->indexPathForDeleteConfirmation(), (ui::IndexPath{0, 3}));
    EXPECT_TRUE(rows.log.empty()) << "the swipe does not select";
    auto* cell = table->cellForRowAtIndexPath({0, 3});
    ui::Button* button = cell->deleteConfirmationButton();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->currentTitle(), "Delete");
    EXPECT_EQ(table->contentOffset().y, 0) << "a sideways swipe does not scroll";

    // Tapping another row only takes the button away.
    tapAt({300, 22});
    EXPECT_FALSE(table->indexPathForDeleteConfirmation());
    EXPECT_TRUE(rows.log.empty());

    drag({500, y}, {380, y}, 4, 0.02);
    button = table->cellForRowAtIndexPath({0, 3})->deleteConfirmationButton();
    ASSERT_TRUE(button);
    gfx::Rect r = button->convertRectToView(button->bounds(), nullptr);
    tapAt(r.center());
    EXPECT_EQ(rows.log, Log{"commit Row 3"});
    EXPECT_EQ(textAt(3), "Row 4");
    EXPECT_EQ(table->numberOfRowsInSection(0), 19);
    EXPECT_FALSE(table->indexPathForDeleteConfirmation());

    // Rows the data source cannot edit offer nothing.
    rows.editable = false;
    drag({500, y}, {380, y}, 4, 0.02);
    EXPECT_FALSE(table->indexPathForDeleteConfirmation());
    // The delegate saw each offer begin and end, the committed one included.
    EXPECT_EQ(rows.editing, (Log{"begin 3", "end 3", "begin 3", "end 3"}));
}

TEST_F(TableViewTest, EditingModeDeletesThroughTheRoundControl)
{
    ui::View::setAnimationsEnabled(false);
    make(Rows::numbered(20));
    table->setEditing(true, false);
    auto* cell = table->cellForRowAtIndexPath({0, 2});
    EXPECT_TRUE(cell->isEditing());
    table->layoutIfNeeded();
    EXPECT_EQ(cell->contentView().frame().x(), ui::TableViewCell::kEditingControlWidth);

    tapAt({300, 44 * 2 + 22}); // the row itself: no selection while editing
    EXPECT_TRUE(rows.log.empty());
    EXPECT_FALSE(table->indexPathForDeleteConfirmation());
    tapAt({18, 44 * 2 + 22});
    ASSERT_EQ(table->indexPathForDeleteConfirmation(), (ui::IndexPath{0, 2}));
    ui::Button* button = cell->deleteConfirmationButton();
    tapAt(button->convertRectToView(button->bounds(), nullptr).center());
    EXPECT_EQ(rows.log, Log{"commit Row 2"});
    EXPECT_EQ(textAt(2), "Row 3");
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isEditing());

    table->setEditing(false, false);
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isEditing());
}

TEST_F(TableViewTest, ReloadAsksTheDataSourceAgain)
{
    make(Rows::numbered(30));
    rows.sections[0][1] = "Changed";
    EXPECT_EQ(textAt(1), "Row 1");
    table->reloadRowsAtIndexPaths({{0, 1}}, ui::TableViewRowAnimation::None);
    EXPECT_EQ(textAt(1), "Changed");

    rows.sections[0].resize(3);
    table->reloadData();
    EXPECT_EQ(table->numberOfRowsInSection(0), 3);
    EXPECT_EQ(cellsInTable(), 3u);
    expectCellsMatchRows();
}

} // namespace

namespace {

TEST_F(TableViewTest, RowsAreDrawnWithSelectionAccessoriesAndTheDeleteButton)
{
    ui::View::setAnimationsEnabled(false);
    Rows source = Rows::numbered(30);
    source.titles = {"Customers"};
    make(std::move(source));
    window->setBackgroundColor(gfx::Color::white());
    table->selectRowAtIndexPath(ui::IndexPath{0, 1}, false);
    table->cellForRowAtIndexPath({0, 0})->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    table->cellForRowAtIndexPath({0, 2})->setAccessoryType(ui::TableViewCellAccessoryType::Checkmark);
    table->cellForRowAtIndexPath({0, 3})->setAccessoryType(ui::TableViewCellAccessoryType::DetailDisclosureButton);
    double y4 = 22 + 44 * 4 + 22;
    drag({500, y4}, {380, y4}, 4, 0.02);
    ASSERT_EQ(table->indexPathForDeleteConfirmation(), (ui::IndexPath{0, 4}));

    gfx::Image shot = window->snapshot();
    if (const char* path = std::getenv("BRIVANTA_TABLE_PNG")) {
        shot.writePng(path);
    }
    auto pixel = [&](double x, double y) { return shot.colorAt(static_cast<int>(x), static_cast<int>(y)); };
    gfx::Color header = pixel(580, 11);
    EXPECT_LT(header.r, 0.8) << "the section title bar is tinted";
    gfx::Color selected = pixel(580, 22 + 44 + 22);
    EXPECT_GT(selected.b, 0.8);
    EXPECT_LT(selected.r, 0.2);
    gfx::Color plain = pixel(580, 22 + 44 * 5 + 22);
    EXPECT_GT(plain.r, 0.95);
    gfx::Color button = pixel(524, y4);
    EXPECT_GT(button.r, 0.7);
    EXPECT_LT(button.g, 0.3);
    // The checkmark is blue ink right of the text.
    bool ink = false;
    for (double x = 570; x < 600 && !ink; ++x)
        for (double y = 22 + 88 + 10; y < 22 + 132 - 10 && !ink; ++y)
            ink = pixel(x, y).b > pixel(x, y).r + 0.2;
    EXPECT_TRUE(ink);
}

} // namespace

TEST_F(TableViewTest, LayoutPassesLeaveACallersFrameAnimationOfAnUnmovedRow)
{
    make(Rows::numbered(40));
    ui::TableViewCell* cell = table->cellForRowAtIndexPath({0, 2});
    ASSERT_TRUE(cell);
    gfx::Rect row = table->rectForRowAtIndexPath({0, 2});
    ui::View::animate(0.2, [&] { cell->setFrame({-243, row.y(), row.width(), row.height()}); });
    advance(0.1);
    // Passes that scrolling and reloading another row cause keep the cell where it is going.
    table->setContentOffset({0, 20});
    table->layoutIfNeeded();
    table->reloadRowsAtIndexPaths({{0, 6}}, ui::TableViewRowAnimation::None);
    table->layoutIfNeeded();
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 2}), cell);
    EXPECT_EQ(cell->frame().x(), -243);
    double x = cell->presentation().center.x - row.width() / 2;
    EXPECT_LT(x, 0);
    EXPECT_GT(x, -243);
    advance(0.2);
    EXPECT_EQ(cell->frame().x(), -243);

    // A row that itself moves is put at its new place.
    rows.sections[0].insert(rows.sections[0].begin(), "New");
    table->insertRowsAtIndexPaths({{0, 0}}, ui::TableViewRowAnimation::None);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 3})->frame(), table->rectForRowAtIndexPath({0, 3}));
    table->reloadData();
    table->layoutIfNeeded();
    for (auto& ip : table->indexPathsForVisibleRows())
        EXPECT_EQ(table->cellForRowAtIndexPath(ip)->frame(), table->rectForRowAtIndexPath(ip));
}

TEST_F(TableViewTest, ASelectedBackgroundViewShowsOnlyWhileTheCellIsLit)
{
    auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "c");
    cell->setFrame({0, 0, 240, 58});
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::Gray);
    auto selected = std::make_shared<ui::View>(gfx::Rect(0, 0, 240, 58));
    selected->setBackgroundColor(gfx::Color::fromRgb(20, 90, 200));
    cell->setSelectedBackgroundView(selected);
    window->addSubview(cell);
    EXPECT_TRUE(selected->isHidden());
    EXPECT_EQ(cell->subviews().front(), selected) << "behind the content";
    cell->setSelected(true);
    EXPECT_FALSE(selected->isHidden());
    gfx::Color c = window->snapshot().colorAt(5, 5);
    EXPECT_NEAR(c.b, 200 / 255.0, 0.02) << "no gradient drawn over it";
    cell->setSelected(false);
    cell->setHighlighted(true);
    EXPECT_FALSE(selected->isHidden());
    cell->setHighlighted(false);
    EXPECT_TRUE(selected->isHidden());
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    cell->setSelected(true);
    EXPECT_TRUE(selected->isHidden());
}
