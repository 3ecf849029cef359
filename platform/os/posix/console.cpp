#include "platform/console.h"

namespace velmo::platform {

// POSIX streams never translate line ends.
void SetBinaryMode(std::FILE*) {}

}  // namespace velmo::platform
