#pragma once
// The running application as its scripts see it: the host's Projector over the application
// object, its main frame and the movie command channel. Every engine the channel makes carries it
// (EngineOptions::host). It also carries the projector's events into the scripts: the movie
// start-up chooses, each movie the control accepts, the tray icon's mouse messages.

#include <optional>
#include <string>

#include "host/framework/projector.h"
#include "platform/window.h"

namespace velmo::platform {
class Desktop;
}

namespace velmo::shell {

class App;
class CommandChannel;
class MainFrame;

class ProjectorBridge final : public host::Projector {
public:
    ProjectorBridge(platform::Desktop& desktop, CommandChannel& channel);

    // The application whose records and frame the scripts act on; null when it goes.
    void Attach(App* app);
    // Asks the scripts (the Application's onGetMovie) for the movie start-up plays.
    std::optional<std::string> ChooseMovie();
    // Hooks the frame's tray icon and movie loading up to the scripts' events.
    void ListenTo(MainFrame& frame);

    shell::SettingsRecord& Settings() override;
    std::vector<std::string> MovieCollection() const override { return {}; }
    std::optional<std::vector<uint8_t>> MenuDefinition(const std::string& name) const override;

    void Apply(host::SettingsChange change) override;
    uintptr_t MainWindow() const override;
    bool SetSmallIcon(const std::string& iconFile) override;
    void PostSystemCommand(uint32_t command) override;
    void SetDragRegion(std::optional<platform::Region> region) override;
    void ShowPointer(bool show) override;
    bool SetCustomCursor(const std::string& cursorFile) override;
    bool MovieWindowHasCapture() const override;
    void SetMovieWindowCapture(bool capture) override;
    bool MovieWindowHasFocus() const override;
    void FocusMovieWindow() override;
    intptr_t SendWindowMessage(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    bool ShowTrayIcon(const host::TrayIconSpec& icon) override;
    bool RemoveTrayIcon() override;
    bool TrayIconShown() const override;
    bool ShowTrayBalloon(const host::TrayBalloon& balloon) override;

    platform::MovieControl* Movie() const override;
    uintptr_t MovieWindow() const override;
    std::optional<platform::Size> MainClientSize() const override;
    std::optional<platform::Size> MovieFrameSize() const override;
    const host::MovieCallContext* MovieCalls() const override;
    void RunCommand(const std::string& command, const std::string& ansiArgument) override;

    std::string ExtractAttachedFile(const std::string& packagePath) override;
    std::string AttachmentsFolder() const override;
    platform::Profile* Profile() override;
    bool PumpMessages() override;

    std::optional<platform::Rect> MainWindowRect() const override;
    bool MoveMainWindow(int left, int top) override;
    std::optional<platform::Rect> WorkArea() const override { return desktop_.WorkArea(); }
    std::optional<platform::Point> PointerPosition() const override { return desktop_.PointerPosition(); }
    void SetSprite(const std::string& boundsName, const std::string& frameLabel) override;
    void Note(const std::string& line) override;

private:
    MainFrame* Frame() const;

    platform::Desktop& desktop_;
    CommandChannel& channel_;
    App* app_ = nullptr;  // not owned
};

}  // namespace velmo::shell
