// Display modes go through the system's display settings rather than a display-driver object: a
// temporary full-screen mode of the whole display is what scripts ask for, and the settings call
// gives it without an exclusive window (so the main window needs no cooperative level, and a script
// without a frame can switch modes too). Each change is told to the projector as a note line.
#include "host/classes/direct_x_object.h"

#include <limits>
#include <string>

#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/display_modes.h"

namespace velmo::host {

namespace {

using script::Interpreter;

class DisplayState final : public HostClassState {
public:
    ~DisplayState() override {
        if (changed) (void)platform::RestoreDisplayMode();
    }
    bool changed = false;  // a mode this engine set is showing
};

DisplayState& StateOf(const script::ClassRecord& cls) { return *ClassStateAs<DisplayState>(cls); }

std::string ModeText(const platform::DisplayMode& mode) {
    return std::to_string(mode.width) + " x " + std::to_string(mode.height) + ", " + std::to_string(mode.bitsPerPixel) +
           " bits";
}

bool FitsInt(int64_t value) { return value > 0 && value <= std::numeric_limits<int>::max(); }

// setDisplayMode(width, height, bitsPerPixel)
void SetDisplayMode(HostCall& call) {
    const std::optional<std::array<int64_t, 3>> a = call.args.RequiredIntegers<3>();
    if (!a || !FitsInt((*a)[0]) || !FitsInt((*a)[1]) || !FitsInt((*a)[2])) return call.Fail();
    if (!platform::DisplayModesAvailable()) return call.Fail();
    const platform::DisplayMode mode{static_cast<int>((*a)[0]), static_cast<int>((*a)[1]), static_cast<int>((*a)[2])};
    const bool set = platform::SetDisplayMode(mode);
    if (set) StateOf(call.cls).changed = true;
    ProjectorOf(call.interp).Note("display mode " + ModeText(mode) + (set ? ": set" : ": refused"));
    call.ReturnBoolean(set);
}

void Restore(HostCall& call) {
    DisplayState& state = StateOf(call.cls);
    if (!state.changed) return call.ReturnBoolean(true);
    const bool restored = platform::RestoreDisplayMode();
    if (restored) state.changed = false;
    ProjectorOf(call.interp).Note(restored ? "display mode restored" : "display mode: restoring refused");
    call.ReturnBoolean(restored);
}

void CanSetDisplayMode(HostCall& call) { call.ReturnBoolean(platform::DisplayModesAvailable()); }

constexpr HostMember kMembers[] = {
    Method("setDisplayMode", Failure::False, &SetDisplayMode),
    Method("restore", Failure::False, &Restore),
    Method("canSetDisplayMode", Failure::False, &CanSetDisplayMode),
};

std::unique_ptr<HostClassState> MakeState(Interpreter&) { return std::make_unique<DisplayState>(); }

constexpr HostClassSpec kSpec{
    .name = "DirectX",
    .members = kMembers,
    .construct = nullptr,
    .callIsConstruct = false,
    .makeState = &MakeState,
};

}  // namespace

void RegisterDirectXClass(Interpreter& interp) { (void)RegisterHostClass(interp, kSpec); }

}  // namespace velmo::host
