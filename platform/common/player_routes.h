#pragma once
// The addresses the player's page loads from, all under one origin of a scheme of our own that the
// web view answers from the UI process: the page, the player's files, the movie, and the movie's
// external calls (a synchronous request whose query is the call). Anything else is refused: the view
// reaches no network and no file that is not the movie or one of the player's. The address is
// outside data, as is the call it carries.

#include <optional>
#include <string>
#include <string_view>

#include "platform/movie_call_values.h"

namespace velmo::platform {

inline constexpr char kPlayerScheme[] = "velmo-player";
inline constexpr char kPlayerOrigin[] = "velmo-player://app";
// What the page's address is.
inline constexpr char kPlayerPageUri[] = "velmo-player://app/";

enum class PlayerRoute { Refused, Page, PlayerFile, Movie, Call };
struct PlayerRequest {
    PlayerRoute route = PlayerRoute::Refused;
    std::string file;   // a player file's name: letters, digits, '.', '-', '_', no leading dot
    std::string query;  // a call's query, still percent-encoded
};

// Where `uri` leads. A fragment is ignored; a query is allowed on calls only.
PlayerRequest RoutePlayerRequest(std::string_view uri);
// The bytes `text` percent-encodes; none for a '%' without two hexadecimal digits after it.
std::optional<std::string> PercentDecode(std::string_view text);
// The call a query carries: the page value text of an array, the name (a String that is not
// empty) first and the arguments after it; none for anything else.
std::optional<PlainCall> ParsePageCall(std::string_view query);
// The content type a player file is served with. WebKit compiles a module as it streams in only
// when it is served as application/wasm.
std::string_view PlayerFileType(std::string_view file);

}  // namespace velmo::platform
