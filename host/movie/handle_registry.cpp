// The registry is the native data of a host value in a global whose name no script can write
// ("@" cannot start an identifier); its FinalizeData deletes it when the interpreter goes.
#include "host/movie/handle_registry.h"

#include <limits>

#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"

namespace velmo::host {

namespace {

constexpr std::string_view kRegistryGlobal = "@movie_handles";
constexpr uint32_t kMaxHandle = std::numeric_limits<int32_t>::max();

void FinalizeRegistry(script::ClassRecord&, void* nativeData) { delete static_cast<HandleRegistry*>(nativeData); }

}  // namespace

HandleRegistry& HandlesOf(script::Interpreter& interp) {
    script::Value& slot = script::GlobalByName(interp, kRegistryGlobal);
    if (slot.Is(script::Tag::HostObject) && slot.AsHost()->cls->FinalizeData == &FinalizeRegistry &&
        slot.AsHost()->nativeData)
        return *static_cast<HandleRegistry*>(slot.AsHost()->nativeData);
    script::ClassRecord* cls = script::NewClass(interp, "MovieHandles");
    cls->FinalizeData = &FinalizeRegistry;
    auto* registry = new HandleRegistry(interp);
    script::GlobalByName(interp, kRegistryGlobal) = script::NewHostValue(interp, cls, registry);
    return *registry;
}

std::optional<uint32_t> HandleRegistry::PinForMovie(const script::Value& value) {
    // Numbers are handed out in turn and wrap; a number still held is skipped, so a released
    // handle is not reused before the others have had their turn.
    for (uint32_t tries = 0; tries < kMaxHandle; ++tries) {
        const uint32_t handle = nextHandle_;
        nextHandle_ = nextHandle_ >= kMaxHandle ? 1 : nextHandle_ + 1;
        if (entries_.count(handle)) continue;
        entries_.emplace(handle, script::Pinned(*interp_, value));
        return handle;
    }
    return std::nullopt;
}

std::optional<uint32_t> HandleRegistry::HandleOf(const script::Value& number) const {
    if (!number.Is(script::Tag::Integer)) return std::nullopt;
    const int64_t n = number.AsInteger();
    if (n < 1 || n > kMaxHandle) return std::nullopt;  // 2^32 + h must not alias h
    const auto handle = static_cast<uint32_t>(n);
    if (!entries_.count(handle)) return std::nullopt;
    return handle;
}

std::optional<script::Value> HandleRegistry::Lookup(const script::Value& number) const {
    const std::optional<uint32_t> handle = HandleOf(number);
    if (!handle) return std::nullopt;
    const script::Value value = entries_.at(*handle).Get();
    if (!value.Is(script::Tag::HostObject)) return std::nullopt;
    return value;
}

bool HandleRegistry::Unpin(const script::Value& number) {
    const std::optional<uint32_t> handle = HandleOf(number);
    if (!handle) return false;
    const auto found = entries_.find(*handle);
    const script::Value value = found->second.Get();
    entries_.erase(found);
    if (value.Is(script::Tag::HostObject)) {
        script::HostRecord* host = value.AsHost();
        void* data = host->nativeData;
        host->nativeData = nullptr;  // cleared first: a FinalizeData that re-enters sees no data
        if (host->cls->FinalizeData && data) host->cls->FinalizeData(*host->cls, data);
    }
    return true;
}

}  // namespace velmo::host
