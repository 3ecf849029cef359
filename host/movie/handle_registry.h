#pragma once
// Handles of host objects given to the movie. Each handle is a 32-bit number that names one pinned
// value; a number is a handle only while the registry holds it, so a number the movie made up is
// looked up and refused, never taken for an address. Every sending of a host value makes a new
// handle, even for an object that already has one.

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "script/runtime/interpreter_api.h"
#include "script/runtime/pinned.h"
#include "script/runtime/value.h"

namespace velmo::host {

class HandleRegistry;

// The registry of `interp`, made on first use. It lives in a hidden global of the interpreter, so
// it dies with the interpreter and needs no owner outside it; the interpreter frees its pins.
HandleRegistry& HandlesOf(script::Interpreter& interp);

class HandleRegistry {
public:
    explicit HandleRegistry(script::Interpreter& interp) : interp_(&interp) {}
    HandleRegistry(const HandleRegistry&) = delete;
    HandleRegistry& operator=(const HandleRegistry&) = delete;

    // Pins `value` and answers its new handle, a number from 1 to 2^31 - 1 (so that it reads back
    // the same as a signed 32-bit decimal); none when every such number is taken.
    std::optional<uint32_t> PinForMovie(const script::Value& value);
    // The pinned value when `number` is an Integer naming a live handle whose value is a
    // HostObject; none otherwise.
    std::optional<script::Value> Lookup(const script::Value& number) const;
    // "velmo_delete": releases the handle; the object's native data is finalized at once and
    // cleared, so the object's later sweep does nothing more. False for anything but a live handle.
    bool Unpin(const script::Value& number);

    size_t Count() const { return entries_.size(); }

private:
    std::optional<uint32_t> HandleOf(const script::Value& number) const;

    script::Interpreter* interp_;  // not owned
    std::unordered_map<uint32_t, script::Pinned> entries_;
    uint32_t nextHandle_ = 1;
};

}  // namespace velmo::host
