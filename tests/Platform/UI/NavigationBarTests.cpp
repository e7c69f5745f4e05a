#include "UITestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/NavigationBar.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/TableViewCell.h"

using namespace ui;

namespace {

class NavigationBarTest : public uitest::WindowTest {};

TEST_F(NavigationBarTest, ItemButtonsRunTheirActionsAndThePromptMakesRoom)
{
    auto bar = View::make<NavigationBar>(gfx::Rect{0, 0, 540, 10});
    window->addSubview(bar);
    auto item = std::make_shared<NavigationItem>("host");
    std::vector<std::string> taps;
    item->setLeftBarButtonItem(NavigationBarButton::systemItem(BarButtonSystemItem::Cancel, [&] { taps.push_back("cancel"); }));
    item->setRightBarButtonItem(NavigationBarButton{"Login", NavigationBarButton::Style::Done, [&] { taps.push_back("login"); }});
    bar->pushNavigationItem(item);
    bar->sizeToFit();
    EXPECT_EQ(bar->frame().height(), NavigationBar::kHeight);
    item->setPrompt("Sign in");
    bar->pushNavigationItem(item);
    bar->sizeToFit();
    EXPECT_EQ(bar->frame().height(), NavigationBar::kHeight + NavigationBar::kPromptHeight);
    bar->layoutIfNeeded();
    ASSERT_TRUE(bar->leftButton() && bar->rightButton());
    EXPECT_EQ(bar->leftButton()->titleForState(ControlStateNormal), "Cancel");
    // Both sit in the bar below the prompt, at their own side.
    EXPECT_GE(bar->rightButton()->frame().y(), NavigationBar::kPromptHeight);
    EXPECT_LT(bar->leftButton()->frame().maxX(), bar->rightButton()->frame().x());
    EXPECT_NEAR(bar->rightButton()->frame().maxX(), 540, 10);
    Driver driver(*window);
    ASSERT_TRUE(driver.tap(bar->rightButton()));
    ASSERT_TRUE(driver.tap(bar->leftButton()));
    EXPECT_EQ(taps, (std::vector<std::string>{"login", "cancel"}));
}

struct Footers : TableViewDataSource, TableViewDelegate {
    int numberOfSectionsInTableView(TableView&) override { return 2; }
    int numberOfRowsInSection(TableView&, int) override { return 1; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, const IndexPath&) override
    {
        return View::make<TableViewCell>(TableViewCellStyle::Default, std::string());
    }
    std::string titleForFooterInSection(TableView&, int section) override { return section == 1 ? "Note" : ""; }
};

TEST_F(NavigationBarTest, GroupedTablesShowFootersUnderTheirSection)
{
    Footers source;
    auto table = View::make<TableView>(gfx::Rect{0, 0, 400, 400}, TableViewStyle::Grouped);
    table->setDataSource(&source);
    window->addSubview(table);
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->rectForFooterInSection(0).height(), 0);
    gfx::Rect footer = table->rectForFooterInSection(1);
    EXPECT_GT(footer.height(), 0);
    EXPECT_EQ(footer.y(), table->rectForRowAtIndexPath(IndexPath::forRow(0, 1)).maxY());
    Driver driver(*window);
    auto* note = driver.findByText("Note");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(driver.isOnScreen(note));
}

} // namespace
