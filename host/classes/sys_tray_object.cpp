// SysTray keeps the tray's texts in its class state, apart from the settings records: a script
// that sets a tip or an icon changes what the next add() shows, and a shown icon at once. A tip
// never set shows the window's title, as the tray's own icon does.
#include "host/classes/sys_tray_object.h"

#include <optional>
#include <string>
#include <unordered_map>

#include "host/classes/settings_objects.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"

namespace velmo::host {

namespace {

using script::Interpreter;
using script::Tag;
using script::Value;

enum EventSlot : int { kOnMouseMove, kOnLClicked, kOnRClicked, kOnLDblClicked, kOnRDblClicked, kEventCount };

struct MouseEvent {
    uint32_t message;
    int event;
};
constexpr MouseEvent kMouseEvents[] = {
    {0x200, kOnMouseMove}, {0x202, kOnLClicked}, {0x205, kOnRClicked}, {0x203, kOnLDblClicked}, {0x206, kOnRDblClicked},
};

class TrayState;
std::unordered_map<const Interpreter*, TrayState*>& States() {
    static std::unordered_map<const Interpreter*, TrayState*> states;
    return states;
}

class TrayState final : public HostClassState {
public:
    explicit TrayState(Interpreter& interp) : events(interp, kEventCount), interp_(&interp) {
        States()[&interp] = this;
    }
    ~TrayState() override { States().erase(interp_); }

    EventHandlers events;
    std::optional<script::Pinned> self;  // the published value, `this` of the events
    std::string tip, iconFile;
    TrayBalloon balloon;
    bool useDefaultHandler = true;

private:
    Interpreter* interp_;  // not owned
};

TrayState& StateOf(const script::ClassRecord& cls) { return *ClassStateAs<TrayState>(cls); }

TrayIconSpec IconOf(Projector& projector, const TrayState& state) {
    return {state.tip.empty() ? projector.Settings().appearance.caption : state.tip, state.iconFile, 128};
}

void Add(HostCall& call) {
    Projector& projector = ProjectorOf(call.interp);
    call.ReturnBoolean(projector.ShowTrayIcon(IconOf(projector, StateOf(call.cls))));
}
void Remove(HostCall& call) { call.ReturnBoolean(ProjectorOf(call.interp).RemoveTrayIcon()); }
void ShowBalloonTip(HostCall& call) {
    call.ReturnBoolean(ProjectorOf(call.interp).ShowTrayBalloon(StateOf(call.cls).balloon));
}

void UpdateShownIcon(Interpreter& interp, const TrayState& state) {
    Projector& projector = ProjectorOf(interp);
    if (projector.TrayIconShown()) (void)projector.ShowTrayIcon(IconOf(projector, state));
}

std::optional<std::string> IncomingText(const HostProperty& access) {
    if (!access.Incoming().Is(Tag::String)) return std::nullopt;
    return platform::Utf16ToAnsi(script::Text(access.Incoming().AsString()));
}

// Any value is taken as its text.
void Tip(HostProperty& access) {
    TrayState& state = StateOf(access.cls);
    if (!access.isSet) return access.ReturnAnsi(state.tip);
    state.tip = platform::Utf16ToAnsi(script::ToText(access.interp, access.Incoming()));
    UpdateShownIcon(access.interp, state);
}

void Icon(HostProperty& access) {
    if (!access.isSet) return access.Return(Value::Undefined());
    TrayState& state = StateOf(access.cls);
    std::optional<std::string> file = IncomingText(access);
    if (!file) return;
    state.iconFile = std::move(*file);
    UpdateShownIcon(access.interp, state);
}

void TextField(HostProperty& access, std::string& field, bool readable) {
    if (!access.isSet) return readable ? access.ReturnAnsi(field) : access.Return(Value::Undefined());
    if (std::optional<std::string> text = IncomingText(access)) field = std::move(*text);
}
void BalloonTip(HostProperty& access) { TextField(access, StateOf(access.cls).balloon.text, true); }
void BalloonTitle(HostProperty& access) { TextField(access, StateOf(access.cls).balloon.title, true); }
void BalloonIcon(HostProperty& access) { TextField(access, StateOf(access.cls).balloon.icon, false); }

// ToNumber, truncated; held to what the system's 32-bit time-out can say.
void BalloonTimeout(HostProperty& access) {
    uint32_t& timeout = StateOf(access.cls).balloon.timeoutMs;
    if (!access.isSet) return access.Return(Value::Integer(timeout));
    const int64_t ms = script::ToInteger64(access.interp, access.Incoming());
    timeout = static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, UINT32_MAX));
}

void UseDefaultHandler(HostProperty& access) {
    TrayState& state = StateOf(access.cls);
    if (!access.isSet) return access.Return(Value::Boolean(state.useDefaultHandler));
    state.useDefaultHandler = script::ToBoolean(access.Incoming());
}

constexpr HostMember kMembers[] = {
    Method("add", Failure::False, &Add),
    Method("remove", Failure::False, &Remove),
    Method("showBalloonTip", Failure::False, &ShowBalloonTip),
    PropertyMember("tip", &Tip),
    PropertyMember("icon", &Icon),
    PropertyMember("balloonTip", &BalloonTip),
    PropertyMember("balloonTitle", &BalloonTitle),
    PropertyMember("balloonTimeout", &BalloonTimeout),
    PropertyMember("balloonIcon", &BalloonIcon),
    PropertyMember("useDefaultHandler", &UseDefaultHandler),
    Event("onMouseMove", kOnMouseMove),
    Event("onLClicked", kOnLClicked),
    Event("onRClicked", kOnRClicked),
    Event("onLDblClicked", kOnLDblClicked),
    Event("onRDblClicked", kOnRDblClicked),
};

EventHandlers* TrayEvents(script::ClassRecord& cls, void*) { return &StateOf(cls).events; }
std::unique_ptr<HostClassState> MakeState(Interpreter& interp) { return std::make_unique<TrayState>(interp); }

constexpr HostClassSpec kSpec{
    .name = "_Tray_",
    .displayName = "SysTray",
    .members = kMembers,
    .events = &TrayEvents,
    .emptyEvent = EmptyEvent::Undefined,
    .makeState = &MakeState,
};

}  // namespace

void RegisterSysTrayClass(Interpreter& interp) {
    script::ClassRecord* cls = RegisterHostClass(interp, kSpec);
    StateOf(*cls).self.emplace(interp, script::GlobalByName(interp, kSysTrayGlobal));
}

bool FireTrayMouse(Interpreter& interp, uint32_t mouseMessage) {
    const auto found = States().find(&interp);
    if (found == States().end()) return true;
    TrayState& state = *found->second;
    for (const MouseEvent& entry : kMouseEvents)
        if (entry.message == mouseMessage)
            (void)FireEvent(interp, state.events, static_cast<size_t>(entry.event), state.self->Get());
    // The handler may have changed it, and the state outlives the handler: the interpreter does.
    return state.useDefaultHandler;
}

}  // namespace velmo::host
