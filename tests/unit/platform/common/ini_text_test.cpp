// INI files: the bytes the system's profile calls write for a sequence of calls (taken from the
// Windows side), which the text reader/writer must reproduce, and the reads of either.
#include <gtest/gtest.h>

#include "platform/common/ini_text.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

// The calls, then the file the system left: sections in order of creation with no blank line between,
// CR LF endings, names keeping their first spelling, values trimmed, a removed section gone.
constexpr std::string_view kWrittenBySystem =
    "[a.x]\r\ntype=string\r\nvalue=sp\r\n[b]\r\ntype=integer\r\nvalue='q'\r\n[c]\r\nvalue=\r\n";

template <class Write, class Delete>
void RunCalls(Write write, Delete remove) {
    write("a", "type", "object");
    write("a.x", "type", "string");
    write("a.x", "value", "hi there");
    write("b", "type", "integer");
    write("b", "value", "'q'");
    write("A.X", "VALUE", " sp ");
    write("c", "value", "");
    remove("a");
}

TEST(IniText, WritesTheBytesOfTheSystemsProfileCalls) {
    IniDocument doc;
    RunCalls([&](const char* s, const char* k, const char* v) { doc.Write(s, k, v); },
             [&](const char* s) { doc.DeleteSection(s); });
    EXPECT_EQ(doc.Text(), kWrittenBySystem);
    EXPECT_EQ(IniDocument::Parse(doc.Text()).Text(), kWrittenBySystem);
}

TEST(IniFile, TheTargetsProfileCallsGiveTheSameBytesAndReads) {
    testing::ScratchFolder folder;
    const std::string path = FullPath(folder.Path() + "calls.ini");
    {
        const std::unique_ptr<IniFile> file = OpenIniFile(path);
        RunCalls([&](const char* s, const char* k, const char* v) { ASSERT_TRUE(file->WriteString(s, k, v)); },
                 [&](const char* s) { ASSERT_TRUE(file->DeleteSection(s)); });
        EXPECT_EQ(file->ReadString("a.x", "value", "none"), "sp");  // reads see the writes before a flush
        ASSERT_TRUE(file->Flush());
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kWrittenBySystem);
    const std::unique_ptr<IniFile> file = OpenIniFile(path);
    EXPECT_EQ(file->SectionNames(), (std::vector<std::string>{"a.x", "b", "c"}));
    EXPECT_EQ(file->ReadString("B", "Value", "none"), "q");  // quotes go, names ignore case
    EXPECT_EQ(file->ReadString("b", "missing", "none"), "none");
    EXPECT_EQ(file->ReadString("gone", "value", "none"), "none");
    EXPECT_EQ(file->ReadString("c", "value", "none"), "");
    EXPECT_TRUE(OpenIniFile(path + ".missing")->SectionNames().empty());
    ASSERT_TRUE(OpenIniFile(path + ".untouched")->Flush());
    EXPECT_FALSE(PathExists(path + ".untouched"));  // no write, no file
}

TEST(IniText, ReadsHandWrittenFilesLikeTheSystem) {
    const IniDocument doc = IniDocument::Parse(
        "stray=before\n; comment\n  [ one ]  \n key = \"a value\" \n\n[two\nx=1\n[one]\ny=2\nnovalue\n");
    EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(doc.Read("one", "key"), "a value");
    EXPECT_EQ(doc.Read("two", "x"), "1");
    EXPECT_FALSE(doc.Read("one", "y"));  // the first section of a name answers
    EXPECT_FALSE(doc.Read("one", "novalue"));
    EXPECT_EQ(doc.Read("one", "stray"), std::nullopt);
}

}  // namespace
}  // namespace velmo::platform
