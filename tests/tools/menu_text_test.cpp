// The text form of menu definitions that velmo pack reads: what it builds, and each mistake
// reported on its own line.
#include "tools/builder/menu_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/builder/manifest.h"

namespace velmo::builder {
namespace {

TEST(MenuText, StatementsBuildNestedItems) {
    const auto items = ParseMenuText(
        "# a comment\r\n"
        "popup \"&File\"\n"
        "\titem open \"&Open...\" \"Ctrl+O\"\n"
        "    separator\n"
        "    popup \"Re&cent\"\n"
        "        item \"recent.1\" \"Say \\\"hi\\\" \\\\ bye\"\n"
        "    end\n"
        "end\n"
        "\n"
        "item help \"&Help\" \"f1\"",
        "main.menu");
    ASSERT_EQ(items.size(), 2u);
    ASSERT_TRUE(items[0].IsPopup());
    EXPECT_EQ(items[0].caption, "&File");
    ASSERT_EQ(items[0].children.size(), 3u);
    EXPECT_EQ(items[0].children[0].name, "open");
    EXPECT_EQ(items[0].children[0].accelerator, "Ctrl+O");
    EXPECT_TRUE(items[0].children[1].IsSeparator());
    ASSERT_EQ(items[0].children[2].children.size(), 1u);
    EXPECT_EQ(items[0].children[2].children[0].name, "recent.1");
    EXPECT_EQ(items[0].children[2].children[0].caption, "Say \"hi\" \\ bye");
    EXPECT_EQ(items[1].accelerator, "f1");
}

TEST(MenuText, MistakesNameTheirLine) {
    const struct {
        const char* text;
        int line;
        const char* message;
    } rows[] = {
        {"popup \"A\"\nitem a \"A\"\n", 1, "this popup has no end"},
        {"item a \"A\"\nend\n", 2, "end without a popup"},
        {"\nitem a \"A\" \"Ctrl+Nope\"\n", 2, "\"Ctrl+Nope\" names no key"},
        {"item a \"A\" \"Ctrl+Ctrl+A\"\n", 1, "names no key"},
        {"item a\n", 1, "an item is: item NAME"},
        {"item a A\n", 1, "an item is: item NAME"},
        {"item a \"A\\n\"\n", 1, "only \\\" and \\\\ are escapes"},
        {"item a \"A\n", 1, "a quoted text is not closed"},
        {"menu \"A\"\n", 1, "expected item, separator, popup or end"},
        {"separator x\n", 1, "a separator takes nothing more"},
        {"popup A\nend\n", 1, "a popup is: popup \"CAPTION\""},
        {"item a \"\t\"\n", 1, "a control character"},
        {"item a \"\xC3\"\n", 1, "not valid UTF-8"},
        {"item a+b \"A\"\n", 1, "unexpected character '+'"},
    };
    for (const auto& row : rows) {
        try {
            (void)ParseMenuText(row.text, "m.menu");
            ADD_FAILURE() << "no error for: " << row.text;
        } catch (const ManifestError& error) {
            EXPECT_EQ(error.Line(), row.line) << row.text;
            EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("m.menu:", 0), 0u) << error.what();
        }
    }
    std::string deep;
    for (int i = 0; i <= shell::kMaxMenuDepth; ++i) deep += "popup \"P\"\n";
    EXPECT_THROW((void)ParseMenuText(deep, "m.menu"), ManifestError);
}

}  // namespace
}  // namespace velmo::builder
