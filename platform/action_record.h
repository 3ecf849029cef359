#pragma once
// What the system would have done where the headless desktop (or a dialog-free Windows run) only
// pretends to: programs started, documents opened, dialogs asked, media commands sent. Each such
// action is one line under a kind ("shell", "dialog", "mci"); `velmo play --verbose` and the
// projector's verbose mode print them as "[kind] line". Without a sink the lines are dropped.

#include <functional>
#include <string>
#include <string_view>

namespace velmo::platform {

using ActionSink = std::function<void(std::string_view kind, const std::string& line)>;

// Replaces the sink (null drops the lines).
void SetActionSink(ActionSink sink);
void NoteAction(std::string_view kind, const std::string& line);

}  // namespace velmo::platform
