#pragma once
// The Encryption object: MD5 of strings and files, Triple DES and Blowfish over strings with Base64
// results, and whole files enciphered and deciphered.

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterEncryptionClass(script::Interpreter& interp);

}  // namespace velmo::host
