#include "platform/console.h"

#include <fcntl.h>
#include <io.h>

namespace velmo::platform {

void SetBinaryMode(std::FILE* stream) {
    std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
}

}  // namespace velmo::platform
