#include "ControlTestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/SearchBar.h"
#include "Platform/UI/ViewController.h"
#include "Platform/Graphics/Context.h"

#include <string>
#include <vector>

using namespace ui;
using ui::test::ControlsTest;

namespace {

class RecordingSearchDelegate : public SearchBarDelegate {
public:
    void searchBarTextDidBeginEditing(SearchBar&) override { log.push_back("begin"); }
    void searchBarTextDidEndEditing(SearchBar&) override { log.push_back("end"); }
    void searchBarTextDidChange(SearchBar&, const std::string& text) override { log.push_back("change:" + text); }
    void searchBarSearchButtonClicked(SearchBar& bar) override
    {
        log.push_back("search:" + bar.text());
        if (resignOnSearch)
            bar.resignFirstResponder();
    }
    void searchBarCancelButtonClicked(SearchBar&) override { log.push_back("cancel"); }
    std::vector<std::string> log;
    bool resignOnSearch = false;
};

class SearchBarTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        bar = View::make<SearchBar>(gfx::Rect(0, 0, 400, SearchBar::kHeight));
        bar->setPlaceholder("Search products");
        bar->setDelegate(&delegate);
        window->addSubview(bar);
        window->layoutIfNeeded();
    }
    std::shared_ptr<SearchBar> bar;
    RecordingSearchDelegate delegate;
};

} // namespace

TEST_F(SearchBarTest, TypingAndReturnReachTheDelegate)
{
    tap({200, 22});
    EXPECT_TRUE(bar->textField().isEditing());
    window->typeText("ab");
    window->pressKey("\b");
    window->pressKey("\n");
    EXPECT_TRUE(bar->textField().isEditing()) << "the delegate decides when editing ends";
    delegate.resignOnSearch = true;
    window->pressKey("\n");
    EXPECT_FALSE(bar->textField().isEditing());
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"begin", "change:ab", "change:a", "search:a", "search:a", "end"}));
}

TEST_F(SearchBarTest, CancelButtonShowsOnRequestAndNarrowsTheField)
{
    double fullWidth = bar->textField().frame().width();
    tap({370, 22});
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"begin"})) << "a hidden cancel button leaves the tap to the field";

    bar->setShowsCancelButton(true);
    window->layoutIfNeeded();
    EXPECT_LT(bar->textField().frame().maxX(), bar->cancelButton().frame().minX());
    EXPECT_LT(bar->textField().frame().width(), fullWidth);
    EXPECT_EQ(bar->cancelButton().accessibilityText(), "Cancel");
    delegate.log.clear();
    tap(bar->convertPointToView(bar->cancelButton().frame().center(), nullptr));
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"cancel"}));
}

TEST_F(SearchBarTest, FocusIsTheFieldsAndTheClearButtonReportsAChange)
{
    EXPECT_TRUE(bar->becomeFirstResponder());
    EXPECT_TRUE(bar->textField().isFirstResponder());
    bar->setText("shoes");
    EXPECT_EQ(bar->textField().text(), "shoes");
    window->layoutIfNeeded();
    tap(bar->textField().convertPointToView(bar->textField().clearButtonRect().center(), nullptr));
    EXPECT_EQ(bar->text(), "");
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"begin", "change:"}));
}

TEST_F(SearchBarTest, BackgroundImageReplacesTheGradient)
{
    auto context = gfx::Context::createBitmap({8, 8}, 1);
    context->setFillColor(gfx::Color::fromRgb(200, 30, 30));
    context->fillRect({0, 0, 8, 8});
    gfx::Image red = context->makeImage();
    gfx::Color plain = pixel(window->snapshot(), 200, 2);
    bar->setBackgroundImage(red);
    gfx::Color drawn = pixel(window->snapshot(), 200, 2);
    EXPECT_NEAR(drawn.r, 200 / 255.0, 0.02);
    EXPECT_NEAR(drawn.g, 30 / 255.0, 0.02);
    bar->setBackgroundImage({});
    EXPECT_EQ(pixel(window->snapshot(), 200, 2), plain);
}

TEST_F(SearchBarTest, AFreshBarTakesTapsBeforeAnyLayout)
{
    auto fresh = View::make<SearchBar>(gfx::Rect(0, 100, 270, 34));
    window->addSubview(fresh);
    tap({100, 117});
    EXPECT_TRUE(fresh->textField().isFirstResponder());
}

TEST_F(SearchBarTest, APopoverShownAndDismissedOverTheBarLeavesTheKeyboardWithTheField)
{
    tap({200, 22});
    ASSERT_TRUE(bar->textField().isFirstResponder());
    window->typeText("c");
    auto content = std::make_shared<ViewController>();
    auto popover = std::make_shared<PopoverController>(content);
    popover->setPopoverContentSize({320, 480});
    popover->presentPopoverFromRect({200, 30, 10, 10}, bar.get(), PopoverArrowDirectionAny, true);
    base::RunLoop::main().advance(0.5);
    window->typeText("h");
    popover->dismissPopoverAnimated(false);
    window->typeText("x");
    EXPECT_TRUE(bar->textField().isFirstResponder());
    EXPECT_EQ(bar->text(), "chx");
}
