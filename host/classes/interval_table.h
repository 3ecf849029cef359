#pragma once
// The scripts' intervals: a system timer per interval whose ticks call a function, or a method of
// any value by name, with the extra arguments given when it was set. The table belongs to one
// interpreter (the class state of Application), not to the process: destroying the interpreter
// stops every timer it started, so that no tick can reach an interpreter that is gone.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "script/runtime/pinned.h"

namespace velmo::host {

class IntervalTable {
public:
    explicit IntervalTable(script::Interpreter& interp) : interp_(interp) {}
    ~IntervalTable();
    IntervalTable(const IntervalTable&) = delete;
    IntervalTable& operator=(const IntervalTable&) = delete;

    // Starts an interval of `periodMs` whose ticks call `target` (a Function, called with this =
    // Null) or, with a `method` name (ANSI), the method of that name of `target`, with `arguments`.
    // The timer id (never 0), or 0 when the system gives no timer.
    uint32_t Start(int64_t periodMs, const script::Value& target, std::string method,
                   const std::vector<script::Value>& arguments);
    // Stops the interval `id` and forgets it; false when there is none.
    bool Clear(uint32_t id);
    size_t Count() const { return intervals_.size(); }

private:
    struct Interval {
        uint64_t ticket;  // what the timer's tick names it by: the id is known only once it runs
        script::Pinned target;
        std::string method;  // empty: the target is called as a function
        std::vector<script::Pinned> arguments;
    };
    void Tick(uint64_t ticket);

    script::Interpreter& interp_;
    std::map<uint32_t, Interval> intervals_;  // by timer id
    uint64_t nextTicket_ = 1;
};

}  // namespace velmo::host
