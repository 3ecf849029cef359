// The Menu class's members. A Menu value holds a menu handle and whether it owns the menu: menus
// it made or loaded it destroys when it is collected or makes another; menus it got from
// getSubMenu belong to their parent. A menu that another Menu object owns is taken out of every
// menu it was appended to before it is destroyed, and taken out of a menu being destroyed before
// that goes, so no menu ever holds a destroyed one. On the class value every method yields its
// failure result. The command table, the two events and the opening listener live in class state.
#include "host/classes/menu_object.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/classes/menu_commands.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/common/accelerator_text.h"
#include "platform/menu_system.h"
#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"
#include "shell/menu_definition.h"

namespace velmo::host {

namespace {

using platform::MenuHandle;
using platform::MenuItemInfo;
using platform::MenuItemKind;
using platform::MenuSystem;
using platform::WindowHandle;
using script::Interpreter;
using script::Tag;
using script::Value;

enum EventSlot : int { kOnCommand, kOnUpdateItem, kEventCount };
constexpr const char* kClassName = "Menu";
// Menus nested deeper than this are not walked: the system itself nests far less.
constexpr int kMaxWalkDepth = 32;

struct MenuData {
    MenuHandle menu = 0;
    bool owned = false;
    uintptr_t accelerators = 0;  // the table enableAccel installed
};

class MenuState;
std::unordered_map<const Interpreter*, MenuState*>& States() {
    static std::unordered_map<const Interpreter*, MenuState*> states;
    return states;
}

void UpdateItems(MenuState& state, MenuHandle menu);

class MenuState final : public HostClassState {
public:
    explicit MenuState(Interpreter& interp) : events(interp, kEventCount), interp(interp), menus(platform::Menus()) {
        States()[&interp] = this;
        token_ = menus.AddOpeningListener([this](MenuHandle menu) { UpdateItems(*this, menu); });
    }
    ~MenuState() override {
        menus.RemoveOpeningListener(token_);
        States().erase(&interp);
    }

    EventHandlers events;
    std::optional<script::Pinned> self;  // the class value, `this` of the events
    MenuCommandTable commands;
    std::set<MenuHandle> owned;  // every menu a Menu object owns now
    WindowHandle frame = 0;      // the window setMenu last put a menu on
    Interpreter& interp;
    MenuSystem& menus;  // the one the listener was added to

private:
    int token_ = 0;
};

MenuState& StateOf(const script::ClassRecord& cls) { return *ClassStateAs<MenuState>(cls); }

// ---- Items and the command table

std::string ItemText(const std::string& caption, const std::string& accelerator) {
    return accelerator.empty() ? caption : caption + "\t" + accelerator;
}

// A command item registered under `name`; false (nothing registered) when the system refuses it.
bool InsertCommand(MenuState& state, MenuHandle menu, int position, const std::string& name, const std::string& caption,
                   const std::string& accelerator) {
    const std::optional<uint32_t> id = state.commands.Register(name, accelerator);
    if (!id) return false;
    if (state.menus.InsertCommand(menu, position, *id, ItemText(caption, accelerator))) return true;
    state.commands.Release(*id);
    return false;
}

// Takes every menu that another object owns out of `menu` (and out of the menus below it), and
// gives back the names of the commands that stay in it: what is left is destroyed with it.
void DetachForDestroy(MenuState& state, MenuHandle menu, int depth) {
    if (depth > kMaxWalkDepth) return;
    for (int i = state.menus.ItemCount(menu) - 1; i >= 0; --i) {
        const std::optional<MenuItemInfo> item = state.menus.Item(menu, i);
        if (!item) continue;
        if (item->kind == MenuItemKind::Command && IsMenuCommand(item->id)) {
            state.commands.Release(item->id);
        } else if (item->kind == MenuItemKind::Submenu) {
            if (state.owned.contains(item->submenu)) (void)state.menus.Remove(menu, i);
            else DetachForDestroy(state, item->submenu, depth + 1);
        }
    }
}

// Takes `submenu` out of `menu` and the menus below it, wherever it was appended.
void RemoveEverywhere(MenuState& state, MenuHandle menu, MenuHandle submenu, int depth) {
    if (depth > kMaxWalkDepth) return;
    for (int i = state.menus.ItemCount(menu) - 1; i >= 0; --i) {
        const std::optional<MenuItemInfo> item = state.menus.Item(menu, i);
        if (!item || item->kind != MenuItemKind::Submenu) continue;
        if (item->submenu == submenu) (void)state.menus.Remove(menu, i);
        else RemoveEverywhere(state, item->submenu, submenu, depth + 1);
    }
}

// The object's menu goes: the frame's bar is cleared first if it is that menu, the accelerators
// are removed, and an owned menu is destroyed with the names of its commands.
void ReleaseMenu(MenuState& state, MenuData& data) {
    MenuSystem& menus = state.menus;
    if (data.accelerators) menus.RemoveAccelerators(data.accelerators);
    data.accelerators = 0;
    if (data.owned && data.menu && menus.IsMenu(data.menu)) {
        if (state.frame && menus.WindowMenu(state.frame) == data.menu) {
            (void)menus.SetWindowMenu(state.frame, 0);
            (void)menus.RedrawBar(state.frame);
        }
        state.owned.erase(data.menu);
        for (const MenuHandle other : state.owned) RemoveEverywhere(state, other, data.menu, 0);
        DetachForDestroy(state, data.menu, 0);
        (void)menus.Destroy(data.menu);
    }
    if (data.owned) state.owned.erase(data.menu);
    data = MenuData{};
}

void TakeMenu(MenuState& state, MenuData& data, MenuHandle made) {
    ReleaseMenu(state, data);
    data.menu = made;
    data.owned = true;
    state.owned.insert(made);
}

// ---- Loading a definition

bool BuildItems(MenuState& state, MenuHandle menu, const std::vector<shell::MenuDefinitionItem>& items);

bool BuildItem(MenuState& state, MenuHandle menu, const shell::MenuDefinitionItem& item) {
    MenuSystem& menus = state.menus;
    if (item.IsPopup()) {
        const MenuHandle popup = menus.CreatePopup();
        if (!popup) return false;
        if (BuildItems(state, popup, item.children) && menus.InsertSubmenu(menu, -1, popup, item.caption)) return true;
        DetachForDestroy(state, popup, 0);
        (void)menus.Destroy(popup);
        return false;
    }
    if (item.IsSeparator()) return menus.InsertSeparator(menu, -1);
    return InsertCommand(state, menu, -1, item.name, item.caption, item.accelerator);
}

bool BuildItems(MenuState& state, MenuHandle menu, const std::vector<shell::MenuDefinitionItem>& items) {
    for (const shell::MenuDefinitionItem& item : items)
        if (!BuildItem(state, menu, item)) return false;
    return true;
}

// ---- Methods

MenuData* Data(const HostCall& call) { return call.Native<MenuData>(); }
MenuData* DataWithMenu(const HostCall& call) {
    MenuData* data = Data(call);
    return data && data->menu ? data : nullptr;
}

void Load(HostCall& call) {
    MenuData* data = Data(call);
    const std::optional<std::string> name = AnsiArg(call.args, 1);
    if (!data || !name) return;
    const std::optional<std::vector<uint8_t>> bytes = ProjectorOf(call.interp).MenuDefinition(*name);
    const auto items = bytes ? shell::ReadMenuDefinition(*bytes) : std::nullopt;
    if (!items) return;
    MenuState& state = StateOf(call.cls);
    const MenuHandle bar = state.menus.CreateBar();
    if (!bar) return;
    if (!BuildItems(state, bar, *items)) {
        DetachForDestroy(state, bar, 0);
        (void)state.menus.Destroy(bar);
        return;
    }
    TakeMenu(state, *data, bar);
    call.ReturnBoolean(true);
}

void CreateMenus(HostCall& call, bool popup) {
    MenuData* data = Data(call);
    if (!data) return;
    MenuState& state = StateOf(call.cls);
    const MenuHandle made = popup ? state.menus.CreatePopup() : state.menus.CreateBar();
    if (!made) return;
    TakeMenu(state, *data, made);
    call.ReturnBoolean(true);
}
void CreateMenu(HostCall& call) { CreateMenus(call, false); }
void CreatePopupMenu(HostCall& call) { CreateMenus(call, true); }

void SetMenu(HostCall& call) {
    MenuData* data = DataWithMenu(call);
    if (!data) return;
    MenuState& state = StateOf(call.cls);
    Projector& projector = ProjectorOf(call.interp);
    const WindowHandle frame = projector.MainWindow();
    const bool set = frame && state.menus.SetWindowMenu(frame, data->menu);
    if (!set) return;
    state.frame = frame;
    (void)state.menus.RedrawBar(frame);
    // The bar takes room from the client area: the movie gets its size back (when one is loaded).
    projector.Apply(SettingsChange::Layout);
    call.ReturnBoolean(true);
}

// What appendItem and insertItem add, from the arguments after the position: a Menu with a
// caption is a submenu, a name with a caption (and a key text) a command, anything else a separator.
bool AddItem(HostCall& call, int position, uint32_t first) {
    MenuData* data = DataWithMenu(call);
    if (!data) return false;
    MenuState& state = StateOf(call.cls);
    const std::optional<std::string> caption = AnsiArg(call.args, first + 1);
    if (call.args.Has(first) && caption) {
        if (const auto* other = static_cast<MenuData*>(InstanceData(call.interp, call.args[first], kClassName)))
            return other->menu && state.menus.InsertSubmenu(data->menu, position, other->menu, *caption);
        if (const std::optional<std::string> name = AnsiArg(call.args, first))
            return InsertCommand(state, data->menu, position, *name, *caption,
                                 AnsiArg(call.args, first + 2).value_or(""));
    }
    return state.menus.InsertSeparator(data->menu, position);
}

void AppendItem(HostCall& call) { call.ReturnBoolean(AddItem(call, -1, 1)); }

void InsertItem(HostCall& call) {
    const std::optional<int64_t> position = call.args.Integer(1);
    if (!position || *position < 0 || *position > INT32_MAX) return;
    call.ReturnBoolean(AddItem(call, static_cast<int>(*position), 2));
}

std::optional<MenuItemInfo> ItemAt(const HostCall& call, MenuData* data) {
    const std::optional<int64_t> position = call.args.Integer(1);
    if (!data || !position || *position < 0 || *position > INT32_MAX) return std::nullopt;
    return StateOf(call.cls).menus.Item(data->menu, static_cast<int>(*position));
}

// A command's name goes with its item; a submenu no object owns is destroyed with it.
void RemoveItem(HostCall& call) {
    MenuData* data = DataWithMenu(call);
    const std::optional<MenuItemInfo> item = ItemAt(call, data);
    if (!item) return;
    MenuState& state = StateOf(call.cls);
    if (!state.menus.Remove(data->menu, static_cast<int>(*call.args.Integer(1)))) return;
    if (item->kind == MenuItemKind::Command && IsMenuCommand(item->id)) state.commands.Release(item->id);
    if (item->kind == MenuItemKind::Submenu && !state.owned.contains(item->submenu)) {
        DetachForDestroy(state, item->submenu, 0);
        (void)state.menus.Destroy(item->submenu);
    }
    call.ReturnBoolean(true);
}

void GetSubMenu(HostCall& call) {
    const std::optional<MenuItemInfo> item = ItemAt(call, DataWithMenu(call));
    if (!item || item->kind != MenuItemKind::Submenu) return;
    auto data = std::make_unique<MenuData>();
    data->menu = item->submenu;
    call.Return(script::NewHostValue(call.interp, &call.cls, data.release()));
}

void Show(HostCall& call) {
    MenuData* data = DataWithMenu(call);
    if (!data) return;
    MenuState& state = StateOf(call.cls);
    Projector& projector = ProjectorOf(call.interp);
    const std::optional<int64_t> x = call.args.Integer(1), y = call.args.Integer(2);
    platform::Point at = projector.PointerPosition().value_or(platform::Point{});
    if (x && y)
        at = {static_cast<int>(std::clamp<int64_t>(*x, INT32_MIN, INT32_MAX)),
              static_cast<int>(std::clamp<int64_t>(*y, INT32_MIN, INT32_MAX))};
    const uint32_t chosen = state.menus.Track(data->menu, projector.MainWindow(), at);
    // The handlers that ran meanwhile may have taken the name away; it is read now.
    if (const std::string* name = state.commands.NameOf(chosen)) call.ReturnAnsi(*name);
}

// ---- Properties

void CollectAccelerators(const MenuState& state, MenuHandle menu, int depth, std::vector<platform::Accelerator>& keys) {
    if (depth > kMaxWalkDepth) return;
    for (int i = 0, count = state.menus.ItemCount(menu); i < count; ++i) {
        const std::optional<MenuItemInfo> item = state.menus.Item(menu, i);
        if (!item) continue;
        if (item->kind == MenuItemKind::Submenu) CollectAccelerators(state, item->submenu, depth + 1, keys);
        if (item->kind != MenuItemKind::Command || !IsMenuCommand(item->id)) continue;
        if (const auto chord = platform::ParseAcceleratorText(state.commands.AcceleratorOf(item->id)))
            keys.push_back({chord->modifiers, chord->key, item->id});
    }
}

// Write-only: reading gives Undefined.
void EnableAccel(HostProperty& access) {
    auto* data = access.Native<MenuData>();
    if (!access.isSet) return access.Return(Value::Undefined());
    if (!data) return;
    MenuState& state = StateOf(access.cls);
    if (data->accelerators) state.menus.RemoveAccelerators(data->accelerators);
    data->accelerators = 0;
    if (!script::ToBoolean(access.Incoming()) || !data->menu) return;
    std::vector<platform::Accelerator> keys;
    CollectAccelerators(state, data->menu, 0, keys);
    data->accelerators = state.menus.InstallAccelerators(keys, ProjectorOf(access.interp).MainWindow());
}

constexpr HostMember kMembers[] = {
    Method("load", Failure::False, &Load),
    Method("createMenu", Failure::False, &CreateMenu),
    Method("createPopupMenu", Failure::False, &CreatePopupMenu),
    Method("setMenu", Failure::False, &SetMenu),
    Method("appendItem", Failure::False, &AppendItem),
    Method("insertItem", Failure::False, &InsertItem),
    Method("removeItem", Failure::False, &RemoveItem),
    Method("getSubMenu", Failure::Null, &GetSubMenu),
    Method("show", Failure::Null, &Show),
    PropertyMember("enableAccel", &EnableAccel),
    Event("onCommand", kOnCommand),
    Event("onUpdateItem", kOnUpdateItem),
};

// ---- The class

void Construct(Interpreter& interp, script::ClassRecord& cls, Value*, Value* result) {
    *result = script::NewHostValue(interp, &cls, new MenuData());
}

void Finalize(script::ClassRecord& cls, void* native) {
    auto* data = static_cast<MenuData*>(native);
    ReleaseMenu(StateOf(cls), *data);
    delete data;
}

EventHandlers* MenuEvents(script::ClassRecord& cls, void*) { return &StateOf(cls).events; }
std::unique_ptr<HostClassState> MakeState(Interpreter& interp) { return std::make_unique<MenuState>(interp); }

// The framework asks before a popup opens: every registered command item of it is offered to
// onUpdateItem with a new object, whose "enable", "check" and "caption" then change the item.
// Unset properties leave the item as it is.
void UpdateItem(MenuState& state, MenuHandle menu, uint32_t id) {
    Interpreter& interp = state.interp;
    const std::string* name = state.commands.NameOf(id);
    if (!name) return;
    const std::string itemName = *name;
    script::ObjectRecord* object = script::NewObject(interp);
    const script::Pinned kept(interp, Value::Object(object));  // read back below, whatever the handler did
    const EventOutcome outcome = FireEvent(interp, state.events, kOnUpdateItem, state.self->Get(),
                                           {AnsiStringValue(interp, itemName), kept.Get()});
    if (!outcome.fired) return;
    Value value;
    if (script::GetOwnOrInherited(interp, object, script::Intern(interp, "enable"), value) && !value.Is(Tag::Undefined))
        (void)state.menus.SetEnabled(menu, id, script::ToBoolean(value));
    if (script::GetOwnOrInherited(interp, object, script::Intern(interp, "check"), value) && !value.Is(Tag::Undefined))
        (void)state.menus.SetChecked(menu, id, script::ToBoolean(value));
    if (script::GetOwnOrInherited(interp, object, script::Intern(interp, "caption"), value) && value.Is(Tag::String))
        (void)state.menus.SetText(
            menu, id,
            ItemText(platform::Utf16ToAnsi(script::Text(value.AsString())), state.commands.AcceleratorOf(id)));
}

void UpdateItems(MenuState& state, MenuHandle menu) {
    if (!state.events.IsSet(kOnUpdateItem)) return;
    // The ids first: the handlers may change the menu while it is walked.
    std::vector<uint32_t> ids;
    for (int i = 0, count = state.menus.ItemCount(menu); i < count; ++i) {
        const std::optional<MenuItemInfo> item = state.menus.Item(menu, i);
        if (item && item->kind == MenuItemKind::Command && state.commands.NameOf(item->id)) ids.push_back(item->id);
    }
    for (const uint32_t id : ids) UpdateItem(state, menu, id);
}

}  // namespace

void RegisterMenuClass(Interpreter& interp) {
    HostClassSpec spec;
    spec.name = kClassName;
    spec.members = kMembers;
    spec.construct = &Construct;
    spec.finalizeData = &Finalize;
    spec.events = &MenuEvents;
    spec.emptyEvent = EmptyEvent::Undefined;
    spec.makeState = &MakeState;
    script::ClassRecord* cls = RegisterHostClass(interp, spec);
    StateOf(*cls).self.emplace(interp, script::GlobalByName(interp, kClassName));
}

bool FireMenuCommand(Interpreter& interp, uint32_t id) {
    const auto found = States().find(&interp);
    if (found == States().end()) return false;
    MenuState& state = *found->second;
    const std::string* name = state.commands.NameOf(id);
    if (!name) return false;
    const Value item = AnsiStringValue(interp, *name);
    (void)FireEvent(interp, state.events, kOnCommand, state.self->Get(), {item});
    return true;
}

}  // namespace velmo::host
