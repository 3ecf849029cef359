// The Window object over the model window system, with a model frame as the projector's main
// window: members and their failure results, events through subclassing (shared by every value of
// a handle, `this` the newest value, rectangles read back, the close veto, hover tracking), the
// record's lifetime, and the arithmetic of fly and centering. What needs no window is covered by
// tests/scripts/window.
#include "tests/support/frame_events.h"
#include "tests/support/projector_engine.h"
#include "host/classes/window_object.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/classes/window_motion.h"
#include "host/framework/projector.h"
#include "host/make_engine.h"
#include "platform/common/model_desktop.h"
#include "platform/common/model_window_system.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/strings.h"

namespace velmo::host {
namespace {

using platform::Rect;
using platform::WindowHandle;
using script::Tag;
using script::Value;

using FrameEvents = testing::CountingFrameEvents;

class FrameProjector final : public Projector {
public:
    uintptr_t MainWindow() const override { return frame; }
    uintptr_t frame = 0;
};

class WindowObject : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseWindowSystem(&ws_);
        frame_ = desktop_.CreateFrameWindow("", events_);
        frame_->SetCaption("Main Frame");
        frame_->Move({0, 0, 640, 480}, true);
        frame_->Show(platform::ShowCommand::Show);  // children of a hidden frame are hidden too
        projector_.frame = frame_->NativeHandle();
        engine_ = testing::EngineOver(projector_);
        ASSERT_TRUE(engine_);
    }
    void TearDown() override {
        engine_.reset();
        platform::UseWindowSystem(nullptr);
    }
    script::Interpreter& interp() { return engine_->Interp(); }
    void Run(std::string_view source) { ASSERT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText(); }
    Value Global(std::string_view name) { return interp().GlobalByName(name); }
    int64_t Int(std::string_view name) {
        const Value v = Global(name);
        EXPECT_TRUE(v.Is(Tag::Integer)) << name;
        return v.Is(Tag::Integer) ? v.AsInteger() : -999999;
    }
    std::string Text(std::string_view name) {
        const Value v = Global(name);
        if (!v.Is(Tag::String)) return "<" + std::string(name) + " is no string>";
        const std::u16string_view text = script::Text(v.AsString());
        return std::string(text.begin(), text.end());
    }
    bool True(std::string_view name) { return Global(name).Is(Tag::Boolean) && Global(name).AsBoolean(); }
    WindowHandle Handle(std::string_view name) { return static_cast<WindowHandle>(Int(name)); }

    platform::ModelWindowSystem ws_;
    platform::ModelDesktop desktop_{{1024, 768}, &ws_};
    FrameEvents events_;
    std::unique_ptr<platform::FrameWindow> frame_;
    FrameProjector projector_;
    std::unique_ptr<script::Engine> engine_;
};

TEST_F(WindowObject, GeometryEdgesAndCaptionOfACreatedChild) {
    Run("var w = Window.create('BUTTON'); h = w.handle; cls = w.className; p = w.parent.handle;"
        "w.caption = 42; cap = w.caption; x0 = w.left; w0 = w.width; h0 = w.height;"
        "w.left = 10; l1 = w.left; w1 = w.width;"    // the right edge stays
        "w.width = 300; l2 = w.left; w2 = w.width;"  // the left edge stays
        "w.top = 5; t3 = w.top; h3 = w.height;"
        "w.left = 'far'; w.width = 1.5; l4 = w.left; w4 = w.width;"  // other types are ignored
        "w.move(1, 2); m = [w.left, w.top, w.width, w.height].join();"
        "w.move(undefined, 'x', 101, 52); m2 = [w.left, w.top, w.width, w.height].join();"
        "cr = w.clientRect; crt = [cr.left, cr.top, cr.width, cr.height].join();"
        "w.handle = 5; h2 = w.handle;");  // read-only
    const WindowHandle h = Handle("h");
    EXPECT_EQ(ws_.Parent(h), frame_->NativeHandle());
    EXPECT_EQ(Handle("p"), frame_->NativeHandle());
    EXPECT_EQ(Text("cls"), "Button");
    EXPECT_EQ(Text("cap"), "42");
    EXPECT_EQ(ws_.Title(h), "42");
    EXPECT_EQ(Int("x0"), 0);
    EXPECT_EQ(Int("w0"), 200);
    EXPECT_EQ(Int("h0"), 20);
    EXPECT_EQ(Int("l1"), 10);
    EXPECT_EQ(Int("w1"), 190);
    EXPECT_EQ(Int("l2"), 10);
    EXPECT_EQ(Int("w2"), 300);
    EXPECT_EQ(Int("t3"), 5);
    EXPECT_EQ(Int("h3"), 15);
    EXPECT_EQ(Int("l4"), 10);
    EXPECT_EQ(Int("w4"), 300);
    EXPECT_EQ(Text("m"), "1,2,309,18");
    EXPECT_EQ(Text("m2"), "1,2,100,50");
    EXPECT_EQ(Text("crt"), "0,0,100,50");
    EXPECT_EQ(Handle("h2"), h);
    // Placed in the frame's client area, below its 4-pixel border and 19-pixel caption.
    EXPECT_EQ(ws_.ScreenRect(h), (Rect{5, 25, 100, 50}));
}

TEST_F(WindowObject, StateStylesAndTheirFailures) {
    Run("var w = Window.create('static'); h = w.handle;"
        "v0 = w.visible; w.hide(); v1 = w.visible; w.show(); v2 = w.visible; w.visible = false; v3 = w.visible;"
        "w.enable = 0; e0 = w.enable; w.enable = 'yes'; e1 = w.enable;"
        "w.windowState = 'MAXIMIZED'; s0 = w.windowState; w.windowState = 6; s1 = w.windowState;"
        "w.windowState = 'sideways'; s2 = w.windowState; w.windowState = 'Normal'; s3 = w.windowState;"
        "w.modifyStyle(0, 0x800000); w.modifyStyleEx(0, 0x200); w.modifyStyle(0x800000);"
        "a0 = w.animate(100, $AW_HIDE | $AW_BLEND); a1 = w.animate(100, $AW_HIDE); a2 = w.animate('100', 0);"
        "a3 = w.animate(100); up = w.update();"
        "bogus = Window.create(1); none = Window.create('NoSuchClass'); nothing = Window.create();");
    const WindowHandle h = Handle("h");
    EXPECT_TRUE(True("v0") && !True("v1") && True("v2") && True("v3"));
    EXPECT_TRUE(!True("e0") && True("e1"));
    EXPECT_EQ(Text("s0"), "maximized");
    EXPECT_EQ(Text("s1"), "minimized");
    EXPECT_EQ(Text("s2"), "minimized");
    EXPECT_EQ(Text("s3"), "normal");
    EXPECT_EQ(ws_.Style(h) & 0x800000u, 0u);
    EXPECT_EQ(ws_.ExtendedStyle(h), 0x200u);
    EXPECT_TRUE(True("a0"));
    EXPECT_FALSE(ws_.IsVisible(h));
    // Hiding a hidden window fails; wrong or missing arguments give false without a call.
    for (const char* name : {"a1", "a2", "a3"}) EXPECT_TRUE(Global(name).Is(Tag::Boolean) && !True(name)) << name;
    EXPECT_TRUE(True("up"));
    for (const char* name : {"bogus", "none", "nothing"}) EXPECT_TRUE(Global(name).Is(Tag::Null)) << name;

    // Once the window is gone every method yields Undefined and every property is the value's own.
    Run("w.close(); gone = [w.update(), w.animate(1, 0), w.getChildren(), w.show()];"
        "cap = typeof w.caption; w.caption = 'own'; own = w.caption; ev = typeof w.onMove;");
    EXPECT_FALSE(ws_.IsWindow(h));
    Run("g = gone[0] === undefined && gone[1] === undefined && gone[2] === undefined && gone[3] === undefined;");
    EXPECT_TRUE(True("g"));
    EXPECT_EQ(Text("cap"), "undefined");
    EXPECT_EQ(Text("own"), "own");
    EXPECT_EQ(Text("ev"), "undefined");
}

TEST_F(WindowObject, ConstructionEnumerationAndSearch) {
    Run("m = getMainWnd(); kids = m.getChildren(); n = kids.length; c0 = kids[0].className;"
        "b = Window.create('BUTTON'); n2 = m.getChildren().length;"
        "f = Window.find(undefined, 'main frame').handle; f2 = Window.find('VelmoFrame').handle;"
        "f3 = Window.find('VelmoFrame', 'other').handle; f4 = m.find(5, 'Main Frame').handle;"
        "byName = Window.getWindowsByName('MAIN FRAME').length; all = Window.getWindowsByName('').length;"
        "none = Window.getWindowsByName(12).length;"
        "c = new Window(m.handle).caption; d = Window(m.handle).caption; bad = new Window(m.handle + 1);"
        "str = new Window('' + m.handle); zero = Window(0); s = '' + m;");
    EXPECT_EQ(Int("n"), 1);
    EXPECT_EQ(Text("c0"), "VelmoMovieArea");
    EXPECT_EQ(Int("n2"), 2);
    const auto frame = static_cast<int64_t>(frame_->NativeHandle());
    EXPECT_EQ(Int("f"), frame);
    EXPECT_EQ(Int("f2"), frame);
    EXPECT_EQ(Int("f3"), 0);
    EXPECT_EQ(Int("f4"), frame);  // a class name that is no string matches any
    EXPECT_EQ(Int("byName"), 1);
    EXPECT_EQ(Int("all"), 1);
    EXPECT_EQ(Int("none"), 0);
    EXPECT_EQ(Text("c"), "Main Frame");
    EXPECT_EQ(Text("d"), "Main Frame");
    for (const char* name : {"bad", "str", "zero"}) EXPECT_TRUE(Global(name).Is(Tag::Null)) << name;
    EXPECT_EQ(Text("s"), "[object Window]");
    // getMainWnd keeps its value for the whole run: only the engine's end un-subclasses the frame.
    interp().Collect();
    EXPECT_TRUE(ws_.IsSubclassed(frame_->NativeHandle()));
    engine_.reset();
    EXPECT_FALSE(ws_.IsSubclassed(frame_->NativeHandle()));
}

TEST_F(WindowObject, ValuesOfOneHandleShareHandlersAndTheNewestIsThis) {
    Run("var a = Window.create('STATIC'); var b = new Window(a.handle); h = a.handle;"
        "unset = a.onMove; a.onMove = function(x, y) { moved = this; mx = x; my = y; };"
        "a.onMove = 5; a.onSize = 'no'; unsetSize = a.onSize;"
        "same = b.onMove === a.onMove; var c = Window(a.handle);"
        "b.left = 30; thisIsNewest = moved === c; thisIsNotA = moved !== a;");
    EXPECT_TRUE(Global("unset").Is(Tag::Null));
    EXPECT_TRUE(Global("unsetSize").Is(Tag::Null));
    EXPECT_TRUE(True("same"));
    EXPECT_TRUE(True("thisIsNewest"));
    EXPECT_TRUE(True("thisIsNotA"));
    EXPECT_EQ(Int("mx"), 30);
    EXPECT_EQ(Int("my"), 0);

    // The record outlives the values that go, with their handlers, until the last one goes.
    Run("a = null; c = null; moved = null;");
    interp().Collect();
    const WindowHandle h = Handle("h");
    EXPECT_TRUE(ws_.IsSubclassed(h));
    ws_.Send(h, platform::kMsgMove, 0, (7 << 16) | 3);
    EXPECT_EQ(Int("mx"), 3);
    EXPECT_EQ(Int("my"), 7);
    Run("b = null; moved = null;");
    interp().Collect();
    interp().Collect();
    EXPECT_FALSE(ws_.IsSubclassed(h));
}

TEST_F(WindowObject, EventsGetTheirArgumentsAndSizingReadsTheRectangleBack) {
    Run("var w = Window.create('STATIC'); h = w.handle; log = [];"
        "w.onSize = function(t, x, y) { log.push('size ' + t + ' ' + x + ' ' + y); };"
        "w.onActivate = function() { log.push('activate ' + arguments.length); };"
        "w.onDeactivate = function() { log.push('deactivate'); };"
        "w.onEnterSizeMove = function() { log.push('enter'); }; w.onExitSizeMove = function() { log.push('exit'); };"
        "w.onMessage = function(m, wp, lp) { log.push('message ' + m + ' ' + wp + ' ' + lp); };"
        "w.onSizing = function(side, r) { log.push('sizing ' + side); r.right = r.left + 400; r.bottom = 'tall'; };"
        "w.onMoving = function(side, r) { throw 'broken'; };");
    const WindowHandle h = Handle("h");
    ws_.Send(h, platform::kMsgSize, 2, (480 << 16) | 640);
    ws_.Send(h, platform::kMsgActivateApp, 1, 0);
    ws_.Send(h, platform::kMsgActivateApp, 0, 0);
    ws_.Send(h, platform::kMsgEnterSizeMove, 0, 0);
    ws_.Send(h, platform::kMsgExitSizeMove, 0, 0);
    ws_.Send(h, 0x0400, 9, -2);
    platform::WindowEdges edges{10, 20, 30, 40};
    ws_.Send(h, platform::kMsgSizing, 8, reinterpret_cast<intptr_t>(&edges));
    EXPECT_EQ(edges.right, 410);
    EXPECT_EQ(edges.bottom, 40);              // not an Integer any more: left as it was
    ws_.Send(h, platform::kMsgSizing, 8, 0);  // no rectangle, no event
    platform::WindowEdges moving{1, 2, 3, 4};
    ws_.Send(h, platform::kMsgMoving, 0, reinterpret_cast<intptr_t>(&moving));  // a failing handler
    EXPECT_EQ(moving.right, 3);
    Run("all = log.join('|');");
    EXPECT_EQ(Text("all"), "size 2 640 480|activate 0|deactivate|enter|exit|message 1024 9 -2|sizing 8");
}

TEST_F(WindowObject, QueryCloseVetoesAndTheMainWindowClosesThroughTheFrame) {
    Run("var w = Window.create('STATIC'); h = w.handle; answer = false; closed = 0;"
        "w.onQueryClose = function() { return answer; }; w.onClose = function() { closed++; };"
        "w.close(); alive1 = w.visible;"
        "answer = undefined; w.close(); alive2 = w.visible;"
        "answer = 1; w.close(); gone = typeof w.visible;");
    EXPECT_TRUE(True("alive1"));
    EXPECT_TRUE(True("alive2"));
    EXPECT_EQ(Text("gone"), "undefined");
    EXPECT_EQ(Int("closed"), 1);
    EXPECT_FALSE(ws_.IsWindow(Handle("h")));

    // The main window's close runs the handlers, then the frame finishes it after the event.
    Run("m = getMainWnd(); mainClosed = 0; m.onClose = function() { mainClosed++; };");
    const WindowHandle frame = frame_->NativeHandle();
    EXPECT_TRUE(ws_.IsSubclassed(frame));
    EXPECT_EQ(desktop_.SendWindowMessage(frame, platform::kMsgClose, 0, 0), 0);
    EXPECT_EQ(Int("mainClosed"), 1);
    EXPECT_EQ(events_.closeRequests, 0);
    EXPECT_FALSE(ws_.IsSubclassed(frame));
    EXPECT_TRUE(desktop_.ProcessEvents(false));
    EXPECT_EQ(events_.closeRequests, 1);
}

TEST_F(WindowObject, HoverTrackingEntersHoversAndLeavesOnce) {
    Run("var w = Window.create('STATIC'); h = w.handle; log = [];"
        "w.onEnter = function() { log.push('enter'); }; w.onHover = function() { log.push('hover'); };"
        "w.onLeave = function() { log.push('leave'); };");
    const WindowHandle h = Handle("h");
    const Rect r = ws_.ScreenRect(h);
    ws_.SetCursor(Rect{r.left + 1, r.top + 1, 1, 1});
    ws_.Send(h, platform::kMsgMouseMove, 0, 0);
    EXPECT_EQ(ws_.Capture(), h);
    EXPECT_EQ(ws_.Entry(h)->timers.count(100), 1u);
    ws_.Send(h, platform::kMsgMouseMove, 0, 0);  // holding the capture: nothing new
    ws_.Send(h, platform::kMsgTimer, 100, 0);
    ws_.Send(h, platform::kMsgTimer, 101, 0);  // another timer is no hover
    ws_.Send(h, platform::kMsgTimer, 100, 0);
    ws_.SetCursor(Rect{r.left + r.width + 5, r.top, 1, 1});
    ws_.Send(h, platform::kMsgTimer, 100, 0);
    EXPECT_EQ(ws_.Capture(), 0u);
    EXPECT_EQ(ws_.Entry(h)->timers.count(100), 0u);
    // Tracking switched off by the private message: the pointer's return goes unnoticed.
    ws_.Send(h, 0x8291, 0, 0);
    ws_.SetCursor(Rect{r.left + 1, r.top + 1, 1, 1});
    ws_.Send(h, platform::kMsgMouseMove, 0, 0);
    ws_.Send(h, 0x8292, 0, 0);
    ws_.Send(h, platform::kMsgMouseMove, 0, 0);
    Run("all = log.join(' ');");
    EXPECT_EQ(Text("all"), "enter hover hover leave enter");
}

TEST_F(WindowObject, FlyEndsInItsCornerAndCenterCentersOverTheParent) {
    Run("var w = Window.create('STATIC'); h = w.handle; w.fly2(0, 0, 6, 3, 0); a = [w.left, w.top].join();"
        "w.fly2(1, 2, 3); b = [w.left, w.top].join(); w.fly(0, 2, true, 1); c = [w.left, w.top].join();"
        "w.center(); d = [w.left, w.top].join();");
    EXPECT_EQ(Text("a"), "6,3");
    EXPECT_EQ(Text("b"), "6,3");  // fly2 needs all five
    // The frame's client area is 632 x 453; the child flies within the work area, above the task bar.
    EXPECT_EQ(Text("c"), "824,708");
    EXPECT_EQ(Text("d"), "216,216");
}

TEST(WindowMotion, FlyEndsFollowTheCornerTable) {
    const Rect area{0, 0, 1000, 800};
    const platform::Size size{100, 50};
    EXPECT_EQ(FlyEnds(0, 2, true, area, size), (std::pair<Point, Point>{{1000, 800}, {900, 750}}));
    EXPECT_EQ(FlyEnds(0, 2, false, area, size), (std::pair<Point, Point>{{900, 750}, {1000, 800}}));
    EXPECT_EQ(FlyEnds(1, 1, true, area, size).first, (Point{900, -50}));
    EXPECT_EQ(FlyEnds(2, 0, true, area, size).first, (Point{-100, 0}));
    // Out of range: corner 3 (bottom left), direction 2 (diagonal).
    EXPECT_EQ(FlyEnds(7, -1, true, area, size), (std::pair<Point, Point>{{-100, 800}, {0, 750}}));
    EXPECT_EQ(FlyEnds(-1, 9, true, {10, 20, 1000, 800}, size).second, (Point{10, 770}));
}

TEST(WindowMotion, FlyPathStepsAlongXWithTruncatedY) {
    EXPECT_TRUE(FlyPath({5, 5}, {5, 5}).empty());
    EXPECT_EQ(FlyPath({0, 0}, {3, 2}), (std::vector<Point>{{1, 0}, {2, 1}, {3, 2}}));
    // Leftwards and upwards: the quotient truncates toward zero.
    EXPECT_EQ(FlyPath({3, 0}, {0, -2}), (std::vector<Point>{{2, 0}, {1, -1}, {0, -2}}));
    EXPECT_EQ(FlyPath({0, 3}, {0, 0}), (std::vector<Point>{{0, 2}, {0, 1}, {0, 0}}));
}

TEST(WindowMotion, CenteringKeepsTheWindowInsideItsBounds) {
    EXPECT_EQ(CenteredOrigin({100, 50}, {0, 0, 400, 300}, {0, 0, 400, 300}), (Point{150, 125}));
    EXPECT_EQ(CenteredOrigin({100, 50}, {350, 280, 100, 100}, {0, 0, 400, 300}), (Point{300, 250}));
    EXPECT_EQ(CenteredOrigin({500, 50}, {0, 0, 400, 300}, {0, 0, 400, 300}), (Point{0, 125}));
}

}  // namespace
}  // namespace velmo::host
