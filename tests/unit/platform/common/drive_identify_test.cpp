// A drive's identification data: texts two characters a word with the high byte first, cut at a
// zero and trimmed of the drive's blank padding; the removable and fixed bits; the buffer size in
// sectors; the default geometry; and data too short to hold it all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/drive_identify.h"

namespace velmo::platform {
namespace {

class IdentifyData {
public:
    IdentifyData() : bytes_(kIdentifyDataBytes, 0) {}
    IdentifyData& Word(size_t index, uint16_t value) {
        bytes_[2 * index] = static_cast<uint8_t>(value & 0xFF);
        bytes_[2 * index + 1] = static_cast<uint8_t>(value >> 8);
        return *this;
    }
    // `text` padded with blanks to `words` words, as drives store it.
    IdentifyData& Text(size_t first, size_t words, std::string text) {
        text.resize(2 * words, ' ');
        for (size_t i = 0; i < words; ++i)
            Word(first + i,
                 static_cast<uint16_t>(static_cast<uint8_t>(text[2 * i]) << 8 | static_cast<uint8_t>(text[2 * i + 1])));
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

TEST(DriveIdentify, TextsAreReadHighByteFirstAndTrimmed) {
    const IdentifyData data = IdentifyData()
                                  .Text(27, 20, "WDC WD10EZEX-08WN4A0")
                                  .Text(10, 10, "     WD-WCC6Y7KJ4ZL4")
                                  .Text(23, 4, "01.01A01");
    const std::optional<DriveIdentity> id = ParseIdentifyData(data.Bytes());
    ASSERT_TRUE(id);
    EXPECT_EQ(id->model, "WDC WD10EZEX-08WN4A0");
    EXPECT_EQ(id->serial, "WD-WCC6Y7KJ4ZL4");
    EXPECT_EQ(id->revision, "01.01A01");
    // Read low byte first, the model would come out with its characters swapped in pairs.
    EXPECT_EQ(IdentifyText(IdentifyData().Word(0, 0x4142).Bytes(), 0, 1), "AB");
    // A zero ends the text; all blanks give the empty text; a range past the data stops there.
    EXPECT_EQ(IdentifyText(IdentifyData().Text(0, 3, "ab").Word(1, 0x0063).Bytes(), 0, 3), "ab");
    EXPECT_EQ(IdentifyText(IdentifyData().Text(0, 4, "").Bytes(), 0, 4), "");
    EXPECT_EQ(IdentifyText(IdentifyData().Text(255, 1, "zz").Bytes(), 255, 4), "zz");
    // The full field width is kept: a 40-character model is not cut.
    const std::string forty(40, 'M');
    EXPECT_EQ(ParseIdentifyData(IdentifyData().Text(27, 20, forty).Bytes())->model, forty);
}

TEST(DriveIdentify, TypeBufferAndGeometryComeFromTheirWords) {
    const IdentifyData fixed = IdentifyData().Word(0, 0x0040).Word(1, 16383).Word(3, 16).Word(6, 63).Word(21, 0x0800);
    const std::optional<DriveIdentity> id = ParseIdentifyData(fixed.Bytes());
    ASSERT_TRUE(id);
    EXPECT_EQ(id->driveType, "Fixed");
    EXPECT_EQ(id->cylinders, 16383);
    EXPECT_EQ(id->heads, 16);
    EXPECT_EQ(id->sectors, 63);
    EXPECT_EQ(id->bufferSize, 0x0800 * 512);
    // Removable wins when a drive sets both bits; neither is Unknown.
    EXPECT_EQ(ParseIdentifyData(IdentifyData().Word(0, 0x00C0).Bytes())->driveType, "Removable");
    EXPECT_EQ(ParseIdentifyData(IdentifyData().Word(0, 0x8A00).Bytes())->driveType, "Unknown");
    // The largest buffer word still fits the 32-bit size.
    EXPECT_EQ(ParseIdentifyData(IdentifyData().Word(21, 0xFFFF).Bytes())->bufferSize, 0xFFFF * 512);
}

TEST(DriveIdentify, ShortDataGivesNothing) {
    std::vector<uint8_t> bytes = IdentifyData().Text(27, 20, "model").Bytes();
    bytes.pop_back();
    EXPECT_FALSE(ParseIdentifyData(bytes));
    EXPECT_FALSE(ParseIdentifyData({}));
}

}  // namespace
}  // namespace velmo::platform
