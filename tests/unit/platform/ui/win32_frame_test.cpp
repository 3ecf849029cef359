// The main frame over the real Win32 window (under wine in CI, in a 1024 x 768 virtual desktop):
// what the system reports back after the settings are applied, and the input filter at work on
// injected input. The decisions themselves are tested natively; here only the glue is.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/ui/win32/frame_window.h"  // the Win32 declarations come with it
#include "shell/main_frame.h"
#include "tests/support/scratch.h"

namespace velmo::shell {
namespace {

using platform::Rect;

class Win32FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame_.Create("resource 128"));
        impl_ = dynamic_cast<platform::win32::FrameWindowImpl*>(frame_.Window());
        ASSERT_NE(impl_, nullptr);
        hwnd_ = reinterpret_cast<HWND>(frame_.Window()->NativeHandle());
        Appearance a;
        a.borderStyle = kBorderResizable;
        a.borderIcons = kIconSystemMenu | kIconMinimize | kIconMaximize;
        a.caption = "Velmo Test";
        frame_.ApplyAppearance(a);
    }
    void Pump(int rounds = 5) {
        for (int i = 0; i < rounds; ++i) {
            (void)desktop_->ProcessEvents(false);
            ::Sleep(20);
        }
    }
    Rect SystemRect() const {
        RECT r;
        ::GetWindowRect(hwnd_, &r);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    void Place(uint32_t mode, uint32_t position, int width, int height) {
        SizeAndPosition s;
        s.sizeMode = mode;
        s.position = position;
        s.width = width;
        s.height = height;
        frame_.ApplySizeAndPosition(s);
    }

    std::unique_ptr<platform::Desktop> desktop_ = platform::MakeDesktop();
    MainFrame frame_{*desktop_, nullptr};
    platform::win32::FrameWindowImpl* impl_ = nullptr;
    HWND hwnd_ = nullptr;
};

TEST_F(Win32FrameTest, TheWindowGetsTheStylesCaptionAndPlaceTheSettingsGive) {
    EXPECT_FALSE(::IsWindowVisible(hwnd_));  // hidden until placed
    char caption[64] = {};
    ::GetWindowTextA(hwnd_, caption, sizeof caption);
    EXPECT_STREQ(caption, "Velmo Test");
    const LONG style = ::GetWindowLongA(hwnd_, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    EXPECT_TRUE(::GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(::GetParent(hwnd_), nullptr);
    EXPECT_NE(::GetWindow(hwnd_, GW_OWNER), nullptr);  // the hidden owner

    const platform::Size screen = desktop_->ScreenSize();
    const int across[] = {0, (screen.width - 400) / 2, screen.width - 400};
    const int down[] = {0, (screen.height - 300) / 2, screen.height - 300};
    for (uint32_t position = 0; position <= kPositionBottomRight; ++position) {
        Place(kSizeCustom, position, 400, 300);
        EXPECT_EQ(SystemRect(), (Rect{across[position % 3], down[position / 3], 400, 300})) << "position " << position;
    }
    EXPECT_TRUE(::IsWindowVisible(hwnd_));
    SizeAndPosition custom;
    custom.sizeMode = kSizeCustom;
    custom.width = 300;
    custom.height = 200;
    custom.position = kPositionCustom;
    custom.x = 17;
    custom.y = 23;
    frame_.ApplySizeAndPosition(custom);
    EXPECT_EQ(SystemRect(), (Rect{17, 23, 300, 200}));
    custom.position = kPositionPercent;
    custom.x = 50;
    custom.y = 25;
    frame_.ApplySizeAndPosition(custom);
    EXPECT_EQ(SystemRect(), (Rect{screen.width / 2, screen.height / 4, 300, 200}));
    Place(kSizePercent, kPositionTopLeft, 0, 50);
    EXPECT_EQ(SystemRect(), (Rect{0, 0, screen.width / 2, screen.height / 2}));
    Place(kSizeFullScreen, kPositionTopLeft, 0, 0);
    EXPECT_EQ(SystemRect(), (Rect{0, 0, screen.width, screen.height}));

    Place(kSizeMaximized, kPositionTopLeft, 0, 0);
    EXPECT_TRUE(::IsZoomed(hwnd_));
    EXPECT_EQ(frame_.Window()->State(), platform::WindowState::Maximized);
    ::ShowWindow(hwnd_, SW_RESTORE);
    Place(kSizeFullScreen, kPositionTopLeft, 0, 0);

    // The client area is what the system's own frame arithmetic leaves.
    RECT expected{0, 0, 0, 0};
    ::AdjustWindowRectEx(&expected, static_cast<DWORD>(::GetWindowLongA(hwnd_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongA(hwnd_, GWL_EXSTYLE)));
    const platform::Size client = frame_.Window()->ClientSize();
    EXPECT_EQ(client.width, screen.width - (expected.right - expected.left));
    EXPECT_EQ(client.height, screen.height - (expected.bottom - expected.top));
}

TEST_F(Win32FrameTest, TheMovieSizeModeFitsTheClientAreaToTheMovieHeader) {
    testing::ScratchFolder scratch;
    // 550 x 400 pixels.
    const std::vector<uint8_t> movie = {'F',  'W',  'S',  9,    0,    0,    0,    0,    0x78, 0x00, 0x05,
                                        0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x18, 0x01, 0x00};
    frame_.LoadMovie(scratch.Write("movie.swf", movie), true);
    Place(kSizeMovie, kPositionCenter, 0, 0);
    EXPECT_EQ(frame_.Window()->ClientSize(), (platform::Size{550, 400}));
}

TEST_F(Win32FrameTest, RegionsFlagsTheTrayAndTheSystemMenuReachTheSystem) {
    Place(kSizeCustom, kPositionTopLeft, 400, 300);
    frame_.Window()->SetRegion(platform::Region{{0, 0, 100, 100}, {200, 0, 50, 50}});
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(hwnd_, region), ERROR);
    EXPECT_TRUE(::PtInRegion(region, 50, 50));
    EXPECT_TRUE(::PtInRegion(region, 210, 10));
    EXPECT_FALSE(::PtInRegion(region, 150, 50));
    EXPECT_FALSE(::PtInRegion(region, 210, 60));
    ::DeleteObject(region);
    frame_.Window()->SetRegion(std::nullopt);
    EXPECT_FALSE(frame_.Window()->GetRegion());

    Behaviour b;
    b.flags = kAlwaysOnTop | kStartMinimized;
    b.menuAdditions = kMenuConfigure | kMenuAbout;
    frame_.ApplyWindowFlags(b);
    EXPECT_TRUE(::GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(::IsIconic(hwnd_));
    ::ShowWindow(hwnd_, SW_RESTORE);

    const int before = ::GetMenuItemCount(::GetSystemMenu(hwnd_, FALSE));
    frame_.AddMenuCommands(b);
    frame_.AddMenuCommands(b);  // rebuilt, not appended twice
    const HMENU menu = ::GetSystemMenu(hwnd_, FALSE);
    ASSERT_EQ(::GetMenuItemCount(menu), before + 4);
    char text[32] = {};
    ::GetMenuStringA(menu, kCommandConfigure, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Config...");

    frame_.AddTrayIcon(198);
    EXPECT_TRUE(frame_.Window()->TrayIconShown());
    EXPECT_EQ(frame_.Window()->TrayTip(), "Velmo Test");
    // The tray's callback message, as the shell sends it for a double click: the window comes back.
    ::ShowWindow(hwnd_, SW_HIDE);
    ::SendMessageA(hwnd_, platform::win32::kTrayMessage, platform::win32::kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(::IsWindowVisible(hwnd_));
}

// A 16 x 16 icon (type 1) or cursor (type 2, the hot spot where an icon keeps planes and depth)
// file of one 32-bit image.
std::vector<uint8_t> IconFile(uint16_t type) {
    std::vector<uint8_t> bytes;
    const auto u16 = [&](uint32_t v) { bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    const auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const uint32_t imageBytes = 40 + 16 * 16 * 4 + 16 * 4;
    u16(0), u16(type), u16(1);
    bytes.insert(bytes.end(), {16, 16, 0, 0});
    u16(type == 1 ? 1 : 8), u16(type == 1 ? 32 : 8), u32(imageBytes), u32(22);
    u32(40), u32(16), u32(32), u16(1), u16(32), u32(0), u32(0), u32(0), u32(0), u32(0), u32(0);
    for (int i = 0; i < 16 * 16; ++i) u32(0xFF3080C0);
    bytes.insert(bytes.end(), 16 * 4, 0);
    return bytes;
}

TEST_F(Win32FrameTest, WhatScriptsChangeWhileTheFrameRunsReachesTheSystem) {
    Place(kSizeCustom, kPositionTopLeft, 400, 300);
    ASSERT_TRUE(::IsWindowVisible(hwnd_));
    Appearance a;
    a.borderStyle = kBorderNone;
    frame_.ApplyFrameStyle(a);
    EXPECT_FALSE(::GetWindowLongA(hwnd_, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(::IsWindowVisible(hwnd_)) << "a running frame stays shown while its style changes";
    frame_.SetCaption("Renamed");
    char caption[32] = {};
    ::GetWindowTextA(hwnd_, caption, sizeof caption);
    EXPECT_STREQ(caption, "Renamed");

    const testing::ScratchFolder scratch;
    const std::string icon = scratch.Write("small.ico", IconFile(1));
    const std::string cursor = scratch.Write("hand.cur", IconFile(2));
    EXPECT_TRUE(frame_.SetSmallIcon(icon));
    EXPECT_NE(::SendMessageA(hwnd_, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_FALSE(frame_.SetSmallIcon(scratch.Path() + "missing.ico"));
    EXPECT_TRUE(frame_.SetMovieCursor(cursor));
    EXPECT_FALSE(frame_.SetMovieCursor(scratch.Path() + "missing.cur"));
    EXPECT_TRUE(frame_.SetMovieCursor(""));

    EXPECT_FALSE(frame_.ShowTrayBalloon("text", "title", "info", 1000)) << "a balloon needs a tray icon";
    EXPECT_TRUE(frame_.ShowTrayIcon(icon, 0, "from a file"));
    EXPECT_EQ(frame_.Window()->TrayTip(), "from a file");
    EXPECT_FALSE(frame_.ShowTrayIcon(scratch.Path() + "missing.ico", 0, "kept"));
    EXPECT_EQ(frame_.Window()->TrayTip(), "from a file");
    EXPECT_TRUE(frame_.RemoveTrayIcon());
    EXPECT_FALSE(frame_.RemoveTrayIcon());

    ::SetForegroundWindow(hwnd_);
    frame_.FocusMovie();
    EXPECT_TRUE(frame_.Window()->MovieHasFocus());
    frame_.SetMovieCapture(true);
    EXPECT_TRUE(frame_.Window()->MovieHasCapture());
    frame_.SetMovieCapture(false);
    EXPECT_FALSE(frame_.Window()->MovieHasCapture());
}

TEST_F(Win32FrameTest, AResizeKeepsTheRatioAndCloseRequestsReachTheFrame) {
    SizeAndPosition s;
    s.sizeMode = kSizeCustom;
    s.width = 400;
    s.height = 300;
    s.keepRatio = 1;
    frame_.ApplySizeAndPosition(s);
    frame_.KeepAspectRatio();
    const platform::Size client = frame_.Window()->ClientSize();
    ::SendMessageA(hwnd_, WM_ENTERSIZEMOVE, 0, 0);
    ::MoveWindow(hwnd_, 0, 0, 400 + client.width, 300, TRUE);  // the user doubles the width
    ::SendMessageA(hwnd_, WM_EXITSIZEMOVE, 0, 0);
    const platform::Size after = frame_.Window()->ClientSize();
    EXPECT_EQ(after.width, 2 * client.width);
    EXPECT_NEAR(after.height, 2 * client.height, 1);

    EXPECT_FALSE(frame_.ClosePosted());
    ::SendMessageA(hwnd_, platform::win32::kCloseMessage, 0, 0);
    EXPECT_TRUE(frame_.ClosePosted());
    EXPECT_TRUE(::IsWindow(hwnd_));  // closing is the application's business, after the event
}

TEST_F(Win32FrameTest, TheRuntimeWaitsForItsUserWhileAPlayedFrameEndsWithItsMovie) {
    EXPECT_TRUE(frame_.DeliverEvent());  // nothing happened, but a user may still come
    frame_.SetClosesWhenMovieIsDone(true);
    EXPECT_FALSE(frame_.DeliverEvent());
}

TEST_F(Win32FrameTest, TheSessionsEndClosesTheFrameAndTakesTheTrayIcon) {
    frame_.AddTrayIcon(198);
    ::SendMessageA(hwnd_, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(frame_.SessionEnded());
    EXPECT_TRUE(frame_.ClosePosted());
    EXPECT_FALSE(frame_.Window()->TrayIconShown());
}

void Key(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof input);
}

void MouseTo(int x, int y, DWORD buttons = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    // Normalized coordinates map back to pixels rounding down: round up here to land exactly.
    input.mi.dx = (x * 65536 + w - 1) / w;
    input.mi.dy = (y * 65536 + h - 1) / h;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    ::SendInput(1, &input, sizeof input);
}

TEST_F(Win32FrameTest, InjectedInputIsFilteredBeforeTheMovieSeesIt) {
    std::vector<std::pair<UINT, WPARAM>> passed;
    impl_->SetPassedInputObserver([&](UINT message, WPARAM w) { passed.emplace_back(message, w); });
    Place(kSizeCustom, kPositionCenter, 400, 300);
    ::SetForegroundWindow(hwnd_);
    ::SetFocus(impl_->ControlWindow());
    Pump();
    const auto sawKey = [&](UINT message, WPARAM key) {
        for (const auto& [m, w] : passed)
            if (m == message && w == key) return true;
        return false;
    };

    Interaction i;
    i.exitKeys = kExitOnEsc;
    (void)frame_.DisableInput(i);
    Key('A', false);
    Key('A', true);
    Pump();
    EXPECT_TRUE(sawKey(WM_KEYDOWN, 'A'));
    EXPECT_TRUE(sawKey(WM_KEYUP, 'A'));

    i.keyPress = kKeysIgnore;
    (void)frame_.DisableInput(i);
    passed.clear();
    Key('B', false);
    Key('B', true);
    Key(VK_ESCAPE, false);
    Key(VK_ESCAPE, true);
    Pump();
    EXPECT_FALSE(sawKey(WM_KEYDOWN, 'B'));
    EXPECT_FALSE(sawKey(WM_KEYUP, VK_ESCAPE));
    EXPECT_TRUE(frame_.ClosePosted());  // the exit key works even when keys are kept from the movie

    // Left-click drag: the window follows the pointer, the movie gets the click but no moves.
    i = Interaction{};
    i.leftButton = kLeftDrag;
    (void)frame_.DisableInput(i);
    const Rect start = SystemRect();
    const platform::Size offset = frame_.Window()->ClientOffset();
    const int x = start.left + offset.width + 50, y = start.top + offset.height + 50;
    passed.clear();
    MouseTo(x, y);
    Pump();
    MouseTo(x, y, MOUSEEVENTF_LEFTDOWN);
    Pump();
    for (int step = 1; step <= 4; ++step) {
        MouseTo(x + 10 * step, y + 5 * step);
        Pump(2);
    }
    MouseTo(x + 40, y + 20, MOUSEEVENTF_LEFTUP);
    Pump();
    EXPECT_EQ(SystemRect(), (Rect{start.left + 40, start.top + 20, start.width, start.height}));
    EXPECT_TRUE(sawKey(WM_LBUTTONDOWN, MK_LBUTTON));
    bool movedWithButton = false;
    for (const auto& [m, w] : passed) movedWithButton |= m == WM_MOUSEMOVE && (w & MK_LBUTTON);
    EXPECT_FALSE(movedWithButton);

    // A drag region that leaves out the pressed point: the press is the movie's, the window stays.
    frame_.SetDragRegion(platform::Region{{0, 0, 20, 20}});
    const Rect before = SystemRect();
    MouseTo(x + 40, y + 20, MOUSEEVENTF_LEFTDOWN);
    Pump();
    for (int step = 1; step <= 3; ++step) {
        MouseTo(x + 40 + 10 * step, y + 20);
        Pump(2);
    }
    MouseTo(x + 70, y + 20, MOUSEEVENTF_LEFTUP);
    Pump();
    EXPECT_EQ(SystemRect(), before);
    frame_.SetDragRegion(std::nullopt);
}

}  // namespace
}  // namespace velmo::shell
