#include "UITestSupport.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TextField.h"

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

using namespace ui;

namespace {

using KeyboardTest = uitest::WindowTest;

TEST_F(KeyboardTest, FocusAndBlurPostTheKeyboardNoticesOnceAcrossFieldChanges)
{
    std::vector<std::string> heard;
    auto& center = base::NotificationCenter::defaultCenter();
    auto show = center.addObserver(kKeyboardWillShowNotification, nullptr, [&](const base::Notification&) { heard.push_back("show"); });
    auto hide = center.addObserver(kKeyboardWillHideNotification, nullptr, [&](const base::Notification&) { heard.push_back("hide"); });
    auto first = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    auto second = std::make_shared<TextField>(gfx::Rect(10, 60, 200, 30));
    auto plain = std::make_shared<View>(gfx::Rect(10, 200, 200, 200));
    for (auto& v : std::vector<std::shared_ptr<View>>{first, second, plain})
        window->addSubview(v);
    Driver driver(*window);

    const struct {
        View* tapped;
        std::vector<std::string> expected;
    } steps[] = {
        {first.get(), {"show"}},
        {second.get(), {"show"}},        // moving between fields keeps the keyboard up
        {first.get(), {"show"}},
        {plain.get(), {"show"}},         // a tap elsewhere does not take focus
    };
    for (const auto& step : steps) {
        driver.tap(step.tapped);
        EXPECT_EQ(heard, step.expected);
    }
    first->resignFirstResponder();
    driver.wait(0.1);
    EXPECT_EQ(heard, (std::vector<std::string>{"show", "hide"}));
    driver.tap(second.get());
    second->resignFirstResponder();
    driver.wait(0.1);
    EXPECT_EQ(heard, (std::vector<std::string>{"show", "hide", "show", "hide"}));
}

using ShadowPathTest = uitest::WindowTest;

TEST_F(ShadowPathTest, AClearViewCastsTheShadowOfItsPathWhereThePathLies)
{
    window->setBackgroundColor(gfx::Color::white());
    auto glow = std::make_shared<View>(gfx::Rect(100, 100, 200, 40));
    View::Shadow shadow{gfx::Color::fromRgb(48, 121, 185), {0, 2}, 3, 0.8};
    glow->setShadow(shadow);
    window->addSubview(glow);
    EXPECT_EQ(window->snapshot().colorAt(200, 120), gfx::Color::white()) << "no path, clear view: nothing";

    shadow.path = gfx::Rect(-2, -4, 204, 44);
    glow->setShadow(shadow);
    gfx::Image shot = window->snapshot();
    gfx::Color inside = shot.colorAt(200, 120);
    EXPECT_LT(inside.r, 0.5) << "blue inside the path";
    EXPECT_GT(inside.b, inside.r);
    EXPECT_LT(shot.colorAt(99, 98).r, 0.8) << "the path reaches past the view's own frame";
    EXPECT_EQ(shot.colorAt(200, 170), gfx::Color::white()) << "nothing past the blur";
    EXPECT_EQ(shot.colorAt(330, 120), gfx::Color::white());
}

using WaitForTest = uitest::WindowTest;

TEST_F(WaitForTest, WaitsInRealTimeForTextFromAnAnswerAndFailsAtItsTimeOut)
{
    auto label = std::make_shared<Label>(gfx::Rect(10, 10, 300, 30));
    label->setText("waiting");
    window->addSubview(label);
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    auto& loop = base::RunLoop::main();
    auto watch = loop.addWatch(fds[0], base::RunLoop::Readable, [&](int fd, unsigned) {
        char buf[64];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            label->setText(std::string(buf, static_cast<size_t>(n)));
    });
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        (void)!write(fds[1], "answered", 8);
    });
    Driver driver(*window);
    ScriptRunner runner(driver);
    const double before = loop.now();
    EXPECT_TRUE(runner.runText("waitfor \"answered\" 5\n")) << runner.error();
    peer.join();
    EXPECT_GT(loop.now() - before, 0.05) << "the manual clock moved along";

    EXPECT_FALSE(runner.runText("waitfor \"never\" 0.2\n"));
    EXPECT_NE(runner.error().find("never"), std::string::npos);
    EXPECT_FALSE(runner.runText("waitfor never\n"));
    EXPECT_TRUE(runner.runText("waitgone \"waiting\" 1\n")) << runner.error();
    EXPECT_FALSE(runner.runText("waitgone \"answered\" 0.1\n"));
    EXPECT_NE(runner.error().find("still showed"), std::string::npos);
    loop.removeWatch(watch);
    close(fds[0]);
    close(fds[1]);
}

} // namespace

namespace {

TEST_F(ShadowPathTest, ThePathShadowIsRedrawnWhenItFadesOutsideTheView)
{
    window->setBackgroundColor(gfx::Color::white());
    auto glow = std::make_shared<View>(gfx::Rect(100, 100, 200, 40));
    View::Shadow shadow{gfx::Color::black(), {0, 0}, 2, 1};
    shadow.path = gfx::Rect(-20, -20, 240, 80);
    glow->setShadow(shadow);
    window->addSubview(glow);
    Driver driver(*window);
    driver.wait(0.1);
    EXPECT_LT(window->snapshot().colorAt(90, 90).r, 0.2) << "outside the frame, inside the path";
    glow->setAlpha(0);
    driver.wait(0.1);
    EXPECT_EQ(window->snapshot().colorAt(90, 90), gfx::Color::white()) << "the fade cleared it";
}

} // namespace

#include "Platform/UI/Keyboard.h"

namespace {

using KeyboardServiceTest = uitest::WindowTest;

TEST_F(KeyboardServiceTest, NoticesCarryTheFrameAndFollowTheInputLanguage)
{
    Keyboard::resetForTesting();
    Keyboard::setCurrentInputModePrimaryLanguage(std::string("en-US"));
    std::vector<std::pair<std::string, gfx::Rect>> heard;
    auto& center = base::NotificationCenter::defaultCenter();
    std::vector<base::ObserverToken> tokens;
    for (const char* name : {kKeyboardWillShowNotification, kKeyboardDidShowNotification, kKeyboardWillHideNotification,
                             kKeyboardDidHideNotification, kKeyboardWillChangeFrameNotification})
        tokens.push_back(center.addObserver(name, nullptr, [&heard, name](const base::Notification& n) {
            heard.emplace_back(name, Keyboard::frameFromUserInfo(n.userInfo));
        }));
    auto field = std::make_shared<TextField>(gfx::Rect(10, 10, 200, 30));
    window->addSubview(field);
    Driver driver(*window);
    const gfx::Rect english{0, 416, 1024, 352}, chinese{0, 362, 1024, 406};

    struct Step {
        std::function<void()> act;
        std::vector<std::pair<std::string, gfx::Rect>> expected;
    };
    for (const Step& step : std::vector<Step>{
             {[&] { driver.tap(field.get()); },
              {{kKeyboardWillShowNotification, english}, {kKeyboardDidShowNotification, english}}},
             {[&] { driver.setInputLanguage("zh-Hans"); }, {{kKeyboardWillChangeFrameNotification, chinese}}},
             {[&] { driver.setInputLanguage("zh-Hans"); }, {}}, // no change, no notice
             {[&] { field->resignFirstResponder(); },
              {{kKeyboardWillHideNotification, chinese}, {kKeyboardDidHideNotification, chinese}}},
             {[&] { driver.setInputLanguage("en-US"); }, {}}, // hidden: nothing to move
         }) {
        heard.clear();
        step.act();
        EXPECT_EQ(heard, step.expected);
    }
    EXPECT_FALSE(Keyboard::isVisible());
    Keyboard::resetForTesting();
}

TEST_F(KeyboardServiceTest, AFieldShrinksItsFontToFitDownToTheMinimum)
{
    auto field = std::make_shared<TextField>(gfx::Rect(0, 0, 80, 30));
    field->setFont(gfx::Font::systemFont(17));
    struct Case {
        const char* text;
        bool adjusts;
        double minimum;
        double expected; // drawn point size; 0: smaller than 17, above the minimum
    };
    for (const Case& c : {Case{"12", true, 10, 17}, Case{"1,234,567.00", true, 10, 0}, Case{"1,234,567,890,123.00", true, 10, 10},
                          Case{"1,234,567.00", false, 10, 17}, Case{"", true, 10, 17}}) {
        field->setText(c.text);
        field->setAdjustsFontSizeToFitWidth(c.adjusts);
        field->setMinimumFontSize(c.minimum);
        double size = field->drawnFont().pointSize();
        if (c.expected > 0) {
            EXPECT_EQ(size, c.expected) << c.text;
        } else {
            EXPECT_LT(size, 17) << c.text;
            EXPECT_GT(size, 10) << c.text;
            EXPECT_LE(gfx::sizeOfText(c.text, field->drawnFont()).width, 80) << c.text;
        }
    }
}

} // namespace
