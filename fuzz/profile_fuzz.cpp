// Profile text: any bytes parse without fault, and what was parsed writes back to text that parses to the
// very same document.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/common/profile_file.h"

using namespace velmo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ProfileDocument parsed = ParseProfileText({reinterpret_cast<const char*>(data), size});
    const std::string written = WriteProfileText(parsed);
    if (!(ParseProfileText(written) == parsed)) __builtin_trap();
    return 0;
}
