// The per-user profile: its text form, where the headless layer keeps it, and how it survives damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/common/profile_file.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/profile.h"
#include "tests/support/scratch.h"

#ifdef _WIN32
#define SKIP_ON_WINDOWS() GTEST_SKIP() << "Windows keeps the profile in the registry, not in a file"
#else
#define SKIP_ON_WINDOWS() (void)0
#endif

namespace velmo::platform {
namespace {

using testing::ScopedEnvironment;
using testing::ScratchFolder;

std::vector<uint8_t> EveryByte() {
    std::vector<uint8_t> bytes(256);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const FolderEntry& e : ListFolder(folder)) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

// XDG_CONFIG_HOME pointed at "<scratch>/config"; `velmo` is the profile folder as a system path.
struct ConfigHome {
    ScratchFolder scratch;
    std::string host = scratch.Path().substr(0, scratch.Path().size() - 1);  // without the trailing '\'
    ScopedEnvironment xdg{"XDG_CONFIG_HOME", host + "/config"};
    std::string velmo = scratch.Path() + "config\\velmo\\";
};

TEST(ProfileText, AnyNameAndAnyDataSurviveWritingAndParsing) {
    const std::string awkward[] = {"",
                                   " lead and trail ",
                                   "a=b=c",
                                   "[x]",
                                   "]",
                                   "back\\slash\\",
                                   "\\x41",
                                   "line\nbreak\r\n",
                                   std::string("nul\0tab\t\x7f\xff", 10)};
    ProfileDocument document;
    document.Set("bytes", "every", EveryByte());
    document.Set("numbers", "max", uint32_t{0xFFFFFFFF});
    for (const std::string& name : awkward) {
        document.Set(name, name, name);
        document.Set("names", name, uint32_t{7});
    }
    const std::string text = WriteProfileText(document);
    EXPECT_EQ(ParseProfileText(text), document) << text;
    size_t lines = 2 * document.sections.size() - 1;  // a header each, a blank line between two
    for (const ProfileSection& s : document.sections) lines += s.values.size();
    EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), lines);  // none inside a line
}

TEST(ProfileText, DamagedLinesAreSkippedAndTheRestIsRead) {
    const ProfileDocument d = ParseProfileText(
        "orphan=dword:1\n"  // before any section
        "[Main]\r\n"        // CRLF file
        "Good=dword:4294967295\r\n"
        "Over=dword:4294967296\n"
        "Neg=dword:-1\n"
        "Odd=hex:abc\n"
        "NotHex=hex:zz\n"
        "Escape=sz:\\q\n"
        "Cut=sz:ab\\x4\n"
        "NoType=text\n"
        "Upper=HEX:0A0b\n"
        "good=sz:later wins\n"  // same name in another case
        "[Broken\n"
        "lost=dword:2\n"  // would otherwise land in the wrong section
        "[main]\n"
        "Eq=sz:a=b\n");
    ASSERT_EQ(d.sections.size(), 1u);
    EXPECT_EQ(d.sections[0].name, "Main");
    ASSERT_EQ(d.sections[0].values.size(), 3u);
    EXPECT_EQ(d.sections[0].values[0].name, "Good");  // the first spelling stays
    EXPECT_EQ(*d.Find("MAIN", "GOOD"), ProfileData(std::string("later wins")));
    EXPECT_EQ(*d.Find("main", "upper"), ProfileData(std::vector<uint8_t>{0x0A, 0x0B}));
    EXPECT_EQ(*d.Find("main", "eq"), ProfileData(std::string("a=b")));
    EXPECT_EQ(d.Find("Broken", "lost"), nullptr);
}

TEST(Profile, TypedValuesPersistAcrossOpensAndIgnoreCase) {
    ConfigHome home;
    const std::string text = "a\\b\r\nc=d [e]\n";
    {
        std::unique_ptr<Profile> p = OpenProfile("Vendor\\App", "Main");
        EXPECT_TRUE(p->WriteBinary("Window", "Placement", EveryByte()));
        EXPECT_TRUE(p->WriteString("Window", "Title", text));
        EXPECT_TRUE(p->WriteInteger("Options", "Volume", 0xFFFFFFFF));
    }
    std::unique_ptr<Profile> p = OpenProfile("VENDOR\\app", "main");  // registry keys ignore case too
    EXPECT_EQ(p->ReadBinary("WINDOW", "placement"), EveryByte());
    EXPECT_EQ(p->ReadString("window", "TITLE"), text);
    EXPECT_EQ(p->ReadInteger("options", "volume"), 0xFFFFFFFFu);

    EXPECT_EQ(p->ReadInteger("Window", "Title"), std::nullopt);
    EXPECT_EQ(LastErrorCode(), kErrorInvalidData);
    EXPECT_EQ(p->ReadString("Options", "Volume"), std::nullopt);
    EXPECT_EQ(p->ReadBinary("Options", "Missing"), std::nullopt);
    EXPECT_EQ(LastErrorCode(), kErrorFileNotFound);

    std::unique_ptr<Profile> other = OpenProfile("Vendor\\App", "Main");
    EXPECT_TRUE(other->WriteString("OPTIONS", "VOLUME", "loud"));  // a write may change the type
    EXPECT_EQ(p->ReadString("Options", "Volume"), "loud");
    EXPECT_EQ(p->ReadInteger("Options", "Volume"), std::nullopt);
}

TEST(Profile, EachApplicationHasItsOwnFileInsideTheConfigFolder) {
    SKIP_ON_WINDOWS();
    ConfigHome home;
    const std::pair<std::string, std::string> apps[] = {{"a#b", "c"}, {"a", "b#c"},  {"../../etc", "passwd"},
                                                        {"/", ".."},  {"x%2F", "y"}, {"x/", "y"}};
    for (const auto& [key, profile] : apps)
        EXPECT_TRUE(OpenProfile(key, profile)->WriteString("s", "owner", key + "|" + profile)) << key;
    for (const auto& [key, profile] : apps)
        EXPECT_EQ(OpenProfile(key, profile)->ReadString("s", "owner"), key + "|" + profile);

    EXPECT_EQ(Names(home.scratch.Path()), std::vector<std::string>{"config"});
    EXPECT_EQ(Names(home.scratch.Path() + "config"), std::vector<std::string>{"velmo"});
    const std::vector<std::string> files = Names(home.velmo);
    EXPECT_EQ(files.size(), std::size(apps));
    EXPECT_NE(std::find(files.begin(), files.end(), "..%2F..%2Fetc#passwd.profile"), files.end());

    // A key too long for one host file name still gets a file of its own.
    const std::string longKey(300, 'k');
    EXPECT_TRUE(OpenProfile(longKey, "1")->WriteInteger("s", "n", 1));
    EXPECT_TRUE(OpenProfile(longKey, "2")->WriteInteger("s", "n", 2));
    EXPECT_EQ(OpenProfile(longKey, "1")->ReadInteger("s", "n"), 1u);
}

TEST(Profile, FolderFallsBackToHomeWhenTheConfigVariableIsUnusable) {
    SKIP_ON_WINDOWS();
    ScratchFolder scratch;
    const std::string host = scratch.Path().substr(0, scratch.Path().size() - 1);
    ScopedEnvironment xdg("XDG_CONFIG_HOME", "relative/config");
    ScopedEnvironment homeVariable("HOME", host);
    EXPECT_TRUE(OpenProfile("App", "Main")->WriteInteger("s", "n", 3));
    EXPECT_TRUE(FileExists(scratch.Path() + ".config\\velmo\\app#main.profile"));
}

TEST(Profile, GarbageFileReadsWhatItCanAndNeverCrashes) {
    SKIP_ON_WINDOWS();
    ConfigHome home;
    ASSERT_TRUE(CreateFolder(home.scratch.Path() + "config"));
    ASSERT_TRUE(CreateFolder(home.velmo));
    const char text[] = "\xff\xfe[\x00\n[Main]\nKept=dword:42\nx=hex:1\n\n=\n[\n]\n\x00";
    // Filled, then copied over: g++ 12 -O3 warns falsely on inserting behind a copied array.
    std::vector<uint8_t> garbage(sizeof text + 5000, '\\');
    std::memcpy(garbage.data(), text, sizeof text);
    ASSERT_TRUE(WriteWholeFile(home.velmo + "app#main.profile", garbage));

    std::unique_ptr<Profile> p = OpenProfile("App", "Main");
    EXPECT_EQ(p->ReadInteger("Main", "Kept"), 42u);
    EXPECT_TRUE(p->WriteInteger("Main", "Added", 1));
    EXPECT_EQ(p->ReadInteger("Main", "Kept"), 42u);
    EXPECT_EQ(testing::ReadText(home.velmo + "app#main.profile"), "[Main]\nKept=dword:42\nAdded=dword:1\n");
}

TEST(Profile, WritesLeaveNoTemporaryFilesEvenWhenTheyFail) {
    SKIP_ON_WINDOWS();
    ConfigHome home;
    std::unique_ptr<Profile> p = OpenProfile("App", "Main");
    for (uint32_t i = 0; i < 5; ++i) EXPECT_TRUE(p->WriteInteger("s", "n", i));
    EXPECT_EQ(Names(home.velmo), std::vector<std::string>{"app#main.profile"});

    // A folder in the profile's place makes the final rename fail.
    ASSERT_TRUE(CreateFolder(home.velmo + "app#other.profile"));
    std::unique_ptr<Profile> blocked = OpenProfile("App", "Other");
    SetLastErrorCode(0);
    EXPECT_FALSE(blocked->WriteInteger("s", "n", 1));
    EXPECT_NE(LastErrorCode(), 0u);
    EXPECT_EQ(Names(home.velmo), (std::vector<std::string>{"app#main.profile", "app#other.profile"}));
}

}  // namespace
}  // namespace velmo::platform
