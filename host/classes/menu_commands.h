#pragma once
// The command table of the scripts' menus: each item name gets a command id in 0xB798..0xDEA7
// (47000 to 56999), the range the main frame hands to the Menu objects, and keeps the accelerator
// text it was given. A name appended several times keeps one id; the table counts the items that
// use it, and the name goes when its last item goes. Ids are handed out upward from 47000 and
// come back only after the whole range was handed out once, so a command still on its way for a
// name that went does not reach a newer name.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmo::host {

inline constexpr uint32_t kFirstMenuCommand = 0xB798;
inline constexpr uint32_t kLastMenuCommand = 0xDEA7;

inline bool IsMenuCommand(uint32_t id) { return id >= kFirstMenuCommand && id <= kLastMenuCommand; }

class MenuCommandTable {
public:
    // The id of `name` for one more item; a non-empty `accelerator` replaces the name's key text.
    // None when every id is taken.
    std::optional<uint32_t> Register(const std::string& name, const std::string& accelerator);
    // One item of the id fewer; the last takes the name out of the table.
    void Release(uint32_t id);

    // Null for an id no name has.
    const std::string* NameOf(uint32_t id) const;
    std::optional<uint32_t> IdOf(const std::string& name) const;
    // Empty for none.
    std::string AcceleratorOf(uint32_t id) const;
    size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        std::string name, accelerator;
        uint32_t items = 0;
    };
    std::map<uint32_t, Entry> entries_;
    std::map<std::string, uint32_t> ids_;
    uint32_t next_ = kFirstMenuCommand;
};

}  // namespace velmo::host
