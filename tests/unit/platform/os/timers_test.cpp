// The timers behind scripts' intervals, on the system's timers (Windows) or the headless queue.
// Nothing here asserts on durations: only on which ticks come, in which order, and when none may.
#include "platform/timers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmo::platform {
namespace {

// Runs due timers until `done` holds, for at most about two seconds of waiting.
template <class Done>
bool RunUntil(Done done) {
    for (int i = 0; i < 200 && !done(); ++i) RunDueTimers(10);
    return done();
}

class TimersTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const uint32_t id : started_) StopTimer(id);
        EXPECT_EQ(RunningTimers(), 0u);
    }
    uint32_t Start(uint32_t period, TimerTick tick) {
        const uint32_t id = StartTimer(period, std::move(tick));
        if (id) started_.push_back(id);
        return id;
    }
    std::vector<uint32_t> started_;
};

TEST_F(TimersTest, TicksRepeatUntilStoppedAndTheShorterPeriodComesFirst) {
    std::vector<std::string> ticks;
    const uint32_t fast = Start(5, [&] { ticks.push_back("fast"); });
    const uint32_t slow = Start(60, [&] { ticks.push_back("slow"); });
    ASSERT_NE(fast, 0u);
    ASSERT_NE(slow, 0u);
    EXPECT_NE(fast, slow);
    EXPECT_EQ(RunningTimers(), 2u);
    EXPECT_GE(NextTimerDueInMs(), 0);
    ASSERT_TRUE(RunUntil([&] { return std::count(ticks.begin(), ticks.end(), "slow") >= 1; }));
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front(), "fast");
    EXPECT_GE(std::count(ticks.begin(), ticks.end(), "fast"), 2);

    StopTimer(fast);
    StopTimer(slow);
    EXPECT_EQ(RunningTimers(), 0u);
    EXPECT_EQ(NextTimerDueInMs(), -1);
    const size_t before = ticks.size();
    RunDueTimers(80);
    EXPECT_EQ(ticks.size(), before) << "a stopped timer ticked";
    StopTimer(fast);  // stopping twice, or an id never given, is ignored
    StopTimer(0xFFFFFFF0u);
}

TEST_F(TimersTest, ATickMayStopItsOwnTimerAndStartAnother) {
    int first = 0, second = 0;
    uint32_t self = 0;
    self = Start(5, [&] {
        ++first;
        StopTimer(self);
        Start(5, [&] { ++second; });
    });
    ASSERT_NE(self, 0u);
    ASSERT_TRUE(RunUntil([&] { return second >= 2; }));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(RunningTimers(), 1u);
}

TEST_F(TimersTest, ATickThatWaitsForEventsIsNotEnteredAgain) {
    int depth = 0, deepest = 0, ticks = 0;
    Start(5, [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        // A script's message pump inside its own tick: the same timer must not run inside itself.
        RunDueTimers(30);
        --depth;
    });
    ASSERT_TRUE(RunUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(deepest, 1);
}

TEST_F(TimersTest, ATimerWithoutATickIsRefused) { EXPECT_EQ(StartTimer(10, nullptr), 0u); }

}  // namespace
}  // namespace velmo::platform
