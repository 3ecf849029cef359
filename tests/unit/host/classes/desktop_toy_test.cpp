// DesktopToy: the motion steps on their own (throws, edges with and without bounce, corners, the
// rest test, the clock's wrap, following the pointer and its clamping), then the object over a
// projector that keeps a window rectangle, with the ticks driven by hand: a throw that comes to rest
// on an edge, and the rules of when onStop fires and with what.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/projector_engine.h"
#include "host/classes/desktop_toy_motion.h"
#include "host/classes/desktop_toy_object.h"
#include "host/framework/projector.h"
#include "host/make_engine.h"
#include "platform/timers.h"
#include "script/runtime/engine.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"

namespace velmo::host {
namespace {

using platform::Point;
using platform::Rect;

const Rect kWork{0, 0, 1000, 700};

TEST(ToyMotion, ThrowStartsFromTheCentreWithDegreesPointingDownAndTheRootOfTheKeptShare) {
    const ToyMotion m = StartThrow({100, 90, 50, 180, 75, false}, Rect{10, 20, 101, 51}, 1234);
    EXPECT_NEAR(m.vx, 0, 1e-9);
    EXPECT_NEAR(m.vy, 100, 1e-9);
    EXPECT_NEAR(m.ax, -50, 1e-9);
    EXPECT_NEAR(m.ay, 0, 1e-9);
    EXPECT_DOUBLE_EQ(m.restitution, 0.5);
    EXPECT_DOUBLE_EQ(m.x, 60.5);  // exact halves
    EXPECT_DOUBLE_EQ(m.y, 45.5);
    EXPECT_EQ(m.lastTick, 1234u);
    EXPECT_DOUBLE_EQ(StartThrow({0, 0, 0, 0, 100, false}, {}, 0).restitution, 0);
    EXPECT_DOUBLE_EQ(StartThrow({0, 0, 0, 0, 0, false}, {}, 0).restitution, 1);
    EXPECT_DOUBLE_EQ(StartThrow({0, 0, 0, 0, 150, false}, {}, 0).restitution, 0);
}

TEST(ToyMotion, FreeFlightFollowsSpeedAndAccelerationAndNeverEndsInside) {
    const Rect window{100, 100, 100, 100};
    ToyMotion m = StartThrow({100, 0, 0, 0, 0, false}, window, 0);
    MotionStep step = StepThrow(m, window, kWork, 100);
    EXPECT_DOUBLE_EQ(m.x, 160);
    EXPECT_EQ(step.topLeft, (Point{110, 100}));
    EXPECT_FALSE(step.ended);
    // From rest, 200 px/s^2 for half a second: a quarter of a second's worth at the final speed.
    m = StartThrow({0, 0, 200, 0, 0, false}, window, 0);
    step = StepThrow(m, window, kWork, 500);
    EXPECT_DOUBLE_EQ(m.x, 175);
    EXPECT_DOUBLE_EQ(m.vx, 100);
    // The clock wraps: 0x10 comes 32 ms after 0xFFFFFFF0.
    m = StartThrow({1000, 0, 0, 0, 0, false}, window, 0xFFFFFFF0u);
    (void)StepThrow(m, window, kWork, 0x10);
    EXPECT_DOUBLE_EQ(m.x, 150 + 32);
    // Standing still inside the work area goes on for ever.
    m = StartThrow({0, 0, 0, 0, 0, false}, window, 0);
    for (uint32_t t = 10; t < 1000; t += 10) EXPECT_FALSE(StepThrow(m, window, kWork, t).ended);
    EXPECT_DOUBLE_EQ(m.x, 150);
}

TEST(ToyMotion, WithoutBounceTheFirstStepOutEndsOnTheEdgeKeepingItsVelocity) {
    const Rect window{850, 100, 100, 101};
    ToyMotion m = StartThrow({1000, 0, 0, 0, 0, false}, window, 0);
    const MotionStep step = StepThrow(m, window, kWork, 100);
    EXPECT_TRUE(step.ended);
    EXPECT_DOUBLE_EQ(m.x, 950);  // work right less half the width
    EXPECT_DOUBLE_EQ(m.vx, 1000);
    EXPECT_EQ(step.topLeft, (Point{900, 100}));  // the truncated centre less the integer half
}

TEST(ToyMotion, BounceTurnsTheVelocityOfTheEdgeMetScaledByRestitution) {
    const Rect window{850, 300, 100, 100};
    // The right edge: vx turns, vy only loses.
    ToyMotion m = StartThrow({1000, 0, 0, 0, 75, true}, window, 0);
    m.vy = 40;
    MotionStep step = StepThrow(m, window, kWork, 100);
    EXPECT_FALSE(step.ended);  // it moved far at this step
    EXPECT_DOUBLE_EQ(m.vx, -500);
    EXPECT_DOUBLE_EQ(m.vy, 20);
    // The bottom edge: only vy turns.
    const Rect low{400, 590, 100, 100};
    m = StartThrow({1000, 90, 0, 0, 0, true}, low, 0);
    m.vx = 10;
    (void)StepThrow(m, low, kWork, 100);
    EXPECT_DOUBLE_EQ(m.y, 650);
    EXPECT_NEAR(m.vy, -1000, 1e-9);
    EXPECT_NEAR(m.vx, 10, 1e-9);
    // A corner: both turn.
    const Rect corner{880, 580, 100, 100};
    m = StartThrow({1000, 45, 0, 0, 0, true}, corner, 0);
    step = StepThrow(m, corner, kWork, 100);
    EXPECT_EQ(step.topLeft, (Point{900, 600}));
    EXPECT_LT(m.vx, 0);
    EXPECT_LT(m.vy, 0);
}

TEST(ToyMotion, AtAnEdgeTheMotionRestsOnlyWhenNothingIsLeftToMove) {
    // Dropped with gravity and a total loss: the first touch still moved far, the next one
    // finds the window held down by gravity and without sideways speed.
    const Rect window{400, 560, 100, 100};
    ToyMotion m = StartThrow({0, 0, 1000, 90, 100, true}, window, 0);
    MotionStep step = StepThrow(m, window, kWork, 300);
    EXPECT_FALSE(step.ended);
    EXPECT_DOUBLE_EQ(m.vy, 0);
    step = StepThrow(m, window, kWork, 310);
    EXPECT_TRUE(step.ended);
    EXPECT_EQ(step.topLeft, (Point{400, 600}));
    // Sideways speed left keeps a window on the floor sliding.
    m = StartThrow({0, 0, 1000, 90, 0, true}, Rect{400, 600, 100, 100}, 0);
    m.vx = 50;
    EXPECT_FALSE(StepThrow(m, Rect{400, 600, 100, 100}, kWork, 5).ended);
    // Pushed up against the ceiling by an upward acceleration, with no speed: at rest.
    m = StartThrow({0, 0, 1000, 270, 0, true}, Rect{400, 0, 100, 100}, 0);
    EXPECT_TRUE(StepThrow(m, Rect{400, 0, 100, 100}, kWork, 1).ended);
    // The same acceleration pointing away from the edge it touches does not hold the window there.
    m = StartThrow({0, 0, 0, 0, 0, true}, Rect{400, 0, 100, 100}, 0);
    m.vy = -1;  // just over the top edge
    m.ay = 1e-3;
    EXPECT_FALSE(StepThrow(m, Rect{400, 0, 100, 100}, kWork, 1).ended);
}

TEST(ToyMotion, FollowingMovesOnePixelPerAxisAndStaysOnTheWorkArea) {
    const Rect window{100, 100, 100, 50};  // centre 150, 125
    EXPECT_EQ(StepFollow(window, kWork, {150, 125}), (Point{100, 100}));
    EXPECT_EQ(StepFollow(window, kWork, {900, 0}), (Point{101, 99}));
    EXPECT_EQ(StepFollow(window, kWork, {150, 600}), (Point{100, 101}));
    EXPECT_EQ(StepFollow(window, kWork, {0, 125}), (Point{99, 100}));
    // Clamped to the work area's right and bottom, and to 0 rather than its own left and top.
    EXPECT_EQ(StepFollow({900, 650, 100, 50}, kWork, {2000, 2000}), (Point{900, 650}));
    const Rect shifted{50, 40, 950, 660};
    EXPECT_EQ(StepFollow({0, 0, 100, 50}, shifted, {0, 0}), (Point{0, 0}));
    EXPECT_EQ(StepFollow({-5, -5, 100, 50}, shifted, {500, 500}), (Point{0, 0}));
    // Wider than the work area: 0 wins.
    EXPECT_EQ(StepFollow({10, 10, 1200, 50}, kWork, {0, 0}), (Point{0, 9}));
}

// ---- The object over a window ----

class WindowProjector final : public Projector {
public:
    Rect window{100, 100, 200, 100};
    Rect work = kWork;
    Point pointer;
    std::vector<std::string> log;

    std::optional<Rect> MainWindowRect() const override { return window; }
    bool MoveMainWindow(int left, int top) override {
        window.left = left, window.top = top;
        return true;
    }
    std::optional<Rect> WorkArea() const override { return work; }
    std::optional<Point> PointerPosition() const override { return pointer; }
    void SetSprite(const std::string& bounds, const std::string& frame) override {
        log.push_back("sprite " + bounds + "|" + frame);
    }
};

class DesktopToyRun : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = testing::EngineOver(projector_);
        ASSERT_TRUE(engine_);
        SetDesktopToyClock(engine_->Interp(), [this] { return now_; });
        timersBefore_ = platform::RunningTimers();
        Run("stops = ''; DesktopToy.onStop = function (l, t) { stops += l + ',' + t + (this == DesktopToy ? ';' : "
            "'?;'); };");
    }
    void TearDown() override { engine_.reset(); }
    void Run(const std::string& script) { ASSERT_EQ(engine_->RunSourceText(script), 1) << engine_->ErrorText(); }
    std::string Stops() {
        Run("s = stops; stops = '';");
        const script::Value& v = script::GlobalByName(engine_->Interp(), "s");
        std::string text;
        for (char16_t c : script::Text(v.AsString())) text += static_cast<char>(c);
        return text;
    }
    // The timers this engine started: ticks are driven by hand, but act still starts one.
    size_t Timers() const { return platform::RunningTimers() - timersBefore_; }
    void TickAt(uint32_t t) {
        now_ = t;
        StepDesktopToy(engine_->Interp(), t);
    }

    WindowProjector projector_;
    std::unique_ptr<script::Engine> engine_;
    uint32_t now_ = 5000;
    size_t timersBefore_ = 0;
};

TEST_F(DesktopToyRun, AThrowWithoutBounceMovesTheWindowAndRestsOnTheEdgeItReaches) {
    Run("DesktopToy.act(1000, 0, 0, 0, 0);");
    EXPECT_EQ(Timers(), 1u);
    TickAt(5100);
    EXPECT_EQ(projector_.window, (Rect{200, 100, 200, 100}));
    EXPECT_EQ(Stops(), "");
    TickAt(6000);  // far past the right edge
    EXPECT_EQ(projector_.window, (Rect{800, 100, 200, 100}));
    EXPECT_EQ(Stops(), "800,100;");
    EXPECT_EQ(Timers(), 0u);
}

TEST_F(DesktopToyRun, OnStopFiresForEveryEndEvenWithNothingRunning) {
    Run("DesktopToy.stop();");
    EXPECT_EQ(Stops(), "100,100;");
    // A new act ends the running one first.
    Run("DesktopToy.act(0, 0, 0, 0, 0); DesktopToy.act(0, 0, 0, 0, 0);");
    EXPECT_EQ(Stops(), "100,100;");
    EXPECT_EQ(Timers(), 1u);
    // followCursor = false during a motion stops it, with the window's place at that moment.
    TickAt(5200);
    projector_.window.left = 321;
    Run("t = DesktopToy.followCursor; DesktopToy.followCursor = false;");
    EXPECT_EQ(Stops(), "321,100;");
    EXPECT_EQ(Timers(), 0u);
}

TEST_F(DesktopToyRun, ActWithMissingOrNonIntegerArgumentsChangesNothing) {
    Run("DesktopToy.act(1, 2, 3, 4); DesktopToy.act(1, 2, 3.5, 4, 5); DesktopToy.act(1, 2, '3', 4, 5);");
    EXPECT_EQ(Timers(), 0u);
    EXPECT_EQ(Stops(), "");
    // A sixth argument is taken by its truth: a string makes the throw bounce.
    Run("DesktopToy.act(1000, 0, 0, 0, 0, 'yes');");
    TickAt(6000);
    EXPECT_EQ(projector_.window.left, 800);
    EXPECT_EQ(Stops(), "");  // it bounced, with all its speed
    Run("DesktopToy.stop();");
    EXPECT_EQ(Stops(), "800,100;");
}

TEST_F(DesktopToyRun, FollowingCreepsTowardsThePointerUntilSwitchedOff) {
    projector_.pointer = {1000, 0};
    Run("DesktopToy.followCursor = 'on'; f = DesktopToy.followCursor;");
    for (uint32_t t = 1; t <= 3; ++t) TickAt(5000 + 10 * t);
    EXPECT_EQ(projector_.window, (Rect{103, 97, 200, 100}));
    // Switching it on again restarts it, which ends the first one.
    Run("DesktopToy.followCursor = true;");
    EXPECT_EQ(Stops(), "103,97;");
    Run("DesktopToy.followCursor = 0;");
    EXPECT_EQ(Stops(), "103,97;");
}

TEST_F(DesktopToyRun, SpriteNamesReachTheFrameAndOnlyStringsAreStored) {
    Run("DesktopToy.spriteBounds = 'sprite'; DesktopToy.spriteInfoFrame = 'update'; DesktopToy.spriteBounds = 5;"
        "b = DesktopToy.spriteBounds + '/' + DesktopToy.spriteInfoFrame;");
    EXPECT_EQ(projector_.log, (std::vector<std::string>{"sprite sprite|", "sprite sprite|update"}));
    const script::Value& b = script::GlobalByName(engine_->Interp(), "b");
    EXPECT_EQ(script::Text(b.AsString()), u"sprite/update");
}

}  // namespace
}  // namespace velmo::host
