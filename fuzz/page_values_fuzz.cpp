// What the player's page sends the UI process: value texts in its messages and results, and the
// addresses of its requests with the calls in their queries. The reader never reads outside the
// text, and whatever it accepts writes back as text that reads as the same value again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/common/page_values.h"
#include "platform/common/player_routes.h"

using namespace velmo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const std::optional<PlainValue> value = ParsePageValue(text)) {
        const std::string written = WritePageValue(*value);
        const std::optional<PlainValue> again = ParsePageValue(written);
        if (!again || WritePageValue(*again) != written) __builtin_trap();
    }
    const PlayerRequest request = RoutePlayerRequest(text);
    if (request.route == PlayerRoute::Call) (void)ParsePageCall(request.query);
    if (request.route == PlayerRoute::PlayerFile && request.file.find('/') != std::string::npos) __builtin_trap();
    (void)ParsePageCall(text);
    return 0;
}
