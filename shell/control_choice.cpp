#include "shell/control_choice.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/path.h"

namespace velmo::shell {

namespace {

std::optional<std::string> ScriptFile(const std::string& answer, const std::string& executableFolder) {
    if (answer.empty()) return std::nullopt;
    if (answer.find(':') != std::string::npos)
        return platform::FileExists(answer) ? std::optional(answer) : std::nullopt;
    std::string relative = answer;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    if (relative.front() == '\\') relative.erase(0, 1);
    const std::string path = executableFolder + "\\" + relative;
    return platform::FileExists(path) ? std::optional(path) : std::nullopt;
}

}  // namespace

ControlChoice ChooseControlFile(const std::optional<std::string>& scriptAnswer, const std::string& executableFolder,
                                const std::function<std::string()>& privatePlayerPath,
                                const std::function<std::string()>& registeredFile) {
    if (scriptAnswer)
        if (std::optional<std::string> file = ScriptFile(*scriptAnswer, executableFolder))
            return {std::move(*file), ControlSource::Script};
    if (std::string file = privatePlayerPath(); !file.empty() && platform::FileExists(file))
        return {std::move(file), ControlSource::PrivatePlayer};
    if (std::string file = registeredFile(); !file.empty()) return {std::move(file), ControlSource::Registered};
    return {"", ControlSource::ClassId};
}

const char* ControlSourceName(ControlSource source) {
    switch (source) {
        case ControlSource::Script: return "named by _GetFlashPlayer";
        case ControlSource::PrivatePlayer: return "the private player";
        case ControlSource::Registered: return "the registered control";
        case ControlSource::ClassId: return "by class id";
    }
    return "";
}

}  // namespace velmo::shell
