// The model menu system and what both menu systems share: key texts, captions as users read
// them, the answers that stand in for a user, and the model's bars, submenus and keys.
#include "platform/common/model_menu_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/accelerator_text.h"
#include "platform/common/menu_support.h"
#include "platform/common/model_window_system.h"

namespace velmo::platform {
namespace {

TEST(AcceleratorText, ReadsModifiersAndKeysInAnyCaseAndWritesThemBack) {
    const struct {
        const char* text;
        uint32_t modifiers, key;
        const char* written;
    } rows[] = {
        {"Ctrl+O", kModifierControl, 'O', "Ctrl+O"},
        {"ctrl + shift + f5", kModifierControl | kModifierShift, 0x74, "Ctrl+Shift+F5"},
        {"Alt+Shift+Control+9", kModifierAlt | kModifierShift | kModifierControl, '9', "Ctrl+Shift+Alt+9"},
        {"Delete", 0, 0x2E, "Del"},
        {"Alt+Return", kModifierAlt, 0x0D, "Alt+Enter"},
        {"F24", 0, 0x87, "F24"},
        {"pgdn", 0, 0x22, "PgDn"},
        {"x", 0, 'X', "X"},
    };
    for (const auto& row : rows) {
        const std::optional<KeyChord> chord = ParseAcceleratorText(row.text);
        ASSERT_TRUE(chord) << row.text;
        EXPECT_EQ(chord->modifiers, row.modifiers) << row.text;
        EXPECT_EQ(chord->key, row.key) << row.text;
        EXPECT_EQ(AcceleratorText(chord->modifiers, chord->key), row.written);
        EXPECT_EQ(ParseAcceleratorText(row.written), chord);
    }
    for (const char* bad : {"", "Ctrl+", "Ctrl", "Ctrl+Ctrl+A", "F0", "F25", "F05", "Hyper+A", "Ctrl+AB", "+", "A+B"})
        EXPECT_FALSE(ParseAcceleratorText(bad)) << bad;
    EXPECT_EQ(AcceleratorText(kModifierShift, 0xBA), "Shift+0xBA");
}

TEST(MenuAnswers, CaptionsMatchAsReadAndDisabledOrMissingItemsChooseNothing) {
    EXPECT_EQ(VisibleCaption("&Open...\tCtrl+O"), "Open...");
    EXPECT_EQ(VisibleCaption("Fish && &Chips&"), "Fish & Chips");
    ModelMenuSystem menus;
    const MenuHandle top = menus.CreatePopup(), sub = menus.CreatePopup();
    ASSERT_TRUE(menus.InsertCommand(top, -1, 100, "&Open\tCtrl+O"));
    ASSERT_TRUE(menus.InsertSubmenu(top, -1, sub, "&More"));
    ASSERT_TRUE(menus.InsertCommand(sub, -1, 200, "&Deep"));
    ASSERT_TRUE(menus.InsertCommand(sub, -1, 201, "Grey"));
    ASSERT_TRUE(menus.SetEnabled(top, 201, false));  // found in the submenu, as the system's calls by id do
    std::vector<MenuHandle> opened;
    const int token = menus.AddOpeningListener([&](MenuHandle m) { opened.push_back(m); });
    MenuAnswers answers({"Open", "&Open\tCtrl+O", "Deep", "Grey", "More", "none", "Nothing"});
    EXPECT_EQ(answers.Next(menus, top), 100u);
    EXPECT_EQ(answers.Next(menus, top), 100u);
    EXPECT_TRUE(opened.empty());  // the tracked menu is told by whoever tracks it
    EXPECT_EQ(answers.Next(menus, top), 200u);
    EXPECT_EQ(opened, std::vector<MenuHandle>{sub});
    EXPECT_EQ(answers.Next(menus, top), 0u);  // disabled
    EXPECT_EQ(answers.Next(menus, top), 0u);  // a submenu is no command
    EXPECT_EQ(answers.Next(menus, top), 0u);
    EXPECT_EQ(answers.Next(menus, top), 0u);
    EXPECT_EQ(answers.Next(menus, top), 0u);  // no line left
    // The listener may enable the item on the way: the answer sees the state after it.
    menus.RemoveOpeningListener(token);
    menus.AddOpeningListener([&](MenuHandle m) { (void)menus.SetEnabled(m, 201, true); });
    MenuAnswers again({"Grey"});
    EXPECT_EQ(again.Next(menus, top), 201u);
}

TEST(ModelMenuSystem, DestroyTakesSubmenusAndTheWindowBarAlong) {
    ModelWindowSystem windows;
    UseWindowSystem(&windows);
    ModelMenuSystem menus;
    std::vector<std::string> lines;
    menus.SetSink([&](const std::string& line) { lines.push_back(line); });
    const WindowHandle frame = windows.Register("Frame", kStyleOverlappedWindow, {0, 0, 100, 100}, 0, nullptr);
    const MenuHandle bar = menus.CreateBar(), popup = menus.CreatePopup(), other = menus.CreateBar();
    EXPECT_FALSE(menus.InsertSubmenu(bar, -1, other, "Bar in a bar"));
    EXPECT_FALSE(menus.InsertSubmenu(popup, -1, popup, "Itself"));
    ASSERT_TRUE(menus.InsertSubmenu(bar, -1, popup, "&File"));
    ASSERT_TRUE(menus.InsertSeparator(bar, 0));
    EXPECT_EQ(menus.Item(bar, 1)->submenu, popup);
    EXPECT_FALSE(menus.SetWindowMenu(frame + 1, bar));
    ASSERT_TRUE(menus.SetWindowMenu(frame, bar));
    EXPECT_EQ(menus.WindowMenu(frame), bar);
    EXPECT_TRUE(menus.Destroy(bar));
    EXPECT_FALSE(menus.IsMenu(popup));
    EXPECT_EQ(menus.WindowMenu(frame), 0u);
    EXPECT_FALSE(menus.Destroy(bar));
    EXPECT_EQ(menus.ItemCount(bar), -1);
    EXPECT_FALSE(menus.Remove(other, 0));
    const std::vector<std::string> want = {
        "create bar 0x30010",
        "create popup 0x30011",
        "create bar 0x30012",
        "append 0x30010 submenu 0x30011 \"&File\"",
        "insert 0x30010 at 0 separator",
        "bar " + WindowName(frame) + " 0x30010",
        "destroy 0x30010",
        "destroy 0x30011",
    };
    EXPECT_EQ(lines, want);
    UseWindowSystem(nullptr);
}

TEST(ModelMenuSystem, TrackAnswersFromTheTestsChoicesAndKeysSendCommands) {
    ModelWindowSystem windows;
    UseWindowSystem(&windows);
    std::vector<uintptr_t> commands;
    const WindowHandle frame =
        windows.Register("Frame", kStyleOverlappedWindow, {0, 0, 100, 100}, 0, [&](const WindowMessage& m) {
            if (m.message == kMsgCommand) commands.push_back(m.wParam);
            return intptr_t{0};
        });
    ModelMenuSystem menus;
    const MenuHandle popup = menus.CreatePopup();
    ASSERT_TRUE(menus.InsertCommand(popup, -1, 0x1B798, "&Go"));  // ids are 16 bits
    EXPECT_EQ(menus.Item(popup, 0)->id, 0xB798u);
    int opened = 0;
    menus.AddOpeningListener([&](MenuHandle) { ++opened; });
    menus.Choose({"Go", "none"});
    EXPECT_EQ(menus.Track(popup, frame, {1, 2}), 0xB798u);
    EXPECT_EQ(menus.Track(popup, frame, {1, 2}), 0u);
    EXPECT_EQ(menus.Track(popup, frame, {1, 2}), 0u);
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(menus.Track(popup + 99, frame, {1, 2}), 0u);
    EXPECT_EQ(menus.Tracked().size(), 3u);

    EXPECT_EQ(menus.InstallAccelerators({}, frame), 0u);
    const uintptr_t first = menus.InstallAccelerators({{kModifierControl, 'G', 0xB798}}, frame);
    const uintptr_t second = menus.InstallAccelerators({{kModifierControl, 'G', 0xB799}}, frame);
    EXPECT_EQ(menus.PressKey(kModifierControl, 'G'), 0xB799u);  // the newest table first
    menus.RemoveAccelerators(second);
    EXPECT_EQ(menus.PressKey(kModifierControl, 'G'), 0xB798u);
    EXPECT_EQ(menus.PressKey(kModifierControl | kModifierShift, 'G'), 0u);
    menus.RemoveAccelerators(first);
    EXPECT_EQ(menus.PressKey(kModifierControl, 'G'), 0u);
    // An accelerator's command arrives as the system sends it: 1 in the high word.
    EXPECT_EQ(commands, (std::vector<uintptr_t>{0x1B799, 0x1B798}));
    UseWindowSystem(nullptr);
}

}  // namespace
}  // namespace velmo::platform
