#pragma once
// Menus of the system by handle: menu bars and popup menus that scripts build item by item, put on
// a window or track at a point, and the accelerator tables that turn keys into their commands. The
// Win32 user interface answers with real menus; the headless one with a model
// (platform/common/model_menu_system.h) that records what was done to it. Handles are the
// system's (0 is no menu); command ids are 16-bit, as the system's WM_COMMAND carries them.
//
// A popup shown to the user waits for the user. Tests answer it instead: when VELMO_MENU_ANSWERS
// names a file, every tracked menu takes the next line of that file as the user's choice (the
// caption of an item, "none" to dismiss the menu) and is not shown (platform/common/menu_answers.h).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"
#include "platform/window_system.h"

namespace velmo::platform {

using MenuHandle = uintptr_t;

// Window messages of menus, by the system's numbers.
enum : uint32_t {
    kMsgCommand = 0x0111,
    kMsgInitMenuPopup = 0x0117,
};

enum class MenuItemKind { Command, Submenu, Separator };

struct MenuItemInfo {
    MenuItemKind kind = MenuItemKind::Separator;
    uint32_t id = 0;         // a command's id
    MenuHandle submenu = 0;  // a submenu's handle
    std::string text;        // 8-bit text as shown: "&" marks and a tab before the key text included
    bool enabled = true;
    bool checked = false;
};

// A key that chooses command `id` while the table is installed: a virtual-key code with the
// modifiers (kModifierShift, kModifierControl, kModifierAlt of platform/window.h) held down.
struct Accelerator {
    uint32_t modifiers = 0;
    uint32_t key = 0;
    uint32_t id = 0;
    bool operator==(const Accelerator&) const = default;
};

class MenuSystem {
public:
    virtual ~MenuSystem() = default;

    // A new empty menu; 0 when the system refuses one.
    virtual MenuHandle CreateBar() = 0;
    virtual MenuHandle CreatePopup() = 0;
    // Destroys the menu and every submenu still in it; false for a handle that is no menu.
    virtual bool Destroy(MenuHandle menu) = 0;
    virtual bool IsMenu(MenuHandle menu) const = 0;

    // Inserts before the item at `position`; a negative position or one past the end appends.
    virtual bool InsertCommand(MenuHandle menu, int position, uint32_t id, const std::string& text) = 0;
    virtual bool InsertSubmenu(MenuHandle menu, int position, MenuHandle submenu, const std::string& text) = 0;
    virtual bool InsertSeparator(MenuHandle menu, int position) = 0;
    // Takes the item at `position` out; a submenu it held lives on. False when there is none.
    virtual bool Remove(MenuHandle menu, int position) = 0;
    // -1 for a handle that is no menu.
    virtual int ItemCount(MenuHandle menu) const = 0;
    virtual std::optional<MenuItemInfo> Item(MenuHandle menu, int position) const = 0;

    // The state of the command `id` in `menu` or any submenu of it; false when there is none.
    virtual bool SetEnabled(MenuHandle menu, uint32_t id, bool enabled) = 0;
    virtual bool SetChecked(MenuHandle menu, uint32_t id, bool checked) = 0;
    virtual bool SetText(MenuHandle menu, uint32_t id, const std::string& text) = 0;

    // Shows `menu` as a popup at `at` (screen coordinates), owned by `owner` (0: a window of the
    // menu system's own), and waits for the user: the command chosen, 0 when the menu was
    // dismissed or cannot be shown. No command message is sent for the choice.
    virtual uint32_t Track(MenuHandle menu, WindowHandle owner, Point at) = 0;

    // The menu bar of a top-level window (0 takes it away); the system's result.
    virtual bool SetWindowMenu(WindowHandle window, MenuHandle menu) = 0;
    virtual MenuHandle WindowMenu(WindowHandle window) const = 0;
    // Draws the window's menu bar again after its items changed.
    virtual bool RedrawBar(WindowHandle window) = 0;

    // Keys translated into WM_COMMAND messages for `target` by the message loop while the table is
    // installed. 0 when the table cannot be made (an empty list makes none).
    virtual uintptr_t InstallAccelerators(const std::vector<Accelerator>& keys, WindowHandle target) = 0;
    virtual void RemoveAccelerators(uintptr_t table) = 0;

    // Who hears that a menu is about to open: a popup of a window's menu bar, a tracked menu and
    // the submenus opened from it. The newest listener added hears it alone; removing it gives
    // the turn back to the one before.
    using OpeningListener = std::function<void(MenuHandle)>;
    virtual int AddOpeningListener(OpeningListener listener) = 0;
    virtual void RemoveOpeningListener(int token) = 0;
    // Tells the listener that `menu` opens, as the system's WM_INITMENUPOPUP does.
    virtual void NotifyOpening(MenuHandle menu) = 0;

    // A line for each change made through this interface; the real system keeps no record.
    using Sink = std::function<void(const std::string&)>;
    virtual void SetSink(Sink sink) = 0;
};

// The menu system of this process: the real one of the Win32 user interface, the model of the
// headless one. A test may put another in its place (null gives the process's own back).
MenuSystem& Menus();
void UseMenuSystem(MenuSystem* menus);

}  // namespace velmo::platform
