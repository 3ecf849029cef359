// The GTK desktop on a real display (the test runs under xvfb-run): its loop runs what the headless
// loop runs, the frame window reads back at once what it was told, and the window's record in the
// model window system is the scripts' way to the real window.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/common/model_window_system.h"
#include "platform/linux_desktop.h"
#include "platform/timers.h"
#include "platform/window_system.h"
#include "tests/support/frame_events.h"

namespace velmo::platform {
namespace {

class GtkDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        LinuxDesktopOpening opened = OpenLinuxDesktop();
        ASSERT_TRUE(opened.desktop) << opened.error;
        desktop_ = std::move(opened.desktop);
    }
    // Runs the loop until `done` or `limit` has passed.
    template <typename F>
    bool RunUntil(F done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < end) (void)desktop_->ProcessEvents(true);
        return done();
    }
    std::unique_ptr<Desktop> desktop_;
    testing::CountingFrameEvents events_;
};

TEST_F(GtkDesktopTest, TheLoopRunsPostedEventsInOrderAndTheScriptsTimers) {
    std::vector<int> ran;
    desktop_->Post([&] {
        ran.push_back(1);
        desktop_->Post([&] { ran.push_back(3); });  // waits for the next pass, as posted messages do
    });
    desktop_->Post([&] { ran.push_back(2); });
    EXPECT_TRUE(desktop_->ProcessEvents(false));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_TRUE(desktop_->ProcessEvents(false));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));

    int ticks = 0;
    const uint32_t timer = StartTimer(20, [&] { ++ticks; });
    ASSERT_NE(timer, 0u);
    EXPECT_TRUE(RunUntil([&] { return ticks >= 3; }));
    StopTimer(timer);
    // A waiting pass with nothing to do comes back (after its bound of 100 ms), so the caller sees
    // its flags; far more than the bound allows for a loaded machine.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(desktop_->ProcessEvents(true));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
}

TEST_F(GtkDesktopTest, TheFrameReadsBackWhatItWasToldAndAnswersWhatXCannotDo) {
    std::unique_ptr<FrameWindow> frame = desktop_->CreateFrameWindow("", events_);
    ASSERT_TRUE(frame);
    frame->SetCaption("Frame \xC3\xA9");
    frame->Move({30, 40, 300, 200}, true);
    frame->Show(ShowCommand::Show);
    EXPECT_EQ(frame->Caption(), "Frame \xC3\xA9");
    EXPECT_EQ(frame->WindowRect(), (Rect{30, 40, 300, 200}));
    EXPECT_EQ(frame->State(), WindowState::Visible);
    // No window manager under Xvfb: the client area is the whole window.
    EXPECT_EQ(frame->ClientSize(), (Size{300, 200}));
    (void)RunUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(frame->WindowRect(), (Rect{30, 40, 300, 200}));  // the configure that came agrees
    EXPECT_FALSE(frame->LayeredAvailable());
    EXPECT_FALSE(frame->ShowTrayBalloon("text", "title", "info", 1000));
    frame->SetRegion(Region{{0, 0, 100, 100}});
    EXPECT_EQ(frame->GetRegion(), (Region{{0, 0, 100, 100}}));
    frame->Show(ShowCommand::Hide);
    EXPECT_EQ(frame->State(), WindowState::Hidden);
}

TEST_F(GtkDesktopTest, ScriptsReachTheRealWindowThroughItsModelHandle) {
    std::unique_ptr<FrameWindow> frame = desktop_->CreateFrameWindow("", events_);
    ASSERT_TRUE(frame);
    frame->Move({0, 0, 320, 240}, true);
    frame->Show(ShowCommand::Show);
    const WindowHandle handle = frame->NativeHandle();
    WindowSystem& windows = Windows();
    ASSERT_TRUE(windows.IsWindow(handle));
    EXPECT_EQ(windows.ClassName(handle), "VelmoFrame");
    EXPECT_EQ(windows.ScreenRect(handle), (Rect{0, 0, 320, 240}));
    ASSERT_NE(frame->MovieWindowHandle(), 0u);
    EXPECT_EQ(windows.Parent(frame->MovieWindowHandle()), handle);

    windows.SetTitle(handle, "By handle");
    windows.Move(handle, {10, 20, 330, 250}, true);
    (void)desktop_->ProcessEvents(false);
    EXPECT_EQ(frame->Caption(), "By handle");
    EXPECT_EQ(frame->WindowRect(), (Rect{10, 20, 330, 250}));
    windows.Show(handle, 0);  // SW_HIDE
    (void)desktop_->ProcessEvents(false);
    EXPECT_EQ(frame->State(), WindowState::Hidden);

    (void)desktop_->SendWindowMessage(handle, kMsgClose, 0, 0);
    EXPECT_EQ(events_.closeRequests, 1);
    frame->PostCloseRequest();
    EXPECT_EQ(events_.closeRequests, 1);  // only posted
    (void)desktop_->ProcessEvents(false);
    EXPECT_EQ(events_.closeRequests, 2);
    frame.reset();
    EXPECT_FALSE(windows.IsWindow(handle));
}

}  // namespace
}  // namespace velmo::platform
