#include "Platform/UI/Driver.h"

#include <chrono>
#include <thread>

#include "Platform/Base/Log.h"
#include "Platform/Base/Memory.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/TiledView.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewController.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace ui {

namespace {
constexpr int kFinger = 1;
constexpr int kSecondFinger = 2;
constexpr double kTapHold = 0.05;
constexpr double kAfterTap = 0.5; // longer than the double-tap interval
}

Driver::Driver(Window& window) : m_window(window) {}

void Driver::simulateMemoryWarning(int pressureLevel)
{
    base::Memory::setPressureLevel(pressureLevel);
    ViewController::sendMemoryWarningToAll();
}

void Driver::wait(double seconds)
{
    if (m_waitHandler) {
        m_waitHandler(seconds);
        return;
    }
    auto& loop = base::RunLoop::main();
    if (loop.isManualClock())
        loop.advance(seconds);
    else
        loop.runFor(seconds);
}

namespace {
constexpr double kBackgroundBound = 30; // real seconds a scripted wait lets background work take
}

void Driver::waitAsUser(double seconds)
{
    auto& loop = base::RunLoop::main();
    if (m_waitHandler || !loop.isManualClock())
        return wait(seconds);
    using Clock = std::chrono::steady_clock;
    constexpr double kStep = 0.05;
    const double start = loop.now();
    const double end = start + seconds;
    const auto realStart = Clock::now();
    // A task that never ends must not hold the script: the real time given is bounded, but
    // generously, so that pictures still come back on a heavily loaded machine.
    const auto deadline = realStart + std::chrono::duration<double>(std::max(kBackgroundBound, seconds));
    for (;;) {
        // As a display refresh would: views whose layout is pending (a grid placing its
        // cells, which starts their picture reads) are laid out at every step.
        m_window.layoutIfNeeded();
        while (base::backgroundTaskCount() > 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            loop.runPending();
        }
        double left = end - loop.now();
        if (left <= 0)
            break;
        double step = std::min(kStep, left);
        // A user who waits gives a transfer under way that much real time too: the clock
        // moves no faster than real time while other threads' work is in flight, so its
        // answer is in before the next tap, as it would be before a finger's.
        const auto caughtUp = realStart + std::chrono::duration<double>(loop.now() + step - start);
        while (base::outsideWorkCount() > 0 && Clock::now() < caughtUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            loop.runPending();
        }
        loop.advance(step);
    }
}

bool Driver::isOnScreen(const View* view) const
{
    if (!view || view->window() != &m_window)
        return false;
    for (const View* v = view; v; v = v->superview())
        if (v->isHidden() || v->alpha() < 0.01)
            return false;
    gfx::Rect r = view->convertRectToView(view->bounds(), nullptr);
    return r.intersects(m_window.bounds());
}

gfx::Point Driver::centerOf(const View* view) const
{
    gfx::Rect b = view->bounds();
    return view->convertPointToView({b.midX(), b.midY()}, nullptr);
}

void Driver::collect(View* view, std::vector<View*>& out) const
{
    if (view->isHidden() || view->alpha() < 0.01)
        return;
    out.push_back(view);
    for (auto& sub : view->subviews())
        collect(sub.get(), out);
}

std::vector<View*> Driver::visibleViews() const
{
    std::vector<View*> all;
    const_cast<Window&>(m_window).layoutIfNeeded();
    collect(&m_window, all);
    std::vector<View*> out;
    for (View* v : all)
        if (isOnScreen(v))
            out.push_back(v);
    return out;
}

View* Driver::findByTag(int tag) const
{
    // Front-most first: later in drawing order wins.
    auto views = visibleViews();
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->tag() == tag)
            return *it;
    return nullptr;
}

std::vector<View*> Driver::findAllByClass(const std::string& className) const
{
    std::vector<View*> out;
    for (View* v : visibleViews())
        if (className == v->className())
            out.push_back(v);
    return out;
}

View* Driver::findByClass(const std::string& className) const
{
    auto all = findAllByClass(className);
    return all.empty() ? nullptr : all.back();
}

View* Driver::findByText(const std::string& text) const
{
    auto views = visibleViews();
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->accessibilityText() == text)
            return *it;
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if (!text.empty() && (*it)->accessibilityText().find(text) != std::string::npos)
            return *it;
    return nullptr;
}

bool Driver::tap(const View* view)
{
    if (!isOnScreen(view))
        return false;
    tap(centerOf(view));
    return true;
}

bool Driver::tapText(const std::string& text)
{
    View* view = findByText(text);
    if (!view || !isOnScreen(view))
        return false;
    gfx::Rect r = view->accessibilityRectOfText(text);
    if (r.isNull())
        return tap(view);
    tap(view->convertPointToView({r.midX(), r.midY()}, nullptr));
    return true;
}

void Driver::holdForTap()
{
    if (!m_waitHandler && base::RunLoop::main().isManualClock())
        return wait(kTapHold);
    // On the real clock one slow turn of the loop (a frame drawn on a loaded machine) could
    // outlast a long press and let its timer fire before the lift. A finger's lift is input,
    // which the window takes before the loop's tasks and timers: nothing runs in between.
    std::this_thread::sleep_for(std::chrono::duration<double>(kTapHold));
}

void Driver::tap(gfx::Point point)
{
    m_window.touchDown(kFinger, point);
    holdForTap();
    m_window.touchUp(kFinger, point);
    wait(kAfterTap);
}

void Driver::tap(gfx::Point point, int fingers)
{
    fingers = std::max(1, fingers);
    auto at = [&](int i) { return gfx::Point{point.x + (i - (fingers - 1) / 2.0) * 12, point.y}; };
    for (int i = 0; i < fingers; ++i)
        m_window.touchDown(kFinger + i, at(i));
    holdForTap();
    for (int i = 0; i < fingers; ++i)
        m_window.touchUp(kFinger + i, at(i));
    wait(kAfterTap);
}

void Driver::press(gfx::Point point)
{
    if (m_pressed)
        release();
    m_pressed = true;
    m_pressPoint = point;
    m_window.touchDown(kFinger, point);
}

void Driver::moveTo(gfx::Point point)
{
    if (!m_pressed)
        return;
    m_pressPoint = point;
    m_window.touchMoved(kFinger, point);
}

void Driver::release()
{
    if (!m_pressed)
        return;
    m_pressed = false;
    m_window.touchUp(kFinger, m_pressPoint);
}

bool Driver::scrollWheel(gfx::Point point, double dx, double dy)
{
    return m_window.scrollWheel(point, dx, dy);
}

void Driver::doubleTap(gfx::Point point)
{
    m_window.touchDown(kFinger, point);
    holdForTap();
    m_window.touchUp(kFinger, point);
    wait(0.1);
    m_window.touchDown(kFinger, point);
    holdForTap();
    m_window.touchUp(kFinger, point);
    wait(kAfterTap);
}

void Driver::longPress(gfx::Point point, double seconds)
{
    m_window.touchDown(kFinger, point);
    wait(seconds);
    m_window.touchUp(kFinger, point);
    wait(kAfterTap);
}

void Driver::drag(gfx::Point from, gfx::Point to, double seconds, int steps)
{
    steps = std::max(1, steps);
    m_window.touchDown(kFinger, from);
    for (int i = 1; i <= steps; ++i) {
        wait(seconds / steps);
        double t = static_cast<double>(i) / steps;
        m_window.touchMoved(kFinger, {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
    }
    m_window.touchUp(kFinger, to);
    wait(kAfterTap);
}

void Driver::swipe(gfx::Point from, gfx::Point to)
{
    drag(from, to, 0.1, 5);
}

void Driver::pinch(gfx::Point center, double fromDistance, double toDistance, int steps)
{
    auto at = [&](double d, int finger) {
        double half = d / 2;
        return finger == kFinger ? gfx::Point{center.x - half, center.y} : gfx::Point{center.x + half, center.y};
    };
    m_window.touchDown(kFinger, at(fromDistance, kFinger));
    m_window.touchDown(kSecondFinger, at(fromDistance, kSecondFinger));
    for (int i = 1; i <= steps; ++i) {
        wait(0.02);
        double d = fromDistance + (toDistance - fromDistance) * i / steps;
        m_window.touchMoved(kFinger, at(d, kFinger));
        m_window.touchMoved(kSecondFinger, at(d, kSecondFinger));
    }
    m_window.touchUp(kFinger, at(toDistance, kFinger));
    m_window.touchUp(kSecondFinger, at(toDistance, kSecondFinger));
    wait(kAfterTap);
}

void Driver::setInputLanguage(const std::string& language)
{
    Keyboard::setCurrentInputModePrimaryLanguage(language);
}

void Driver::type(const std::string& text)
{
    m_window.typeText(text);
    wait(0.05);
}

void Driver::pressKey(const std::string& key)
{
    m_window.pressKey(key);
    wait(0.05);
}

void Driver::enterBackground()
{
    Application::shared().enterBackground();
    wait(0.05);
}

void Driver::enterForeground()
{
    Application::shared().enterForeground();
    wait(0.05);
}

bool Driver::rotate(InterfaceOrientation orientation)
{
    bool turned = m_rotateHandler ? m_rotateHandler(orientation) : m_window.rotateToInterfaceOrientation(orientation);
    wait(Window::kRotationDuration + 0.05);
    return turned && m_window.interfaceOrientation() == orientation;
}

namespace {
// Tiles come from worker threads in real time, which a scripted run's simulated waits do not
// give them: a screenshot draws every visible tile that is still due first.
void drawDueTiles(View& view)
{
    if (view.isHidden())
        return;
    if (auto* tiled = dynamic_cast<TiledView*>(&view))
        tiled->drawVisibleTilesNow();
    for (size_t i = 0; i < view.subviews().size(); ++i)
        drawDueTiles(*view.subviews()[i]);
}
} // namespace

bool Driver::screenshot(const std::string& path)
{
    m_window.layoutIfNeeded();
    drawDueTiles(m_window);
    // What the drawn tiles hand on as they complete (the page bar's and the stand-in's pictures
    // made from them) shows in the same picture, as the next frame of a window would show it.
    base::RunLoop::main().runPending();
    m_window.layoutIfNeeded();
    return m_window.savePng(path);
}

const std::vector<std::string>& Driver::openedURLs() const
{
    return Application::shared().recordedURLs();
}

namespace {

// Splits a script line into words; double-quoted words may hold spaces and \" escapes.
bool splitWords(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted)
{
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i >= line.size())
            break;
        if (line[i] == '"') {
            std::string word;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '\\' && i < line.size()) {
                    char n = line[i++];
                    word.push_back(n == 'n' ? '\n' : n == 't' ? '\t' : n);
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    word.push_back(c);
                }
            }
            if (!closed)
                return false;
            words.push_back(word);
            quoted.push_back(true);
        } else {
            size_t start = i;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            words.push_back(line.substr(start, i - start));
            quoted.push_back(false);
        }
    }
    return true;
}

bool toNumber(const std::string& s, double& out)
{
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return !s.empty() && end && *end == '\0' && std::isfinite(out);
}

} // namespace

bool Driver::waitFor(const std::string& text, double seconds, bool gone)
{
    return runUntil([&] { return (findByText(text) != nullptr) != gone; }, seconds);
}

bool Driver::waitUntilStill(double seconds)
{
    return runUntil([] { return viewsInMotion().empty(); }, seconds);
}

bool Driver::runUntil(const std::function<bool()>& done, double seconds)
{
    using Clock = std::chrono::steady_clock;
    constexpr double kStep = 0.01;
    auto& loop = base::RunLoop::main();
    const auto start = Clock::now();
    auto last = start;
    for (;;) {
        if (done())
            return true;
        if (Application::shared().isTerminationRequested())
            return false;
        auto now = Clock::now();
        if (std::chrono::duration<double>(now - start).count() >= seconds)
            return false;
        if (m_waitHandler) {
            m_waitHandler(kStep);
        } else if (loop.isManualClock()) {
            loop.runPending();
            std::this_thread::sleep_for(std::chrono::duration<double>(kStep));
            now = Clock::now();
            loop.advance(std::chrono::duration<double>(now - last).count());
            last = now;
        } else {
            loop.runFor(kStep);
        }
    }
}

bool ScriptRunner::runFile(const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        m_error = "cannot read script " + path;
        return false;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    return runText(buffer.str());
}

bool ScriptRunner::runText(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        bool ok = runLine(line);
        // A wait cut short by the request is no failure of the script.
        if (Application::shared().isTerminationRequested()) {
            m_quit = true;
            return true;
        }
        if (!ok) {
            m_error = "line " + std::to_string(number) + ": " + m_error;
            return false;
        }
        if (m_quit)
            return true;
    }
    return true;
}

bool ScriptRunner::runLine(const std::string& line)
{
    std::vector<std::string> w;
    std::vector<bool> quoted;
    if (!splitWords(line, w, quoted)) {
        m_error = "unclosed quote";
        return false;
    }
    if (w.empty() || (!quoted[0] && w[0][0] == '#'))
        return true;
    const std::string& cmd = w[0];
    std::vector<double> n;
    for (size_t i = 1; i < w.size(); ++i) {
        double d;
        if (!quoted[i] && toNumber(w[i], d))
            n.push_back(d);
    }
    auto fail = [&](const std::string& why) {
        m_error = why;
        return false;
    };
    if (cmd == "tap") {
        if (w.size() == 3 && n.size() == 2) {
            m_driver.tap(gfx::Point{n[0], n[1]});
            return true;
        }
        if (w.size() == 4 && n.size() == 3 && n[2] >= 1 && n[2] <= 10) {
            m_driver.tap(gfx::Point{n[0], n[1]}, static_cast<int>(n[2]));
            return true;
        }
        if (w.size() == 2 && !quoted[1] && w[1][0] == '#') {
            double tag;
            if (!toNumber(w[1].substr(1), tag))
                return fail("bad tag " + w[1]);
            View* v = m_driver.findByTag(static_cast<int>(tag));
            if (!v)
                return fail("no view on screen with tag " + w[1].substr(1));
            m_driver.tap(v);
            return true;
        }
        if (w.size() == 2) {
            if (!m_driver.tapText(w[1]))
                return fail("no view on screen shows \"" + w[1] + "\"");
            return true;
        }
        return fail("usage: tap \"TEXT\" | tap X Y [FINGERS] | tap #TAG");
    }
    if (cmd == "press" && w.size() == 3 && n.size() == 2) {
        m_driver.press({n[0], n[1]});
        return true;
    }
    if (cmd == "move" && w.size() == 3 && n.size() == 2) {
        if (!m_driver.isPressed())
            return fail("move without press");
        m_driver.moveTo({n[0], n[1]});
        return true;
    }
    if (cmd == "release" && w.size() == 1) {
        if (!m_driver.isPressed())
            return fail("release without press");
        m_driver.release();
        return true;
    }
    if (cmd == "wheel" && w.size() == 5 && n.size() == 4) {
        if (!m_driver.scrollWheel({n[0], n[1]}, n[2], n[3]))
            return fail("nothing under the pointer scrolls that way");
        return true;
    }
    if (cmd == "longpress" && (n.size() == 2 || n.size() == 3)) {
        m_driver.longPress({n[0], n[1]}, n.size() == 3 ? n[2] : 1.0);
        return true;
    }
    if ((cmd == "drag" || cmd == "swipe") && (n.size() == 4 || n.size() == 5)) {
        if (cmd == "swipe")
            m_driver.swipe({n[0], n[1]}, {n[2], n[3]});
        else
            m_driver.drag({n[0], n[1]}, {n[2], n[3]}, n.size() == 5 ? n[4] : 0.3);
        return true;
    }
    if (cmd == "type" && w.size() == 2) {
        m_driver.type(w[1]);
        return true;
    }
    if (cmd == "key" && w.size() == 2) {
        std::string key = w[1] == "return" ? "\n"
                          : w[1] == "backspace" ? "\b"
                          : w[1] == "tab" ? "\t"
                          : w[1] == "shift+tab" ? "shift+\t"
                                                : w[1];
        m_driver.pressKey(key);
        return true;
    }
    if (cmd == "wait" && n.size() == 1 && n[0] >= 0) {
        m_driver.waitAsUser(n[0]);
        return true;
    }
    if ((cmd == "waitfor" || cmd == "waitgone") && w.size() == 3 && quoted[1] && n.size() == 1 && n[0] >= 0) {
        bool gone = cmd == "waitgone";
        if (!m_driver.waitFor(w[1], n[0], gone))
            return fail("\"" + w[1] + (gone ? "\" still showed after " : "\" did not show within ") + w[2] + " s");
        return true;
    }
    if (cmd == "waitstill" && n.size() == 1 && n[0] >= 0) {
        if (!m_driver.waitUntilStill(n[0]))
            return fail("the screen still moved after " + w[1] + " s");
        return true;
    }
    if (cmd == "screenshot" && w.size() == 2) {
        if (!m_driver.screenshot(w[1]))
            return fail("cannot write " + w[1]);
        base::log("screenshot written to " + w[1]);
        return true;
    }
    if (cmd == "expect" && w.size() == 2) {
        if (!m_driver.findByText(w[1]))
            return fail("expected to see \"" + w[1] + "\"");
        return true;
    }
    if (cmd == "expect-opened" && w.size() == 2) {
        const auto& opened = m_driver.openedURLs();
        auto from = opened.begin() + static_cast<std::ptrdiff_t>(std::min(m_openedSeen, opened.size()));
        auto found = std::find(from, opened.end(), w[1]);
        if (found == opened.end()) {
            std::string seen;
            for (auto it = from; it != opened.end(); ++it)
                seen += (seen.empty() ? "" : ", ") + *it;
            return fail("expected \"" + w[1] + "\" to be opened; opened: " + (seen.empty() ? "nothing" : seen));
        }
        m_openedSeen = static_cast<size_t>(found - opened.begin()) + 1;
        return true;
    }
    if (cmd == "background" && w.size() == 1) {
        m_driver.enterBackground();
        return true;
    }
    if (cmd == "foreground" && w.size() == 1) {
        m_driver.enterForeground();
        return true;
    }
    if (cmd == "rotate" && w.size() == 2 && (w[1] == "portrait" || w[1] == "landscape")) {
        bool portrait = w[1] == "portrait";
        if (!m_driver.rotate(portrait ? InterfaceOrientation::Portrait : InterfaceOrientation::LandscapeLeft))
            base::log("the screen shown does not turn to " + w[1]);
        return true;
    }
    if (cmd == "quit" && w.size() == 1) {
        m_quit = true;
        return true;
    }
    return fail("unknown command: " + line);
}

} // namespace ui
