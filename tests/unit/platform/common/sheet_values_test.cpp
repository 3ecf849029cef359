// The values file that answers a property sheet without a user, and the values each kind of
// control takes from it.
#include "platform/common/sheet_values.h"

#include <gtest/gtest.h>

#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

using testing::Bytes;
using testing::ScopedEnvironment;
using testing::ScratchFolder;

SheetControl Make(int id, SheetControlKind kind) {
    SheetControl c;
    c.id = id;
    c.kind = kind;
    return c;
}

// One page with a control of each kind that has a value, and a label.
SheetDescription TestSheet() {
    SheetPage page;
    page.caption = "Page";
    SheetControl a = Make(10, SheetControlKind::Radio), b = Make(11, SheetControlKind::Radio);
    a.group = b.group = 1;
    a.value = "1";
    b.value = "0";
    SheetControl other = Make(12, SheetControlKind::Radio);  // another group
    other.group = 2;
    other.value = "1";
    SheetControl edit = Make(20, SheetControlKind::Edit);
    edit.maxLength = 5;
    SheetControl number = Make(21, SheetControlKind::NumberEdit);
    number.value = "7";
    SheetControl spin = Make(22, SheetControlKind::Spin);
    spin.buddy = 21;
    spin.minimum = 1;
    spin.maximum = 100;
    SheetControl list = Make(30, SheetControlKind::List);
    list.items = {"one", "two", "three"};
    page.controls = {a,
                     b,
                     other,
                     Make(13, SheetControlKind::Check),
                     edit,
                     number,
                     spin,
                     list,
                     Make(40, SheetControlKind::HotKey),
                     Make(50, SheetControlKind::Colour),
                     Make(0, SheetControlKind::Label)};
    SheetDescription sheet;
    sheet.pages = {page};
    return sheet;
}

TEST(SheetValues, ParsesValuesUpToTheClosingLine) {
    const SheetValuesParse p = ParseSheetValues(
        "# a comment\r\n\n1046=1\r\n1055=New caption \r\n1020=a=b\nok\n1046=0\nnot even a value line\n");
    ASSERT_TRUE(p.values) << p.error;
    EXPECT_TRUE(p.values->ok);
    ASSERT_EQ(p.values->values.size(), 3u);
    EXPECT_EQ(p.values->values[0], (std::pair<int, std::string>{1046, "1"}));
    EXPECT_EQ(p.values->values[1].second, "New caption ");  // blanks at the end are the value's
    EXPECT_EQ(p.values->values[2].second, "a=b");

    const SheetValuesParse cancel = ParseSheetValues("1046=1\nCANCEL \n");
    ASSERT_TRUE(cancel.values);
    EXPECT_FALSE(cancel.values->ok);
    const SheetValuesParse unfinished = ParseSheetValues("1046=1");
    ASSERT_TRUE(unfinished.values);
    EXPECT_FALSE(unfinished.values->ok);
    EXPECT_EQ(unfinished.values->values.size(), 1u);
}

TEST(SheetValues, RefusesTheWholeFileForOneBadLine) {
    for (const char* text :
         {"1046=1\nOKAY\n", "1046\nOK\n", "=1\nOK\n", "0=1\nOK\n", "65536=1\nOK\n", "-5=1\nOK\n", " 1046=1\nOK\n"}) {
        const SheetValuesParse p = ParseSheetValues(text);
        EXPECT_FALSE(p.values) << text;
        EXPECT_FALSE(p.error.empty());
    }
    EXPECT_EQ(ParseSheetValues("# first\n1046=1\nOKAY\n").error.rfind("line 3:", 0), 0u);
}

TEST(SheetValues, EachKindChecksAndNormalisesItsValue) {
    const SheetDescription sheet = TestSheet();
    const auto check = [&](int id, const std::string& value) { return CheckSheetValue(sheet, *sheet.Find(id), value); };
    EXPECT_EQ(check(13, "1"), "1");
    EXPECT_FALSE(check(13, "2"));
    EXPECT_FALSE(check(10, "yes"));
    EXPECT_EQ(check(20, "abcde"), "abcde");
    EXPECT_FALSE(check(20, "abcdef"));  // past the edit's limit
    EXPECT_EQ(check(21, "0100"), "100");
    EXPECT_FALSE(check(21, "101"));  // past the spin's range
    EXPECT_FALSE(check(21, "0"));
    EXPECT_FALSE(check(21, "-1"));
    EXPECT_FALSE(check(21, ""));
    EXPECT_EQ(check(22, "50"), "50");  // a spin takes what its buddy takes
    EXPECT_FALSE(check(22, "500"));
    EXPECT_EQ(check(30, "2"), "2");
    EXPECT_FALSE(check(30, "3"));
    EXPECT_EQ(check(40, "0x251"), "593");
    EXPECT_EQ(check(40, "593"), "593");
    EXPECT_FALSE(check(40, "0x10000"));
    EXPECT_EQ(check(50, "#1f3a5F"), "#1F3A5F");
    EXPECT_FALSE(check(50, "1F3A5F"));
    EXPECT_FALSE(check(50, "#1F3A5G"));
    EXPECT_FALSE(check(50, "#-1F3A5"));
    EXPECT_FALSE(CheckSheetValue(sheet, sheet.pages[0].controls.back(), "x"));  // a label has none
}

TEST(SheetValues, SettingARadioClearsOnlyItsGroupAndASpinSetsItsBuddy) {
    SheetDescription sheet = TestSheet();
    EXPECT_TRUE(SetSheetValue(sheet, 11, "1"));
    EXPECT_EQ(sheet.Find(10)->value, "0");
    EXPECT_EQ(sheet.Find(11)->value, "1");
    EXPECT_EQ(sheet.Find(12)->value, "1");
    EXPECT_TRUE(SetSheetValue(sheet, 22, "42"));
    EXPECT_EQ(sheet.Find(21)->value, "42");
    EXPECT_EQ(sheet.Find(22)->value, "");
    EXPECT_FALSE(SetSheetValue(sheet, 30, "9"));
    EXPECT_EQ(sheet.Find(30)->value, "");  // a refused value changes nothing
    EXPECT_FALSE(SetSheetValue(sheet, 99, "1"));
}

TEST(SheetValues, TheEnvironmentNamesTheFileThatAnswers) {
    ScratchFolder folder;
    {
        ScopedEnvironment none(kSheetValuesVariable, std::nullopt);
        SheetDescription sheet = TestSheet();
        const SheetResult r = AnswerSheetFromEnvironment(sheet);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.notes.size(), 1u);
        EXPECT_NE(r.notes[0].find("no values file"), std::string::npos);
    }
    {
        const std::string path = folder.Write("values.txt", Bytes("11=1\n99=1\n30=7\n13=1\nOK\n"));
        ScopedEnvironment named(kSheetValuesVariable, path);
        SheetDescription sheet = TestSheet();
        const SheetResult r = AnswerSheetFromEnvironment(sheet);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(sheet.Find(11)->value, "1");
        EXPECT_EQ(sheet.Find(13)->value, "1");
        EXPECT_EQ(r.notes, (std::vector<std::string>{"values from \"" + path + "\"", "no control 99",
                                                     "control 30 refuses \"7\""}));
    }
    {
        const std::string path = folder.Write("bad.txt", Bytes("11=1\nyes please\nOK\n"));
        ScopedEnvironment named(kSheetValuesVariable, path);
        SheetDescription sheet = TestSheet();
        const SheetResult r = AnswerSheetFromEnvironment(sheet);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(sheet.Find(11)->value, "0");  // nothing of a refused file is taken
        ASSERT_EQ(r.notes.size(), 1u);
        EXPECT_NE(r.notes[0].find("line 2"), std::string::npos);
    }
    {
        ScopedEnvironment missing(kSheetValuesVariable, folder.Path() + "missing.txt");
        SheetDescription sheet = TestSheet();
        EXPECT_FALSE(AnswerSheetFromEnvironment(sheet).ok);
    }
}

}  // namespace
}  // namespace velmo::platform
