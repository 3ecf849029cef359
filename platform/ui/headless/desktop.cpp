// The headless user interface's desktop: the in-memory model, with no user.
#include "platform/common/model_desktop.h"
#include "platform/movie_control.h"
#include "platform/window_system.h"

namespace velmo::platform {

std::unique_ptr<Desktop> MakeDesktop() { return std::make_unique<ModelDesktop>(); }

namespace {
WindowSystem* chosenWindows = nullptr;  // not owned
}  // namespace
WindowSystem& Windows() { return chosenWindows ? *chosenWindows : ModelWindowSystem::Shared(); }
void UseWindowSystem(WindowSystem* windows) { chosenWindows = windows; }

// No player exists headless: applications run with the stand-in control (platform/standin).
std::string RegisteredPlayerFile() { return {}; }
std::unique_ptr<MovieControl> CreatePlayerControl(FrameWindow&, const std::string&) { return nullptr; }

namespace {
bool printDialogShown = true;
}  // namespace
void SetPrintDialogShown(bool shown) { printDialogShown = shown; }
bool PrintDialogShown() { return printDialogShown; }

}  // namespace velmo::platform
