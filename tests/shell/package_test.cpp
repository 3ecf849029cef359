// The attached package: lookups, lazy one-time extraction, damaged directories and names that try
// to leave the extra folder.
#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/byte_order.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "shell/package.h"
#include "shell/run_folder.h"
#include "shell/shell_error.h"
#include "tests/support/scratch.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/pe_writer.h"

namespace velmo::shell {
namespace {

using builder::PackageItem;
using platform::AppendU32;
using testing::Bytes;
using testing::ReadText;

// Raw entries for packages the writer would refuse to make.
std::vector<uint8_t> FileContent(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    AppendU32(out, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    return out;
}

std::vector<uint8_t> Entry(uint32_t type, const std::u16string& name, const std::vector<uint8_t>& content) {
    std::vector<uint8_t> out;
    AppendU32(out, type);
    AppendU32(out, static_cast<uint32_t>(name.size() + 1));
    for (char16_t c : name) platform::AppendU16(out, c);
    platform::AppendU16(out, 0);
    AppendU32(out, static_cast<uint32_t>(content.size()));
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> RawPackage(const std::vector<uint8_t>& rootContent,
                                const std::u16string& rootName = u"Application") {
    std::vector<uint8_t> out = Concat({{'Q', 'V', 'R', 0}, Entry(1, rootName, rootContent)});
    AppendU32(out, static_cast<uint32_t>(out.size()));
    AppendU32(out, 1);
    return out;
}

PackageItem File(const std::string& name, const std::string& text) { return {name, false, Bytes(text), {}}; }
PackageItem Folder(const std::string& name, std::vector<PackageItem> children) {
    return {name, true, {}, std::move(children)};
}

class Package : public ::testing::Test {
protected:
    void SetUp() override { CreateRunFolder(); }
    void TearDown() override {
        RemoveRunFolder();
        platform::UseApplicationImage("");
    }
    // Makes `package` the attached package of the application image.
    void UsePackage(const std::vector<uint8_t>& package) {
        std::vector<uint8_t> image = builder::WriteResourceImage({});
        image.insert(image.end(), package.begin(), package.end());
        platform::UseApplicationImage(scratch_.Write("app.exe", image));
    }
    void UseStandardPackage() {
        UsePackage(builder::WritePackage({
            File("movie.swf", "FWS movie"),
            Folder("Data", {File("level1.xml", "<level/>"), Folder("sub", {File("deep.txt", "deep")})}),
        }));
    }
    testing::ScratchFolder scratch_;
    testing::ScopedEnvironment tmp_{"TMP", scratch_.Path()};
};

TEST_F(Package, FindsItemsWithEitherSeparatorInAnyCase) {
    UseStandardPackage();
    const std::string expected = ExtraFolder() + "Data\\level1.xml";
    EXPECT_EQ(ExtractPackageFile("Data/level1.xml"), expected);
    EXPECT_EQ(ExtractPackageFile("DATA\\LEVEL1.XML"), expected);
    EXPECT_EQ(ExtractPackageFile("\\data//level1.xml"), expected);  // empty components are skipped
    EXPECT_EQ(ReadText(expected), "<level/>");
    EXPECT_EQ(ReadText(ExtractPackageFile("movie.swf")), "FWS movie");
    EXPECT_EQ(ExtractPackageFile("movie.swf\\ignored"), ExtraFolder() + "movie.swf");
    EXPECT_EQ(ExtractPackageFile("missing.txt"), "");
    EXPECT_EQ(ExtractPackageFile("Data\\missing.txt"), "");
}

TEST_F(Package, ExtractsEachFileOnceAndAgainOnlyWhenDeleted) {
    UseStandardPackage();
    const std::string path = ExtractPackageFile("movie.swf");
    ASSERT_TRUE(platform::WriteWholeFile(path, Bytes("edited by the movie")));
    EXPECT_EQ(ExtractPackageFile("movie.swf"), path);
    EXPECT_EQ(ReadText(path), "edited by the movie");
    ASSERT_TRUE(platform::DeleteFile(path));
    EXPECT_EQ(ReadText(ExtractPackageFile("movie.swf")), "FWS movie");
}

TEST_F(Package, AFolderPathExtractsTheWholeTree) {
    UseStandardPackage();
    EXPECT_EQ(ExtractPackageFile("data"), ExtraFolder() + "Data\\");
    EXPECT_EQ(ReadText(ExtraFolder() + "Data\\sub\\deep.txt"), "deep");
    EXPECT_FALSE(platform::FileExists(ExtraFolder() + "movie.swf"));
    EXPECT_EQ(ExtractPackageFile(""), ExtraFolder());  // the root folder
    EXPECT_EQ(ReadText(ExtraFolder() + "movie.swf"), "FWS movie");
}

TEST_F(Package, WithoutAPackageItemsAreLookedForBesideTheExecutable) {
    scratch_.Write("readme.txt", Bytes("beside"));
    UsePackage({});
    EXPECT_EQ(ExtractPackageFile("readme.txt"), scratch_.Path() + "readme.txt");
    EXPECT_EQ(ExtractPackageFile("\\readme.txt"), scratch_.Path() + "readme.txt");
    EXPECT_EQ(ExtractPackageFile("absent.txt"), "");

    // Nothing outside the executable's folder, however the name is spelt.
    ASSERT_TRUE(platform::CreateFolder(scratch_.Path() + "bin"));
    ASSERT_TRUE(platform::CreateFolder(scratch_.Path() + "bin\\data"));
    scratch_.Write("bin\\app.exe", builder::WriteResourceImage({}));
    scratch_.Write("bin\\data\\inside.txt", Bytes("inside"));
    platform::UseApplicationImage(scratch_.Path() + "bin\\app.exe");
    EXPECT_EQ(ExtractPackageFile("data/inside.txt"), scratch_.Path() + "bin\\data\\inside.txt");
    for (const char* outside : {"..\\readme.txt", "../readme.txt", "data\\..\\..\\readme.txt", "..",
                                "data\\.\\inside.txt", "C:\\readme.txt", "data\\inside.txt:stream", "NUL"})
        EXPECT_EQ(ExtractPackageFile(outside), "") << outside;

    UsePackage(RawPackage(Entry(0, u"readme.txt", FileContent(Bytes("packed"))), u"Other"));
    EXPECT_EQ(ReadText(ExtractPackageFile("readme.txt")), "beside");  // wrong root name: no package

    std::vector<uint8_t> flagless = builder::WritePackage({File("readme.txt", "packed")});
    platform::StoreU32(&flagless[flagless.size() - 4], 0);
    UsePackage(flagless);
    EXPECT_EQ(ReadText(ExtractPackageFile("readme.txt")), "beside");
}

TEST_F(Package, ACrcMismatchLeavesNoFileBehind) {
    std::vector<uint8_t> content = FileContent(Bytes("the real data"));
    content.back() ^= 0x5A;
    UsePackage(RawPackage(Entry(0, u"bad.bin", content)));
    EXPECT_EQ(ExtractPackageFile("bad.bin"), "");
    EXPECT_FALSE(platform::PathExists(ExtraFolder() + "bad.bin"));
}

TEST_F(Package, DamagedStreamsNeverLeaveAFileThatLaterLooksExtracted) {
    const std::vector<uint8_t> data = Bytes(std::string(20000, 'a') + "tail");
    std::vector<uint8_t> cut = FileContent(data);
    cut.erase(cut.begin() + 8, cut.end() - 4);  // stream cut short; CRC of the whole data kept
    std::vector<uint8_t> corrupt = FileContent(data);
    corrupt[0] = 0x00;  // not a zlib header
    UsePackage(RawPackage(Concat({Entry(0, u"cut.bin", cut), Entry(0, u"corrupt.bin", corrupt)})));
    EXPECT_EQ(ExtractPackageFile("cut.bin"), "");
    EXPECT_FALSE(platform::PathExists(ExtraFolder() + "cut.bin"));
    try {
        ExtractPackageFile("corrupt.bin");
        FAIL() << "no exception";
    } catch (const CompressionError& e) {
        EXPECT_EQ(e.Message(), "The compress(uncompress) input data was corrupted");
    }
    EXPECT_FALSE(platform::PathExists(ExtraFolder() + "corrupt.bin"));
}

TEST_F(Package, NamesThatWouldLeaveTheExtraFolderAreNeverFound) {
    const std::vector<uint8_t> evil = FileContent(Bytes("evil"));
    UsePackage(RawPackage(Concat({
        Entry(1, u"..", Entry(0, u"escaped.txt", evil)),
        Entry(0, u"a\\b.txt", evil),
        Entry(0, u"a/b.txt", evil),
        Entry(0, u"C:", evil),
        Entry(0, u"", evil),
        Entry(0, u"...", evil),
        Entry(0, u"nul.txt", evil),
        Entry(0, u"Com1", evil),
        Entry(0, u"ok.txt", FileContent(Bytes("fine"))),
    })));
    EXPECT_EQ(ExtractPackageFile("..\\escaped.txt"), "");
    EXPECT_EQ(ExtractPackageFile("../escaped.txt"), "");
    EXPECT_EQ(ExtractPackageFile("C:"), "");
    EXPECT_EQ(ExtractPackageFile("..."), "");
    EXPECT_EQ(ExtractPackageFile("NUL.txt"), "");
    EXPECT_EQ(ExtractPackageFile("com1"), "");
    EXPECT_EQ(ExtractPackageFile(""), ExtraFolder());
    EXPECT_EQ(ReadText(ExtraFolder() + "ok.txt"), "fine");
    EXPECT_FALSE(platform::PathExists(RunFolder() + "escaped.txt"));
    std::vector<std::string> names;
    for (const auto& e : platform::ListFolder(ExtraFolder())) names.push_back(e.name);
    EXPECT_EQ(names, std::vector<std::string>{"ok.txt"});
    std::vector<std::string> scratchNames;
    for (const auto& e : platform::ListFolder(scratch_.Path())) scratchNames.push_back(e.name);
    EXPECT_EQ(scratchNames.size(), 2u);  // app.exe and the run folder, nothing else
}

TEST_F(Package, SizesThatDoNotFitTheirFolderAreDamage) {
    const std::vector<uint8_t> ok = Entry(0, u"ok.txt", FileContent(Bytes("fine")));
    std::vector<uint8_t> hugeName = Entry(0, u"x", FileContent(Bytes("x")));
    platform::StoreU32(&hugeName[4], 0x7FFFFFFF);
    UsePackage(RawPackage(Concat({hugeName, ok})));
    EXPECT_EQ(ExtractPackageFile("ok.txt"), "");

    std::vector<uint8_t> hugeSize = Entry(0, u"big.bin", FileContent(Bytes("x")));
    platform::StoreU32(&hugeSize[4 + 4 + 16], 0xFFFFFFF0u);
    UsePackage(RawPackage(Concat({hugeSize, ok})));
    EXPECT_EQ(ExtractPackageFile("big.bin"), "");
    EXPECT_EQ(ExtractPackageFile("ok.txt"), "");

    std::vector<uint8_t> rootTooBig = RawPackage(ok);
    platform::StoreU32(&rootTooBig[4 + 4 + 4 + 24], 0x00FFFFFF);  // the root's size field
    UsePackage(rootTooBig);
    EXPECT_EQ(ExtractPackageFile("ok.txt"), "");
    EXPECT_EQ(ListPackage(platform::ModuleFileName()), std::nullopt);
}

TEST_F(Package, ListingShowsEveryEntryDepthFirst) {
    UseStandardPackage();
    const auto entries = ListPackage(platform::ModuleFileName());
    ASSERT_TRUE(entries);
    std::vector<std::string> paths;
    for (const auto& e : *entries) paths.push_back(e.path + (e.isFolder ? "\\" : ""));
    EXPECT_EQ(paths, (std::vector<std::string>{"movie.swf", "Data\\", "Data\\level1.xml", "Data\\sub\\",
                                               "Data\\sub\\deep.txt"}));
}

TEST_F(Package, NothingIsExtractedWithoutARunFolder) {
    UseStandardPackage();
    RemoveRunFolder();
    EXPECT_EQ(ExtractPackageFile("movie.swf"), "");
}

TEST(RunFolder, TempBaseFollowsTmpThenTempThenTheSystemFolder) {
    testing::ScopedEnvironment tmp("TMP", "/x/y/");
    testing::ScopedEnvironment temp("TEMP", "/t");
    EXPECT_EQ(TempBaseFolder(), "/x/y\\");
    platform::SetEnvironment("TMP", "");
    EXPECT_EQ(TempBaseFolder(), "/t\\");
    platform::SetEnvironment("TMP", std::string(260, 'a'));
    EXPECT_EQ(TempBaseFolder(), "/t\\");
    platform::SetEnvironment("TMP", std::string(259, 'a'));
    EXPECT_EQ(TempBaseFolder(), std::string(259, 'a') + "\\");
    platform::SetEnvironment("TMP", std::nullopt);
    platform::SetEnvironment("TEMP", std::nullopt);
    EXPECT_EQ(TempBaseFolder(), platform::WindowsDirectory() + "\\");
}

TEST(RunFolder, IsAGuidNamedFolderRemovedWithEverythingBelowIt) {
    testing::ScratchFolder scratch;
    testing::ScopedEnvironment tmp("TMP", scratch.Path());
    CreateRunFolder();
    const std::string run = RunFolder();
    ASSERT_EQ(run.size(), scratch.Path().size() + 38 + 1);
    EXPECT_EQ(run[scratch.Path().size()], '{');
    EXPECT_EQ(run.substr(run.size() - 2), "}\\");
    EXPECT_EQ(ExtraFolder(), run + "_extra\\");
    ASSERT_TRUE(platform::CreateFolder(run + "a"));
    ASSERT_TRUE(platform::CreateFolder(run + "a\\b"));
    scratch.Write(run.substr(scratch.Path().size()) + "a\\b\\file.txt", Bytes("x"));
    RemoveRunFolder();
    EXPECT_EQ(RunFolder(), "");
    EXPECT_FALSE(platform::PathExists(run));
    RemoveFolderTree("");  // harmless
}

TEST(RunFolder, AFailedCreationThrowsAndLeavesNoPath) {
    testing::ScopedEnvironment tmp("TMP", "/nonexistent-velmo-folder/deeper");
    try {
        CreateRunFolder();
        FAIL() << "no exception";
    } catch (const SystemError& e) {
#ifndef _WIN32  // the system words this text; wine words it differently from Windows
        EXPECT_EQ(e.Message(), "The system cannot find the path specified.");
#endif
    }
    EXPECT_EQ(RunFolder(), "");
}

}  // namespace
}  // namespace velmo::shell

// ---- Files larger than the inflate buffers ----

namespace velmo::shell {
namespace {

// Bytes that barely compress, so the stream spans many input buffers as well as output buffers.
std::vector<uint8_t> NoisyBytes(size_t sizeBytes) {
    std::vector<uint8_t> out(sizeBytes);
    uint32_t state = 12345;
    for (uint8_t& b : out) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 23);
    }
    return out;
}

// Short incompressible bursts between long runs: every input buffer's worth of stream inflates to
// several output buffers, so input must wait while the output drains.
std::vector<uint8_t> BurstyBytes(size_t bursts) {
    const size_t burstBytes = kInflateInputBytes / 4;
    const std::vector<uint8_t> noise = NoisyBytes(bursts * burstBytes);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < bursts; ++i) {
        out.insert(out.end(), noise.begin() + static_cast<ptrdiff_t>(i * burstBytes),
                   noise.begin() + static_cast<ptrdiff_t>((i + 1) * burstBytes));
        out.resize(out.size() + kInflateOutputBytes, 'z');
    }
    return out;
}

TEST_F(Package, FilesSpanningManyBuffersRoundTripExactly) {
    const std::vector<uint8_t> noisy = NoisyBytes(3 * kInflateOutputBytes + 123);
    const std::vector<uint8_t> bursty = BurstyBytes(12);
    const std::vector<uint8_t> exact = NoisyBytes(2 * kInflateOutputBytes);  // ends on a buffer boundary
    const std::vector<uint8_t> noisyContent = FileContent(noisy), burstyContent = FileContent(bursty);
    ASSERT_GT(noisyContent.size(), 2 * kInflateInputBytes);
    ASSERT_GT(burstyContent.size(), 2 * kInflateInputBytes);
    UsePackage(RawPackage(Concat({Entry(0, u"noisy.bin", noisyContent), Entry(0, u"bursty.bin", burstyContent),
                                  Entry(0, u"exact.bin", FileContent(exact))})));
    for (const auto& [name, data] : {std::pair{"noisy.bin", &noisy}, {"bursty.bin", &bursty}, {"exact.bin", &exact}}) {
        std::vector<uint8_t> extracted;
        ASSERT_TRUE(platform::ReadWholeFile(ExtractPackageFile(name), extracted)) << name;
        EXPECT_TRUE(extracted == *data) << name;
    }
}

TEST_F(Package, ALargeDamagedFileIsDeletedAfterItsWritesBegan) {
    const std::vector<uint8_t> data = NoisyBytes(3 * kInflateOutputBytes);
    std::vector<uint8_t> badCrc = FileContent(data);
    badCrc.back() ^= 0x01;
    std::vector<uint8_t> cut = FileContent(data);
    cut.erase(cut.begin() + static_cast<ptrdiff_t>(2 * kInflateInputBytes + 10), cut.end() - 4);  // CRC kept
    UsePackage(RawPackage(Concat({Entry(0, u"crc.bin", badCrc), Entry(0, u"cut.bin", cut)})));
    EXPECT_EQ(ExtractPackageFile("crc.bin"), "");
    EXPECT_FALSE(platform::PathExists(ExtraFolder() + "crc.bin"));
    EXPECT_EQ(ExtractPackageFile("cut.bin"), "");
    EXPECT_FALSE(platform::PathExists(ExtraFolder() + "cut.bin"));
}

}  // namespace
}  // namespace velmo::shell
