// velmo-projector: the runtime every packed application runs. The entry hands control to the
// application object (tools/app_runner.h); the exit status is 1 when start-up stopped.
#include <memory>
#include <string>
#include <vector>

#include "shell/app.h"
#include "shell/command_channel.h"
#include "shell/engine_script_host.h"
#include "platform/standin/standin_movie_control.h"
#include "platform/window.h"
#include "shell/main_frame.h"
#include "tools/app_runner.h"

namespace {

class ProjectorServices final : public velmo::shell::AppServices {
public:
    std::unique_ptr<velmo::shell::MainFrame> MakeFrame() override {
        return std::make_unique<velmo::shell::MainFrame>(*desktop_, velmo::platform::StandinControlFactory({}));
    }
    velmo::shell::ScriptHost& Scripts() override { return scripts_; }
    void AttachFrame(velmo::shell::MainFrame* frame, velmo::shell::SettingsRecord* settings) override {
        channel_.Attach(frame, settings);
    }

private:
    std::unique_ptr<velmo::platform::Desktop> desktop_ = velmo::platform::OpenDesktop();
    velmo::shell::CommandChannel channel_{&velmo::tools::MakeInterruptibleEngine};
    velmo::shell::EngineScriptHost scripts_{channel_};
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ProjectorServices services;
    return velmo::tools::RunApplication(services, args);
}
