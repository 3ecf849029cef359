// Times ExtractPackageFile on one 64 MiB file entry against plain zlib inflate of the very same
// stream into memory. Extraction also reads the package, computes the CRC-32 and writes the file,
// and it should still keep at least 80 % of inflate's throughput. A run whose extracted bytes
// differ from the original is a failure, however fast. Everything written lives in one scratch
// folder under the temporary folder (the run folders too) and is removed on exit.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/text.h"
#include "shell/package.h"
#include "shell/run_folder.h"
#include "shell/shell_error.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/pe_writer.h"

namespace velmo::bench {
namespace {

constexpr size_t kEntryBytes = size_t{64} << 20;
constexpr int kRuns = 7;
constexpr double kTargetPercent = 80.0;
constexpr const char* kEntryName = "bench.dat";
constexpr double kMiB = 1024.0 * 1024.0;

using Clock = std::chrono::steady_clock;

// Wall time is what a user waits for. Process CPU time (user and system) is printed beside it
// because it stays steady on a machine busy with other work, where wall times of runs scatter.
struct Timing {
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

class Stopwatch {
public:
    Stopwatch() : wall_(Clock::now()), cpu_(std::clock()) {}
    Timing Elapsed() const {
        return {std::chrono::duration<double>(Clock::now() - wall_).count(),
                static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC};
    }

private:
    Clock::time_point wall_;
    std::clock_t cpu_;
};

// splitmix64: the same content on every machine and every run.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

private:
    uint64_t state_;
};

std::vector<std::string> MakeVocabulary(Random& random, size_t count) {
    std::vector<std::string> words(count);
    for (std::string& word : words) {
        const uint32_t length = 2 + random.Below(10);
        for (uint32_t i = 0; i < length; ++i) word.push_back(static_cast<char>('a' + random.Below(26)));
    }
    return words;
}

// Text-like content: lines of words from a made-up vocabulary, common words far more often than
// rare ones, with numbers mixed in. The builder's zlib level packs it about 3:1, as it does the
// scripts, XML and data files that packages hold; a constant fill would inflate unrealistically
// fast, and random bytes would mostly be copied.
std::vector<uint8_t> MakeContent(size_t sizeBytes) {
    Random random(0x56454C4D4Fu);
    constexpr uint64_t kWords = 2048;
    const std::vector<std::string> words = MakeVocabulary(random, kWords);
    std::vector<uint8_t> out;
    out.reserve(sizeBytes + 64);
    size_t lineChars = 0;
    while (out.size() < sizeBytes) {
        const uint64_t r = random.Below(kWords);
        const std::string& word = words[r * r * r / (kWords * kWords)];  // the cube favours the first words
        out.insert(out.end(), word.begin(), word.end());
        if (random.Below(16) == 0) {
            out.push_back(' ');
            for (uint32_t digits = 1 + random.Below(6); digits > 0; --digits)
                out.push_back(static_cast<uint8_t>('0' + random.Below(10)));
        }
        lineChars += word.size() + 1;
        out.push_back(lineChars > 72 ? '\n' : ' ');
        if (lineChars > 72) lineChars = 0;
    }
    out.resize(sizeBytes);
    return out;
}

// A scratch folder that is also the base of the run folders (TMP) while it lives; on destruction
// the run folder, the folder and everything in it go, and TMP and the application image are
// restored.
class Workspace {
public:
    Workspace() : savedTmp_(platform::GetEnvironment("TMP")) {
        path_ = shell::TempBaseFolder() + "velmo-bench-" + platform::Utf16ToAnsi(platform::NewGuidText());
        if (!platform::CreateFolder(path_)) throw std::runtime_error("cannot create " + path_);
        path_ += '\\';
        platform::SetEnvironment("TMP", path_);
    }
    ~Workspace() {
        shell::RemoveRunFolder();
        platform::UseApplicationImage("");
        platform::SetEnvironment("TMP", savedTmp_);
        shell::RemoveFolderTree(path_);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::optional<std::string> savedTmp_;
    std::string path_;
};

// The zlib stream of the package's only file entry. The writer lays out the magic, the root
// folder's header, the file entry's header, its stream and CRC-32, then the 8-byte trailer.
std::span<const uint8_t> EntryStream(const std::vector<uint8_t>& package, size_t nameChars) {
    const size_t rootHeader = 4 + 4 + 4 + 2 * sizeof("Application") + 4;
    const size_t sizeField = rootHeader + 4 + 4 + 2 * (nameChars + 1);
    if (package.size() < sizeField + 4 + 8) throw std::runtime_error("unexpected package layout");
    const size_t contentBytes = platform::LoadU32(&package[sizeField]);
    if (contentBytes < 4 || sizeField + 4 + contentBytes + 8 != package.size())
        throw std::runtime_error("unexpected package layout");
    return {&package[sizeField + 4], contentBytes - 4};
}

// Plain inflate as a program that holds everything in memory would do it: the whole stream in,
// one buffer for the whole output, one call. `output` is reused, so no run pays its page faults;
// it has room to spare, so a stream longer than `expectedBytes` shows.
Timing TimeInflate(std::span<const uint8_t> stream, std::vector<uint8_t>& output, size_t expectedBytes) {
    const Stopwatch stopwatch;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw std::runtime_error("inflateInit failed");
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = output.data();
    z.avail_out = static_cast<uInt>(output.size());
    const int rc = inflate(&z, Z_FINISH);
    const bool complete = rc == Z_STREAM_END && z.total_out == expectedBytes;
    inflateEnd(&z);
    const Timing timing = stopwatch.Elapsed();
    if (!complete) throw std::runtime_error("plain inflate did not reproduce the content");
    return timing;
}

// One extraction into a fresh run folder: a second call in the same run folder would only find
// the file already there.
Timing TimeExtraction(const std::vector<uint8_t>& content) {
    shell::CreateRunFolder();
    const Stopwatch stopwatch;
    const std::string path = shell::ExtractPackageFile(kEntryName);
    const Timing timing = stopwatch.Elapsed();
    std::vector<uint8_t> extracted;
    const bool same = !path.empty() && platform::ReadWholeFile(path, extracted) && extracted == content;
    shell::RemoveRunFolder();
    if (!same) throw std::runtime_error("the extracted file differs from the original");
    return timing;
}

// The median of each clock separately.
Timing Median(const std::vector<Timing>& runs) {
    const auto median = [&](double Timing::*field) {
        std::vector<double> values;
        for (const Timing& run : runs) values.push_back(run.*field);
        std::sort(values.begin(), values.end());
        const size_t mid = values.size() / 2;
        return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
    };
    return {median(&Timing::wallSeconds), median(&Timing::cpuSeconds)};
}

// The application file: a resource-only image with the package behind it, written by the
// builder's own writers as `velmo pack` does. Returns the package.
std::vector<uint8_t> WriteApplication(const std::string& path, const std::vector<uint8_t>& content) {
    std::vector<uint8_t> package = builder::WritePackage({{kEntryName, false, content, {}}});
    std::vector<uint8_t> image = builder::WriteResourceImage({});
    image.insert(image.end(), package.begin(), package.end());
    if (!platform::WriteWholeFile(path, image)) throw std::runtime_error("cannot write " + path);
    return package;
}

void PrintLine(const char* label, const Timing& t) {
    std::printf("  %-24s %7.1f ms %7.1f MiB/s   (cpu %7.1f ms)\n", label, t.wallSeconds * 1000,
                kEntryBytes / kMiB / t.wallSeconds, t.cpuSeconds * 1000);
}

void Report(std::span<const uint8_t> stream, const Timing& inflate, const Timing& extract) {
    const double percent = 100.0 * inflate.wallSeconds / extract.wallSeconds;
    const double cpuPercent = 100.0 * inflate.cpuSeconds / extract.cpuSeconds;
    std::printf("extract bench: %.0f MiB file entry, %.1f MiB zlib stream (%.2f:1), median of %d runs\n",
                kEntryBytes / kMiB, stream.size() / kMiB, double(kEntryBytes) / stream.size(), kRuns);
    PrintLine("zlib inflate to memory", inflate);
    PrintLine("ExtractPackageFile", extract);
    std::printf("  extraction / inflate: %.1f %% of throughput (by cpu time %.1f %%), target >= %.0f %%: %s\n", percent,
                cpuPercent, kTargetPercent, percent >= kTargetPercent ? "met" : "NOT MET");
}

int Run() {
    Workspace workspace;
    const std::vector<uint8_t> content = MakeContent(kEntryBytes);
    const std::string appPath = workspace.Path() + "bench.exe";
    const std::vector<uint8_t> package = WriteApplication(appPath, content);
    platform::UseApplicationImage(appPath);
    const std::span<const uint8_t> stream = EntryStream(package, std::char_traits<char>::length(kEntryName));

    std::vector<uint8_t> output(content.size() + 1);
    std::vector<Timing> inflateRuns, extractRuns;
    for (int run = 0; run < kRuns; ++run) {  // interleaved, so a busy moment hits both alike
        inflateRuns.push_back(TimeInflate(stream, output, content.size()));
        extractRuns.push_back(TimeExtraction(content));
    }
    if (!std::equal(content.begin(), content.end(), output.begin()))
        throw std::runtime_error("plain inflate did not reproduce the content");
    Report(stream, Median(inflateRuns), Median(extractRuns));
    return 0;
}

}  // namespace
}  // namespace velmo::bench

int main() {
    try {
        return velmo::bench::Run();
    } catch (const velmo::shell::ShellError& e) {
        std::fprintf(stderr, "extract bench: %s\n", e.Message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "extract bench: %s\n", e.what());
    }
    return 1;
}
