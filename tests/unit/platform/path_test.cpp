// Path splitting and joining: either separator, names with leading dots, empty parts; and telling
// whether two spellings name one file.
#include "platform/path.h"

#include "platform/files.h"

#include <gtest/gtest.h>

namespace velmo::platform {
namespace {

TEST(Path, SplitsAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(FolderPart("C:\\apps\\demo.exe"), "C:\\apps");
    EXPECT_EQ(FolderPart("/tmp/x\\run/app.exe"), "/tmp/x\\run");
    EXPECT_EQ(FolderPart("app.exe"), "");
    EXPECT_EQ(FileNamePart("C:\\apps\\demo.exe"), "demo.exe");
    EXPECT_EQ(FileNamePart("folder\\"), "");
    EXPECT_EQ(StemPart("C:\\apps\\demo.v2.exe"), "demo.v2");
    EXPECT_EQ(ExtensionPart("C:\\apps\\demo.v2.exe"), ".exe");
    // A dot in a folder name or at the start of the name starts no extension.
    EXPECT_EQ(ExtensionPart("C:\\my.apps\\readme"), "");
    EXPECT_EQ(StemPart("/home/u/.profile"), ".profile");
    EXPECT_EQ(ExtensionPart("/home/u/.profile"), "");
}

TEST(Path, JoinsWithExactlyOneSeparator) {
    EXPECT_EQ(JoinPath("C:\\apps", "demo.exe"), "C:\\apps\\demo.exe");
    EXPECT_EQ(JoinPath("C:\\apps\\", "\\demo.exe"), "C:\\apps\\demo.exe");
    EXPECT_EQ(JoinPath("/tmp/", "x"), "/tmp/x");
    EXPECT_EQ(JoinPath("", "demo.exe"), "demo.exe");
    EXPECT_EQ(JoinPath("C:\\apps", ""), "C:\\apps");
}

// The same file however a user spells it: relative or not, either separator, "." and "..".
TEST(Path, SamePathSeesThroughSpellings) {
    EXPECT_TRUE(SamePath("scripts/init.qvs", "./scripts//init.qvs"));
    EXPECT_TRUE(SamePath("a\\b\\..\\c.txt", FullPath("a/c.txt")));
    EXPECT_FALSE(SamePath("a/c.txt", "a/d.txt"));
    EXPECT_FALSE(SamePath("a/c.txt", "b/c.txt"));
}

}  // namespace
}  // namespace velmo::platform
