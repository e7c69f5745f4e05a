#include "tests/App/AppWindowTestSupport.h"

#include "Common/MessageBox.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/Label.h"

#include <cstdlib>
#include <thread>

namespace {

using apptest::AppWindowTest;

class Requester : public MessageBoxDelegate {
public:
    std::vector<std::string> events;
    void msgBoxClickedButtonAtIndex(int tag, int index) override { note("clicked", tag, index); }
    void msgBoxCancel(int tag) override { note("cancel", tag); }
    void willPresentMsgBox(int tag) override { note("willPresent", tag); }
    void didPresentMsgBox(int tag) override { note("didPresent", tag); }
    void msgBoxWillDismissWithButtonIndex(int tag, int index) override { note("willDismiss", tag, index); }
    void msgBoxDidDismissWithButtonIndex(int tag, int index) override { note("didDismiss", tag, index); }

private:
    void note(const char* what, int tag, int index = -2)
    {
        std::string line = std::string(what) + " " + std::to_string(tag);
        if (index != -2)
            line += " " + std::to_string(index);
        events.push_back(line);
    }
};

class MessageBoxTest : public AppWindowTest {
protected:
    static std::shared_ptr<MessageBox> boxes() { return MessageBox::sharedInstance(); }
    static int show(const std::string& title, const std::string& message, int type,
                    const std::shared_ptr<MessageBoxDelegate>& requester = nullptr, const std::string& cancel = "")
    {
        return boxes()->showMessageBoxWithTitleMessageDelegateCancelButtonTitleMsgBoxType(title, message, requester,
                                                                                          cancel, type);
    }
    static bool isOpen(int tag) { return boxes()->msgBoxDic().count(tag) == 1; }
    ui::Label* waitLabel() const { return dynamic_cast<ui::Label*>(driver->findByTag(MessageBox::kWaitLabelTag)); }
};

TEST_F(MessageBoxTest, WaitBoxShowsItsTextAndClosesAfterWholeSecondsOfItsTimeOut)
{
    double start = now();
    boxes()->BeginBlockWaitTimeout("Loading", 2.9);
    int tag = boxes()->waitMsgBoxtag();
    ASSERT_NE(tag, 0);
    ASSERT_NE(waitLabel(), nullptr);
    EXPECT_EQ(waitLabel()->text(), "Loading");
    auto* indicator = dynamic_cast<ui::ActivityIndicator*>(driver->findByClass("ActivityIndicator"));
    ASSERT_NE(indicator, nullptr);
    EXPECT_TRUE(indicator->isAnimating());
    EXPECT_EQ(indicator->frame(), gfx::Rect(132, 33.5, 20, 20));
    EXPECT_EQ(waitLabel()->frame(), gfx::Rect(0, 56.5, 280, 44));
    // The box is drawn around its text.
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_GE(alert->bounds().height(), waitLabel()->frame().maxY());
    EXPECT_EQ(alert->numberOfButtons(), 0);
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
        driver->wait(0.3);
        EXPECT_TRUE(driver->screenshot(std::string(review) + "/wait_box.png"));
    }

    advanceTo(start, 1.9);
    EXPECT_NE(waitLabel(), nullptr);
    EXPECT_EQ(boxes()->waitMsgBoxtag(), tag);
    advanceTo(start, 2.0);
    EXPECT_EQ(waitLabel(), nullptr);
    EXPECT_FALSE(isOpen(tag));
    // Callers read the tag as "a wait box is open".
    EXPECT_EQ(boxes()->waitMsgBoxtag(), 0);
    boxes()->ChangeWaitMessage("Late");
    EXPECT_FALSE(isOpen(tag));
}

TEST_F(MessageBoxTest, ShortTimeOutsCloseAtTheNextTurnOfTheLoop)
{
    boxes()->BeginBlockWaitTimeout("Quick", 0.5);
    int tag = boxes()->waitMsgBoxtag();
    EXPECT_TRUE(isOpen(tag));
    base::RunLoop::main().runPending();
    EXPECT_FALSE(isOpen(tag));
    EXPECT_EQ(boxes()->waitMsgBoxtag(), 0);

    // Delays are cut toward zero: 1.99 s is one second.
    int alert = show("Title", "Body", MessageBox::Alert, nullptr, "OK");
    double start = now();
    boxes()->dimissMsgBoxAfterDelay(alert, 1.99);
    advanceTo(start, 0.99);
    EXPECT_TRUE(isOpen(alert));
    advanceTo(start, 1.0);
    EXPECT_FALSE(isOpen(alert));
}

TEST_F(MessageBoxTest, WaitTextChangesAndEndingWithoutABoxOnlyClearsTheTag)
{
    boxes()->ChangeWaitMessage("Nobody"); // no box: nothing happens
    EXPECT_TRUE(boxes()->msgBoxDic().empty());

    boxes()->BeginBlockWaitTimeout("Loading", 30);
    boxes()->ChangeWaitMessage("Saving");
    ASSERT_NE(waitLabel(), nullptr);
    EXPECT_EQ(waitLabel()->text(), "Saving");

    int alert = show("Title", "Body", MessageBox::Alert, nullptr, "OK");
    boxes()->EndBlockWait();
    EXPECT_EQ(boxes()->waitMsgBoxtag(), 0);
    boxes()->EndBlockWait();
    EXPECT_EQ(boxes()->waitMsgBoxtag(), 0);
    EXPECT_TRUE(isOpen(alert));
    EXPECT_EQ(boxes()->msgBoxDic().size(), 1u);

    // BlockWaitEnd closes the wait box after its delay, and needs one to act on.
    boxes()->BlockWaitEnd(1);
    double start = now();
    boxes()->BeginBlockWaitTimeout("Again", 60);
    int wait = boxes()->waitMsgBoxtag();
    boxes()->BlockWaitEnd(3.7);
    advanceTo(start, 2.9);
    EXPECT_TRUE(isOpen(wait));
    advanceTo(start, 3.0);
    EXPECT_FALSE(isOpen(wait));
    EXPECT_EQ(boxes()->waitMsgBoxtag(), 0);
}

TEST_F(MessageBoxTest, ASecondWaitBoxReplacesTheFirstWhoseTimeOutLeavesItAlone)
{
    double start = now();
    boxes()->BeginBlockWaitTimeout("First", 1.5);
    int first = boxes()->waitMsgBoxtag();
    boxes()->BeginBlockWaitTimeout("Second", 5);
    int second = boxes()->waitMsgBoxtag();
    EXPECT_EQ(second, first + 1);
    EXPECT_FALSE(isOpen(first));
    EXPECT_TRUE(isOpen(second));
    EXPECT_EQ(boxes()->msgBoxDic().size(), 1u);

    advanceTo(start, 1.0); // the first one's dismissal fires and finds nothing
    EXPECT_TRUE(isOpen(second));
    EXPECT_EQ(boxes()->waitMsgBoxtag(), second);
    ASSERT_NE(waitLabel(), nullptr);
    EXPECT_EQ(waitLabel()->text(), "Second");
    advanceTo(start, 5.0);
    EXPECT_FALSE(isOpen(second));
    EXPECT_EQ(boxes()->waitMsgBoxtag(), 0);
}

TEST_F(MessageBoxTest, NoticesCloseThemselvesAndTagsAreNeverReused)
{
    double start = now();
    int alert = show("Title", "Body", MessageBox::Alert, nullptr, "OK");
    int notice = show("", "Saved", MessageBox::Notice);
    int nothing = show("Ignored", "Ignored", 5);
    EXPECT_EQ(notice, alert + 1);
    EXPECT_EQ(nothing, notice + 1);
    // Type 5 takes a tag but makes no box.
    EXPECT_FALSE(isOpen(nothing));
    EXPECT_TRUE(isOpen(notice));

    // Alerts take turns on screen: the notice shows once the alert is answered.
    ASSERT_TRUE(driver->tap(driver->findByText("OK")));
    auto* text = dynamic_cast<ui::Label*>(driver->findByText("Saved"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->frame(), gfx::Rect(40, 22, 197, 24));
    advanceTo(start, 1.9);
    EXPECT_TRUE(isOpen(notice));
    advanceTo(start, 2.0);
    EXPECT_FALSE(isOpen(notice));
    driver->wait(0.3);
    EXPECT_EQ(driver->findByText("Saved"), nullptr);
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);

    EXPECT_EQ(show("Next", "", MessageBox::Alert, nullptr, "OK"), nothing + 1);
}

TEST_F(MessageBoxTest, AlertEventsReachTheRequesterWithTheTagAndAClickClosesTheBox)
{
    auto requester = std::make_shared<Requester>();
    int tag = show("Delete?", "It cannot be undone.", MessageBox::Alert, requester, "Cancel");
    driver->wait(0.3);
    std::string t = std::to_string(tag);
    EXPECT_EQ(requester->events, (std::vector<std::string>{"willPresent " + t, "didPresent " + t}));

    ASSERT_TRUE(driver->tap(driver->findByText("Cancel")));
    EXPECT_EQ(requester->events.at(2), "clicked " + t + " 0");
    EXPECT_FALSE(isOpen(tag));
    EXPECT_EQ(driver->findByText("Delete?"), nullptr);

    // Closed by its owner: told it goes, but not that it was clicked.
    requester->events.clear();
    int other = show("Wait", "", MessageBox::Alert, requester, "OK");
    driver->wait(0.3);
    requester->events.clear();
    boxes()->dimissMsgBoxWithStrtag(other);
    EXPECT_EQ(requester->events, (std::vector<std::string>{"willDismiss " + std::to_string(other) + " 0"}));
    EXPECT_FALSE(isOpen(other));
}

TEST_F(MessageBoxTest, RequestersAreNotKeptAliveAndNeedNotAnswer)
{
    // One that answers nothing still sees its box come and go.
    auto silent = std::make_shared<MessageBoxDelegate>();
    int tag = show("Plain", "", MessageBox::Alert, silent, "OK");
    ASSERT_TRUE(driver->tap(driver->findByText("OK")));
    EXPECT_FALSE(isOpen(tag));

    auto requester = std::make_shared<Requester>();
    std::weak_ptr<Requester> watch = requester;
    tag = show("Orphan", "", MessageBox::Alert, requester, "OK");
    requester.reset();
    EXPECT_TRUE(watch.expired());
    ASSERT_TRUE(driver->tap(driver->findByText("OK")));
    EXPECT_FALSE(isOpen(tag));
}

TEST_F(MessageBoxTest, AWorkerTakesItsTagAtOnceAndTheBoxAppearsOnTheMainLoop)
{
    int tag = 0;
    std::thread worker([&] { tag = show("From a worker", "", MessageBox::Alert, nullptr, "OK"); });
    worker.join();
    ASSERT_NE(tag, 0);
    // Nothing of the view tree was touched off the main thread.
    EXPECT_FALSE(isOpen(tag));
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
    base::RunLoop::main().runPending();
    EXPECT_TRUE(isOpen(tag));
    ASSERT_NE(ui::AlertView::visibleAlert(), nullptr);
    EXPECT_EQ(ui::AlertView::visibleAlert()->tag(), tag);
}

TEST_F(MessageBoxTest, DismissingAllClosesEveryBoxAndTheWaitBox)
{
    show("One", "", MessageBox::Alert, nullptr, "OK");
    show("", "Two", MessageBox::Notice);
    boxes()->BeginBlockWaitTimeout("Three", 60);
    EXPECT_EQ(boxes()->msgBoxDic().size(), 3u);
    boxes()->dismissAllMsgBox();
    EXPECT_TRUE(boxes()->msgBoxDic().empty());
    EXPECT_EQ(boxes()->waitMsgBoxtag(), 0);
    driver->wait(1);
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
    EXPECT_EQ(driver->findByClass("AlertView"), nullptr);
}

} // namespace
