#include "script/runtime/names.h"

#include "script/runtime/name_hash.h"

namespace velmo::script {

uint32_t NameTable::Find(std::string_view name) const {
    const uint32_t hash = NameHash(name);
    for (const NameEntry* e = buckets_[BucketOf(hash)]; e; e = e->next)
        if (e->hash == hash && e->text == name) return e->id;
    return kNoName;
}

uint32_t NameTable::FindAscii(std::u16string_view name) const {
    const uint32_t hash = NameHash(name);
    for (const NameEntry* e = buckets_[BucketOf(hash)]; e; e = e->next)
        if (e->hash == hash && SameAsciiName(e->text, name)) return e->id;
    return kNoName;
}

uint32_t NameTable::Intern(std::string_view name) {
    const uint32_t found = Find(name);
    if (found != kNoName) return found;
    if (byId_.size() >= 2 * buckets_.size()) Grow();
    const uint32_t hash = NameHash(name);
    NameEntry*& head = buckets_[BucketOf(hash)];
    auto entry = std::make_unique<NameEntry>(NameEntry{std::string(name), Count(), hash, head});
    head = entry.get();
    byId_.push_back(std::move(entry));
    return head->id;
}

void NameTable::Grow() {
    std::vector<NameEntry*> grown(buckets_.size() * 2, nullptr);
    --bucketShift_;
    for (const auto& entry : byId_) {
        NameEntry*& head = grown[BucketOf(entry->hash)];
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
