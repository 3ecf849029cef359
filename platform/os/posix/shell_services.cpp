// Headless shell services. Processes are real: the command line is split into words as the
// system's C runtime splits it and the first word is run from the search path; they have no windows
// on the model desktop, so run finds none. The shell's verbs go to xdg-open only where a desktop
// could show the result; they are recorded either way. Special folders follow the XDG base
// directories and the user's home.
#include "platform/shell_services.h"

#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/action_record.h"
#include "platform/environment.h"
#include "platform/last_error.h"
#include "platform/os/posix/host_path.h"
#include "platform/program_start.h"

extern char** environ;

namespace velmo::platform {

namespace {

// The words of a command line by the C runtime's rules: blanks separate, double quotes group, a
// backslash run before a quote halves and may escape it, other backslashes stand for themselves.
std::vector<std::string> CommandWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\') {
            size_t run = 0;
            while (i + run < line.size() && line[i + run] == '\\') ++run;
            if (i + run < line.size() && line[i + run] == '"') {
                word.append(run / 2, '\\');
                if (run % 2) word += '"';
                else quoted = !quoted;
                i += run;
            } else {
                word.append(run, '\\');
                i += run - 1;
            }
            inWord = true;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

bool Spawn(const std::vector<std::string>& words, const std::string& folder, uint32_t& error) {
    std::vector<std::string> args = words;
    std::vector<char*> argv;
    for (std::string& w : args) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, posix::HostPath(folder).c_str());
    pid_t child = 0;
    const int status = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) {
        posix::SetLastErrorFromErrno(status);
        error = LastErrorCode();
        return false;
    }
    // The child is not waited for: it belongs to the system once this process ends.
    return true;
}

std::string Home() { return GetEnvironment("HOME").value_or("/tmp"); }

std::string Base(const char* variable, const char* underHome) {
    const std::optional<std::string> set = GetEnvironment(variable);
    return set && !set->empty() ? *set : Home() + underHome;
}

bool ProgramOnPath(const std::string& name) {
    const std::string path = GetEnvironment("PATH").value_or("");
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find(':', start);
        const std::string dir = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

}  // namespace

ProcessStarted StartProcess(const ProcessStart& start, uint32_t /*idleWaitMs*/) {
    ProcessStarted result;
    const std::vector<std::string> words = CommandWords(start.commandLine);
    if (words.empty()) {
        result.error = kErrorFileNotFound;
    } else {
        std::vector<std::string> hostWords = words;
        hostWords[0] = posix::HostPath(hostWords[0]);
        result.started = Spawn(hostWords, {}, result.error);
    }
    NoteAction("shell", "run \"" + start.commandLine + "\" -> " +
                            (result.started ? std::string("started") : "error " + std::to_string(result.error)));
    if (!result.started) SetLastErrorCode(result.error);
    return result;
}

bool ShellExecuteVerb(const std::string& verb, const std::string& file, const std::string& parameters,
                      const std::string& folder, WindowHandle /*owner*/) {
    const bool desktop = GetEnvironment("DISPLAY") || GetEnvironment("WAYLAND_DISPLAY");
    const bool recordOnly = GetEnvironment("VELMO_SHELL_RECORD_ONLY").has_value();
    const bool handOn = verb == "open" && desktop && !recordOnly && ProgramOnPath("xdg-open");
    bool ok = true;
    if (handOn) {
        uint32_t error = 0;
        ok = Spawn({"xdg-open", posix::HostPath(file)}, folder, error);
    }
    NoteAction("shell", verb + " \"" + file + "\" parameters \"" + parameters + "\" in \"" + folder + "\"" +
                            (handOn ? (ok ? " -> xdg-open" : " -> xdg-open failed") : " -> recorded"));
    return ok;
}

std::optional<std::string> SpecialFolderPath(int id) {
    const std::string home = Home();
    const std::string config = Base("XDG_CONFIG_HOME", "/.config");
    const std::string data = Base("XDG_DATA_HOME", "/.local/share");
    switch (id) {
        case kFolderWindows: return WindowsDirectory();
        case kFolderSystem: return SystemDirectory();
        case kFolderProgramFilesRecord: return std::nullopt;
        case 2: return data + "/applications";              // programs
        case 5: return home + "/Documents";                 // my documents
        case 6: return data + "/favorites";                 // favorites
        case 7: return config + "/autostart";               // startup
        case 8: return data + "/recent";                    // recent
        case 16: return home + "/Desktop";                  // desktop
        case 20: return data + "/fonts";                    // fonts
        case 21: return home + "/Templates";                // templates
        case 23: return "/usr/share/applications";          // programs all
        case 24: return "/etc/xdg/autostart";               // startup all
        case 26: return config;                             // appdata
        case 32: return Base("XDG_CACHE_HOME", "/.cache");  // internet cache
        default: return std::nullopt;
    }
}

}  // namespace velmo::platform
