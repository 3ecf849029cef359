// Menu definitions as the runtime reads them: nested popups round trip, each length form of the
// texts, and damaged streams refused rather than read past.
#include "shell/menu_definition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace velmo::shell {
namespace {

std::vector<MenuDefinitionItem> Sample() {
    MenuDefinitionItem view{kMenuItemPopup, "", "&View", "", {{0, "zoom", "&Zoom", "Ctrl+Up", {}}}};
    MenuDefinitionItem file{kMenuItemPopup, "", "&File", "", {{0, "open", "&Open", "Ctrl+O", {}}, {}, view}};
    return {file, {0, "help", "&Help", "F1", {}}};
}

TEST(MenuDefinition, NestedPopupsAndSeparatorsRoundTrip) {
    const std::vector<MenuDefinitionItem> items = Sample();
    const std::vector<uint8_t> bytes = WriteMenuDefinition(items);
    const auto read = ReadMenuDefinition(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, items);
    EXPECT_TRUE((*read)[0].children[1].IsSeparator());
    EXPECT_FALSE((*read)[0].IsSeparator());  // a popup is never a separator, even without a name
    // Header: three numbers and three empty texts, then the count of top-level items.
    ASSERT_GE(bytes.size(), 19u);
    EXPECT_EQ(bytes[12], 0);
    EXPECT_EQ(platform::LoadU32(bytes.data() + 15), 2u);
}

TEST(MenuDefinition, TextsUseOneTwoOrSixLengthBytes) {
    for (const size_t size : {size_t{0}, size_t{254}, size_t{255}, size_t{65534}, size_t{65535}, size_t{70000}}) {
        const std::vector<MenuDefinitionItem> items = {{0, "n", std::string(size, 'c'), "", {}}};
        const std::vector<uint8_t> bytes = WriteMenuDefinition(items);
        const size_t prefix = size < 255 ? 1 : size < 65535 ? 3 : 7;
        EXPECT_EQ(bytes.size(), 19u + 12 + 2 + prefix + size + 1) << size;
        const auto read = ReadMenuDefinition(bytes);
        ASSERT_TRUE(read) << size;
        EXPECT_EQ((*read)[0].caption.size(), size);
    }
    // A stream written by hand with a long prefix for a short text reads as well.
    std::vector<uint8_t> bytes(12, 0);
    bytes.insert(bytes.end(), {0, 0, 0});
    platform::AppendU32(bytes, 1);
    for (int i = 0; i < 3; ++i) platform::AppendU32(bytes, 0);
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 'i', 'd', 1, 'C', 0});
    const auto read = ReadMenuDefinition(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ((*read)[0].name, "id");
    EXPECT_EQ((*read)[0].caption, "C");
}

TEST(MenuDefinition, DamagedStreamsAreRefused) {
    const std::vector<uint8_t> whole = WriteMenuDefinition(Sample());
    for (size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_FALSE(ReadMenuDefinition(std::span(whole.data(), cut))) << "cut at " << cut;
    std::vector<uint8_t> longer = whole;
    longer.push_back(0);
    EXPECT_FALSE(ReadMenuDefinition(longer));
    // A count far beyond what the bytes can hold, and a text length past the end.
    std::vector<uint8_t> counted = whole;
    platform::StoreU32(counted.data() + 15, 0x7FFFFFFF);
    EXPECT_FALSE(ReadMenuDefinition(counted));
    std::vector<uint8_t> lengthy = WriteMenuDefinition({{0, "n", "c", "", {}}});
    lengthy[19 + 12] = 0xFE;
    EXPECT_FALSE(ReadMenuDefinition(lengthy));
}

TEST(MenuDefinition, PopupsNestOnlySoDeep) {
    const auto nested = [](int depth) {
        MenuDefinitionItem item{0, "leaf", "Leaf", "", {}};
        for (int i = 0; i < depth; ++i) item = {kMenuItemPopup, "", "P", "", {item}};
        return std::vector<MenuDefinitionItem>{item};
    };
    EXPECT_TRUE(ReadMenuDefinition(WriteMenuDefinition(nested(kMaxMenuDepth))));
    EXPECT_FALSE(ReadMenuDefinition(WriteMenuDefinition(nested(kMaxMenuDepth + 1))));
}

}  // namespace
}  // namespace velmo::shell
