#include "shell/menu_definition.h"

#include "platform/byte_order.h"

namespace velmo::shell {

namespace {

constexpr uint8_t kLongLength8 = 0xFF;
constexpr uint16_t kLongLength16 = 0xFFFF;

class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool AtEnd() const { return at_ == bytes_.size(); }
    std::optional<uint32_t> Number() {
        if (bytes_.size() - at_ < 4) return std::nullopt;
        const uint32_t value = platform::LoadU32(bytes_.data() + at_);
        at_ += 4;
        return value;
    }
    std::optional<std::string> Text() {
        const std::optional<uint32_t> length = Length();
        if (!length || bytes_.size() - at_ < *length) return std::nullopt;
        std::string text(reinterpret_cast<const char*>(bytes_.data() + at_), *length);
        at_ += *length;
        return text;
    }
    // Items one after the other; every item takes at least 15 bytes, so a count the bytes left
    // cannot hold is refused before anything is reserved for it.
    bool Items(uint32_t count, int depth, std::vector<MenuDefinitionItem>& items) {
        if (depth > kMaxMenuDepth || count > (bytes_.size() - at_) / 15) return false;
        items.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            MenuDefinitionItem item;
            if (!Item(depth, item)) return false;
            items.push_back(std::move(item));
        }
        return true;
    }

private:
    std::optional<uint32_t> Length() {
        if (at_ >= bytes_.size()) return std::nullopt;
        const uint8_t short8 = bytes_[at_++];
        if (short8 != kLongLength8) return short8;
        if (bytes_.size() - at_ < 2) return std::nullopt;
        const uint16_t short16 = platform::LoadU16(bytes_.data() + at_);
        at_ += 2;
        if (short16 != kLongLength16) return short16;
        return Number();
    }
    bool Item(int depth, MenuDefinitionItem& item) {
        const std::optional<uint32_t> flags = Number(), unused1 = Number(), unused2 = Number();
        if (!flags || !unused1 || !unused2) return false;
        std::optional<std::string> name = Text(), caption = Text(), accelerator = Text();
        if (!name || !caption || !accelerator) return false;
        item.flags = *flags;
        item.name = std::move(*name);
        item.caption = std::move(*caption);
        item.accelerator = std::move(*accelerator);
        if (!item.IsPopup()) return true;
        const std::optional<uint32_t> count = Number();
        return count && Items(*count, depth + 1, item.children);
    }

    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

void AppendText(std::vector<uint8_t>& out, const std::string& text) {
    if (text.size() < kLongLength8) {
        out.push_back(static_cast<uint8_t>(text.size()));
    } else if (text.size() < kLongLength16) {
        out.push_back(kLongLength8);
        platform::AppendU16(out, static_cast<uint16_t>(text.size()));
    } else {
        out.push_back(kLongLength8);
        platform::AppendU16(out, kLongLength16);
        platform::AppendU32(out, static_cast<uint32_t>(text.size()));
    }
    out.insert(out.end(), text.begin(), text.end());
}

void AppendItems(std::vector<uint8_t>& out, const std::vector<MenuDefinitionItem>& items) {
    platform::AppendU32(out, static_cast<uint32_t>(items.size()));
    for (const MenuDefinitionItem& item : items) {
        // The popup flag follows the children, so that what is written reads back the same.
        const uint32_t flags = item.children.empty() ? item.flags : (item.flags | kMenuItemPopup);
        platform::AppendU32(out, flags);
        platform::AppendU32(out, 0);
        platform::AppendU32(out, 0);
        AppendText(out, item.name);
        AppendText(out, item.caption);
        AppendText(out, item.accelerator);
        if (flags & kMenuItemPopup) AppendItems(out, item.children);
    }
}

}  // namespace

std::optional<std::vector<MenuDefinitionItem>> ReadMenuDefinition(std::span<const uint8_t> bytes) {
    Reader reader(bytes);
    for (int i = 0; i < 3; ++i)
        if (!reader.Number()) return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (!reader.Text()) return std::nullopt;
    const std::optional<uint32_t> count = reader.Number();
    std::vector<MenuDefinitionItem> items;
    if (!count || !reader.Items(*count, 0, items) || !reader.AtEnd()) return std::nullopt;
    return items;
}

std::vector<uint8_t> WriteMenuDefinition(const std::vector<MenuDefinitionItem>& items) {
    std::vector<uint8_t> out;
    for (int i = 0; i < 3; ++i) platform::AppendU32(out, 0);
    for (int i = 0; i < 3; ++i) AppendText(out, {});
    AppendItems(out, items);
    return out;
}

}  // namespace velmo::shell
