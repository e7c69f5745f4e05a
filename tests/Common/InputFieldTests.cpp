#include "tests/App/AppWindowTestSupport.h"

#include "Common/AlphaInputValidator.h"
#include "Common/AutoInputTextField.h"
#include "Common/NumericInputValidator.h"
#include "Common/QVTextField.h"
#include "Platform/Graphics/Text.h"

#include <cmath>

namespace {

using apptest::AppWindowTest;

class InputFieldTest : public AppWindowTest {
protected:
    std::shared_ptr<ui::TextField> fieldWithText(const std::string& text)
    {
        auto field = ui::View::make<ui::TextField>(gfx::Rect(10, 10, 200, 31));
        field->setText(text);
        return field;
    }
};

class AlertRecorder : public ui::AlertViewDelegate {
public:
    std::vector<std::string> events;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override
    {
        events.push_back("clicked " + std::to_string(alert.tag()) + " " + std::to_string(index));
    }
};

TEST_F(InputFieldTest, ValidatorsJudgeTheWholeTextAndExplainInTheCurrentLanguage)
{
    NumericInputValidator numeric;
    AlphaInputValidator alpha;
    struct Case {
        const InputValidator* validator;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {&numeric, "12", true},      {&numeric, "12.50", true},   {&numeric, "0.99", true},
        {&numeric, "0", true},       {&numeric, "007", true},     {&numeric, "12.5", false},
        {&numeric, ".5", false},     {&numeric, "-3", false},     {&numeric, "1e3", false},
        {&numeric, "", false},       {&numeric, "12.", false},    {&numeric, " 12", false},
        {&numeric, "12\nabc", false}, {&alpha, "", true},         {&alpha, "Abc", true},
        {&alpha, "Ab1", false},      {&alpha, "Ab\nc", false},
    };
    std::string englishReason;
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        for (const Case& c : cases) {
            auto field = fieldWithText(c.text);
            std::optional<InputValidationError> error;
            SCOPED_TRACE(std::string(c.validator == &numeric ? "numeric " : "alpha ") + c.text);
            EXPECT_EQ(c.validator->validateInputError(field.get(), &error), c.accepted);
            EXPECT_EQ(error.has_value(), !c.accepted);
            // Asked without an error, it answers the same.
            EXPECT_EQ(c.validator->validateInputError(field.get(), nullptr), c.accepted);
            if (!error)
                continue;
            EXPECT_EQ(error->domain, "InputValidationErrorDomain");
            EXPECT_EQ(error->localizedDescription, Language::stringWithName("INPUTVALIDATIONFAILED"));
            if (c.validator == &numeric) {
                EXPECT_EQ(error->code, 1001);
                EXPECT_EQ(error->localizedFailureReason, Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER"));
                if (language == 1)
                    englishReason = error->localizedFailureReason;
                else
                    EXPECT_NE(error->localizedFailureReason, englishReason);
            } else {
                EXPECT_EQ(error->code, 1002);
                EXPECT_EQ(error->localizedFailureReason, "The input can contain only letters");
            }
        }
    }
    EXPECT_FALSE(englishReason.empty());

    // The base accepts nothing and clears any earlier error.
    std::optional<InputValidationError> error = InputValidationError{};
    EXPECT_FALSE(InputValidator().validateInputError(fieldWithText("12").get(), &error));
    EXPECT_FALSE(error.has_value());
}

TEST_F(InputFieldTest, ARefusedFieldAlertsOncePerCheckAndItsTargetHearsTheAnswer)
{
    auto field = ui::View::make<QVTextField>(gfx::Rect(100, 100, 200, 31));
    field->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    field->setInputValidator(std::make_shared<NumericInputValidator>());
    auto target = std::make_shared<AlertRecorder>();
    field->setTraget(target);
    window->addSubview(field);

    ASSERT_TRUE(driver->tap(field.get()));
    driver->type("12.5");
    EXPECT_FALSE(field->validate());
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->tag(), 999);
    EXPECT_EQ(alert->title(), Language::stringWithName("NOTIFICATION"));
    EXPECT_EQ(alert->message(), Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER"));
    ASSERT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "OK");
    driver->wait(0.3);
    ASSERT_TRUE(driver->tap(driver->findByText("OK")));
    EXPECT_EQ(target->events, std::vector<std::string>{"clicked 999 0"});
    driver->wait(0.3);
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);

    // The form stays editable, and an accepted text shows nothing.
    ASSERT_TRUE(driver->tap(field.get()));
    driver->type("0");
    EXPECT_EQ(field->text(), "12.50");
    EXPECT_TRUE(field->validate());
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);

    // Each refusal alerts again; a target that has gone is simply not told.
    field->setText("x");
    EXPECT_FALSE(field->validate());
    EXPECT_FALSE(field->validate());
    EXPECT_NE(ui::AlertView::visibleAlert(), nullptr);
    EXPECT_EQ(ui::AlertView::queuedCount(), 1u);
    target.reset();
    driver->wait(0.3);
    ASSERT_TRUE(driver->tap(driver->findByText("OK")));
}

TEST_F(InputFieldTest, TheSuggestionIsDrawnGreyAfterTheTypedTextUntilCleared)
{
    auto field = ui::View::make<AutoInputTextField>(gfx::Rect(100, 100, 300, 31));
    field->setBackgroundColor(gfx::Color::white());
    window->addSubview(field);
    ASSERT_TRUE(driver->tap(field.get()));
    driver->type("ab");
    field->resignFirstResponder(); // no caret near the suggestion
    field->showAutoTextWithPointX(std::string("c"), 20);
    EXPECT_EQ(field->autoTextStr(), std::string("c"));

    gfx::Size size = gfx::sizeOfText("c", field->font());
    gfx::Rect box(100 + 20, 100 + field->textTop(), std::ceil(size.width), std::ceil(size.height));
    // Mid-grey pixels of the suggestion, and nothing darker: it is not the typed black.
    auto count = [&](const gfx::Image& shot, double& darkest) {
        int grey = 0;
        darkest = 1;
        for (int y = int(box.y()); y < int(box.maxY()); ++y)
            for (int x = int(box.x()); x < int(box.maxX()); ++x) {
                gfx::Color c = shot.colorAt(x, y);
                darkest = std::min(darkest, c.r);
                if (std::fabs(c.r - 0.5) < 0.04 && std::fabs(c.g - 0.5) < 0.04 && std::fabs(c.b - 0.5) < 0.04)
                    ++grey;
            }
        return grey;
    };
    double darkest = 0;
    auto shot = window->snapshot();
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
        shot.writePng(std::string(review) + "/auto_input.png");
    EXPECT_GE(count(shot, darkest), 3);
    EXPECT_GT(darkest, 0.45);

    field->showAutoTextWithPointX(std::nullopt, 20);
    EXPECT_EQ(count(window->snapshot(), darkest), 0);
    EXPECT_GT(darkest, 0.95);
    EXPECT_EQ(field->text(), "ab");
}

// The lowest edge of ink over the columns [x0, x1) points, in points from the top: the row
// where the text's colour covers at least half of each device pixel.
double inkBottom(const gfx::Image& shot, double scale, double x0, double x1, double ink)
{
    int last = -1;
    for (int y = 0; y < shot.pixelHeight(); ++y)
        for (int x = static_cast<int>(x0 * scale); x < static_cast<int>(x1 * scale); ++x) {
            double coverage = (1 - shot.colorAt(x, y).r) / (1 - ink);
            if (coverage >= 0.5)
                last = y;
        }
    return (last + 1) / scale;
}

TEST_F(InputFieldTest, TheSuggestionSitsOnTheTypedTextsBaselineForAnyHeightAndSize)
{
    constexpr double kZoom = 4;
    struct Case {
        const char* typed;
        const char* typedGlyph; // flat-bottomed, at the end of the typed text
        const char* suggestion; // starts with a flat-bottomed glyph
    };
    // Then families mixed: a line holding Chinese has its baseline lower than one of Latin
    // letters only, so the two texts cannot simply share a top.
    const Case cases[] = {{"EH", "H", "EL"}, {"EH", "H", "E\xE5\xBC\xA0"}, {"\xE6\x9D\x8EH", "H", "EL"}};
    for (const Case& c : cases)
        for (double size : {14.0, 18.0, 24.0})
            for (double height : {31.0, 44.0, 60.0}) {
                auto field = ui::View::make<AutoInputTextField>(gfx::Rect(0, 0, 300, height));
                field->setBackgroundColor(gfx::Color::white());
                field->setFont(gfx::Font::systemFont(size));
                field->setText(c.typed);
                double typedEnd = field->textRect().x() + gfx::sizeOfText(c.typed, field->font()).width;
                double glyphWidth = gfx::sizeOfText(c.typedGlyph, field->font()).width;
                double x = typedEnd + 12;
                field->showAutoTextWithPointX(std::string(c.suggestion), x);
                auto context = gfx::Context::createBitmap(field->bounds().size, kZoom);
                ui::renderView(*field, *context);
                gfx::Image shot = context->makeImage();
                double typed = inkBottom(shot, kZoom, typedEnd - glyphWidth + 2, typedEnd - 2, 0);
                double suggested = inkBottom(shot, kZoom, x + 1, x + gfx::sizeOfText("E", field->font()).width - 2, 0.5);
                EXPECT_GT(typed, field->textTop()) << c.typed << " " << size << " " << height;
                EXPECT_NEAR(suggested, typed, 0.5) << c.typed << " " << size << " " << height;
                if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"); review && size == 24 && height == 60)
                    shot.writePng(std::string(review) + "/auto_input_baseline_" + std::to_string(&c - cases) + ".png");
            }
}

} // namespace
