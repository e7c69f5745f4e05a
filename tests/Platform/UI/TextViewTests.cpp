#include "ControlTestSupport.h"

#include "Platform/UI/TextView.h"

using namespace ui;
using ui::test::ControlsTest;
using ui::test::inkIn;

namespace {

class TextViewTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        window->setBackgroundColor(gfx::Color::black());
        textView = View::make<TextView>(gfx::Rect(100, 100, 300, 200));
        window->addSubview(textView);
    }
    std::shared_ptr<TextView> textView;
};

} // namespace

TEST_F(TextViewTest, DragScrollsTallTextWithinItsEnds)
{
    std::string text = "First";
    for (int i = 0; i < 30; ++i)
        text += "\nline " + std::to_string(i);
    textView->setText(text);
    textView->setEditable(false);
    double maximum = textView->contentSize().height - 200;
    ASSERT_GT(maximum, 300);

    gfx::Image top = window->snapshot();
    EXPECT_FALSE(inkIn(top, {100, 100, 300, 30}, gfx::Color::white()).isNull()) << "first line at the top";

    drag({200, 250}, {200, 150});
    EXPECT_DOUBLE_EQ(textView->contentOffset().y, 100);
    drag({200, 290}, {200, 110});
    EXPECT_DOUBLE_EQ(textView->contentOffset().y, 280);
    for (int i = 0; i < 5; ++i)
        drag({200, 290}, {200, 110});
    EXPECT_DOUBLE_EQ(textView->contentOffset().y, maximum);
    gfx::Image end = window->snapshot();
    EXPECT_TRUE(inkIn(end, {100, 300 - TextView::kInset + 1, 300, TextView::kInset - 1}, gfx::Color::white()).isNull())
        << "the bottom margin shows below the last line";
    EXPECT_FALSE(inkIn(end, {100, 250, 300, 40}, gfx::Color::white()).isNull());
    EXPECT_FALSE(textView->isFirstResponder()) << "read-only text never takes focus";

    drag({200, 110}, {200, 290});
    drag({200, 110}, {200, 290});
    drag({200, 110}, {200, 290});
    EXPECT_DOUBLE_EQ(textView->contentOffset().y, 0);

    textView->setText("Short");
    drag({200, 250}, {200, 150});
    EXPECT_DOUBLE_EQ(textView->contentOffset().y, 0) << "text that fits does not scroll";
}

TEST_F(TextViewTest, EditableTextTakesFocusOnTapAndAppendsTyping)
{
    textView->setText("Note");
    tap({200, 200});
    ASSERT_TRUE(textView->isEditing());
    window->typeText(" ünd\nmore");
    window->pressKey("\b");
    window->pressKey("\b");
    window->pressKey("\b");
    window->pressKey("\b");
    window->pressKey("\b");
    EXPECT_EQ(textView->text(), "Note ünd");
    window->pressKey("\b");
    window->pressKey("\b");
    EXPECT_EQ(textView->text(), "Note ü");
    window->pressKey("\b");
    EXPECT_EQ(textView->text(), "Note ");

    textView->setEditable(false);
    EXPECT_FALSE(textView->isEditing());
    window->typeText("x");
    EXPECT_EQ(textView->text(), "Note ");
}

TEST_F(TextViewTest, ContentInsetsPlaceTheTextAndSizeTheContent)
{
    textView->setEditable(false);
    textView->setText("Wide margins");
    double plain = textView->contentSize().height;
    textView->setContentInset({3, 10, 3, 10});
    EXPECT_DOUBLE_EQ(textView->contentSize().height, plain - 2 * TextView::kInset + 6);
    gfx::Image image = window->snapshot();
    EXPECT_TRUE(inkIn(image, {100, 100, 10, 200}, gfx::Color::white()).isNull()) << "left margin stays clear";
    EXPECT_FALSE(inkIn(image, {110, 103, 60, 20}, gfx::Color::white()).isNull()) << "text starts at the inset";
    textView->setContentInset({40, 60, 0, 0});
    image = window->snapshot();
    EXPECT_TRUE(inkIn(image, {100, 100, 300, 40}, gfx::Color::white()).isNull());
    EXPECT_FALSE(inkIn(image, {160, 140, 100, 25}, gfx::Color::white()).isNull());
}
