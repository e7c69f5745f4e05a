#pragma once
#include "Platform/UI/View.h"

#include <memory>

namespace base {
class Timer;
}

namespace ui {

enum class ActivityIndicatorStyle { WhiteLarge, White, Gray };

// A spinner that turns step by step on the main loop's clock while animating.
class ActivityIndicator : public View {
public:
    explicit ActivityIndicator(ActivityIndicatorStyle style = ActivityIndicatorStyle::White);
    ~ActivityIndicator() override;
    const char* className() const override { return "ActivityIndicator"; }

    ActivityIndicatorStyle style() const { return m_style; }
    // Also resizes the view to the style's size.
    void setStyle(ActivityIndicatorStyle style);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return m_timer != nullptr; }
    // On (the default): hidden whenever it is not animating.
    bool hidesWhenStopped() const { return m_hidesWhenStopped; }
    void setHidesWhenStopped(bool hides);

    gfx::Size sizeThatFits(gfx::Size) const override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    std::shared_ptr<base::Timer> m_timer;
    ActivityIndicatorStyle m_style;
    bool m_hidesWhenStopped = true;
    int m_step = 0;
};

} // namespace ui
