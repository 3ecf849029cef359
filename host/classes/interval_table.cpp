#include "host/classes/interval_table.h"

#include <algorithm>

#include "platform/timers.h"
#include "script/runtime/calls.h"
#include "script/runtime/trace_output.h"

namespace velmo::host {

using script::Pinned;
using script::Value;

namespace {
// The system timer's own bounds: shorter periods run at its minimum, longer ones at its maximum.
constexpr int64_t kMinimumPeriodMs = 10;
constexpr int64_t kMaximumPeriodMs = 0x7FFFFFFF;
}  // namespace

IntervalTable::~IntervalTable() {
    for (const auto& [id, interval] : intervals_) platform::StopTimer(id);
}

uint32_t IntervalTable::Start(int64_t periodMs, const Value& target, std::string method,
                              const std::vector<Value>& arguments) {
    const uint64_t ticket = nextTicket_++;
    const auto period = static_cast<uint32_t>(std::clamp(periodMs, kMinimumPeriodMs, kMaximumPeriodMs));
    const uint32_t id = platform::StartTimer(period, [this, ticket] { Tick(ticket); });
    if (id == 0) return 0;
    std::vector<Pinned> pinned;
    pinned.reserve(arguments.size());
    for (const Value& argument : arguments) pinned.emplace_back(interp_, argument);
    intervals_.erase(id);  // ids are the system's: one is given again only after its timer stopped
    intervals_.emplace(id, Interval{ticket, Pinned(interp_, target), std::move(method), std::move(pinned)});
    return id;
}

bool IntervalTable::Clear(uint32_t id) {
    const auto found = intervals_.find(id);
    if (found == intervals_.end()) return false;
    if (id != 0) platform::StopTimer(id);
    intervals_.erase(found);
    return true;
}

// A tick that fails is reported like a failed movie command, and the interval goes on.
void IntervalTable::Tick(uint64_t ticket) {
    const auto found = std::find_if(intervals_.begin(), intervals_.end(),
                                    [ticket](const auto& entry) { return entry.second.ticket == ticket; });
    if (found == intervals_.end()) return;
    const Interval& interval = found->second;
    // Pins of the call's own: the callee may clear its interval, which drops the record's pins.
    const Pinned target(interp_, interval.target.Get());
    std::vector<Pinned> pins;
    std::vector<Value> vector{Value::Integer(static_cast<int64_t>(interval.arguments.size()))};
    for (const Pinned& argument : interval.arguments) {
        pins.emplace_back(interp_, argument.Get());
        vector.push_back(argument.Get());
    }
    const bool ok =
        interval.method.empty()
            ? script::CallValue(interp_, Value::Null(), target.Get(), vector.data())
            : script::InvokeMethod(interp_, target.Get(), script::Intern(interp_, interval.method), vector.data());
    if (ok) return;
    const std::string& error = script::ErrorText(interp_);
    if (!error.empty()) script::Trace(interp_).WriteLine(error);
}

}  // namespace velmo::host
