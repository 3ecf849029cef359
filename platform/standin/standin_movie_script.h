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
//
// Texts are UTF-8 with the escapes \\ \n \r \t and \s (a blank, for a command or name that holds
// one); blank lines and lines starting with '#' are skipped.

#include <cstdint>
#include <map>
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

struct StandinMovieScript {
    uint32_t flashVersion = 10u << 16;  // a current player unless the file says otherwise
    std::map<std::u16string, std::u16string> variables;
    std::map<std::u16string, std::u16string> functions;  // invoke name as written in the request
    std::vector<StandinEvent> events;
};

struct StandinScriptResult {
    std::optional<StandinMovieScript> script;
    std::string error;  // "line N: ..." when the file was refused
};

StandinScriptResult ParseStandinMovieScript(std::string_view text);

}  // namespace velmo::platform
