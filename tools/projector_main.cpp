// velmo-projector: the runtime every packed application runs. The entry hands control to the
// application object (tools/app_runner.h); the exit status is 1 when start-up stopped.
//
// In a real window the frame hosts the player's control, created by its class id; a desktop without
// windows (the headless one) holds the stand-in control. Two environment variables serve tests and
// demonstrations, since the command line belongs to the application: VELMO_MOVIE_DRIVER names a
// driving file for the in-process stand-in, which then takes the player's place in a real window
// too (docs/movie-standin.md), and VELMO_VERBOSE set to 1 prints every start-up step, frame
// operation, window change, movie record and trace line to standard output, as `velmo play --verbose` does.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/action_record.h"
#include "platform/environment.h"
#include "platform/error_report.h"
#include "platform/files.h"
#include "platform/movie_control.h"
#include "platform/standin/standin_movie_control.h"
#include "platform/window.h"
#include "platform/menu_system.h"
#include "platform/window_system.h"
#include "shell/app.h"
#include "shell/command_channel.h"
#include "shell/engine_script_host.h"
#include "shell/main_frame.h"
#include "tools/app_runner.h"

namespace {

using namespace velmo;

void PrintLine(const char* prefix, std::string_view line) {
    std::printf("[%s] %.*s\n", prefix, static_cast<int>(line.size()), line.data());
    std::fflush(stdout);
}

class ProjectorServices final : public tools::RunnerServices {
public:
    ProjectorServices(std::optional<platform::StandinMovieScript> movie, bool verbose)
        : movie_(std::move(movie)), verbose_(verbose) {
        if (verbose_) Channel().SetTraceSink([](std::string_view line) { PrintLine("trace", line); });
    }
    std::unique_ptr<shell::MainFrame> MakeFrame() override {
        shell::MainFrame::Sink sink;
        platform::StandinMovieControl::Sink movieSink;
        if (verbose_) {
            sink = [](const std::string& line) { PrintLine("frame", line); };
            movieSink = [](const std::string& line) { PrintLine("movie", line); };
        }
        auto standin = platform::StandinControlFactory(movie_.value_or(platform::StandinMovieScript{}), movieSink);
        const bool driven = movie_.has_value();
        shell::MainFrame::ControlFactory factory = [standin, driven](platform::FrameWindow& window,
                                                                     const std::string& controlFile) {
            if (driven || window.NativeHandle() == 0) return standin(window, controlFile);
            return platform::CreatePlayerControl(window, controlFile);
        };
        return std::make_unique<shell::MainFrame>(Desktop(), std::move(factory), sink);
    }

private:
    std::optional<platform::StandinMovieScript> movie_;  // none: the player's control where there is one
    bool verbose_;
};

// The driving file VELMO_MOVIE_DRIVER names; a file that cannot be used is reported and the
// stand-in follows no file. None when the variable is not set.
std::optional<platform::StandinMovieScript> MovieDriver() {
    const std::optional<std::string> path = platform::GetEnvironment("VELMO_MOVIE_DRIVER");
    if (!path || path->empty()) return std::nullopt;
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(*path, bytes)) {
        platform::ShowError("Cannot read the movie driver " + *path, "velmo-projector");
        return platform::StandinMovieScript{};
    }
    platform::StandinScriptResult parsed =
        platform::ParseStandinMovieScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!parsed.script) {
        platform::ShowError(*path + ": " + parsed.error, "velmo-projector");
        return platform::StandinMovieScript{};
    }
    return std::move(*parsed.script);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const bool verbose = platform::GetEnvironment("VELMO_VERBOSE").value_or("") == "1";
    if (verbose) platform::Windows().SetSink([](const std::string& line) { PrintLine("window", line); });
    if (verbose)
        platform::SetActionSink(
            [](std::string_view kind, const std::string& line) { PrintLine(std::string(kind).c_str(), line); });
    if (verbose) platform::Menus().SetSink([](const std::string& line) { PrintLine("menu", line); });
    ProjectorServices services(MovieDriver(), verbose);
    return tools::RunApplication(
        services, args, verbose ? shell::App::Log([](const std::string& line) { PrintLine("app", line); }) : nullptr);
}
