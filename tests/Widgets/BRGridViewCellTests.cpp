#include "GridTestSupport.h"

#include "Platform/UI/ImageView.h"
#include "Platform/UI/NamedImage.h"

using namespace gridtest;

namespace {

// What the highlight may touch in a view.
struct Look {
    const ui::View* view;
    bool opaque;
    std::optional<gfx::Color> background;
    std::optional<bool> highlighted;
    bool operator==(const Look&) const = default;
};

void collect(ui::View& view, std::vector<Look>& out)
{
    for (auto& sub : view.subviews()) {
        ui::Highlightable* h = sub->highlightable();
        out.push_back({sub.get(), sub->isOpaque(), sub->backgroundColor(),
                       h ? std::optional<bool>(h->isHighlighted()) : std::nullopt});
        collect(*sub, out);
    }
}

std::vector<Look> looks(ui::View& view)
{
    std::vector<Look> out;
    collect(view, out);
    return out;
}

// A cell with nested content: an opaque panel holding a see-through one, which holds an opaque
// label, an image view that starts highlighted and a plain view without a background.
struct NestedCell {
    std::shared_ptr<BRGridViewCell> cell = ui::View::make<BRGridViewCell>(gfx::Rect(0, 0, 200, 212), "nested");
    std::shared_ptr<ui::View> panel = ui::View::make(gfx::Rect(10, 10, 180, 190));
    std::shared_ptr<ui::View> seeThrough = ui::View::make(gfx::Rect(5, 5, 170, 170));
    std::shared_ptr<ui::Label> label = ui::View::make<ui::Label>(gfx::Rect(5, 5, 150, 30));
    std::shared_ptr<ui::ImageView> image = ui::View::make<ui::ImageView>(gfx::Rect(5, 40, 60, 60));
    std::shared_ptr<ui::View> bare = ui::View::make(gfx::Rect(80, 40, 60, 60));
    NestedCell()
    {
        panel->setBackgroundColor(gfx::Color::fromRgb(250, 240, 200));
        seeThrough->setOpaque(false);
        seeThrough->setBackgroundColor(gfx::Color::fromRgb(0, 0, 255, 0.2));
        label->setOpaque(true);
        label->setBackgroundColor(gfx::Color::fromRgb(255, 255, 255));
        label->setText("Nested");
        image->setHighlighted(true);
        seeThrough->addSubview(label);
        seeThrough->addSubview(image);
        seeThrough->addSubview(bare);
        panel->addSubview(seeThrough);
        cell->contentView()->addSubview(panel);
    }
};

using CellLookTest = GridWindowTest;

TEST_F(CellLookTest, HighlightThenUnhighlightRestoresEveryNestedViewExactly)
{
    for (bool animated : {false, true}) {
        SCOPED_TRACE(animated ? "animated" : "at once");
        NestedCell n;
        n.cell->setSelectionStyle(BRGridViewCell::SelectionStyleGreen);
        window->addSubview(n.cell);
        auto before = looks(*n.cell);
        n.cell->setHighlighted(true, animated);
        if (animated) {
            EXPECT_FALSE(n.label->isHighlighted()) << "the subviews flip 0.1 s later";
            driver->wait(0.11);
        }
        EXPECT_TRUE(n.label->isHighlighted());
        EXPECT_TRUE(n.image->isHighlighted());
        // Opaque views (the content, the panel, the label, the bare view) turned see-through.
        for (ui::View* v : std::initializer_list<ui::View*>{n.cell->contentView().get(), n.panel.get(), n.label.get(), n.bare.get()}) {
            EXPECT_FALSE(v->isOpaque());
            EXPECT_EQ(v->backgroundColor(), gfx::Color::clear());
        }
        EXPECT_EQ(n.seeThrough->backgroundColor(), gfx::Color::fromRgb(0, 0, 255, 0.2)) << "already see-through";
        ASSERT_NE(n.cell->selectedBackgroundView(), nullptr);
        EXPECT_EQ(n.cell->selectedBackgroundView()->superview(), n.cell.get());
        driver->wait(0.3);
        EXPECT_TRUE(n.cell->isHighlighted());

        n.cell->setHighlighted(false, animated);
        driver->wait(0.3);
        EXPECT_FALSE(n.cell->isHighlighted());
        EXPECT_EQ(n.cell->selectedBackgroundView()->superview(), nullptr);
        EXPECT_EQ(n.cell->savedSubviewStateCount(), 0u);
        EXPECT_TRUE(looks(*n.cell) == before);
        EXPECT_TRUE(n.image->isHighlighted()) << "its own highlight came back";
        n.cell->removeFromSuperview();
    }
}

TEST_F(CellLookTest, StyleNoneChangesNoViewAndTheFirstPictureStays)
{
    NestedCell n;
    n.cell->setSelectionStyle(BRGridViewCell::SelectionStyleNone);
    auto before = looks(*n.cell);
    n.cell->setSelected(true);
    EXPECT_TRUE(n.cell->isSelected());
    EXPECT_TRUE(n.cell->isHighlighted());
    EXPECT_TRUE(looks(*n.cell) == before);
    EXPECT_EQ(n.cell->selectedBackgroundView(), nullptr);
    EXPECT_EQ(n.cell->contentView()->shadow().opacity, 0);

    // The picture is made for the style in force at the first highlight, and kept.
    NestedCell m;
    m.cell->setSelectionStyle(BRGridViewCell::SelectionStyleGreen);
    m.cell->setHighlighted(true);
    auto picture = std::dynamic_pointer_cast<ui::ImageView>(m.cell->selectedBackgroundView());
    ASSERT_NE(picture, nullptr);
    gfx::Image green = ui::imageNamed("BRGridSelectionGreen.png");
    ASSERT_FALSE(green.isNull()) << "the picture ships in the bundle";
    EXPECT_EQ(picture->image().cairoSurface(), green.cairoSurface());
    m.cell->setHighlighted(false);
    m.cell->setSelectionStyle(BRGridViewCell::SelectionStyleRed);
    m.cell->setHighlighted(true);
    EXPECT_EQ(m.cell->selectedBackgroundView(), picture);
    EXPECT_EQ(picture->image().cairoSurface(), green.cairoSurface());
    // Giving none brings back the style's picture at the next highlight.
    m.cell->setHighlighted(false);
    m.cell->setSelectedBackgroundView(nullptr);
    m.cell->setHighlighted(true);
    auto red = std::dynamic_pointer_cast<ui::ImageView>(m.cell->selectedBackgroundView());
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->image().cairoSurface(), ui::imageNamed("BRGridSelectionRed.png").cairoSurface());

    // The glow: on the content view, in the colour asked for or dark grey.
    auto glow = ui::View::make<BRGridViewCell>(gfx::Rect(0, 0, 100, 100), "glow");
    EXPECT_EQ(glow->selectionStyle(), BRGridViewCell::SelectionStyleGlow);
    EXPECT_EQ(glow->selectionGlowShadowRadius(), 12);
    glow->setSelected(true);
    ui::View::Shadow shadow = glow->contentView()->shadow();
    EXPECT_EQ(shadow.opacity, 1);
    EXPECT_EQ(shadow.radius, 12);
    EXPECT_EQ(shadow.color, gfx::Color::darkGray());
    EXPECT_EQ(shadow.offset, (gfx::Size{0, 0}));
    glow->setSelected(false);
    EXPECT_EQ(glow->contentView()->shadow().opacity, 0);
    glow->setSelectionGlowColor(gfx::Color::red());
    glow->setHighlighted(true);
    EXPECT_EQ(glow->contentView()->shadow().color, gfx::Color::red());
    glow->setSelectionStyle(9);
    EXPECT_EQ(glow->selectionStyle(), BRGridViewCell::SelectionStyleGlow) << "no such style";
}

TEST_F(CellLookTest, CellsOrderByOriginAndHideForAnimations)
{
    auto at = [](double x, double y) { return ui::View::make<BRGridViewCell>(gfx::Rect(x, y, 10, 10), "c"); };
    struct Case {
        gfx::Point a, b;
        int order;
    };
    const Case cases[] = {
        {{0, 0}, {0, 0}, 0}, {{50, 0}, {0, 10}, -1}, {{0, 10}, {50, 0}, 1}, {{0, 5}, {8, 5}, -1}, {{8, 5}, {0, 5}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(at(c.a.x, c.a.y)->compareOriginAgainstCell(*at(c.b.x, c.b.y)), c.order);
    auto cell = at(0, 0);
    cell->setHiddenForAnimation(true);
    EXPECT_TRUE(cell->isHidden());
    cell->setHiddenForAnimation(false);
    EXPECT_FALSE(cell->hiddenForAnimation());
    EXPECT_TRUE(cell->isHidden()) << "the grid shows it when the animation ends";
}

TEST_F(CellLookTest, TheSixStylesHighlightedAndPlain)
{
    const gfx::Color page = gfx::Color::fromRgb(230, 230, 230);
    window->setBackgroundColor(page);
    std::vector<std::shared_ptr<BRGridViewCell>> cells;
    for (int style = 1; style <= 6; ++style) {
        for (int row = 0; row < 2; ++row) {
            auto cell = ui::View::make<BRGridViewCell>(gfx::Rect(20 + (style - 1) * 165, 60 + row * 300, 130, 180), "s");
            cell->setSelectionStyle(style);
            auto label = ui::View::make<ui::Label>(gfx::Rect(10, 10, 110, 30));
            label->setText("Style " + std::to_string(style));
            label->setHighlightedTextColor(gfx::Color::white());
            cell->contentView()->addSubview(label);
            auto swatch = ui::View::make(gfx::Rect(15, 60, 100, 80));
            swatch->setBackgroundColor(gfx::Color::fromRgb(176, 48, 96));
            cell->contentView()->addSubview(swatch);
            window->addSubview(cell);
            if (row == 1)
                cell->setSelected(true);
            cells.push_back(cell);
        }
    }
    gfx::Image shot = window->snapshot();
    review(*window, "grid_cell_styles.png");
    auto at = [&](const BRGridViewCell& cell, double dx, double dy) {
        gfx::Rect f = cell.frame();
        return shot.colorAt(static_cast<int>(f.x() + dx), static_cast<int>(f.y() + dy));
    };
    // Plain: white content; highlighted picture styles: the picture shows through, blue for 1.
    EXPECT_EQ(at(*cells[0], 65, 170), gfx::Color::white());
    gfx::Color blue = at(*cells[1], 65, 170);
    EXPECT_GT(blue.b, blue.r + 0.3);
    gfx::Color green = at(*cells[7], 65, 170);
    EXPECT_GT(green.g, green.r + 0.3);
    // The glow: dark just outside the cell, fading with distance on every side.
    const BRGridViewCell& glowing = *cells[11];
    const BRGridViewCell& plainGlow = *cells[10];
    for (double d : {-2.0, 132.0})
        EXPECT_EQ(at(plainGlow, d, 90), page) << "no glow when plain";
    double near = page.r - at(glowing, -2, 90).r, farther = page.r - at(glowing, -9, 90).r;
    EXPECT_GT(near, 0.15);
    EXPECT_GT(farther, 0.02);
    EXPECT_GT(near, farther + 0.05) << "blurred, not a hard edge";
    EXPECT_GT(page.r - at(glowing, 65, 182).r, 0.12) << "below too";
}

} // namespace
