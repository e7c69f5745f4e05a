#include "Platform/UI/Window.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/ViewController.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstring>

namespace ui {

namespace {
Window* g_keyWindow = nullptr;
constexpr double kMultiTapInterval = 0.35;
constexpr double kMultiTapDistance = 20;

double loopNow()
{
    return base::RunLoop::main().now();
}

bool insideControl(View* hit, View* ancestor)
{
    // A control between the hit view and the recognizer's view (inclusive of the hit view).
    for (View* v = hit; v && v != ancestor; v = v->superview())
        if (v->isControl())
            return true;
    return false;
}
}

Window::Window() : View(gfx::Rect({0, 0}, kScreenSize)), m_orientation(InterfaceOrientation::LandscapeLeft)
    , m_deviceOrientation(InterfaceOrientation::LandscapeLeft)
{
    setBackgroundColor(gfx::Color::black());
    m_window = this;
}

Window::~Window()
{
    if (g_keyWindow == this)
        g_keyWindow = nullptr;
    // Views kept alive elsewhere (by a running animation, say) must not point at a dead window.
    for (auto& sub : subviews())
        sub->setWindowRecursive(nullptr);
    m_window = nullptr;
}

void Window::setRootViewController(const std::shared_ptr<ViewController>& controller)
{
    if (controller == m_rootViewController)
        return;
    if (m_rootViewController) {
        auto old = m_rootViewController;
        if (old->isViewLoaded()) {
            old->beginAppearanceTransition(false);
            old->view()->removeFromSuperview();
            old->endAppearanceTransition();
        }
    }
    m_rootViewController = controller;
    turnToSupportedOrientation();
    if (controller) {
        auto view = controller->view();
        view->setFrame(bounds());
        view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        controller->beginAppearanceTransition(true);
        insertSubviewAtIndex(view, 0);
        controller->endAppearanceTransition();
    }
}

gfx::Size Window::screenSizeForOrientation(InterfaceOrientation orientation)
{
    bool portrait = orientation == InterfaceOrientation::Portrait || orientation == InterfaceOrientation::PortraitUpsideDown;
    return portrait ? gfx::Size{kScreenSize.height, kScreenSize.width} : kScreenSize;
}

ViewController* Window::topScreenController() const
{
    ViewController* top = m_rootViewController.get();
    while (top && top->presentedViewController() &&
           top->presentedViewController()->modalPresentationStyle() == ModalPresentationStyle::FullScreen)
        top = top->presentedViewController().get();
    return top;
}

namespace {
// The controllers on screen, outermost first: each container's shown child and what each presents.
void collectShown(ViewController* controller, std::vector<std::shared_ptr<ViewController>>& out)
{
    if (!controller || !controller->isViewLoaded())
        return;
    out.push_back(controller->sharedController());
    if (auto child = controller->childForAppearance())
        collectShown(child.get(), out);
    if (auto presented = controller->presentedViewController())
        collectShown(presented.get(), out);
}
} // namespace

bool Window::rotateToInterfaceOrientation(InterfaceOrientation orientation, bool animated)
{
    m_deviceOrientation = orientation;
    if (orientation == m_orientation)
        return true;
    ViewController* top = topScreenController();
    if (!top || !top->shouldAutorotate() || !top->shouldAutorotateToInterfaceOrientation(orientation))
        return false;
    turn(orientation, animated);
    return true;
}

void Window::turnToSupportedOrientation()
{
    ViewController* top = topScreenController();
    if (!top)
        return;
    unsigned mask = top->supportedInterfaceOrientations();
    // A screen that can follow the device does (the reader opened on a turned device).
    if (m_deviceOrientation != m_orientation && (mask & maskForOrientation(m_deviceOrientation)) && top->shouldAutorotate()) {
        turn(m_deviceOrientation, false);
        return;
    }
    if (mask & maskForOrientation(m_orientation))
        return;
    for (auto o : {InterfaceOrientation::LandscapeLeft, InterfaceOrientation::LandscapeRight, InterfaceOrientation::Portrait,
                   InterfaceOrientation::PortraitUpsideDown})
        if (mask & maskForOrientation(o)) {
            turn(o, false);
            return;
        }
}

void Window::turn(InterfaceOrientation orientation, bool animated)
{
    InterfaceOrientation from = m_orientation;
    // A finger's path means nothing in the turned coordinates.
    std::vector<int> ids;
    for (const auto& [id, touch] : m_touches)
        ids.push_back(id);
    for (int id : ids)
        touchCancelled(id);
    std::vector<std::shared_ptr<ViewController>> shown;
    collectShown(m_rootViewController.get(), shown);
    double duration = animated ? kRotationDuration : 0;
    for (const auto& c : shown)
        c->willRotateToInterfaceOrientationDuration(orientation, duration);
    m_orientation = orientation;
    setFrame({{0, 0}, screenSizeForOrientation(orientation)});
    layoutIfNeeded();
    auto during = [&] {
        for (const auto& c : shown)
            c->willAnimateRotationToInterfaceOrientationDuration(orientation, duration);
    };
    auto after = [shown, from](bool) {
        for (const auto& c : shown)
            c->didRotateFromInterfaceOrientation(from);
    };
    if (animated) {
        View::animate(duration, during, after);
    } else {
        during();
        after(true);
    }
}

void Window::makeKeyAndVisible()
{
    g_keyWindow = this;
    setHidden(false);
}

Window* Window::keyWindow()
{
    return g_keyWindow;
}

Event Window::makeEvent() const
{
    Event event(loopNow());
    std::vector<Touch*> all;
    for (auto& [id, touch] : m_touches)
        all.push_back(touch.get());
    event.setAllTouches(std::move(all));
    return event;
}

void Window::touchDown(int id, gfx::Point point)
{
    m_pointer = point;
    if (m_touches.count(id))
        touchCancelled(id);
    double now = loopNow();
    auto touch = std::make_unique<Touch>(id, point, now);
    double dx = point.x - m_lastTapPoint.x, dy = point.y - m_lastTapPoint.y;
    bool again = m_lastTapTime >= 0 && now - m_lastTapTime <= kMultiTapInterval &&
                 std::hypot(dx, dy) <= kMultiTapDistance;
    touch->setTapCount(again ? m_lastTapCount + 1 : 1);

    // A frame is laid out before it is shown: a touch must meet the views the user sees,
    // not ones whose layout is still pending (headless, nothing draws between events).
    layoutIfNeeded();
    View* hit = passOnFromListOverTyping(hitTest(point), point);
    if (hit)
        touch->setView(hit->sharedView());
    for (View* v = hit; v; v = v->superview())
        if (dynamic_cast<ScrollView*>(v)) {
            m_keyList = v->sharedView();
            break;
        }
    // Recognizers of the hit view and its ancestors, nearest first.
    for (View* v = hit; v; v = v->superview()) {
        for (auto& recognizer : v->gestureRecognizers()) {
            if (!recognizer->isEnabled())
                continue;
            auto state = recognizer->state();
            bool finished = state == GestureRecognizer::State::Failed || state == GestureRecognizer::State::Ended ||
                            state == GestureRecognizer::State::Cancelled;
            // One that finished with no finger left on it (a tap timed out) starts afresh.
            if (finished && !isEngaged(*recognizer))
                recognizer->reset();
            else if (state == GestureRecognizer::State::Failed)
                continue;
            if (recognizer->yieldsToControls() && insideControl(hit, v))
                continue;
            if (recognizer->delegate() && !recognizer->delegate()->gestureRecognizerShouldReceiveTouch(*recognizer, *touch))
                continue;
            touch->gestureRecognizers().push_back(recognizer);
        }
    }
    Touch* raw = touch.get();
    m_touches[id] = std::move(touch);
    dispatch(*raw, TouchPhase::Began);
}

void Window::touchMoved(int id, gfx::Point point)
{
    auto it = m_touches.find(id);
    if (it == m_touches.end())
        return;
    it->second->moveTo(point, loopNow());
    dispatch(*it->second, TouchPhase::Moved);
}

void Window::touchUp(int id, gfx::Point point)
{
    auto it = m_touches.find(id);
    if (it == m_touches.end())
        return;
    Touch& touch = *it->second;
    touch.moveTo(point, loopNow());
    dispatch(touch, TouchPhase::Ended);
    m_lastTapPoint = point;
    m_lastTapTime = loopNow();
    m_lastTapCount = touch.tapCount();
    finishRecognizers(touch);
    m_touches.erase(id);
}

void Window::touchCancelled(int id)
{
    auto it = m_touches.find(id);
    if (it == m_touches.end())
        return;
    // A touch whose end or cancel is being delivered is finished by that delivery: a lift that
    // turns the screen (leaving a portrait reader) must not free it under its own feet.
    if (it->second->phase() == TouchPhase::Ended || it->second->phase() == TouchPhase::Cancelled)
        return;
    dispatch(*it->second, TouchPhase::Cancelled);
    finishRecognizers(*it->second);
    m_touches.erase(id);
}

void Window::dispatch(Touch& touch, TouchPhase phase)
{
    touch.setPhase(phase);
    Event event = makeEvent();
    deliverToRecognizers(touch, phase, event);
    if (!touch.deliveredToView())
        return;
    auto view = touch.viewRef();
    if (!view)
        return;
    std::vector<Touch*> touches{&touch};
    switch (phase) {
    case TouchPhase::Began: view->touchesBegan(touches, event); break;
    case TouchPhase::Moved:
    case TouchPhase::Stationary: view->touchesMoved(touches, event); break;
    case TouchPhase::Ended: view->touchesEnded(touches, event); break;
    case TouchPhase::Cancelled: view->touchesCancelled(touches, event); break;
    }
}

void Window::deliverToRecognizers(Touch& touch, TouchPhase phase, Event& event)
{
    std::vector<Touch*> touches{&touch};
    auto recognizers = touch.gestureRecognizers(); // a recognizer's action may change the list
    for (auto& r : recognizers) {
        if (!r->view() || r->state() == GestureRecognizer::State::Failed ||
            r->state() == GestureRecognizer::State::Cancelled)
            continue;
        if (r->state() == GestureRecognizer::State::Ended && phase != TouchPhase::Ended)
            continue;
        switch (phase) {
        case TouchPhase::Began: r->touchesBegan(touches, event); break;
        case TouchPhase::Moved:
        case TouchPhase::Stationary: r->touchesMoved(touches, event); break;
        case TouchPhase::Ended: r->touchesEnded(touches, event); break;
        case TouchPhase::Cancelled: r->touchesCancelled(touches, event); break;
        }
        bool recognized = r->state() == GestureRecognizer::State::Began || r->state() == GestureRecognizer::State::Ended ||
                          r->state() == GestureRecognizer::State::Changed;
        if (recognized)
            recognizerWon(touch, *r, event);
    }
}

void Window::recognizerWon(Touch& touch, GestureRecognizer& r, Event& event)
{
    // The winner makes the others of this touch fail, unless they may run together.
    for (auto& other : touch.gestureRecognizers()) {
        if (other.get() == &r || other->state() != GestureRecognizer::State::Possible)
            continue;
        bool together = (r.delegate() && r.delegate()->gestureRecognizerShouldRecognizeSimultaneously(r, *other)) ||
                        (other->delegate() && other->delegate()->gestureRecognizerShouldRecognizeSimultaneously(*other, r));
        if (!together)
            other->forceFail();
    }
    if (r.cancelsTouchesInView() && touch.deliveredToView())
        cancelViewTouches(touch, event);
}

void Window::gestureRecognizerDidBegin(GestureRecognizer& recognizer)
{
    Event event = makeEvent();
    for (auto& [id, touch] : m_touches) {
        auto& list = touch->gestureRecognizers();
        bool mine = std::any_of(list.begin(), list.end(), [&](auto& r) { return r.get() == &recognizer; });
        if (mine)
            recognizerWon(*touch, recognizer, event);
    }
}

bool Window::isEngaged(const GestureRecognizer& recognizer) const
{
    for (auto& [id, touch] : m_touches)
        for (auto& r : touch->gestureRecognizers())
            if (r.get() == &recognizer)
                return true;
    return false;
}

void Window::cancelViewTouches(Touch& touch, Event& event)
{
    touch.setDeliveredToView(false);
    if (auto view = touch.viewRef()) {
        TouchPhase phase = touch.phase();
        touch.setPhase(TouchPhase::Cancelled);
        view->touchesCancelled({&touch}, event);
        touch.setPhase(phase);
    }
}

void Window::finishRecognizers(Touch& touch)
{
    for (auto& r : touch.gestureRecognizers()) {
        bool othersDown = false;
        for (auto& [id, t] : m_touches) {
            if (t.get() == &touch)
                continue;
            auto& list = t->gestureRecognizers();
            if (std::find(list.begin(), list.end(), r) != list.end())
                othersDown = true;
        }
        if (othersDown)
            continue;
        auto s = r->state();
        if (s == GestureRecognizer::State::Ended || s == GestureRecognizer::State::Cancelled ||
            s == GestureRecognizer::State::Failed)
            r->reset();
        else if (s == GestureRecognizer::State::Began || s == GestureRecognizer::State::Changed)
            r->reset(); // a continuous gesture whose fingers are gone has ended
    }
}

void Window::typeText(const std::string& text)
{
    // Plain text goes in runs, so multi-byte characters arrive whole; controls break runs.
    std::string run;
    auto flush = [&] {
        if (!run.empty())
            if (Responder* responder = keyResponder())
                responder->insertText(run);
        run.clear();
    };
    for (char c : text) {
        if (c != '\n' && c != '\b' && c != '\t') {
            run.push_back(c);
            continue;
        }
        flush();
        pressKey(std::string(1, c));
    }
    flush();
}

void Window::setMarkedText(const std::string& text)
{
    if (Responder* responder = keyResponder())
        responder->setMarkedText(text);
}

void Window::render(gfx::Context& context)
{
    layoutIfNeeded();
    renderView(*this, context);
}

namespace {

// Pixels around a redrawn area that are drawn but then put back.
constexpr int kRedrawMargin = 4;

gfx::PixelRect grown(const gfx::PixelRect& r, int by, int width, int height)
{
    int x0 = std::max(0, r.x - by), y0 = std::max(0, r.y - by);
    int x1 = std::min(width, r.x + r.width + by), y1 = std::min(height, r.y + r.height + by);
    return {x0, y0, x1 - x0, y1 - y0};
}

bool touches(const gfx::PixelRect& a, const gfx::PixelRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

gfx::PixelRect bounding(const gfx::PixelRect& a, const gfx::PixelRect& b)
{
    int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace

// Areas to redraw with their margins: areas whose margins would meet are joined, so no margin
// lies over another area.
std::vector<std::pair<gfx::PixelRect, gfx::PixelRect>> Window::redrawAreas(std::vector<gfx::PixelRect> rects, int width,
                                                                          int height)
{
    bool joined = true;
    while (joined) {
        joined = false;
        for (size_t i = 0; i < rects.size() && !joined; ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j) {
                if (touches(grown(rects[i], 2 * kRedrawMargin, width, height), rects[j])) {
                    rects[i] = bounding(rects[i], rects[j]);
                    rects.erase(rects.begin() + static_cast<long>(j));
                    joined = true;
                    break;
                }
            }
        }
    }
    std::vector<std::pair<gfx::PixelRect, gfx::PixelRect>> out;
    for (const auto& r : rects)
        out.emplace_back(r, grown(r, kRedrawMargin, width, height));
    return out;
}

void Window::setScale(double scale)
{
    if (scale == m_scale)
        return;
    m_scale = scale;
    m_frame.reset();
}

void Window::setNeedsDisplayInWindowRect(const gfx::Rect& rect)
{
    if (rect.isEmpty())
        return;
    m_dirty.add(rect.intersection(bounds()));
}

void Window::updateAnimatedViews()
{
    ++m_frameNumber;
    for (View* view : viewsInMotion()) {
        if (view->window() != this)
            continue;
        view->invalidateExtent();
        gfx::Rect shown = view->extentInWindow();
        auto [it, added] = m_animated.try_emplace(view);
        AnimatedView& entry = it->second;
        if (!added)
            setNeedsDisplayInWindowRect(entry.shown);
        setNeedsDisplayInWindowRect(shown);
        entry.view = std::static_pointer_cast<View>(view->weak_from_this().lock());
        entry.shown = shown;
        entry.seen = m_frameNumber;
    }
    // Views that came to rest: their last animated picture goes, their model one shows.
    for (auto it = m_animated.begin(); it != m_animated.end();) {
        if (it->second.seen == m_frameNumber) {
            ++it;
            continue;
        }
        setNeedsDisplayInWindowRect(it->second.shown);
        if (auto view = it->second.view.lock(); view && view->window() == this) {
            view->invalidateExtent();
            setNeedsDisplayInWindowRect(view->extentInWindow());
        }
        it = m_animated.erase(it);
    }
}

bool Window::prepareFrame()
{
    layoutIfNeeded();
    updateAnimatedViews();
    // Layout run by the animation pass's callers may have moved more.
    layoutIfNeeded();
    return !m_dirty.isEmpty() || !m_frame || m_frameSize != bounds().size;
}

const gfx::Context& Window::drawFrame(double scale)
{
    prepareFrame();
    if (!m_frame || m_frame->scale() != scale || m_frameSize != bounds().size) {
        m_frame = gfx::Context::createBitmap(bounds().size, scale);
        m_frameSize = bounds().size;
        m_damage.clear();
        m_dirty.clear();
        m_dirty.add(bounds());
    }
    if (m_dirty.isEmpty())
        return *m_frame;
    cairo_t* cr = m_frame->cairo();
    cairo_surface_t* surface = cairo_get_target(cr);
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    // Changes made while drawing belong to the next frame.
    gfx::Region region = std::move(m_dirty);
    m_dirty.clear();
    auto areas = redrawAreas(region.pixelRects(scale, width, height), width, height);
    if (areas.empty())
        return *m_frame;
    // Cairo cuts slanted edges where they cross a clip, which can move their coverage by a
    // step in the pixels along it. Drawing reaches a margin further, and the margin's
    // unchanged pixels are put back, so every redrawn pixel equals a full redraw's.
    cairo_surface_flush(surface);
    uint8_t* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    std::vector<std::pair<gfx::PixelRect, std::vector<uint32_t>>> margins;
    auto keep = [&](const gfx::PixelRect& r) {
        if (r.width <= 0 || r.height <= 0)
            return;
        std::vector<uint32_t> pixels(static_cast<size_t>(r.width) * r.height);
        for (int y = 0; y < r.height; ++y)
            std::memcpy(&pixels[static_cast<size_t>(y) * r.width], data + static_cast<size_t>(r.y + y) * stride + r.x * 4,
                        static_cast<size_t>(r.width) * 4);
        margins.emplace_back(r, std::move(pixels));
    };
    m_frame->save();
    cairo_new_path(cr);
    for (const auto& [inner, outer] : areas) {
        keep({outer.x, outer.y, outer.width, inner.y - outer.y});
        keep({outer.x, inner.y + inner.height, outer.width, outer.y + outer.height - inner.y - inner.height});
        keep({outer.x, inner.y, inner.x - outer.x, inner.height});
        keep({inner.x + inner.width, inner.y, outer.x + outer.width - inner.x - inner.width, inner.height});
        cairo_rectangle(cr, outer.x / scale, outer.y / scale, outer.width / scale, outer.height / scale);
    }
    // Whole pixels, so the clip itself covers no pixel partly.
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    renderView(*this, *m_frame);
    m_frame->restore();
    cairo_surface_flush(surface);
    for (const auto& [r, pixels] : margins)
        for (int y = 0; y < r.height; ++y)
            std::memcpy(data + static_cast<size_t>(r.y + y) * stride + r.x * 4, &pixels[static_cast<size_t>(y) * r.width],
                        static_cast<size_t>(r.width) * 4);
    cairo_surface_mark_dirty(surface);
    for (const auto& area : areas)
        m_damage.push_back(area.first);
    return *m_frame;
}

std::vector<gfx::PixelRect> Window::takeFrameDamage()
{
    return std::exchange(m_damage, {});
}

gfx::Image Window::snapshot()
{
    // A back end keeping the frame at another scale: draw a picture of our own.
    if (m_frame && m_frame->scale() != m_scale) {
        auto context = gfx::Context::createBitmap(bounds().size, m_scale);
        render(*context);
        return context->makeImage();
    }
    return drawFrame(m_scale).makeImage();
}

bool Window::savePng(const std::string& path)
{
    return !snapshot().writePng(path);
}

void Window::viewDidHide(View* view)
{
    viewWillLeaveWindow(view);
}

void Window::viewWillLeaveWindow(View* view)
{
    if (auto* responder = dynamic_cast<View*>(Responder::currentFirstResponder()))
        if (responder->isDescendantOfView(view))
            responder->resignFirstResponder();
}

namespace {

void renderPresented(View& view, const View::Presentation& p, gfx::Context& ctx);

// Subviews whose drawn extent misses the clip are skipped, subtree and all.
void renderSubviews(View& view, gfx::Context& ctx)
{
    if (view.subviews().empty())
        return;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(ctx.cairo(), &x1, &y1, &x2, &y2);
    gfx::Rect clip(x1, y1, x2 - x1, y2 - y1);
    // By index: drawing may change the list, and most subviews are only looked at.
    for (size_t i = 0; i < view.subviews().size(); ++i) {
        View* sub = view.subviews()[i].get();
        if (sub->isHidden())
            continue;
        View::Presentation p = sub->presentation();
        if (p.alpha <= 0.001)
            continue;
        if (!gfx::overlaps(p.rectToSuperview(sub->drawnExtent()), clip))
            continue;
        auto keep = view.subviews()[i];
        renderPresented(*keep, p, ctx);
    }
}

} // namespace

gfx::Image View::snapshotImage(double scale)
{
    gfx::Size size = bounds().size;
    if (size.width <= 0 || size.height <= 0 || scale <= 0)
        return {};
    auto context = gfx::Context::createBitmap(size, scale);
    // renderView places the view by its centre in its superview: move that centre to the
    // middle of the picture.
    Presentation p = presentation();
    context->translate(size.width / 2 - p.center.x, size.height / 2 - p.center.y);
    renderView(*this, *context);
    return context->makeImage();
}

void renderView(View& view, gfx::Context& ctx)
{
    if (view.isHidden())
        return;
    View::Presentation p = view.presentation();
    if (p.alpha <= 0.001)
        return;
    renderPresented(view, p, ctx);
}

namespace {

// The newest transition of the view still running, if any.
const LayerAnimation* runningTransition(const View& view)
{
    double now = base::RunLoop::main().now();
    auto keys = view.animationKeys();
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        auto animation = view.animationForKey(*it);
        if (animation && animation->transition && animation->progressAt(now) && animation->isMovingAt(now))
            return animation.get();
    }
    return nullptr;
}

void renderPresented(View& view, const View::Presentation& p, gfx::Context& ctx)
{
    cairo_t* cr = ctx.cairo();
    ctx.save();
    ctx.translate(p.center.x, p.center.y);
    if (!p.transform.isIdentity())
        ctx.concat(p.transform);
    double w = p.bounds.width(), h = p.bounds.height();
    ctx.translate(-w / 2, -h / 2);
    gfx::Rect box(0, 0, w, h);
    double radius = view.cornerRadius();

    const auto& shadow = view.shadow();
    // A view that clips to its bounds clips its own shadow away too.
    if (shadow.opacity > 0 && shadow.path && !view.clipsToBounds()) {
        ctx.fillBlurredRoundedRect(shadow.path->offsetBy(shadow.offset.width, shadow.offset.height), 0, shadow.radius,
                                   shadow.color.withAlpha(shadow.color.a * shadow.opacity * p.alpha));
    } else if (shadow.opacity > 0 && !view.clipsToBounds() && p.backgroundColor && !p.backgroundColor->isClear()) {
        ctx.fillBlurredRoundedRect(box.offsetBy(shadow.offset.width, shadow.offset.height), radius, shadow.radius,
                                   shadow.color.withAlpha(shadow.color.a * shadow.opacity * p.alpha));
    }
    bool group = p.alpha < 0.999;
    // The group is as large as the clip: a view that clips to its bounds needs no more.
    bool groupClipped = group && view.clipsToBounds();
    if (groupClipped) {
        ctx.save();
        ctx.clipToRect(box);
    }
    if (group)
        cairo_push_group(cr);
    // A running transition: the old picture and the live content slide within the bounds.
    const LayerAnimation* transition = runningTransition(view);
    double progress = transition ? transition->progressAt(base::RunLoop::main().now()).value_or(1) : 1;
    bool moveIn = transition && transition->transition->type == View::TransitionOptions::Type::MoveIn;
    double direction = transition && transition->transition->subtype == View::TransitionOptions::Subtype::FromLeft ? 1 : -1;
    if (transition) {
        ctx.save();
        ctx.clipToRect(box);
        if (moveIn) {
            ctx.drawImage(transition->transitionSnapshot, box);
            ctx.translate(-direction * w * (1 - progress), 0);
        }
    }
    if (p.backgroundColor && !p.backgroundColor->isClear()) {
        ctx.setFillColor(*p.backgroundColor);
        if (radius > 0)
            ctx.fillRoundedRect(box, radius);
        else
            ctx.fillRect(box);
    }
    ctx.save();
    if (view.clipsToBounds()) {
        if (radius > 0)
            ctx.clipToRoundedRect(box, radius);
        else
            ctx.clipToRect(box);
    }
    ctx.translate(-p.bounds.x(), -p.bounds.y());
    gfx::Rect visible(p.bounds.x(), p.bounds.y(), w, h);
    ctx.save();
    view.drawRect(ctx, visible);
    ctx.restore();
    renderSubviews(view, ctx);
    ctx.restore();
    if (view.borderWidth() > 0) {
        ctx.setStrokeColor(view.borderColor());
        ctx.setLineWidth(view.borderWidth());
        gfx::Rect inset = box.insetBy(view.borderWidth() / 2, view.borderWidth() / 2);
        if (radius > 0)
            ctx.strokeRoundedRect(inset, std::max(0.0, radius - view.borderWidth() / 2));
        else
            ctx.strokeRect(inset);
    }
    if (transition) {
        if (!moveIn)
            ctx.drawImage(transition->transitionSnapshot, box.offsetBy(direction * w * progress, 0));
        ctx.restore();
    }
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, p.alpha);
    }
    if (groupClipped)
        ctx.restore();
    ctx.restore();
}

} // namespace

} // namespace ui
