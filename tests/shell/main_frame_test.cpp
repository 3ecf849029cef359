// The main frame over the in-memory desktop: what the window ends up like after the settings are
// applied, and what the user's actions on it do. The same frame drives the Win32 window.
#include "tests/support/mask_file.h"
#include "shell/main_frame.h"

#include <gtest/gtest.h>

#include "platform/byte_order.h"
#include "platform/common/model_desktop.h"
#include "shell/movie_header.h"
#include "shell/window_region.h"

namespace velmo::shell {
namespace {

using platform::Rect;
using platform::Region;
using platform::WindowState;

using testing::MaskFile;

TEST(WindowRegion, MasksAreScaledAsTheMovieIsAndMovedIntoTheWindow) {
    const std::optional<Region> mask = ParseMaskFile(MaskFile({{0, 0, 100, 50}, {10, 10, 10, 20}, {50, 50, 100, 100}}));
    ASSERT_TRUE(mask);
    ASSERT_EQ(mask->size(), 2u);  // the empty rectangle is dropped
    const platform::Size movie{100, 100}, offset{3, 22};
    // Show all in a 200 x 100 client area: half the width is left over, the movie is centred.
    EXPECT_EQ(PlaceMaskRegion(*mask, movie, {200, 100}, 0, offset), (Region{{53, 22, 100, 50}, {103, 72, 50, 50}}));
    // Exact fit stretches each axis; no scale only centres.
    EXPECT_EQ(PlaceMaskRegion(*mask, movie, {200, 100}, 2, {}), (Region{{0, 0, 200, 50}, {100, 50, 100, 50}}));
    EXPECT_EQ(PlaceMaskRegion(*mask, movie, {200, 100}, 3, {}), (Region{{50, 0, 100, 50}, {100, 50, 50, 50}}));

    EXPECT_FALSE(ParseMaskFile(std::vector<uint8_t>{1, 0, 0}));
    std::vector<uint8_t> overstated = MaskFile({{0, 0, 1, 1}});
    overstated[12] = 200;  // more rectangles than the data holds
    EXPECT_FALSE(ParseMaskFile(overstated));
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(frame_.Create("resource 128")); }
    platform::FrameWindow& Window() { return *frame_.Window(); }

    platform::ModelDesktop desktop_{{1024, 768}};
    MainFrame frame_{desktop_, nullptr};
};

TEST_F(MainFrameTest, SettingsGiveTheWindowItsLookPlaceAndFlags) {
    Appearance a;
    a.borderStyle = kBorderResizable;
    a.borderIcons = kIconSystemMenu | kIconMinimize;
    a.caption = "Demo";
    frame_.ApplyAppearance(a);
    EXPECT_EQ(Window().State(), WindowState::Hidden);
    EXPECT_EQ(Window().Caption(), "Demo");
    EXPECT_EQ(Window().Style() & 0x00CF0000u,
              style::kCaption | style::kThickFrame | style::kSystemMenu | style::kMinimizeBox);
    SizeAndPosition s;
    s.sizeMode = kSizeCustom;
    s.width = 400;
    s.height = 300;
    s.position = kPositionBottomRight;
    frame_.ApplySizeAndPosition(s);
    EXPECT_EQ(Window().WindowRect(), (Rect{624, 468, 400, 300}));
    EXPECT_EQ(Window().State(), WindowState::Visible);
    EXPECT_EQ(frame_.Applied().back(),
              "size: mode 3 400x300, position 8 at 0,0 -> window 624,468 400x300, client 392x273");

    Behaviour b;
    b.flags = kAlwaysOnTop | kStartMinimized;
    frame_.ApplyWindowFlags(b);
    EXPECT_TRUE(Window().Topmost());
    EXPECT_EQ(Window().State(), WindowState::Minimized);
}

TEST_F(MainFrameTest, DraggingAResizeKeepsTheRatioAndAPlainMoveDoesNot) {
    SizeAndPosition s;
    s.sizeMode = kSizeCustom;
    s.width = 408;  // a 400 x 300 client area inside the resizable frame
    s.height = 327;
    s.keepRatio = 1;
    Appearance a;
    a.borderStyle = kBorderResizable;
    frame_.ApplyAppearance(a);
    frame_.ApplySizeAndPosition(s);
    frame_.KeepAspectRatio();
    desktop_.Events()->OnSizeMoveStart();
    Window().Move({0, 0, 808, 327}, true);  // the user drags the right edge
    desktop_.Events()->OnSizeMoveEnd();
    EXPECT_EQ(Window().WindowRect(), (Rect{0, 0, 808, 627}));
    desktop_.Events()->OnSizeMoveStart();
    Window().Move({50, 60, 808, 627}, true);
    desktop_.Events()->OnSizeMoveEnd();
    EXPECT_EQ(Window().WindowRect(), (Rect{50, 60, 808, 627}));
}

TEST_F(MainFrameTest, TheTrayMenuShowsHidesAndClosesAndTheSystemMenuGetsTheAdditions) {
    Appearance a;
    a.caption = "Demo";
    frame_.ApplyAppearance(a);
    Behaviour b;
    b.menuAdditions = kMenuConfigure | kMenuAbout;
    frame_.AddMenuCommands(b);
    const std::vector<platform::MenuEntry> added = Window().SystemMenuAdditions();
    ASSERT_EQ(added.size(), 4u);  // separator, "Config...", separator, "About..."
    EXPECT_TRUE(added[0].IsSeparator());
    EXPECT_EQ(added[1].text, "Config...");
    EXPECT_EQ(added[3].id, kCommandAbout);
    frame_.AddTrayIcon(198);
    EXPECT_TRUE(Window().TrayIconShown());
    EXPECT_EQ(Window().TrayTip(), "Demo");

    AboutText about;
    about.productName = "Demo";
    about.version = "1.0";
    AboutBox box;
    box.webAddress = "https://example.org";
    frame_.SetAboutInformation(about, box);
    desktop_.Events()->OnCommand(kCommandAbout);
    EXPECT_EQ(frame_.Applied().back(), "about box \"About Demo\"");
    desktop_.Events()->OnCommand(kCommandHelp);  // the settings name no help file
    EXPECT_EQ(frame_.Applied().back(), "help: no help file");

    desktop_.ChooseFromMenus({kCommandShowHide, kCommandShowHide, kCommandClose});
    desktop_.Events()->OnTrayNotify(0x205);  // hidden: "Show Demo" shows it
    EXPECT_EQ(desktop_.TrackedMenus().back().front().text, "Show Demo");
    EXPECT_EQ(Window().State(), WindowState::Visible);
    desktop_.Events()->OnTrayNotify(0x205);
    EXPECT_EQ(desktop_.TrackedMenus().back().front().text, "Hide Demo");
    EXPECT_EQ(Window().State(), WindowState::Hidden);
    EXPECT_EQ(desktop_.TrackedMenus().back().back().text, "&Close");
    EXPECT_FALSE(frame_.ClosePosted());
    desktop_.Events()->OnTrayNotify(0x205);
    EXPECT_TRUE(frame_.ClosePosted());
    EXPECT_FALSE(Window().TrayIconShown());  // the icon goes with the close
    EXPECT_FALSE(frame_.DeliverEvent());
}

TEST_F(MainFrameTest, TheExitKeysCloseThroughTheEventLoopAndTheSessionEndClosesAtOnce) {
    Interaction i;
    i.exitKeys = kExitOnEsc;
    i.inputDisabling = kHideCursor;
    const InputBlockHandle block = frame_.DisableInput(i);
    EXPECT_FALSE(desktop_.PointerShown());
    frame_.EnableInput(block);
    EXPECT_TRUE(desktop_.PointerShown());
    EXPECT_TRUE(desktop_.Events()->OnKey(platform::KeyEvent::Down, kKeyEscape, 0).pass);
    EXPECT_FALSE(frame_.ClosePosted());
    EXPECT_TRUE(desktop_.Events()->OnKey(platform::KeyEvent::Up, kKeyEscape, 0).close);
    EXPECT_FALSE(frame_.ClosePosted());  // posted: it arrives as the next event
    EXPECT_FALSE(frame_.DeliverEvent());
    EXPECT_TRUE(frame_.ClosePosted());
    EXPECT_FALSE(frame_.SessionEnded());

    MainFrame other(desktop_, nullptr);
    ASSERT_TRUE(other.Create("resource 128"));
    desktop_.Events()->OnEndSession();
    EXPECT_TRUE(other.SessionEnded());
    EXPECT_TRUE(other.ClosePosted());
}

}  // namespace
}  // namespace velmo::shell

namespace velmo::shell {
namespace {

platform::MouseInput Mouse(platform::MouseEvent event, int x, int y, bool leftDown = false, bool capture = false) {
    platform::MouseInput in;
    in.event = event;
    in.screenX = x;
    in.screenY = y;
    in.leftButtonDown = leftDown;
    in.captureHeld = capture;
    return in;
}

TEST_F(MainFrameTest, ADragMovesTheWindowWhileTheMovieSeesTheClickButNotTheMoves) {
    using platform::MouseEvent;
    Interaction i;
    i.leftButton = kLeftDrag;
    (void)frame_.DisableInput(i);
    Window().Move({100, 100, 300, 200}, true);
    platform::FrameWindowEvents& events = *desktop_.Events();
    const platform::MouseDecision down = events.OnMouse(Mouse(MouseEvent::LeftDown, 150, 120, true));
    EXPECT_TRUE(down.pass);
    EXPECT_TRUE(down.releaseCapture);
    const platform::MouseDecision first = events.OnMouse(Mouse(MouseEvent::Move, 160, 125, true));
    EXPECT_TRUE(first.takeCapture);
    EXPECT_FALSE(first.pass);
    EXPECT_FALSE(events.OnMouse(Mouse(MouseEvent::Move, 200, 170, true, true)).pass);
    EXPECT_EQ(Window().WindowRect(), (Rect{150, 150, 300, 200}));
    EXPECT_TRUE(events.OnMouse(Mouse(MouseEvent::LeftUp, 200, 170, false, true)).pass);
    EXPECT_TRUE(events.OnMouse(Mouse(MouseEvent::Move, 220, 180)).pass);  // no drag any more
    EXPECT_EQ(Window().WindowRect(), (Rect{150, 150, 300, 200}));
    EXPECT_FALSE(events.OnMouse(Mouse(MouseEvent::LeftDoubleClick, 220, 180)).pass);

    // A click outside the control's drag region starts no drag.
    platform::MouseInput outside = Mouse(MouseEvent::LeftDown, 150, 160, true);
    outside.inDragRegion = false;
    EXPECT_FALSE(events.OnMouse(outside).releaseCapture);
    EXPECT_FALSE(events.OnMouse(Mouse(MouseEvent::Move, 170, 180, true)).takeCapture);
}

TEST_F(MainFrameTest, RightClicksOpenTheMenuOrBecomeLeftClicksAsTheSettingsSay) {
    using platform::MouseEvent;
    platform::FrameWindowEvents& events = *desktop_.Events();
    Interaction i;
    i.rightButton = kRightContextMenu;
    i.leftButton = kLeftIgnore;
    (void)frame_.DisableInput(i);
    const platform::MouseDecision menu = events.OnMouse(Mouse(MouseEvent::RightDown, 5, 5));
    EXPECT_TRUE(menu.contextMenu);
    EXPECT_FALSE(menu.pass);
    EXPECT_FALSE(events.OnMouse(Mouse(MouseEvent::RightUp, 5, 5)).pass);
    EXPECT_TRUE(events.OnMouse(Mouse(MouseEvent::RightDoubleClick, 5, 5)).pass);
    EXPECT_FALSE(events.OnMouse(Mouse(MouseEvent::LeftDown, 5, 5)).pass);
    EXPECT_TRUE(events.OnMouse(Mouse(MouseEvent::Move, 6, 6)).pass);

    i.rightButton = kRightIgnore;
    (void)frame_.DisableInput(i);
    const platform::MouseDecision substitute = events.OnMouse(Mouse(MouseEvent::RightDown, 5, 5));
    EXPECT_TRUE(substitute.leftClickInstead);
    EXPECT_FALSE(events.OnMouse(Mouse(MouseEvent::RightDoubleClick, 5, 5)).pass);
}

}  // namespace
}  // namespace velmo::shell
