#include "tests/App/AppWindowTestSupport.h"

#include "Platform/Base/Log.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableView.h"
#include "Widgets/OrderingController.h"

#include <memory>
#include <vector>

namespace {

using apptest::AppWindowTest;

class OrderRecorder : public OrderingControllerDelegate {
public:
    std::vector<unsigned> chosen;
    void orderingDidSelected(unsigned index) override { chosen.push_back(index); }
};

class OrderingControllerTest : public AppWindowTest {
protected:
    OrderingControllerTest()
    {
        screen = std::make_shared<ui::View>(gfx::Rect(0, 0, 1024, 768));
        screen->setBackgroundColor(gfx::Color::fromWhite(0.95));
        window->addSubview(screen);
        picker = std::make_unique<OrderingController>(gfx::Rect(700, 20, 130, 34),
                                                      std::vector<std::string>{"BYNAME", "BYSKU", "BYPRICE"},
                                                      &recorder, screen.get());
        screen->addSubview(picker->orderingButton());
    }
    ~OrderingControllerTest() override { picker.reset(); }
    void open()
    {
        ASSERT_TRUE(driver->tap(picker->orderingButton().get()));
        driver->wait(0.5);
        ASSERT_TRUE(picker->orderingPopoverController()->isPopoverVisible());
    }
    // The rows carrying a check mark, as the open list shows them.
    std::vector<int> checkedRows()
    {
        std::vector<int> rows;
        auto* table = picker->orderingTableViewController()->tableView();
        table->layoutIfNeeded(); // as the window does before it draws
        for (auto path : table->indexPathsForVisibleRows())
            if (table->cellForRowAtIndexPath(path)->accessoryType() == ui::TableViewCellAccessoryType::Checkmark)
                rows.push_back(path.row);
        return rows;
    }
    std::string title() const { return picker->orderingButton()->titleForState(ui::ControlStateNormal); }

    std::shared_ptr<ui::View> screen;
    OrderRecorder recorder;
    std::unique_ptr<OrderingController> picker;
};

TEST_F(OrderingControllerTest, ChoosingARowMovesTheMarkRetitlesAndCloses)
{
    EXPECT_EQ(title(), "By name");
    open();
    double rowHeight = picker->orderingTableViewController()->tableView()->rowHeight();
    EXPECT_EQ(picker->orderingPopoverController()->popoverContentSize(), (gfx::Size{145, rowHeight * 3}));
    EXPECT_EQ(picker->orderingTableViewController()->tableView()->contentInset().top, 1);
    EXPECT_FALSE(picker->orderingTableViewController()->tableView()->isScrollEnabled());
    EXPECT_EQ(checkedRows(), std::vector<int>{0});
    driver->screenshot(reviewPath("ordering_open.png"));

    // The current row keeps the list open and tells nobody.
    ASSERT_TRUE(driver->tap(driver->findByText("By name")));
    driver->wait(0.5);
    EXPECT_TRUE(picker->orderingPopoverController()->isPopoverVisible());
    EXPECT_TRUE(recorder.chosen.empty());

    ASSERT_TRUE(driver->tap(driver->findByText("By price")));
    driver->wait(0.5);
    EXPECT_EQ(recorder.chosen, std::vector<unsigned>{2});
    EXPECT_EQ(title(), "By price");
    EXPECT_EQ(picker->getTableCurrentOrderingIndex(), 2u);
    EXPECT_FALSE(picker->orderingPopoverController()->isPopoverVisible());
    EXPECT_FALSE(picker->orderingTableViewController()->tableView()->indexPathForSelectedRow());
}

TEST_F(OrderingControllerTest, ProgrammaticChangesKeepIndexAndTitleInStep)
{
    struct Case {
        const char* what;
        std::function<void()> act;
        unsigned index;
        std::string title;
        bool logsError;
    };
    const Case cases[] = {
        {"index 1", [&] { picker->setTableCurrentOrderingIndex(1); }, 1, "By SKU", false},
        {"index = count", [&] { picker->setTableCurrentOrderingIndex(3); }, 1, "By SKU", true},
        {"index 2", [&] { picker->setTableCurrentOrderingIndex(2); }, 2, "By price", false},
        {"shrunk below", [&] { picker->setTableOrderingsArray({"BYNAME", "BYSKU"}); }, 1, "By SKU", false},
        {"grown", [&] { picker->setTableOrderingsArray({"BYPRICE", "BYNAME", "BYSKU"}); }, 1, "By name", false},
        {"empty", [&] { picker->setTableOrderingsArray({}); }, 0, "", false},
        {"index on empty", [&] { picker->setTableCurrentOrderingIndex(0); }, 0, "", true},
        {"refilled", [&] { picker->setTableOrderingsArray({"BYNAME", "BYSKU", "BYPRICE"}); }, 0, "By name", false},
    };
    for (const Case& c : cases) {
        base::ScopedLogCapture log;
        c.act();
        EXPECT_EQ(picker->getTableCurrentOrderingIndex(), c.index) << c.what;
        EXPECT_EQ(title(), c.title) << c.what;
        EXPECT_EQ(log.contains("Error: index = "), c.logsError) << c.what;
    }
    // An empty list opens with no rows in a popover of no height.
    picker->setTableOrderingsArray({});
    open();
    EXPECT_EQ(picker->orderingTableViewController()->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_EQ(picker->orderingPopoverController()->popoverContentSize().height, 0);
    picker->orderingPopoverController()->dismissPopoverAnimated(false);

    // After a programmatic change the reopened list marks the new row only.
    picker->setTableOrderingsArray({"BYNAME", "BYSKU", "BYPRICE"});
    picker->setTableCurrentOrderingIndex(1);
    open();
    EXPECT_EQ(checkedRows(), std::vector<int>{1});
}

TEST_F(OrderingControllerTest, LanguageSwitchAndUnloadedListComeBack)
{
    open();
    picker->orderingPopoverController()->dismissPopoverAnimated(false);
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    picker->updateLanguage();
    EXPECT_EQ(title(), Language::stringWithName("BYNAME"));
    EXPECT_NE(title(), "By name");
    open();
    EXPECT_TRUE(driver->findByText(Language::stringWithName("BYPRICE")));
    driver->screenshot(reviewPath("ordering_open_cn.png"));
    picker->orderingPopoverController()->dismissPopoverAnimated(false);
    driver->wait(0.5);

    // An unloaded list forgets its keys until the owner gives them again.
    picker->orderingTableViewController()->unloadViewForTesting();
    EXPECT_TRUE(picker->orderingTableViewController()->orderingsArray().empty());
    picker->setTableOrderingsArray({"BYNAME", "BYSKU", "BYPRICE"});
    open();
    EXPECT_EQ(picker->orderingTableViewController()->tableView()->numberOfRowsInSection(0), 3);
}

} // namespace
