#include "host/framework/host_args.h"

#include "platform/text.h"
#include "script/runtime/strings.h"

#include <cstdint>

namespace velmo::host {

using script::Value;

std::optional<std::string> AnsiArg(const script::Args& args, uint32_t index) {
    const std::optional<std::u16string_view> text16 = args.Text16Temp(index);
    if (!text16) return std::nullopt;
    return platform::Utf16ToAnsi(*text16);
}

Value AnsiStringValue(script::Interpreter& interp, std::string_view ansi) {
    return script::StringValue(interp, platform::AnsiToUtf16(ansi));
}

Value AnsiStringValue(script::Interpreter& interp, const char* ansiOrNull) {
    return AnsiStringValue(interp, ansiOrNull ? std::string_view(ansiOrNull) : std::string_view());
}

}  // namespace velmo::host
