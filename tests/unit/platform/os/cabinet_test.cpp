// Cabinet expansion through the system's reader (libmspack on POSIX, FDI on Windows): names, sizes,
// dates and attributes as stored, files written where asked and nowhere else, damage refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/cabinet.h"
#include "platform/files.h"
#include "tests/support/cabinet_writer.h"
#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

using testing::Bytes;
using testing::CabinetFile;
using testing::WriteCabinet;

std::filesystem::path Host(std::string path) {
#ifndef _WIN32
    for (char& c : path)
        if (c == '\\') c = '/';
#endif
    return std::filesystem::path(path);
}

// The file's modification time as local calendar fields, the way a cabinet stores them.
std::tm LocalModified(const std::string& path) {
    const auto written = std::filesystem::last_write_time(Host(path));
    const std::time_t t =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written) + std::chrono::milliseconds(500));
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

bool ReadOnly(const std::string& path) {
    return (std::filesystem::status(Host(path)).permissions() & std::filesystem::perms::owner_write) ==
           std::filesystem::perms::none;
}

void MakeWritable(const std::string& path) {
    std::error_code ignored;
    std::filesystem::permissions(Host(path), std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                                 ignored);
}

class CabinetTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* name : {"one", "two", "out"}) MakeWritable(scratch_.Path() + name);
    }
    testing::ScratchFolder scratch_;
};

TEST_F(CabinetTest, OffersEveryEntryAsStoredAndWritesOnlyThoseGivenAPlace) {
    CabinetFile control{"player\\Control.OCX", Bytes("control bytes"), (2008 - 1980) << 9 | 11 << 5 | 3,
                        9 << 11 | 7 << 5 | 58 / 2, kCabinetReadOnly | kCabinetArchive};
    CabinetFile readme{"readme.txt", Bytes("skip me"), (2010 - 1980) << 9 | 1 << 5 | 2, 0, 0};
    CabinetFile big{"big.ocx", std::vector<uint8_t>(70000, 0), (2011 - 1980) << 9 | 2 << 5 | 28, 23 << 11,
                    kCabinetHidden};
    for (size_t i = 0; i < big.data.size(); ++i) big.data[i] = static_cast<uint8_t>(i * 7 + i / 300);
    const std::string cab = scratch_.Write("in.cab", WriteCabinet({control, readme, big}));

    std::vector<CabinetEntry> offered;
    ASSERT_TRUE(ExpandCabinet(cab, [&](const CabinetEntry& e) -> std::string {
        offered.push_back(e);
        if (e.name == "readme.txt") return "";
        return scratch_.Path() + (offered.size() == 1 ? "one" : "two");
    }));
    ASSERT_EQ(offered.size(), 3u);
    EXPECT_EQ(offered[0].name, "player\\Control.OCX");
    EXPECT_EQ(offered[0].sizeBytes, 13u);
    EXPECT_EQ(offered[0].attributes, kCabinetReadOnly | kCabinetArchive);
    EXPECT_EQ(std::vector<int>({offered[0].year, offered[0].month, offered[0].day, offered[0].hour, offered[0].minute,
                                offered[0].second}),
              std::vector<int>({2008, 11, 3, 9, 7, 58}));
    EXPECT_EQ(offered[2].sizeBytes, 70000u);
    EXPECT_EQ(offered[2].attributes, kCabinetHidden);

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(scratch_.Path() + "one", bytes));
    EXPECT_EQ(bytes, control.data);
    ASSERT_TRUE(ReadWholeFile(scratch_.Path() + "two", bytes));
    EXPECT_EQ(bytes, big.data);  // three data blocks, the folder read across their seams
    EXPECT_FALSE(PathExists(scratch_.Path() + "readme.txt"));

    const std::tm stamp = LocalModified(scratch_.Path() + "one");
    EXPECT_EQ(std::vector<int>(
                  {stamp.tm_year + 1900, stamp.tm_mon + 1, stamp.tm_mday, stamp.tm_hour, stamp.tm_min, stamp.tm_sec}),
              std::vector<int>({2008, 11, 3, 9, 7, 58}));
    EXPECT_TRUE(ReadOnly(scratch_.Path() + "one"));
    EXPECT_FALSE(ReadOnly(scratch_.Path() + "two"));
}

TEST_F(CabinetTest, ALaterEntryReplacesAReadOnlyEarlierOneAtTheSamePlace) {
    const std::string out = scratch_.Path() + "out";
    const std::string cab = scratch_.Write(
        "in.cab", WriteCabinet({{"first.ocx", Bytes("first, longer than the second"), 0x3A21, 0, kCabinetReadOnly},
                                {"second.ocx", Bytes("second"), 0x3A21, 0, kCabinetArchive}}));
    ASSERT_TRUE(ExpandCabinet(cab, [&](const CabinetEntry&) { return out; }));
    EXPECT_EQ(testing::ReadText(out), "second");
    EXPECT_FALSE(ReadOnly(out));
}

TEST_F(CabinetTest, DamagedOrForeignFilesFailAndLeaveNoPartialFile) {
    const std::string out = scratch_.Path() + "out";
    const auto everything = [&](const CabinetEntry&) { return out; };
    std::vector<uint8_t> cab = WriteCabinet({{"a.ocx", std::vector<uint8_t>(40000, 'x')}});

    std::vector<uint8_t> truncated(cab.begin(), cab.end() - 20000);
    EXPECT_FALSE(ExpandCabinet(scratch_.Write("truncated.cab", truncated), everything));
    EXPECT_FALSE(PathExists(out));

    std::vector<uint8_t> badSignature = cab;
    badSignature[3] = 'X';
    EXPECT_FALSE(ExpandCabinet(scratch_.Write("signature.cab", badSignature), everything));
    EXPECT_FALSE(ExpandCabinet(scratch_.Write("empty.cab", {}), everything));
    EXPECT_FALSE(ExpandCabinet(scratch_.Path() + "missing.cab", everything));
    EXPECT_FALSE(PathExists(out));

    // A destination that cannot be written: a folder stands there.
    ASSERT_TRUE(CreateFolder(out));
    EXPECT_FALSE(ExpandCabinet(scratch_.Write("good.cab", cab), everything));
}

TEST_F(CabinetTest, ReadsCompressedCabinetsMadeByAnotherTool) {
#ifdef _WIN32
    GTEST_SKIP() << "the cabinet is made with gcab, a host tool; the wine test of the player covers compressed ones";
#else
    if (std::system("command -v gcab > /dev/null 2>&1") != 0) GTEST_SKIP() << "gcab is not installed";
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "line " + std::to_string(i % 97) + " of the control\n";
    scratch_.Write("control.ocx", Bytes(text));
    scratch_.Write("other.dat", Bytes("other"));
    const std::filesystem::path folder = Host(scratch_.Path());
    const std::string command = "cd '" + folder.string() + "' && gcab -c -z -n packed.cab control.ocx other.dat";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> names;
    ASSERT_TRUE(ExpandCabinet(scratch_.Path() + "packed.cab", [&](const CabinetEntry& e) {
        names.push_back(e.name);
        return e.name == "control.ocx" ? scratch_.Path() + "out" : std::string();
    }));
    EXPECT_EQ(names, (std::vector<std::string>{"control.ocx", "other.dat"}));
    EXPECT_EQ(testing::ReadText(scratch_.Path() + "out"), text);
#endif
}

}  // namespace
}  // namespace velmo::platform
