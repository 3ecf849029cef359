// The headless desktop's model of windows by handle: geometry in parent coordinates, the messages
// a move sends, enumeration and search, the frame's windows, and subclassing that keeps the chain
// whole whatever a hook does.
#include "tests/support/frame_events.h"
#include "platform/common/model_window_system.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/common/model_desktop.h"

namespace velmo::platform {
namespace {

constexpr uint32_t kChildVisible = kStyleChild | kStyleVisible;

using Events = testing::CountingFrameEvents;

// A top-level window with a caption and a thick frame: client area from (4, 23).
WindowHandle TopLevel(ModelWindowSystem& ws, const Rect& rect, const std::string& title = "") {
    const WindowHandle w = ws.Register("VelmoTest", kStyleOverlappedWindow, rect, 0, nullptr);
    ws.Entry(w)->title = title;
    ws.Entry(w)->visible = true;
    return w;
}

TEST(ModelWindowSystem, ChildrenArePlacedInTheirParentsClientArea) {
    ModelWindowSystem ws;
    std::vector<std::string> lines;
    ws.SetSink([&](const std::string& line) { lines.push_back(line); });
    const WindowHandle top = TopLevel(ws, {100, 50, 400, 300});
    EXPECT_EQ(ws.ClientSize(top), (Size{392, 273}));

    const WindowHandle button = ws.CreateChild("button", kChildVisible, {10, 5, 200, 20}, top);
    ASSERT_NE(button, 0u);
    EXPECT_EQ(ws.ScreenRect(button), (Rect{114, 78, 200, 20}));
    EXPECT_EQ(ws.PlacedRect(button), (Rect{10, 5, 200, 20}));
    EXPECT_EQ(ws.Parent(button), top);
    EXPECT_TRUE(ws.IsVisible(button));
    EXPECT_EQ(ws.Style(button), kChildVisible);
    EXPECT_EQ(ws.ClassName(button), "Button");  // as the system spells its classes

    // Moving the parent carries the child; hiding it hides the child too.
    ws.Move(top, {0, 0, 400, 300}, true);
    EXPECT_EQ(ws.PlacedRect(button), (Rect{10, 5, 200, 20}));
    EXPECT_EQ(ws.ScreenRect(button), (Rect{14, 28, 200, 20}));
    ws.Show(top, 0);
    EXPECT_FALSE(ws.IsVisible(button));

    // Unknown classes and a child style without a parent are refused, as the system refuses them.
    EXPECT_EQ(ws.CreateChild("NoSuchClass", kChildVisible, {}, top), 0u);
    EXPECT_EQ(ws.CreateChild("BUTTON", kChildVisible, {}, 0), 0u);
    EXPECT_EQ(ws.CreateChild("VelmoTest", kChildVisible, {}, top) != 0, true);  // registered classes count

    // Re-parenting keeps the place in the new parent's client area.
    const WindowHandle other = TopLevel(ws, {500, 500, 200, 200});
    ws.SetParent(button, other);
    EXPECT_EQ(ws.ScreenRect(button), (Rect{514, 528, 200, 20}));
    ws.SetParent(other, button);  // a window cannot go below its own child
    EXPECT_EQ(ws.Parent(other), 0u);

    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "create " + WindowName(button) + " Button in " + WindowName(top) + " at 10,5 200x20");
    EXPECT_EQ(lines[1], "move " + WindowName(top) + " to 0,0 400x300");
}

TEST(ModelWindowSystem, EnumerationFindAndZOrder) {
    ModelWindowSystem ws;
    const WindowHandle a = TopLevel(ws, {0, 0, 100, 100}, "Alpha");
    const WindowHandle b = TopLevel(ws, {0, 0, 100, 100}, "Beta");
    const WindowHandle a1 = ws.CreateChild("STATIC", kChildVisible, {}, a);
    const WindowHandle a2 = ws.CreateChild("EDIT", kChildVisible, {}, a);
    const WindowHandle a11 = ws.CreateChild("BUTTON", kChildVisible, {}, a1);
    EXPECT_EQ(ws.TopLevelWindows(), (std::vector<WindowHandle>{b, a}));  // the newest on top
    EXPECT_EQ(ws.Descendants(a), (std::vector<WindowHandle>{a1, a11, a2}));
    ws.BringToTop(a11);  // the foreground is a top-level window
    EXPECT_EQ(ws.Foreground(), a);
    EXPECT_EQ(ws.TopLevelWindows(), (std::vector<WindowHandle>{a, b}));

    EXPECT_EQ(ws.Find(std::nullopt, std::string("beta")), b);
    EXPECT_EQ(ws.Find(std::string("velmotest"), std::nullopt), a);
    EXPECT_EQ(ws.Find(std::string("EDIT"), std::nullopt), 0u);  // children are not searched
    EXPECT_EQ(ws.Find(std::nullopt, std::string("Gamma")), 0u);

    ws.Destroy(a);
    EXPECT_FALSE(ws.IsWindow(a1) || ws.IsWindow(a11) || ws.IsWindow(a2));
    EXPECT_EQ(ws.TopLevelWindows(), (std::vector<WindowHandle>{b}));
    EXPECT_EQ(ws.Title(a), "");
}

TEST(ModelWindowSystem, MovesSendMoveAndSizeMessagesToTheHook) {
    ModelWindowSystem ws;
    const WindowHandle top = TopLevel(ws, {0, 0, 400, 300});
    std::vector<std::pair<uint32_t, intptr_t>> seen;
    ASSERT_TRUE(ws.Subclass(top, [&](const WindowMessage& m) -> std::optional<intptr_t> {
        seen.push_back({m.message, m.lParam});
        return std::nullopt;
    }));
    EXPECT_FALSE(ws.Subclass(top, [](const WindowMessage&) { return std::optional<intptr_t>(); }));
    ws.SetPosition(top, {10, 20, 0, 0}, 0x1 /* no size */);
    ws.SetPosition(top, {0, 0, 500, 300}, 0x2 /* no move */);
    ws.SetPosition(top, {0, 0, 500, 300}, 0x3);  // nothing changes, nothing is said
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::pair<uint32_t, intptr_t>{kMsgMove, (43 << 16) | 14}));  // the client area's corner
    EXPECT_EQ(seen[1], (std::pair<uint32_t, intptr_t>{kMsgSize, (273 << 16) | 492}));
}

TEST(ModelWindowSystem, TheChainStaysWholeWhateverAHookDoes) {
    ModelWindowSystem ws;
    int ownCalls = 0;
    const WindowHandle w = ws.Register("VelmoTest", kStyleOverlappedWindow, {}, 0, [&](const WindowMessage& m) {
        ++ownCalls;
        return static_cast<intptr_t>(m.message + 1);
    });

    // A throwing hook counts as one that passed the message on.
    ws.Subclass(w, [](const WindowMessage&) -> std::optional<intptr_t> { throw std::runtime_error("handler"); });
    EXPECT_EQ(ws.Send(w, 0x400, 0, 0), 0x401);
    EXPECT_EQ(ownCalls, 1);
    EXPECT_TRUE(ws.IsSubclassed(w));

    // A hook that answers keeps the message from the window; one that un-subclasses itself still
    // lets this message through and sees no more.
    ws.Unsubclass(w);
    int hookCalls = 0;
    ws.Subclass(w, [&](const WindowMessage& m) -> std::optional<intptr_t> {
        ++hookCalls;
        if (m.message == 0x401) return 7;
        if (m.message == 0x402) ws.Unsubclass(w);
        return std::nullopt;
    });
    EXPECT_EQ(ws.Send(w, 0x401, 0, 0), 7);
    EXPECT_EQ(ws.Send(w, 0x402, 0, 0), 0x403);
    EXPECT_EQ(ws.Send(w, 0x404, 0, 0), 0x405);
    EXPECT_EQ(hookCalls, 2);
    EXPECT_EQ(ownCalls, 3);

    // A hook that destroys its window: the send returns, the hook hears of the end, the window is
    // gone and its handle answers nothing.
    std::vector<uint32_t> heard;
    ws.Subclass(w, [&](const WindowMessage& m) -> std::optional<intptr_t> {
        heard.push_back(m.message);
        if (m.message == 0x410) ws.Destroy(w);
        return std::nullopt;
    });
    EXPECT_EQ(ws.Send(w, 0x410, 0, 0), 0);
    EXPECT_FALSE(ws.IsWindow(w));
    EXPECT_EQ(heard, (std::vector<uint32_t>{0x410, kMsgDestroy, kMsgNcDestroy}));
    EXPECT_EQ(ws.Send(w, 0x411, 0, 0), 0);
    ws.Unsubclass(w);  // nothing left to undo
}

TEST(ModelWindowSystem, DefaultCloseDestroysAndPostedMessagesWaitForDelivery) {
    ModelWindowSystem ws;
    const WindowHandle w = ws.CreateChild("STATIC", kStylePopup, {}, 0);
    ASSERT_TRUE(ws.IsWindow(w));
    EXPECT_TRUE(ws.Post(w, kMsgClose, 0, 0));
    EXPECT_TRUE(ws.IsWindow(w));
    EXPECT_TRUE(ws.DeliverPosted());
    EXPECT_FALSE(ws.IsWindow(w));
    EXPECT_FALSE(ws.DeliverPosted());
    EXPECT_FALSE(ws.Post(w, kMsgClose, 0, 0));
}

TEST(ModelDesktopWindows, TheFrameAndItsMovieWindowHaveHandles) {
    ModelWindowSystem ws;
    ModelDesktop desktop({800, 600}, &ws);
    Events events;
    std::unique_ptr<FrameWindow> frame = desktop.CreateFrameWindow("", events);
    const WindowHandle handle = frame->NativeHandle();
    ASSERT_TRUE(ws.IsWindow(handle));
    EXPECT_EQ(ws.ClassName(handle), "VelmoFrame");
    const std::vector<WindowHandle> children = ws.Descendants(handle);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(ws.ClassName(children[0]), "VelmoMovieArea");

    // What the frame does shows through the handle and the reverse; the movie window fills the
    // client area either way.
    frame->SetCaption("Player");
    frame->Move({10, 10, 300, 200}, true);
    EXPECT_EQ(ws.Title(handle), "Player");
    EXPECT_EQ(ws.PlacedRect(children[0]), (Rect{0, 0, 292, 173}));
    ws.Move(handle, {0, 0, 208, 127}, true);
    EXPECT_EQ(frame->WindowRect(), (Rect{0, 0, 208, 127}));
    EXPECT_EQ(ws.PlacedRect(children[0]), (Rect{0, 0, 200, 100}));
    frame->Show(ShowCommand::ShowMaximized);
    EXPECT_TRUE(ws.IsMaximized(handle));
    EXPECT_EQ(ws.ScreenRect(handle), (Rect{0, 0, 800, 600}));

    // The close message and the frame's private one reach the frame through the desktop.
    EXPECT_EQ(desktop.SendWindowMessage(handle, kMsgClose, 0, 0), 0);
    ws.Post(handle, 0x8064, 0, 0);
    EXPECT_TRUE(desktop.ProcessEvents(false));
    EXPECT_EQ(events.closeRequests, 2);

    frame.reset();
    EXPECT_FALSE(ws.IsWindow(handle));
    EXPECT_FALSE(ws.IsWindow(children[0]));
}

}  // namespace
}  // namespace velmo::platform
