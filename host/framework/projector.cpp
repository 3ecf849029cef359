#include "host/framework/projector.h"

#include "platform/environment.h"
#include "platform/profile.h"
#include "platform/timers.h"
#include "script/runtime/interpreter_api.h"

namespace velmo::host {

Projector::Projector() = default;
Projector::~Projector() = default;

std::string Projector::CommandLine() const { return platform::ProcessCommandLine(); }

// Scripts run without an application share one profile of the tool's own, so that what one run
// writes the next can read, as an application's runs do.
platform::Profile* Projector::Profile() {
    if (!profile_) profile_ = platform::OpenProfile("Velmo", "Scripts");
    return profile_.get();
}

// Without a frame the only events are the timers'.
bool Projector::PumpMessages() {
    platform::RunDueTimers(0);
    return true;
}

Projector& StandaloneProjector() {
    static Projector projector;
    return projector;
}

Projector& ProjectorOf(const script::Interpreter& interp) {
    void* host = script::HostPointer(interp);
    return host ? *static_cast<Projector*>(host) : StandaloneProjector();
}

}  // namespace velmo::host
