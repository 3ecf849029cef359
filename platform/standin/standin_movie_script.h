#pragma once
// The driving file of the stand-in movie control: what the stand-in movie answers and which events
// it raises, in order. The format is described in docs/movie-standin.md; one instruction per line:
//
//     version 9.0            the player version the control reports
//     variable NAME VALUE    what GetVariable answers for NAME
//     function NAME REPLY    what CallFunction answers for a request naming NAME
//     fscommand COMMAND ARG  raise FSCommand
//     flashcall REQUEST      raise FlashCall
//     wait MILLISECONDS      raise the next event that much later, the window staying responsive
//     paint X Y W H RRGGBB   the movie's picture holds an opaque rectangle of that colour
//     unavailable            the control cannot be created, as where no player is installed
//     frames COUNT           the movie's frame count (1 unless given)
//     framesize W H          the frame size the control reports for the loaded movie
//     refuse MEMBER          the control refuses every call, read and write of that member
//
// Texts are UTF-8 with the escapes \\ \n \r \t and \s (a blank, for a command or name that holds
// one); blank lines and lines starting with '#' are skipped.

#include <cstdint>
#include <map>
#include <set>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::platform {

struct StandinEvent {
    enum class Kind { FSCommand, FlashCall, Wait };
    Kind kind = Kind::FSCommand;
    std::u16string first;       // the command, or the request document
    std::u16string second;      // the argument text of a command
    uint32_t milliseconds = 0;  // of a wait
};

// An opaque rectangle of the stand-in movie's picture, in pixels from the movie area's top left.
struct StandinPaint {
    int x = 0, y = 0, width = 0, height = 0;
    uint32_t rgb = 0;
};

struct StandinMovieScript {
    uint32_t flashVersion = 10u << 16;  // a current player unless the file says otherwise
    std::map<std::u16string, std::u16string> variables;
    std::map<std::u16string, std::u16string> functions;  // invoke name as written in the request
    std::vector<StandinEvent> events;
    std::vector<StandinPaint> paints;  // drawn in order, over the background
    bool unavailable = false;          // the factory makes no control
    int32_t frames = 1;
    int frameWidth = 0, frameHeight = 0;  // none reported while either is 0
    std::set<std::string> refused;        // member names as the player spells them
};

struct StandinScriptResult {
    std::optional<StandinMovieScript> script;
    std::string error;  // "line N: ..." when the file was refused
};

StandinScriptResult ParseStandinMovieScript(std::string_view text);

}  // namespace velmo::platform
