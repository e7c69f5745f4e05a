#pragma once
#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/Font.h"
#include "Platform/UI/View.h"

#include <cstdint>
#include <memory>
#include <string>

// A short notice that pops in over the key window, holds, shrinks away and removes itself.
// The window keeps it while it runs; several run side by side, each on its own.
class UIToast : public ui::View {
public:
    static constexpr double kMaxTextWidth = 260;
    static constexpr double kMaxTextHeight = 300;

    UIToast() = default;
    const char* className() const override { return "UIToast"; }

    // Lower placement, short hold.
    void show(const std::string& text);
    // Gravity 1 centre, 2 lower, anything else upper; length 1 holds long.
    void showGravityLength(const std::string& text, int gravity, int length);
    // A ready-made content view keeps its size; the fraction of the height takes the place
    // of the gravity.
    void showViewWithGravityLength(const std::shared_ptr<ui::View>& view, float gravity, int length);
    void initShowingTextWithFont(const std::string& text, const gfx::Font& font);
    // The window is drawn in landscape already, so the toast needs no turn of its own.
    gfx::AffineTransform transformForOrientation() const;
    // Runs the next of the five steps; nothing once the toast has gone.
    void animationStep();

    const std::shared_ptr<ui::View>& animationView() const { return m_animationView; }
    int32_t animation() const { return m_animation; }
    int32_t length() const { return m_length; }
    int32_t gravity() const { return m_gravity; }

protected:
    // One animated step, ease-in-out; when it stops, the next step runs.
    void beginAnimationWithDuration(double seconds) { m_stepDuration = seconds; }
    void commitModalAnimationsWithSelector(const std::function<void()>& changes, void (UIToast::*didStop)());

private:
    void place(gfx::Size size, double fraction);

    std::shared_ptr<ui::View> m_animationView;
    int32_t m_animation = 0;
    int32_t m_length = 0;
    int32_t m_gravity = 0;
    double m_stepDuration = 0;
};
