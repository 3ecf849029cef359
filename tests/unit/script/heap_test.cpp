// The collected heap: size classes, splitting, merging, finalizers, reuse and the stress switch.
// Every scenario ends with CheckConsistency(), which walks the chunks against lists and counters.
#include "script/runtime/internal/heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/environment.h"

namespace velmo::script {
namespace {

constexpr size_t kFirstBlockBytes = kChunkBytes - kChunkOverheadBytes;

struct Probe {
    Heap::Finalizer finalizer;
    int id;
    const Probe* other;  // read by the finalizer, to prove dead neighbours are still intact
};
int gRuns[8];
int gSeenOther[8];

void CountRun(void* block) noexcept {
    const Probe* probe = static_cast<const Probe*>(block);
    ++gRuns[probe->id];
    if (probe->other) gSeenOther[probe->id] = probe->other->id;
}

Probe* NewProbe(Heap& heap, int id, const Probe* other = nullptr) {
    Probe* probe = heap.NewFinalized<Probe>(&CountRun);
    probe->id = id;
    probe->other = other;
    return probe;
}

TEST(Heap, RoundsRequestsToPowersOfTwoAndClassifiesBySignificantBits) {
    const struct {
        size_t sizeBytes;
        int sizeClass;
    } classes[] = {{7, 0}, {8, 1}, {15, 1}, {16, 2}, {size_t{1} << 28, 19}};  // the last list takes all larger
    for (const auto& row : classes) EXPECT_EQ(SizeClass(row.sizeBytes), row.sizeClass) << row.sizeBytes;
    Heap heap;
    for (size_t request : {0, 4, 9, 64, 65, 1000}) {
        void* block = heap.Allocate(request);
        EXPECT_EQ(Heap::BlockSize(block), std::max(kMinBlockBytes, std::bit_ceil(request))) << request;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % kBlockAlignBytes, 0u) << request;
    }
    const size_t inUse = heap.BytesInUse();
    EXPECT_THROW(heap.Allocate(kMaxBlockBytes + 1), std::bad_alloc);
    EXPECT_EQ(heap.BytesInUse(), inUse);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, SplitsOneFreeBlockAcrossSeveralSmallRequests) {
    Heap heap;
    std::byte* first = static_cast<std::byte*>(heap.Allocate(16));
    std::byte* second = static_cast<std::byte*>(heap.Allocate(32));
    EXPECT_EQ(second, first + 16 + kBlockHeaderBytes);  // carved from the front of the same block
    EXPECT_EQ(heap.ChunkBytes(), kChunkBytes);
    EXPECT_EQ(heap.BytesInUse(), 48u);
    EXPECT_EQ(heap.BytesFree(), kFirstBlockBytes - 48 - 2 * kBlockHeaderBytes);

    // A free block only 8 bytes larger than the request is handed out whole.
    void* a = heap.Allocate(8);
    heap.Allocate(8);
    void* keep = heap.Allocate(8);
    heap.Mark(first);
    heap.Mark(second);
    heap.Mark(keep);
    heap.Sweep();  // a and its neighbour merge into 8 + 8 + header = 24 bytes
    EXPECT_EQ(heap.Allocate(16), a);
    EXPECT_EQ(Heap::BlockSize(a), 24u);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, SweepMergesDeadNeighboursAndAlreadyFreeBlocks) {
    Heap heap;
    void* a = heap.Allocate(64);
    void* b = heap.Allocate(64);
    heap.Allocate(64);
    void* keep = heap.Allocate(64);
    heap.Free(b);  // already free: merges like a dead block
    const size_t freeBefore = heap.BytesFree();
    heap.Mark(keep);
    heap.Sweep();
    EXPECT_EQ(heap.BytesFree(), freeBefore - 64 + 3 * 64 + 2 * kBlockHeaderBytes);
    EXPECT_EQ(heap.BytesInUse(), 64u);
    EXPECT_EQ(heap.Allocate(128), a);  // fits only in the merged run
    EXPECT_TRUE(heap.CheckConsistency());

    // Fill the chunk with small blocks; once all die, one large request fits without a new chunk.
    Heap full;
    do full.Allocate(64);
    while (full.BytesFree() >= 64);
    EXPECT_EQ(full.ChunkBytes(), kChunkBytes);
    full.Sweep();
    EXPECT_EQ(full.BytesInUse(), 0u);
    EXPECT_EQ(full.BytesFree(), kFirstBlockBytes);
    full.Allocate(65536);
    EXPECT_EQ(full.ChunkBytes(), kChunkBytes);
    EXPECT_TRUE(full.CheckConsistency());
}

TEST(Heap, FinalizersRunExactlyOnceAndOnlyForDeadBlocks) {
    std::fill(std::begin(gRuns), std::end(gRuns), 0);
    Heap heap;
    Probe* early = NewProbe(heap, 0);
    Probe* live = NewProbe(heap, 1);
    Probe* late = NewProbe(heap, 2, early);  // a live block separates it from `early`
    EXPECT_EQ(late->finalizer, &CountRun);
    heap.Mark(live);
    heap.Sweep();
    EXPECT_EQ(gRuns[0], 1);
    EXPECT_EQ(gRuns[1], 0);
    EXPECT_EQ(gRuns[2], 1);
    EXPECT_EQ(gSeenOther[2], 0);  // `early` was not yet merged or poisoned

    heap.Mark(live);
    heap.Sweep();  // the dead ones are free blocks now and must not run again
    EXPECT_EQ(gRuns[0] + gRuns[1] + gRuns[2], 2);
    heap.Sweep();
    EXPECT_EQ(gRuns[1], 1);

    Probe* freed = NewProbe(heap, 3);
    heap.Free(freed);  // an explicit free finalizes too, and a later sweep does not repeat it
    heap.Sweep();
    EXPECT_EQ(gRuns[3], 1);

    // Reallocation carries the finalizer to the new block.
    void* moved = heap.Reallocate(NewProbe(heap, 4), 4096);
    EXPECT_EQ(gRuns[4], 0);
    heap.Sweep();
    EXPECT_EQ(gRuns[4], 1);
    EXPECT_NE(moved, nullptr);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, MarkedBlocksSurviveUnmarkedAndReallocationMovesOnlyWhenTheBlockIsFull) {
    Heap heap;
    char* text = static_cast<char*>(heap.Reallocate(nullptr, 20));
    std::memcpy(text, "0123456789", 11);
    EXPECT_TRUE(heap.Mark(text));
    EXPECT_FALSE(heap.Mark(text));  // the marker recurses only the first time
    heap.Sweep();
    EXPECT_FALSE(heap.IsMarked(text));
    EXPECT_EQ(heap.BytesInUse(), 32u);
    EXPECT_EQ(heap.Reallocate(text, 32), text);
    char* moved = static_cast<char*>(heap.Reallocate(text, 33));
    EXPECT_STREQ(moved, "0123456789");
    EXPECT_FALSE(Heap::LooksLive(text));
    EXPECT_EQ(heap.BytesInUse(), 64u);  // the old block went back to its list
    heap.Sweep();                       // nothing marked this time
    EXPECT_EQ(heap.BytesInUse(), 0u);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, MemoryIsReusedAcrossCollections) {
    Heap heap;
    std::vector<void*> kept;
    size_t chunksAfterFirstRound = 0;
    for (int round = 0; round < 40; ++round) {
        kept.clear();
        for (int i = 0; i < 2000; ++i) {
            void* block = heap.Allocate(16 + (i * 37) % 500);
            if (i % 100 == 0) kept.push_back(block);
        }
        for (void* block : kept) heap.Mark(block);
        heap.Sweep();
        size_t keptBytes = 0;
        for (void* block : kept) keptBytes += Heap::BlockSize(block);
        EXPECT_EQ(heap.BytesInUse(), keptBytes);
        if (round == 0) chunksAfterFirstRound = heap.ChunkBytes();
        ASSERT_TRUE(heap.CheckConsistency()) << round;
    }
    EXPECT_LE(heap.ChunkBytes(), chunksAfterFirstRound + kChunkBytes);  // flat, not growing per round
}

TEST(Heap, HugeRequestsGetAChunkOfTheirOwn) {
    Heap heap;
    heap.Allocate(65536);  // the largest power of two that a standard chunk holds
    EXPECT_EQ(heap.ChunkBytes(), kChunkBytes);
    heap.Allocate(70000);
    EXPECT_EQ(heap.ChunkBytes(), kChunkBytes + 131072 + kChunkOverheadBytes);
    heap.Sweep();
    heap.Allocate(131072);  // the dead huge block serves the next huge request
    EXPECT_EQ(heap.ChunkBytes(), kChunkBytes + 131072 + kChunkOverheadBytes);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, FreedPayloadsArePoisonedAndDoubleFreesStop) {
    Heap heap;
    unsigned char* block = static_cast<unsigned char*>(heap.Allocate(64));
    std::memset(block, 0x11, 64);
    heap.Free(block);
    EXPECT_FALSE(Heap::LooksLive(block));
#if !defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(block[sizeof(void*)], 0xDD);  // past the free-list link
    EXPECT_EQ(block[63], 0xDD);
#endif
    EXPECT_DEATH(heap.Free(block), "not live");
}

TEST(Heap, CollectsPastTheMarkOrAlwaysUnderStress) {
    const std::optional<std::string> saved = platform::GetEnvironment(kGcStressVariable);
    ASSERT_TRUE(platform::SetEnvironment(kGcStressVariable, std::nullopt));
    {
        Heap heap;
        EXPECT_FALSE(heap.ShouldCollect());
        while (heap.BytesInUse() < kCollectThresholdBytes - 4096) heap.Allocate(4096);
        EXPECT_FALSE(heap.ShouldCollect());
        heap.Allocate(4096);
        EXPECT_TRUE(heap.ShouldCollect());
        heap.Sweep();
        EXPECT_FALSE(heap.ShouldCollect());
    }
    {
        // Live data past the mark moves it to twice the live size, so that a big program does
        // not collect at every safe point.
        Heap heap;
        std::vector<void*> live;
        while (heap.BytesInUse() < 2 * kCollectThresholdBytes) live.push_back(heap.Allocate(4096));
        for (void* block : live) heap.Mark(block);
        heap.Sweep();
        const size_t liveBytes = heap.BytesInUse();
        EXPECT_FALSE(heap.ShouldCollect());
        while (heap.BytesInUse() < 2 * liveBytes - 4096) heap.Allocate(4096);
        EXPECT_FALSE(heap.ShouldCollect());
        heap.Allocate(4096);
        EXPECT_TRUE(heap.ShouldCollect());
    }
    ASSERT_TRUE(platform::SetEnvironment(kGcStressVariable, "1"));
    EXPECT_TRUE(Heap().ShouldCollect());
    ASSERT_TRUE(platform::SetEnvironment(kGcStressVariable, "0"));
    EXPECT_FALSE(Heap().ShouldCollect());
    ASSERT_TRUE(platform::SetEnvironment(kGcStressVariable, saved));
}

}  // namespace
}  // namespace velmo::script
