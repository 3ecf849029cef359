#pragma once
// The page the web view shows: the player filling it, and the bridge between the movie and the UI
// process. The bridge's JavaScript is written here once; the control only fills in the settings.

#include <string>

namespace velmo::platform::gtk {

struct PlayerPageSettings {
    int scaleMode = 0;           // the control's numbers: 0 show all, 1 no border, 2 exact fit, 3 no scale
    int32_t backgroundRgb = -1;  // 0xRRGGBB over the movie's own colour; -1 keeps the movie's
    bool hasMovie = false;
};

std::string PlayerPageHtml(const PlayerPageSettings& settings);

// A script for evaluate_javascript that calls the movie's callback `nameLiteral` (a page value text
// of a String) with the arguments `argsLiteral` (one of an Array) and gives the page value text of
// its result, or "" when the movie registered no callback of that name.
std::string CallMovieScript(const std::string& nameLiteral, const std::string& argsLiteral);

// The script message the page posts, as page value text: an Array of a kind ("fscommand",
// "loaded", "failed") and its Strings.
inline constexpr char kPageMessageHandler[] = "velmo";

}  // namespace velmo::platform::gtk
