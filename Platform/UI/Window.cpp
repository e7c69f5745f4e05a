#include "Platform/UI/Window.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/ViewController.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

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

Window::Window() : View(gfx::Rect({0, 0}, kScreenSize))
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
    if (controller) {
        auto view = controller->view();
        view->setFrame(bounds());
        view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        controller->beginAppearanceTransition(true);
        insertSubviewAtIndex(view, 0);
        controller->endAppearanceTransition();
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
    if (m_touches.count(id))
        touchCancelled(id);
    double now = loopNow();
    auto touch = std::make_unique<Touch>(id, point, now);
    double dx = point.x - m_lastTapPoint.x, dy = point.y - m_lastTapPoint.y;
    bool again = m_lastTapTime >= 0 && now - m_lastTapTime <= kMultiTapInterval &&
                 std::hypot(dx, dy) <= kMultiTapDistance;
    touch->setTapCount(again ? m_lastTapCount + 1 : 1);

    View* hit = hitTest(point);
    if (hit)
        touch->setView(hit->sharedView());
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
            if (Responder* responder = Responder::currentFirstResponder())
                responder->insertText(run);
        run.clear();
    };
    for (char c : text) {
        if (c != '\n' && c != '\b' && c != '\t') {
            run.push_back(c);
            continue;
        }
        flush();
        Responder* responder = Responder::currentFirstResponder();
        if (!responder)
            continue;
        if (c == '\b')
            responder->deleteBackward();
        else
            responder->keyPressed(std::string(1, c));
    }
    flush();
}

void Window::pressKey(const std::string& key)
{
    Responder* responder = Responder::currentFirstResponder();
    if (!responder)
        return;
    if (key == "\b" || key == "backspace")
        responder->deleteBackward();
    else
        responder->keyPressed(key);
}

void Window::render(gfx::Context& context)
{
    layoutIfNeeded();
    renderView(*this, context);
}

gfx::Image Window::snapshot()
{
    auto context = gfx::Context::createBitmap(bounds().size, m_scale);
    render(*context);
    return context->makeImage();
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

void renderView(View& view, gfx::Context& ctx)
{
    if (view.isHidden())
        return;
    View::Presentation p = view.presentation();
    if (p.alpha <= 0.001)
        return;
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
    if (shadow.opacity > 0 && !view.clipsToBounds() && p.backgroundColor && !p.backgroundColor->isClear()) {
        ctx.fillBlurredRoundedRect(box.offsetBy(shadow.offset.width, shadow.offset.height), radius, shadow.radius,
                                   shadow.color.withAlpha(shadow.color.a * shadow.opacity * p.alpha));
    }
    bool group = p.alpha < 0.999;
    if (group)
        cairo_push_group(cr);
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
    auto subviews = view.subviews();
    for (auto& sub : subviews)
        renderView(*sub, ctx);
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
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, p.alpha);
    }
    ctx.restore();
}

} // namespace ui
