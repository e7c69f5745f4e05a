// The suites' wait for long work: it lasts while the work moves, and fails, saying where the
// work stood, once the work has stood still for the time given.
#include "tests/Support/WhileMoving.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

TEST(WhileMoving, FailsOnlyOnceTheWorkHasStoodStillForTheTimeGiven)
{
    constexpr double kStill = 0.2;
    constexpr double kSample = 0.02;
    // A faulty wait that never gives up ends here as a success, which the cases refuse.
    constexpr double kBackstop = 30;
    struct Case {
        const char* name;
        int movesFor;                    // samples during which the progress changes (-1: it always does)
        std::optional<double> doneAfter; // wall seconds after which the work is done
        bool fails;
    } cases[] = {
        {"never moves", 0, std::nullopt, true},
        {"moves, then stands still", 8, std::nullopt, true},
        {"moves for longer than the still time, then is done", -1, 3 * kStill, false},
        {"done at once", 0, 0.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto began = Clock::now();
        int samples = 0;
        auto lastMove = began;
        auto progress = [&] {
            if (c.movesFor < 0 || samples < c.movesFor) {
                ++samples;
                lastMove = Clock::now();
            }
            return samples;
        };
        auto done = [&] {
            const double t = secondsSince(began);
            return t >= kBackstop || (c.doneAfter && t >= *c.doneAfter);
        };
        const auto result = testsupport::runWhileMoving("the planted work", done, progress, kStill, kSample);
        const double stillFor = std::chrono::duration<double>(Clock::now() - lastMove).count();
        ASSERT_LT(secondsSince(began), kBackstop) << "the wait never gave up";
        EXPECT_EQ(bool(result), !c.fails) << result.message();
        if (!c.fails)
            continue;
        EXPECT_GE(stillFor, kStill) << "given up while the work moved";
        const std::string message = result.message();
        EXPECT_NE(message.find("the planted work: no progress for"), std::string::npos) << message;
        EXPECT_NE(message.find("standing at " + std::to_string(c.movesFor)), std::string::npos) << message;
    }
}

} // namespace
