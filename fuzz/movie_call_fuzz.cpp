// A movie call with any request text, in a fresh engine each time: whatever the request names
// and holds, the call ends (fuzzing builds bound every run's instructions) with a reply that reads
// back as one value. The bytes are widened one to one, so mutations of the ASCII markup stay
// meaningful. The movie side does nothing: commands vanish and calls into the movie fail.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/make_engine.h"
#include "host/movie/movie_calls.h"
#include "host/movie/value_codec.h"

using namespace velmo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    script::EngineOptions options;
    options.stackCells = 512;
    const auto engine = host::MakeEngine(options);
    if (!engine) return 0;
    host::MovieCallContext context;
    context.engine = [&engine] { return engine.get(); };
    context.runCommand = [](std::string_view, std::string_view) {};
    context.callMovie = [](std::u16string_view) { return std::optional<std::u16string>(); };
    context.flashGateOpen = true;
    const std::u16string request(data, data + size);
    const std::optional<std::u16string> reply = host::HandleMovieCall(context, request);
    if (!reply) return 0;
    if (!host::DecodeRequest(engine->Interp(), *reply).single) __builtin_trap();
    return 0;
}
