#pragma once
// Where trace lines and runtime warnings go: nothing is written while no output is open. The
// Application object opens a file; the command-line tool opens standard output; tests install a
// sink. Every line ends in CR LF on every platform (files are written in binary mode, so a
// Windows text-mode stream cannot turn that into CR CR LF), except on a stream opened with a line
// end of its own (the tool's standard output on a system whose text lines end in LF).

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace velmo::script {

class TraceOutput {
public:
    using Sink = std::function<void(std::string_view line)>;

    TraceOutput() = default;
    ~TraceOutput() { Close(); }
    TraceOutput(const TraceOutput&) = delete;
    TraceOutput& operator=(const TraceOutput&) = delete;

    // Closes what was open, then opens `ansiPath` truncated (a path of the system the application
    // runs on: on the headless desktop its backslashes are folders too); false (and closed, the
    // reason in the platform's last error) when it cannot.
    [[nodiscard]] bool OpenFile(const std::string& ansiPath);
    // A stream the caller keeps open for as long as this output uses it; each line ends in
    // `lineEnd` (a static string).
    void OpenStream(std::FILE* stream, std::string_view lineEnd = "\r\n");
    // Each line without its line break.
    void OpenSink(Sink sink);
    void Close();

    bool IsOpen() const { return stream_ || file_ || sink_; }
    // Writes `text` and CR LF.
    void WriteLine(std::string_view text);

private:
    std::FILE* stream_ = nullptr;
    std::unique_ptr<platform::File> file_;
    std::string_view lineEnd_ = "\r\n";
    Sink sink_;
};

}  // namespace velmo::script
