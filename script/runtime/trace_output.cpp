#include "script/runtime/trace_output.h"

namespace velmo::script {

bool TraceOutput::OpenFile(const std::string& ansiPath) {
    Close();
    file_ = platform::OpenFile(ansiPath, platform::FileMode::CreateReadWrite);
    return file_ != nullptr;
}

void TraceOutput::OpenStream(std::FILE* stream, std::string_view lineEnd) {
    Close();
    stream_ = stream;
    lineEnd_ = lineEnd;
}

void TraceOutput::OpenSink(Sink sink) {
    Close();
    sink_ = std::move(sink);
}

void TraceOutput::Close() {
    if (stream_) std::fflush(stream_);
    stream_ = nullptr;
    file_.reset();
    sink_ = nullptr;
}

void TraceOutput::WriteLine(std::string_view text) {
    if (sink_) return sink_(text);
    if (file_) {
        // Lines go to the file as they come (unbuffered): a script that never ends still shows
        // what it traced, and files always end their lines in CR LF.
        const std::string line = std::string(text) + "\r\n";
        (void)file_->Write(line.data(), line.size());
        return;
    }
    if (!stream_) return;
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fwrite(lineEnd_.data(), 1, lineEnd_.size(), stream_);
    // A script that never ends (IDLE, an endless loop) still shows what it traced.
    std::fflush(stream_);
}

}  // namespace velmo::script
