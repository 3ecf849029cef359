#include "platform/console.h"

#include <fcntl.h>
#include <io.h>

namespace velmo::platform {

void SetBinaryMode(std::FILE* stream) {
    std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::string_view NativeLineEnd() { return "\r\n"; }

}  // namespace velmo::platform
