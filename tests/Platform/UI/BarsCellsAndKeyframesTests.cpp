#include "UITestSupport.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/BarViews.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableView.h"

using namespace ui;
using uitest::WindowTest;

namespace {

using BarsCellsAndKeyframesTest = WindowTest;

NavigationBarView* barOf(NavigationController& nav)
{
    for (auto& sub : nav.view()->subviews())
        if (auto* bar = dynamic_cast<NavigationBarView*>(sub.get()))
            return bar;
    return nullptr;
}

TEST_F(BarsCellsAndKeyframesTest, TheBarShowsTheTopScreensTitleAndRightItemInASheetAndWhenPushed)
{
    auto presenter = std::make_shared<ViewController>();
    window->setRootViewController(presenter);
    auto root = std::make_shared<ViewController>();
    int rootTaps = 0;
    auto done = std::make_shared<BarButtonItem>("Done", BarButtonItem::Style::Done, [&] { ++rootTaps; });
    root->setRightBarButtonItem(done);
    root->setTitle("Settings");
    auto nav = std::make_shared<NavigationController>(root);
    nav->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    presenter->presentViewController(nav, false);

    Driver driver(*window);
    NavigationBarView* bar = barOf(*nav);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->title(), "Settings");
    ASSERT_NE(bar->rightButton(), nullptr);
    // The button keeps to the sheet's right edge once the bar takes the sheet's width.
    gfx::Rect button = bar->rightButton()->convertRectToView(bar->rightButton()->bounds(), nullptr);
    gfx::Rect sheet = nav->view()->frame();
    EXPECT_LE(button.maxX(), sheet.maxX());
    EXPECT_GT(button.x(), sheet.midX());
    EXPECT_TRUE(driver.tap(driver.findByText("Done")));
    EXPECT_EQ(rootTaps, 1);

    // A new title and a re-texted item show at once.
    root->setTitle("Réglages");
    done->setTitle("Fertig");
    EXPECT_EQ(bar->title(), "Réglages");
    EXPECT_EQ(bar->rightButton()->currentTitle(), "Fertig");

    // A pushed screen brings its own item; popping brings the root's back.
    auto page = std::make_shared<ViewController>();
    int pageTaps = 0;
    page->setTitle("About");
    page->setRightBarButtonItem(std::make_shared<BarButtonItem>("Close", BarButtonItem::Style::Plain, [&] { ++pageTaps; }));
    nav->pushViewController(page, false);
    EXPECT_EQ(bar->title(), "About");
    EXPECT_TRUE(driver.tap(driver.findByText("Close")));
    EXPECT_EQ(pageTaps, 1);
    EXPECT_EQ(rootTaps, 1);
    nav->popViewController(false);
    EXPECT_EQ(bar->rightButton()->currentTitle(), "Fertig");
    // A disabled item does nothing.
    done->setEnabled(false);
    done->trigger();
    EXPECT_EQ(rootTaps, 1);
}

class CellSource : public TableViewDataSource, public TableViewDelegate {
public:
    int numberOfSectionsInTableView(TableView&) override { return 2; }
    int numberOfRowsInSection(TableView&, int) override { return 2; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, const IndexPath& ip) override
    {
        auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Value1, "Cell");
        cell->textLabel().setText("Version");
        cell->detailTextLabel().setText("2.4.1");
        if (ip.row == 1)
            cell->setAccessoryView(View::make<View>(gfx::Rect(0, 0, 34, 34)));
        return cell;
    }
    double heightForHeaderInSection(TableView&, int) override { return 0; }
};

TEST_F(BarsCellsAndKeyframesTest, ValueOneCellsAccessoryViewsFlatHeadersAndAFadingDeselection)
{
    CellSource source;
    auto table = View::make<TableView>(gfx::Rect(0, 0, 540, 400), TableViewStyle::Grouped);
    table->setDataSource(&source);
    table->setDelegate(&source);
    window->addSubview(table);
    table->layoutIfNeeded();

    // No header: the second section follows the first after the grouped spacing only.
    EXPECT_EQ(table->rectForHeaderInSection(1).height(), 0);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}).y(), 0);

    TableViewCell* plain = table->cellForRowAtIndexPath({0, 0});
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->detailTextLabel().isHidden());
    gfx::Rect title = plain->textLabel().frame();
    gfx::Rect detail = plain->detailTextLabel().frame();
    EXPECT_LE(title.maxX(), detail.x());
    EXPECT_EQ(plain->detailTextLabel().textAlignment(), gfx::TextAlignment::Right);
    EXPECT_NEAR(detail.maxX(), plain->contentView().bounds().maxX() - 10, 1);

    TableViewCell* accessorized = table->cellForRowAtIndexPath({0, 1});
    ASSERT_NE(accessorized, nullptr);
    View& accessory = *accessorized->accessoryView();
    EXPECT_EQ(accessory.superview(), accessorized);
    EXPECT_NEAR(accessory.frame().maxX(), accessorized->bounds().maxX() - 10, 1e-9);
    EXPECT_NEAR(accessory.frame().midY(), accessorized->bounds().midY(), 1e-9);
    EXPECT_LE(accessorized->contentView().frame().maxX(), accessory.frame().x());

    // Deselecting with animation lets the highlight fade; the cell is unselected at once.
    table->selectRowAtIndexPath(IndexPath{0, 0}, false);
    ASSERT_TRUE(plain->isSelected());
    table->deselectRowAtIndexPath({0, 0}, true);
    EXPECT_FALSE(plain->isSelected());
    View* fade = plain->subviews().front().get();
    ASSERT_STREQ(fade->className(), "SelectionFade");
    base::RunLoop::main().advance(0.15);
    EXPECT_GT(fade->presentation().alpha, 0.05);
    EXPECT_LT(fade->presentation().alpha, 0.95);
    base::RunLoop::main().advance(0.3);
    EXPECT_STRNE(plain->subviews().front()->className(), "SelectionFade");
    // Without animation nothing fades.
    table->selectRowAtIndexPath(IndexPath{1, 0}, false);
    table->deselectRowAtIndexPath({1, 0}, false);
    EXPECT_STRNE(table->cellForRowAtIndexPath({1, 0})->subviews().front()->className(), "SelectionFade");
}

// A cell that moves a label of its own after the standard layout.
class BadgedCell : public TableViewCell {
public:
    BadgedCell() : TableViewCell(TableViewCellStyle::Default, "Badged")
    {
        badge = View::make<Label>();
        contentView().addSubview(badge);
    }
    void layoutSubviews() override
    {
        TableViewCell::layoutSubviews();
        badge->setFrame({contentView().bounds().width() - 40, 5, 30, 20});
        textLabel().setFrame({textLabel().frame().x(), 0, textLabel().frame().width() - 40, bounds().height()});
    }
    std::shared_ptr<Label> badge;
};

class BadgedSource : public TableViewDataSource {
public:
    int numberOfRowsInSection(TableView&, int) override { return 1; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, const IndexPath&) override
    {
        return std::make_shared<BadgedCell>();
    }
};

TEST_F(BarsCellsAndKeyframesTest, ACellsOwnLayoutRunsAfterTheTablePlacesIt)
{
    BadgedSource source;
    auto table = View::make<TableView>(gfx::Rect(0, 0, 300, 200));
    table->setDataSource(&source);
    window->addSubview(table);
    table->layoutIfNeeded();
    auto* cell = dynamic_cast<BadgedCell*>(table->cellForRowAtIndexPath({0, 0}));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->badge->frame(), gfx::Rect(260, 5, 30, 20));
    EXPECT_EQ(cell->textLabel().frame().maxX(), 300 - 10 - 40);
}

TEST_F(BarsCellsAndKeyframesTest, VerdanaIsDejaVuSansAndMiddleTruncationKeepsBothEnds)
{
    gfx::Font verdana("Verdana-Italic", 20);
    EXPECT_EQ(verdana.families().substr(0, 11), "DejaVu Sans");
    EXPECT_TRUE(verdana.isItalic());
    EXPECT_FALSE(verdana.isBold());
    // DejaVu Sans is the wider face; a fall-back to the default sans would measure narrower.
    EXPECT_GT(gfx::sizeOfText("www.example.com", verdana).width,
              gfx::sizeOfText("www.example.com", gfx::Font("Helvetica-Oblique", 20)).width);

    // The same long text, cut at the end and in the middle, renders differently at the right.
    auto render = [](gfx::LineBreakMode mode) {
        auto label = View::make<Label>(gfx::Rect(0, 0, 160, 30));
        label->setText("www.averyveryverylongcompanyname.example.com");
        label->setLineBreakMode(mode);
        label->setBackgroundColor(gfx::Color::white());
        auto ctx = gfx::Context::createBitmap({160, 30});
        renderView(*label, *ctx);
        return ctx->makeImage();
    };
    gfx::Image tail = render(gfx::LineBreakMode::TruncateTail);
    gfx::Image middle = render(gfx::LineBreakMode::TruncateMiddle);
    auto inkInColumns = [](const gfx::Image& image, int from, int to) {
        int ink = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = from; x < to; ++x)
                ink += image.colorAt(x, y).r < 0.5 ? 1 : 0;
        return ink;
    };
    EXPECT_EQ(inkInColumns(tail, 0, 60), inkInColumns(middle, 0, 60)); // same head
    EXPECT_NE(inkInColumns(tail, 110, 160), inkInColumns(middle, 110, 160)); // ".com" kept in the middle cut
}

TEST_F(BarsCellsAndKeyframesTest, KeyframesOnPositionYFollowKeyTimesFromTheirBeginTime)
{
    auto v = std::make_shared<View>(gfx::Rect(0, 100, 20, 20)); // centre y 110
    window->addSubview(v);
    auto bounce = LayerAnimation::make("position.y");
    bounce->values = {110, 88, 90};
    bounce->keyTimes = {0, 0.7, 1.0};
    bounce->duration = 1;
    bounce->autoreverses = true;
    bounce->beginTime = LayerAnimation::layerTime() + 0.5;
    v->addAnimation(bounce, "bounce");

    auto& loop = base::RunLoop::main();
    EXPECT_EQ(v->presentation().center.y, 110); // not begun yet
    loop.advance(0.5 + 0.35);                   // half way to the second key time
    EXPECT_NEAR(v->presentation().center.y, 99, 1e-6);
    loop.advance(0.35); // at 0.7
    EXPECT_NEAR(v->presentation().center.y, 88, 1e-6);
    loop.advance(0.3); // at the end, reversing from here
    EXPECT_NEAR(v->presentation().center.y, 90, 1e-6);
    EXPECT_EQ(v->center().y, 110); // the model never moves
    loop.advance(1.01);
    EXPECT_EQ(v->animationForKey("bounce"), nullptr);
    EXPECT_EQ(v->presentation().center.y, 110);
}

TEST_F(BarsCellsAndKeyframesTest, APopoverTakesABackgroundStyleAndShowsAsAlways)
{
    auto anchor = View::make<View>(gfx::Rect(100, 600, 200, 50));
    window->addSubview(anchor);
    auto content = std::make_shared<ViewController>();
    auto popover = std::make_shared<PopoverController>(content);
    popover->setPopoverBackgroundStyle(2);
    popover->setPopoverContentSize({300, 40});
    popover->presentPopoverFromRect(anchor->bounds(), anchor.get(), PopoverArrowDirectionAny, false);
    EXPECT_EQ(popover->popoverBackgroundStyle(), 2);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_GE(popover->popoverFrame().width(), 300);
    popover->dismissPopoverAnimated(false);
}

} // namespace
