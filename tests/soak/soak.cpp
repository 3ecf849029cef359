// Soak test of the collected heap: one engine runs a script function that allocates and drops
// objects, strings and arrays, keeping a bounded ring of survivors that later rounds drop again,
// for a given time. The heap's bytes in use are sampled after every round, and the live bytes
// after a full collection every few rounds. A leak, or a collector that stops freeing, shows as
// growth from the first half of the run to the second, or as a peak beyond the bound below.
//
// Usage: velmo_soak [SECONDS]   (default 60). Exit status 0 bounded, 1 not bounded or a failed
// round, 64 bad arguments.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/make_engine.h"
#include "script/runtime/calls.h"
#include "script/runtime/heap_limits.h"
#include "script/runtime/internal/interpreter.h"

namespace {

using velmo::script::Value;

// Every round builds a few hundred records of each kind and keeps one in fifty in a ring of 64
// slots, each slot overwritten 16 rounds later; every tenth round empties the ring at once.
constexpr const char* kChurnScript = R"(
keep = [];
next = 0;
function churn(round) {
    var i, o, a, s;
    for (i = 0; i < 200; i++) {
        o = new Object();
        o.n = i;
        o.text = "item " + i + " of round " + round;
        a = [o, o.text, i * 1.5, "x" + i];
        s = o.text + "/" + a.length + "/" + a.join(",");
        if (i % 50 == 0) {
            keep[next] = { at: round, data: a, label: s, more: [s, s + s] };
            next = (next + 1) % 64;
        }
    }
    if (round % 10 == 9) { keep = []; next = 0; }
    return keep.length;
}
)";

// The live data stays far below the 2 MiB collection mark (64 survivors of about 1 KiB each plus
// the engine's own classes), so a collection runs whenever the bytes in use reach that mark and
// drops them well under it; between collections they grow by at most one loop iteration past it.
// Twice the mark is therefore out of reach for a heap that frees what it should.
constexpr size_t kPeakBoundBytes = 2 * velmo::script::kCollectThresholdBytes;
// Samples are taken at different points of the collection cycle; the second half may peak a
// little above the first by chance, never by a steady amount.
constexpr size_t kPeakMarginBytes = velmo::script::kCollectThresholdBytes / 8;
// After a full collection only the engine and the ring remain: equal in both halves to within
// the size difference of two rings.
constexpr size_t kLiveMarginBytes = 64 * 1024;
constexpr int kRoundsPerLiveSample = 16;

struct Halves {
    size_t first = 0;
    size_t second = 0;
};

// The largest sample in each half of the run, by position.
Halves PeakOfHalves(const std::vector<size_t>& samples) {
    Halves peaks;
    const size_t middle = samples.size() / 2;
    for (size_t i = 0; i < samples.size(); ++i) {
        size_t& peak = i < middle ? peaks.first : peaks.second;
        peak = std::max(peak, samples[i]);
    }
    return peaks;
}

bool ParseSeconds(int argc, char** argv, double& seconds) {
    if (argc == 1) return true;
    if (argc != 2) return false;
    char* end = nullptr;
    seconds = std::strtod(argv[1], &end);
    return end != argv[1] && *end == '\0' && seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    if (!ParseSeconds(argc, argv, seconds)) {
        std::fprintf(stderr, "usage: velmo_soak [SECONDS]\n");
        return 64;
    }
    const auto engine = velmo::host::MakeEngine();
    if (!engine) {
        std::fprintf(stderr, "velmo_soak: can't create the script engine\n");
        return 1;
    }
    if (engine->RunSourceText(kChurnScript) != 1) {
        std::fprintf(stderr, "velmo_soak: the churn script did not load: %s\n", engine->ErrorText().c_str());
        return 1;
    }
    auto& interp = engine->Interp();
    auto& heap = interp.GetHeap();

    std::vector<size_t> inUse, live;
    const auto start = std::chrono::steady_clock::now();
    const auto stop = start + std::chrono::duration<double>(seconds);
    int64_t round = 0;
    while (round < 2 || std::chrono::steady_clock::now() < stop) {
        Value args[] = {Value::Integer(1), Value::Integer(round)};
        if (!velmo::script::CallGlobal(interp, "churn", args)) {
            std::fprintf(stderr, "velmo_soak: round %lld failed: %s\n", static_cast<long long>(round),
                         engine->ErrorText().c_str());
            return 1;
        }
        inUse.push_back(heap.BytesInUse());
        if (++round % kRoundsPerLiveSample == 0) {
            interp.Collect();
            live.push_back(heap.BytesInUse());
        }
    }
    // Two live samples at least, so that both halves hold one.
    while (live.size() < 2) {
        interp.Collect();
        live.push_back(heap.BytesInUse());
    }

    const Halves peaks = PeakOfHalves(inUse);
    const Halves liveBytes = PeakOfHalves(live);
    const size_t peak = std::max(peaks.first, peaks.second);
    std::printf(
        "velmo_soak: %lld rounds in %.1f s; bytes in use peaked at %zu (first half %zu, second half %zu); "
        "live after collection %zu then %zu; heap chunks %zu bytes\n",
        static_cast<long long>(round), std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
        peak, peaks.first, peaks.second, liveBytes.first, liveBytes.second, heap.ChunkBytes());

    bool bounded = true;
    const auto fail = [&bounded](const char* what, size_t got, size_t limit) {
        std::fprintf(stderr, "velmo_soak: FAILED: %s: %zu bytes, limit %zu\n", what, got, limit);
        bounded = false;
    };
    if (peak > kPeakBoundBytes) fail("bytes in use passed the bound", peak, kPeakBoundBytes);
    if (peaks.second > peaks.first + kPeakMarginBytes)
        fail("bytes in use grew from the first half to the second", peaks.second, peaks.first + kPeakMarginBytes);
    if (liveBytes.second > liveBytes.first + kLiveMarginBytes)
        fail("live bytes grew from the first half to the second", liveBytes.second, liveBytes.first + kLiveMarginBytes);
    if (!heap.CheckConsistency()) {
        std::fprintf(stderr, "velmo_soak: FAILED: the heap's chunks and free lists disagree\n");
        bounded = false;
    }
    return bounded ? 0 : 1;
}
