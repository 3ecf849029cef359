// Movie headers as the window reads them before the control has the movie: crafted plain and
// compressed movies, tag streams, player programs with an appended movie, and damage of each kind.
#include "shell/movie_header.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/support/scratch.h"

namespace velmo::shell {
namespace {

// A frame rectangle in 15-bit fields: 550 x 400 pixels.
const std::vector<uint8_t> kRect550x400 = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};

std::vector<uint8_t> Tag(uint16_t code, const std::vector<uint8_t>& data, bool longForm = false) {
    std::vector<uint8_t> tag;
    const uint16_t head = static_cast<uint16_t>(code << 6 | (longForm || data.size() >= 0x3F ? 0x3F : data.size()));
    tag = {static_cast<uint8_t>(head), static_cast<uint8_t>(head >> 8)};
    if ((head & 0x3F) == 0x3F)
        for (int shift = 0; shift < 32; shift += 8) tag.push_back(static_cast<uint8_t>(data.size() >> shift));
    tag.insert(tag.end(), data.begin(), data.end());
    return tag;
}

// The body after the 8-byte signature: rectangle, 24.5 frames per second, 3 frames, then `tags`.
std::vector<uint8_t> Body(const std::vector<uint8_t>& tags, const std::vector<uint8_t>& rect = kRect550x400) {
    std::vector<uint8_t> body = rect;
    body.insert(body.end(), {0x80, 0x18, 0x03, 0x00});
    body.insert(body.end(), tags.begin(), tags.end());
    return body;
}

std::vector<uint8_t> Plain(const std::vector<uint8_t>& body) {
    std::vector<uint8_t> movie = {'F', 'W', 'S', 10, 0, 0, 0, 0};
    movie.insert(movie.end(), body.begin(), body.end());
    return movie;
}

std::vector<uint8_t> Compressed(const std::vector<uint8_t>& body) {
    std::vector<uint8_t> packed(compressBound(body.size()));
    uLongf packedSize = packed.size();
    EXPECT_EQ(compress(packed.data(), &packedSize, body.data(), body.size()), Z_OK);
    std::vector<uint8_t> movie = {'C', 'W', 'S', 10, 0, 0, 0, 0};
    movie.insert(movie.end(), packed.begin(), packed.begin() + packedSize);
    return movie;
}

TEST(MovieHeader, ReadsSizeRateCountAndTheFirstBackgroundColourOfPlainAndCompressedMovies) {
    // A file-attributes tag, a long-form tag of another kind, then two background colours: the
    // first one counts.
    const std::vector<uint8_t> tags = [] {
        std::vector<uint8_t> t = Tag(69, {0, 0, 0, 0});
        for (const auto& next : {Tag(77, std::vector<uint8_t>(100, 'x')), Tag(9, {0x01, 0x00, 0xFF}, true),
                                 Tag(9, {0xFF, 0xFF, 0xFF}), Tag(0, {})})
            t.insert(t.end(), next.begin(), next.end());
        return t;
    }();
    for (const std::vector<uint8_t>& movie : {Plain(Body(tags)), Compressed(Body(tags))}) {
        const std::optional<MovieHeader> header = ParseMovieHeader(movie);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->compressed, movie[0] == 'C');
        EXPECT_EQ(header->version, 10);
        EXPECT_EQ(header->FrameSize(), (platform::Size{550, 400}));
        EXPECT_EQ(header->frameRate, 24.5);
        EXPECT_EQ(header->frameCount, 3);
        EXPECT_EQ(header->backgroundRgb, 0x0100FF);
    }
}

TEST(MovieHeader, DamageAfterTheFrameCountKeepsTheHeaderWithoutAColour) {
    // No tags, an end tag before the colour, a tag longer than the file, a colour tag cut short.
    const std::vector<std::vector<uint8_t>> tagStreams = {
        {},
        [] {
            std::vector<uint8_t> t = Tag(0, {});
            const std::vector<uint8_t> colour = Tag(9, {1, 2, 3});
            t.insert(t.end(), colour.begin(), colour.end());
            return t;
        }(),
        {0x7F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2},  // tag 1, long form, 4 GiB
        {0x43, 0x02, 0x01}};                         // tag 9 holding one byte of three
    for (const auto& tags : tagStreams) {
        for (const std::vector<uint8_t>& movie : {Plain(Body(tags)), Compressed(Body(tags))}) {
            const std::optional<MovieHeader> header = ParseMovieHeader(movie);
            ASSERT_TRUE(header);
            EXPECT_EQ(header->FrameSize(), (platform::Size{550, 400}));
            EXPECT_EQ(header->backgroundRgb, -1);
        }
    }
}

TEST(MovieHeader, RefusesWhatIsNoMovieOrEndsBeforeTheFrameCount) {
    const std::vector<uint8_t> plain = Plain(Body({}));
    for (size_t cut = 0; cut < plain.size(); ++cut)
        EXPECT_FALSE(ParseMovieHeader(std::span(plain).first(cut))) << "cut at " << cut;
    std::vector<uint8_t> other = plain;
    other[0] = 'Z';  // the LZMA kind and anything else
    EXPECT_FALSE(ParseMovieHeader(other));
    // A compressed signature over a body that is no zlib stream, and a zlib stream cut short.
    std::vector<uint8_t> notZlib = plain;
    notZlib[0] = 'C';
    EXPECT_FALSE(ParseMovieHeader(notZlib));
    const std::vector<uint8_t> compressed = Compressed(Body({}));
    EXPECT_FALSE(ParseMovieHeader(std::span(compressed).first(10)));
}

TEST(MovieHeader, AbsurdRectanglesGiveTheirArithmeticWithoutOverflow) {
    // 31-bit fields at their extremes: xMin the most negative, xMax the most positive.
    std::vector<uint8_t> rect(17, 0);
    rect[0] = 31 << 3 | 0x04;  // n = 31, then xMin = -2^30: its sign bit and 30 zeros
    rect[4] = 0x07;            // xMax = 2^30 - 1: a zero sign bit, then 30 ones to bit 66
    for (size_t i = 5; i < 8; ++i) rect[i] = 0xFF;
    rect[8] = 0xE0;
    const std::optional<MovieHeader> header = ParseMovieHeader(Plain(Body({}, rect)));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->xMin, -(1 << 30));
    EXPECT_EQ(header->xMax, (1 << 30) - 1);
    EXPECT_EQ(header->FrameSize().width, ((int64_t{1} << 31) - 1) / 20);
    // A zero-width field: every side 0, a frame size of nothing.
    const std::optional<MovieHeader> empty = ParseMovieHeader(Plain(Body({}, {0x00})));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->FrameSize(), (platform::Size{0, 0}));
}

TEST(MovieHeader, FindsTheMovieAPlayerProgramCarriesAtItsEnd) {
    const testing::ScratchFolder folder;
    const std::vector<uint8_t> movie = Compressed(Body(Tag(9, {0x10, 0x20, 0x30})));
    std::vector<uint8_t> program = {'M', 'Z'};
    program.resize(5000, 0x90);
    program.insert(program.end(), movie.begin(), movie.end());
    program.insert(program.end(), {0x56, 0x34, 0x12, 0xFA});
    for (int shift = 0; shift < 32; shift += 8) program.push_back(static_cast<uint8_t>(movie.size() >> shift));
    const std::optional<MovieHeader> header = ReadMovieHeader(folder.Write("player.exe", program));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->FrameSize(), (platform::Size{550, 400}));
    EXPECT_EQ(header->backgroundRgb, 0x102030);

    // A length that reaches past the start, and a length whose bytes there are no movie.
    std::vector<uint8_t> lying = program;
    lying[lying.size() - 1] = 0x7F;
    EXPECT_FALSE(ReadMovieHeader(folder.Write("lying.exe", lying)));
    std::vector<uint8_t> shifted = program;
    shifted[shifted.size() - 4] += 1;
    EXPECT_FALSE(ReadMovieHeader(folder.Write("shifted.exe", shifted)));
    EXPECT_FALSE(ReadMovieHeader(folder.Path() + "missing.swf"));
    EXPECT_TRUE(ReadMovieHeader(folder.Write("plain.swf", Plain(Body({})))));
}

}  // namespace
}  // namespace velmo::shell
