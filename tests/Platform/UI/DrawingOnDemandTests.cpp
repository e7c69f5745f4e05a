// The window draws only what changed into its kept frame: what is drawn again, and that the
// kept frame always equals a full redraw.
#include "UITestSupport.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TextField.h"

#include <cairo.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>

using namespace ui;
using uitest::WindowTest;

namespace {

std::map<std::string, int> g_draws;

// Fills itself and counts its drawRect calls under its name.
class CountingView : public View {
public:
    CountingView(std::string name, const gfx::Rect& frame, gfx::Color fill) : View(frame), m_name(std::move(name)), m_fill(fill) {}
    void drawRect(gfx::Context& ctx, const gfx::Rect&) override
    {
        ++g_draws[m_name];
        ctx.setFillColor(m_fill);
        ctx.fillRoundedRect(bounds().insetBy(2, 2), 6);
        ctx.setStrokeColor(gfx::Color::black());
        ctx.strokeLine({bounds().x() + 3, bounds().y() + 4}, {bounds().x() + 23, bounds().y() + 19});
    }
    void setFill(gfx::Color fill)
    {
        m_fill = fill;
        setNeedsDisplay();
    }

private:
    std::string m_name;
    gfx::Color m_fill;
};

class CountingLabel : public Label {
public:
    using Label::Label;
    void drawRect(gfx::Context& ctx, const gfx::Rect& rect) override
    {
        ++g_draws["label"];
        Label::drawRect(ctx, rect);
    }
};

std::set<std::string> drawnViews()
{
    std::set<std::string> out;
    for (auto& [name, count] : g_draws)
        if (count > 0)
            out.insert(name);
    return out;
}

// Pixels that differ between the kept frame and a full redraw of the same tree.
int differingPixels(Window& window)
{
    gfx::Image kept = window.snapshot();
    auto full = gfx::Context::createBitmap(window.bounds().size, window.scale());
    auto counted = g_draws; // the full redraw is the reference, not a frame
    window.render(*full);
    g_draws = counted;
    gfx::Image fresh = full->makeImage();
    if (kept.pixelWidth() != fresh.pixelWidth() || kept.pixelHeight() != fresh.pixelHeight())
        return fresh.pixelWidth() * fresh.pixelHeight();
    // Rows are compared whole and counted pixel by pixel only where they differ: the animation
    // cases compare some two hundred frames, which a checked build takes minutes to walk.
    cairo_surface_t* a = kept.cairoSurface();
    cairo_surface_t* b = fresh.cairoSurface();
    for (cairo_surface_t* surface : {a, b})
        if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
            ADD_FAILURE() << "a frame is not 32-bit";
            return -1;
        }
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const int width = fresh.pixelWidth();
    int count = 0;
    for (int y = 0; y < fresh.pixelHeight(); ++y) {
        auto* rowA = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a));
        auto* rowB = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b));
        if (std::memcmp(rowA, rowB, width * sizeof(uint32_t)) == 0)
            continue;
        for (int x = 0; x < width; ++x)
            count += rowA[x] != rowB[x];
    }
    return count;
}

struct Scene {
    std::shared_ptr<CountingView> root, box, disc, inner;
    std::shared_ptr<CountingLabel> label;
    std::shared_ptr<ScrollView> scroll;
    std::shared_ptr<CountingView> row, farRow;
};

Scene buildScene(Window& window)
{
    Scene s;
    s.root = std::make_shared<CountingView>("root", gfx::Rect(0, 0, 1024, 768), gfx::Color::fromWhite(0.95));
    s.root->setBackgroundColor(gfx::Color::white());
    window.addSubview(s.root);
    s.label = std::make_shared<CountingLabel>(gfx::Rect(20, 20, 200, 30));
    s.label->setText("Hello");
    s.root->addSubview(s.label);
    s.box = std::make_shared<CountingView>("box", gfx::Rect(300, 20, 80, 80), gfx::Color::fromRgb(200, 30, 30));
    s.box->setBackgroundColor(gfx::Color::fromRgb(240, 220, 120));
    s.root->addSubview(s.box);
    s.disc = std::make_shared<CountingView>("disc", gfx::Rect(450, 20, 60, 60), gfx::Color::fromRgb(30, 90, 200));
    s.root->addSubview(s.disc);
    // A child hanging outside its parent's bounds still draws and still counts as changed.
    s.inner = std::make_shared<CountingView>("inner", gfx::Rect(70, 70, 40, 40), gfx::Color::fromRgb(0, 150, 0));
    s.disc->addSubview(s.inner);
    s.scroll = View::make<ScrollView>(gfx::Rect(20, 300, 400, 300));
    s.scroll->setClipsToBounds(true);
    s.scroll->setShowsScrollIndicators(false);
    s.scroll->setBackgroundColor(gfx::Color::fromWhite(0.85));
    s.scroll->setContentSize({400, 3000});
    s.root->addSubview(s.scroll);
    s.row = std::make_shared<CountingView>("row", gfx::Rect(10, 10, 380, 100), gfx::Color::fromRgb(120, 0, 120));
    s.scroll->addSubview(s.row);
    s.farRow = std::make_shared<CountingView>("farRow", gfx::Rect(10, 2500, 380, 100), gfx::Color::fromRgb(0, 120, 120));
    s.scroll->addSubview(s.farRow);
    return s;
}

gfx::Rect windowFrame(const View& view)
{
    return view.convertRectToView(view.bounds(), nullptr);
}

} // namespace

TEST_F(WindowTest, AFrameWithNothingChangedDrawsNothing)
{
    Scene s = buildScene(*window);
    g_draws.clear();
    EXPECT_EQ(differingPixels(*window), 0);
    EXPECT_EQ(drawnViews(), (std::set<std::string>{"root", "label", "box", "disc", "inner", "row"}))
        << "a subtree outside the clip is never visited";
    EXPECT_TRUE(window->dirtyRegion().isEmpty());
    EXPECT_FALSE(window->prepareFrame());
    g_draws.clear();
    window->snapshot();
    EXPECT_TRUE(drawnViews().empty());
}

// Each change redraws only where it shows, and the kept frame still equals a full redraw.
TEST_F(WindowTest, ChangesRedrawOnlyTheirAreaAndMatchAFullRedraw)
{
    struct Case {
        const char* name;
        std::function<void(Scene&)> change;
        std::function<gfx::Rect(Scene&)> before; // what the region must cover, taken before the change
        std::set<std::string> drawn;
    };
    const std::vector<Case> cases = {
        {"label text", [](Scene& s) { s.label->setText("Changed text"); },
         [](Scene& s) { return windowFrame(*s.label); }, {"root", "label"}},
        {"own content", [](Scene& s) { s.box->setFill(gfx::Color::black()); },
         [](Scene& s) { return windowFrame(*s.box); }, {"root", "box"}},
        {"move", [](Scene& s) { s.box->setFrame({320, 40, 80, 80}); },
         [](Scene& s) { return gfx::Rect(300, 20, 100, 100); }, {"root", "box"}},
        {"hide", [](Scene& s) { s.box->setHidden(true); },
         [](Scene& s) { return windowFrame(*s.box); }, {"root"}},
        {"fade", [](Scene& s) { s.box->setAlpha(0.4); },
         [](Scene& s) { return windowFrame(*s.box); }, {"root", "box"}},
        {"background", [](Scene& s) { s.box->setBackgroundColor(gfx::Color::fromRgb(10, 200, 10)); },
         [](Scene& s) { return windowFrame(*s.box); }, {"root", "box"}},
        {"parent moves with an overhanging child", [](Scene& s) { s.disc->setCenter({500, 60}); },
         [](Scene& s) { return gfx::Rect(450, 20, 110, 110); }, {"root", "disc", "inner"}},
        {"transform", [](Scene& s) { s.box->setTransform(gfx::AffineTransform::rotation(0.3)); },
         [](Scene& s) { return windowFrame(*s.box); }, {"root", "box"}},
        {"removed", [](Scene& s) { s.disc->removeFromSuperview(); },
         [](Scene& s) { return gfx::Rect(450, 20, 110, 110); }, {"root"}},
        {"added", [](Scene& s) {
             s.root->addSubview(std::make_shared<CountingView>("added", gfx::Rect(700, 400, 50, 50), gfx::Color::black()));
         },
         [](Scene& s) { return gfx::Rect(700, 400, 50, 50); }, {"root", "added"}},
        {"scroll", [](Scene& s) { s.scroll->setContentOffset({0, 40}); },
         [](Scene& s) { return windowFrame(*s.scroll); }, {"root", "row"}},
        {"clipping on", [](Scene& s) { s.disc->setClipsToBounds(true); },
         [](Scene& s) { return gfx::Rect(450, 20, 110, 110); }, {"root", "disc"}},
        {"brought to front", [](Scene& s) { s.root->sendSubviewToBack(s.box.get()); },
         [](Scene& s) { return windowFrame(*s.box); }, {"root", "box"}},
    };
    for (double scale : {1.0, 2.0}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at scale " + std::to_string(scale));
            window = std::make_shared<Window>();
            window->setScale(scale);
            Scene s = buildScene(*window);
            window->snapshot();
            ASSERT_TRUE(window->dirtyRegion().isEmpty());
            gfx::Rect expected = c.before(s);
            c.change(s);
            window->prepareFrame();
            EXPECT_TRUE(window->dirtyRegion().bounds().contains(expected))
                << window->dirtyRegion().bounds().toString() << " should hold " << expected.toString();
            EXPECT_FALSE(window->dirtyRegion().intersects({600, 650, 50, 50})) << "far from the change";
            g_draws.clear();
            EXPECT_EQ(differingPixels(*window), 0);
            EXPECT_EQ(drawnViews(), c.drawn);
        }
    }
}

TEST_F(WindowTest, ALabelChangeMarksExactlyItsRectangle)
{
    Scene s = buildScene(*window);
    window->snapshot();
    s.label->setText("Another");
    EXPECT_EQ(window->dirtyRegion().bounds(), gfx::Rect(20, 20, 200, 30));
    // A change out of sight marks nothing.
    s.farRow->setFill(gfx::Color::white());
    s.farRow->setFrame({0, 2600, 400, 50});
    EXPECT_EQ(window->dirtyRegion().bounds(), gfx::Rect(20, 20, 200, 30));
}

// Every frame of a running animation matches a full redraw; at rest nothing is left to draw.
TEST_F(WindowTest, AnimationsMarkEveryFrameTheyMove)
{
    auto& loop = base::RunLoop::main();
    struct Case {
        const char* name;
        std::function<void(Scene&)> start;
    };
    const std::vector<Case> cases = {
        {"moved in a block", [](Scene& s) { View::animate(0.5, [&] { s.box->setCenter({700, 500}); }); }},
        {"faded in a block", [](Scene& s) { View::animate(0.5, [&] { s.disc->setAlpha(0.1); }); }},
        {"layer opacity from nothing", [](Scene& s) {
             auto a = LayerAnimation::make("opacity");
             a->values = {0, 1};
             a->duration = 0.5;
             s.box->addAnimation(a, "fade");
         }},
        {"layer rotation after a delay", [](Scene& s) {
             auto a = LayerAnimation::make("transform.rotation");
             a->values = {0, 3};
             a->duration = 0.3;
             a->beginOffset = 0.1;
             s.disc->addAnimation(a, "spin");
         }},
        {"scroll deceleration", [](Scene& s) { s.scroll->setContentOffset({0, 600}, true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window = std::make_shared<Window>();
        Scene s = buildScene(*window);
        window->snapshot();
        c.start(s);
        for (int frame = 0; frame < 40; ++frame) {
            loop.advance(1.0 / 60);
            ASSERT_EQ(differingPixels(*window), 0) << "frame " << frame;
        }
        window->prepareFrame();
        window->snapshot();
        EXPECT_FALSE(window->hasRunningAnimations());
        EXPECT_FALSE(window->prepareFrame());
    }
}

TEST_F(WindowTest, APictureDrawnAgainAtTheSameSizeIsResampledOnce)
{
    auto source = gfx::Context::createBitmap({64, 48}, 1);
    source->fillLinearGradient({0, 0, 64, 48}, {0, 0}, {64, 48}, {{0, gfx::Color::red()}, {1, gfx::Color::blue()}});
    auto picture = View::make<ImageView>(gfx::Rect(10, 10, 32, 24));
    picture->setImage(source->makeImage());
    window->addSubview(picture);
    uint64_t before = gfx::Image::resampleCount();
    window->snapshot();
    picture->setNeedsDisplay();
    window->snapshot();
    picture->setCenter({200, 200});
    window->snapshot();
    EXPECT_EQ(gfx::Image::resampleCount() - before, 1u);
    // Another size is another copy; the memory warning lets them all go.
    picture->setBounds({0, 0, 16, 12});
    window->snapshot();
    EXPECT_EQ(gfx::Image::resampleCount() - before, 2u);
    EXPECT_GT(gfx::Image::resampleCacheBytes(), 0u);
    Driver(*window).simulateMemoryWarning();
    EXPECT_EQ(gfx::Image::resampleCacheBytes(), 0u);
    EXPECT_EQ(differingPixels(*window), 0);
}

// Text is laid out once per change: a redraw or a colour change builds nothing.
TEST_F(WindowTest, UnchangedTextBuildsNoNewLayout)
{
    auto label = View::make<Label>(gfx::Rect(10, 10, 300, 40));
    label->setText("Price \u4ef7\u683c 12.50");
    auto button = View::make<Button>(ButtonType::RoundedRect, gfx::Rect(10, 60, 200, 40));
    button->setTitle("Send order");
    auto field = View::make<TextField>(gfx::Rect(10, 110, 300, 31));
    field->setBorderStyle(TextBorderStyle::RoundedRect);
    field->setText("Customer");
    for (auto& v : std::vector<std::shared_ptr<View>>{label, button, field})
        window->addSubview(v);
    struct Case {
        const char* name;
        std::function<void()> change;
        bool builds;
    };
    const std::vector<Case> cases = {
        {"redrawn unchanged", [&] { window->setNeedsDisplayInWindowRect(window->bounds()); }, false},
        {"label colour", [&] { label->setTextColor(gfx::Color::red()); }, false},
        {"label text", [&] { label->setText("Price 13.00"); }, true},
        {"label lines", [&] { label->setNumberOfLines(2); }, true},
        {"label width", [&] { label->setFrame({10, 10, 250, 40}); }, true},
        {"button pressed look", [&] { button->setHighlighted(true); }, false},
        {"button title", [&] { button->setTitle("Send now"); }, true},
        {"field alignment", [&] { field->setTextAlignment(gfx::TextAlignment::Right); }, true},
        {"field text", [&] { field->setText("Customer 2"); }, true},
        {"scale", [&] { window->setScale(2); }, true},
        {"redrawn at the new scale", [&] { window->setNeedsDisplayInWindowRect(window->bounds()); }, false},
    };
    window->snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        uint64_t before = gfx::TextLayout::buildCount();
        window->snapshot();
        EXPECT_EQ(gfx::TextLayout::buildCount() > before, c.builds);
    }
    EXPECT_EQ(differingPixels(*window), 0);
}

TEST_F(WindowTest, AViewThatGrewInAnAnimationWithNoFrameDrawnMeanwhileShowsItsFinalSize)
{
    // A clipping view inside a plain one, grown from nothing while no frame is drawn (a list
    // opening under a button); both cached what they covered at the start.
    auto holder = std::make_shared<View>(gfx::Rect(0, 0, 400, 400));
    auto list = std::make_shared<View>(gfx::Rect(50, 60, 120, 0));
    list->setClipsToBounds(true);
    list->setBackgroundColor(gfx::Color::fromRgb(200, 30, 30));
    holder->addSubview(list);
    window->addSubview(holder);
    window->snapshot();
    View::animate(0.2, [&] { list->setFrame({50, 60, 120, 100}); });
    base::RunLoop::main().advance(0.5);
    gfx::Color c = window->snapshot().colorAt(100, 140);
    EXPECT_NEAR(c.r, 200 / 255.0, 0.02);
    EXPECT_NEAR(c.g, 30 / 255.0, 0.02);
    EXPECT_EQ(differingPixels(*window), 0);
}
