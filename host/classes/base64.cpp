// A character copied through by the lenient reader does not take part in the 6-bit groups: the
// groups of the alphabet characters around it go on as if it were not there, and it lands in the
// output where the bytes decoded so far end.
#include "host/classes/base64.h"

namespace velmo::host {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string EncodeBase64(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - at);
        uint32_t group = uint32_t{bytes[at]} << 16;
        if (n > 1) group |= uint32_t{bytes[at + 1]} << 8;
        if (n > 2) group |= bytes[at + 2];
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += n > 1 ? kAlphabet[group >> 6 & 63] : '=';
        out += n > 2 ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::vector<uint8_t> DecodeBase64(std::string_view text) {
    std::vector<uint8_t> out;
    uint32_t bits = 0;
    int count = 0;  // bits held in `bits`
    for (const char c : text) {
        if (c == '=') break;
        if (c == '\r' || c == '\n') continue;
        const int sextet = Sextet(c);
        if (sextet < 0) {
            out.push_back(static_cast<uint8_t>(c));
            continue;
        }
        bits = (bits << 6 | static_cast<uint32_t>(sextet)) & 0xFFFFFF;
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    return out;
}

}  // namespace velmo::host
