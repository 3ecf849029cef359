// Adding resources to an existing executable: our reader and wrestool both find old and new
// resources, a new resource replaces an old one, an old package is dropped, and images that cannot
// take another section are refused.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/byte_order.h"
#include "platform/common/pe_resources.h"
#include "platform/files.h"
#include "tests/support/scratch.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/pe_writer.h"

namespace velmo::builder {
namespace {

using platform::LoadU16;
using platform::LoadU32;
using testing::Bytes;

const char* const kWineNotepad = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe";

std::optional<std::vector<uint8_t>> Lookup(const std::vector<uint8_t>& image, const std::string& type,
                                           const std::string& name) {
    platform::MemoryByteSource source(image);
    const platform::PeResourceTable table = platform::ReadPeResources(source);
    if (table.status != platform::PeStatus::Ok) return std::nullopt;
    const platform::PeResource* r = table.Find(platform::ResourceKey::Parse(type), platform::ResourceKey::Parse(name));
    if (!r) return std::nullopt;
    return platform::ReadPeResourceData(source, *r);
}

std::string RefusalOf(const std::vector<uint8_t>& image) {
    try {
        (void)AddResourcesToImage(image, {{"MOVORA", "ST", 0, Bytes("x")}});
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "<accepted>";
}

// Standard output of a shell command, with "<failed>" added when it exits with an error.
std::string CommandOutput(const std::string& command, const testing::ScratchFolder& scratch) {
    std::string out = scratch.Path() + "command.out";
    for (char& c : out)
        if (c == '\\') c = '/';
    const bool ok = std::system((command + " > '" + out + "'").c_str()) == 0;
    std::vector<uint8_t> bytes;
    (void)platform::ReadWholeFile(out, bytes);
    return std::string(bytes.begin(), bytes.end()) + (ok ? "" : "\n<failed>");
}

const std::vector<ImageResource> kNew = {
    {"MOVORA", "ST", 0, Bytes("settings")},
    {"VELMO", "Initialize", 0, Bytes("module")},
    {"#24", "#1", 0, Bytes("<assembly/>")},  // replaces the executable's own manifest
};

TEST(RuntimeImage, OldAndNewResourcesAreFoundAndAnOldPackageIsDropped) {
    std::vector<uint8_t> runtime;
    if (!platform::ReadWholeFile(kWineNotepad, runtime)) GTEST_SKIP() << "needs wine64's notepad.exe";
    const std::vector<uint8_t> merged = AddResourcesToImage(runtime, kNew);

    platform::MemoryByteSource before(runtime), after(merged);
    const platform::PeResourceTable old = platform::ReadPeResources(before);
    const platform::PeResourceTable now = platform::ReadPeResources(after);
    ASSERT_EQ(now.status, platform::PeStatus::Ok);
    EXPECT_EQ(now.resources.size(), old.resources.size() + 2);
    for (const platform::PeResource& r : old.resources) {
        if (r.type.ToString() == "#24") continue;
        const platform::PeResource* found = now.Find(r.type, r.name);
        ASSERT_NE(found, nullptr) << r.type.ToString() << "/" << r.name.ToString();
        if (r.language == found->language) {
            EXPECT_EQ(platform::ReadPeResourceData(after, *found), platform::ReadPeResourceData(before, r));
        }
    }
    EXPECT_EQ(Lookup(merged, "MOVORA", "ST"), Bytes("settings"));
    EXPECT_EQ(Lookup(merged, "#24", "#1"), Bytes("<assembly/>"));

    // One more section, the sections' bytes untouched, the symbol table moved behind the new one.
    const uint32_t pe = LoadU32(&runtime[0x3C]);
    EXPECT_EQ(LoadU16(&merged[pe + 6]), LoadU16(&runtime[pe + 6]) + 1);
    const uint32_t symbols = LoadU32(&runtime[pe + 12]), movedSymbols = LoadU32(&merged[pe + 12]);
    ASSERT_NE(symbols, 0u);
    EXPECT_TRUE(std::equal(runtime.begin() + 0x1000, runtime.begin() + symbols, merged.begin() + 0x1000));
    ASSERT_EQ(merged.size() - movedSymbols, runtime.size() - symbols);
    EXPECT_TRUE(std::equal(runtime.begin() + symbols, runtime.end(), merged.begin() + movedSymbols));

    // Merging into an application that already carries a package and resources gives the same image.
    std::vector<uint8_t> packed = merged;
    const std::vector<uint8_t> package = WritePackage({{"movie.swf", false, Bytes("FWS"), {}}});
    packed.insert(packed.end(), package.begin(), package.end());
    const std::vector<uint8_t> again = AddResourcesToImage(packed, kNew);
    EXPECT_EQ(Lookup(again, "VELMO", "INITIALIZE"), Bytes("module"));
    EXPECT_EQ(LoadU16(&again[pe + 6]), LoadU16(&merged[pe + 6]) + 1);
    const uint32_t lastSection = pe + 24 + LoadU16(&merged[pe + 20]) + 40 * (LoadU16(&merged[pe + 6]) - 1);
    EXPECT_EQ(again.size(), merged.size() + LoadU32(&merged[lastSection + 16]));  // the package is gone

    if (std::system("wrestool --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "wrestool (icoutils) is absent";
    testing::ScratchFolder scratch;
    std::string file = scratch.Write("merged.exe", merged);
    for (char& c : file)
        if (c == '\\') c = '/';
    const std::string listing = CommandOutput("wrestool -l '" + file + "'", scratch);
    EXPECT_NE(listing.find("--type=3 --name=1 --language=0"), std::string::npos) << listing;  // an old icon
    EXPECT_NE(listing.find("--type='MOVORA'"), std::string::npos) << listing;
    EXPECT_NE(listing.find("--type='VELMO'"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("<failed>"), std::string::npos) << listing;
    EXPECT_EQ(CommandOutput("wrestool -x --raw --type='MOVORA' --name='ST' '" + file + "'", scratch), "settings");
    if (std::system("x86_64-w64-mingw32-objdump --version > /dev/null 2>&1") == 0) {
        const std::string headers = CommandOutput("x86_64-w64-mingw32-objdump -h '" + file + "' 2>&1", scratch);
        EXPECT_NE(headers.find(".oldrsrc"), std::string::npos) << headers;
        EXPECT_NE(headers.find(".rsrc"), std::string::npos) << headers;
        EXPECT_EQ(headers.find("<failed>"), std::string::npos) << headers;
    }
}

TEST(RuntimeImage, ImagesThatCannotTakeAnotherSectionAreRefused) {
    const std::vector<uint8_t> image = WriteResourceImage({{"T", "N", 0, Bytes("old")}});
    const std::vector<uint8_t> merged = AddResourcesToImage(image, {{"T", "N", 0, Bytes("new")}});
    EXPECT_EQ(Lookup(merged, "T", "N"), Bytes("new"));
    EXPECT_THROW((void)AddResourcesToImage(image, {{"A", "B", 0, {}}, {"a", "b", 0, {}}}), std::runtime_error);

    const uint32_t opt = LoadU32(&image[0x3C]) + 24;
    std::vector<uint8_t> signedImage = image;
    platform::StoreU32(&signedImage[opt + 112 + 4 * 8 + 4], 0x100);
    EXPECT_EQ(RefusalOf(signedImage), "the runtime image is signed; use an unsigned copy of it");

    std::vector<uint8_t> cramped = image;
    platform::StoreU32(&cramped[opt + 60], 0x180);  // headers end just past the one section header
    EXPECT_EQ(RefusalOf(cramped), "the runtime image has no room in its headers for another section header");

    std::vector<uint8_t> occupied = image;
    occupied[opt + 240 + 40 + 3] = 0x55;  // something unknown lives where the next header would go
    EXPECT_EQ(RefusalOf(occupied), "the runtime image has no room in its headers for another section header");

    std::vector<uint8_t> cut = image;
    cut.resize(0x300);
    EXPECT_EQ(RefusalOf(cut), "the runtime image has a section that runs past its end");
    EXPECT_EQ(RefusalOf(Bytes("MZ not really")), "the runtime image is not a PE executable");
}

}  // namespace
}  // namespace velmo::builder
