// Texts cross to the ciphers as bytes of the 8-bit code page and come back the same way. A
// deciphered text ends at its first zero byte, which also drops the zero padding of its last block.
// The display text "Encrpytion" is spelt as scripts have always seen it.
#include "host/classes/encryption_object.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "host/classes/base64.h"
#include "host/classes/enciphered_file.h"
#include "host/framework/host_class.h"
#include "platform/files.h"
#include "shell/ciphers.h"
#include "shell/digest.h"

namespace velmo::host {

namespace {

enum class Cipher { TripleDes, Blowfish };

std::string HexDigest(const shell::Md5Digest& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void RunCipher(Cipher cipher, std::vector<uint8_t>& bytes, std::string_view key, bool encipher) {
    bytes.resize((bytes.size() + 7) / 8 * 8, 0);
    if (cipher == Cipher::TripleDes) shell::TripleDesBlocks(bytes, shell::TripleDesKeyFor(key), encipher);
    else shell::BlowfishBlocks(bytes, shell::BlowfishKeyFor(key), encipher);
}

void Encode(HostCall& call, Cipher cipher) {
    const std::optional<std::string> key = AnsiArg(call.args, 1);
    const std::optional<std::string> text = AnsiArg(call.args, 2);
    if (!key || !text) return call.Fail();
    std::vector<uint8_t> bytes(text->begin(), text->end());
    RunCipher(cipher, bytes, *key, true);
    call.ReturnAnsi(EncodeBase64(bytes));
}

void Decode(HostCall& call, Cipher cipher) {
    const std::optional<std::string> key = AnsiArg(call.args, 1);
    const std::optional<std::string> text = AnsiArg(call.args, 2);
    if (!key || !text) return call.Fail();
    std::vector<uint8_t> bytes = DecodeBase64(*text);
    RunCipher(cipher, bytes, *key, false);
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    call.ReturnAnsi(std::string(bytes.begin(), end));
}

// md5(text): 32 lower-case hexadecimal digits.
void Md5(HostCall& call) {
    const std::optional<std::string> text = AnsiArg(call.args, 1);
    if (!text) return call.Fail();
    call.ReturnAnsi(HexDigest(shell::Md5(Bytes(*text))));
}

// md5File(path): Null when the file cannot be read.
void Md5File(HostCall& call) {
    const std::optional<std::string> path = AnsiArg(call.args, 1);
    std::vector<uint8_t> bytes;
    if (!path || !platform::ReadWholeFile(*path, bytes)) return call.Fail();
    call.ReturnAnsi(HexDigest(shell::Md5(bytes)));
}

void DesEncode(HostCall& call) { Encode(call, Cipher::TripleDes); }
void DesDecode(HostCall& call) { Decode(call, Cipher::TripleDes); }
void BlowfishEncode(HostCall& call) { Encode(call, Cipher::Blowfish); }
void BlowfishDecode(HostCall& call) { Decode(call, Cipher::Blowfish); }

// encFile(key, source, destination) and decFile: false when a file cannot be read or written, or
// (decFile) the source is no enciphered file; the destination is then left as it was or removed.
void FileCipher(HostCall& call, bool encipher) {
    const std::optional<std::string> key = AnsiArg(call.args, 1);
    const std::optional<std::string> source = AnsiArg(call.args, 2);
    const std::optional<std::string> destination = AnsiArg(call.args, 3);
    if (!key || !source || !destination) return call.Fail();
    call.ReturnBoolean(encipher ? EncipherFile(*source, *destination, *key)
                                : DecipherFile(*source, *destination, *key));
}
void EncFile(HostCall& call) { FileCipher(call, true); }
void DecFile(HostCall& call) { FileCipher(call, false); }

constexpr HostMember kMembers[] = {
    Method("md5", Failure::Null, &Md5),
    Method("md5File", Failure::Null, &Md5File),
    Method("desEncode", Failure::Null, &DesEncode),
    Method("desDecode", Failure::Null, &DesDecode),
    Method("blowfishEncode", Failure::Null, &BlowfishEncode),
    Method("blowfishDecode", Failure::Null, &BlowfishDecode),
    Method("encFile", Failure::False, &EncFile),
    Method("decFile", Failure::False, &DecFile),
};

constexpr HostClassSpec kSpec{
    .name = "Encryption", .displayName = "Encrpytion", .members = kMembers, .callIsConstruct = false};

}  // namespace

void RegisterEncryptionClass(script::Interpreter& interp) { (void)RegisterHostClass(interp, kSpec); }

}  // namespace velmo::host
