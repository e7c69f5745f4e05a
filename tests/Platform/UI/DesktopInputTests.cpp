#include "UITestSupport.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Pasteboard.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/ViewController.h"

#include <functional>
#include <optional>

using namespace ui;

// What a desktop user does in a window without a tablet's touch: keys, the wheel, the
// clipboard. Input goes in through the window's own entry points, as the back ends send it.
namespace {

class DesktopInputTest : public uitest::WindowTest {
protected:
    void TearDown() override
    {
        AlertView::dismissAllForTesting();
        Keyboard::resetForTesting();
        WindowTest::TearDown();
    }
};

struct AlertLog : AlertViewDelegate {
    std::vector<std::string> events;
    void alertViewClickedButtonAtIndex(AlertView&, int i) override { events.push_back("clicked " + std::to_string(i)); }
};

TEST_F(DesktopInputTest, ReturnPressesTheDefaultButtonAndEscapeTheCancelButton)
{
    View::setAnimationsEnabled(false);
    // A field behind the alert keeps its focus but does not hear the keys the alert answers.
    auto field = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    window->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    int returns = 0;
    field->addTarget([&](Control&) { ++returns; }, ControlEventEditingDidEndOnExit);

    const struct {
        std::string cancel;
        std::vector<std::string> others;
        std::string key;
        std::vector<std::string> expected; // empty: the alert stays up
    } cases[] = {
        {"Cancel", {"OK"}, "\n", {"clicked 1"}},
        {"Cancel", {"OK"}, "escape", {"clicked 0"}},
        {"Cancel", {"Save", "Discard"}, "\n", {"clicked 1"}},
        {"OK", {}, "\n", {"clicked 0"}},      // the only button is the default
        {"OK", {}, "escape", {"clicked 0"}},  // and the cancel button
        {"", {"Retry"}, "escape", {}},        // no cancel button: Escape does nothing
        {"", {}, "\n", {}},                   // no button at all
        {"Cancel", {"OK"}, "left", {}},       // other keys leave it
    };
    for (const auto& c : cases) {
        AlertLog log;
        auto alert = std::make_shared<AlertView>("Title", "Message", &log, c.cancel, c.others);
        alert->show();
        window->pressKey(c.key);
        EXPECT_EQ(log.events, c.expected) << c.cancel << " " << c.key;
        EXPECT_EQ(alert->isVisible(), c.expected.empty()) << c.cancel << " " << c.key;
        AlertView::dismissAllForTesting();
    }
    // Typed as text, Return answers the alert too.
    AlertLog log;
    auto alert = std::make_shared<AlertView>("Title", "", &log, "Cancel", std::vector<std::string>{"OK"});
    alert->show();
    window->typeText("\n");
    EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1"}));
    EXPECT_EQ(returns, 0);
    // Without an alert the field has Return again.
    window->pressKey("\n");
    EXPECT_EQ(returns, 1);
}

// An alert takes every key: nothing typed, deleted, pasted, composed or tabbed reaches the
// field behind it, which keeps its focus and gets the keys back once the alert has gone. A
// field of the alert's own hears them.
TEST_F(DesktopInputTest, WhileAnAlertIsUpNoKeyReachesTheFieldBehindIt)
{
    auto name = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    auto password = std::make_shared<TextField>(gfx::Rect(10, 60, 200, 30));
    password->setSecureTextEntry(true);
    window->addSubview(name);
    window->addSubview(password);
    base::Pasteboard::general()->setValueForType(base::Value("pasted"), base::Pasteboard::kTextType);

    const struct {
        const char* name;
        std::function<void()> input;
    } cases[] = {
        {"text", [&] { window->typeText("s3cret!"); }},
        {"text with a tab", [&] { window->typeText("alice\ts3cret!"); }},
        {"tab", [&] { window->pressKey("\t"); }},
        {"shift tab", [&] { window->pressKey("shift+\t"); }},
        {"backspace", [&] { window->pressKey("\b"); }},
        {"backspace as text", [&] { window->typeText("\b"); }},
        {"delete", [&] { window->pressKey("home"); window->pressKey("delete"); }},
        {"paste", [&] { window->pressKey("ctrl+v"); }},
        {"cut", [&] { window->pressKey("ctrl+a"); window->pressKey("ctrl+x"); }},
        {"composition", [&] { window->setMarkedText("你好"); window->typeText("你好"); }},
    };
    for (bool animated : {false, true}) {
        View::setAnimationsEnabled(animated);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (animated ? ", animated" : ""));
            name->setText("al");
            password->setText("");
            ASSERT_TRUE(name->becomeFirstResponder());
            AlertLog log;
            auto alert = std::make_shared<AlertView>("New version found", "", &log, "Later", std::vector<std::string>{"Update"});
            alert->show();
            base::RunLoop::main().advance(1);
            c.input();
            EXPECT_EQ(name->text(), "al");
            EXPECT_EQ(name->markedText(), "");
            EXPECT_EQ(password->text(), "");
            EXPECT_TRUE(name->isFirstResponder()) << "the focus stays where it was";
            EXPECT_TRUE(alert->isVisible());
            EXPECT_EQ(window->keyResponder(), nullptr);
            // Escape answers the alert; while it fades out, keys still go nowhere.
            window->pressKey("escape");
            EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 0"}));
            EXPECT_EQ(AlertView::visibleAlert() != nullptr, animated);
            window->typeText("x");
            if (!animated)
                name->setText("al");
            base::RunLoop::main().runUntil([&] { return !AlertView::visibleAlert(); }, 5);
            ASSERT_EQ(AlertView::visibleAlert(), nullptr);
            // Gone: the field behind has the keys again.
            EXPECT_EQ(window->keyResponder(), name.get());
            window->typeText("ice\t");
            EXPECT_EQ(name->text(), "alice");
            EXPECT_TRUE(password->isFirstResponder());
            window->typeText("pw");
            EXPECT_EQ(password->text(), "pw");
        }
    }

    // The alert's own field takes what is typed, and Tab keeps to the alert's fields.
    View::setAnimationsEnabled(false);
    ASSERT_TRUE(name->becomeFirstResponder());
    name->setText("");
    AlertLog log;
    auto alert = std::make_shared<AlertView>("Password", "", &log, "Cancel", std::vector<std::string>{"OK"});
    auto own = std::make_shared<TextField>(gfx::Rect(16, 60, 252, 30));
    auto second = std::make_shared<TextField>(gfx::Rect(16, 100, 252, 30));
    alert->addSubview(own);
    alert->addSubview(second);
    alert->show();
    ASSERT_TRUE(own->becomeFirstResponder());
    window->typeText("abc\b");
    window->pressKey("\t");
    EXPECT_TRUE(second->isFirstResponder());
    window->typeText("d");
    EXPECT_EQ(own->text(), "ab");
    EXPECT_EQ(second->text(), "d");
    EXPECT_EQ(name->text(), "");
    window->pressKey("\n");
    EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1"}));
}

TEST_F(DesktopInputTest, TabMovesTheFocusThroughTheLayersFieldsInReadingOrder)
{
    // Two rows of two fields added out of order, nested at different depths; a hidden field,
    // a disabled one, one scrolled out of its clipping box and one in another layer are passed over.
    auto screen = std::make_shared<View>(gfx::Rect(0, 0, 1024, 768));
    window->addSubview(screen);
    auto box = std::make_shared<View>(gfx::Rect(0, 100, 1024, 200));
    screen->addSubview(box);
    auto make = [](View& parent, gfx::Rect frame, const std::string& name) {
        auto field = std::make_shared<TextField>(frame);
        field->setPlaceholder(name);
        parent.addSubview(field);
        return field;
    };
    auto street = make(*box, {400, 60, 200, 30}, "street");      // row 2, right (window y 160)
    auto name = make(*screen, {100, 50, 200, 30}, "name");       // row 1, left
    auto city = make(*box, {100, 64, 200, 30}, "city");          // row 2, left: a few points lower
    auto phone = make(*screen, {400, 48, 200, 30}, "phone");     // row 1, right
    auto hidden = make(*screen, {700, 50, 200, 30}, "hidden");
    hidden->setHidden(true);
    auto disabled = make(*screen, {700, 160, 200, 30}, "disabled");
    disabled->setEnabled(false);
    auto clip = std::make_shared<View>(gfx::Rect(0, 400, 300, 40));
    clip->setClipsToBounds(true);
    screen->addSubview(clip);
    auto clipped = make(*clip, {0, 60, 200, 30}, "clipped");
    auto other = make(*window, {100, 600, 200, 30}, "other layer");

    ASSERT_TRUE(name->becomeFirstResponder());
    std::vector<std::string> walked;
    for (int i = 0; i < 5; ++i) {
        window->pressKey("\t");
        auto* focused = dynamic_cast<TextField*>(Responder::currentFirstResponder());
        walked.push_back(focused ? focused->placeholder() : "none");
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"phone", "city", "street", "name", "phone"}));
    walked.clear();
    for (int i = 0; i < 3; ++i) {
        window->pressKey("shift+\t");
        auto* focused = dynamic_cast<TextField*>(Responder::currentFirstResponder());
        walked.push_back(focused ? focused->placeholder() : "none");
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"name", "street", "city"}));
    // Tab never goes into the text, typed or pressed.
    window->typeText("Shanghai\t");
    EXPECT_EQ(city->text(), "Shanghai");
    EXPECT_TRUE(street->isFirstResponder());
    EXPECT_EQ(street->text(), "");
    // A script names the keys.
    Driver driver(*window);
    ScriptRunner runner(driver);
    ASSERT_TRUE(runner.runText("key shift+tab\n")) << runner.error();
    EXPECT_TRUE(city->isFirstResponder());
    ASSERT_TRUE(runner.runText("key tab\nkey tab\n")) << runner.error();
    EXPECT_TRUE(name->isFirstResponder());
}

// A delegate that logs what a scroll view tells it.
struct ScrollLog : ScrollViewDelegate {
    std::vector<std::string> events;
    void scrollViewWillBeginDragging(ScrollView&) override { events.push_back("willBeginDragging"); }
    void scrollViewDidEndDragging(ScrollView&, bool decelerate) override
    {
        events.push_back(decelerate ? "didEndDragging+" : "didEndDragging");
    }
    void scrollViewDidEndDecelerating(ScrollView&) override { events.push_back("didEndDecelerating"); }
};

TEST_F(DesktopInputTest, PagesTurnWithTheWheelAndTheKeysAsUnderAFinger)
{
    View::setAnimationsEnabled(false);
    // Three pages side by side, an ordinary vertical wheel, the pointer over them.
    auto pages = std::make_shared<ScrollView>(gfx::Rect(0, 0, 1024, 768));
    pages->setPagingEnabled(true);
    pages->setContentSize({3 * 1024, 768});
    ScrollLog log;
    pages->setDelegate(&log);
    window->addSubview(pages);
    auto& loop = base::RunLoop::main();
    auto settle = [&] {
        loop.advance(0.2);
        loop.runUntil([&] { return !pages->isDecelerating(); }, 5);
        loop.advance(2);
    };

    // One notch down turns one page at once, as a flick would.
    EXPECT_TRUE(window->scrollWheel({500, 400}, 0, 40));
    EXPECT_FALSE(pages->isDragging());
    EXPECT_TRUE(pages->isDecelerating());
    settle();
    EXPECT_EQ(pages->contentOffset().x, 1024);
    EXPECT_EQ(log.events, (std::vector<std::string>{"willBeginDragging", "didEndDragging+", "didEndDecelerating"}));
    // Back, and then two notches in quick succession: each turns its page, a turn under way
    // reaching its page (and its delegate hearing of it) before the next notch turns on.
    EXPECT_TRUE(window->scrollWheel({500, 400}, 0, -40));
    settle();
    EXPECT_EQ(pages->contentOffset().x, 0);
    log.events.clear();
    EXPECT_TRUE(window->scrollWheel({500, 400}, 0, 40));
    EXPECT_TRUE(window->scrollWheel({500, 400}, 0, 40));
    EXPECT_EQ(log.events, (std::vector<std::string>{"willBeginDragging", "didEndDragging+", "didEndDecelerating",
                                                    "willBeginDragging", "didEndDragging+"}));
    settle();
    EXPECT_EQ(pages->contentOffset().x, 2048);
    // At the last page the wheel going on is not taken; going back is.
    EXPECT_FALSE(window->scrollWheel({500, 400}, 0, 40));
    EXPECT_TRUE(window->scrollWheel({500, 400}, 0, -10));
    settle();
    EXPECT_EQ(pages->contentOffset().x, 1024);

    const struct {
        const char* key;
        double expected;
    } keys[] = {
        {"right", 2048}, {"right", 2048}, {"pageup", 1024}, {"left", 0},
        {"pagedown", 1024}, {"end", 2048}, {"home", 0}, {"up", 0},
    };
    for (const auto& k : keys) {
        log.events.clear();
        double before = pages->contentOffset().x;
        window->pressKey(k.key);
        EXPECT_EQ(pages->contentOffset().x, k.expected) << k.key;
        // A page reached by a key is settled, as by a finger.
        EXPECT_EQ(log.events.size(), before == k.expected ? 0u : 1u) << k.key;
    }
}

// Numbered rows in sections of `rows` each, with header views the test can find.
struct Sections : TableViewDataSource, TableViewDelegate {
    int sections = 1;
    int rows = 1000;
    std::map<int, std::weak_ptr<View>> headers;
    int numberOfSectionsInTableView(TableView&) override { return sections; }
    int numberOfRowsInSection(TableView&, int) override { return rows; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell)
            cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "row");
        cell->textLabel().setText(std::to_string(ip.section) + "." + std::to_string(ip.row));
        return cell;
    }
    double heightForHeaderInSection(TableView&, int) override { return 30; }
    std::shared_ptr<View> viewForHeaderInSection(TableView&, int section) override
    {
        auto header = std::make_shared<Label>(gfx::Rect(0, 0, 10, 30));
        header->setText("Section " + std::to_string(section));
        headers[section] = header;
        return header;
    }
};

TEST_F(DesktopInputTest, PageKeysScrollTheListUnderThePointerByAScreenful)
{
    Sections data;
    auto table = std::make_shared<TableView>(gfx::Rect(0, 68, 1024, 700));
    table->setDataSource(&data);
    table->setDelegate(&data);
    window->addSubview(table);
    auto field = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    window->addSubview(field);
    window->layoutIfNeeded();
    double bottom = table->maximumContentOffset().y;
    ASSERT_GT(bottom, 10000);
    window->setPointerLocation({500, 400});

    const struct {
        const char* key;
        bool focused; // a text field has the focus
        double expected;
    } cases[] = {
        {"pagedown", false, 700}, {"pagedown", true, 1400}, {"pageup", false, 700},
        {"end", false, bottom},   {"pagedown", false, bottom}, {"home", false, 0},
        {"end", true, 0},         // the field's own End: the list stays
        {"right", false, 0},      // nothing sideways to scroll
    };
    for (const auto& c : cases) {
        if (c.focused)
            field->becomeFirstResponder();
        else
            field->resignFirstResponder();
        window->pressKey(c.key);
        EXPECT_EQ(table->contentOffset().y, c.expected) << c.key << (c.focused ? " focused" : "");
    }
    // The rows shown follow.
    window->pressKey("end");
    Driver driver(*window);
    EXPECT_NE(driver.findByText("0.999"), nullptr);
    // With the pointer elsewhere the list stays.
    window->setPointerLocation({500, 20});
    window->pressKey("home");
    EXPECT_EQ(table->contentOffset().y, bottom);
}

// Picks recorded, for a list of search results.
struct Picks : Sections {
    std::vector<std::string> picked;
    void didSelectRowAtIndexPath(TableView&, const IndexPath& ip) override
    {
        picked.push_back(std::to_string(ip.section) + "." + std::to_string(ip.row));
    }
};

struct PopoverLog : PopoverControllerDelegate {
    int dismissed = 0;
    void popoverControllerDidDismissPopover(PopoverController&) override { ++dismissed; }
};

// A sheet whose Escape is its Cancel.
class Sheet : public ViewController {
public:
    int cancelled = 0;
    bool escapePressed() override
    {
        ++cancelled;
        dismissViewController(false, {});
        return true;
    }
};

TEST_F(DesktopInputTest, EscapeClosesTheTopLayerAndArrowsAndReturnPickFromAPopoversList)
{
    View::setAnimationsEnabled(false);
    auto root = std::make_shared<ViewController>();
    window->setRootViewController(root);
    auto field = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    root->view()->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    field->setText("lamp");

    // Search results in a popover under the field, which keeps the focus.
    Picks results;
    results.rows = 3;
    auto content = std::make_shared<ViewController>();
    auto list = std::make_shared<TableView>(gfx::Rect(0, 0, 320, 300));
    list->setDataSource(&results);
    list->setDelegate(&results);
    content->setView(list);
    auto popover = std::make_shared<PopoverController>(content);
    popover->setPopoverContentSize({320, 300});
    PopoverLog log;
    popover->setDelegate(&log);
    popover->presentPopoverFromRect({10, 10, 200, 30}, root->view().get(), PopoverArrowDirectionUp, false);
    ASSERT_TRUE(popover->isPopoverVisible());

    const struct {
        const char* key;
        std::optional<int> highlighted; // the row shown picked out
        std::vector<std::string> picked;
    } steps[] = {
        {"\n", std::nullopt, {}}, // nothing highlighted: Return stays the field's
        {"down", 0, {}},  {"down", 1, {}}, {"down", 2, {}}, {"down", 2, {}}, // the end of the list
        {"up", 1, {}},    {"\n", 1, {"0.1"}},
    };
    for (const auto& step : steps) {
        window->pressKey(step.key);
        auto selected = list->indexPathForSelectedRow();
        EXPECT_EQ(selected ? std::optional<int>(selected->row) : std::nullopt, step.highlighted) << step.key;
        EXPECT_EQ(results.picked, step.picked) << step.key;
        EXPECT_EQ(field->text(), "lamp");
        EXPECT_TRUE(field->isFirstResponder());
    }
    // Escape closes the popover as a click outside it does.
    window->pressKey("escape");
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_EQ(log.dismissed, 1);

    // A sheet on top: Escape is its Cancel; with nothing on top it does nothing.
    auto sheet = std::make_shared<Sheet>();
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    root->presentViewController(sheet, false, {});
    ASSERT_EQ(root->presentedViewController(), sheet);
    window->pressKey("escape");
    EXPECT_EQ(sheet->cancelled, 1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    window->pressKey("escape");
    EXPECT_EQ(sheet->cancelled, 1);
}

TEST_F(DesktopInputTest, LineAndPageKeysGoToTheListWithTheFocusElseTheOneUnderThePointer)
{
    View::setAnimationsEnabled(false);
    // A master list on the left, a detail pane on the right that does not scroll.
    Sections data;
    auto master = std::make_shared<TableView>(gfx::Rect(0, 0, 320, 768));
    master->setDataSource(&data);
    master->setDelegate(&data);
    window->addSubview(master);
    auto detail = std::make_shared<View>(gfx::Rect(320, 0, 704, 768));
    window->addSubview(detail);
    // A list holding a field, as a form does.
    Sections formRows;
    formRows.rows = 100;
    auto form = std::make_shared<TableView>(gfx::Rect(320, 0, 704, 400));
    form->setDataSource(&formRows);
    auto field = std::make_shared<TextField>(gfx::Rect(10, 5, 200, 30));
    form->addSubview(field);
    window->addSubview(form);
    window->layoutIfNeeded();
    double bottom = master->maximumContentOffset().y;

    const struct {
        std::function<void()> before;
        const char* key;
        double master, form;
    } steps[] = {
        // Up and Down move through the list under the pointer a row (44 points) at a time.
        {[&] { window->setPointerLocation({100, 400}); }, "down", 44, 0},
        {[] {}, "down", 88, 0},
        {[] {}, "up", 44, 0},
        // Over the detail pane with nothing clicked, the keys move nothing.
        {[&] { window->setPointerLocation({700, 600}); }, "end", 44, 0},
        // A click in the list gives it the keys, wherever the pointer goes then.
        {[&] {
             window->touchDown(1, {100, 300});
             window->touchUp(1, {100, 300});
             window->setPointerLocation({700, 600});
         },
         "end", bottom, 0},
        {[] {}, "home", 0, 0},
        {[] {}, "pagedown", 768, 0},
        // A field in another list has the focus: that list takes the line and page keys.
        // A line there is one of its 44-point rows.
        {[&] { field->becomeFirstResponder(); }, "down", 768, 44},
        {[] {}, "pagedown", 768, 444},
        {[] {}, "end", 768, 444}, // the field's own End
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].before();
        window->pressKey(steps[i].key);
        EXPECT_EQ(master->contentOffset().y, steps[i].master) << "step " << i << " " << steps[i].key;
        EXPECT_EQ(form->contentOffset().y, steps[i].form) << "step " << i << " " << steps[i].key;
    }
}

TEST_F(DesktopInputTest, LineKeysMoveAListByOneOfItsRows)
{
    View::setAnimationsEnabled(false);
    // Rows of 50 points under pinned 30-point headers, two sections of six: a line key
    // leaves the next row whole at the top, under its section's header.
    struct FiftyPointRows : Sections {
        double heightForRowAtIndexPath(TableView&, const IndexPath&) override { return 50; }
    } data;
    data.sections = 2;
    data.rows = 6;
    const struct {
        const char* name;
        TableViewStyle style;
        double insetTop;
        std::vector<std::pair<const char*, double>> keys; // the key and the offset after it
    } cases[] = {
        {"plain",
         TableViewStyle::Plain,
         0,
         {{"down", 50}, {"down", 100}, {"down", 150}, {"down", 200}, {"down", 250}, {"down", 330}, {"down", 380},
          {"up", 330}, {"up", 250}, {"home", 0}, {"up", 0}}},
        {"plain under a 44-point bar", TableViewStyle::Plain, 44, {{"down", 6}, {"down", 56}, {"up", 6}, {"up", -44}}},
        // A grouped list pins nothing: each row's top comes to the top.
        {"grouped", TableViewStyle::Grouped, 0, {{"down", 30}, {"down", 80}, {"up", 30}, {"up", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto table = std::make_shared<TableView>(gfx::Rect(0, 0, 600, 200), c.style);
        table->setDataSource(&data);
        table->setDelegate(&data);
        table->setContentInset({c.insetTop, 0, 0, 0});
        table->setContentOffset({0, -c.insetTop});
        window->addSubview(table);
        window->layoutIfNeeded();
        window->setPointerLocation({100, 100});
        for (const auto& [key, offset] : c.keys) {
            window->pressKey(key);
            EXPECT_EQ(table->contentOffset().y, offset) << key;
        }
        table->removeFromSuperview();
    }
}

TEST_F(DesktopInputTest, PlainSectionHeadersStayPinnedWhileTheirSectionScrolls)
{
    Sections data;
    data.sections = 3;
    data.rows = 20; // 30 + 20 × 44 = 910 points a section
    for (auto style : {TableViewStyle::Plain, TableViewStyle::Grouped}) {
        data.headers.clear();
        auto table = std::make_shared<TableView>(gfx::Rect(0, 0, 600, 400), style);
        table->setDataSource(&data);
        table->setDelegate(&data);
        window->addSubview(table);
        window->layoutIfNeeded();
        double second = table->rectForHeaderInSection(1).y();
        ASSERT_GT(second, 800);
        bool plain = style == TableViewStyle::Plain;
        const struct {
            double offset;
            int section;      // whose header is on top
            double pinnedY;   // where it is shown in a plain table
        } cases[] = {
            {0, 0, 0},
            {300, 0, 300},                  // pinned at the top of the view
            {second - 10, 0, second - 30},  // pushed up by the next section
            {second + 500, 1, second + 500},
        };
        for (const auto& c : cases) {
            table->setContentOffset({0, c.offset});
            window->layoutIfNeeded();
            auto header = data.headers[c.section].lock();
            double natural = table->rectForHeaderInSection(c.section).y();
            if (!plain) {
                // A grouped table's headers scroll away with their rows.
                if (header && header->superview() == table.get())
                    EXPECT_EQ(header->frame().y(), natural) << c.offset;
                else
                    EXPECT_LT(natural + 30, c.offset);
                continue;
            }
            ASSERT_TRUE(header && header->superview() == table.get()) << c.offset;
            EXPECT_EQ(header->frame().y(), c.pinnedY) << c.offset;
            // Over the rows that pass under it.
            auto& subs = table->subviews();
            auto at = std::find_if(subs.begin(), subs.end(), [&](auto& v) { return v == header; });
            for (auto it = at + 1; it != subs.end(); ++it)
                EXPECT_EQ(dynamic_cast<TableViewCell*>(it->get()), nullptr);
        }
        table->removeFromSuperview();
    }
}

TEST_F(DesktopInputTest, APasswordFieldTakesNoCompositionAndDirectCharacters)
{
    window->setBackgroundColor(gfx::Color::white());
    auto password = std::make_shared<TextField>(gfx::Rect(100, 100, 300, 40));
    password->setSecureTextEntry(true);
    auto plain = std::make_shared<TextField>(gfx::Rect(100, 200, 300, 40));
    window->addSubview(password);
    window->addSubview(plain);
    EXPECT_FALSE(password->acceptsComposition());
    EXPECT_TRUE(plain->acceptsComposition());

    ASSERT_TRUE(password->becomeFirstResponder());
    window->typeText("ab");
    auto fieldPixels = [&] {
        auto shot = window->snapshot();
        std::vector<uint32_t> pixels;
        for (int y = 100; y < 140; ++y)
            for (int x = 100; x < 400; ++x)
                pixels.push_back(shot.pixelAt(x, y));
        return pixels;
    };
    auto before = fieldPixels();
    window->setMarkedText("你好");
    EXPECT_EQ(password->markedText(), "");
    // Nothing composed shows: the field looks as it did.
    EXPECT_EQ(fieldPixels(), before);
    window->typeText("c!");
    EXPECT_EQ(password->text(), "abc!");

    // A plain field shows the composition until it is committed.
    ASSERT_TRUE(plain->becomeFirstResponder());
    window->setMarkedText("你好");
    EXPECT_EQ(plain->markedText(), "你好");
    // A field turned secure while composing drops the composition.
    plain->setSecureTextEntry(true);
    EXPECT_EQ(plain->markedText(), "");
}

TEST_F(DesktopInputTest, WithoutAnOnScreenKeyboardTheNoticesReportNothingCovered)
{
    std::vector<double> covered;
    auto& center = base::NotificationCenter::defaultCenter();
    std::vector<base::ObserverToken> tokens;
    for (const char* name : {kKeyboardWillShowNotification, kKeyboardWillHideNotification})
        tokens.push_back(center.addObserver(name, nullptr, [&](const base::Notification& n) {
            covered.push_back(Keyboard::coveredHeight(n.userInfo));
        }));
    auto field = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    window->addSubview(field);
    for (bool onScreen : {true, false}) {
        Keyboard::setOnScreen(onScreen);
        Keyboard::setCurrentInputModePrimaryLanguage(std::string("zh-Hans"));
        covered.clear();
        field->becomeFirstResponder();
        field->resignFirstResponder();
        double expected = onScreen ? Keyboard::kHeight + Keyboard::kChineseExtraHeight : 0;
        EXPECT_EQ(covered, (std::vector<double>{expected, expected})) << onScreen;
    }
}

TEST_F(DesktopInputTest, CopyAndPasteGoThroughTheDesktopClipboardWhenAWindowGivesOne)
{
    auto field = std::make_shared<TextField>(gfx::Rect(10, 10, 300, 30));
    window->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    auto copyAndPaste = [&](const std::string& text) {
        field->setText(text);
        window->pressKey("ctrl+a");
        window->pressKey("ctrl+c");
        field->setText("");
        window->pressKey("ctrl+v");
        return field->text();
    };

    // No desktop clipboard (headless): the text stays in this process.
    EXPECT_EQ(copyAndPaste("上海 street"), "上海 street");
    EXPECT_EQ(base::Pasteboard::general()->valueForType(base::Pasteboard::kTextType)->asString(), "上海 street");

    std::string desktop = "from another program";
    std::vector<std::string> written;
    base::Pasteboard::setSystemClipboard(base::Pasteboard::Clipboard{
        [&] { return std::optional<std::string>(desktop); },
        [&](const std::string& text) {
            written.push_back(text);
            desktop = text;
            return true;
        }});
    field->setText("");
    window->pressKey("ctrl+v");
    EXPECT_EQ(field->text(), "from another program");
    EXPECT_EQ(copyAndPaste("北京 road"), "北京 road");
    EXPECT_EQ(written, (std::vector<std::string>{"北京 road"}));
    // A password never reaches the desktop either.
    field->setSecureTextEntry(true);
    copyAndPaste("secret");
    EXPECT_EQ(written.size(), 1u);
    base::Pasteboard::setSystemClipboard(std::nullopt);
    // Back in this process, with what it held before.
    field->setSecureTextEntry(false);
    field->setText("");
    window->pressKey("ctrl+v");
    EXPECT_EQ(field->text(), "上海 street");
}


// A popover with a field of its own takes the keys: while it is up, typing, Backspace and Tab
// reach no field behind it, even one that still has the caret; its own field hears them. A
// popover of results over the field being typed in leaves the keys to that field, and closed,
// a popover gives them back.
TEST_F(DesktopInputTest, APopoverWithAFieldOfItsOwnTakesTheKeysFromTheFieldsBehindIt)
{
    View::setAnimationsEnabled(false);
    auto root = std::make_shared<ViewController>();
    window->setRootViewController(root);
    auto behind = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    auto next = std::make_shared<TextField>(gfx::Rect(220, 10, 200, 30));
    root->view()->addSubview(behind);
    root->view()->addSubview(next);

    struct Case {
        const char* what;
        bool ownField;       // the popover holds a field of its own
        bool focusOwnField;  // and that field has the caret
        const char* behindAfter;
        const char* ownAfter;
        bool tabMovesBehind;
    };
    const Case cases[] = {
        {"a list of results", false, false, "lamps", "", true},
        {"a field, the caret left behind", true, false, "lamp", "", false},
        {"a field with the caret", true, true, "lamp", "10", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        behind->setText("lamp");
        ASSERT_TRUE(behind->becomeFirstResponder());
        Picks results;
        auto content = std::make_shared<ViewController>();
        auto own = std::make_shared<TextField>(gfx::Rect(10, 10, 100, 30));
        if (c.ownField) {
            content->view()->addSubview(own);
        } else {
            auto list = std::make_shared<TableView>(gfx::Rect(0, 0, 320, 300));
            list->setDataSource(&results);
            list->setDelegate(&results);
            content->setView(list);
        }
        auto popover = std::make_shared<PopoverController>(content);
        popover->setPopoverContentSize({320, 300});
        popover->presentPopoverFromRect({10, 10, 200, 30}, root->view().get(), PopoverArrowDirectionUp, false);
        ASSERT_TRUE(popover->isPopoverVisible());
        if (c.focusOwnField) {
            ASSERT_TRUE(own->becomeFirstResponder());
        }

        window->typeText("x");
        window->pressKey("\b");
        window->typeText(c.ownField ? "10" : "s");
        window->pressKey("\t");
        EXPECT_EQ(behind->text(), c.behindAfter);
        EXPECT_EQ(own->text(), c.ownAfter);
        EXPECT_EQ(next->isFirstResponder(), c.tabMovesBehind) << "Tab and the caret behind the popover";

        popover->dismissPopoverAnimated(false);
        ASSERT_TRUE(behind->becomeFirstResponder());
        window->typeText("!");
        EXPECT_EQ(behind->text(), std::string(c.behindAfter) + "!") << "closed, the popover gives the keys back";
    }
}
} // namespace

namespace {

// A sheet takes the keys as a popover does: while a controller presented on top covers a
// field that still has the caret, typing, Backspace, Tab and the page keys reach neither it
// nor the list holding it, nor a list clicked last; the sheet's own field hears them. Gone,
// the sheet gives them back.
TEST_F(DesktopInputTest, APresentedSheetTakesTheKeysFromTheFieldsItCovers)
{
    View::setAnimationsEnabled(false);
    auto root = std::make_shared<ViewController>();
    window->setRootViewController(root);
    // A list of lines, one of them being typed in, as an order's quantity is.
    Sections rows;
    rows.rows = 100;
    auto lines = std::make_shared<TableView>(gfx::Rect(0, 0, 1024, 400));
    lines->setDataSource(&rows);
    root->view()->addSubview(lines);
    auto behind = std::make_shared<TextField>(gfx::Rect(10, 5, 200, 30));
    lines->addSubview(behind);
    auto next = std::make_shared<TextField>(gfx::Rect(220, 5, 200, 30));
    lines->addSubview(next);

    struct Case {
        const char* what;
        ModalPresentationStyle style;
        bool ownFieldFocused; // the sheet's own field has the caret
        const char* ownAfter;
        bool listClicked = false; // no field has the caret: the list was clicked last
    };
    const Case cases[] = {
        {"a form sheet", ModalPresentationStyle::FormSheet, false, ""},
        {"a page sheet", ModalPresentationStyle::PageSheet, false, ""},
        {"a full-screen screen", ModalPresentationStyle::FullScreen, false, ""},
        {"a form sheet whose own field has the caret", ModalPresentationStyle::FormSheet, true, "7"},
        {"a form sheet over the list clicked last", ModalPresentationStyle::FormSheet, false, "", true},
        {"a page sheet over the list clicked last", ModalPresentationStyle::PageSheet, false, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        behind->setText("3");
        window->layoutIfNeeded();
        lines->setContentOffset({0, 0});
        if (c.listClicked) {
            window->touchDown(1, {600, 200});
            window->touchUp(1, {600, 200});
            ASSERT_EQ(Responder::currentFirstResponder(), nullptr);
        } else {
            ASSERT_TRUE(behind->becomeFirstResponder());
        }
        auto sheet = std::make_shared<ViewController>();
        sheet->setModalPresentationStyle(c.style);
        auto own = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
        sheet->view()->addSubview(own);
        root->presentViewController(sheet, false);
        ASSERT_EQ(root->presentedViewController(), sheet);
        if (c.ownFieldFocused) {
            ASSERT_TRUE(own->becomeFirstResponder());
        }

        window->typeText("77");
        window->pressKey("\b");
        window->pressKey("\t");
        window->setPointerLocation({5, 5});
        window->pressKey("pagedown");
        EXPECT_EQ(behind->text(), "3");
        EXPECT_EQ(own->text(), c.ownAfter);
        EXPECT_FALSE(next->isFirstResponder()) << "Tab moved the caret behind the sheet";
        EXPECT_EQ(lines->contentOffset().y, 0) << "a page key scrolled the list behind the sheet";

        root->dismissViewController(false);
        ASSERT_EQ(root->presentedViewController(), nullptr);
        if (c.listClicked) {
            window->pressKey("pagedown");
            EXPECT_GT(lines->contentOffset().y, 0) << "gone, the sheet gives the page keys back";
        }
        ASSERT_TRUE(behind->becomeFirstResponder());
        window->typeText("!");
        EXPECT_EQ(behind->text(), "3!") << "gone, the sheet gives the keys back";
        behind->resignFirstResponder();
    }
}

} // namespace

namespace {

// A field that refuses the caret, as an address composed from its parts does, or that opens a
// popup with a field of its own instead.
struct Refusing : TextFieldDelegate {
    std::function<void()> instead;
    bool textFieldShouldBeginEditing(TextField&) override
    {
        if (instead)
            instead();
        return false;
    }
};

// Reaching a field that refuses the caret, by a click or by Tab, never leaves the caret where
// the next keys would go on into the field the user left: a click ends that field's typing,
// Tab passes over to the next field, and a popup the refusing field opens keeps the caret.
TEST_F(DesktopInputTest, AFieldThatRefusesTheCaretNeverLeavesTheKeysInTheFieldLeft)
{
    View::setAnimationsEnabled(false);
    auto root = std::make_shared<ViewController>();
    window->setRootViewController(root);
    auto name = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    auto address = std::make_shared<TextField>(gfx::Rect(220, 10, 200, 30));
    auto note = std::make_shared<TextField>(gfx::Rect(430, 10, 200, 30));
    for (const auto& field : {name, address, note})
        root->view()->addSubview(field);
    Refusing refusing;
    address->setDelegate(&refusing);
    Driver driver(*window);

    struct Case {
        const char* what;
        bool opensPopup;
        bool byTab;
        const char* nameAfter;
        const char* noteAfter;
        const char* popupAfter;
    };
    const Case cases[] = {
        {"a click on a field that refuses", false, false, "Globex", "", ""},
        {"Tab onto a field that refuses", false, true, "Globex", "9 Oak", ""},
        {"a click on a field that opens a popup", true, false, "Globex", "", "9 Oak"},
        {"Tab onto a field that opens a popup", true, true, "Globex", "", "9 Oak"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        name->setText("");
        note->setText("");
        std::shared_ptr<PopoverController> popover;
        auto popupField = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
        refusing.instead = nullptr;
        if (c.opensPopup)
            refusing.instead = [&] {
                auto content = std::make_shared<ViewController>();
                content->view()->addSubview(popupField);
                popover = std::make_shared<PopoverController>(content);
                popover->setPopoverContentSize({320, 100});
                popover->presentPopoverFromRect(address->frame(), root->view().get(), PopoverArrowDirectionUp, false);
                popupField->becomeFirstResponder();
            };
        ASSERT_TRUE(driver.tap(name.get()));
        driver.type("Globex");
        if (c.byTab)
            driver.pressKey("\t");
        else
            ASSERT_TRUE(driver.tap(address.get()));
        driver.type("9 Oak");
        EXPECT_EQ(name->text(), c.nameAfter);
        EXPECT_EQ(address->text(), "");
        EXPECT_EQ(note->text(), c.noteAfter);
        EXPECT_EQ(popupField->text(), c.popupAfter);
        if (popover)
            popover->dismissPopoverAnimated(false);
        note->resignFirstResponder();
    }
    address->setDelegate(nullptr);
}

} // namespace
