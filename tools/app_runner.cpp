// The application's life, shared by velmo-projector and `velmo play`.
#include "tools/app_runner.h"

#include <utility>

namespace velmo::tools {

int RunApplication(shell::AppServices& services, const std::vector<std::string>& args, shell::App::Log log) {
    shell::App application(services, std::move(log));
    const bool running = application.InitInstance(args);
    if (running) {
        // Idle work drains after every event, as the message loop does it.
        do {
            for (int idle = 0; application.OnIdle(idle);) ++idle;
        } while (application.DeliverEvent());
        application.CloseMainWindow();
    }
    const bool hookRan = application.CommandLineModeHandled();
    // Shutdown runs in every case: it removes whatever part of the start-up happened.
    const int status = application.ExitInstance();
    return running || hookRan ? status : 1;
}

}  // namespace velmo::tools
