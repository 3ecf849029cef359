#pragma once
// Standard streams as the command-line tool needs them: bytes written as they stand, so that the
// CR LF line ends of trace output are not doubled by a text-mode stream.

#include <cstdio>

namespace velmo::platform {

void SetBinaryMode(std::FILE* stream);
// Whether `stream` is a terminal (a console window on Windows) rather than a file or a pipe.
bool IsTerminal(std::FILE* stream);

}  // namespace velmo::platform
