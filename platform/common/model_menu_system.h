#pragma once
// The headless desktop's menus: bars and popups with their items, kept in memory, each change
// told to the sink as one line ("append 0x30001 command 47000 \"&Open\""). A tracked menu has no
// user to answer it: it answers from VELMO_MENU_ANSWERS when that names a file, else from the
// choices a test gave (Choose), else with none. Accelerator tables are only kept: the model has no
// keyboard, so PressKey stands in for one.

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/menu_support.h"
#include "platform/menu_system.h"

namespace velmo::platform {

class ModelMenuSystem final : public MenuSystem {
public:
    struct Menu {
        bool isBar = false;
        std::vector<MenuItemInfo> items;
    };

    // The model the headless desktop and the scripts' Menu objects share in this process.
    static ModelMenuSystem& Shared();

    // The captions the next tracked menus answer with, one per menu, "none" to dismiss; used when
    // VELMO_MENU_ANSWERS gives no answers.
    void Choose(std::vector<std::string> captions) { choices_.assign(captions.begin(), captions.end()); }
    // Each menu tracked, in order.
    const std::vector<MenuHandle>& Tracked() const { return tracked_; }
    // The command an installed accelerator gives for the key, sent to its target's window as
    // WM_COMMAND through the window system; 0 when no installed table has that key.
    uint32_t PressKey(uint32_t modifiers, uint32_t key);
    const Menu* Find(MenuHandle menu) const;

    MenuHandle CreateBar() override { return Create(true); }
    MenuHandle CreatePopup() override { return Create(false); }
    bool Destroy(MenuHandle menu) override;
    bool IsMenu(MenuHandle menu) const override { return Find(menu) != nullptr; }
    bool InsertCommand(MenuHandle menu, int position, uint32_t id, const std::string& text) override;
    bool InsertSubmenu(MenuHandle menu, int position, MenuHandle submenu, const std::string& text) override;
    bool InsertSeparator(MenuHandle menu, int position) override;
    bool Remove(MenuHandle menu, int position) override;
    int ItemCount(MenuHandle menu) const override;
    std::optional<MenuItemInfo> Item(MenuHandle menu, int position) const override;
    bool SetEnabled(MenuHandle menu, uint32_t id, bool enabled) override;
    bool SetChecked(MenuHandle menu, uint32_t id, bool checked) override;
    bool SetText(MenuHandle menu, uint32_t id, const std::string& text) override;
    uint32_t Track(MenuHandle menu, WindowHandle owner, Point at) override;
    bool SetWindowMenu(WindowHandle window, MenuHandle menu) override;
    MenuHandle WindowMenu(WindowHandle window) const override;
    bool RedrawBar(WindowHandle window) override;
    uintptr_t InstallAccelerators(const std::vector<Accelerator>& keys, WindowHandle target) override;
    void RemoveAccelerators(uintptr_t table) override;
    int AddOpeningListener(OpeningListener listener) override { return listeners_.Add(std::move(listener)); }
    void RemoveOpeningListener(int token) override { listeners_.Remove(token); }
    void NotifyOpening(MenuHandle menu) override;
    void SetSink(Sink sink) override { sink_ = std::move(sink); }

private:
    struct Table {
        std::vector<Accelerator> keys;
        WindowHandle target = 0;
    };
    MenuHandle Create(bool isBar);
    Menu* Entry(MenuHandle menu);
    bool Insert(MenuHandle menu, int position, const MenuItemInfo& item, const std::string& what);
    // The command item `id` in `menu` or below it; null when there is none.
    MenuItemInfo* FindCommand(MenuHandle menu, uint32_t id, int depth);
    void Note(const std::string& line) const;

    MenuHandle next_ = 0x30010;
    uintptr_t nextTable_ = 1;
    std::map<MenuHandle, std::unique_ptr<Menu>> menus_;
    std::map<WindowHandle, MenuHandle> windowMenus_;
    std::map<uintptr_t, Table> tables_;
    std::deque<std::string> choices_;
    std::vector<MenuHandle> tracked_;
    MenuAnswers answers_;
    OpeningListeners listeners_;
    Sink sink_;
};

// "0x30010": how the model's lines name a menu.
std::string MenuName(MenuHandle menu);

}  // namespace velmo::platform
