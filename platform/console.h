#pragma once
// Standard streams as the command-line tool needs them: bytes written as they stand, so that the
// CR LF line ends of trace output are not doubled by a text-mode stream; whether a stream is a
// terminal, to choose between an interactive prompt and reading a script.

#include <cstdio>
#include <string_view>

namespace velmo::platform {

void SetBinaryMode(std::FILE* stream);
// Whether `stream` is a terminal (a console window on Windows) rather than a file or a pipe.
bool IsTerminal(std::FILE* stream);
// The line end of this system's text: CR LF on Windows, LF elsewhere.
std::string_view NativeLineEnd();

}  // namespace velmo::platform
