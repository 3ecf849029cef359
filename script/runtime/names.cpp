#include "script/runtime/names.h"

#include "script/runtime/name_hash.h"

namespace velmo::script {

uint32_t NameTable::Find(std::string_view name) const {
    // The bucket count is a power of two.
    for (const NameEntry* e = buckets_[NameHash(name) & (buckets_.size() - 1)]; e; e = e->next)
        if (e->text == name) return e->id;
    return kNoName;
}

uint32_t NameTable::FindAscii(std::u16string_view name) const {
    for (const NameEntry* e = buckets_[NameHash(name) & (buckets_.size() - 1)]; e; e = e->next)
        if (SameAsciiName(e->text, name)) return e->id;
    return kNoName;
}

uint32_t NameTable::Intern(std::string_view name) {
    const uint32_t found = Find(name);
    if (found != kNoName) return found;
    if (byId_.size() >= 2 * buckets_.size()) Grow();
    NameEntry*& head = buckets_[NameHash(name) & (buckets_.size() - 1)];
    auto entry = std::make_unique<NameEntry>(NameEntry{std::string(name), Count(), head});
    head = entry.get();
    byId_.push_back(std::move(entry));
    return head->id;
}

void NameTable::Grow() {
    std::vector<NameEntry*> grown(buckets_.size() * 2, nullptr);
    const size_t mask = grown.size() - 1;
    for (const auto& entry : byId_) {
        NameEntry*& head = grown[NameHash(entry->text) & mask];
        entry->next = head;
        head = entry.get();
    }
    buckets_.swap(grown);
}

std::string_view NameTable::Text(uint32_t id) const {
    const NameEntry* e = Entry(id);
    return e ? std::string_view(e->text) : std::string_view("???");
}

}  // namespace velmo::script
