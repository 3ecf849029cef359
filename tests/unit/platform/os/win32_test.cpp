// The Win32 system services against the real system calls (under wine in CI): registry profile,
// system error texts, ANSI conversion and file share modes.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/guid.h"
#include "platform/last_error.h"
#include "platform/os/win32/registry.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

// A key of its own under HKEY_CURRENT_USER\Software, removed with everything below it at the end.
struct TestKey {
    std::string name = "VelmoTest" + Utf16ToAnsi(NewGuidText());
    ~TestKey() { (void)win32::RemoveUserSoftwareKey(name); }
};

TEST(Win32Profile, ValuesRoundTripByTypeAndNamesIgnoreCase) {
    TestKey key;
    const std::vector<uint8_t> bytes = {0, 1, 0xFF, 0, 0x80};
    {
        auto p = OpenProfile(key.name, "Product\\V1.0");
        ASSERT_TRUE(p->WriteBinary("Settings", "Options", bytes));
        ASSERT_TRUE(p->WriteString("Settings", "Caption", "My caf\xE9"));
        ASSERT_TRUE(p->WriteString("Settings", "Empty", ""));
        ASSERT_TRUE(p->WriteInteger("Settings", "Count", 0xFFFFFFFFu));
    }
    auto p = OpenProfile(key.name, "product\\v1.0");
    EXPECT_EQ(p->ReadBinary("SETTINGS", "options"), bytes);
    EXPECT_EQ(p->ReadString("settings", "CAPTION"), "My caf\xE9");
    EXPECT_EQ(p->ReadString("Settings", "Empty"), "");
    EXPECT_EQ(p->ReadInteger("Settings", "Count"), 0xFFFFFFFFu);

    EXPECT_EQ(p->ReadInteger("Settings", "Caption"), std::nullopt);  // stored with another type
    EXPECT_EQ(LastErrorCode(), kErrorInvalidData);
    EXPECT_EQ(p->ReadString("Settings", "Options"), std::nullopt);
    EXPECT_EQ(p->ReadBinary("Settings", "Missing"), std::nullopt);
    EXPECT_EQ(LastErrorCode(), kErrorFileNotFound);
    EXPECT_EQ(p->ReadBinary("No such section", "Options"), std::nullopt);

    ASSERT_TRUE(p->WriteInteger("Settings", "COUNT", 7));  // replaces, in place of a second value
    EXPECT_EQ(p->ReadInteger("Settings", "count"), 7u);

    ASSERT_TRUE(win32::RemoveUserSoftwareKey(key.name));
    EXPECT_EQ(p->ReadInteger("Settings", "Count"), std::nullopt);
    EXPECT_FALSE(win32::RemoveUserSoftwareKey(""));
}

TEST(Win32LastError, SystemTextsAreTrimmedAndKeepTheLastError) {
    SetLastErrorCode(kErrorAccessDenied);
    const std::string text = SystemErrorText(kErrorFileNotFound);
    EXPECT_EQ(LastErrorCode(), kErrorAccessDenied);
    ASSERT_FALSE(text.empty());
    EXPECT_LE(text.size(), 255u);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(text.find("System error"), std::string::npos);  // the system's text, not our fallback
    EXPECT_NE(SystemErrorText(kErrorFileNotFound), SystemErrorText(kErrorPathNotFound));
    EXPECT_EQ(SystemErrorText(0x2000FFFFu), "System error 536936447.");
}

TEST(Win32Text, AnsiRoundTripsAndCaseFoldingKeepsEmbeddedNuls) {
    std::string ascii;
    for (char c = ' '; c < 0x7F; ++c) ascii += c;
    EXPECT_EQ(AnsiToUtf16(ascii), std::u16string(ascii.begin(), ascii.end()));
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(ascii)), ascii);
    EXPECT_EQ(AnsiToUtf16(""), u"");
    EXPECT_EQ(Utf16ToAnsi(u"a\xD800"
                          "b"),
              "a?b");  // the code page's default character
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(AnsiToUtf16(withNul), std::u16string(u"a\0b", 3));

    EXPECT_TRUE(AnsiEqualNoCase("Application", "aPPLICATION"));
    EXPECT_TRUE(AnsiEqualNoCase("", ""));
    EXPECT_FALSE(AnsiEqualNoCase("", "a"));
    EXPECT_FALSE(AnsiEqualNoCase(withNul, std::string("a\0c", 3)));  // lstrcmpiA would stop at the NUL
    EXPECT_FALSE(AnsiEqualNoCase("movie.swf", "movie.swf2"));
}

TEST(Win32Files, ShareModesFoldersAndErrorsMatchTheInterface) {
    testing::ScratchFolder scratch;
    const std::string path = scratch.Write("data.bin", testing::Bytes("0123456789"));

    auto reader = OpenFile(path, FileMode::ReadShared);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(OpenFile(path, FileMode::ReadShared));        // readers share
    EXPECT_FALSE(OpenFile(path, FileMode::CreateReadWrite));  // writers are shut out
    EXPECT_EQ(reader->Seek(-1, SeekFrom::Begin), -1);
    EXPECT_EQ(reader->Seek(-3, SeekFrom::End), 7);
    char tail[8] = {};
    EXPECT_EQ(reader->Read(tail, sizeof tail), 3u);
    EXPECT_STREQ(tail, "789");
    reader.reset();

    EXPECT_FALSE(CreateFolder(scratch.Path() + "data.bin"));
    EXPECT_EQ(LastErrorCode(), kErrorAlreadyExists);
    EXPECT_FALSE(CreateFolder(scratch.Path() + "missing\\child"));
    EXPECT_EQ(LastErrorCode(), kErrorPathNotFound);
    ASSERT_TRUE(CreateFolder(scratch.Path() + "sub"));
    EXPECT_FALSE(OpenFile(scratch.Path() + "sub", FileMode::ReadShared));
    EXPECT_FALSE(DeleteFile(scratch.Path() + "sub"));
    EXPECT_EQ(LastErrorCode(), kErrorAccessDenied);
    EXPECT_TRUE(FolderExists(scratch.Path() + "sub"));
    EXPECT_FALSE(FileExists(scratch.Path() + "sub"));

    std::vector<FolderEntry> entries = ListFolder(scratch.Path());
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "data.bin");
    EXPECT_FALSE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, "sub");
    EXPECT_TRUE(entries[1].isFolder);
}

}  // namespace
}  // namespace velmo::platform
