// The menu system over real Win32 menus (under wine in CI): items read back as the system keeps
// them, states by command id through submenus, a bar on a real window, a popup tracked and
// answered with keys posted to the thread, and accelerator tables turning keys into commands.

#include <gtest/gtest.h>

#include <vector>

#include "platform/menu_system.h"
#include "platform/os/win32/handles.h"  // the Win32 declarations come with it
#include "platform/ui/win32/menu_system.h"

namespace velmo::platform {
namespace {

constexpr const char* kTestClass = "VelmoMenuSystemTest";
std::vector<WPARAM> commands;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) commands.push_back(wParam);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

class Win32Menus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = &Procedure;
        c.hInstance = ::GetModuleHandleA(nullptr);
        c.lpszClassName = kTestClass;
        ::RegisterClassExA(&c);
    }
    void SetUp() override {
        window_ = ::CreateWindowExA(0, kTestClass, "Velmo Menu Test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 400,
                                    300, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        commands.clear();
    }
    void TearDown() override {
        if (::IsWindow(window_)) ::DestroyWindow(window_);
    }
    WindowHandle Handle() const { return reinterpret_cast<WindowHandle>(window_); }

    MenuSystem& menus_ = Menus();
    HWND window_ = nullptr;
};

TEST_F(Win32Menus, ItemsAndStatesReadBackAsTheSystemKeepsThem) {
    const MenuHandle bar = menus_.CreateBar(), file = menus_.CreatePopup();
    ASSERT_TRUE(menus_.IsMenu(bar) && menus_.IsMenu(file));
    ASSERT_TRUE(menus_.InsertCommand(file, -1, 0xB798, "&Open\tCtrl+O"));
    ASSERT_TRUE(menus_.InsertSeparator(file, -1));
    ASSERT_TRUE(menus_.InsertCommand(file, 1, 0xB799, "&Save"));  // before the separator
    ASSERT_TRUE(menus_.InsertSubmenu(bar, -1, file, "&File"));
    EXPECT_FALSE(menus_.InsertSubmenu(file, -1, file, "Itself"));
    EXPECT_EQ(menus_.ItemCount(file), 3);
    const auto open = menus_.Item(file, 0), save = menus_.Item(file, 1), separator = menus_.Item(file, 2);
    ASSERT_TRUE(open && save && separator);
    EXPECT_EQ(open->kind, MenuItemKind::Command);
    EXPECT_EQ(open->id, 0xB798u);
    EXPECT_EQ(open->text, "&Open\tCtrl+O");
    EXPECT_EQ(save->text, "&Save");
    EXPECT_EQ(separator->kind, MenuItemKind::Separator);
    const auto sub = menus_.Item(bar, 0);
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->kind, MenuItemKind::Submenu);
    EXPECT_EQ(sub->submenu, file);
    EXPECT_EQ(sub->text, "&File");
    EXPECT_FALSE(menus_.Item(file, 3));

    // By id, from the bar down into its submenu.
    EXPECT_TRUE(menus_.SetEnabled(bar, 0xB799, false));
    EXPECT_TRUE(menus_.SetChecked(bar, 0xB798, true));
    EXPECT_TRUE(menus_.SetText(bar, 0xB798, "&Load\tCtrl+O"));
    EXPECT_FALSE(menus_.Item(file, 1)->enabled);
    EXPECT_TRUE(menus_.Item(file, 0)->checked);
    EXPECT_EQ(menus_.Item(file, 0)->text, "&Load\tCtrl+O");
    EXPECT_FALSE(menus_.SetEnabled(bar, 0x1234, false));
    EXPECT_FALSE(menus_.SetChecked(bar, 0x1234, true));

    // Removing leaves the submenu alive; destroying the bar takes what it still holds.
    ASSERT_TRUE(menus_.Remove(bar, 0));
    EXPECT_TRUE(menus_.IsMenu(file));
    EXPECT_FALSE(menus_.Remove(bar, 0));
    ASSERT_TRUE(menus_.InsertSubmenu(bar, -1, file, "&File"));
    EXPECT_TRUE(menus_.Destroy(bar));
    EXPECT_FALSE(menus_.IsMenu(file));
    EXPECT_EQ(menus_.ItemCount(bar), -1);
}

TEST_F(Win32Menus, ABarOnAWindowTakesRoomFromItsClientArea) {
    RECT before{}, after{};
    ::GetClientRect(window_, &before);
    const MenuHandle bar = menus_.CreateBar();
    ASSERT_TRUE(menus_.InsertCommand(bar, -1, 0xB798, "&Go"));
    ASSERT_TRUE(menus_.SetWindowMenu(Handle(), bar));
    EXPECT_TRUE(menus_.RedrawBar(Handle()));
    EXPECT_EQ(menus_.WindowMenu(Handle()), bar);
    ::GetClientRect(window_, &after);
    EXPECT_LT(after.bottom, before.bottom);
    ASSERT_TRUE(menus_.SetWindowMenu(Handle(), 0));
    EXPECT_EQ(menus_.WindowMenu(Handle()), 0u);
    EXPECT_TRUE(menus_.Destroy(bar));
    EXPECT_FALSE(menus_.SetWindowMenu(0, bar));
}

TEST_F(Win32Menus, ATrackedPopupAnswersPostedKeysAndTellsItOpens) {
    const MenuHandle popup = menus_.CreatePopup();
    ASSERT_TRUE(menus_.InsertCommand(popup, -1, 0xB798, "&First"));
    ASSERT_TRUE(menus_.InsertCommand(popup, -1, 0xB799, "&Second"));
    std::vector<MenuHandle> opened;
    const int token = menus_.AddOpeningListener([&](MenuHandle menu) { opened.push_back(menu); });
    ::SetForegroundWindow(window_);
    // The menu's own loop reads them from the thread's queue: down twice, then enter.
    for (const WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) ::PostMessageA(window_, WM_KEYDOWN, key, 0);
    EXPECT_EQ(menus_.Track(popup, 0, {120, 120}), 0xB799u);
    ::PostMessageA(window_, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(menus_.Track(popup, 0, {120, 120}), 0u);
    menus_.RemoveOpeningListener(token);
    // The menu system's own owner window passes the popup's opening on.
    EXPECT_EQ(opened, (std::vector<MenuHandle>{popup, popup}));
    EXPECT_TRUE(commands.empty());  // the choice is returned, not sent
    EXPECT_EQ(menus_.Track(popup + 1, 0, {0, 0}), 0u);
    EXPECT_TRUE(menus_.Destroy(popup));
}

TEST_F(Win32Menus, InstalledAcceleratorsTurnTheirKeysIntoCommandsForTheirWindow) {
    EXPECT_EQ(menus_.InstallAccelerators({}, Handle()), 0u);
    const uintptr_t table = menus_.InstallAccelerators({{0, VK_F5, 0xB79A}}, Handle());
    ASSERT_NE(table, 0u);
    MSG key{window_, WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_TRUE(win32::TranslateMenuAccelerators(key));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0]), 0xB79Au);
    EXPECT_EQ(HIWORD(commands[0]), 1u);  // from an accelerator
    MSG other{window_, WM_KEYDOWN, VK_F6, 0, 0, {}};
    EXPECT_FALSE(win32::TranslateMenuAccelerators(other));
    // A key for a window that is neither the target nor a child of it is not taken.
    const HWND elsewhere = ::CreateWindowExA(0, kTestClass, "Other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                             nullptr, ::GetModuleHandleA(nullptr), nullptr);
    MSG foreign{elsewhere, WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_FALSE(win32::TranslateMenuAccelerators(foreign));
    ::DestroyWindow(elsewhere);
    menus_.RemoveAccelerators(table);
    EXPECT_FALSE(win32::TranslateMenuAccelerators(key));
    EXPECT_EQ(commands.size(), 1u);
}

}  // namespace
}  // namespace velmo::platform
