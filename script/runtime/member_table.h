#pragma once
// The members of a native class found by the name ids its operations receive. A class lists its
// members once, as a constant table of entries that each have a `name` (and whatever else the
// class needs to run them); the table interns every name when the class is registered and answers
// which entry, if any, an id names. Entries are told apart by what they hold, never by their
// position, so a table can be reordered or grown without touching the code that uses it.

#include <cstdint>
#include <span>
#include <vector>

#include "script/runtime/interpreter_api.h"

namespace velmo::script {

template <typename Entry>
class MemberTable {
public:
    MemberTable(Interpreter& interp, std::span<const Entry> entries) : entries_(entries) {
        ids_.reserve(entries.size());
        for (const Entry& entry : entries) ids_.push_back(Intern(interp, entry.name));
    }

    // The entry `nameId` names, or null. Tables are short (tens of members), and a linear scan of
    // ids is as quick as hashing for them.
    const Entry* Find(uint32_t nameId) const {
        for (size_t i = 0; i < ids_.size(); ++i)
            if (ids_[i] == nameId) return &entries_[i];
        return nullptr;
    }

private:
    std::span<const Entry> entries_;
    std::vector<uint32_t> ids_;
};

}  // namespace velmo::script
