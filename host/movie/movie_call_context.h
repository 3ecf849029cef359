#pragma once
// What movie calls need from outside host/: the engine, the movie command channel and the movie
// control itself. The shell fills it; tests fill it with stand-ins. It must outlive every engine
// whose proxies or movie calls use it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "script/runtime/engine.h"

namespace velmo::host {

struct MovieCallContext {
    // The engine movie calls run in, made on first need by whoever owns it; null when there is none.
    std::function<script::Engine*()> engine;
    // Runs a movie command (such as "Velmo_Run", "Velmo_Eval" or "exec") with its 8-bit argument
    // text, exactly as the command channel runs an fscommand of that name.
    std::function<void(std::string_view command, std::string_view ansiText)> runCommand;
    // Hands a request document to the movie (the control's CallFunction) and answers its reply;
    // none when there is no control or the movie has no such callback.
    std::function<std::optional<std::u16string>(std::u16string_view request)> callMovie;
    // Open when the installed player's major version is 8 or more; otherwise no call reaches the movie.
    bool flashGateOpen = false;
};

}  // namespace velmo::host
