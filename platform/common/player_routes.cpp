#include "platform/common/player_routes.h"

#include "platform/common/page_values.h"
#include "platform/hex_digit.h"

namespace velmo::platform {

namespace {

bool IsFileName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.size() > 128) return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '-' || c == '_';
        if (!ok) return false;
    }
    return name.find("..") == std::string_view::npos;
}

}  // namespace

PlayerRequest RoutePlayerRequest(std::string_view uri) {
    PlayerRequest request;
    const std::string_view origin = kPlayerOrigin;
    if (!uri.starts_with(origin)) return request;
    std::string_view rest = uri.substr(origin.size());
    if (const size_t hash = rest.find('#'); hash != std::string_view::npos) rest = rest.substr(0, hash);
    std::string_view query;
    bool hasQuery = false;
    if (const size_t mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        rest = rest.substr(0, mark);
        hasQuery = true;
    }
    // The origin must end where the path begins: "velmo-player://apple/" is another host.
    if (!rest.empty() && rest.front() != '/') return request;
    if (rest == "/call") {
        request.route = PlayerRoute::Call;
        request.query = std::string(query);
        return request;
    }
    if (hasQuery) return request;
    if (rest.empty() || rest == "/") request.route = PlayerRoute::Page;
    else if (rest == "/movie") request.route = PlayerRoute::Movie;
    else if (rest.starts_with("/player/") && IsFileName(rest.substr(8))) {
        request.route = PlayerRoute::PlayerFile;
        request.file = std::string(rest.substr(8));
    }
    return request;
}

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (text.size() - i < 3) return std::nullopt;
        const int high = platform::HexDigitValue(text[i + 1]), low = platform::HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<PlainCall> ParsePageCall(std::string_view query) {
    const std::optional<std::string> text = PercentDecode(query);
    if (!text) return std::nullopt;
    std::optional<PlainValue> value = ParsePageValue(*text);
    if (!value || value->kind != PlainValue::Kind::Array || value->items.empty()) return std::nullopt;
    PlainValue& name = value->items.front();
    if (name.kind != PlainValue::Kind::String || name.text.empty()) return std::nullopt;
    PlainCall call;
    call.name = std::move(name.text);
    call.args.assign(std::make_move_iterator(value->items.begin() + 1), std::make_move_iterator(value->items.end()));
    return call;
}

std::string_view PlayerFileType(std::string_view file) {
    if (file.ends_with(".wasm")) return "application/wasm";
    if (file.ends_with(".js")) return "text/javascript";
    if (file.ends_with(".map") || file.ends_with(".json")) return "application/json";
    return "application/octet-stream";
}

}  // namespace velmo::platform
