// velmo play: runs an application file headless, as if it were the running executable: its
// resources, package, run folder and profile are the real ones; the window is the recording frame.
// Exit status as tools/app_runner.h says; 64 for bad arguments.
#include <cstdio>

#include "platform/environment.h"
#include "platform/files.h"
#include "shell/app.h"
#include "shell/command_channel.h"
#include "shell/engine_script_host.h"
#include "shell/recording_frame.h"
#include "tools/app_runner.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {

class PlayerServices final : public shell::AppServices {
public:
    explicit PlayerServices(shell::RecordingFrame::Sink sink) : sink_(std::move(sink)) {}
    std::unique_ptr<shell::MainFrame> MakeFrame() override { return std::make_unique<shell::RecordingFrame>(sink_); }
    shell::ScriptHost& Scripts() override { return scripts_; }
    void AttachFrame(shell::MainFrame* frame, shell::SettingsRecord* settings) override {
        channel_.Attach(frame, settings);
    }
    shell::CommandChannel& Channel() { return channel_; }

private:
    shell::RecordingFrame::Sink sink_;
    shell::CommandChannel channel_;
    shell::EngineScriptHost scripts_{channel_};
};

constexpr const char* kUsage = "usage: velmo play APP.exe [--verbose] [-- APPLICATION-ARGUMENTS...]";

}  // namespace

int PlayCommand(const Args& args) {
    std::string app;
    bool verbose = false;
    std::vector<std::string> appArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            appArgs.assign(args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (args[i] == "--verbose")
            verbose = true;
        else if (app.empty() && !args[i].empty() && args[i][0] != '-')
            app = args[i];
        else
            return Fail(kExitUsage, kUsage);
    }
    if (app.empty()) return Fail(kExitUsage, kUsage);
    if (!platform::FileExists(app)) return Fail(1, "cannot open " + app);

    platform::UseApplicationImage(app);
    const auto print = [](const std::string& line) { std::printf("[app] %s\n", line.c_str()); };
    shell::RecordingFrame::Sink sink = verbose ? shell::RecordingFrame::Sink(
                                                     [](const std::string& line) { std::printf("[frame] %s\n", line.c_str()); })
                                               : nullptr;
    PlayerServices services(sink);
    if (verbose)  // the scripts' trace lines, and the errors the engine reports there
        services.Channel().SetTraceSink([](std::string_view line) {
            std::printf("[trace] %.*s\n", static_cast<int>(line.size()), line.data());
        });
    const int status = RunApplication(services, appArgs, verbose ? shell::App::Log(print) : nullptr);
    std::fflush(stdout);
    return status;
}

}  // namespace velmo::tools
