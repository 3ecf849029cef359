#pragma once
// The life of an application as both the projector and `velmo play` run it: start-up, idle work
// until none is queued, closing the main window, shutdown.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/window.h"
#include "script/runtime/engine.h"
#include "shell/app.h"
#include "shell/command_channel.h"
#include "shell/engine_script_host.h"
#include "shell/projector_bridge.h"

namespace velmo::tools {

// Runs the application for the command-line `args` (program name excluded) and returns the process
// exit status: shutdown's status after a run or an installer hook, 1 when start-up stopped (the
// reason was already reported), so that scripts can tell a failed start-up from a normal one.
// A frame without a user (`velmo play`'s) closes once its movie's events are delivered, no idle
// work is left and no script interval runs; a real window waits for its user.
//
// A stop request from outside (platform/interrupts.h: Ctrl-C, hang-up, termination, a closed
// console) ends the run as closing the main window does: the running script is broken off (in an
// engine made by MakeInterruptibleEngine), the window closes and shutdown removes the run folder.
// The status is then 128 + the request's signal number, as shells expect of an interrupted program.
// With `timeoutSeconds` above 0 the main window closes once that time has passed, as if its user
// closed it, whatever is still pending.
int RunApplication(shell::AppServices& services, const std::vector<std::string>& args, shell::App::Log log = nullptr,
                   double timeoutSeconds = 0);

// The engine of an application run: host::MakeEngine's acting on `projector`, whose scripts stop
// at their next safe point ("hook break N", N the signal number) once a stop request came in.
std::unique_ptr<script::Engine> MakeInterruptibleEngine(host::Projector* projector = nullptr);

// What the projector and `velmo play` share: the desktop, the command channel with its engine, and
// the scripts' view of the running application. Each makes its own frame.
class RunnerServices : public shell::AppServices {
public:
    // The headless desktop unless the caller brings another (`velmo play --window`'s GTK desktop).
    explicit RunnerServices(std::unique_ptr<platform::Desktop> desktop = platform::MakeDesktop())
        : desktop_(std::move(desktop)) {}
    shell::ScriptHost& Scripts() override { return scripts_; }
    void AttachFrame(shell::MainFrame* frame, shell::SettingsRecord* settings) override;
    void AttachApplication(shell::App* app) override { bridge_.Attach(app); }
    std::optional<std::string> ChooseMovie() override { return bridge_.ChooseMovie(); }
    shell::CommandChannel& Channel() { return channel_; }

protected:
    platform::Desktop& Desktop() { return *desktop_; }

private:
    std::unique_ptr<platform::Desktop> desktop_;
    shell::CommandChannel channel_{[this] { return MakeInterruptibleEngine(&bridge_); }};
    shell::EngineScriptHost scripts_{channel_};
    shell::ProjectorBridge bridge_{*desktop_, channel_};
};

}  // namespace velmo::tools
