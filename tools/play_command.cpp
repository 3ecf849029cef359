// velmo play: runs an application file headless, as if it were the running executable: its
// resources, package, run folder and profile are the real ones; the window is the recording frame
// and the movie control the stand-in, driven by the file --movie-driver names (a movie that sends
// nothing without it). With --window it runs on the Linux desktop instead: a real window and the
// real movie (docs/linux-desktop.md), until the application closes or --timeout passes. What the
// application says reaches the terminal: its scripts' trace lines and errors ("[trace] ..."), a
// damaged package and the reason a start-up stopped (standard error); --verbose adds every
// start-up and shutdown step. Exit status as tools/app_runner.h says; 64 for bad arguments, 1 for a
// driving file that cannot be read and for a window that cannot be had.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "host/movie/plain_documents.h"
#include "platform/action_record.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/linux_desktop.h"
#include "platform/menu_system.h"
#include "platform/path.h"
#include "platform/standin/standin_movie_control.h"
#include "platform/window.h"
#include "platform/window_system.h"
#include "shell/app.h"
#include "shell/command_channel.h"
#include "shell/engine_script_host.h"
#include "shell/main_frame.h"
#include "shell/package.h"
#include "tools/app_runner.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace velmo::tools {

const CommandSpec kPlaySpec = {
    "play",
    "APP.exe [-- APPLICATION-ARGUMENTS...]",
    "run an application (headless on Linux, in a real window on Windows) until its movie is done, showing "
    "its scripts' trace lines and errors (docs/startup.md)",
    {
        {"--verbose", nullptr,
         "also print every start-up and shutdown step, the frame's, the movie's and the windows'"},
        {"--movie-driver", "FILE", "the events the stand-in movie control raises (docs/movie-standin.md)"},
        {"--timeout", "SECONDS", "close the application after this time, whatever it still waits for"},
        {"--window", nullptr,
         "Linux: play in a real window on the display, the movie played by the web player (docs/linux-desktop.md)"},
    },
};

namespace {

class PlayerServices final : public RunnerServices {
public:
    PlayerServices(shell::MainFrame::Sink sink, platform::StandinMovieScript movie,
                   platform::StandinMovieControl::Sink movieSink)
        : sink_(std::move(sink)), movie_(std::move(movie)), movieSink_(std::move(movieSink)) {}
    std::unique_ptr<shell::MainFrame> MakeFrame() override {
        auto frame =
            std::make_unique<shell::MainFrame>(Desktop(), platform::StandinControlFactory(movie_, movieSink_), sink_);
        // Nobody is there to close the window: the run ends once the movie has said everything.
        frame->SetClosesWhenMovieIsDone(true);
        return frame;
    }

private:
    shell::MainFrame::Sink sink_;
    platform::StandinMovieScript movie_;
    platform::StandinMovieControl::Sink movieSink_;
};

// The Linux desktop's run: a real window waits for its user, or for the application to close.
class WindowServices final : public RunnerServices {
public:
    WindowServices(std::unique_ptr<platform::Desktop> desktop, shell::MainFrame::Sink sink,
                   platform::WebPlayerOptions player)
        : RunnerServices(std::move(desktop)), sink_(std::move(sink)), player_(std::move(player)) {
        player_.documents = &documents_;
    }
    std::unique_ptr<shell::MainFrame> MakeFrame() override {
        return std::make_unique<shell::MainFrame>(
            Desktop(),
            [this](platform::FrameWindow& window, const std::string&) {
                return platform::CreateWebPlayerControl(window, player_);
            },
            sink_);
    }

private:
    shell::MainFrame::Sink sink_;
    // The movie's call documents in the host's own forms: platform/ has no codec of its own.
    host::PlainCallDocuments documents_;
    platform::WebPlayerOptions player_;
};

// The player's files: VELMO_PLAYER_DIR, or the folder "ruffle" beside this program, where the build
// puts them.
std::string PlayerFolder() {
    if (const std::optional<std::string> chosen = platform::GetEnvironment("VELMO_PLAYER_DIR");
        chosen && !chosen->empty())
        return *chosen;
    return platform::JoinPath(platform::FolderPart(platform::ModuleFileName()), "ruffle");
}

// The stand-in movie's driving file; none (with the reason on standard error) when it is unusable.
std::optional<platform::StandinMovieScript> ReadMovieDriver(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        Fail(1, "cannot read the movie driver " + path + ": " + platform::SystemErrorText(platform::LastErrorCode()));
        return std::nullopt;
    }
    platform::StandinScriptResult parsed =
        platform::ParseStandinMovieScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!parsed.script) Fail(1, path + ": " + parsed.error);
    return std::move(parsed.script);
}

// The application's log: every step with --verbose; the reason a start-up stopped always, on
// standard error, since the exit status alone does not say why.
shell::App::Log MakeLog(bool verbose) {
    return [verbose](const std::string& line) {
        if (verbose) std::printf("[app] %s\n", line.c_str());
        static constexpr std::string_view kStopped = "start-up stopped: ";
        if (line.starts_with(kStopped)) {
            std::fflush(stdout);
            Fail(1, line);
        }
    };
}

// Items with blanks or tabs (or none at all) in double quotes, as a shell would have passed them.
std::string CommandLineText(const std::string& program, const std::vector<std::string>& args) {
    std::string text;
    for (size_t i = 0; i <= args.size(); ++i) {
        const std::string& item = i == 0 ? program : args[i - 1];
        if (i > 0) text += ' ';
        text += item.empty() || item.find_first_of(" \t") != std::string::npos ? '"' + item + '"' : item;
    }
    return text;
}

}  // namespace

int PlayCommand(const Args& args) {
    ParseOutcome parsed = ParseCommandLine(kPlaySpec, args);
    if (!parsed.line) return parsed.status;
    const ParsedCommandLine& line = *parsed.line;
    if (line.operandsBeforeDashes != 1) return UsageError(kPlaySpec, "one APP.exe needed (its arguments after --)");
    const std::string& app = line.operands[0];
    const bool verbose = line.Has("--verbose");
    const std::string driver = line.Value("--movie-driver");
    const bool window = line.Has("--window");
    if (window && line.Has("--movie-driver"))
        return UsageError(kPlaySpec, "--movie-driver drives the stand-in control; --window plays the real movie");
    const std::vector<std::string> appArgs(line.operands.begin() + 1, line.operands.end());
    double timeout = 0;
    if (line.Has("--timeout")) {
        const std::string text = line.Value("--timeout");
        char* end = nullptr;
        timeout = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !(timeout > 0) || timeout > 1e6)
            return UsageError(kPlaySpec, "--timeout needs a number of seconds above 0");
    }
    if (!platform::OpenFile(app, platform::FileMode::ReadShared))
        return Fail(1, "cannot open " + app + ": " + platform::SystemErrorText(platform::LastErrorCode()));
    if (!platform::FileExists(app)) return Fail(1, "cannot play " + app + ": it is a folder");
    // The runtime goes on as if the package were absent; the user should know why files are missing.
    if (const shell::PackageReport package = shell::InspectPackage(app); !package.damage.empty())
        Fail(0, "warning: " + app + ": damaged package: " + package.damage);
    platform::StandinMovieScript movie;
    if (!driver.empty()) {
        std::optional<platform::StandinMovieScript> read = ReadMovieDriver(driver);
        if (!read) return 1;
        movie = std::move(*read);
    }

    std::unique_ptr<platform::Desktop> desktop;
    const std::string playerFolder = PlayerFolder();  // beside this program: before the image is the application's
    if (window) {
        platform::LinuxDesktopOpening opened = platform::OpenLinuxDesktop();
        if (!opened.desktop) return Fail(1, "cannot play in a window: " + opened.error);
        if (!platform::FileExists(platform::JoinPath(playerFolder, "ruffle.js")))
            return Fail(1, "cannot play in a window: the player's files are not in " + playerFolder +
                               " (tools/install-deps.sh desktop, then build; or set VELMO_PLAYER_DIR)");
        desktop = std::move(opened.desktop);
    }

    platform::UseApplicationImage(app);
    // The application sees the command line it would get as the running executable.
    platform::SetProcessCommandLine(CommandLineText(platform::ModuleFileName(), appArgs));
    shell::MainFrame::Sink sink =
        verbose ? shell::MainFrame::Sink([](const std::string& line) { std::printf("[frame] %s\n", line.c_str()); })
                : nullptr;
    platform::StandinMovieControl::Sink movieSink =
        verbose ? platform::StandinMovieControl::Sink(
                      [](const std::string& line) { std::printf("[movie] %s\n", line.c_str()); })
                : nullptr;
    // What scripts do to windows by handle, as the model records it.
    if (verbose) {
        platform::Windows().SetSink([](const std::string& line) { std::printf("[window] %s\n", line.c_str()); });
        platform::Menus().SetSink([](const std::string& line) { std::printf("[menu] %s\n", line.c_str()); });
    }
    // Programs started, documents opened, dialogs answered and media commands, as recorded.
    if (verbose)
        platform::SetActionSink([](std::string_view kind, const std::string& line) {
            std::printf("[%.*s] %s\n", static_cast<int>(kind.size()), kind.data(), line.c_str());
        });
    std::unique_ptr<RunnerServices> services;
    if (window) {
        platform::WebPlayerOptions player;
        player.playerFolder = playerFolder;
        player.sink = movieSink;
        services = std::make_unique<WindowServices>(std::move(desktop), sink, std::move(player));
    } else {
        services = std::make_unique<PlayerServices>(sink, std::move(movie), movieSink);
    }
    // The scripts' trace lines, and the errors the engine reports there. A window's run is long:
    // each line is out at once.
    services->Channel().SetTraceSink([window](std::string_view text) {
        std::printf("[trace] %.*s\n", static_cast<int>(text.size()), text.data());
        if (window) std::fflush(stdout);
    });
    const int status = RunApplication(*services, appArgs, MakeLog(verbose), timeout);
    platform::SetProcessCommandLine({});
    platform::Windows().SetSink(nullptr);
    platform::SetActionSink(nullptr);
    platform::Menus().SetSink(nullptr);
    std::fflush(stdout);
    return status;
}

}  // namespace velmo::tools
