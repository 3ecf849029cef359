// Resource blobs: decoding, every rejection with its exact text, and the loaders over a real image.
#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/byte_order.h"
#include "platform/environment.h"
#include "platform/error_report.h"
#include "shell/resource_blob.h"
#include "shell/shell_error.h"
#include "tests/support/scratch.h"
#include "tools/builder/blob_writer.h"
#include "tools/builder/pe_writer.h"

namespace velmo::shell {
namespace {

using testing::Bytes;

std::string DecodeError(const std::vector<uint8_t>& blob) {
    try {
        DecodeResourceBlob(blob);
    } catch (const ShellError& e) {
        return e.Message();
    }
    return "no error";
}

TEST(ResourceBlob, DecodesWhatTheBuilderEncodes) {
    std::vector<uint8_t> data(100000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 % 251);
    EXPECT_EQ(DecodeResourceBlob(builder::EncodeResourceBlob(data)), data);
    EXPECT_EQ(DecodeResourceBlob(builder::EncodeResourceBlob(Bytes("x"))), Bytes("x"));
    // Bytes behind the stream are ignored, and so is the CRC-32 field.
    std::vector<uint8_t> blob = builder::EncodeResourceBlob(Bytes("hello"));
    blob[12] ^= 0xFF;
    blob.push_back(0xEE);
    EXPECT_EQ(DecodeResourceBlob(blob), Bytes("hello"));
}

TEST(ResourceBlob, RejectsBadLengthsAndHeadersWithTheirTexts) {
    const std::vector<uint8_t> good = builder::EncodeResourceBlob(Bytes("settings record"));
    EXPECT_EQ(DecodeError(std::vector<uint8_t>(good.begin(), good.begin() + 16)), "Bad compressed data length");
    EXPECT_EQ(DecodeError({}), "Bad compressed data length");
    for (size_t i : {0, 1, 2, 3}) {
        std::vector<uint8_t> bad = good;
        bad[i] ^= 1;
        EXPECT_EQ(DecodeError(bad), "Bad compressed data header") << i;
    }
    std::vector<uint8_t> promisesMore = good;
    platform::StoreU32(&promisesMore[8], static_cast<uint32_t>(good.size() - 16 + 1));
    EXPECT_EQ(DecodeError(promisesMore), "Bad compressed data length");
    std::vector<uint8_t> hugeOutput = good;  // 4 GiB from a few bytes: refused before allocating
    platform::StoreU32(&hugeOutput[4], 0xFFFFFFF0u);
    EXPECT_EQ(DecodeError(hugeOutput), "Bad compressed data length");
}

TEST(ResourceBlob, ZlibFailuresCarryTheirCodeTexts) {
    std::vector<uint8_t> corrupt = builder::EncodeResourceBlob(Bytes("some text to compress"));
    corrupt[16] ^= 0xFF;  // zlib header
    EXPECT_EQ(DecodeError(corrupt), "The compress(uncompress) input data was corrupted");
    std::vector<uint8_t> tooSmall = builder::EncodeResourceBlob(Bytes("some text to compress"));
    platform::StoreU32(&tooSmall[4], 3);  // output buffer smaller than the data
    EXPECT_EQ(DecodeError(tooSmall), "There was not enough room in the compress(uncompress) output buffer");
    EXPECT_EQ(CompressionError(Z_MEM_ERROR).Message(), "There was not enough memory for compress(uncompress)");
    EXPECT_EQ(CompressionError(Z_STREAM_ERROR).Message(), "The compress level parameter is invalid");
    EXPECT_EQ(CompressionError(Z_VERSION_ERROR).Message(), "Compression or uncompression failed");
}

class ResourceLoading : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<uint8_t> image = builder::WriteResourceImage({
            {"MOVORA", "ST", 0, builder::EncodeResourceBlob(Bytes("settings"))},
            {"MOVORA", "ID", 0, Bytes("raw identifier")},
            {"MOVORA", "BAD", 0, Bytes("not a blob at all")},
        });
        platform::UseApplicationImage(scratch_.Write("app.exe", image));
        platform::ShownErrors().clear();
    }
    void TearDown() override {
        platform::UseApplicationImage("");
        SetMainWindowCaptionSource(nullptr);
    }
    testing::ScratchFolder scratch_;
};

TEST_F(ResourceLoading, RawResourcesComeAsStoredAndMissingOnesThrowTheSystemText) {
    EXPECT_EQ(LoadRawResource("ID", "MOVORA"), Bytes("raw identifier"));
    try {
        LoadRawResource("XX", "MOVORA");
        FAIL() << "no exception";
    } catch (const SystemError& e) {
#ifndef _WIN32  // the system words these texts; wine words them differently from Windows
        EXPECT_EQ(e.Message(), "The specified resource name cannot be found in the image file.");
#endif
    }
    try {
        LoadRawResource("ST", "NOPE");
        FAIL() << "no exception";
    } catch (const SystemError& e) {
#ifndef _WIN32  // the system words these texts; wine words them differently from Windows
        EXPECT_EQ(e.Message(), "The specified resource type cannot be found in the image file.");
#endif
    }
}

TEST_F(ResourceLoading, BlobFailuresAreReportedOnlyWhileAMainWindowExists) {
    EXPECT_EQ(LoadResourceBlob("ST", "MOVORA"), Bytes("settings"));
    EXPECT_EQ(LoadResourceBlob("BAD", "MOVORA"), std::nullopt);
    EXPECT_TRUE(platform::ShownErrors().empty());

    SetMainWindowCaptionSource([] { return std::optional<std::string>("My Movie"); });
    EXPECT_EQ(LoadResourceBlob("BAD", "MOVORA"), std::nullopt);
    EXPECT_EQ(LoadResourceBlob("GONE", "MOVORA"), std::nullopt);
    ASSERT_EQ(platform::ShownErrors().size(), 2u);
    EXPECT_EQ(platform::ShownErrors()[0].text, "Bad compressed data header");
    EXPECT_EQ(platform::ShownErrors()[0].title, "My Movie");
#ifndef _WIN32  // the system words this text; wine words it differently from Windows
    EXPECT_EQ(platform::ShownErrors()[1].text, "The specified resource name cannot be found in the image file.");
#endif
}

TEST(ShellError, ReportsAtMostTheirLimit) {
    const std::string longText(400, 'x');
    SetMainWindowCaptionSource([] { return std::optional<std::string>("Caption"); });
    platform::ShownErrors().clear();
    ReportError(SystemError(longText));
    SetMainWindowCaptionSource(nullptr);
    ASSERT_EQ(platform::ShownErrors().size(), 1u);
    EXPECT_EQ(platform::ShownErrors()[0].text, std::string(259, 'x'));
}

}  // namespace
}  // namespace velmo::shell
