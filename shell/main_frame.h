#pragma once
// The main frame as the start-up sequence drives it: created once, then given the movie and every
// settings record in turn. The window itself and its control host live behind this interface.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/movie_control.h"
#include "shell/settings_record.h"

namespace velmo::shell {

using InputBlockHandle = int;  // 0: nothing blocked

class MainFrame {
public:
    virtual ~MainFrame() = default;

    // Creates the frame (and the movie control inside it) owned by the hidden owner window.
    [[nodiscard]] virtual bool Create(const std::string& iconSource) = 0;
    virtual void SetNoMovie() = 0;
    virtual void LoadMovie(const std::string& path, bool autoPlay) = 0;
    virtual void ApplyAppearance(const Appearance& appearance) = 0;
    virtual void ApplySizeAndPosition(const SizeAndPosition& size) = 0;
    virtual void ApplyWindowRegion(const std::vector<std::string>& regions) = 0;
    virtual void Show() = 0;
    virtual void KeepAspectRatio() = 0;                             // stores the client width / height for resizing
    virtual void ApplyWindowFlags(const Behaviour& behaviour) = 0;  // always on top, start minimized
    virtual void ApplyMiscellaneous(const Miscellaneous& misc) = 0;
    virtual void AddMenuCommands(const Behaviour& behaviour) = 0;
    virtual InputBlockHandle DisableInput(const Interaction& interaction) = 0;
    virtual void EnableInput(InputBlockHandle handle) = 0;
    virtual void AddTrayIcon(int iconResource) = 0;
    virtual void Update() = 0;
    virtual void Destroy() = 0;

    // The movie control inside the frame; null until Create made it and after Destroy.
    virtual platform::MovieControl* Control() { return nullptr; }
    // Delivers one waiting event of the window or its movie control; false when none was waiting.
    // Idle work runs between events, as a message loop runs it.
    virtual bool DeliverEvent() { return false; }

    virtual std::string Caption() const = 0;
    // Script names queued by asynchronous run requests, run one per idle pass.
    virtual std::deque<std::string>& AsyncQueue() = 0;

    // The window shape as the settings give it: only the clip shape has a window region.
    virtual void ApplyWindowShape(const Appearance& appearance, const std::vector<std::string>& regions) {
        if (appearance.windowShape == kShapeClip) ApplyWindowRegion(regions);
    }
    // Asks for the close WM_CLOSE gives. It is only posted: the movie command asking for it is
    // still running, and closing takes the script engine away.
    virtual void PostClose() { closePosted_ = true; }
    bool ClosePosted() const { return closePosted_; }

private:
    bool closePosted_ = false;
};

}  // namespace velmo::shell
