// A control's own window as the frame's movie window (under wine in CI): it takes the id and the
// place of the frame's placeholder, gets only the input the filter passes, is told its place when
// the frame resizes, and gets its own procedure back whichever of the two windows goes first.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/win32/frame_window.h"  // the Win32 declarations come with it
#include "shell/main_frame.h"

namespace velmo::platform::win32 {
namespace {

std::vector<UINT> seen;  // what the control window's own procedure got

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_LBUTTONDOWN || message == WM_PAINT) seen.push_back(message);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

class Host final : public MovieWindowHost {
public:
    std::vector<RECT> places;
    std::optional<bool> gone;  // windowDestroyed, once told
    HWND window = nullptr;
    bool procedureBackWhenGone = false;
    void PlaceMovieWindow(const RECT& rect) override { places.push_back(rect); }
    void MovieWindowGone(bool windowDestroyed) override {
        gone = windowDestroyed;
        procedureBackWhenGone = ::GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ControlProc);
    }
};

class Win32MovieWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool registered = [] {
            WNDCLASSA c{};
            c.lpfnWndProc = &ControlProc;
            c.hInstance = ::GetModuleHandleA(nullptr);
            c.lpszClassName = "VelmoTestControl";
            return ::RegisterClassA(&c) != 0;
        }();
        ASSERT_TRUE(registered);
        frame_ = std::make_unique<shell::MainFrame>(*desktop_, nullptr);
        ASSERT_TRUE(frame_->Create("resource 128"));
        impl_ = dynamic_cast<FrameWindowImpl*>(frame_->Window());
        ASSERT_NE(impl_, nullptr);
        area_ = impl_->ControlWindow();
        seen.clear();
    }
    HWND MakeControlWindow() {
        RECT client;
        ::GetClientRect(impl_->Handle(), &client);
        host_.window = ::CreateWindowExA(0, "VelmoTestControl", "", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                                         client.bottom, impl_->Handle(), nullptr, ::GetModuleHandleA(nullptr), nullptr);
        return host_.window;
    }

    std::unique_ptr<Desktop> desktop_ = MakeDesktop();
    std::unique_ptr<shell::MainFrame> frame_;
    FrameWindowImpl* impl_ = nullptr;
    HWND area_ = nullptr;
    Host host_;
};

TEST_F(Win32MovieWindowTest, TheControlsWindowTakesThePlaceholdersIdPlaceAndFilteredInput) {
    const HWND control = MakeControlWindow();
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(impl_->AttachMovieWindow(control, host_));
    EXPECT_FALSE(impl_->AttachMovieWindow(control, host_)) << "one movie window at a time";
    EXPECT_EQ(::GetDlgItem(impl_->Handle(), 0x459), control);
    EXPECT_EQ(impl_->ControlWindow(), control);
    EXPECT_FALSE(::IsWindowVisible(area_));

    shell::SizeAndPosition size;
    size.sizeMode = shell::kSizeCustom;
    size.width = 400;
    size.height = 300;
    frame_->ApplySizeAndPosition(size);
    ASSERT_FALSE(host_.places.empty()) << "a resized frame tells the control its place";
    RECT client;
    ::GetClientRect(impl_->Handle(), &client);
    EXPECT_TRUE(::EqualRect(&host_.places.back(), &client));

    std::vector<UINT> observed;
    impl_->SetPassedInputObserver([&](UINT message, WPARAM) { observed.push_back(message); });
    ::SendMessageA(control, WM_KEYDOWN, 'A', 0);
    ::SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    shell::Interaction ignoring;
    ignoring.keyPress = shell::kKeysIgnore;
    ignoring.leftButton = shell::kLeftIgnore;
    (void)frame_->DisableInput(ignoring);
    ::SendMessageA(control, WM_KEYDOWN, 'B', 0);
    ::SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(seen, (std::vector<UINT>{WM_KEYDOWN, WM_LBUTTONDOWN})) << "the filter kept the second pair away";
    EXPECT_EQ(observed, seen);
    (void)frame_->DisableInput(shell::Interaction{});

    // Unpainted by a renderer, the control paints itself.
    ::InvalidateRect(control, nullptr, FALSE);
    ::UpdateWindow(control);
    EXPECT_EQ(seen.back(), static_cast<UINT>(WM_PAINT));

    impl_->DetachMovieWindow();
    EXPECT_EQ(::GetWindowLongPtrA(control, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ControlProc));
    EXPECT_EQ(::GetDlgItem(impl_->Handle(), 0x459), area_);
    EXPECT_TRUE(::IsWindowVisible(area_));
    EXPECT_FALSE(host_.gone) << "a detach the control asked for is not news to it";
    ::DestroyWindow(control);
}

TEST_F(Win32MovieWindowTest, WhicheverWindowGoesFirstTheControlHearsOfIt) {
    HWND control = MakeControlWindow();
    ASSERT_TRUE(impl_->AttachMovieWindow(control, host_));
    ::DestroyWindow(control);
    ASSERT_TRUE(host_.gone);
    EXPECT_TRUE(*host_.gone) << "the window is in its last message";
    EXPECT_EQ(impl_->ControlWindow(), area_);
    EXPECT_EQ(::GetDlgItem(impl_->Handle(), 0x459), area_);

    host_.gone.reset();
    control = MakeControlWindow();
    ASSERT_TRUE(impl_->AttachMovieWindow(control, host_));
    frame_.reset();  // the frame goes while the control still lives
    ASSERT_TRUE(host_.gone);
    EXPECT_FALSE(*host_.gone) << "the window is still up: the control may deactivate";
    EXPECT_TRUE(host_.procedureBackWhenGone);
    EXPECT_FALSE(::IsWindow(control)) << "it went with its parent";
}

}  // namespace
}  // namespace velmo::platform::win32
