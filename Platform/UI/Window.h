#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Region.h"
#include "Platform/UI/Touch.h"
#include "Platform/UI/View.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class ViewController;
enum class InterfaceOrientation;

// The screen: 1024 by 768 points in landscape, 768 by 1024 once turned to portrait. Touches and keys arrive here from a back end
// (the SDL window or the headless driver) and are dispatched through hit testing.
class Window : public View {
public:
    static constexpr gfx::Size kScreenSize{1024, 768};
    static constexpr double kRotationDuration = 0.3;

    Window();
    ~Window() override;
    const char* className() const override { return "Window"; }

    void setRootViewController(const std::shared_ptr<ViewController>& controller);
    std::shared_ptr<ViewController> rootViewController() const { return m_rootViewController; }
    void makeKeyAndVisible();
    static Window* keyWindow();

    // Turning the screen. The top screen (the root's shown chain, through full-screen modals)
    // decides with shouldAutorotate and its supported orientations; the shown controllers hear
    // before the turn, inside its animation after the new size is set, and after it. Touches in
    // progress are cancelled. False when the top screen refused; true when turned or already so.
    // Either way the orientation is the device's from now on.
    bool rotateToInterfaceOrientation(InterfaceOrientation orientation, bool animated = true);
    InterfaceOrientation interfaceOrientation() const { return m_orientation; }
    static gfx::Size screenSizeForOrientation(InterfaceOrientation orientation);
    // After the top screen changed: it takes the device's orientation (the last one asked for)
    // when it can and may turn; else, when it cannot show the current orientation, the window
    // turns at once to one it can (landscape first), whatever its shouldAutorotate says.
    void turnToSupportedOrientation();
    // The controller whose answers decide a turn; null without a root.
    ViewController* topScreenController() const;

    double scale() const { return m_scale; }
    void setScale(double scale);

    // Input from a back end, in window points. Time comes from the main run loop's clock.
    void touchDown(int id, gfx::Point point);
    void touchMoved(int id, gfx::Point point);
    void touchUp(int id, gfx::Point point);
    void touchCancelled(int id);
    // A mouse wheel or touchpad at a point: the innermost scroll view under it that can move
    // by (dx, dy) points of offset takes it. False when none could.
    bool scrollWheel(gfx::Point point, double dx, double dy);
    bool hasActiveTouches() const { return !m_touches.empty(); }
    // A recognizer began between touch events (a long press timer): its rivals fail and the
    // view's touches are cancelled now, not at the next touch event.
    void gestureRecognizerDidBegin(GestureRecognizer& recognizer);
    // Where typed text and keys go: the first responder, unless an alert is up and the
    // responder lies behind it (an alert takes every key; only its own field hears them), or
    // it lies behind a popover that holds a field of its own (the popover takes the keys), or
    // a sheet (a controller presented on top) covers it: a sheet takes the keys too.
    Responder* keyResponder() const;
    // Text goes to the key responder; "\n", "\b", "\t" and "escape" are keys.
    void typeText(const std::string& text);
    // A key as a desktop takes it: Return and Escape answer an alert that is up, which lets no
    // other key reach a view behind it; Escape
    // otherwise closes the popover or action sheet on top as a click outside it does, or asks
    // the controller presented on top (ViewController::escapePressed). Up, Down and Return
    // move through and pick from a list shown in a popover (search results) or a sheet. Tab and
    // "shift+\t" move the focus through the screen's text fields in reading order; the focused
    // view takes the rest, but for the page and line keys, which like the others that scroll
    // (see ScrollView::scrollByKey) go to the list with the keyboard focus (the one holding
    // the focused view, else the one clicked last) or, failing that, the list under the pointer.
    void pressKey(const std::string& key);
    // Where the pointer is, for the keys that scroll; touches and the wheel move it too.
    void setPointerLocation(gfx::Point point) { m_pointer = point; }
    gfx::Point pointerLocation() const { return m_pointer; }
    // An input method's composition, shown by the key responder until committed by typeText.
    void setMarkedText(const std::string& text) override;

    // Lays out and draws the whole tree into a context of the window's size.
    void render(gfx::Context& context);
    // The kept frame at its scale, brought up to date: only the dirty region is drawn again.
    // At the window's own scale this is also what snapshot() copies.
    gfx::Image snapshot();
    bool savePng(const std::string& path);

    // Drawing on demand. Views add what they change; a frame draws the region and empties it.
    void setNeedsDisplayInWindowRect(const gfx::Rect& rect);
    const gfx::Region& dirtyRegion() const { return m_dirty; }
    // Lays out and lets running animations mark where they move; answers whether a frame
    // has anything to draw.
    bool prepareFrame();
    // Animations that move something in this window, as of the last prepareFrame.
    bool hasRunningAnimations() const { return !m_animated.empty(); }
    // Draws what is dirty into the kept frame of `scale` pixels per point, made anew (and
    // drawn whole) when the scale changes.
    const gfx::Context& drawFrame(double scale);
    // The frame's pixels drawn since the last call, for a back end that copies them out.
    std::vector<gfx::PixelRect> takeFrameDamage();

    // Views leaving the screen lose their touches and focus.
    void viewDidHide(View* view);
    void viewWillLeaveWindow(View* view);

private:
    void turn(InterfaceOrientation orientation, bool animated);
    bool moveFocus(bool forward);
    View* passOnFromListOverTyping(View* hit, gfx::Point point);
    bool scrollByKey(const std::string& key);
    bool dismissTopLayerByEscape();
    bool pickFromPopoverList(const std::string& key);
    void dispatch(Touch& touch, TouchPhase phase);
    void deliverToRecognizers(Touch& touch, TouchPhase phase, Event& event);
    void cancelViewTouches(Touch& touch, Event& event);
    void recognizerWon(Touch& touch, GestureRecognizer& recognizer, Event& event);
    bool isEngaged(const GestureRecognizer& recognizer) const;
    void finishRecognizers(Touch& touch);
    Event makeEvent() const;

    void updateAnimatedViews();
    static std::vector<std::pair<gfx::PixelRect, gfx::PixelRect>> redrawAreas(std::vector<gfx::PixelRect> rects, int width,
                                                                              int height);

    std::shared_ptr<ViewController> m_rootViewController;
    InterfaceOrientation m_orientation;
    InterfaceOrientation m_deviceOrientation;
    double m_scale = 1;
    gfx::Region m_dirty;
    std::unique_ptr<gfx::Context> m_frame;
    gfx::Size m_frameSize; // the window's size when the kept frame was made
    std::vector<gfx::PixelRect> m_damage;
    // Views whose animations move them, with where they were shown in the last frame.
    struct AnimatedView {
        std::weak_ptr<View> view;
        gfx::Rect shown;
        uint64_t seen = 0;
    };
    std::map<View*, AnimatedView> m_animated;
    uint64_t m_frameNumber = 0;
    std::map<int, std::unique_ptr<Touch>> m_touches;
    gfx::Point m_pointer{kScreenSize.width / 2, kScreenSize.height / 2};
    // The list clicked last: it keeps the keys that scroll while the pointer is elsewhere.
    std::weak_ptr<View> m_keyList;
    // For tap counting.
    gfx::Point m_lastTapPoint;
    double m_lastTapTime = -1;
    int m_lastTapCount = 0;
};

// Draws a view and its subviews with their on-screen (animated) values.
void renderView(View& view, gfx::Context& context);

} // namespace ui
