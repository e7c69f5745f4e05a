#include "tests/App/AppWindowTestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Widgets/BRCheckBoxView.h"
#include "Widgets/SwitchButton.h"

#include <string>
#include <vector>

namespace {

using apptest::AppWindowTest;

// Records each call with the index the switch reported at that moment.
class SwitchRecorder : public SwitchButtonDelegate {
public:
    std::vector<std::string> log;
    void selectSwitchButtonIndex(SwitchButton& sender, int index) override
    {
        log.push_back("to " + std::to_string(index) + " while " + std::to_string(sender.currentIndex()));
    }
};

class SelectionControlTest : public AppWindowTest {};

TEST_F(SelectionControlTest, SwitchTellsItsDelegateBeforeATapAndAfterAProgrammaticChange)
{
    auto sheet = std::make_shared<ui::View>(gfx::Rect(0, 0, 520, 60));
    sheet->setBackgroundColor(gfx::Color::fromWhite(0.9));
    window->addSubview(sheet);
    auto sw = std::make_shared<SwitchButton>(gfx::Rect(10, 8, 244, 43));
    SwitchRecorder recorder;
    sw->setDelegate(&recorder);
    sw->setLeftTittle("CATEGORY");
    sw->setRightTittle("TAG");
    sheet->addSubview(sw);
    EXPECT_EQ(sw->leftTittle(), "CATEGORY");
    EXPECT_EQ(sw->rightTittle(), "TAG");
    EXPECT_EQ(sw->btnLeft()->titleColorForState(ui::ControlStateNormal), gfx::Color::white());
    EXPECT_EQ(sw->btnLeft()->frame(), gfx::Rect(0, 0, 122, 43));
    EXPECT_EQ(sw->btnRight()->frame(), gfx::Rect(122, 0, 122, 43));
    ASSERT_FALSE(sw->btnRight()->backgroundImageForState(ui::ControlStateSelected).isNull());
    EXPECT_TRUE(sw->btnLeft()->isSelected());

    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> log;
        int index;
    };
    const Step steps[] = {
        {"tap selected left", [&] { driver->tap(sw->btnLeft()); }, {}, 0},
        {"tap right", [&] { driver->tap(sw->btnRight()); }, {"to 1 while 0"}, 1},
        {"tap selected right", [&] { driver->tap(sw->btnRight()); }, {}, 1},
        {"set same", [&] { sw->setCurrentIndex(1); }, {}, 1},
        {"set left", [&] { sw->setCurrentIndex(0); }, {"to 0 while 0"}, 0},
        {"tap right again", [&] { driver->tap(sw->btnRight()); }, {"to 1 while 0"}, 1},
    };
    for (const Step& step : steps) {
        recorder.log.clear();
        step.act();
        EXPECT_EQ(recorder.log, step.log) << step.what;
        EXPECT_EQ(sw->currentIndex(), step.index) << step.what;
        EXPECT_EQ(sw->btnLeft()->isSelected(), step.index == 0) << step.what;
        EXPECT_EQ(sw->btnRight()->isSelected(), step.index == 1) << step.what;
    }
    // The selected half is drawn from the navy "on" picture, the other from the grey one.
    gfx::Image shot = window->snapshot();
    gfx::Color right = shot.colorAt(10 + 183, 8 + 30);
    gfx::Color left = shot.colorAt(10 + 20, 8 + 30);
    EXPECT_GT(right.b, right.r + 0.15);
    EXPECT_LT(std::abs(left.b - left.r), 0.1);
    driver->screenshot(reviewPath("switch_right.png"));
    sw->setCurrentIndex(0);
    driver->screenshot(reviewPath("switch_left.png"));
}

TEST_F(SelectionControlTest, CheckBoxIs36HighAndDrawsEachStyle)
{
    auto sheet = std::make_shared<ui::View>(gfx::Rect(0, 0, 440, 240));
    sheet->setBackgroundColor(gfx::Color::fromWhite(0.93));
    window->addSubview(sheet);
    for (int style = 0; style <= 5; ++style) {
        for (bool checked : {false, true}) {
            auto box = std::make_shared<BRCheckBoxView>(
                gfx::Rect(checked ? 220 : 10, 10 + style * 38, 200, 50), style, checked);
            box->setText("Style " + std::to_string(style) + (checked ? " on" : " off"));
            sheet->addSubview(box);
            EXPECT_EQ(box->frame().height(), 36);
            EXPECT_EQ(box->textLabel().frame(), gfx::Rect(32, 7, 168, 20));
            gfx::Image image = box->checkBoxImageView().image();
            if (style == 5) {
                EXPECT_TRUE(image.isNull());
                continue;
            }
            ASSERT_FALSE(image.isNull()) << style;
            EXPECT_EQ(box->checkBoxImageView().frame(), gfx::Rect(5, 6, 24, 24)) << style;
        }
    }
    driver->screenshot(reviewPath("check_boxes.png"));
    // A checked box differs clearly from an unchecked one of the same style.
    gfx::Image shot = window->snapshot();
    for (int style = 0; style < 5; ++style) {
        double difference = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                gfx::Color off = shot.colorAt(10 + 5 + x, 10 + style * 38 + 6 + y);
                gfx::Color on = shot.colorAt(220 + 5 + x, 10 + style * 38 + 6 + y);
                difference += std::abs(off.r - on.r) + std::abs(off.g - on.g) + std::abs(off.b - on.b);
            }
        EXPECT_GT(difference, 20) << style;
    }
}

TEST_F(SelectionControlTest, CheckBoxTogglesInsideItsWiderAreaAndCallsTargetOverBlock)
{
    auto sheet = std::make_shared<ui::View>(gfx::Rect(0, 0, 400, 200));
    window->addSubview(sheet);
    auto box = std::make_shared<BRCheckBoxView>(gfx::Rect(100, 100, 150, 36), BRCheckBoxView::Mono, false);
    sheet->addSubview(box);
    std::vector<std::string> calls;
    box->setStateChangedBlock([&](BRCheckBoxView& b) { calls.push_back(std::string("block ") + (b.checked() ? "on" : "off")); });

    // Pressed on the box, released at the given point of the sheet.
    auto touch = [&](gfx::Point release) {
        driver->press({120, 118});
        EXPECT_DOUBLE_EQ(box->alpha(), box->enabled() ? 0.8 : 1.0);
        driver->moveTo(release);
        driver->release();
        EXPECT_DOUBLE_EQ(box->alpha(), 1.0);
        driver->wait(0.5);
    };
    struct Case {
        const char* what;
        gfx::Point release;
        bool checkedAfter;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"inside", {150, 118}, true, {"block on"}},
        {"8 above", {150, 92}, false, {"block off"}},
        {"4 left", {96, 118}, true, {"block on"}},
        {"3 right", {253, 118}, true, {}},
        {"11 above", {150, 89}, true, {}},
        {"below", {150, 137}, true, {}},
    };
    for (const Case& c : cases) {
        calls.clear();
        touch(c.release);
        EXPECT_EQ(box->checked(), c.checkedAfter) << c.what;
        EXPECT_EQ(calls, c.calls) << c.what;
    }

    // A living target wins over the block; a gone one silences both.
    auto target = std::make_shared<int>(0);
    box->setStateChangedTargetSelector(target, [&](BRCheckBoxView&) { calls.push_back("target"); });
    calls.clear();
    touch({150, 118});
    EXPECT_EQ(calls, std::vector<std::string>{"target"});
    target.reset();
    calls.clear();
    touch({150, 118});
    EXPECT_TRUE(calls.empty());

    // Disabled: shown faded, touches ignored.
    box->setEnabled(false);
    EXPECT_DOUBLE_EQ(box->checkBoxImageView().alpha(), 0.6);
    bool before = box->checked();
    touch({150, 118});
    EXPECT_EQ(box->checked(), before);
    box->setEnabled(true);
    EXPECT_DOUBLE_EQ(box->checkBoxImageView().alpha(), 1.0);
    EXPECT_TRUE(box->canBecomeFirstResponder());
}

} // namespace
