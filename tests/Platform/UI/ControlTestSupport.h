#pragma once
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/Responder.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace ui::test {

// A window on the manual clock with animations off; taps are spaced so they never count as
// double taps.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_wasManual = base::RunLoop::main().isManualClock();
        m_animations = View::areAnimationsEnabled();
        base::RunLoop::main().setManualClock(true);
        View::setAnimationsEnabled(false);
        window = std::make_shared<Window>();
        window->setBackgroundColor(gfx::Color::white());
    }
    void TearDown() override
    {
        if (Responder* r = Responder::currentFirstResponder())
            r->resignFirstResponder();
        window.reset();
        View::setAnimationsEnabled(m_animations);
        base::RunLoop::main().setManualClock(m_wasManual);
    }

    void tap(gfx::Point p)
    {
        window->touchDown(1, p);
        window->touchUp(1, p);
        base::RunLoop::main().advance(1);
    }
    void drag(gfx::Point from, gfx::Point to, int steps = 5)
    {
        window->touchDown(1, from);
        for (int i = 1; i <= steps; ++i)
            window->touchMoved(1, {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        window->touchUp(1, to);
        base::RunLoop::main().advance(1);
    }
    gfx::Color pixel(const gfx::Image& image, double x, double y) { return image.colorAt(int(x), int(y)); }

    std::shared_ptr<Window> window;

private:
    bool m_wasManual = false;
    bool m_animations = true;
};

// Pixel bounds inside `area` of everything that differs from `background`; null when none.
inline gfx::Rect inkIn(const gfx::Image& image, const gfx::Rect& area, gfx::Color background)
{
    auto near = [](gfx::Color a, gfx::Color b) {
        return std::fabs(a.r - b.r) < 0.1 && std::fabs(a.g - b.g) < 0.1 && std::fabs(a.b - b.b) < 0.1;
    };
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
    for (int y = int(area.y()); y < int(area.maxY()); ++y)
        for (int x = int(area.x()); x < int(area.maxX()); ++x)
            if (!near(image.colorAt(x, y), background)) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    if (x1 < 0)
        return gfx::Rect::null();
    return {double(x0), double(y0), double(x1 - x0 + 1), double(y1 - y0 + 1)};
}

inline bool isReddish(gfx::Color c) { return c.r > 0.5 && c.g < 0.3 && c.b < 0.3; }
inline bool isBluish(gfx::Color c) { return c.b > 0.6 && c.r < 0.4; }

} // namespace ui::test
