// Enciphered movies: the ciphers against published vectors, the movie key's round trip through the
// protection field, random-access deciphering, and every reader of the movie file seeing it plain.
#include "shell/movie_cipher.h"

#include <gtest/gtest.h>

#include <numeric>

#include "platform/files.h"
#include "shell/movie_header.h"
#include "tests/support/scratch.h"

namespace velmo::shell {
namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

TEST(Ciphers, MatchPublishedVectorsInTheirBlockConventions) {
    // Triple DES with three equal keys is single DES: the classic "Now is t" vector.
    TripleDesKey des{};
    for (size_t i = 0; i < des.size(); ++i) des[i] = Hex("0123456789ABCDEF")[i % 8];
    std::vector<uint8_t> block = Hex("4E6F772069732074");
    TripleDesBlocks(block, des, true);
    EXPECT_EQ(block, Hex("3FA40E8A984D4815"));
    TripleDesBlocks(block, des, false);
    EXPECT_EQ(block, Hex("4E6F772069732074"));

    // Blowfish: a 56-byte key repeating 8 bytes schedules as the 8-byte key does. The published
    // values are big-endian halves; ours are little-endian, so each half comes out reversed.
    BlowfishKey ones;
    ones.fill(0xFF);
    std::vector<uint8_t> data =
        Hex("FFFFFFFFFFFFFFFF"
            "0000000000000000");
    BlowfishBlocks(data, ones, true);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 8), Hex("D56F8651"
                                                                        "8ACB5EB8"));
    BlowfishKey zeros{};
    std::vector<uint8_t> zero(8, 0), tail = {1, 2, 3};
    zero.insert(zero.end(), tail.begin(), tail.end());
    BlowfishBlocks(zero, zeros, true);
    EXPECT_EQ(zero, Hex("4597F94E"
                        "78DD9861"
                        "010203"));  // a short tail is left alone
}

TEST(Ciphers, KeyDerivationsFollowTheirRecipe) {
    // Bytes 0-7 shift left into place; bytes 8-15 are bit-reversed into the opposite place; byte
    // 16 starts over.
    const std::array<uint8_t, 8> fold =
        FoldKey(std::string("\x81\x01", 2) + std::string(6, '\0') + "\x01" + std::string(7, '\0') + "\x03");
    EXPECT_EQ(fold, (std::array<uint8_t, 8>{0x02 ^ 0x06, 0x02, 0, 0, 0, 0, 0, 0x80}));
    const TripleDesKey des = TripleDesKeyFor("secret");
    for (const uint8_t b : des) EXPECT_EQ(__builtin_popcount(b) % 2, 1) << "odd parity";
    const BlowfishKey a = BlowfishKeyFor("secret"), b = BlowfishKeyFor("secreT");
    EXPECT_NE(a, b);
    const std::array<uint8_t, 8> secretFold = FoldKey("secret");
    EXPECT_TRUE(std::equal(a.end() - 8, a.end(), secretFold.begin()));
}

TEST(MovieCipher, TheProtectionFieldCarriesTheKeyAndZerosMeanAPlainMovie) {
    EXPECT_EQ(MovieKeyFromProtection(ProtectionForKey("open sesame")), "open sesame");
    const std::string longest(kMaxMovieKeyBytes, 'k');
    EXPECT_EQ(MovieKeyFromProtection(ProtectionForKey(longest)), longest);
    std::array<uint8_t, kProtectionBytes> field{};
    EXPECT_EQ(MovieKeyFromProtection(field), "");
    EXPECT_EQ(ProtectionForKey(""), field);
    // Damage: no text end within the enciphered part gives no key, never a read past it.
    field.fill(0x5A);
    EXPECT_EQ(MovieKeyFromProtection(field).size() <= kMaxMovieKeyBytes, true);
}

TEST(MovieCipher, AStoredMovieReadsPlainAtAnyOffset) {
    const testing::ScratchFolder folder;
    std::vector<uint8_t> plain(10);
    std::iota(plain.begin(), plain.end(), uint8_t{1});
    std::vector<uint8_t> stored = EncipherMovie(plain, "key");
    ASSERT_EQ(stored.size(), 16u + 8u);
    EXPECT_EQ(std::vector<uint8_t>(stored.end() - 8, stored.end()), (std::vector<uint8_t>{10, 0, 0, 0, 0, 0, 0, 0}));

    plain.resize(10000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + i / 256);
    const std::string path = folder.Write("movie.swf", EncipherMovie(plain, "key"));
    const std::unique_ptr<platform::PlainMovie> movie = OpenEncipheredMovie(path, "key");
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->Size(), plain.size());
    for (const auto& [offset, size] : std::vector<std::pair<size_t, size_t>>{
             {0, 1}, {3, 13}, {7, 4096}, {4093, 9000}, {9999, 5}, {10000, 1}, {0, 10000}}) {
        std::vector<uint8_t> got(size);
        const size_t read = movie->ReadAt(offset, got.data(), size);
        const size_t expect = offset >= plain.size() ? 0 : std::min(size, plain.size() - offset);
        ASSERT_EQ(read, expect) << offset;
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + read, plain.begin() + offset)) << offset;
    }
    // The wrong key reads, but not the movie; a plain file's last word does not fit it.
    std::vector<uint8_t> other(16);
    ASSERT_TRUE(OpenEncipheredMovie(path, "Key"));
    OpenEncipheredMovie(path, "Key")->ReadAt(0, other.data(), other.size());
    EXPECT_FALSE(std::equal(other.begin(), other.end(), plain.begin()));
    EXPECT_FALSE(OpenEncipheredMovie(folder.Write("plain.swf", plain), "key"));
    EXPECT_FALSE(OpenEncipheredMovie(folder.Path() + "missing.swf", "key"));
}

TEST(MovieCipher, ReadersOfTheRedirectedMovieSeeItPlainAndOtherFilesAsTheyAre) {
    const testing::ScratchFolder folder;
    // A 550 x 400 movie with a background colour, stored enciphered.
    const std::vector<uint8_t> plain = {'F',  'W',  'S',  10,   0,    0,    0,    0,    0x78, 0x00, 0x05, 0x5F, 0x00,
                                        0x00, 0x0F, 0xA0, 0x00, 0x00, 0x18, 0x01, 0x00, 0x43, 0x02, 0x10, 0x20, 0x30};
    const std::string path = folder.Write("movie.swf", EncipherMovie(plain, "k"));
    const std::string plainPath = folder.Write("plain.swf", plain);
    EXPECT_FALSE(ReadMovieHeader(path));

    ASSERT_TRUE(platform::RedirectMovieReads({}, path, [path] { return OpenEncipheredMovie(path, "k"); }));
    const std::optional<MovieHeader> header = ReadMovieHeader(path);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->FrameSize(), (platform::Size{550, 400}));
    EXPECT_EQ(header->backgroundRgb, 0x102030);
    std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), static_cast<int64_t>(plain.size()));
    EXPECT_EQ(file->Seek(-5, platform::SeekFrom::End), static_cast<int64_t>(plain.size() - 5));
    std::vector<uint8_t> last(10);
    EXPECT_EQ(file->Read(last.data(), last.size()), 5u);
    EXPECT_TRUE(std::equal(plain.end() - 5, plain.end(), last.begin()));
    EXPECT_EQ(file->Seek(-1, platform::SeekFrom::Begin), -1);
    EXPECT_FALSE(file->Write(plain.data(), 1));
    EXPECT_TRUE(ReadMovieHeader(plainPath));

    // A plain movie at the redirected path (a script loading another) reads as it is.
    ASSERT_TRUE(
        platform::RedirectMovieReads({}, plainPath, [plainPath] { return OpenEncipheredMovie(plainPath, "k"); }));
    EXPECT_TRUE(ReadMovieHeader(plainPath));
    ASSERT_TRUE(platform::RedirectMovieReads({}, {}, nullptr));
    EXPECT_FALSE(ReadMovieHeader(path));
}

}  // namespace
}  // namespace velmo::shell
