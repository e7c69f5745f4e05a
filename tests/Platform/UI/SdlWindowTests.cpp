#include "Platform/Base/Pasteboard.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Backend.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Window.h"
#include "tests/Platform/UI/X11KeyEvents.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

extern char** environ;

using namespace ui;

// The SDL window's own event path, on a virtual display of its own: events are pushed into
// SDL's queue as the desktop would send them, and the desktop's clipboard is the display's.
namespace {

// A virtual X display on a free number, for this test only.
class VirtualDisplay {
public:
    bool start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int spawned = posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, argv.data(), environ);
        close(fds[1]);
        if (spawned != 0) {
            close(fds[0]);
            m_pid = -1;
            return false;
        }
        // The server writes its number once it takes connections; a loaded machine is slow.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 60000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number.push_back(c);
        }
        close(fds[0]);
        if (number.empty())
            return false;
        m_name = ":" + number;
        return true;
    }
    ~VirtualDisplay()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& name() const { return m_name; }

private:
    pid_t m_pid = -1;
    std::string m_name;
};

// What a command prints, run on another thread while the window keeps answering the display.
std::string commandOutput(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_display.start()) << "Xvfb did not start";
        if (const char* old = std::getenv("DISPLAY"))
            m_oldDisplay = old;
        setenv("DISPLAY", m_display.name().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        View::setAnimationsEnabled(false);
        backend = Backend::makeWindowed();
        ASSERT_NE(backend, nullptr);
        window = std::make_shared<Window>();
        window->setBackgroundColor(gfx::Color::white());
        window->makeKeyAndVisible();
        pumpFor(0.1);
    }
    void TearDown() override
    {
        AlertView::dismissAllForTesting();
        window.reset();
        backend.reset();
        Keyboard::resetForTesting();
        View::setAnimationsEnabled(true);
        if (m_oldDisplay)
            setenv("DISPLAY", m_oldDisplay->c_str(), 1);
        else
            unsetenv("DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
    }

    void pumpFor(double seconds) { backend->processEvents(seconds); }
    bool pumpUntil(const std::function<bool()>& done, double seconds = 30)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            backend->processEvents(0.02);
        }
        return true;
    }
    void push(SDL_Event event)
    {
        SDL_PushEvent(&event);
        backend->processEvents(0);
    }
    void key(SDL_Keycode sym, Uint16 mod = KMOD_NONE)
    {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        push(event);
    }
    void text(const char* utf8)
    {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        snprintf(event.text.text, sizeof event.text.text, "%s", utf8);
        push(event);
    }
    void composing(const char* utf8)
    {
        SDL_Event event{};
        event.type = SDL_TEXTEDITING;
        snprintf(event.edit.text, sizeof event.edit.text, "%s", utf8);
        push(event);
    }
    void wheel(int x, int y, float dy)
    {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.mouseX = x;
        event.wheel.mouseY = y;
        event.wheel.y = static_cast<Sint32>(dy);
        event.wheel.preciseY = dy;
        push(event);
    }
    std::string display() const { return m_display.name(); }

    std::unique_ptr<Backend> backend;
    std::shared_ptr<Window> window;

private:
    VirtualDisplay m_display;
    std::optional<std::string> m_oldDisplay;
};

TEST_F(SdlWindowTest, CopyAndPasteGoThroughTheDesktopClipboardAndHeadlessNeverTouchesIt)
{
    auto field = std::make_shared<TextField>(gfx::Rect(100, 100, 400, 40));
    window->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());

    // Text another program put on the clipboard pastes into the field.
    ASSERT_EQ(std::system(("printf '%s' '上海 Road 9' | DISPLAY=" + display() + " xclip -selection clipboard -i").c_str()), 0);
    // The other program answers in its own time: paste again until its text has come.
    EXPECT_TRUE(pumpUntil([&] {
        field->setText("");
        key(SDLK_v, KMOD_LCTRL);
        return field->text() == "上海 Road 9";
    }));
    EXPECT_EQ(field->text(), "上海 Road 9");

    // Text copied from the field is what another program reads back.
    field->setText("Level 3, 北京");
    key(SDLK_a, KMOD_LCTRL);
    key(SDLK_c, KMOD_LCTRL);
    auto read = std::async(std::launch::async, [this] {
        return commandOutput("DISPLAY=" + display() + " xclip -selection clipboard -o");
    });
    ASSERT_TRUE(pumpUntil([&] { return read.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(read.get(), "Level 3, 北京");

    // Once the window is gone the pasteboard is this process's again: the display's
    // clipboard is neither read nor written.
    window.reset();
    backend.reset();
    auto headless = std::make_shared<Window>();
    headless->makeKeyAndVisible();
    auto other = std::make_shared<TextField>(gfx::Rect(10, 10, 300, 30));
    headless->addSubview(other);
    ASSERT_TRUE(other->becomeFirstResponder());
    ASSERT_EQ(std::system(("printf 'desktop' | DISPLAY=" + display() + " xclip -selection clipboard -i").c_str()), 0);
    // The helper serving it takes the clipboard in the background: until the display reads it.
    auto desktopClipboard = [&] { return commandOutput("DISPLAY=" + display() + " xclip -selection clipboard -o 2>/dev/null"); };
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return desktopClipboard() == "desktop"; }, 30));
    headless->pressKey("ctrl+v");
    EXPECT_NE(other->text(), "desktop");
    other->setText("kept here");
    headless->pressKey("ctrl+a");
    headless->pressKey("ctrl+c");
    EXPECT_EQ(desktopClipboard(), "desktop");
    other->setText("");
    headless->pressKey("ctrl+v");
    EXPECT_EQ(other->text(), "kept here");
}

TEST_F(SdlWindowTest, KeysFromTheDesktopReachAlertsFieldsAndPages)
{
    // Tab and Shift+Tab between two fields; Return and Escape on an alert.
    auto first = std::make_shared<TextField>(gfx::Rect(100, 100, 300, 40));
    auto second = std::make_shared<TextField>(gfx::Rect(100, 160, 300, 40));
    window->addSubview(second);
    window->addSubview(first);
    ASSERT_TRUE(first->becomeFirstResponder());
    key(SDLK_TAB);
    EXPECT_TRUE(second->isFirstResponder());
    key(SDLK_TAB, KMOD_LSHIFT);
    EXPECT_TRUE(first->isFirstResponder());

    struct Log : AlertViewDelegate {
        std::vector<int> clicked;
        void alertViewClickedButtonAtIndex(AlertView&, int i) override { clicked.push_back(i); }
    } log;
    for (SDL_Keycode sym : {SDLK_RETURN, SDLK_ESCAPE, SDLK_KP_ENTER}) {
        auto alert = std::make_shared<AlertView>("Delete?", "", &log, "Cancel", std::vector<std::string>{"Delete"});
        alert->show();
        key(sym);
        EXPECT_FALSE(alert->isVisible());
    }
    EXPECT_EQ(log.clicked, (std::vector<int>{1, 0, 1}));
    first->resignFirstResponder();

    // Three pages: the wheel and the page keys turn them.
    auto pages = std::make_shared<ScrollView>(gfx::Rect(0, 300, 1024, 400));
    pages->setPagingEnabled(true);
    pages->setContentSize({3 * 1024, 400});
    window->addSubview(pages);
    wheel(500, 500, -1); // one notch towards the user: onwards
    ASSERT_TRUE(pumpUntil([&] { return !pages->isDragging() && !pages->isDecelerating(); }));
    EXPECT_EQ(pages->contentOffset().x, 1024);
    // The keys go to what lies under the pointer.
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 500;
    motion.motion.y = 500;
    push(motion);
    const struct {
        SDL_Keycode sym;
        double expected;
    } keys[] = {{SDLK_PAGEDOWN, 2048}, {SDLK_PAGEUP, 1024}, {SDLK_LEFT, 0}, {SDLK_END, 2048}, {SDLK_HOME, 0}, {SDLK_RIGHT, 1024}};
    for (const auto& k : keys) {
        key(k.sym);
        EXPECT_EQ(pages->contentOffset().x, k.expected) << SDL_GetKeyName(k.sym);
    }
}

TEST_F(SdlWindowTest, APasswordFieldTurnsCompositionOffAndTakesTheKeysThemselves)
{
    auto password = std::make_shared<TextField>(gfx::Rect(100, 100, 300, 40));
    password->setSecureTextEntry(true);
    auto name = std::make_shared<TextField>(gfx::Rect(100, 160, 300, 40));
    window->addSubview(password);
    window->addSubview(name);
    EXPECT_TRUE(SDL_IsTextInputActive());

    ASSERT_TRUE(password->becomeFirstResponder());
    pumpFor(0);
    EXPECT_FALSE(SDL_IsTextInputActive());
    // An input method's composition or commit does not reach it; keys do, shifted as typed.
    composing("nihao");
    text("你好");
    EXPECT_EQ(password->markedText(), "");
    key(SDLK_s, KMOD_LSHIFT);
    key(SDLK_3);
    key(SDLK_1, KMOD_RSHIFT);
    key(SDLK_SLASH);
    key(SDLK_BACKSPACE);
    key(SDLK_x, KMOD_CAPS);
    EXPECT_EQ(password->text(), "S3!X");

    // Back in a plain field, composition is on again and characters come as text.
    ASSERT_TRUE(name->becomeFirstResponder());
    pumpFor(0);
    EXPECT_TRUE(SDL_IsTextInputActive());
    composing("nihao");
    EXPECT_EQ(name->markedText(), "nihao");
    text("你好");
    key(SDLK_s); // arrives as text, not as a key
    EXPECT_EQ(name->text(), "你好");
}

TEST_F(SdlWindowTest, APasswordIsTypedAsTheLayoutTypesItWhateverShiftSDLRemembers)
{
    auto password = std::make_shared<TextField>(gfx::Rect(100, 100, 300, 40));
    password->setSecureTextEntry(true);
    window->addSubview(password);
    ASSERT_TRUE(password->becomeFirstResponder());
    pumpFor(0);
    // An input method took the release of a Shift used in another field: SDL still holds it,
    // the desktop does not. Keys 0x73 s, 0x33 3, 0x63 c, 0x72 r, 0x65 e, 0x74 t, and 0x31 1
    // with Shift truly held for the "!".
    const struct {
        unsigned long keysym;
        SDL_Keycode sym;
        bool shiftHeld;
    } keys[] = {{0x73, SDLK_s, false}, {0x33, SDLK_3, false}, {0x63, SDLK_c, false}, {0x72, SDLK_r, false},
                {0x65, SDLK_e, false}, {0x74, SDLK_t, false}, {0x31, SDLK_1, true}};
    X11KeyPresses desktop;
    for (const auto& k : keys) {
        desktop.push(k.keysym, k.shiftHeld);
        key(k.sym, KMOD_LSHIFT);
    }
    EXPECT_EQ(password->text(), "s3cret!");
    // Shortcuts still go to the field as keys, and type nothing.
    password->setText("");
    desktop.push(0x61, false);
    key(SDLK_a, KMOD_LCTRL);
    EXPECT_EQ(password->text(), "");

    // Tab goes forward and Shift+Tab back as the desktop held Shift, whatever SDL remembers.
    auto next = std::make_shared<TextField>(gfx::Rect(100, 160, 300, 40));
    auto last = std::make_shared<TextField>(gfx::Rect(100, 220, 300, 40));
    window->addSubview(next);
    window->addSubview(last);
    const struct {
        bool desktopShift;
        SDL_Keymod sdlMod;
        TextField* focused;
    } tabs[] = {{false, KMOD_LSHIFT, next.get()}, {false, KMOD_LSHIFT, last.get()}, {true, KMOD_NONE, next.get()},
                {true, KMOD_NONE, password.get()}, {false, KMOD_NONE, next.get()}, {true, KMOD_LSHIFT, password.get()}};
    for (const auto& tab : tabs) {
        desktop.push(0xff09, tab.desktopShift);
        key(SDLK_TAB, tab.sdlMod);
        EXPECT_TRUE(tab.focused->isFirstResponder()) << tab.desktopShift << " " << tab.sdlMod;
    }
}

} // namespace
