#pragma once
// Waits for long work (a sync, a batch of downloads, a thumbnail run) for as long as it moves:
// a sanitizer build beside a heavy load may take many times its usual time, so what bounds the
// wait is the work standing still, never a time the work is expected to take.
#include "Platform/Base/RunLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>

namespace testsupport {

// Seconds without any sign of progress after which work is taken for stuck: far longer than
// any single step of the suite's work takes on a loaded machine under the sanitizer.
inline constexpr double kStandingStill = 60;

// Runs the main loop until `done` holds. `progress` tells how far the work has come: any value
// compared with == that changes as the work moves (counts of answers, files, reports). It is
// looked at every `sampleEvery` seconds, so it may be dear to read (a request to the back end).
// Fails, saying what was awaited and where the work stood, once `done` still does not hold
// and the progress has not changed for `stillFor` seconds on the wall clock.
template <class Progress>
::testing::AssertionResult runWhileMoving(const std::string& what, const std::function<bool()>& done,
                                          Progress&& progress, double stillFor = kStandingStill,
                                          double sampleEvery = 0.5)
{
    using Clock = std::chrono::steady_clock;
    auto& loop = base::RunLoop::main();
    const auto began = Clock::now();
    auto seen = progress();
    auto movedAt = began;
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    for (;;) {
        if (loop.runUntil(done, sampleEvery))
            return ::testing::AssertionSuccess();
        auto now = progress();
        if (!(now == seen)) {
            seen = std::move(now);
            movedAt = Clock::now();
        } else if (seconds(Clock::now() - movedAt) >= stillFor) {
            return ::testing::AssertionFailure()
                   << what << ": no progress for " << stillFor << " s (after " << seconds(Clock::now() - began)
                   << " s in all), standing at " << ::testing::PrintToString(seen);
        }
    }
}

} // namespace testsupport
