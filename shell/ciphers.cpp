// The fixed key below is this program's own: it only has to be the same wherever a key text is
// turned into a Blowfish key (the builder enciphering a movie, the runtime reading it, and the
// scripts' Encryption object), so it exists in this one place.
#include "shell/ciphers.h"

#include <gcrypt.h>

#include <algorithm>

#include "shell/digest.h"

namespace velmo::shell {

namespace {

constexpr TripleDesKey kDerivationKey = {0x3E, 0x91, 0x0B, 0xD5, 0x62, 0xA7, 0x1C, 0xF8, 0x4D, 0x23, 0xB6, 0x70,
                                         0xE9, 0x58, 0x0F, 0xC2, 0x87, 0x34, 0xDA, 0x6B, 0x15, 0xAE, 0x49, 0xF3};

void Cipher(int algorithm, std::span<uint8_t> bytes, const uint8_t* key, size_t keyBytes, bool encipher) {
    (void)Md5({});  // makes sure libgcrypt is initialised
    gcry_cipher_hd_t handle = nullptr;
    if (gcry_cipher_open(&handle, algorithm, GCRY_CIPHER_MODE_ECB, 0) != 0) return;
    // Weak DES keys are refused by default; a key derived from a user's text may be one.
    if (algorithm == GCRY_CIPHER_3DES) (void)gcry_cipher_ctl(handle, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
    (void)gcry_cipher_setkey(handle, key, keyBytes);
    const size_t length = bytes.size() / 8 * 8;
    if (encipher) (void)gcry_cipher_encrypt(handle, bytes.data(), length, nullptr, 0);
    else (void)gcry_cipher_decrypt(handle, bytes.data(), length, nullptr, 0);
    gcry_cipher_close(handle);
}

// libgcrypt's Blowfish reads its halves big-endian; ours are little-endian words.
void SwapHalves(std::span<uint8_t> bytes) {
    for (size_t at = 0; at + 4 <= bytes.size() / 8 * 8; at += 4) {
        std::swap(bytes[at], bytes[at + 3]);
        std::swap(bytes[at + 1], bytes[at + 2]);
    }
}

uint8_t ReverseBits(uint8_t c) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r << 1 | ((c >> i) & 1));
    return r;
}

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

void TripleDesBlocks(std::span<uint8_t> bytes, const TripleDesKey& key, bool encipher) {
    Cipher(GCRY_CIPHER_3DES, bytes, key.data(), key.size(), encipher);
}

void BlowfishBlocks(std::span<uint8_t> bytes, const BlowfishKey& key, bool encipher) {
    SwapHalves(bytes);
    Cipher(GCRY_CIPHER_BLOWFISH, bytes, key.data(), key.size(), encipher);
    SwapHalves(bytes);
}

std::array<uint8_t, 8> FoldKey(std::string_view key) {
    std::array<uint8_t, 8> fold{};
    for (size_t i = 0; i < key.size(); ++i) {
        const auto c = static_cast<uint8_t>(key[i]);
        if (i % 16 < 8) fold[i % 8] ^= static_cast<uint8_t>(c << 1);
        else fold[7 - i % 8] ^= ReverseBits(c);
    }
    return fold;
}

TripleDesKey TripleDesKeyFor(std::string_view key) {
    TripleDesKey result{};
    const Md5Digest digest = Md5(Bytes(key));
    const std::array<uint8_t, 8> fold = FoldKey(key);
    std::copy(digest.begin(), digest.end(), result.begin());
    std::copy(fold.begin(), fold.end(), result.begin() + 16);
    for (uint8_t& b : result) {
        const bool evenOnes = __builtin_popcount(b & 0xFE) % 2 == 0;
        b = static_cast<uint8_t>((b & 0xFE) | (evenOnes ? 1 : 0));
    }
    return result;
}

BlowfishKey BlowfishKeyFor(std::string_view key) {
    BlowfishKey result{};
    const std::array<uint8_t, 8> fold = FoldKey(key);
    const Md5Digest foldDigest = Md5(fold);
    const Md5Digest digest = Md5(Bytes(key));
    std::array<uint8_t, 16> halves = digest;
    TripleDesBlocks(halves, kDerivationKey, true);
    auto out = std::copy(foldDigest.begin(), foldDigest.end(), result.begin());
    out = std::copy(digest.begin(), digest.end(), out);
    out = std::copy(halves.begin(), halves.end(), out);
    std::copy(fold.begin(), fold.end(), out);
    return result;
}

}  // namespace velmo::shell
