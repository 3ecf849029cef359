// The application's life, shared by velmo-projector and `velmo play`.
#include "tools/app_runner.h"

#include <utility>

#include "host/make_engine.h"
#include "platform/interrupts.h"

namespace velmo::tools {

std::unique_ptr<script::Engine> MakeInterruptibleEngine() {
    script::EngineOptions options;
    options.interrupt = &platform::InterruptFlag();
    return host::MakeEngine(options);
}

int RunApplication(shell::AppServices& services, const std::vector<std::string>& args, shell::App::Log log) {
    platform::WatchInterrupts();
    shell::App application(services, std::move(log));
    const bool running = application.InitInstance(args);
    if (running) {
        // Idle work drains after every event, as the message loop does it.
        do {
            for (int idle = 0; application.OnIdle(idle) && !platform::InterruptRequested();) ++idle;
        } while (!platform::InterruptRequested() && application.DeliverEvent());
        application.CloseMainWindow();
    }
    const bool hookRan = application.CommandLineModeHandled();
    // Shutdown runs in every case: it removes whatever part of the start-up happened.
    const int status = application.ExitInstance();
    if (const int interrupt = platform::InterruptRequested()) {
        platform::InterruptHandled();
        return 128 + interrupt;
    }
    return running || hookRan ? status : 1;
}

}  // namespace velmo::tools
