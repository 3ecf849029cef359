#include "shell/shell_error.h"

#include <zlib.h>

#include "platform/error_report.h"
#include "platform/last_error.h"

namespace velmo::shell {

namespace {

constexpr size_t kMaxSystemText = 255;
constexpr size_t kMaxReportText = 259;

MainWindowCaption& CaptionSource() {
    static MainWindowCaption source;
    return source;
}

const char* CompressionText(int code) {
    switch (code) {
        case Z_BUF_ERROR: return "There was not enough room in the compress(uncompress) output buffer";
        case Z_MEM_ERROR: return "There was not enough memory for compress(uncompress)";
        case Z_DATA_ERROR: return "The compress(uncompress) input data was corrupted";
        case Z_STREAM_ERROR: return "The compress level parameter is invalid";
        default: return "Compression or uncompression failed";
    }
}

}  // namespace

SystemError SystemError::FromLastError() {
    std::string text = platform::SystemErrorText(platform::LastErrorCode());
    if (text.size() > kMaxSystemText) text.resize(kMaxSystemText);
    return SystemError(std::move(text));
}

CompressionError::CompressionError(int zlibCode) : SystemError(CompressionText(zlibCode)), zlibCode_(zlibCode) {}

void SetMainWindowCaptionSource(MainWindowCaption source) { CaptionSource() = std::move(source); }

void ReportError(const ShellError& error) {
    const MainWindowCaption& source = CaptionSource();
    const std::optional<std::string> caption = source ? source() : std::nullopt;
    if (caption) platform::ShowError(error.Message().substr(0, kMaxReportText), *caption);
}

}  // namespace velmo::shell
