// The application's life, shared by velmo-projector and `velmo play`.
#include "tools/app_runner.h"

#include <chrono>
#include <utility>

#include "host/make_engine.h"
#include "platform/interrupts.h"

namespace velmo::tools {

std::unique_ptr<script::Engine> MakeInterruptibleEngine(host::Projector* projector) {
    script::EngineOptions options;
    options.interrupt = &platform::InterruptFlag();
    options.host = projector;
    return host::MakeEngine(options);
}

void RunnerServices::AttachFrame(shell::MainFrame* frame, shell::SettingsRecord* settings) {
    channel_.Attach(frame, settings);
    if (frame) bridge_.ListenTo(*frame);
}

int RunApplication(shell::AppServices& services, const std::vector<std::string>& args, shell::App::Log log,
                   double timeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    platform::WatchInterrupts();
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    const auto timedOut = [&] { return timeoutSeconds > 0 && Clock::now() >= deadline; };
    shell::App application(services, std::move(log));
    const bool running = application.InitInstance(args);
    if (running) {
        // Idle work drains after every event, as the message loop does it.
        do {
            for (int idle = 0; application.OnIdle(idle) && !platform::InterruptRequested() && !timedOut();) ++idle;
        } while (!platform::InterruptRequested() && !timedOut() && application.DeliverEvent());
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
