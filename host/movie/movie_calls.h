#pragma once
// Requests the movie sends to the scripts: create, call, read, write and release host objects,
// run script text through the command channel, set event handlers that call back into the movie,
// or call a global script function. Every request gets a value document as its reply.

#include <optional>
#include <string>
#include <string_view>

#include "host/movie/movie_call_context.h"

namespace velmo::host {

// The reply to one request document (the control host passes it to SetReturnValue); none when
// there is no engine to run it in, and the control host then answers "<undefined/>" itself.
std::optional<std::u16string> HandleMovieCall(const MovieCallContext& context, std::u16string_view request);

}  // namespace velmo::host
