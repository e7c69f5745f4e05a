#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace base {
class Timer;
}

namespace ui {

enum class AnimatedProperty { Center, Bounds, Transform, Alpha, BackgroundColor };

// Records property changes made inside View::animate blocks and interpolates what is shown
// on the run loop's clock. The model values change at once.
class PropertyAnimator {
public:
    static void run(const View::AnimationOptions& options, const std::function<void()>& changes,
                    std::function<void(bool)> completion);
    // Called by View setters before the model value changes.
    static void willChange(View* view, AnimatedProperty property);
    static void apply(const View* view, View::Presentation& presentation);
    static bool isAnimating(const View* view);
    static void forget(const View* view);
    static void setEnabled(bool enabled);
    static bool isEnabled();
    // Stops every running animation of the view (completions report not finished).
    static void cancelAnimations(const View* view);
};

double applyCurve(View::AnimationOptions::Curve curve, double t);

// Views whose shown values may change from one frame to the next: property animations not yet
// complete, layer animations not yet over (or not yet begun).
std::vector<View*> viewsInMotion();

// A keyed animation of a view's layer: changes only what is shown, never the model.
// Key paths: "opacity", "position", "position.x", "position.y", "transform.rotation" (or
// ".rotation.z"), "transform.scale", "transform.translation.x", "transform.translation.y".
class LayerAnimation : public std::enable_shared_from_this<LayerAnimation> {
public:
    static std::shared_ptr<LayerAnimation> make(std::string keyPath);

    // A transition (key path "transition", made by View::addTransition) with the picture of
    // the view taken when it was added; it changes no presented value.
    std::optional<View::TransitionOptions> transition;
    gfx::Image transitionSnapshot;

    std::string keyPath;
    // Two values for from/to, more for keyframes; positions use `points`.
    std::vector<double> values;
    std::vector<gfx::Point> points;
    // The keyframes' times as fractions 0..1 of the duration, one per value; empty spaces
    // them evenly.
    std::vector<double> keyTimes;
    double duration = 0.25;
    double beginOffset = 0; // seconds after being added
    // When set, the start on the layer clock (layerTime), in place of the moment of adding
    // plus beginOffset.
    std::optional<double> beginTime;
    bool autoreverses = false;
    double repeatCount = 0; // 0 plays once; INFINITY repeats for ever
    View::AnimationOptions::Curve curve = View::AnimationOptions::Curve::Linear;
    bool removedOnCompletion = true;
    std::function<void(bool finished)> didStop;

    // Progress 0..1 at a loop time, after repeats and reversal; nothing before it starts.
    std::optional<double> progressAt(double time) const;
    // The interpolated value of `values` at a progress 0..1, honouring keyTimes.
    double valueAtProgress(double t) const;
    // The clock layer animations run on.
    static double layerTime();
    double totalDuration() const;
    bool isAttached() const { return m_view != nullptr; }
    // Still changing what is shown at `time` (or waiting to begin).
    bool isMovingAt(double time) const;

private:
    friend class View;
    static void attach(const std::shared_ptr<LayerAnimation>& animation, View* view, const std::string& key);
    // The views that hold layer animations, kept by View as animations come and go.
    static void noteAnimatedView(View* view, bool hasAnimations);
    void detach(bool finished);
    void apply(View::Presentation& presentation) const;

    View* m_view = nullptr;
    std::string m_key;
    double m_startTime = 0;
    std::shared_ptr<base::Timer> m_endTimer;
};

} // namespace ui
