#include "platform/common/model_menu_system.h"

#include <cstdio>

#include "platform/common/accelerator_text.h"
#include "platform/common/model_window_system.h"

namespace velmo::platform {

namespace {

// As deep as the answers look: a menu put inside itself must not recurse for ever.
constexpr int kMaxDepth = 32;

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\t') quoted += "\\t";
        else if (c == '"' || c == '\\') quoted += std::string("\\") + c;
        else quoted += c;
    }
    return quoted + "\"";
}

std::string Number(uint32_t value) { return std::to_string(value); }

}  // namespace

std::string MenuName(MenuHandle menu) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(menu));
    return text;
}

ModelMenuSystem& ModelMenuSystem::Shared() {
    static ModelMenuSystem shared;
    return shared;
}

void ModelMenuSystem::Note(const std::string& line) const {
    if (sink_) sink_(line);
}

const ModelMenuSystem::Menu* ModelMenuSystem::Find(MenuHandle menu) const {
    const auto found = menus_.find(menu);
    return found == menus_.end() ? nullptr : found->second.get();
}

ModelMenuSystem::Menu* ModelMenuSystem::Entry(MenuHandle menu) {
    const auto found = menus_.find(menu);
    return found == menus_.end() ? nullptr : found->second.get();
}

MenuHandle ModelMenuSystem::Create(bool isBar) {
    const MenuHandle handle = next_++;
    auto menu = std::make_unique<Menu>();
    menu->isBar = isBar;
    menus_.emplace(handle, std::move(menu));
    Note(std::string("create ") + (isBar ? "bar " : "popup ") + MenuName(handle));
    return handle;
}

// Submenus go with their menu, as the system destroys them; a window loses a bar destroyed under it.
bool ModelMenuSystem::Destroy(MenuHandle menu) {
    Menu* entry = Entry(menu);
    if (!entry) return false;
    const std::vector<MenuItemInfo> items = std::move(entry->items);
    menus_.erase(menu);
    std::erase_if(windowMenus_, [menu](const auto& pair) { return pair.second == menu; });
    Note("destroy " + MenuName(menu));
    for (const MenuItemInfo& item : items)
        if (item.kind == MenuItemKind::Submenu) (void)Destroy(item.submenu);
    return true;
}

bool ModelMenuSystem::Insert(MenuHandle menu, int position, const MenuItemInfo& item, const std::string& what) {
    Menu* entry = Entry(menu);
    if (!entry) return false;
    const bool appends = position < 0 || static_cast<size_t>(position) >= entry->items.size();
    entry->items.insert(appends ? entry->items.end() : entry->items.begin() + position, item);
    Note((appends ? "append " : "insert ") + MenuName(menu) + (appends ? "" : " at " + std::to_string(position)) + " " +
         what);
    return true;
}

bool ModelMenuSystem::InsertCommand(MenuHandle menu, int position, uint32_t id, const std::string& text) {
    MenuItemInfo item;
    item.kind = MenuItemKind::Command;
    item.id = id & 0xFFFF;
    item.text = text;
    return Insert(menu, position, item, "command " + Number(item.id) + " " + Quoted(text));
}

// The system refuses a menu inside itself, and a bar inside any menu.
bool ModelMenuSystem::InsertSubmenu(MenuHandle menu, int position, MenuHandle submenu, const std::string& text) {
    const Menu* sub = Find(submenu);
    if (!sub || sub->isBar || submenu == menu) return false;
    MenuItemInfo item;
    item.kind = MenuItemKind::Submenu;
    item.submenu = submenu;
    item.text = text;
    return Insert(menu, position, item, "submenu " + MenuName(submenu) + " " + Quoted(text));
}

bool ModelMenuSystem::InsertSeparator(MenuHandle menu, int position) {
    return Insert(menu, position, MenuItemInfo{}, "separator");
}

bool ModelMenuSystem::Remove(MenuHandle menu, int position) {
    Menu* entry = Entry(menu);
    if (!entry || position < 0 || static_cast<size_t>(position) >= entry->items.size()) return false;
    entry->items.erase(entry->items.begin() + position);
    Note("remove " + MenuName(menu) + " at " + std::to_string(position));
    return true;
}

int ModelMenuSystem::ItemCount(MenuHandle menu) const {
    const Menu* entry = Find(menu);
    return entry ? static_cast<int>(entry->items.size()) : -1;
}

std::optional<MenuItemInfo> ModelMenuSystem::Item(MenuHandle menu, int position) const {
    const Menu* entry = Find(menu);
    if (!entry || position < 0 || static_cast<size_t>(position) >= entry->items.size()) return std::nullopt;
    return entry->items[static_cast<size_t>(position)];
}

MenuItemInfo* ModelMenuSystem::FindCommand(MenuHandle menu, uint32_t id, int depth) {
    Menu* entry = Entry(menu);
    if (!entry || depth > kMaxDepth) return nullptr;
    for (MenuItemInfo& item : entry->items)
        if (item.kind == MenuItemKind::Command && item.id == (id & 0xFFFF)) return &item;
    for (MenuItemInfo& item : entry->items)
        if (item.kind == MenuItemKind::Submenu)
            if (MenuItemInfo* found = FindCommand(item.submenu, id, depth + 1)) return found;
    return nullptr;
}

bool ModelMenuSystem::SetEnabled(MenuHandle menu, uint32_t id, bool enabled) {
    MenuItemInfo* item = FindCommand(menu, id, 0);
    if (!item) return false;
    if (item->enabled != enabled) Note(std::string(enabled ? "enable " : "disable ") + Number(id));
    item->enabled = enabled;
    return true;
}

bool ModelMenuSystem::SetChecked(MenuHandle menu, uint32_t id, bool checked) {
    MenuItemInfo* item = FindCommand(menu, id, 0);
    if (!item) return false;
    if (item->checked != checked) Note(std::string(checked ? "check " : "uncheck ") + Number(id));
    item->checked = checked;
    return true;
}

bool ModelMenuSystem::SetText(MenuHandle menu, uint32_t id, const std::string& text) {
    MenuItemInfo* item = FindCommand(menu, id, 0);
    if (!item) return false;
    if (item->text != text) Note("text " + Number(id) + " " + Quoted(text));
    item->text = text;
    return true;
}

uint32_t ModelMenuSystem::Track(MenuHandle menu, WindowHandle, Point at) {
    if (!Find(menu)) return 0;
    tracked_.push_back(menu);
    NotifyOpening(menu);
    uint32_t chosen = 0;
    if (answers_.Active()) {
        chosen = answers_.Next(*this, menu);
    } else if (!choices_.empty()) {
        MenuAnswers once({choices_.front()});
        choices_.pop_front();
        chosen = once.Next(*this, menu);
    }
    Note("track " + MenuName(menu) + " at " + std::to_string(at.x) + "," + std::to_string(at.y) + ": " +
         (chosen ? Number(chosen) : std::string("none")));
    return chosen;
}

bool ModelMenuSystem::SetWindowMenu(WindowHandle window, MenuHandle menu) {
    if (!Windows().IsWindow(window) || (menu && !Find(menu))) return false;
    if (menu) windowMenus_[window] = menu;
    else windowMenus_.erase(window);
    Note("bar " + WindowName(window) + " " + (menu ? MenuName(menu) : std::string("none")));
    return true;
}

MenuHandle ModelMenuSystem::WindowMenu(WindowHandle window) const {
    const auto found = windowMenus_.find(window);
    return found == windowMenus_.end() ? 0 : found->second;
}

bool ModelMenuSystem::RedrawBar(WindowHandle window) {
    if (!Windows().IsWindow(window)) return false;
    Note("redraw " + WindowName(window));
    return true;
}

uintptr_t ModelMenuSystem::InstallAccelerators(const std::vector<Accelerator>& keys, WindowHandle target) {
    if (keys.empty()) return 0;
    const uintptr_t table = nextTable_++;
    tables_[table] = {keys, target};
    std::string line = "accelerators " + std::to_string(table) + " for " + WindowName(target) + ":";
    for (const Accelerator& key : keys) line += " " + AcceleratorText(key.modifiers, key.key) + "=" + Number(key.id);
    Note(line);
    return table;
}

void ModelMenuSystem::RemoveAccelerators(uintptr_t table) {
    if (tables_.erase(table)) Note("accelerators " + std::to_string(table) + " removed");
}

// The newest table first, as a message loop that translates through each in turn would be asked
// to; an id with no window to take it is still the key's command.
uint32_t ModelMenuSystem::PressKey(uint32_t modifiers, uint32_t key) {
    for (auto table = tables_.rbegin(); table != tables_.rend(); ++table)
        for (const Accelerator& accelerator : table->second.keys)
            if (accelerator.key == key && accelerator.modifiers == modifiers) {
                const WindowHandle target = table->second.target;
                if (Windows().IsWindow(target)) (void)Windows().Send(target, kMsgCommand, accelerator.id | 0x10000, 0);
                return accelerator.id;
            }
    return 0;
}

void ModelMenuSystem::NotifyOpening(MenuHandle menu) {
    if (Find(menu)) listeners_.Notify(menu);
}

}  // namespace velmo::platform
