// DesktopToy is a static object: its state lives in the class state, one animation per engine.
// Every way an animation ends (stop, followCursor = false, a motion that comes to rest, a new act)
// goes through Stop, which fires onStop even when nothing was running. Without a frame (a script
// run by `velmo run`) the timer still runs and the object answers as usual, but nothing moves and
// onStop reports the left and top 0, 0.
#include "host/classes/desktop_toy_object.h"

#include <optional>
#include <string>
#include <unordered_map>

#include "host/classes/desktop_toy_motion.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/timers.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"

namespace velmo::host {

namespace {

using script::Interpreter;
using script::Tag;
using script::Value;

constexpr char kGlobalName[] = "DesktopToy";
constexpr uint32_t kTickMs = 10;
enum EventSlot : int { kOnStop, kEventCount };
enum class Mode { None, Following, Moving };

class ToyState;
std::unordered_map<const Interpreter*, ToyState*>& States() {
    static std::unordered_map<const Interpreter*, ToyState*> states;
    return states;
}

class ToyState final : public HostClassState {
public:
    explicit ToyState(Interpreter& interp) : events(interp, kEventCount), interp_(&interp) { States()[&interp] = this; }
    // The engine goes: its timer must not tick into it, and no script runs any more to hear onStop.
    ~ToyState() override {
        if (timer != 0) platform::StopTimer(timer);
        States().erase(interp_);
    }
    uint32_t Now() const { return clock ? clock() : platform::TickCountMs(); }

    EventHandlers events;
    std::optional<script::Pinned> self;  // the published value, `this` of onStop
    Mode mode = Mode::None;
    uint32_t timer = 0;
    ToyMotion motion;
    std::optional<std::string> spriteBounds, spriteInfoFrame;
    std::function<uint32_t()> clock;

private:
    Interpreter* interp_;  // not owned
};

ToyState& StateOf(const script::ClassRecord& cls) { return *ClassStateAs<ToyState>(cls); }

ToyState* StateOf(const Interpreter& interp) {
    const auto found = States().find(&interp);
    return found == States().end() ? nullptr : found->second;
}

void Stop(Interpreter& interp, ToyState& state) {
    if (state.timer != 0) platform::StopTimer(state.timer);
    state.timer = 0;
    state.mode = Mode::None;
    const platform::Rect at = ProjectorOf(interp).MainWindowRect().value_or(platform::Rect{});
    (void)FireEvent(interp, state.events, kOnStop, state.self->Get(),
                    {Value::Integer(at.left), Value::Integer(at.top)});
}

void Tick(Interpreter& interp, ToyState& state, uint32_t now) {
    if (state.mode == Mode::None) return Stop(interp, state);
    Projector& projector = ProjectorOf(interp);
    const std::optional<platform::Rect> window = projector.MainWindowRect();
    const std::optional<platform::Rect> work = projector.WorkArea();
    if (!window || !work) return;
    if (state.mode == Mode::Following) {
        const std::optional<platform::Point> pointer = projector.PointerPosition();
        if (!pointer) return;
        const platform::Point to = StepFollow(*window, *work, *pointer);
        if (to != platform::Point{window->left, window->top}) (void)projector.MoveMainWindow(to.x, to.y);
        return;
    }
    const MotionStep step = StepThrow(state.motion, *window, *work, now);
    (void)projector.MoveMainWindow(step.topLeft.x, step.topLeft.y);
    if (step.ended) Stop(interp, state);
}

// A running animation ends first (its onStop fires), then the new one takes the timer.
void Start(Interpreter& interp, ToyState& state, Mode mode) {
    if (state.timer != 0) Stop(interp, state);
    state.mode = mode;
    state.timer = platform::StartTimer(kTickMs, [&interp] {
        if (ToyState* s = StateOf(interp)) Tick(interp, *s, s->Now());
    });
}

// act(speed, direction, acceleration, accelerationDirection, loss[, bounce])
void Act(HostCall& call) {
    const std::optional<std::array<int64_t, 5>> a = call.args.RequiredIntegers<5>();
    if (!a) return call.Fail();
    ToyState& state = StateOf(call.cls);
    const ThrowSpec spec{(*a)[0], (*a)[1], (*a)[2],
                         (*a)[3], (*a)[4], call.args.Has(6) && script::ToBoolean(call.args[6])};
    // Without a frame the motion starts from the screen's corner, and nothing moves.
    const platform::Rect window = ProjectorOf(call.interp).MainWindowRect().value_or(platform::Rect{});
    state.motion = StartThrow(spec, window, state.Now());
    Start(call.interp, state, Mode::Moving);
}

void StopMethod(HostCall& call) { Stop(call.interp, StateOf(call.cls)); }

void FollowCursor(HostProperty& access) {
    ToyState& state = StateOf(access.cls);
    if (!access.isSet) return access.Return(Value::Boolean(state.mode == Mode::Following));
    if (script::ToBoolean(access.Incoming())) Start(access.interp, state, Mode::Following);
    else Stop(access.interp, state);
}

// An empty bounds name publishes no sprite, as an unset one does.
void SpriteText(HostProperty& access, std::optional<std::string>& field) {
    if (!access.isSet) return access.ReturnAnsi(field.value_or(std::string()));
    if (!access.Incoming().Is(Tag::String)) return;
    field = platform::Utf16ToAnsi(script::Text(access.Incoming().AsString()));
    const ToyState& state = StateOf(access.cls);
    ProjectorOf(access.interp)
        .SetSprite(state.spriteBounds.value_or(std::string()), state.spriteInfoFrame.value_or(std::string()));
}
void SpriteBounds(HostProperty& access) { SpriteText(access, StateOf(access.cls).spriteBounds); }
void SpriteInfoFrame(HostProperty& access) { SpriteText(access, StateOf(access.cls).spriteInfoFrame); }

constexpr HostMember kMembers[] = {
    PropertyMember("spriteBounds", &SpriteBounds), PropertyMember("spriteInfoFrame", &SpriteInfoFrame),
    PropertyMember("followCursor", &FollowCursor), Event("onStop", kOnStop),
    Method("act", Failure::Undefined, &Act),       Method("stop", Failure::Undefined, &StopMethod),
};

EventHandlers* ToyEvents(script::ClassRecord& cls, void*) { return &StateOf(cls).events; }
std::unique_ptr<HostClassState> MakeState(Interpreter& interp) { return std::make_unique<ToyState>(interp); }

constexpr HostClassSpec kSpec{
    .name = kGlobalName,
    .members = kMembers,
    .construct = nullptr,
    .callIsConstruct = false,
    .events = &ToyEvents,
    .emptyEvent = EmptyEvent::Undefined,
    .makeState = &MakeState,
};

}  // namespace

void RegisterDesktopToyClass(Interpreter& interp) {
    script::ClassRecord* cls = RegisterHostClass(interp, kSpec);
    StateOf(*cls).self.emplace(interp, script::GlobalByName(interp, kGlobalName));
}

void StepDesktopToy(Interpreter& interp, uint32_t nowMs) {
    if (ToyState* state = StateOf(interp)) Tick(interp, *state, nowMs);
}

void SetDesktopToyClock(Interpreter& interp, std::function<uint32_t()> clock) {
    if (ToyState* state = StateOf(interp)) state->clock = std::move(clock);
}

}  // namespace velmo::host
