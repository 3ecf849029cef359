// velmo play: runs an application file headless, as if it were the running executable: its
// resources, package, run folder and profile are the real ones; the window is the recording frame
// and the movie control the stand-in, driven by the file --movie-driver names (a movie that sends
// nothing without it). Exit status as tools/app_runner.h says; 64 for bad arguments, 1 for a
// driving file that cannot be read.
#include <cstdio>
#include <optional>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/standin/standin_movie_control.h"
#include "shell/app.h"
#include "shell/command_channel.h"
#include "shell/engine_script_host.h"
#include "platform/window.h"
#include "shell/main_frame.h"
#include "tools/app_runner.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {

class PlayerServices final : public shell::AppServices {
public:
    PlayerServices(shell::MainFrame::Sink sink, platform::StandinMovieScript movie,
                   platform::StandinMovieControl::Sink movieSink)
        : sink_(std::move(sink)), movie_(std::move(movie)), movieSink_(std::move(movieSink)) {}
    std::unique_ptr<shell::MainFrame> MakeFrame() override {
        auto frame =
            std::make_unique<shell::MainFrame>(*desktop_, platform::StandinControlFactory(movie_, movieSink_), sink_);
        // Nobody is there to close the window: the run ends once the movie has said everything.
        frame->SetClosesWhenMovieIsDone(true);
        return frame;
    }
    shell::ScriptHost& Scripts() override { return scripts_; }
    void AttachFrame(shell::MainFrame* frame, shell::SettingsRecord* settings) override {
        channel_.Attach(frame, settings);
    }
    shell::CommandChannel& Channel() { return channel_; }

private:
    shell::MainFrame::Sink sink_;
    platform::StandinMovieScript movie_;
    platform::StandinMovieControl::Sink movieSink_;
    std::unique_ptr<platform::Desktop> desktop_ = platform::MakeDesktop();
    shell::CommandChannel channel_{&MakeInterruptibleEngine};
    shell::EngineScriptHost scripts_{channel_};
};

constexpr const char* kUsage =
    "usage: velmo play APP.exe [--verbose] [--movie-driver FILE] [-- APPLICATION-ARGUMENTS...]";

// The stand-in movie's driving file; none (with the reason on standard error) when it is unusable.
std::optional<platform::StandinMovieScript> ReadMovieDriver(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        Fail(1, "cannot read the movie driver " + path);
        return std::nullopt;
    }
    platform::StandinScriptResult parsed =
        platform::ParseStandinMovieScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!parsed.script) Fail(1, path + ": " + parsed.error);
    return std::move(parsed.script);
}

}  // namespace

int PlayCommand(const Args& args) {
    std::string app;
    bool verbose = false;
    std::string driver;
    std::vector<std::string> appArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            appArgs.assign(args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (args[i] == "--verbose") verbose = true;
        else if (args[i] == "--movie-driver" && i + 1 < args.size() && driver.empty()) driver = args[++i];
        else if (app.empty() && !args[i].empty() && args[i][0] != '-') app = args[i];
        else return Fail(kExitUsage, kUsage);
    }
    if (app.empty()) return Fail(kExitUsage, kUsage);
    if (!platform::FileExists(app)) return Fail(1, "cannot open " + app);
    platform::StandinMovieScript movie;
    if (!driver.empty()) {
        std::optional<platform::StandinMovieScript> read = ReadMovieDriver(driver);
        if (!read) return 1;
        movie = std::move(*read);
    }

    platform::UseApplicationImage(app);
    const auto print = [](const std::string& line) { std::printf("[app] %s\n", line.c_str()); };
    shell::MainFrame::Sink sink =
        verbose ? shell::MainFrame::Sink([](const std::string& line) { std::printf("[frame] %s\n", line.c_str()); })
                : nullptr;
    platform::StandinMovieControl::Sink movieSink =
        verbose ? platform::StandinMovieControl::Sink(
                      [](const std::string& line) { std::printf("[movie] %s\n", line.c_str()); })
                : nullptr;
    PlayerServices services(sink, std::move(movie), movieSink);
    if (verbose)  // the scripts' trace lines, and the errors the engine reports there
        services.Channel().SetTraceSink(
            [](std::string_view line) { std::printf("[trace] %.*s\n", static_cast<int>(line.size()), line.data()); });
    const int status = RunApplication(services, appArgs, verbose ? shell::App::Log(print) : nullptr);
    std::fflush(stdout);
    return status;
}

}  // namespace velmo::tools
