#pragma once
// The mouse half of the input filter: which mouse messages the movie sees under the Interaction
// settings, and the drag that moves the window with the left button. It keeps the drag's state
// between messages and decides from the message and the window's rectangle only, so the same
// rules run over the real window and the in-memory one.

#include <optional>

#include "platform/window.h"
#include "shell/settings_record.h"

namespace velmo::shell {

class MouseFilter {
public:
    struct Outcome {
        platform::MouseDecision decision;
        std::optional<platform::Rect> moveWindow;  // where a drag puts the window
    };
    // `window` is the window's rectangle as the message arrived.
    Outcome Filter(const Interaction& interaction, const platform::MouseInput& input, const platform::Rect& window);
    bool Dragging() const { return dragging_; }

private:
    Outcome Left(const platform::MouseInput& input, const platform::Rect& window);
    bool dragPending_ = false;
    bool dragging_ = false;
    int startX_ = 0, startY_ = 0;
    platform::Rect startWindow_;
};

}  // namespace velmo::shell
