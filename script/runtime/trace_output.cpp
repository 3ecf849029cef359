#include "script/runtime/trace_output.h"

namespace velmo::script {

bool TraceOutput::OpenFile(const std::string& ansiPath) {
    Close();
    stream_ = std::fopen(ansiPath.c_str(), "wb");
    ownsStream_ = stream_ != nullptr;
    lineEnd_ = "\r\n";
    return stream_ != nullptr;
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
    if (stream_ && ownsStream_) std::fclose(stream_);
    else if (stream_) std::fflush(stream_);
    stream_ = nullptr;
    ownsStream_ = false;
    sink_ = nullptr;
}

void TraceOutput::WriteLine(std::string_view text) {
    if (sink_) return sink_(text);
    if (!stream_) return;
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fwrite(lineEnd_.data(), 1, lineEnd_.size(), stream_);
    // A script that never ends (IDLE, an endless loop) still shows what it traced.
    std::fflush(stream_);
}

}  // namespace velmo::script
