// The PE resource reader against images from our writer, damaged images, and (when the system has
// them) PE files that other tools wrote, checked against wrestool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/byte_order.h"
#include "platform/common/pe_resources.h"
#include "platform/files.h"
#include "tests/support/scratch.h"
#include "tools/builder/pe_writer.h"

namespace velmo::platform {
namespace {

using builder::ImageResource;
using testing::Bytes;

std::vector<uint8_t> SampleImage() {
    return builder::WriteResourceImage({
        {"MOVORA", "ST", 0, Bytes("settings")},
        {"MOVORA", "ID", 0, Bytes("identifier")},
        {"VELMO", "Initialize", 0x409, Bytes("english")},
        {"VELMO", "Initialize", 0x407, Bytes("german")},
        {"#10", "#7", 0x407, Bytes("numbered")},
    });
}

std::optional<std::vector<uint8_t>> Lookup(const std::vector<uint8_t>& image, const std::string& type,
                                           const std::string& name) {
    MemoryByteSource source(image);
    const PeResourceTable table = ReadPeResources(source);
    if (table.status != PeStatus::Ok) return std::nullopt;
    const PeResource* r = table.Find(ResourceKey::Parse(type), ResourceKey::Parse(name));
    if (!r) return std::nullopt;
    return ReadPeResourceData(source, *r);
}

TEST(PeResources, FindsWrittenResourcesByNameOrNumberInAnyCase) {
    const std::vector<uint8_t> image = SampleImage();
    EXPECT_EQ(Lookup(image, "MOVORA", "ST"), Bytes("settings"));
    EXPECT_EQ(Lookup(image, "movora", "id"), Bytes("identifier"));
    EXPECT_EQ(Lookup(image, "#10", "#7"), Bytes("numbered"));
    EXPECT_EQ(Lookup(image, "VELMO", "Missing"), std::nullopt);
    EXPECT_EQ(Lookup(image, "#11", "#7"), std::nullopt);
    EXPECT_EQ(Lookup(image, "10", "7"), std::nullopt);  // without '#' these are names, not numbers
}

TEST(PeResources, PrefersNeutralThenEnglishLanguage) {
    EXPECT_EQ(Lookup(SampleImage(), "VELMO", "INITIALIZE"), Bytes("english"));
    const std::vector<uint8_t> neutral =
        builder::WriteResourceImage({{"T", "N", 0x407, Bytes("german")}, {"T", "N", 0, Bytes("neutral")}});
    EXPECT_EQ(Lookup(neutral, "T", "N"), Bytes("neutral"));
}

TEST(PeResources, WriterRefusesDuplicatesAndStoresNamesUpperCaseSorted) {
    EXPECT_THROW(builder::WriteResourceImage({{"T", "a", 0, {}}, {"T", "A", 0, {}}}), std::runtime_error);
    std::vector<uint8_t> image = SampleImage();
    MemoryByteSource source(image);
    const PeResourceTable table = ReadPeResources(source);
    ASSERT_EQ(table.status, PeStatus::Ok);
    std::vector<std::string> order;
    for (const PeResource& r : table.resources) order.push_back(r.type.ToString() + "/" + r.name.ToString());
    // Named types first in code-unit order, then numbered ones: the order the system's search expects.
    EXPECT_EQ(order,
              (std::vector<std::string>{"MOVORA/ID", "MOVORA/ST", "VELMO/INITIALIZE", "VELMO/INITIALIZE", "#10/#7"}));
}

TEST(PeResources, RejectsWhatIsNotAnImageAndDamagedDirectories) {
    std::vector<uint8_t> notPe = Bytes("MZ but nothing else");
    MemoryByteSource a(notPe);
    EXPECT_EQ(ReadPeResources(a).status, PeStatus::NotPe);

    std::vector<uint8_t> empty = builder::WriteResourceImage({});
    MemoryByteSource b(empty);
    EXPECT_EQ(ReadPeResources(b).status, PeStatus::Ok);

    // A data entry pointing past the section, and a truncated image.
    std::vector<uint8_t> image = SampleImage();
    const uint32_t sectionAt = 0x200;
    std::vector<uint8_t> bad = image;
    MemoryByteSource c(bad);
    const PeResourceTable table = ReadPeResources(c);
    ASSERT_FALSE(table.resources.empty());
    const uint64_t entryAt = table.resources[0].fileOffset;  // data follows entries; find the entry by value
    for (size_t at = sectionAt; at + 8 <= entryAt; at += 4)
        if (LoadU32(&bad[at]) == 0x1000 + (entryAt - sectionAt)) StoreU32(&bad[at], 0x7FFFFFF0);
    ASSERT_NE(bad, image);
    MemoryByteSource d(bad);
    EXPECT_EQ(ReadPeResources(d).status, PeStatus::Damaged);

    image.resize(0x220);
    MemoryByteSource e(image);
    EXPECT_EQ(ReadPeResources(e).status, PeStatus::Damaged);
}

TEST(PeResources, DirectoriesSharingSubdirectoriesCannotBlowUpTheWork) {
    // 2,000 type entries all pointing at one name directory of 2,000 entries, each pointing at one
    // empty language directory: four million visits if the reader walked them all.
    std::vector<uint8_t> image = builder::WriteResourceImage({{"T", "N", 0, Bytes("x")}});
    const uint32_t entries = 2000, root = 0x200;
    std::vector<uint8_t> section(16 + 8 * entries + 16 + 8 * entries + 16, 0);
    const uint32_t nameDir = 16 + 8 * entries, langDir = nameDir + 16 + 8 * entries;
    StoreU16(&section[14], entries);
    StoreU16(&section[nameDir + 14], entries);
    for (uint32_t i = 0; i < entries; ++i) {
        StoreU32(&section[16 + 8 * i], i + 1);
        StoreU32(&section[16 + 8 * i + 4], 0x80000000u | nameDir);
        StoreU32(&section[nameDir + 16 + 8 * i], i + 1);
        StoreU32(&section[nameDir + 16 + 8 * i + 4], 0x80000000u | langDir);
    }
    image.resize(root);
    image.insert(image.end(), section.begin(), section.end());
    const uint8_t* pe = &image[LoadU32(&image[0x3C])];
    uint8_t* sectionHeader = const_cast<uint8_t*>(pe) + 24 + 240;
    StoreU32(sectionHeader + 8, static_cast<uint32_t>(section.size()));
    StoreU32(sectionHeader + 16, static_cast<uint32_t>(section.size()));
    MemoryByteSource source(image);
    EXPECT_EQ(ReadPeResources(source).status, PeStatus::Damaged);
}

// wrestool (icoutils) is an independent reader: it must find in our images what we wrote, and we
// must find in other people's DLLs what it finds.
bool HaveWrestool() { return std::system("wrestool --version > /dev/null 2>&1") == 0; }

std::vector<uint8_t> Wrestool(const std::string& file, const std::string& type, const std::string& name,
                              uint16_t language, const testing::ScratchFolder& scratch) {
    const std::string out = scratch.Path() + "wrestool.out";
    const std::string command = "wrestool -x --raw --type='" + type + "' --name='" + name +
                                "' --language=" + std::to_string(language) + " '" + file + "' > '" + out +
                                "' 2>/dev/null";
    std::string host = command;
    for (char& ch : host)
        if (ch == '\\') ch = '/';
    if (std::system(host.c_str()) != 0) return {};
    std::vector<uint8_t> bytes;
    (void)ReadWholeFile(out, bytes);
    return bytes;
}

TEST(PeResources, WrestoolReadsWhatTheWriterWrote) {
    if (!HaveWrestool()) GTEST_SKIP() << "wrestool (icoutils) is not installed";
    testing::ScratchFolder scratch;
    const std::string file = scratch.Write("app.exe", SampleImage());
    EXPECT_EQ(Wrestool(file, "MOVORA", "ST", 0, scratch), Bytes("settings"));
    EXPECT_EQ(Wrestool(file, "10", "7", 0x407, scratch), Bytes("numbered"));
}

TEST(PeResources, ReadsResourcesOfASystemDllLikeWrestool) {
    const char* const candidates[] = {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll",
                                      "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/comctl32.dll",
                                      "/usr/lib/wine/x86_64-windows/shell32.dll"};
    std::string dll;
    for (const char* c : candidates)
        if (FileExists(c)) dll = c;
    if (dll.empty() || !HaveWrestool()) GTEST_SKIP() << "needs wine64's PE DLLs and wrestool";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dll, bytes));
    MemoryByteSource source(bytes);
    const PeResourceTable table = ReadPeResources(source);
    ASSERT_EQ(table.status, PeStatus::Ok);
    ASSERT_GT(table.resources.size(), 10u);
    testing::ScratchFolder scratch;
    int compared = 0;
    for (const PeResource& r : table.resources) {
        if (r.type.isName || r.name.isName) continue;
        if (compared++ >= 5) break;
        const std::vector<uint8_t> theirs =
            Wrestool(dll, std::to_string(r.type.id), std::to_string(r.name.id), r.language, scratch);
        EXPECT_EQ(ReadPeResourceData(source, r), theirs) << r.type.ToString() << "/" << r.name.ToString();
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace velmo::platform
