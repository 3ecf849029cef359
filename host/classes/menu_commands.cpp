#include "host/classes/menu_commands.h"

namespace velmo::host {

std::optional<uint32_t> MenuCommandTable::Register(const std::string& name, const std::string& accelerator) {
    uint32_t id = 0;
    if (const auto known = ids_.find(name); known != ids_.end()) {
        id = known->second;
    } else {
        constexpr uint32_t kRange = kLastMenuCommand - kFirstMenuCommand + 1;
        if (entries_.size() >= kRange) return std::nullopt;
        while (entries_.contains(next_)) next_ = next_ == kLastMenuCommand ? kFirstMenuCommand : next_ + 1;
        id = next_;
        next_ = next_ == kLastMenuCommand ? kFirstMenuCommand : next_ + 1;
        entries_[id].name = name;
        ids_[name] = id;
    }
    Entry& entry = entries_[id];
    ++entry.items;
    if (!accelerator.empty()) entry.accelerator = accelerator;
    return id;
}

void MenuCommandTable::Release(uint32_t id) {
    const auto found = entries_.find(id);
    if (found == entries_.end()) return;
    if (--found->second.items > 0) return;
    ids_.erase(found->second.name);
    entries_.erase(found);
}

const std::string* MenuCommandTable::NameOf(uint32_t id) const {
    const auto found = entries_.find(id);
    return found == entries_.end() ? nullptr : &found->second.name;
}

std::optional<uint32_t> MenuCommandTable::IdOf(const std::string& name) const {
    const auto found = ids_.find(name);
    if (found == ids_.end()) return std::nullopt;
    return found->second;
}

std::string MenuCommandTable::AcceleratorOf(uint32_t id) const {
    const auto found = entries_.find(id);
    return found == entries_.end() ? std::string() : found->second.accelerator;
}

}  // namespace velmo::host
