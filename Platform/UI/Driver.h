#pragma once
#include "Platform/Graphics/Geometry.h"

#include <functional>
#include <string>
#include <vector>

namespace ui {

class View;
class Window;
enum class InterfaceOrientation;

// Drives a window the way a user would, through real hit testing: for tests and for scripted
// runs of the application. Time moves on the main loop's clock (manual in tests).
class Driver {
public:
    explicit Driver(Window& window);

    Window& window() const { return m_window; }

    // Lookups among views on screen (not hidden, not transparent, inside the window).
    View* findByTag(int tag) const;
    std::vector<View*> findAllByClass(const std::string& className) const;
    View* findByClass(const std::string& className) const;
    // Exact text first, then the first view whose text contains it; front-most wins.
    View* findByText(const std::string& text) const;
    bool isOnScreen(const View* view) const;
    gfx::Point centerOf(const View* view) const;

    // Gestures. Each lets time pass so that the next one is not taken as a second tap.
    bool tap(const View* view);
    // The view showing `text`, tapped where that text shows (one segment of several).
    bool tapText(const std::string& text);
    void tap(gfx::Point point);
    // Several fingers side by side, 12 points apart, centred on the point, down and up together.
    void tap(gfx::Point point, int fingers);
    void doubleTap(gfx::Point point);
    void longPress(gfx::Point point, double seconds = 1.0);
    void drag(gfx::Point from, gfx::Point to, double seconds = 0.3, int steps = 12);
    void swipe(gfx::Point from, gfx::Point to);
    // A finger held down and moved step by step; no time passes between the steps unless
    // the caller waits.
    void press(gfx::Point point);
    void moveTo(gfx::Point point);
    void release();
    bool isPressed() const { return m_pressed; }
    // The mouse wheel or touchpad over a point, by (dx, dy) points of content offset.
    bool scrollWheel(gfx::Point point, double dx, double dy);
    void pinch(gfx::Point center, double fromDistance, double toDistance, int steps = 10);
    void type(const std::string& text);
    // The keyboard's input language ("zh-Hans" for Chinese), as the user switches it.
    void setInputLanguage(const std::string& language);
    void pressKey(const std::string& key);

    // Application state changes, as when the user leaves and comes back.
    void enterBackground();
    void enterForeground();
    // The device turned: the window turns when its top screen allows it (answered), after the
    // turn's animation has run. A back end with a real window resizes it instead.
    bool rotate(InterfaceOrientation orientation);
    void setRotateHandler(std::function<bool(InterfaceOrientation)> handler) { m_rotateHandler = std::move(handler); }
    // A memory warning at the given pressure level, to every live view controller.
    void simulateMemoryWarning(int pressureLevel = 0);

    // Lets time pass: the manual clock advances; the real one runs the loop.
    void wait(double seconds);
    // As a user waits: on a manual clock, time passes in short steps; at each one the window
    // is laid out and the work handed to the shared background queue is let finish and come back, so pictures
    // read off the main thread show (at most max(30, seconds) of real time). While other
    // threads' work is under way (a transfer), the clock moves no faster than real time: a
    // user's wait of a second gives it that second, and no more.
    void waitAsUser(double seconds);
    // Runs the loop in real time (a manual clock moving along) until a view on screen shows
    // the text, for at most `seconds` of real time: network answers come in real time.
    // With `gone`, until no view on screen shows it.
    bool waitFor(const std::string& text, double seconds, bool gone = false);
    // As waitFor, until nothing on screen is moving: every animation under way has ended.
    bool waitUntilStill(double seconds);
    bool screenshot(const std::string& path);
    // The addresses a headless run recorded instead of opening them, oldest first.
    const std::vector<std::string>& openedURLs() const;

    // How a pause between steps is taken: tests advance the manual clock; a windowed run
    // also keeps its window drawn and answering.
    void setWaitHandler(std::function<void(double)> handler) { m_waitHandler = std::move(handler); }

private:
    // A tapping finger's time down.
    void holdForTap();
    void collect(View* view, std::vector<View*>& out) const;
    bool runUntil(const std::function<bool()>& done, double seconds);
    std::vector<View*> visibleViews() const;

    Window& m_window;
    std::function<void(double)> m_waitHandler;
    std::function<bool(InterfaceOrientation)> m_rotateHandler;
    bool m_pressed = false;
    gfx::Point m_pressPoint;
};

// Runs a script of driver commands, one a line:
//   tap "TEXT" | tap X Y [FINGERS] | tap #TAG | longpress X Y [SECONDS] | drag X1 Y1 X2 Y2 [SECONDS]
//   press X Y | move X Y | release | wheel X Y DX DY | swipe X1 Y1 X2 Y2
//   type "TEXT" | key NAME | wait SECONDS | waitfor "TEXT" SECONDS | waitgone "TEXT" SECONDS
//   screenshot FILE
//   expect "TEXT" | expect-opened "URL" | background | foreground | rotate portrait|landscape | quit
// expect-opened looks among the addresses opened since the last one it found. A screen that
// stays landscape makes rotate a logged no-op. A requested termination (SIGTERM) ends the
// script at its next step, as quit does.
// Blank lines and lines starting with '#' are skipped. Stops at the first failing line.
class ScriptRunner {
public:
    explicit ScriptRunner(Driver& driver) : m_driver(driver) {}
    bool runFile(const std::string& path);
    bool runText(const std::string& text);
    bool quitRequested() const { return m_quit; }
    const std::string& error() const { return m_error; }

private:
    bool runLine(const std::string& line);
    Driver& m_driver;
    std::string m_error;
    bool m_quit = false;
    size_t m_openedSeen = 0;
};

} // namespace ui
