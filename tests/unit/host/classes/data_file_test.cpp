// The texts and files behind DataFile and Encryption: Base64's lenient reading, URI texts, escaped
// section names, full-precision floats, files of older writers, and enciphered files that are
// damaged, cut short or under another key.
#include <gtest/gtest.h>

#include <limits>

#include "host/classes/base64.h"
#include "host/classes/data_file_text.h"
#include "host/classes/data_key.h"
#include "host/classes/enciphered_file.h"
#include "host/make_engine.h"
#include "platform/files.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"
#include "shell/movie_cipher.h"
#include "tests/support/scratch.h"

namespace velmo::host {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(Base64, EncodesWithPaddingAndDecodesLeniently) {
    EXPECT_EQ(EncodeBase64(Bytes("")), "");
    EXPECT_EQ(EncodeBase64(Bytes("f")), "Zg==");
    EXPECT_EQ(EncodeBase64(Bytes("fo")), "Zm8=");
    EXPECT_EQ(EncodeBase64(Bytes("foobar")), "Zm9vYmFy");
    EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy"), Bytes("foobar"));  // line breaks skipped
    EXPECT_EQ(DecodeBase64("Zg==Zm8="), Bytes("f"));           // stops at the first "="
    EXPECT_EQ(DecodeBase64("Zm9v!YmFy"), Bytes("foo!bar"));    // strangers copied through
}

TEST(DataFileText, NamesAndValuesSurviveTheProfileCalls) {
    EXPECT_EQ(EscapePathPart(u"plain_Name1"), "plain_Name1");
    EXPECT_EQ(EscapePathPart(u"a.b c%[x]='\"\u00e9"), "a%2Eb%20c%25%5Bx%5D%3D%27%22%C3%A9");
    const std::vector<std::u16string> parts = SplitSectionPath("g.a%2Eb.2 old part.%C3%A9");
    EXPECT_EQ(parts, (std::vector<std::u16string>{u"g", u"a.b", u"2", u"old", u"part", u"\u00e9"}));
    EXPECT_EQ(StringValueText(u"'it's'"), "%27it%27s%27");
    EXPECT_EQ(StringFromValueText("%27it%27s%27"), u"'it's'");
    EXPECT_FALSE(StringFromValueText("%ZZ"));
}

TEST(DataFileText, FloatsKeepEveryDigitAndOldTextsStillRead) {
    for (const double value : {0.1, 0.1 + 0.2, 1.0 / 3, 1e300, -4.9e-324, 123456789.125, -0.0})
        EXPECT_EQ(ReadFloatText(FloatText(value)), value) << FloatText(value);
    EXPECT_EQ(FloatText(0.5), "0.5");
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ReadFloatText(FloatText(infinity)), infinity);
    EXPECT_EQ(ReadFloatText("0.333333"), 0.333333);  // six digits, as older files hold them
    EXPECT_FALSE(ReadFloatText("1.5x"));
    EXPECT_FALSE(ReadIntegerText(""));
    EXPECT_EQ(ReadIntegerText("-9223372036854775808"), INT64_MIN);
    EXPECT_FALSE(ReadIntegerText("9223372036854775808"));
}

class DataFileRun : public ::testing::Test {
protected:
    void SetUp() override { engine_ = MakeEngine({}); }
    void TearDown() override { SetDataKey(std::string(kDefaultDataKey)); }
    std::string Run(const std::string& script) {
        if (engine_->RunSourceText("var out = " + script + ";") != 1) return "error: " + engine_->ErrorText();
        (void)engine_->RunSourceText("out = \"\" + out;");
        const script::Value& out = script::GlobalByName(engine_->Interp(), "out");
        std::string text;
        for (const char16_t c : script::Text(out.AsString())) text += static_cast<char>(c);
        return text;
    }
    std::string Write(const std::string& name, std::string_view text) {
        return platform::FullPath(folder_.Write(name, Bytes(text)));
    }
    static std::string Quoted(const std::string& path) {
        std::string out = "\"";
        for (const char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return out + "\"";
    }
    std::unique_ptr<script::Engine> engine_;
    testing::ScratchFolder folder_;
};

TEST_F(DataFileRun, FilesOfOlderWritersStillLoad) {
    const std::string path =
        Write("old.ini",
              "[cfg]\r\ntype=object\r\n[cfg.ratio]\r\ntype=float\r\nvalue=0.333333\r\n"
              "[cfg.name]\r\nvalue=a%20b\r\n[cfg.list]\r\ntype=array\r\n"
              "[cfg.list.3]\r\ntype=INTEGER\r\nvalue=7\r\n[cfg.flag]\r\ntype=boolean\r\nvalue=TRUE\r\n"
              "[cfg.odd]\r\ntype=mystery\r\nvalue=1\r\n[cfg.list.x]\r\ntype=integer\r\nvalue=1\r\n");
    EXPECT_EQ(Run("DataFile.load(" + Quoted(path) +
                  ") + '|' + cfg.ratio + '|' + cfg.name + '|' + cfg.list.length +"
                  " '|' + cfg.list[3] + '|' + cfg.flag + '|' + typeof cfg.odd"),
              "true|0.333333|a b|4|7|true|undefined");
}

TEST_F(DataFileRun, DamagedEncipheredFilesAreRefusedAndChangeNothing) {
    const std::string plain = Write("plain.ini", "[kept]\r\ntype=string\r\nvalue=new\r\n");
    const std::string good = platform::FullPath(folder_.Path() + "good.dat");
    ASSERT_TRUE(EncipherFile(plain, good, kDefaultDataKey));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(good, bytes));
    const std::string cut =
        Write("cut.dat", std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 3));
    bytes[3] ^= 0x40;  // one flipped bit in the first block
    const std::string flipped =
        Write("flipped.dat", std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    const std::string other = platform::FullPath(folder_.Path() + "other.dat");
    ASSERT_TRUE(EncipherFile(plain, other, "another key"));

    (void)Run("kept = 'old'");
    for (const std::string& path : {cut, flipped, other})
        EXPECT_EQ(Run("DataFile.loadAndDec(" + Quoted(path) + ") + kept"), "falseold") << path;
    EXPECT_EQ(Run("DataFile.loadAndDec(" + Quoted(good) + ") + kept"), "truenew");

    // Without a data key the enciphered methods do nothing.
    SetDataKey("");
    (void)Run("kept = 'old'; DataFile.saveAndEnc(" + Quoted(good) + ", 'kept')");
    EXPECT_EQ(Run("DataFile.loadAndDec(" + Quoted(good) + ") + kept"), "falseold");
}

TEST(EncipheredFile, HasTheLayoutOfEncipheredMovies) {
    testing::ScratchFolder folder;
    std::vector<uint8_t> plain(4096 + 10);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7);
    const std::string source = folder.Write("plain.bin", plain);
    const std::string enciphered = folder.Path() + "enc.bin";
    ASSERT_TRUE(EncipherFile(source, enciphered, "key"));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(enciphered, bytes));
    EXPECT_EQ(bytes, shell::EncipherMovie(plain, "key"));
    const std::string back = folder.Path() + "back.bin";
    ASSERT_TRUE(DecipherFile(enciphered, back, "key"));
    ASSERT_TRUE(platform::ReadWholeFile(back, bytes));
    EXPECT_EQ(bytes, plain);
    const std::optional<DecipheredBytes> wrong = DecipherFileBytes(enciphered, "other");
    ASSERT_TRUE(wrong);
    EXPECT_FALSE(wrong->paddingClean);  // 10 bytes in the last block: six padding bytes that are not zero
}

}  // namespace
}  // namespace velmo::host
