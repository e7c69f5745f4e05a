#pragma once
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace uitest {

// A window on the manual clock, so time only moves when the test says so.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(true);
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        window.reset();
        base::RunLoop::main().advance(10); // let pending timers and animations end
        base::RunLoop::main().setManualClock(false);
    }
    std::shared_ptr<ui::Window> window;
};

// A view that records the touches it receives.
class RecordingView : public ui::View {
public:
    using View::View;
    std::vector<std::string> log;
    std::vector<gfx::Point> points;
    int lastTapCount = 0;
    void touchesBegan(const std::vector<ui::Touch*>& t, ui::Event&) override { record("began", t); }
    void touchesMoved(const std::vector<ui::Touch*>& t, ui::Event&) override { record("moved", t); }
    void touchesEnded(const std::vector<ui::Touch*>& t, ui::Event&) override { record("ended", t); }
    void touchesCancelled(const std::vector<ui::Touch*>& t, ui::Event&) override { record("cancelled", t); }

private:
    void record(const char* what, const std::vector<ui::Touch*>& t);
};

} // namespace uitest
