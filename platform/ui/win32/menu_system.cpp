// The Win32 menu system: real menus by HMENU, tracked with TPM_RETURNCMD, accelerator tables made
// with CreateAcceleratorTableA and translated by the desktop's message loop. A menu tracked with
// no owner of ours gets a hidden window of this file as its owner, which also passes the
// WM_INITMENUPOPUP of the menu's submenus on to the opening listener.
#include "platform/ui/win32/menu_system.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/common/menu_support.h"
#include "platform/menu_system.h"
#include "platform/os/win32/handles.h"

namespace velmo::platform {

namespace {

constexpr char kOwnerClass[] = "VelmoMenuOwner";

HMENU Hmenu(MenuHandle menu) { return reinterpret_cast<HMENU>(menu); }
HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// The system's insert position: a negative one or one past the end appends.
UINT InsertPosition(HMENU menu, int position) {
    const int count = ::GetMenuItemCount(menu);
    return position < 0 || position >= count ? static_cast<UINT>(-1) : static_cast<UINT>(position);
}

class Win32MenuSystem final : public MenuSystem {
public:
    ~Win32MenuSystem() override {
        for (auto& [table, target] : tables_) ::DestroyAcceleratorTable(reinterpret_cast<HACCEL>(table));
    }

    MenuHandle CreateBar() override { return reinterpret_cast<MenuHandle>(::CreateMenu()); }
    MenuHandle CreatePopup() override { return reinterpret_cast<MenuHandle>(::CreatePopupMenu()); }
    bool Destroy(MenuHandle menu) override { return menu && ::DestroyMenu(Hmenu(menu)); }
    bool IsMenu(MenuHandle menu) const override { return menu && ::IsMenu(Hmenu(menu)); }

    bool InsertCommand(MenuHandle menu, int position, uint32_t id, const std::string& text) override {
        if (!IsMenu(menu)) return false;
        return ::InsertMenuA(Hmenu(menu), InsertPosition(Hmenu(menu), position), MF_BYPOSITION | MF_STRING, id & 0xFFFF,
                             text.c_str());
    }
    bool InsertSubmenu(MenuHandle menu, int position, MenuHandle submenu, const std::string& text) override {
        if (!IsMenu(menu) || !IsMenu(submenu) || menu == submenu) return false;
        return ::InsertMenuA(Hmenu(menu), InsertPosition(Hmenu(menu), position), MF_BYPOSITION | MF_STRING | MF_POPUP,
                             static_cast<UINT_PTR>(submenu), text.c_str());
    }
    bool InsertSeparator(MenuHandle menu, int position) override {
        if (!IsMenu(menu)) return false;
        return ::InsertMenuA(Hmenu(menu), InsertPosition(Hmenu(menu), position), MF_BYPOSITION | MF_SEPARATOR, 0,
                             nullptr);
    }
    bool Remove(MenuHandle menu, int position) override {
        return IsMenu(menu) && position >= 0 && ::RemoveMenu(Hmenu(menu), static_cast<UINT>(position), MF_BYPOSITION);
    }
    int ItemCount(MenuHandle menu) const override { return IsMenu(menu) ? ::GetMenuItemCount(Hmenu(menu)) : -1; }

    std::optional<MenuItemInfo> Item(MenuHandle menu, int position) const override {
        if (!IsMenu(menu) || position < 0) return std::nullopt;
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        if (!::GetMenuItemInfoA(Hmenu(menu), static_cast<UINT>(position), TRUE, &info)) return std::nullopt;
        MenuItemInfo item;
        item.enabled = (info.fState & (MFS_DISABLED | MFS_GRAYED)) == 0;
        item.checked = (info.fState & MFS_CHECKED) != 0;
        if (info.fType & MFT_SEPARATOR) return item;
        item.kind = info.hSubMenu ? MenuItemKind::Submenu : MenuItemKind::Command;
        item.id = info.hSubMenu ? 0 : info.wID;
        item.submenu = reinterpret_cast<MenuHandle>(info.hSubMenu);
        std::vector<char> text(info.cch + 1, '\0');
        info.fMask = MIIM_STRING;
        info.dwTypeData = text.data();
        info.cch = static_cast<UINT>(text.size());
        if (::GetMenuItemInfoA(Hmenu(menu), static_cast<UINT>(position), TRUE, &info)) item.text = text.data();
        return item;
    }

    bool SetEnabled(MenuHandle menu, uint32_t id, bool enabled) override {
        return IsMenu(menu) &&
               ::EnableMenuItem(Hmenu(menu), id & 0xFFFF, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED)) != -1;
    }
    bool SetChecked(MenuHandle menu, uint32_t id, bool checked) override {
        return IsMenu(menu) &&
               ::CheckMenuItem(Hmenu(menu), id & 0xFFFF, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED)) !=
                   static_cast<DWORD>(-1);
    }
    bool SetText(MenuHandle menu, uint32_t id, const std::string& text) override {
        if (!IsMenu(menu)) return false;
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<char*>(text.c_str());
        return ::SetMenuItemInfoA(Hmenu(menu), id & 0xFFFF, FALSE, &info);
    }

    uint32_t Track(MenuHandle menu, WindowHandle owner, Point at) override {
        if (!IsMenu(menu)) return 0;
        if (answers_.Active()) {
            NotifyOpening(menu);
            return answers_.Next(*this, menu);
        }
        HWND window = owner ? Hwnd(owner) : OwnerWindow();
        if (!window) return 0;
        // A menu whose owner is not in the foreground would not go away when the user clicks
        // elsewhere; the null message afterwards lets it close at once.
        if (!owner) ::SetForegroundWindow(window);
        const BOOL chosen =
            ::TrackPopupMenu(Hmenu(menu), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
        if (!owner) ::PostMessageA(window, WM_NULL, 0, 0);
        return static_cast<uint32_t>(chosen) & 0xFFFF;
    }

    bool SetWindowMenu(WindowHandle window, MenuHandle menu) override {
        return ::IsWindow(Hwnd(window)) && ::SetMenu(Hwnd(window), Hmenu(menu));
    }
    MenuHandle WindowMenu(WindowHandle window) const override {
        return ::IsWindow(Hwnd(window)) ? reinterpret_cast<MenuHandle>(::GetMenu(Hwnd(window))) : 0;
    }
    bool RedrawBar(WindowHandle window) override { return ::IsWindow(Hwnd(window)) && ::DrawMenuBar(Hwnd(window)); }

    uintptr_t InstallAccelerators(const std::vector<Accelerator>& keys, WindowHandle target) override {
        if (keys.empty()) return 0;
        std::vector<ACCEL> table;
        for (const Accelerator& key : keys) {
            BYTE flags = FVIRTKEY;
            if (key.modifiers & kModifierControl) flags |= FCONTROL;
            if (key.modifiers & kModifierShift) flags |= FSHIFT;
            if (key.modifiers & kModifierAlt) flags |= FALT;
            table.push_back({flags, static_cast<WORD>(key.key), static_cast<WORD>(key.id)});
        }
        const HACCEL made = ::CreateAcceleratorTableA(table.data(), static_cast<int>(table.size()));
        if (!made) return 0;
        tables_.emplace_back(reinterpret_cast<uintptr_t>(made), Hwnd(target));
        return reinterpret_cast<uintptr_t>(made);
    }
    void RemoveAccelerators(uintptr_t table) override {
        const auto found =
            std::find_if(tables_.begin(), tables_.end(), [table](const auto& t) { return t.first == table; });
        if (found == tables_.end()) return;
        tables_.erase(found);
        ::DestroyAcceleratorTable(reinterpret_cast<HACCEL>(table));
    }

    int AddOpeningListener(OpeningListener listener) override { return listeners_.Add(std::move(listener)); }
    void RemoveOpeningListener(int token) override { listeners_.Remove(token); }
    void NotifyOpening(MenuHandle menu) override {
        if (IsMenu(menu)) listeners_.Notify(menu);
    }
    void SetSink(Sink) override {}

    bool Translate(MSG& message) {
        for (auto table = tables_.rbegin(); table != tables_.rend(); ++table) {
            const HWND target = table->second;
            if (!::IsWindow(target) || (message.hwnd != target && !::IsChild(target, message.hwnd))) continue;
            if (::TranslateAcceleratorA(target, reinterpret_cast<HACCEL>(table->first), &message)) return true;
        }
        return false;
    }

private:
    static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITMENUPOPUP) Menus().NotifyOpening(static_cast<MenuHandle>(wParam));
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    // A hidden top-level window: the system tracks popups only for a window of the thread.
    HWND OwnerWindow() {
        if (owner_) return owner_.Get();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &OwnerProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kOwnerClass;
        (void)::RegisterClassA(&windowClass);  // fails harmlessly when registered already
        owner_.Reset(::CreateWindowExA(WS_EX_TOOLWINDOW, kOwnerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       windowClass.hInstance, nullptr));
        return owner_.Get();
    }

    std::vector<std::pair<uintptr_t, HWND>> tables_;  // the tables owned, the newest last
    MenuAnswers answers_;
    OpeningListeners listeners_;
    win32::WindowHandle owner_;
};

Win32MenuSystem& System() {
    static Win32MenuSystem system;
    return system;
}
MenuSystem* chosenMenus = nullptr;  // not owned

}  // namespace

MenuSystem& Menus() { return chosenMenus ? *chosenMenus : System(); }
void UseMenuSystem(MenuSystem* menus) { chosenMenus = menus; }

namespace win32 {
bool TranslateMenuAccelerators(MSG& message) { return System().Translate(message); }
}  // namespace win32

}  // namespace velmo::platform
