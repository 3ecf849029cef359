#include "platform/console.h"

#include <unistd.h>

namespace velmo::platform {

// POSIX streams never translate line ends.
void SetBinaryMode(std::FILE*) {}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

std::string_view NativeLineEnd() { return "\n"; }

}  // namespace velmo::platform
