#include "script/runtime/names.h"

#include "script/runtime/name_hash.h"

namespace velmo::script {

uint32_t NameTable::Find(std::string_view name) const {
    for (const NameEntry* e = buckets_[NameHash(name) % kNameBuckets]; e; e = e->next)
        if (e->text == name) return e->id;
    return kNoName;
}

uint32_t NameTable::Intern(std::string_view name) {
    const uint32_t found = Find(name);
    if (found != kNoName) return found;
    NameEntry*& head = buckets_[NameHash(name) % kNameBuckets];
    auto entry = std::make_unique<NameEntry>(NameEntry{std::string(name), Count(), head});
    head = entry.get();
    byId_.push_back(std::move(entry));
    return head->id;
}

std::string_view NameTable::Text(uint32_t id) const {
    const NameEntry* e = Entry(id);
    return e ? std::string_view(e->text) : std::string_view("???");
}

}  // namespace velmo::script
