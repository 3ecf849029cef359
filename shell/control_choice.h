#pragma once
// Which file the player's control is created from: the one the application's "_GetFlashPlayer"
// script names, else the private player copy, else the file registered for the player's class,
// else none (the control is then created by its class id).

#include <functional>
#include <optional>
#include <string>

namespace velmo::shell {

enum class ControlSource { Script, PrivatePlayer, Registered, ClassId };

struct ControlChoice {
    std::string file;  // "" to create the control by class id
    ControlSource source = ControlSource::ClassId;
};

// `scriptAnswer` is the script's completion value when it was a string (none without the script
// or for any other value). A name with a ':' is taken as it is, any other as relative to
// `executableFolder` ('/' read as '\', one leading '\' dropped); either only when that file exists.
// The private player path is asked for only when the script named no existing file, and counts
// only when a file exists there: preparing it may leave a name with no file behind (a cabinet
// without a control, or an installer run instead). The registered file is asked for last.
ControlChoice ChooseControlFile(const std::optional<std::string>& scriptAnswer, const std::string& executableFolder,
                                const std::function<std::string()>& privatePlayerPath,
                                const std::function<std::string()>& registeredFile);

// "from the script", "private player", ... for logs.
const char* ControlSourceName(ControlSource source);

}  // namespace velmo::shell
