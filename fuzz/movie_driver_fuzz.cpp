// The stand-in movie's driving file over any bytes: refused or read, never a crash; a file that is
// read plays to its end with every event raised once, and every record stays one line. Waits are
// cut to nothing: the fuzzer checks what they do to the order of events, not the clock.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/standin/standin_movie_control.h"
#include "platform/standin/standin_movie_script.h"

using namespace velmo::platform;

namespace {

class Answering final : public MovieControlEvents {
public:
    explicit Answering(StandinMovieControl& control) : control_(control) {}
    void OnFSCommand(std::u16string_view command, std::u16string_view argument) override {
        ++events;
        (void)control_.GetVariable(command);
        (void)control_.SetVariable(command, argument);
    }
    void OnFlashCall(std::u16string_view request) override {
        ++events;
        control_.SetReturnValue(control_.CallFunction(request).value_or(u"<undefined/>"));
    }
    size_t events = 0;

private:
    StandinMovieControl& control_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const StandinScriptResult parsed =
        ParseStandinMovieScript(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed.script) {
        if (parsed.error.rfind("line ", 0) != 0) __builtin_trap();
        return 0;
    }
    StandinMovieScript script = *parsed.script;
    size_t expected = 0;
    for (StandinEvent& event : script.events) {
        if (event.kind == StandinEvent::Kind::Wait) event.milliseconds = 0;
        else ++expected;
    }
    StandinMovieControl control(script);
    Answering sink(control);
    control.SetEventSink(&sink);
    if (!control.SetMovie(u"movie.swf")) __builtin_trap();
    // A wait answers "nothing yet" until its time is up, so the loop asks whether events remain.
    while (control.HoldsEvents()) (void)control.RaiseNextEvent();
    if (sink.events != expected) __builtin_trap();
    for (const std::string& line : control.Recorded())
        if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    return 0;
}
