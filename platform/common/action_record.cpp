// The one sink of recorded actions for the whole process; nothing here keeps the lines.
#include "platform/action_record.h"

#include <utility>

namespace velmo::platform {

namespace {
ActionSink& Sink() {
    static ActionSink sink;
    return sink;
}
}  // namespace

void SetActionSink(ActionSink sink) { Sink() = std::move(sink); }

void NoteAction(std::string_view kind, const std::string& line) {
    if (Sink()) Sink()(kind, line);
}

}  // namespace velmo::platform
