// Windows by handle over the real Win32 windows (under wine in CI): geometry and search as the
// system reports them, subclassing that keeps the window's chain whole whatever the hook does or
// whoever subclasses after us, and the scripts' Window object on a real window.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "host/framework/projector.h"
#include "host/make_engine.h"
#include "platform/os/win32/handles.h"  // the Win32 declarations come with it
#include "platform/window_system.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/strings.h"

namespace velmo::platform {
namespace {

constexpr const char* kTestClass = "VelmoWindowSystemTest";
constexpr UINT kEcho = WM_APP + 1;  // the window's own procedure answers it with wParam + 1

int ownCalls = 0;
LRESULT CALLBACK OwnProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kEcho) {
        ++ownCalls;
        return static_cast<LRESULT>(wParam + 1);
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

WNDPROC laterPrevious = nullptr;
int laterCalls = 0;
LRESULT CALLBACK LaterProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kEcho) ++laterCalls;
    return ::CallWindowProcA(laterPrevious, window, message, wParam, lParam);
}

class Win32WindowSystem : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = &OwnProcedure;
        c.hInstance = ::GetModuleHandleA(nullptr);
        c.lpszClassName = kTestClass;
        ::RegisterClassExA(&c);
    }
    void SetUp() override {
        window_ = ::CreateWindowExA(0, kTestClass, "Velmo Window Test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 400,
                                    300, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        handle_ = reinterpret_cast<WindowHandle>(window_);
        ownCalls = laterCalls = 0;
    }
    void TearDown() override {
        if (::IsWindow(window_)) ::DestroyWindow(window_);
    }
    LONG_PTR Procedure() const { return ::GetWindowLongPtrA(window_, GWLP_WNDPROC); }

    WindowSystem& ws_ = Windows();
    HWND window_ = nullptr;
    WindowHandle handle_ = 0;
};

TEST_F(Win32WindowSystem, GeometrySearchAndChildren) {
    EXPECT_TRUE(ws_.IsWindow(handle_));
    EXPECT_EQ(ws_.Title(handle_), "Velmo Window Test");
    EXPECT_EQ(ws_.ClassName(handle_), kTestClass);
    EXPECT_EQ(ws_.ScreenRect(handle_), (Rect{100, 80, 400, 300}));
    EXPECT_EQ(ws_.Find(std::nullopt, std::string("Velmo Window Test")), handle_);
    EXPECT_EQ(ws_.Find(std::string(kTestClass), std::nullopt), handle_);

    const WindowHandle button = ws_.CreateChild("BUTTON", WS_CHILD | WS_VISIBLE, {10, 5, 200, 20}, handle_);
    ASSERT_NE(button, 0u);
    EXPECT_EQ(ws_.PlacedRect(button), (Rect{10, 5, 200, 20}));
    EXPECT_EQ(ws_.Parent(button), handle_);
    EXPECT_EQ(ws_.Descendants(handle_), (std::vector<WindowHandle>{button}));
    // The system refuses a child style without a parent, and classes it does not know.
    EXPECT_EQ(ws_.CreateChild("BUTTON", WS_CHILD | WS_VISIBLE, {}, 0), 0u);
    EXPECT_EQ(ws_.CreateChild("NoSuchClassAnywhere", WS_CHILD | WS_VISIBLE, {}, handle_), 0u);

    ws_.SetPosition(button, {30, 40, 0, 0}, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(ws_.PlacedRect(button), (Rect{30, 40, 200, 20}));
    ws_.SetTitle(handle_, "Renamed");
    EXPECT_EQ(ws_.Title(handle_), "Renamed");
    ws_.SetStyle(button, ws_.Style(button) | WS_BORDER);
    EXPECT_NE(ws_.Style(button) & WS_BORDER, 0u);
    ws_.Destroy(button);
    EXPECT_FALSE(ws_.IsWindow(button));
}

TEST_F(Win32WindowSystem, HooksAnswerOrPassOnAndTheChainSurvivesThem) {
    const LONG_PTR own = Procedure();
    std::vector<UINT> seen;
    bool fail = false;
    ASSERT_TRUE(ws_.Subclass(handle_, [&](const WindowMessage& m) -> std::optional<intptr_t> {
        if (m.message != kEcho) return std::nullopt;
        seen.push_back(m.message);
        if (fail) throw std::runtime_error("handler");
        if (m.wParam == 7) return 70;
        return std::nullopt;
    }));
    EXPECT_FALSE(ws_.Subclass(handle_, [](const WindowMessage&) { return std::optional<intptr_t>(); }));
    EXPECT_EQ(::SendMessageA(window_, kEcho, 7, 0), 70);  // answered by the hook alone
    EXPECT_EQ(ownCalls, 0);
    EXPECT_EQ(::SendMessageA(window_, kEcho, 1, 0), 2);
    fail = true;
    EXPECT_EQ(::SendMessageA(window_, kEcho, 2, 0), 3);  // a failing hook passes the message on
    EXPECT_EQ(ownCalls, 2);
    EXPECT_EQ(seen.size(), 3u);

    ws_.Unsubclass(handle_);
    EXPECT_EQ(Procedure(), own);
    EXPECT_FALSE(ws_.IsSubclassed(handle_));
    EXPECT_EQ(::SendMessageA(window_, kEcho, 4, 0), 5);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(Win32WindowSystem, SomeoneSubclassingAfterUsKeepsTheChain) {
    int hooked = 0;
    ASSERT_TRUE(ws_.Subclass(handle_, [&](const WindowMessage& m) -> std::optional<intptr_t> {
        if (m.message == kEcho) ++hooked;
        return std::nullopt;
    }));
    laterPrevious = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterProcedure)));
    ws_.Unsubclass(handle_);
    EXPECT_EQ(Procedure(), reinterpret_cast<LONG_PTR>(&LaterProcedure));
    EXPECT_EQ(::SendMessageA(window_, kEcho, 10, 0), 11);  // later, ours (passing on), own
    EXPECT_EQ(laterCalls, 1);
    EXPECT_EQ(ownCalls, 1);
    EXPECT_EQ(hooked, 0);
    // Subclassing again while our old procedure is still in the chain is refused, not doubled.
    EXPECT_FALSE(ws_.Subclass(handle_, [](const WindowMessage&) { return std::optional<intptr_t>(); }));
}

TEST_F(Win32WindowSystem, AHookThatDestroysItsWindowEndsCleanly) {
    std::vector<UINT> heard;
    ASSERT_TRUE(ws_.Subclass(handle_, [&](const WindowMessage& m) -> std::optional<intptr_t> {
        if (m.message == kEcho || m.message == WM_DESTROY || m.message == WM_NCDESTROY) heard.push_back(m.message);
        if (m.message == kEcho) ::DestroyWindow(reinterpret_cast<HWND>(m.window));
        return std::nullopt;
    }));
    EXPECT_EQ(::SendMessageA(window_, kEcho, 1, 0), 0);
    EXPECT_FALSE(::IsWindow(window_));
    EXPECT_EQ(heard, (std::vector<UINT>{kEcho, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(ownCalls, 0);
    ws_.Unsubclass(handle_);  // nothing left to undo
}

class TestProjector final : public host::Projector {
public:
    uintptr_t MainWindow() const override { return 0; }
};

TEST_F(Win32WindowSystem, ScriptEventsFireOnARealWindow) {
    TestProjector projector;
    script::EngineOptions options;
    options.host = &projector;
    std::unique_ptr<script::Engine> engine = host::MakeEngine(options);
    ASSERT_TRUE(engine);
    const std::string source = "var w = new Window(" + std::to_string(handle_) +
                               "); log = []; allow = false;"
                               "w.onMessage = function(m, wp, lp) { if (m == " +
                               std::to_string(kEcho) +
                               ") log.push(wp + ':' + lp); };"
                               "w.onQueryClose = function() { log.push('asked'); return allow; };"
                               "w.onMove = function(x, y) { log.push('move ' + x + ',' + y); };";
    ASSERT_EQ(engine->RunSourceText(source), 1) << engine->ErrorText();
    EXPECT_EQ(::SendMessageA(window_, kEcho, 3, -5), 4);  // the handler's result is not used
    ::SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindow(window_));
    ASSERT_EQ(engine->RunSourceText("w.left = 120; allow = true; w.close(); text = log.join('|');"), 1);
    EXPECT_FALSE(::IsWindow(window_));
    const script::Value text = engine->Interp().GlobalByName("text");
    ASSERT_TRUE(text.Is(script::Tag::String));
    const std::u16string_view t = script::Text(text.AsString());
    const std::string got(t.begin(), t.end());
    // WM_MOVE gives the client area's corner: the frame's border and caption lie before it.
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(got,
              "3:-5|asked|move " + std::to_string(120 - frame.left) + "," + std::to_string(80 - frame.top) + "|asked");
    engine.reset();
}

}  // namespace
}  // namespace velmo::platform
