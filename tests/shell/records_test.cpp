// Settings, movie list, region and identifier records: exact round trips and damaged input.
#include <gtest/gtest.h>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "shell/identifier_record.h"
#include "shell/movie_list.h"
#include "shell/record_codec.h"
#include "shell/settings_record.h"
#include "tests/support/scratch.h"

namespace velmo::shell {
namespace {

using testing::Bytes;

// Every field set to a distinct non-zero value, so a swapped or skipped field shows.
SettingsRecord FullSettings() {
    SettingsRecord s;
    s.about = {"Product", "Description", "Company", "Legal", "Trademarks", std::nullopt, "1.2.3"};
    s.appearance = {kShapeClip,
                    kBorderSingle | kBorderResizable,
                    kIconMinimize | kIconSystemMenu,
                    kScaleNoBorder,
                    "shapes\\clip.bmp",
                    "My Caption \xC3\xA9"};
    s.sizeAndPosition = {kSizeCustom, 640, 480, kPositionCustom, 12, 34, 1};
    s.interaction = {kLeftDrag, kRightContextMenu, kKeysSend | kKeysDisableWindowsKeys, kExitOnEsc, kHideCursor, 0x70,
                     0x6};
    s.behaviour = {kMenuAbout | kMenuConfigure, kAutoPlay | kShowInTray};
    s.misc = {kMuteSpeakers, 0x00336699 | kCustomBackground, "help.chm", 0};
    s.aboutBox.author = "Author";
    s.aboutBox.webAddress = "http://example.org/";
    s.aboutBox.contactCaption = std::string();  // present but empty differs from absent
    s.aboutBox.emailAddress = "a@example.org";
    s.aboutBox.linkColour1 = 0xFF0000;
    s.aboutBox.linkColour2 = 0x00FF00;
    s.aboutBox.font1 = {-12, 0, 0, 0, 700, 1, 0, 0, 1, 0, 0, 2, 34, "Tahoma"};
    s.aboutBox.font2 = {-9, 1, 2, 3, 400, 0, 1, 1, 0, 3, 2, 1, 0, "Verdana"};
    s.aboutBox.pictureFlags = kShowPictureFile;
    s.aboutBox.secondWord = 77;
    s.aboutBox.pictureFile = "about.jpg";
    s.aboutBox.secondPath = "second";
    s.build = {1, "build text", 2, {2026, 12, 2, 8, 19, 30, 5, 250}, 3, "C:\\project", 80, 4};
    return s;
}

TEST(SettingsRecord, EveryFieldReadsBackEqual) {
    const SettingsRecord written = FullSettings();
    SettingsRecord read;
    ASSERT_TRUE(ReadSettingsRecord(WriteSettingsRecord(written), read));
    EXPECT_EQ(read, written);
    EXPECT_EQ(read.about.comment, std::nullopt);
    EXPECT_EQ(read.aboutBox.contactCaption, std::string());
    SettingsRecord empty;
    ASSERT_TRUE(ReadSettingsRecord(WriteSettingsRecord(SettingsRecord{}), empty));
    EXPECT_EQ(empty, SettingsRecord{});
}

TEST(SettingsRecord, AnyTruncationLeavesEveryFieldZero) {
    const std::vector<uint8_t> bytes = WriteSettingsRecord(FullSettings());
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        SettingsRecord read = FullSettings();
        read.regionList = {"kept"};
        EXPECT_FALSE(ReadSettingsRecord(std::span(bytes).first(cut), read)) << cut;
        SettingsRecord expected;
        expected.regionList = {"kept"};
        EXPECT_EQ(read, expected) << cut;
    }
}

TEST(RecordCodec, CountsPastTheEndFailAndPathsAreCut) {
    std::vector<uint8_t> bytes;
    platform::AppendU32(bytes, 0x7FFFFFFF);
    bytes.resize(64, 'a');
    RecordReader huge(bytes);
    EXPECT_EQ(huge.ReadText(), std::nullopt);
    EXPECT_FALSE(huge.Ok());
    EXPECT_EQ(huge.U32(), 0u);  // stays failed

    RecordWriter w;
    w.Path(std::string(300, 'p'));
    w.WriteText(std::string("a\0b", 3));
    const std::vector<uint8_t> out = w.Take();
    RecordReader r(out);
    EXPECT_EQ(r.Path(), std::string(kMaxPathChars, 'p'));
    EXPECT_EQ(r.ReadText(), "a");  // text ends at its first NUL
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.Remaining(), 0u);

#ifndef _WIN32  // the accented text below is UTF-8, the headless code page only
    // A cut never splits a character, so a cut path writes and reads back unchanged.
    std::string accented;
    for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";
    RecordWriter longPath;
    longPath.Path(accented);
    const std::vector<uint8_t> longBytes = longPath.Take();
    RecordReader first(longBytes);
    const std::string cut = first.Path();
    EXPECT_EQ(cut, accented.substr(0, 258));
    RecordWriter again;
    again.Path(cut);
    const std::vector<uint8_t> againBytes = again.Take();
    RecordReader second(againBytes);
    EXPECT_EQ(second.Path(), cut);
#endif
}

TEST(MovieList, ReadsNameAndProtectionAndRejectsShortRecords) {
    RecordWriter w;
    w.U32(14);
    w.Path("movies\\main.swf");
    std::vector<uint8_t> protection(kProtectionBytes);
    for (size_t i = 0; i < protection.size(); ++i) protection[i] = static_cast<uint8_t>(i);
    w.Bytes(protection);
    const std::vector<uint8_t> bytes = w.Take();
    MovieListRecord list;
    ASSERT_TRUE(ReadMovieList(bytes, list));
    EXPECT_EQ(list.movieFlags, 14u);
    EXPECT_EQ(list.movieName, "movies\\main.swf");
    EXPECT_EQ(list.protection[259], 3);  // 259 % 256
    EXPECT_FALSE(ReadMovieList(std::span(bytes).first(bytes.size() - 1), list));
    EXPECT_EQ(list, MovieListRecord{});
}

TEST(RegionImages, WritesMaskFilesInsideTheRunFolderOnly) {
    testing::ScratchFolder run;
    RecordWriter w;
    w.U32(4);
    for (const auto& [name, data] : std::vector<std::pair<std::string, std::string>>{
             {"shape", "MASK"}, {"nameonly", ""}, {"..\\escape", "EVIL"}, {"sub/dir", "EVIL"}}) {
        w.WriteText(name);
        w.U32(static_cast<uint32_t>(data.size()));
        w.Bytes(Bytes(data));
    }
    const std::vector<uint8_t> bytes = w.Take();
    std::vector<std::string> list;
    ASSERT_TRUE(ReadRegionImages(bytes, run.Path(), list));
    EXPECT_EQ(list, (std::vector<std::string>{"shape", "nameonly", "..\\escape", "sub/dir"}));
    EXPECT_EQ(testing::ReadText(run.Path() + "shape.msk"), "MASK");
    EXPECT_EQ(platform::ListFolder(run.Path()).size(), 1u);

    std::vector<std::string> none;
    EXPECT_TRUE(ReadRegionImages(std::vector<uint8_t>(4, 0), run.Path(), none));
    EXPECT_TRUE(none.empty());

    // A size past the end: the whole record is undecodable, nothing written or listed.
    testing::ScratchFolder other;
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 2);
    std::vector<std::string> partial;
    EXPECT_FALSE(ReadRegionImages(cut, other.Path(), partial));
    EXPECT_TRUE(partial.empty());
    EXPECT_TRUE(platform::ListFolder(other.Path()).empty());
    std::vector<uint8_t> hugeCount = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(ReadRegionImages(hugeCount, other.Path(), partial));
}

TEST(IdentifierRecord, RoundTripsAndSplitsKeyAndProfile) {
    const std::array<uint8_t, 16> guid = {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56,
                                          0x9A, 0xBC, 0xDE, 0xF0, 0x01, 0x23, 0x45, 0x67};
    EXPECT_EQ(GuidText(guid), "{12345678-1234-5678-9ABC-DEF001234567}");
    const auto full = ReadIdentifierRecord(WriteIdentifierRecord("Vendor/Product\\V1.1", guid), "app");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->identifier, "Vendor/Product\\V1.1");
    EXPECT_EQ(full->registryKey, "Vendor");
    EXPECT_EQ(full->profileName, "Product\\V1.1");
    EXPECT_EQ(full->guidText, "{12345678-1234-5678-9ABC-DEF001234567}");
    const auto plain = ReadIdentifierRecord(WriteIdentifierRecord("Solo", guid), "app");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->registryKey, "Solo");
    EXPECT_EQ(plain->profileName, "app");
}

TEST(IdentifierRecord, ShortOrTamperedRecordsAreRefused) {
    const std::array<uint8_t, 16> guid{};
    const std::vector<uint8_t> good = WriteIdentifierRecord("", guid);  // NUL + 32 bytes: 34 bytes
    ASSERT_TRUE(ReadIdentifierRecord(good, "app"));
    EXPECT_FALSE(ReadIdentifierRecord(std::span(good).first(32), "app"));
    for (size_t i = 0; i < good.size(); ++i) {
        std::vector<uint8_t> bad = good;
        bad[i] ^= 0x01;
        EXPECT_FALSE(ReadIdentifierRecord(bad, "app")) << i;
    }
    std::vector<uint8_t> noNul(40, 'a');
    EXPECT_FALSE(ReadIdentifierRecord(noNul, "app"));
}

TEST(IdentifierRecord, DisplayNameTurnsTheVersionFolderIntoABlank) {
    EXPECT_EQ(MakeDisplayName("Product\\V1.1"), "Product V1.1");
    EXPECT_EQ(MakeDisplayName("Product\\Vx\\V2"), "Product\\Vx\\V2");  // only the first "\V" is looked at
    EXPECT_EQ(MakeDisplayName("Product\\V"), "Product\\V");
    EXPECT_EQ(MakeDisplayName("Plain"), "Plain");
}

}  // namespace
}  // namespace velmo::shell
