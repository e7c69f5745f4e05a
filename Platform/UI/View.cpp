#include "Platform/UI/View.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/ViewController.h"
#include "Platform/UI/Window.h"

#include "Platform/Graphics/Region.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace ui {

gfx::Rect rectForContentMode(ContentMode mode, gfx::Size content, const gfx::Rect& bounds)
{
    double bw = bounds.width(), bh = bounds.height();
    double cw = content.width, ch = content.height;
    switch (mode) {
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw:
        return bounds;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
        if (cw <= 0 || ch <= 0)
            return bounds;
        double sx = bw / cw, sy = bh / ch;
        double s = mode == ContentMode::ScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        double w = cw * s, h = ch * s;
        return {bounds.x() + (bw - w) / 2, bounds.y() + (bh - h) / 2, w, h};
    }
    default:
        break;
    }
    double x = bounds.x() + (bw - cw) / 2, y = bounds.y() + (bh - ch) / 2;
    switch (mode) {
    case ContentMode::Top: y = bounds.y(); break;
    case ContentMode::Bottom: y = bounds.maxY() - ch; break;
    case ContentMode::Left: x = bounds.x(); break;
    case ContentMode::Right: x = bounds.maxX() - cw; break;
    case ContentMode::TopLeft: x = bounds.x(); y = bounds.y(); break;
    case ContentMode::TopRight: x = bounds.maxX() - cw; y = bounds.y(); break;
    case ContentMode::BottomLeft: x = bounds.x(); y = bounds.maxY() - ch; break;
    case ContentMode::BottomRight: x = bounds.maxX() - cw; y = bounds.maxY() - ch; break;
    default: break;
    }
    return {x, y, cw, ch};
}

namespace {
// The view tree belongs to the main thread; a worker touching it is a race, caught in debug builds.
void assertMainThread()
{
    assert(base::RunLoop::isMainThread() && "views are made and changed on the main thread only");
}
}

View::View()
{
    assertMainThread();
}

View::View(const gfx::Rect& frame)
{
    assertMainThread();
    setFrame(frame);
}

View::~View()
{
    PropertyAnimator::forget(this);
    if (!m_layerAnimations.empty())
        LayerAnimation::noteAnimatedView(this, false);
    for (auto& sub : m_subviews)
        sub->m_superview = nullptr;
}

gfx::Rect View::frame() const
{
    if (m_transform.isIdentity())
        return {m_center.x - m_bounds.width() / 2, m_center.y - m_bounds.height() / 2, m_bounds.width(), m_bounds.height()};
    gfx::Rect local(-m_bounds.width() / 2, -m_bounds.height() / 2, m_bounds.width(), m_bounds.height());
    return m_transform.concatenated(gfx::AffineTransform::translation(m_center.x, m_center.y)).apply(local);
}

void View::setFrame(const gfx::Rect& frame)
{
    gfx::Rect f = frame.standardized();
    gfx::Point center{f.midX(), f.midY()};
    if (m_transform.isIdentity()) {
        gfx::Rect b = m_bounds;
        b.size = f.size;
        setCenter(center);
        setBounds(b);
    } else {
        // With a transform the frame is undefined to set; keep the size, move the centre.
        setCenter(center);
    }
}

void View::setBounds(const gfx::Rect& bounds)
{
    if (bounds == m_bounds)
        return;
    gfx::Rect old = m_bounds;
    changeDrawnArea([&] {
        PropertyAnimator::willChange(this, AnimatedProperty::Bounds);
        m_bounds = bounds;
    });
    if (old.size != bounds.size) {
        if (m_autoresizesSubviews)
            resizeSubviews(old.size);
        setNeedsLayout();
    } else {
        // A scroll: content moved, lay out again (tables place their rows here).
        setNeedsLayout();
    }
    boundsDidChange(old);
}

void View::setCenter(gfx::Point center)
{
    if (center == m_center)
        return;
    changeDrawnArea([&] {
        PropertyAnimator::willChange(this, AnimatedProperty::Center);
        m_center = center;
    });
    if (m_superview)
        m_superview->setNeedsLayout();
}

void View::setTransform(const gfx::AffineTransform& transform)
{
    if (transform == m_transform)
        return;
    changeDrawnArea([&] {
        PropertyAnimator::willChange(this, AnimatedProperty::Transform);
        m_transform = transform;
    });
}

void View::setAlpha(double alpha)
{
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    changeDrawnArea([&] {
        PropertyAnimator::willChange(this, AnimatedProperty::Alpha);
        m_alpha = alpha;
    });
}

void View::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    changeDrawnArea([&] { m_hidden = hidden; });
    if (hidden && m_window)
        m_window->viewDidHide(this);
}

void View::setBackgroundColor(std::optional<gfx::Color> color)
{
    if (color == m_backgroundColor)
        return;
    changeDrawnArea([&] {
        PropertyAnimator::willChange(this, AnimatedProperty::BackgroundColor);
        m_backgroundColor = color;
    });
}

void View::setClipsToBounds(bool clips)
{
    if (clips != m_clipsToBounds)
        changeDrawnArea([&] { m_clipsToBounds = clips; });
}

void View::setCornerRadius(double radius)
{
    if (radius != m_cornerRadius)
        changeDrawnArea([&] { m_cornerRadius = radius; });
}

void View::setBorderWidth(double width)
{
    if (width != m_borderWidth)
        changeDrawnArea([&] { m_borderWidth = width; });
}

void View::setBorderColor(gfx::Color color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    if (m_borderWidth > 0)
        setNeedsDisplay();
}

void View::setShadow(const Shadow& shadow)
{
    changeDrawnArea([&] { m_shadow = shadow; });
}

void View::setContentMode(ContentMode mode)
{
    if (mode == m_contentMode)
        return;
    m_contentMode = mode;
    setNeedsDisplay();
}

gfx::Rect View::Presentation::rectToSuperview(const gfx::Rect& rect) const
{
    if (transform.isIdentity())
        return rect.offsetBy(center.x - bounds.width() / 2 - bounds.x(), center.y - bounds.height() / 2 - bounds.y());
    return toSuperview().apply(rect);
}

gfx::AffineTransform View::Presentation::toSuperview() const
{
    auto t = gfx::AffineTransform::translation(-bounds.x() - bounds.width() / 2, -bounds.y() - bounds.height() / 2);
    if (!transform.isIdentity())
        t = t.concatenated(transform);
    return t.concatenated(gfx::AffineTransform::translation(center.x, center.y));
}

namespace {
constexpr double kInvisibleAlpha = 0.001;
}

gfx::Rect View::drawnExtent()
{
    if (m_extentValid)
        return m_extent;
    Presentation p = presentation();
    gfx::Rect box = p.bounds;
    double outset = drawingOutset();
    gfx::Rect extent = outset > 0 ? box.insetBy(-outset, -outset) : box;
    if (m_clipsToBounds) {
        m_extent = box;
        m_extentValid = true;
        return extent;
    }
    if (m_shadow.opacity > 0 && m_shadow.path) {
        double spread = m_shadow.radius > 0.01 ? 2 * m_shadow.radius + 8 : 0;
        extent = extent.united(m_shadow.path->offsetBy(m_shadow.offset.width, m_shadow.offset.height).insetBy(-spread, -spread));
    } else if (m_shadow.opacity > 0 && p.backgroundColor && !p.backgroundColor->isClear()) {
        // A blurred shadow spreads about one and a half times its radius (with a few pixels'
        // padding) past its rectangle.
        double spread = m_shadow.radius > 0.01 ? 2 * m_shadow.radius + 8 : 0;
        extent = extent.united(box.offsetBy(m_shadow.offset.width, m_shadow.offset.height).insetBy(-spread, -spread));
    }
    for (auto& sub : m_subviews) {
        if (sub->m_hidden)
            continue;
        gfx::Rect inner = sub->drawnExtent();
        Presentation sp = sub->presentation();
        if (sp.alpha <= kInvisibleAlpha)
            continue;
        extent = extent.united(sp.rectToSuperview(inner));
    }
    m_extent = extent;
    m_extentValid = true;
    return extent;
}

void View::invalidateExtent()
{
    m_extentValid = false;
    // A clipping ancestor covers its bounds whatever its subviews do.
    for (View* v = m_superview; v && !v->m_clipsToBounds; v = v->m_superview)
        v->m_extentValid = false;
}

gfx::Rect View::rectInWindow(const gfx::Rect& local) const
{
    if (!m_window || local.isEmpty())
        return gfx::Rect::null();
    gfx::Rect r = local;
    for (const View* v = this; v; v = v->m_superview) {
        if (v->m_hidden)
            return gfx::Rect::null();
        Presentation p = v->presentation();
        if (p.alpha <= kInvisibleAlpha)
            return gfx::Rect::null();
        if (v != this && v->m_clipsToBounds) {
            r = r.intersection(p.bounds);
            if (r.isEmpty())
                return gfx::Rect::null();
        }
        r = p.rectToSuperview(r);
    }
    return r;
}

gfx::Rect View::extentInWindow()
{
    if (!m_window)
        return gfx::Rect::null();
    return rectInWindow(drawnExtent());
}

void View::markDrawnArea()
{
    if (m_window)
        m_window->setNeedsDisplayInWindowRect(extentInWindow());
}

template <typename Change>
void View::changeDrawnArea(Change change)
{
    markDrawnArea();
    change();
    invalidateExtent();
    markDrawnArea();
}

void View::setNeedsDisplay()
{
    if (!m_window)
        return;
    double outset = drawingOutset();
    m_window->setNeedsDisplayInWindowRect(rectInWindow(outset > 0 ? m_bounds.insetBy(-outset, -outset) : m_bounds));
}

void View::setNeedsDisplayInRect(const gfx::Rect& rect)
{
    if (m_window)
        m_window->setNeedsDisplayInWindowRect(rectInWindow(rect.intersection(m_bounds)));
}

View* View::viewWithTag(int tag)
{
    if (m_tag == tag)
        return this;
    for (auto& sub : m_subviews)
        if (View* found = sub->viewWithTag(tag))
            return found;
    return nullptr;
}

Window* View::window() const
{
    return m_window;
}

void View::setWindowRecursive(Window* window)
{
    if (m_window == window)
        return;
    willMoveToWindow(window);
    if (m_window && !window)
        m_window->viewWillLeaveWindow(this);
    m_window = window;
    for (auto& sub : m_subviews)
        sub->setWindowRecursive(window);
    didMoveToWindow();
}

void View::detachSubview(View* view)
{
    assertMainThread();
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [view](auto& v) { return v.get() == view; });
    if (it == m_subviews.end())
        return;
    auto keep = *it; // alive through the hooks
    willRemoveSubview(view);
    view->willMoveToSuperview(nullptr);
    view->markDrawnArea();
    m_subviews.erase(std::find(m_subviews.begin(), m_subviews.end(), keep));
    view->m_superview = nullptr;
    invalidateExtent();
    view->setWindowRecursive(nullptr);
    view->didMoveToSuperview();
    setNeedsLayout();
}

void View::attachSubview(const std::shared_ptr<View>& view, size_t index)
{
    assertMainThread();
    if (!view || view.get() == this)
        return;
    auto keep = view;
    if (view->m_superview == this) {
        // Reordering within the same parent.
        auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
        size_t from = static_cast<size_t>(it - m_subviews.begin());
        m_subviews.erase(it);
        if (index > from)
            --index;
        m_subviews.insert(m_subviews.begin() + static_cast<long>(std::min(index, m_subviews.size())), view);
        view->markDrawnArea();
        return;
    }
    if (view->m_superview)
        view->m_superview->detachSubview(view.get());
    view->willMoveToSuperview(this);
    m_subviews.insert(m_subviews.begin() + static_cast<long>(std::min(index, m_subviews.size())), view);
    view->m_superview = this;
    if (view->m_needsLayout || view->m_descendantNeedsLayout) {
        m_descendantNeedsLayout = true;
        noteDescendantNeedsLayout();
    }
    view->setWindowRecursive(m_window);
    view->invalidateExtent();
    view->markDrawnArea();
    view->didMoveToSuperview();
    didAddSubview(view.get());
    setNeedsLayout();
}

void View::addSubview(const std::shared_ptr<View>& view)
{
    attachSubview(view, m_subviews.size());
}

void View::insertSubviewAtIndex(const std::shared_ptr<View>& view, size_t index)
{
    attachSubview(view, index);
}

void View::insertSubviewAboveSubview(const std::shared_ptr<View>& view, const View* sibling)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [sibling](auto& v) { return v.get() == sibling; });
    attachSubview(view, it == m_subviews.end() ? m_subviews.size() : static_cast<size_t>(it - m_subviews.begin()) + 1);
}

void View::insertSubviewBelowSubview(const std::shared_ptr<View>& view, const View* sibling)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [sibling](auto& v) { return v.get() == sibling; });
    attachSubview(view, it == m_subviews.end() ? 0 : static_cast<size_t>(it - m_subviews.begin()));
}

void View::bringSubviewToFront(const View* view)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [view](auto& v) { return v.get() == view; });
    if (it == m_subviews.end())
        return;
    auto keep = *it;
    m_subviews.erase(it);
    m_subviews.push_back(keep);
    keep->markDrawnArea();
}

void View::sendSubviewToBack(const View* view)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [view](auto& v) { return v.get() == view; });
    if (it == m_subviews.end())
        return;
    auto keep = *it;
    m_subviews.erase(it);
    m_subviews.insert(m_subviews.begin(), keep);
    keep->markDrawnArea();
}

void View::exchangeSubviewsAtIndices(size_t a, size_t b)
{
    if (a < m_subviews.size() && b < m_subviews.size() && a != b) {
        std::swap(m_subviews[a], m_subviews[b]);
        m_subviews[a]->markDrawnArea();
        m_subviews[b]->markDrawnArea();
    }
}

void View::removeFromSuperview()
{
    if (m_superview)
        m_superview->detachSubview(this);
}

bool View::isDescendantOfView(const View* view) const
{
    for (const View* v = this; v; v = v->m_superview)
        if (v == view)
            return true;
    return false;
}

void View::resizeSubviews(gfx::Size oldSize)
{
    double dw = m_bounds.width() - oldSize.width;
    double dh = m_bounds.height() - oldSize.height;
    for (auto& sub : m_subviews) {
        unsigned mask = sub->m_autoresizingMask;
        if (mask == AutoresizingNone)
            continue;
        gfx::Rect f = sub->frame();
        auto distribute = [](double delta, double before, double size, double after, bool flexBefore,
                             bool flexSize, bool flexAfter, double& outBefore, double& outSize) {
            double total = (flexBefore ? before : 0) + (flexSize ? size : 0) + (flexAfter ? after : 0);
            int count = int(flexBefore) + int(flexSize) + int(flexAfter);
            outBefore = before;
            outSize = size;
            if (count == 0)
                return;
            if (total > 0) {
                if (flexBefore)
                    outBefore += delta * before / total;
                if (flexSize)
                    outSize += delta * size / total;
            } else {
                if (flexBefore)
                    outBefore += delta / count;
                if (flexSize)
                    outSize += delta / count;
            }
        };
        double x, w, y, h;
        distribute(dw, f.x(), f.width(), oldSize.width - f.maxX(), mask & AutoresizingFlexibleLeftMargin,
                   mask & AutoresizingFlexibleWidth, mask & AutoresizingFlexibleRightMargin, x, w);
        distribute(dh, f.y(), f.height(), oldSize.height - f.maxY(), mask & AutoresizingFlexibleTopMargin,
                   mask & AutoresizingFlexibleHeight, mask & AutoresizingFlexibleBottomMargin, y, h);
        sub->setFrame({x, y, std::max(0.0, w), std::max(0.0, h)});
    }
}

void View::setNeedsLayout()
{
    m_needsLayout = true;
    noteDescendantNeedsLayout();
}

void View::noteDescendantNeedsLayout()
{
    for (View* v = m_superview; v && !v->m_descendantNeedsLayout; v = v->m_superview)
        v->m_descendantNeedsLayout = true;
}

void View::layoutIfNeeded()
{
    if (m_needsLayout) {
        m_needsLayout = false;
        layoutSubviews();
    }
    // Subtrees with nothing to lay out are not walked: a frame stays cheap with many views.
    if (!m_descendantNeedsLayout)
        return;
    m_descendantNeedsLayout = false;
    // Copy: layout may add or remove subviews.
    auto subs = m_subviews;
    for (auto& sub : subs)
        if (sub->m_superview == this && (sub->m_needsLayout || sub->m_descendantNeedsLayout))
            sub->layoutIfNeeded();
}

void View::sizeToFit()
{
    gfx::Size s = sizeThatFits(bounds().size);
    gfx::Rect f = frame();
    setFrame({f.x(), f.y(), s.width, s.height});
}

gfx::AffineTransform View::transformToSuperview() const
{
    // bounds point -> centred local -> transformed -> superview
    auto t = gfx::AffineTransform::translation(-m_bounds.x() - m_bounds.width() / 2, -m_bounds.y() - m_bounds.height() / 2);
    t = t.concatenated(m_transform);
    return t.concatenated(gfx::AffineTransform::translation(m_center.x, m_center.y));
}

namespace {
gfx::AffineTransform toWindow(const View* view)
{
    gfx::AffineTransform t;
    for (const View* v = view; v && v->superview(); v = v->superview())
        t = t.concatenated(v->transformToSuperview());
    // A root view (the window) maps its bounds to the screen directly.
    const View* root = view;
    while (root && root->superview())
        root = root->superview();
    if (root)
        t = t.concatenated(root->transformToSuperview());
    return t;
}
}

gfx::Point View::convertPointToView(gfx::Point point, const View* view) const
{
    gfx::Point inWindow = toWindow(this).apply(point);
    if (!view)
        return inWindow;
    auto inv = toWindow(view).inverted();
    return inv ? inv->apply(inWindow) : inWindow;
}

gfx::Point View::convertPointFromView(gfx::Point point, const View* view) const
{
    gfx::Point inWindow = view ? toWindow(view).apply(point) : point;
    auto inv = toWindow(this).inverted();
    return inv ? inv->apply(inWindow) : inWindow;
}

gfx::Rect View::convertRectToView(const gfx::Rect& rect, const View* view) const
{
    gfx::AffineTransform t = toWindow(this);
    if (view) {
        if (auto inv = toWindow(view).inverted())
            t = t.concatenated(*inv);
    }
    return t.apply(rect);
}

gfx::Rect View::convertRectFromView(const gfx::Rect& rect, const View* view) const
{
    gfx::AffineTransform t = view ? toWindow(view) : gfx::AffineTransform();
    if (auto inv = toWindow(this).inverted())
        t = t.concatenated(*inv);
    return t.apply(rect);
}

bool View::pointInside(gfx::Point point) const
{
    return m_bounds.contains(point);
}

View* View::hitTest(gfx::Point point)
{
    if (m_hidden || !m_userInteraction || m_alpha < 0.01)
        return nullptr;
    bool inside = pointInside(point);
    if (!inside && m_clipsToBounds)
        return nullptr;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        View* sub = it->get();
        auto inv = sub->transformToSuperview().inverted();
        if (!inv)
            continue;
        if (View* hit = sub->hitTest(inv->apply(point)))
            return hit;
    }
    return inside ? this : nullptr;
}

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer)
{
    if (!recognizer)
        return;
    if (recognizer->view() && recognizer->view() != this)
        recognizer->view()->removeGestureRecognizer(recognizer.get());
    if (std::find(m_gestures.begin(), m_gestures.end(), recognizer) == m_gestures.end())
        m_gestures.push_back(recognizer);
    recognizer->setView(this);
}

void View::removeGestureRecognizer(const GestureRecognizer* recognizer)
{
    auto it = std::find_if(m_gestures.begin(), m_gestures.end(), [recognizer](auto& g) { return g.get() == recognizer; });
    if (it == m_gestures.end())
        return;
    (*it)->setView(nullptr);
    m_gestures.erase(it);
}

Responder* View::nextResponder() const
{
    if (m_viewController)
        return m_viewController;
    return m_superview;
}

void View::animate(double duration, const std::function<void()>& changes, std::function<void(bool)> completion)
{
    AnimationOptions options;
    options.duration = duration;
    animate(options, changes, std::move(completion));
}

void View::animate(const AnimationOptions& options, const std::function<void()>& changes,
                   std::function<void(bool)> completion)
{
    PropertyAnimator::run(options, changes, std::move(completion));
}

void View::setAnimationsEnabled(bool enabled)
{
    PropertyAnimator::setEnabled(enabled);
}

bool View::areAnimationsEnabled()
{
    return PropertyAnimator::isEnabled();
}

void View::addAnimation(const std::shared_ptr<LayerAnimation>& animation, const std::string& key)
{
    if (!animation)
        return;
    removeAnimationForKey(key);
    // It may change what shows at once (an opacity from 0): the old picture must go.
    markDrawnArea();
    m_layerAnimations[key] = animation;
    m_layerAnimationOrder.push_back(key);
    LayerAnimation::noteAnimatedView(this, true);
    LayerAnimation::attach(animation, this, key);
    invalidateExtent();
    markDrawnArea();
}

bool View::endEditing()
{
    auto* editing = dynamic_cast<View*>(Responder::currentFirstResponder());
    if (!editing || !editing->isDescendantOfView(this))
        return true;
    return editing->resignFirstResponder();
}

void View::addTransition(const TransitionOptions& options, const std::string& key)
{
    auto animation = LayerAnimation::make("transition");
    animation->transition = options;
    layoutIfNeeded();
    animation->transitionSnapshot = snapshotImage(m_window ? m_window->scale() : 1);
    animation->duration = options.duration;
    animation->curve = options.curve;
    addAnimation(animation, key);
}

void View::removeAnimationForKey(const std::string& key)
{
    auto it = m_layerAnimations.find(key);
    if (it == m_layerAnimations.end())
        return;
    auto animation = it->second;
    // What the animation showed goes away now, not at the next frame's animation pass.
    markDrawnArea();
    m_layerAnimations.erase(it);
    m_layerAnimationOrder.erase(std::remove(m_layerAnimationOrder.begin(), m_layerAnimationOrder.end(), key),
                                m_layerAnimationOrder.end());
    if (m_layerAnimations.empty())
        LayerAnimation::noteAnimatedView(this, false);
    invalidateExtent();
    animation->detach(false);
    markDrawnArea();
}

void View::removeAllAnimations()
{
    auto keys = m_layerAnimationOrder;
    for (auto& key : keys)
        removeAnimationForKey(key);
}

std::shared_ptr<LayerAnimation> View::animationForKey(const std::string& key) const
{
    auto it = m_layerAnimations.find(key);
    return it == m_layerAnimations.end() ? nullptr : it->second;
}

std::vector<std::string> View::animationKeys() const
{
    return m_layerAnimationOrder;
}

bool View::hasRunningAnimations() const
{
    return !m_layerAnimations.empty() || PropertyAnimator::isAnimating(this);
}

View::Presentation View::presentation() const
{
    Presentation p{m_center, m_bounds, m_transform, m_alpha, m_backgroundColor};
    PropertyAnimator::apply(this, p);
    for (auto& key : m_layerAnimationOrder)
        m_layerAnimations.at(key)->apply(p);
    return p;
}

} // namespace ui
