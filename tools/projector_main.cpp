// velmo-projector: the runtime every packed application runs. The entry hands control to the
// application object: start-up with the command line, idle work until none is queued, then the
// main window closes and the application shuts down.
// FIXME: the main frame is the recording frame and nothing waits for messages until the Win32
// window and message loop exist; until then the application closes as soon as it is idle.
#include <memory>
#include <string>
#include <vector>

#include "shell/app.h"
#include "shell/recording_frame.h"

namespace {

class ProjectorServices final : public velmo::shell::AppServices {
public:
    std::unique_ptr<velmo::shell::MainFrame> MakeFrame() override {
        return std::make_unique<velmo::shell::RecordingFrame>();
    }
    velmo::shell::ScriptHost& Scripts() override { return scripts_; }

private:
    velmo::shell::NoScriptEngine scripts_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ProjectorServices services;
    velmo::shell::App application(services);
    const bool running = application.InitInstance(args);
    if (running) {
        for (int idle = 0; application.OnIdle(idle);) ++idle;
        application.CloseMainWindow();
    }
    return application.ExitInstance();
}
