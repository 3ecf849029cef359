// The collected heap: size classes, the run, splitting, merging, finalizers, reuse, chunk release
// and the stress switch.
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

TEST(Heap, RoundsSmallRequestsToEightsAndLargerOnesToQuartersOfTheirPowerOfTwo) {
    const struct {
        size_t request, blockBytes;
    } rounding[] = {{0, 8},     {4, 8},     {9, 16},      {24, 24},     {40, 40},       {512, 512},
                    {513, 640}, {641, 768}, {1000, 1024}, {1025, 1280}, {65536, 65536}, {65537, 81920}};
    for (const auto& row : rounding) EXPECT_EQ(RoundedBlockSize(row.request), row.blockBytes) << row.request;
    // Each small size has a list of its own; above, four classes per power of two, in order.
    EXPECT_EQ(SizeClass(8), 0);
    EXPECT_EQ(SizeClass(kSmallBlockBytes), kSmallListCount - 1);
    int previous = kSmallListCount - 1;
    for (size_t size = kSmallBlockBytes + 8; size < kMaxBlockBytes; size = RoundedBlockSize(size + 1)) {
        const int sizeClass = SizeClass(size);
        EXPECT_EQ(sizeClass, previous + 1) << size;  // every rounded size starts the next class
        EXPECT_EQ(SizeClass(RoundedBlockSize(size + 1) - 8), sizeClass) << size;
        previous = sizeClass;
    }
    EXPECT_LT(previous, kFreeListCount);

    Heap heap;
    for (size_t request : {0, 4, 9, 64, 65, 1000}) {
        void* block = heap.Allocate(request);
        EXPECT_EQ(Heap::BlockSize(block), RoundedBlockSize(request)) << request;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % kBlockAlignBytes, 0u) << request;
    }
    const size_t inUse = heap.BytesInUse();
    EXPECT_THROW(heap.Allocate(kMaxBlockBytes + 1), std::bad_alloc);
    EXPECT_EQ(heap.BytesInUse(), inUse);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, CarvesNeighboursFromTheRunAndReusesExactHolesInAddressOrder) {
    Heap heap;
    std::byte* first = static_cast<std::byte*>(heap.Allocate(24));
    std::byte* second = static_cast<std::byte*>(heap.Allocate(40));
    EXPECT_EQ(second, first + 24 + kBlockHeaderBytes);  // side by side, no rounding to 32 or 64
    EXPECT_EQ(heap.ChunkBytes(), kChunkBytes);
    EXPECT_EQ(heap.BytesInUse(), 64u);
    EXPECT_EQ(heap.BytesFree(), kFirstBlockBytes - 64 - 2 * kBlockHeaderBytes);

    std::vector<void*> blocks;
    for (int i = 0; i < 6; ++i) blocks.push_back(heap.Allocate(24));
    heap.Mark(first);
    heap.Mark(second);
    for (int i = 1; i < 6; i += 2) heap.Mark(blocks[i]);
    heap.Sweep();  // leaves 24-byte holes at blocks 0, 2 and 4
    EXPECT_EQ(heap.BytesInUse(), 64u + 3 * 24);
    for (int i = 0; i < 6; i += 2) EXPECT_EQ(heap.Allocate(24), blocks[i]) << i;
    std::byte* fresh = static_cast<std::byte*>(heap.Allocate(24));  // holes used up: past the last block
    EXPECT_EQ(fresh, static_cast<std::byte*>(blocks[5]) + 24 + kBlockHeaderBytes);
    EXPECT_TRUE(heap.CheckConsistency());

    // When the run is too short for a request, a new chunk becomes the run and the old run's rest
    // goes on its list (CheckConsistency finds every free block but the run on its list).
    Heap shortRun;
    std::byte* front = static_cast<std::byte*>(shortRun.Allocate(40'000));
    std::byte* rest = static_cast<std::byte*>(shortRun.Allocate(40'000)) + 40'960 + kBlockHeaderBytes;
    EXPECT_EQ(rest, front + 2 * (40'960 + kBlockHeaderBytes));
    const size_t restBytes = shortRun.BytesFree();
    void* next = shortRun.Allocate(40'000);  // does not fit in the rest
    EXPECT_EQ(shortRun.ChunkBytes(), 2 * kChunkBytes);
    EXPECT_FALSE(Heap::LooksLive(rest));
    EXPECT_EQ(Heap::BlockSize(rest), restBytes);
    EXPECT_EQ(shortRun.BytesFree(), restBytes + kFirstBlockBytes - Heap::BlockSize(next) - kBlockHeaderBytes);
    EXPECT_TRUE(shortRun.CheckConsistency());

    // A free block only 8 bytes larger than the request is handed out whole.
    Heap other;
    void* a = other.Allocate(8);
    other.Allocate(8);
    void* keep = other.Allocate(8);
    other.Mark(keep);
    other.Sweep();  // a and its neighbour merge into 8 + 8 + header = 24 bytes, the first hole
    EXPECT_EQ(other.Allocate(16), a);
    EXPECT_EQ(Heap::BlockSize(a), 24u);
    EXPECT_TRUE(other.CheckConsistency());
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
    EXPECT_EQ(heap.Allocate(200), a);  // fits only in the merged run
    EXPECT_TRUE(heap.CheckConsistency());

    // Fill the chunk with small blocks; once all die, one large request fits without a new chunk.
    Heap full;
    do full.Allocate(64);
    while (full.BytesFree() >= 64);
    EXPECT_EQ(full.ChunkBytes(), kChunkBytes);
    full.Sweep();
    EXPECT_EQ(full.BytesInUse(), 0u);
    EXPECT_EQ(full.BytesFree(), kFirstBlockBytes);  // the one chunk is kept for the next cycle
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
    EXPECT_TRUE(heap.CheckConsistency());

    heap.Mark(live);
    heap.Sweep();  // the dead ones are free blocks now and must not run again
    EXPECT_EQ(gRuns[0] + gRuns[1] + gRuns[2], 2);
    heap.Sweep();
    EXPECT_EQ(gRuns[1], 1);

    // An explicit free finalizes at once, among other finalized blocks, and no sweep repeats it.
    Probe* before = NewProbe(heap, 3);
    Probe* freed = NewProbe(heap, 4);
    Probe* after = NewProbe(heap, 5);
    heap.Free(freed);
    EXPECT_EQ(gRuns[4], 1);
    EXPECT_TRUE(heap.CheckConsistency());
    heap.Mark(before);
    heap.Mark(after);
    heap.Sweep();
    EXPECT_EQ(gRuns[3] + gRuns[4] + gRuns[5], 1);
    heap.Sweep();
    EXPECT_EQ(gRuns[3] + gRuns[4] + gRuns[5], 3);

    // Reallocation carries the finalizer to the new block; the old one dies without it.
    Probe* small = NewProbe(heap, 6);
    heap.Allocate(8);  // so the probe cannot grow in place
    void* moved = heap.Reallocate(small, 4096);
    EXPECT_NE(moved, small);
    EXPECT_TRUE(heap.CheckConsistency());
    heap.Mark(moved);
    heap.Sweep();
    EXPECT_EQ(gRuns[6], 0);
    EXPECT_TRUE(heap.CheckConsistency());
    heap.Sweep();
    EXPECT_EQ(gRuns[6], 1);
    EXPECT_TRUE(heap.CheckConsistency());
}

std::vector<int> gOrder;
void RecordEarly(void* block) noexcept { gOrder.push_back(static_cast<const Probe*>(block)->id); }
void RecordLate(void* block) noexcept { gOrder.push_back(-static_cast<const Probe*>(block)->id); }

TEST(Heap, LateFinalizersRunAfterEveryOtherOfTheirSweep) {
    gOrder.clear();
    Heap heap;
    heap.SetLateFinalizer(&RecordLate);
    for (int id = 1; id <= 4; ++id) heap.NewFinalized<Probe>(id % 2 ? &RecordLate : &RecordEarly)->id = id;
    heap.Sweep();
    ASSERT_EQ(gOrder.size(), 4u);
    EXPECT_GT(gOrder[0], 0);
    EXPECT_GT(gOrder[1], 0);
    EXPECT_LT(gOrder[2], 0);
    EXPECT_LT(gOrder[3], 0);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, MarkedBlocksSurviveUnmarkedAndReallocationGrowsInPlaceOrMovesWithRoom) {
    Heap heap;
    char* text = static_cast<char*>(heap.Reallocate(nullptr, 20));
    std::memcpy(text, "0123456789", 11);
    EXPECT_TRUE(heap.Mark(text));
    EXPECT_FALSE(heap.Mark(text));  // the marker recurses only the first time
    heap.Sweep();
    EXPECT_FALSE(heap.IsMarked(text));
    EXPECT_EQ(heap.BytesInUse(), 24u);
    EXPECT_EQ(heap.Reallocate(text, 24), text);

    // The last block carved grows into the run behind it, by half again.
    char* grown = static_cast<char*>(heap.Allocate(20));
    std::memcpy(grown, "abc", 4);
    EXPECT_EQ(heap.Reallocate(grown, 25), grown);
    EXPECT_EQ(Heap::BlockSize(grown), 40u);
    EXPECT_STREQ(grown, "abc");
    EXPECT_TRUE(heap.CheckConsistency());

    // A block with a live neighbour moves, with the same room.
    char* moved = static_cast<char*>(heap.Reallocate(text, 25));
    EXPECT_NE(moved, text);
    EXPECT_STREQ(moved, "0123456789");
    EXPECT_EQ(Heap::BlockSize(moved), 40u);
    EXPECT_FALSE(Heap::LooksLive(text));
    EXPECT_EQ(heap.BytesInUse(), 80u);  // the old block went back to its list
    heap.Sweep();                       // nothing marked this time
    EXPECT_EQ(heap.BytesInUse(), 0u);
    EXPECT_TRUE(heap.CheckConsistency());

    // Growing one element at a time copies a linear amount: few moves for many steps.
    void* block = nullptr;
    int moves = 0;
    for (size_t bytes = 8; bytes <= 64 * 1024; bytes += 8) {
        heap.Allocate(8);  // a neighbour, so that no growth happens in place
        void* next = heap.Reallocate(block, bytes);
        moves += next != block;
        block = next;
    }
    EXPECT_LT(moves, 40);
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

TEST(Heap, WhollyFreeChunksBeyondTheNextCycleAreReleased) {
    Heap heap;
    std::vector<void*> blocks;
    while (heap.ChunkBytes() < 3 * kCollectThresholdBytes) blocks.push_back(heap.Allocate(4000));
    void* pinned = blocks.front();  // keeps its chunk, however little of it is used
    heap.Mark(pinned);
    heap.Sweep();
    ASSERT_TRUE(heap.CheckConsistency());
    // Kept: the pinned block's chunk and enough free chunks for the next cycle's allocation.
    EXPECT_GE(heap.BytesFree(), kCollectThresholdBytes - heap.BytesInUse());
    EXPECT_LE(heap.ChunkBytes(), kCollectThresholdBytes + 2 * kChunkBytes);
    EXPECT_TRUE(Heap::LooksLive(pinned));

    // A huge block's chunk goes once it dies and the free space is ample.
    const size_t before = heap.ChunkBytes();
    heap.Allocate(200'000);
    EXPECT_EQ(heap.ChunkBytes(), before + RoundedBlockSize(200'000) + kChunkOverheadBytes);
    heap.Mark(pinned);
    heap.Sweep();
    EXPECT_EQ(heap.ChunkBytes(), before);
    EXPECT_TRUE(heap.CheckConsistency());

    // Allocation after the release works from what was kept, then from new chunks.
    for (int i = 0; i < 2000; ++i) heap.Allocate(4000);
    EXPECT_TRUE(heap.CheckConsistency());
}

TEST(Heap, HugeRequestsGetAChunkOfTheirOwn) {
    Heap heap;
    heap.Allocate(65536);  // the largest quarter size below a standard chunk's payload
    EXPECT_EQ(heap.ChunkBytes(), kChunkBytes);
    heap.Allocate(110000);
    EXPECT_EQ(heap.ChunkBytes(), kChunkBytes + 114688 + kChunkOverheadBytes);
    std::vector<void*> keep;
    while (heap.ChunkBytes() < 4 * kCollectThresholdBytes) keep.push_back(heap.Allocate(4000));
    for (void* block : keep) heap.Mark(block);
    const size_t before = heap.ChunkBytes();
    heap.Sweep();           // the huge block's chunk is kept: the next cycle wants more free space
    heap.Allocate(114688);  // and the dead huge block serves the next huge request
    EXPECT_EQ(heap.ChunkBytes(), before);
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
