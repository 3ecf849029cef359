// The main window's decisions, on the cases a user can see: which boxes and frame a border setting
// gives, where each size mode and position puts the window, how a resize keeps the movie's ratio,
// which menu items appear, and which keys close the program.
#include "shell/frame_rules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmo::shell {
namespace {

TEST(FrameRules, BorderAndIconsGiveTheWindowItsStyles) {
    // No border: a popup, and neither the maximize box nor the help button, whatever was asked.
    Appearance bare;
    bare.borderStyle = kBorderNone | kBorderSmallCaption | kBorderHideTaskButton;
    bare.borderIcons = kIconMaximize | kIconHelp | kIconMinimize;
    const WindowStyles none = ComputeWindowStyles(bare);
    EXPECT_EQ(none.add, style::kPopup | style::kMinimizeBox);
    EXPECT_EQ(none.addExtended, 0u);  // no tool window for a popup, no taskbar button
    EXPECT_TRUE(none.removeExtended & style::kExClientEdge);

    Appearance framed;
    framed.borderStyle = kBorderSingle | kBorderResizable | kBorderSmallCaption;  // the first bit wins
    framed.borderIcons = kIconSystemMenu | kIconHelp;
    const WindowStyles single = ComputeWindowStyles(framed);
    EXPECT_EQ(single.add, style::kCaption | style::kSystemMenu);
    EXPECT_EQ(single.addExtended, style::kExToolWindow | style::kExContextHelp | style::kExAppWindow);
    EXPECT_EQ(single.remove & single.add, single.add);  // everything added was cleared first
}

TEST(FrameRules, SizeModesAndPositionsPlaceTheWindow) {
    const Size screen{1024, 768};
    const Rect window{10, 20, 300, 200};
    const Size client{290, 170};
    SizeAndPosition s;
    s.sizeMode = kSizePercent;
    s.height = 50;
    s.position = kPositionTopLeft;
    EXPECT_EQ(ComputePlacement(s, screen, window, client, std::nullopt).rect, (Rect{0, 0, 512, 384}));
    s.position = kPositionPercent;
    s.x = s.y = 50;  // the top left corner in the middle of the screen
    EXPECT_EQ(ComputePlacement(s, screen, window, client, std::nullopt).rect, (Rect{512, 384, 512, 384}));

    // The movie's size is the client area's; the frame around it stays. Centred, bottom right.
    s.sizeMode = kSizeMovie;
    s.position = kPositionCenter;
    EXPECT_EQ(ComputePlacement(s, screen, window, client, Size{550, 400}).rect, (Rect{232, 169, 560, 430}));
    s.position = kPositionBottomRight;
    EXPECT_EQ(ComputePlacement(s, screen, window, client, std::nullopt).rect, (Rect{724, 568, 300, 200}));
    s.position = 11;  // unknown: the window stays where it is
    EXPECT_EQ(ComputePlacement(s, screen, window, client, Size{550, 400}).rect, window);

    s.sizeMode = kSizeMaximized;
    const Placement maximized = ComputePlacement(s, screen, window, client, std::nullopt);
    EXPECT_EQ(maximized.show, ShowMode::ShowMaximized);
    EXPECT_FALSE(maximized.repaint);
    s.sizeMode = kSizeFullScreen;
    EXPECT_EQ(ComputePlacement(s, screen, window, client, std::nullopt).rect, (Rect{0, 0, 1024, 768}));
    s.sizeMode = 7;  // unknown: only shown
    EXPECT_EQ(ComputePlacement(s, screen, window, client, std::nullopt), Placement{});
}

TEST(FrameRules, AResizeKeepsTheClientRatioOnTheSideTheUserDidNotDrag) {
    // A 4:3 movie in a window with a 10 x 30 frame.
    EXPECT_EQ(KeepRatio(4.0 / 3, {410, 330}, {810, 330}, {800, 300}), (Size{810, 630}));
    EXPECT_EQ(KeepRatio(4.0 / 3, {410, 330}, {410, 630}, {400, 600}), (Size{810, 630}));
    EXPECT_EQ(KeepRatio(0, {410, 330}, {500, 500}, {490, 470}), (Size{500, 500}));
    EXPECT_EQ(KeepRatio(std::nan(""), {410, 330}, {500, 500}, {490, 470}), (Size{500, 500}));
}

TEST(FrameRules, MenusGetTheirItemsInOrder) {
    using enum MenuItem;
    EXPECT_TRUE(SystemMenuAdditions(kMenuNone | kMenuConfigure | kMenuFlashPlayer | kMenuAbout | kMenuHelp).empty());
    EXPECT_TRUE(SystemMenuAdditions(0).empty());
    EXPECT_EQ(SystemMenuAdditions(kMenuConfigure | kMenuFlashPlayer | kMenuAbout | kMenuHelp),
              (std::vector<MenuItem>{Separator, FlashPlayerMenu, Configure, Help, Separator, About}));
    EXPECT_EQ(SystemMenuAdditions(kMenuAbout), (std::vector<MenuItem>{Separator, About}));
    EXPECT_EQ(TrayMenuItems(0), (std::vector<MenuItem>{ShowHide, Separator, Close}));
    EXPECT_EQ(TrayMenuItems(kMenuConfigure | kMenuAbout),
              (std::vector<MenuItem>{ShowHide, Separator, Configure, Separator, About, Separator, Close}));
    EXPECT_EQ(TrayShowItemText(WindowState::Minimized, "Demo"), "Restore Demo");
    EXPECT_EQ(TrayShowItemText(WindowState::Hidden, "Demo"), "Show Demo");
}

TEST(FrameRules, ExitKeysCloseOnReleaseAndTheAppsKeyOpensTheMoviesMenu) {
    Interaction keys;
    keys.exitKeys = kExitOnEsc | kExitOnHotKey;
    keys.hotKeyCode = 'Q';
    keys.hotKeyModifiers = kModifierControl;
    EXPECT_TRUE(FilterKey(keys, KeyEvent::Up, 'Q', kModifierControl | kModifierShift).close);
    EXPECT_FALSE(FilterKey(keys, KeyEvent::Up, 'Q', 0).close);
    EXPECT_FALSE(FilterKey(keys, KeyEvent::Down, 'Q', kModifierControl).close);  // only on release
    EXPECT_EQ(FilterKey(keys, KeyEvent::SystemUp, kKeyEscape, 0), (KeyDecision{true, true, false}));
    EXPECT_EQ(FilterKey(keys, KeyEvent::Down, kKeyApps, 0), (KeyDecision{false, false, true}));
    keys.keyPress = kKeysIgnore;
    EXPECT_FALSE(FilterKey(keys, KeyEvent::Char, 'a', 0).pass);
}

}  // namespace
}  // namespace velmo::shell
