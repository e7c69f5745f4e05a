#include "Platform/UI/Animation.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace ui {

namespace {

struct Group {
    std::function<void(bool)> completion;
    bool interrupted = false;
    int pending = 0; // property animations still attached
    std::shared_ptr<base::Timer> timer;
};

struct PropertyTrack {
    AnimatedProperty property;
    View::Presentation from; // only the field of `property` matters
    double start;
    double duration;
    View::AnimationOptions::Curve curve;
    std::shared_ptr<Group> group;
};

struct State {
    bool enabled = true;
    std::vector<std::pair<View::AnimationOptions, std::shared_ptr<Group>>> stack; // open blocks
    std::map<const View*, std::vector<PropertyTrack>> tracks;
};

State& state()
{
    static State* s = new State();
    return *s;
}

std::set<View*>& layerAnimatedViews()
{
    static auto* views = new std::set<View*>();
    return *views;
}

double now()
{
    return base::RunLoop::main().now();
}

gfx::Color mix(const gfx::Color& a, const gfx::Color& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

void finishTrack(PropertyTrack& track, bool interrupted)
{
    if (!track.group)
        return;
    if (interrupted)
        track.group->interrupted = true;
    --track.group->pending;
}

} // namespace

double applyCurve(View::AnimationOptions::Curve curve, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    switch (curve) {
    case View::AnimationOptions::Curve::Linear: return t;
    case View::AnimationOptions::Curve::EaseIn: return t * t;
    case View::AnimationOptions::Curve::EaseOut: return 1 - (1 - t) * (1 - t);
    case View::AnimationOptions::Curve::EaseInOut: return t * t * (3 - 2 * t);
    }
    return t;
}

void PropertyAnimator::run(const View::AnimationOptions& options, const std::function<void()>& changes,
                           std::function<void(bool)> completion)
{
    State& s = state();
    if (!s.enabled || (options.duration <= 0 && options.delay <= 0)) {
        if (changes)
            changes();
        if (completion)
            completion(true);
        return;
    }
    auto group = std::make_shared<Group>();
    group->completion = std::move(completion);
    s.stack.emplace_back(options, group);
    if (changes)
        changes();
    s.stack.pop_back();
    // The completion runs when the block's time is up, even if nothing changed.
    // The timer keeps the group alive until it fires; the group drops the timer then.
    group->timer = base::Timer::scheduled(options.delay + options.duration, false, [group](base::Timer&) {
        auto g = group;
        // Drop the group's finished tracks. Their views come to rest: what they cover was
        // measured mid-way (or at the start, when no frame was drawn meanwhile).
        std::vector<View*> rested;
        for (auto it = state().tracks.begin(); it != state().tracks.end();) {
            auto& list = it->second;
            size_t before = list.size();
            list.erase(std::remove_if(list.begin(), list.end(), [&](PropertyTrack& t) { return t.group == g; }), list.end());
            if (list.size() != before)
                rested.push_back(const_cast<View*>(it->first));
            it = list.empty() ? state().tracks.erase(it) : std::next(it);
        }
        for (View* view : rested) {
            view->invalidateExtent();
            view->markDrawnArea();
        }
        auto completion = std::move(g->completion);
        g->timer.reset();
        if (completion)
            completion(!g->interrupted);
    });
}

void PropertyAnimator::willChange(View* view, AnimatedProperty property)
{
    State& s = state();
    if (s.stack.empty() || !s.enabled)
        return;
    auto& [options, group] = s.stack.back();
    View::Presentation from = view->presentation(); // current on-screen value: begin from there
    auto& list = s.tracks[view];
    for (auto it = list.begin(); it != list.end();) {
        if (it->property == property) {
            finishTrack(*it, true);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    list.push_back({property, from, now() + options.delay, options.duration, options.curve, group});
    ++group->pending;
}

void PropertyAnimator::apply(const View* view, View::Presentation& p)
{
    State& s = state();
    auto it = s.tracks.find(view);
    if (it == s.tracks.end())
        return;
    double t0 = now();
    for (auto& track : it->second) {
        double raw = track.duration > 0 ? (t0 - track.start) / track.duration : 1;
        if (raw >= 1)
            continue;
        double t = applyCurve(track.curve, std::max(0.0, raw));
        const auto& f = track.from;
        switch (track.property) {
        case AnimatedProperty::Center:
            p.center = {lerp(f.center.x, p.center.x, t), lerp(f.center.y, p.center.y, t)};
            break;
        case AnimatedProperty::Bounds:
            p.bounds = {lerp(f.bounds.x(), p.bounds.x(), t), lerp(f.bounds.y(), p.bounds.y(), t),
                        lerp(f.bounds.width(), p.bounds.width(), t), lerp(f.bounds.height(), p.bounds.height(), t)};
            break;
        case AnimatedProperty::Transform: {
            auto& a = f.transform;
            auto& b = p.transform;
            p.transform = {lerp(a.a, b.a, t), lerp(a.b, b.b, t), lerp(a.c, b.c, t),
                           lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t)};
            break;
        }
        case AnimatedProperty::Alpha:
            p.alpha = lerp(f.alpha, p.alpha, t);
            break;
        case AnimatedProperty::BackgroundColor: {
            gfx::Color from = f.backgroundColor.value_or(gfx::Color::clear());
            gfx::Color to = p.backgroundColor.value_or(gfx::Color::clear());
            p.backgroundColor = mix(from, to, t);
            break;
        }
        }
    }
}

bool PropertyAnimator::isAnimating(const View* view)
{
    auto it = state().tracks.find(view);
    if (it == state().tracks.end())
        return false;
    double t0 = now();
    return std::any_of(it->second.begin(), it->second.end(),
                       [t0](const PropertyTrack& t) { return t0 < t.start + t.duration; });
}

void PropertyAnimator::cancelAnimations(const View* view)
{
    auto it = state().tracks.find(view);
    if (it == state().tracks.end())
        return;
    for (auto& track : it->second)
        finishTrack(track, true);
    state().tracks.erase(it);
}

void PropertyAnimator::forget(const View* view)
{
    cancelAnimations(view);
}

void PropertyAnimator::setEnabled(bool enabled)
{
    state().enabled = enabled;
}

bool PropertyAnimator::isEnabled()
{
    return state().enabled;
}

std::vector<View*> viewsInMotion()
{
    std::vector<View*> out;
    for (auto& [view, tracks] : state().tracks)
        if (!tracks.empty())
            out.push_back(const_cast<View*>(view));
    double t = now();
    for (View* view : layerAnimatedViews()) {
        if (state().tracks.count(view))
            continue;
        for (auto& key : view->animationKeys()) {
            auto animation = view->animationForKey(key);
            if (animation && animation->isMovingAt(t)) {
                out.push_back(view);
                break;
            }
        }
    }
    return out;
}

void LayerAnimation::noteAnimatedView(View* view, bool hasAnimations)
{
    if (hasAnimations)
        layerAnimatedViews().insert(view);
    else
        layerAnimatedViews().erase(view);
}

bool LayerAnimation::isMovingAt(double time) const
{
    // One frame past the end still counts, so the final state gets drawn.
    return time <= m_startTime + totalDuration();
}

std::shared_ptr<LayerAnimation> LayerAnimation::make(std::string keyPath)
{
    auto a = std::make_shared<LayerAnimation>();
    a->keyPath = std::move(keyPath);
    return a;
}

double LayerAnimation::totalDuration() const
{
    double once = duration * (autoreverses ? 2 : 1);
    if (std::isinf(repeatCount))
        return INFINITY;
    return once * std::max(1.0, repeatCount);
}

double LayerAnimation::layerTime()
{
    return now();
}

double LayerAnimation::valueAtProgress(double t) const
{
    if (values.empty())
        return 0.0;
    if (values.size() == 1)
        return values[0];
    if (keyTimes.size() == values.size()) {
        if (t <= keyTimes.front())
            return values.front();
        for (size_t i = 0; i + 1 < keyTimes.size(); ++i) {
            double a = keyTimes[i], b = keyTimes[i + 1];
            if (t <= b)
                return b > a ? lerp(values[i], values[i + 1], (t - a) / (b - a)) : values[i + 1];
        }
        return values.back();
    }
    double pos = t * static_cast<double>(values.size() - 1);
    size_t i = std::min(static_cast<size_t>(pos), values.size() - 2);
    return lerp(values[i], values[i + 1], pos - static_cast<double>(i));
}

std::optional<double> LayerAnimation::progressAt(double time) const
{
    double local = time - m_startTime;
    if (local < 0)
        return std::nullopt;
    if (duration <= 0)
        return 1.0;
    double cycle = duration * (autoreverses ? 2 : 1);
    double total = totalDuration();
    if (local >= total)
        return autoreverses ? 0.0 : 1.0;
    double within = std::fmod(local, cycle);
    double t = within / duration;
    if (t > 1)
        t = 2 - t; // reversing
    return applyCurve(curve, t);
}

void LayerAnimation::attach(const std::shared_ptr<LayerAnimation>& animation, View* view, const std::string& key)
{
    animation->m_view = view;
    animation->m_key = key;
    animation->m_startTime = animation->beginTime ? *animation->beginTime : now() + animation->beginOffset;
    double total = animation->totalDuration() + std::max(0.0, animation->m_startTime - now());
    if (std::isinf(total))
        return;
    std::weak_ptr<LayerAnimation> weak = animation;
    animation->m_endTimer = base::Timer::scheduled(total, false, [weak](base::Timer&) {
        auto a = weak.lock();
        if (!a || !a->m_view)
            return;
        if (a->removedOnCompletion) {
            View* v = a->m_view;
            a->m_endTimer.reset();
            // Removing reports through detach; mark it finished first.
            a->m_view = nullptr;
            v->removeAnimationForKey(a->m_key);
            if (a->didStop)
                a->didStop(true);
        } else if (a->didStop) {
            a->didStop(true);
        }
    });
}

void LayerAnimation::detach(bool finished)
{
    if (m_endTimer) {
        m_endTimer->invalidate();
        m_endTimer.reset();
    }
    if (!m_view)
        return; // already reported
    m_view = nullptr;
    if (didStop)
        didStop(finished);
}

void LayerAnimation::apply(View::Presentation& p) const
{
    auto progress = progressAt(now());
    if (!progress)
        return;
    double t = *progress;
    auto valueAt = [&](const std::vector<double>&) { return valueAtProgress(t); };
    if (keyPath == "opacity") {
        p.alpha = valueAt(values);
    } else if (keyPath == "position" && !points.empty()) {
        if (points.size() == 1) {
            p.center = points[0];
        } else {
            double pos = t * static_cast<double>(points.size() - 1);
            size_t i = std::min(static_cast<size_t>(pos), points.size() - 2);
            double f = pos - static_cast<double>(i);
            p.center = {lerp(points[i].x, points[i + 1].x, f), lerp(points[i].y, points[i + 1].y, f)};
        }
    } else if (keyPath == "position.x") {
        p.center.x = valueAt(values);
    } else if (keyPath == "position.y") {
        p.center.y = valueAt(values);
    } else if (keyPath == "transform.rotation" || keyPath == "transform.rotation.z") {
        p.transform = gfx::AffineTransform::rotation(valueAt(values)).concatenated(p.transform);
    } else if (keyPath == "transform.scale") {
        double s = valueAt(values);
        p.transform = gfx::AffineTransform::scaling(s, s).concatenated(p.transform);
    } else if (keyPath == "transform.translation.x") {
        p.transform = p.transform.concatenated(gfx::AffineTransform::translation(valueAt(values), 0));
    } else if (keyPath == "transform.translation.y") {
        p.transform = p.transform.concatenated(gfx::AffineTransform::translation(0, valueAt(values)));
    }
}

} // namespace ui
