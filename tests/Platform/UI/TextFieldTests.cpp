#include "ControlTestSupport.h"

#include "Platform/UI/TextField.h"

#include <string>
#include <vector>

using namespace ui;
using ui::test::ControlsTest;
using ui::test::inkIn;

namespace {

struct Change {
    size_t location;
    size_t length;
    std::string replacement;
    bool operator==(const Change&) const = default;
};

class RecordingDelegate : public TextFieldDelegate {
public:
    bool textFieldShouldBeginEditing(TextField&) override { return allowBegin; }
    void textFieldDidBeginEditing(TextField&) override { log.push_back("begin"); }
    bool textFieldShouldEndEditing(TextField&) override { return allowEnd; }
    void textFieldDidEndEditing(TextField&) override { log.push_back("end"); }
    bool textFieldShouldChangeCharactersInRange(TextField&, size_t location, size_t length, const std::string& text) override
    {
        changes.push_back({location, length, text});
        return text.find_first_of("0123456789") == std::string::npos;
    }
    bool textFieldShouldClear(TextField&) override { return allowClear; }
    bool textFieldShouldReturn(TextField&) override
    {
        log.push_back("return");
        return allowReturn;
    }

    bool allowBegin = true, allowEnd = true, allowClear = true, allowReturn = true;
    std::vector<std::string> log;
    std::vector<Change> changes;
};

class TextFieldTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        field = View::make<TextField>(gfx::Rect(100, 100, 300, 31));
        field->setBorderStyle(TextBorderStyle::RoundedRect);
        window->addSubview(field);
        for (unsigned e : {ControlEventEditingDidBegin, ControlEventEditingChanged, ControlEventEditingDidEnd})
            field->addTarget([this, e](Control&) { events.push_back(e); }, e);
    }
    void TearDown() override
    {
        field->setDelegate(nullptr);
        ControlsTest::TearDown();
    }
    int count(unsigned e) const { return int(std::count(events.begin(), events.end(), e)); }

    std::shared_ptr<TextField> field;
    std::vector<unsigned> events;
};

} // namespace

TEST_F(TextFieldTest, TapFocusesAndTypingEditsByWholeCharacters)
{
    window->typeText("ignored");
    EXPECT_EQ(field->text(), "") << "no focus, no typing";

    tap({200, 115});
    EXPECT_TRUE(field->isEditing());
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(count(ControlEventEditingDidBegin), 1);

    window->typeText("Café");
    EXPECT_EQ(field->text(), "Café");
    EXPECT_EQ(count(ControlEventEditingChanged), 1);
    window->pressKey("\b");
    EXPECT_EQ(field->text(), "Caf") << "the two bytes of é go together";
    window->typeText("e\b\b");
    EXPECT_EQ(field->text(), "Ca");

    field->resignFirstResponder();
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(count(ControlEventEditingDidEnd), 1);
    window->typeText("x");
    EXPECT_EQ(field->text(), "Ca");
}

TEST_F(TextFieldTest, DelegateSeesByteRangesAndCanVetoChanges)
{
    RecordingDelegate delegate;
    field->setDelegate(&delegate);
    field->setText("né");
    tap({200, 115});
    window->typeText("a1");
    EXPECT_EQ(field->text(), "né") << "digits are refused";
    window->typeText("b");
    window->pressKey("\b");
    window->pressKey("\b");
    EXPECT_EQ(field->text(), "n");
    EXPECT_EQ(delegate.changes, (std::vector<Change>{{3, 0, "a1"}, {3, 0, "b"}, {3, 1, ""}, {1, 2, ""}}));
    EXPECT_EQ(count(ControlEventEditingChanged), 3) << "no event for the refused change";
}

TEST_F(TextFieldTest, DelegateDecidesWhenEditingBeginsAndEnds)
{
    RecordingDelegate delegate;
    field->setDelegate(&delegate);
    delegate.allowBegin = false;
    tap({200, 115});
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(delegate.log.empty());

    delegate.allowBegin = true;
    tap({200, 115});
    auto other = View::make<TextField>(gfx::Rect(100, 200, 300, 31));
    window->addSubview(other);
    delegate.allowEnd = false;
    tap({200, 215});
    EXPECT_TRUE(field->isFirstResponder()) << "the field keeps focus when it may not end";
    EXPECT_FALSE(other->isEditing());

    delegate.allowEnd = true;
    tap({200, 215});
    EXPECT_TRUE(other->isEditing());
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(events, (std::vector<unsigned>{ControlEventEditingDidBegin, ControlEventEditingDidEnd}));
}

TEST_F(TextFieldTest, ReturnAsksTheDelegateAndEndsEditingForListeners)
{
    RecordingDelegate delegate;
    field->setDelegate(&delegate);
    int exits = 0;
    tap({200, 115});
    window->typeText("\n");
    EXPECT_TRUE(field->isEditing()) << "nobody listens for the return key";

    int id = field->addTarget([&](Control&) { ++exits; }, ControlEventEditingDidEndOnExit);
    delegate.allowReturn = false;
    window->typeText("\n");
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(field->isEditing());

    delegate.allowReturn = true;
    window->pressKey("\n");
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"begin", "return", "return", "return", "end"}));
    field->removeTarget(id);
}

TEST_F(TextFieldTest, ClearButtonEmptiesTheFieldUnlessVetoed)
{
    RecordingDelegate delegate;
    field->setDelegate(&delegate);
    field->setClearButtonMode(TextFieldViewMode::WhileEditing);
    field->setText("Acme");
    EXPECT_FALSE(field->isClearButtonVisible()) << "only while editing";
    tap({150, 115});
    ASSERT_TRUE(field->isClearButtonVisible());
    gfx::Point clear = field->convertPointToView(field->clearButtonRect().center(), nullptr);
    EXPECT_GT(clear.x, 350);

    delegate.allowClear = false;
    tap(clear);
    EXPECT_EQ(field->text(), "Acme");
    delegate.allowClear = true;
    tap(clear);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(count(ControlEventEditingChanged), 1);
    EXPECT_TRUE(field->isEditing());
    EXPECT_FALSE(field->isClearButtonVisible());
}

TEST_F(TextFieldTest, DisabledFieldLosesAndRefusesFocus)
{
    field->setEnabled(false);
    tap({200, 115});
    EXPECT_FALSE(field->isEditing());
    field->setEnabled(true);
    tap({200, 115});
    EXPECT_TRUE(field->isEditing());
    field->setEnabled(false);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(count(ControlEventEditingDidEnd), 1);
}

TEST_F(TextFieldTest, DrawsPlaceholderSecureBulletsAndCaret)
{
    field->setPlaceholder("Password");
    gfx::Rect box = field->frame();
    gfx::Image empty = window->snapshot();
    gfx::Rect placeholderInk = inkIn(empty, box.insetBy(3, 3), gfx::Color::white());
    ASSERT_FALSE(placeholderInk.isNull());
    gfx::Color grey = gfx::Color::white();
    for (int x = int(placeholderInk.x()); x < int(placeholderInk.maxX()); ++x)
        for (int y = int(placeholderInk.y()); y < int(placeholderInk.maxY()); ++y)
            if (empty.colorAt(x, y).r < grey.r)
                grey = empty.colorAt(x, y);
    EXPECT_GT(grey.r, 0.5) << "placeholder text is grey, not black";

    field->setSecureTextEntry(true);
    field->setText("sécret");
    EXPECT_EQ(field->accessibilityText(), "\u2022\u2022\u2022\u2022\u2022\u2022");
    gfx::Image secure = window->snapshot();
    gfx::Rect bullets = inkIn(secure, box.insetBy(3, 3), gfx::Color::white());
    EXPECT_LT(bullets.height(), 12) << "bullets are short glyphs sitting mid-line";

    tap({300, 115});
    gfx::Image editing = window->snapshot();
    int caret = 0;
    for (int x = int(bullets.maxX()); x < int(bullets.maxX()) + 6; ++x)
        caret += ui::test::isBluish(editing.colorAt(x, int(box.midY())));
    EXPECT_GT(caret, 0) << "caret after the text";
}

namespace {
// Marks its right end after the field has drawn itself.
class MarkedField : public TextField {
public:
    using TextField::TextField;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override
    {
        TextField::drawRect(context, rect);
        context.setFillColor(gfx::Color::red());
        context.fillRect({bounds().width() - 20, 5, 10, 10});
    }
};
}

TEST_F(ControlsTest, ASubclassDrawsOverTheFieldsOwnDrawing)
{
    auto field = View::make<MarkedField>(gfx::Rect(100, 100, 300, 31));
    field->setBorderStyle(TextBorderStyle::RoundedRect);
    window->addSubview(field);
    auto shot = window->snapshot();
    gfx::Color mark = pixel(shot, 385, 110);
    EXPECT_NEAR(mark.r, 1, 0.05);
    EXPECT_NEAR(mark.g, 0, 0.05);
    EXPECT_NEAR(pixel(shot, 370, 110).g, 1, 0.05); // the field's white body around it
}

TEST_F(TextFieldTest, BackgroundPictureIsStretchedUnderTheTextInPlaceOfTheBorder)
{
    auto ctx = gfx::Context::createBitmap({20, 10}, 1);
    ctx->setFillColor(gfx::Color::fromRgb(30, 160, 90));
    ctx->fillRect({0, 0, 20, 10});
    field->setBackground(ctx->makeImage());
    field->setText("12");
    field->setTextAlignment(gfx::TextAlignment::Center);
    gfx::Image shot = window->snapshot();
    gfx::Rect box = field->frame();
    // The whole box, corners included (the rounded border would leave them white).
    for (gfx::Point p : {gfx::Point{box.x() + 1, box.y() + 1}, gfx::Point{box.maxX() - 2, box.maxY() - 2},
                         gfx::Point{box.x() + 20, box.midY()}}) {
        gfx::Color c = pixel(shot, p.x, p.y);
        EXPECT_NEAR(c.g, 160 / 255.0, 0.02) << p.x << "," << p.y;
        EXPECT_NEAR(c.r, 30 / 255.0, 0.02);
    }
    gfx::Rect ink = inkIn(shot, box.insetBy(3, 3), gfx::Color::fromRgb(30, 160, 90));
    ASSERT_FALSE(ink.isNull()) << "the text is drawn over the picture";
    EXPECT_NEAR(ink.midX(), box.midX(), 4);

    field->setBackground({});
    shot = window->snapshot();
    EXPECT_EQ(pixel(shot, box.x() + 20, box.midY()), gfx::Color::white()) << "the border style is back";
}

namespace {

// Steps: "type:TEXT", "key:NAME", "mark:TEXT".
struct EditCase {
    const char* name;
    const char* start;
    std::vector<std::string> steps;
    const char* text;
    size_t selectionStart;
    size_t selectionLength;
};

} // namespace

TEST_F(TextFieldTest, EditingKeysSelectionAndClipboardWorkAtTheCaret)
{
    const EditCase cases[] = {
        {"left then backspace", "chx", {"key:left", "key:\b"}, "cx", 1, 0},
        {"typing in the middle", "ac", {"key:left", "type:b"}, "abc", 2, 0},
        {"home and delete", "abc", {"key:home", "key:delete"}, "bc", 0, 0},
        {"left over a two-byte character", "né", {"key:left", "type:x"}, "nxé", 2, 0},
        {"right at the end stays", "ab", {"key:right", "type:c"}, "abc", 3, 0},
        {"select all then type replaces", "old text", {"key:ctrl+a", "type:lamp"}, "lamp", 4, 0},
        {"shift+left selects, backspace removes it", "abcd", {"key:shift+left", "key:shift+left", "key:\b"}, "ab", 2, 0},
        {"shift+home selects to the start", "abcd", {"key:left", "key:shift+home"}, "abcd", 0, 3},
        {"left collapses a selection at its start", "abcd", {"key:shift+left", "key:shift+left", "key:left", "type:X"}, "abXcd", 3, 0},
        {"delete removes the selection", "abcd", {"key:home", "key:shift+right", "key:delete"}, "bcd", 0, 0},
        {"cut and paste move text", "hello world", {"key:shift+home", "key:ctrl+x", "type:>", "key:ctrl+v"}, ">hello world", 12, 0},
        {"copy keeps the text", "ab", {"key:ctrl+a", "key:ctrl+c", "key:end", "key:ctrl+v"}, "abab", 4, 0},
        {"composition is not text until committed", "a", {"mark:zhong", "type:中"}, "a中", 4, 0},
        {"composition ended empty leaves the text", "a", {"mark:ni", "mark:"}, "a", 1, 0},
    };
    for (const auto& c : cases) {
        field->resignFirstResponder();
        field->setText(c.start);
        tap({200, 115});
        ASSERT_TRUE(field->isEditing()) << c.name;
        for (const auto& step : c.steps) {
            std::string arg = step.substr(step.find(':') + 1);
            if (step.rfind("type:", 0) == 0)
                window->typeText(arg);
            else if (step.rfind("key:", 0) == 0)
                window->pressKey(arg);
            else {
                window->setMarkedText(arg);
                EXPECT_EQ(field->markedText(), arg) << c.name;
            }
        }
        EXPECT_EQ(field->text(), c.text) << c.name;
        EXPECT_EQ(field->selectionStart(), c.selectionStart) << c.name;
        EXPECT_EQ(field->selectionLength(), c.selectionLength) << c.name;
        EXPECT_EQ(field->markedText(), "") << c.name;
    }
}

TEST_F(TextFieldTest, TapsPlaceTheCaretADoubleTapSelectsAWordAndTheDelegateSeesTheRange)
{
    RecordingDelegate delegate;
    field->setDelegate(&delegate);
    field->setText("alpha beta gamma");
    tap({200, 115}); // focus only
    EXPECT_EQ(field->caretPosition(), 16u);
    // A tap between two characters puts the caret at the nearer boundary.
    double between = field->convertPointToView({field->xForCharacterIndex(6) + 1, 0}, nullptr).x;
    tap({between, 115});
    EXPECT_EQ(field->caretPosition(), 6u);
    window->typeText("x");
    EXPECT_EQ(delegate.changes.back(), (Change{6, 0, "x"}));
    EXPECT_EQ(field->text(), "alpha xbeta gamma");

    double inGamma = field->convertPointToView({field->xForCharacterIndex(14), 0}, nullptr).x;
    window->touchDown(1, {inGamma, 115});
    window->touchUp(1, {inGamma, 115});
    base::RunLoop::main().advance(0.1);
    window->touchDown(1, {inGamma, 115});
    window->touchUp(1, {inGamma, 115});
    EXPECT_EQ(field->selectedText(), "gamma");
    window->typeText("d");
    EXPECT_EQ(delegate.changes.back(), (Change{12, 5, "d"}));
    EXPECT_EQ(field->text(), "alpha xbeta d");
    field->setDelegate(nullptr);
}

TEST_F(TextFieldTest, TheCaretBlinksOnTheClockAndALongLineScrollsToKeepItInView)
{
    tap({200, 115});
    EXPECT_TRUE(field->isCaretShown());
    base::RunLoop::main().advance(0.51);
    EXPECT_FALSE(field->isCaretShown());
    base::RunLoop::main().advance(0.5);
    EXPECT_TRUE(field->isCaretShown());
    base::RunLoop::main().advance(0.5);
    window->typeText("a");
    EXPECT_TRUE(field->isCaretShown()) << "typing shows the caret again";

    window->typeText(std::string(80, 'w'));
    window->snapshot();
    double room = field->textRect().width();
    EXPECT_GT(field->horizontalScroll(), 0);
    double caret = field->xForCharacterIndex(field->caretPosition());
    EXPECT_LE(caret, field->textRect().maxX());
    window->pressKey("home");
    window->snapshot();
    EXPECT_EQ(field->horizontalScroll(), 0);
    EXPECT_GE(field->xForCharacterIndex(0), field->textRect().x());
    EXPECT_GT(room, 0);

    auto rect = field->caretRectInWindow();
    ASSERT_TRUE(rect);
    EXPECT_NEAR(rect->x(), 100 + field->textRect().x(), 1);
    field->resignFirstResponder();
    EXPECT_FALSE(field->caretRectInWindow());
}
