#include "CatalogTestSupport.h"

#include "Widgets/IconButton.h"
#include "Widgets/ProductAttributeView.h"
#include "Database/OrderLineAttributeText.h"
#include "Database/QuoteOrderItemEntity.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/TableView.h"

namespace {

using Record = product_attribute_cell_Entity;
using Text = std::optional<std::string>;

Record chosen(const std::string& name, Text value, Text list = {})
{
    Record r;
    r.fieldName = name;
    r.attributeValue = std::move(value);
    r.attributeList = std::move(list);
    return r;
}

std::string shown(const std::vector<Record>& records)
{
    std::string text;
    for (const auto& r : records)
        text += "[" + r.fieldName.value_or("?") + "=" + r.attributeValue.value_or("?") + "]";
    return text;
}

TEST(OrderLineAttributeTextTest, WrittenThenReadBack)
{
    struct Case {
        std::vector<Record> records;
        std::string text;
        std::string readBack;
    } cases[] = {
        {{chosen("Colour", "Red"), chosen("Size", "L")}, "Colour:Red,Size:L", "[Colour=Red][Size=L]"},
        {{chosen("Colour", "Red"), chosen("Size", std::nullopt)}, "Colour:Red", "[Colour=Red]"},
        {{chosen("Colour", " \t "), chosen("Size", "L")}, "Size:L", "[Size=L]"},
        {{chosen("Colour", ""), chosen("Size", "L ")}, "Size:L ", "[Size=L ]"},
        {{chosen("Time", "10:30"), chosen("Size", "L")}, "Time:10:30,Size:L", "[Size=L]"},
        {{chosen("Pack", "2,3")}, "Pack:2,3", "[Pack=2]"},
        {{chosen("Pack", "a,b:c")}, "Pack:a,b:c", "[Pack=a][b=c]"},
        {{}, "", ""},
    };
    for (const auto& c : cases) {
        std::string text = OrderLineAttributeText::write(c.records);
        EXPECT_EQ(text, c.text);
        QuoteOrderItemEntity line;
        line.setAttributes(text);
        EXPECT_EQ(shown(line.attributesArray()), c.readBack) << text;
    }
    for (Text blank : {Text(), Text(""), Text("  "), Text("\t")})
        EXPECT_TRUE(OrderLineAttributeText::read(blank).empty());
    EXPECT_EQ(shown(OrderLineAttributeText::read(std::string("a:b:c,d:e,,f"))), "[d=e]");

    // Only lists with something to choose make an attribute required.
    std::vector<Record> records = {chosen("Absent", std::nullopt), chosen("Blanks", std::nullopt, " , "),
                                   chosen("Done", "Red", "Red,Blue"), chosen("Open", std::nullopt, "S,M")};
    EXPECT_EQ(OrderLineAttributeText::firstUnchosen(records), 3u);
    records[3].attributeValue = "M";
    EXPECT_EQ(OrderLineAttributeText::firstUnchosen(records), std::nullopt);
}

class ProductAttributeViewTest : public catalogtest::CatalogTest {
protected:
    // A page-like container holding the chooser at (100, 200).
    std::shared_ptr<ProductAttributeView> place(std::vector<Record> records, bool attributesFirst = false)
    {
        page = std::make_shared<ui::View>(gfx::Rect(0, 0, 1024, 768));
        page->setBackgroundColor(gfx::Color::fromWhite(0.95));
        window->addSubview(page);
        auto view = std::make_shared<ProductAttributeView>(gfx::Rect(100, 200, 354, 160));
        view->setAttributeColor(gfx::Color::fromRgb(176, 48, 96));
        if (attributesFirst)
            view->setAttributeAry(records);
        page->addSubview(view);
        if (!attributesFirst)
            view->setAttributeAry(records);
        window->layoutIfNeeded();
        return view;
    }
    static Record attribute(const std::string& name, Text list)
    {
        return chosen(name, std::nullopt, std::move(list));
    }
    std::shared_ptr<ui::View> page;
};

TEST_F(ProductAttributeViewTest, LaysOutTwoColumnsAndChoosesFromTheDropDown)
{
    auto view = place({attribute("Colour", "Red,Blue"), attribute("Size", "L"), attribute("Blank", ""),
                       attribute("Absent", std::nullopt), attribute("Fabric", "Wool,Linen")});
    struct Frame {
        gfx::Rect label, button;
    } frames[] = {
        {{0, 10, 150, 28}, {0, 45, 150, 28}},
        {{200, 10, 150, 28}, {200, 45, 150, 28}},
        {{0, 91, 150, 28}, {0, 126, 150, 28}},
        {{200, 91, 150, 28}, {200, 126, 150, 28}},
        {{0, 172, 150, 28}, {0, 207, 150, 28}},
    };
    for (size_t i = 0; i < std::size(frames); ++i) {
        EXPECT_EQ(view->labelAtIndex(i)->frame(), frames[i].label) << i;
        EXPECT_EQ(view->buttonAtIndex(i)->frame(), frames[i].button) << i;
        EXPECT_EQ(view->buttonAtIndex(i)->tag(), 5000 + static_cast<int>(i));
    }
    EXPECT_EQ(view->contentSize(), (gfx::Size{354, 243}));
    EXPECT_EQ(view->labelAtIndex(1)->text(), "Size");
    EXPECT_EQ(view->buttonAtIndex(0)->currentTitle(), "Please select");
    EXPECT_EQ(view->buttonAtIndex(1)->currentTitle(), "L") << "a single value is chosen at once";
    EXPECT_EQ(view->buttonAtIndex(2)->currentTitle(), "");
    EXPECT_EQ(view->attributeAry()[2].attributeValue, Text(""));
    EXPECT_EQ(view->attributes(), "Size:L") << "the empty choice is left out";
    EXPECT_EQ(view->firstUnchosenAttributeIndex(), 0u);

    // An absent list opens nothing and stays unchosen.
    ASSERT_TRUE(driver->tap(view->buttonAtIndex(3)));
    EXPECT_FALSE(view->isListShown());
    EXPECT_EQ(view->buttonAtIndex(3)->currentTitle(), "Please select");

    // Scrolled by 40, the list opens under its button, 40 higher; its height grows linearly.
    view->setContentOffset({0, 40});
    driver->press(driver->centerOf(view->buttonAtIndex(0)));
    driver->release();
    base::RunLoop::main().advance(0);
    ASSERT_TRUE(view->isListShown());
    auto& list = *view->dropDownList();
    EXPECT_EQ(list.frame().origin, (gfx::Point{100, 200 + 45 + 28 - 40}));
    EXPECT_TRUE(view->buttonAtIndex(0)->isSelected());
    double start = now();
    advanceTo(start, 0.1);
    double midHeight = list.presentation().bounds.height();
    EXPECT_GT(midHeight, 0);
    EXPECT_LT(midHeight, ProductAttributeView::kListHeight);
    advanceTo(start, 0.5);
    EXPECT_EQ(list.frame().height(), ProductAttributeView::kListHeight);
    list.layoutIfNeeded();
    EXPECT_EQ(list.numberOfRowsInSection(0), 2);
    driver->screenshot(reviewPath("attribute_chooser_open.png"));

    auto* blue = list.cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0));
    ASSERT_NE(blue, nullptr);
    ASSERT_TRUE(driver->tap(blue));
    base::RunLoop::main().advance(0);
    EXPECT_FALSE(view->isListShown());
    EXPECT_EQ(view->attributeAry()[0].attributeValue, Text("Blue"));
    EXPECT_EQ(view->buttonAtIndex(0)->currentTitle(), "Blue");
    EXPECT_EQ(view->buttonAtIndex(0)->currentTitleColor(), gfx::Color::fromRgb(176, 48, 96));
    EXPECT_FALSE(view->buttonAtIndex(0)->isSelected());
    EXPECT_EQ(view->overlay()->superview(), nullptr);
    EXPECT_EQ(view->attributes(), "Colour:Blue,Size:L");
    EXPECT_EQ(view->firstUnchosenAttributeIndex(), 4u);

    // A tap outside an open list closes it without a choice.
    view->setContentOffset({0, 0});
    ASSERT_TRUE(driver->tap(view->buttonAtIndex(1)));
    ASSERT_TRUE(view->isListShown());
    driver->tap(gfx::Point{900, 700});
    EXPECT_FALSE(view->isListShown());
    EXPECT_EQ(view->attributeAry()[1].attributeValue, Text("L"));
    EXPECT_EQ(view->dropDownList()->frame().height(), 0);
}

TEST_F(ProductAttributeViewTest, KeysWorkTheOpenListAsAPopoversList)
{
    auto view = place({attribute("Colour", "Red,Blue,Green"), attribute("Size", "S,M")});
    struct Step {
        const char* key;
        bool open;            // the list still shown after the key
        Text colour;          // the chosen colour
        std::optional<int> highlighted;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        // Down, Down, Up, then Return picks the highlighted value, as a click on it does.
        {"pick", {{"down", true, {}, 0}, {"down", true, {}, 1}, {"down", true, {}, 2}, {"up", true, {}, 1},
                  {"\n", false, "Blue", std::nullopt}}},
        // Escape closes the list as a click outside does: nothing chosen, nothing changed.
        {"escape", {{"down", true, "Blue", 0}, {"escape", false, "Blue", std::nullopt}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(driver->tap(view->buttonAtIndex(0)));
        base::RunLoop::main().advance(0.5);
        ASSERT_TRUE(view->isListShown());
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.key);
            driver->pressKey(step.key);
            base::RunLoop::main().advance(0.5);
            EXPECT_EQ(view->isListShown(), step.open);
            EXPECT_EQ(view->attributeAry()[0].attributeValue, step.colour);
            if (step.open) {
                auto selected = view->dropDownList()->indexPathForSelectedRow();
                EXPECT_EQ(selected ? std::optional<int>(selected->row) : std::nullopt, step.highlighted);
            }
        }
        EXPECT_EQ(view->overlay()->superview(), nullptr);
    }
}

TEST_F(ProductAttributeViewTest, PresetsReadOnlyAndAChooserGivenItsAttributesBeforePlacing)
{
    auto view = place({attribute("Colour", "Red,Blue"), attribute("Size", "S,M")}, true);
    ASSERT_TRUE(driver->tap(view->buttonAtIndex(1)));
    EXPECT_TRUE(view->isListShown()) << "the overlay is attached when the list opens";
    EXPECT_EQ(view->overlay()->superview(), window.get());
    view->btnBGClicked();

    view->setAttributeValues({chosen("Colour", "Blue"), chosen("Size", "  "), chosen("Weight", "9kg")});
    EXPECT_EQ(view->attributes(), "Colour:Blue");
    EXPECT_EQ(view->buttonAtIndex(0)->currentTitle(), "Blue");
    EXPECT_EQ(view->buttonAtIndex(1)->currentTitle(), "Please select");

    view->setReadOnly(true);
    driver->tap(driver->centerOf(view->buttonAtIndex(1)));
    EXPECT_FALSE(view->isListShown());
    view->setAttributeAry(view->attributeAry());
    EXPECT_FALSE(view->buttonAtIndex(0)->isEnabled()) << "rebuilt buttons follow the flag";
    view->setReadOnly(false);
    ASSERT_TRUE(driver->tap(view->buttonAtIndex(1)));
    EXPECT_TRUE(view->isListShown());

    // A chooser that goes away with its list open takes its overlay along.
    view->removeFromSuperview();
    view.reset();
    EXPECT_EQ(window->subviews().size(), 1u);
}

TEST_F(ProductAttributeViewTest, IconButtonTypesTitlesAndLanguage)
{
    for (double width : {143.0, 127.0}) {
        for (int type = 0; type <= 7; ++type) {
            auto button = std::make_shared<IconButton>(gfx::Rect(10, 10, width, 31));
            button->setTitle("Keep");
            window->addSubview(button);
            button->setIconType(type);
            button->layoutIfNeeded();
            const auto* look = IconButton::lookOfType(type);
            EXPECT_EQ(button->iconView()->isHidden(), look == nullptr) << type;
            if (look) {
                EXPECT_EQ(button->currentTitle(), Language::stringWithName(look->titleKey));
                EXPECT_EQ(button->titleEdgeInsets(), gfx::EdgeInsets({0, 5, 0, 35}));
                EXPECT_FALSE(button->iconView()->image().isNull()) << look->image;
            } else {
                EXPECT_EQ(button->currentTitle(), "Keep");
                EXPECT_TRUE(button->titleEdgeInsets().isZero());
            }
            EXPECT_EQ(button->iconView()->frame(), gfx::Rect(width - 36, 0, 36, 31));
            button->removeFromSuperview();
        }
    }
    auto button = std::make_shared<IconButton>(gfx::Rect(0, 0, 143, 31));
    button->setIconType(1);
    EXPECT_EQ(button->currentTitle(), "Add to Order");
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    button->reloadText();
    EXPECT_EQ(button->currentTitle(), "加入订单");
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

} // namespace
