#include "platform/ui/win32/standin_control/environment_setup.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

namespace velmo::platform::standin_control {

namespace {

std::wstring Variable(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);  // the size needed, terminator included
    }
}

std::u16string Text16(const std::wstring& s) { return {reinterpret_cast<const char16_t*>(s.data()), s.size()}; }

// Opened for each line and closed again, so that every line is on disk when the call that made it
// returns, whatever happens to the process afterwards.
void AppendLine(const std::wstring& path, const std::string& line) {
    if (FILE* f = ::_wfopen(path.c_str(), L"ab")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

std::optional<std::string> ReadFile(const std::wstring& path) {
    FILE* f = ::_wfopen(path.c_str(), L"rb");
    if (!f) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return std::nullopt;
    return bytes;
}

}  // namespace

StandinSetup SetUpFromEnvironment() {
    StandinMovieControl::Sink sink;
    if (const std::wstring record = Variable(L"VELMO_STANDIN_RECORD"); !record.empty())
        sink = [record](const std::string& line) { AppendLine(record, line); };
    StandinMovieScript script;
    if (const std::wstring driver = Variable(L"VELMO_STANDIN_DRIVER"); !driver.empty()) {
        const std::optional<std::string> bytes = ReadFile(driver);
        StandinScriptResult parsed;
        if (bytes) parsed = ParseStandinMovieScript(*bytes);
        if (parsed.script) {
            script = std::move(*parsed.script);
        } else if (sink) {
            sink(bytes ? "movie driver " + QuotedText(Text16(driver)) + " refused: " + parsed.error
                       : "cannot read the movie driver " + QuotedText(Text16(driver)));
        }
    }
    StandinSetup setup;
    setup.paints = script.paints;
    setup.movie = std::make_unique<StandinMovieControl>(std::move(script), std::move(sink));
    return setup;
}

}  // namespace velmo::platform::standin_control
