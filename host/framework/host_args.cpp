#include "host/framework/host_args.h"

#include "platform/text.h"
#include "script/runtime/strings.h"

#include <algorithm>
#include <cstdint>

namespace velmo::host {

using script::Tag;
using script::Value;

uint32_t HostArgs::Count() const {
    if (!args_ || !args_[0].Is(Tag::Integer)) return 0;
    const int64_t count = args_[0].AsInteger();
    return count <= 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(count, UINT32_MAX));
}

std::optional<int64_t> HostArgs::Integer(uint32_t index) const {
    if (!IsTag(index, Tag::Integer)) return std::nullopt;
    return args_[index].AsInteger();
}

std::optional<bool> HostArgs::Boolean(uint32_t index) const {
    if (!IsTag(index, Tag::Boolean)) return std::nullopt;
    return args_[index].AsBoolean();
}

std::optional<std::u16string_view> HostArgs::Text16Temp(uint32_t index) const {
    if (!IsTag(index, Tag::String)) return std::nullopt;
    return script::Text(args_[index].AsString());
}

std::optional<std::string> HostArgs::Ansi(uint32_t index) const {
    const std::optional<std::u16string_view> text16 = Text16Temp(index);
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
