// The collected heap. Invariant: every chunk is an exact sequence of header slots and payloads;
// a free block carries the free guard and no mark or finalizer bit and sits on exactly one free
// list, the one of its size class; the counters sum the payload sizes of live and free blocks.
// Debug builds fill dead payloads with 0xDD; ASan builds also poison them past the list link.
#include "script/runtime/internal/heap.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/environment.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELMO_HEAP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMO_HEAP_ASAN 1
#endif
#endif
#ifdef VELMO_HEAP_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace velmo::script {

struct Heap::Chunk {
    Chunk* next;
    size_t sizeBytes;  // the whole allocation, this link included
};

namespace {

struct BlockHeader {
    uint32_t guard;
    uint32_t word;  // size << 2 | finalizer << 1 | mark
};

constexpr uint32_t kMarkBit = 1;
constexpr uint32_t kFinalizerBit = 2;
constexpr uint32_t kLiveGuard = 0x4556494C;  // "LIVE"
constexpr uint32_t kFreeGuard = 0x45455246;  // "FREE"
// A block is split only when the rest can hold a header slot and a minimal payload.
constexpr size_t kSplitSlackBytes = 8;

static_assert(sizeof(BlockHeader) == kBlockHeaderBytes);
static_assert(kBlockHeaderBytes % kBlockAlignBytes == 0 && kMinBlockBytes % kBlockAlignBytes == 0,
              "header slot + payload must keep every payload 8-byte aligned");
static_assert(sizeof(Heap::Finalizer) <= kMinBlockBytes && sizeof(void*) <= kMinBlockBytes);
static_assert(kChunkBytes % kBlockAlignBytes == 0);
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ >= kBlockAlignBytes);
static_assert(kSplitSlackBytes >= kBlockHeaderBytes + kMinBlockBytes - kBlockAlignBytes);
static_assert((kMaxBlockBytes << 2) <= UINT32_MAX);

// Kept in release builds: each guards a state in which going on would corrupt the heap.
void CheckHeap(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "velmo: heap corrupted: %s\n", what);
    std::abort();
}

BlockHeader* HeaderOf(const void* payload) {
    return reinterpret_cast<BlockHeader*>(const_cast<std::byte*>(static_cast<const std::byte*>(payload)) -
                                          kBlockHeaderBytes);
}
std::byte* PayloadOf(BlockHeader* header) { return reinterpret_cast<std::byte*>(header) + kBlockHeaderBytes; }
size_t SizeOf(const BlockHeader* header) { return header->word >> 2; }
BlockHeader* NextHeader(BlockHeader* header) {
    return reinterpret_cast<BlockHeader*>(PayloadOf(header) + SizeOf(header));
}
void SetHeader(BlockHeader* header, uint32_t guard, size_t sizeBytes) {
    header->guard = guard;
    header->word = static_cast<uint32_t>(sizeBytes << 2);
}

std::byte* NextFree(std::byte* payload) {
    std::byte* next;
    std::memcpy(&next, payload, sizeof next);
    return next;
}
void SetNextFree(std::byte* payload, std::byte* next) { std::memcpy(payload, &next, sizeof next); }

void Unpoison([[maybe_unused]] void* p, [[maybe_unused]] size_t n) {
#ifdef VELMO_HEAP_ASAN
    __asan_unpoison_memory_region(p, n);
#endif
}
void Poison([[maybe_unused]] void* p, [[maybe_unused]] size_t n) {
#ifdef VELMO_HEAP_ASAN
    __asan_poison_memory_region(p, n);
#endif
}

BlockHeader* FirstHeader(void* chunk, size_t linkBytes) {
    return reinterpret_cast<BlockHeader*>(static_cast<std::byte*>(chunk) + linkBytes);
}
BlockHeader* ChunkEnd(void* chunk, size_t sizeBytes) {
    return reinterpret_cast<BlockHeader*>(static_cast<std::byte*>(chunk) + sizeBytes);
}

bool ReadStressSwitch() {
    const std::optional<std::string> value = platform::GetEnvironment(kGcStressVariable);
    return value && *value == "1";
}

}  // namespace

int SizeClass(size_t sizeBytes) {
    if (sizeBytes < 8) return 0;
    return std::min(kFreeListCount - 1, static_cast<int>(std::bit_width(sizeBytes >> 3)));
}

size_t RoundedBlockSize(size_t sizeBytes) {
    if (sizeBytes > kMaxBlockBytes) throw std::bad_alloc();
    return std::max(kMinBlockBytes, std::bit_ceil(sizeBytes));
}

Heap::Heap() : isStressed_(ReadStressSwitch()) {
    if (isStressed_) collectAtBytes_ = 0;
}

Heap::~Heap() {
    while (chunks_) {
        Chunk* next = chunks_->next;
        Unpoison(chunks_, chunks_->sizeBytes);
        ::operator delete(chunks_);
        chunks_ = next;
    }
}

// ---- Allocation ----

void* Heap::Allocate(size_t sizeBytes) {
    CheckHeap(!isFinalizing_, "a finalizer allocated");
    const size_t blockBytes = RoundedBlockSize(sizeBytes);
    if (void* block = TakeFromFreeLists(blockBytes)) return block;
    AddChunk(blockBytes);
    return TakeFromFreeLists(blockBytes);
}

void* Heap::AllocateZeroed(size_t sizeBytes) {
    void* block = Allocate(sizeBytes);
    std::memset(block, 0, BlockSize(block));
    return block;
}

void* Heap::AllocateFinalized(size_t sizeBytes, Finalizer finalizer) {
    CheckHeap(finalizer != nullptr, "a finalized block without a finalizer");
    void* block = AllocateZeroed(std::max(sizeBytes, sizeof(Finalizer)));
    std::memcpy(block, &finalizer, sizeof finalizer);
    HeaderOf(block)->word |= kFinalizerBit;
    return block;
}

void* Heap::Reallocate(void* block, size_t newSizeBytes) {
    if (!block) return Allocate(newSizeBytes);
    BlockHeader* header = HeaderOf(block);
    CheckHeap(header->guard == kLiveGuard, "reallocation of a block that is not live");
    const size_t oldBytes = SizeOf(header);
    if (RoundedBlockSize(newSizeBytes) <= oldBytes) return block;
    void* moved = Allocate(newSizeBytes);
    std::memcpy(moved, block, oldBytes);
    // The finalizer travels with the contents; the old block dies without running it.
    if (header->word & kFinalizerBit) {
        HeaderOf(moved)->word |= kFinalizerBit;
        header->word &= ~kFinalizerBit;
    }
    Free(block);
    return moved;
}

void Heap::Free(void* block) {
    CheckHeap(!isFinalizing_, "a finalizer freed a block");
    BlockHeader* header = HeaderOf(block);
    CheckHeap(header->guard == kLiveGuard, "free of a block that is not live");
    if (header->word & kFinalizerBit) {
        header->word &= ~kFinalizerBit;
        Finalizer finalizer;
        std::memcpy(&finalizer, block, sizeof finalizer);
        isFinalizing_ = true;
        if (finalizer) finalizer(block);
        isFinalizing_ = false;
    }
    bytesInUse_ -= SizeOf(header);
    PushFree(static_cast<std::byte*>(block), SizeOf(header));
}

// First fit from the request's class upward. Within the request's own class a block may be
// smaller than the request, so every candidate's size is checked.
void* Heap::TakeFromFreeLists(size_t blockBytes) {
    for (int sizeClass = SizeClass(blockBytes); sizeClass < kFreeListCount; ++sizeClass) {
        std::byte* prev = nullptr;
        for (std::byte* payload = freeLists_[sizeClass]; payload; prev = payload, payload = NextFree(payload)) {
            BlockHeader* header = HeaderOf(payload);
            const size_t freeBytes = SizeOf(header);
            if (freeBytes < blockBytes) continue;
            if (prev) SetNextFree(prev, NextFree(payload));
            else freeLists_[sizeClass] = NextFree(payload);
            bytesFree_ -= freeBytes;
            Unpoison(payload, freeBytes);
            size_t takenBytes = freeBytes;
            if (freeBytes - blockBytes > kSplitSlackBytes) {
                takenBytes = blockBytes;
                const size_t restBytes = freeBytes - blockBytes - kBlockHeaderBytes;
                PushFree(payload + blockBytes + kBlockHeaderBytes, restBytes);
            }
            SetHeader(header, kLiveGuard, takenBytes);
            bytesInUse_ += takenBytes;
            return payload;
        }
    }
    return nullptr;
}

void Heap::AddChunk(size_t blockBytes) {
    static_assert(sizeof(Chunk) + kBlockHeaderBytes == kChunkOverheadBytes);
    const size_t sizeBytes =
        blockBytes > kChunkBytes - kChunkOverheadBytes ? blockBytes + kChunkOverheadBytes : kChunkBytes;
#if defined(VELMO_FUZZ_HEAP_LIMIT)
    // Fuzzed scripts that double a string in a loop would otherwise meet the sanitizer's memory
    // limit before the process heap runs out.
    if (chunkBytes_ + sizeBytes > VELMO_FUZZ_HEAP_LIMIT) throw std::bad_alloc();
#endif
    Chunk* chunk = ::new (::operator new(sizeBytes)) Chunk{chunks_, sizeBytes};  // throws bad_alloc
    chunks_ = chunk;
    chunkBytes_ += sizeBytes;
    PushFree(PayloadOf(FirstHeader(chunk, sizeof(Chunk))), sizeBytes - kChunkOverheadBytes);
}

// Writes a free header for `payload` and puts it at the head of its list. The payload may
// contain absorbed headers and poisoned ranges; all of it becomes dead filler.
void Heap::PushFree(std::byte* payload, size_t sizeBytes) {
    Unpoison(payload, sizeBytes);
#ifndef NDEBUG
    std::memset(payload, 0xDD, sizeBytes);
#endif
    SetHeader(HeaderOf(payload), kFreeGuard, sizeBytes);
    const int sizeClass = SizeClass(sizeBytes);
    SetNextFree(payload, freeLists_[sizeClass]);
    freeLists_[sizeClass] = payload;
    bytesFree_ += sizeBytes;
    Poison(payload + sizeof(std::byte*), sizeBytes - sizeof(std::byte*));
}

// ---- Marking and sweeping ----

bool Heap::Mark(void* block) {
    BlockHeader* header = HeaderOf(block);
#ifndef NDEBUG
    CheckHeap(header->guard == kLiveGuard, "mark of a block that is not live");
#endif
    if (header->word & kMarkBit) return false;
    header->word |= kMarkBit;
    return true;
}

bool Heap::IsMarked(const void* block) const { return HeaderOf(block)->word & kMarkBit; }

void Heap::Sweep() {
    CheckHeap(!isFinalizing_, "a finalizer started a sweep");
    isFinalizing_ = true;
    FinalizeDeadBlocks();
    MergeAndRebuild();
    isFinalizing_ = false;
}

// Runs every finalizer before any block is merged or poisoned, so a finalizer may still read a
// record that dies in the same sweep (a host object's class, for example).
void Heap::FinalizeDeadBlocks() {
    for (const bool late : {false, true}) {
        for (Chunk* chunk = chunks_; chunk; chunk = chunk->next) {
            BlockHeader* end = ChunkEnd(chunk, chunk->sizeBytes);
            for (BlockHeader* h = FirstHeader(chunk, sizeof(Chunk)); h < end; h = NextHeader(h)) {
                if ((h->word & (kMarkBit | kFinalizerBit)) != kFinalizerBit) continue;
                Finalizer finalizer;
                std::memcpy(&finalizer, PayloadOf(h), sizeof finalizer);
                if ((finalizer == lateFinalizer_ && lateFinalizer_) != late) continue;
                h->word &= ~kFinalizerBit;  // cleared first: it runs exactly once
                if (finalizer) finalizer(PayloadOf(h));
            }
        }
    }
}

// Every unmarked block, dead or already free, starts a run that absorbs the unmarked blocks
// after it; each absorbed block adds its payload and its header slot.
void Heap::MergeAndRebuild() {
    std::fill(std::begin(freeLists_), std::end(freeLists_), nullptr);
    bytesInUse_ = 0;
    bytesFree_ = 0;
    for (Chunk* chunk = chunks_; chunk; chunk = chunk->next) {
        BlockHeader* end = ChunkEnd(chunk, chunk->sizeBytes);
        BlockHeader* h = FirstHeader(chunk, sizeof(Chunk));
        while (h < end) {
            if (h->word & kMarkBit) {
                h->word &= ~kMarkBit;
                bytesInUse_ += SizeOf(h);
                h = NextHeader(h);
                continue;
            }
            size_t runBytes = SizeOf(h);
            BlockHeader* next = NextHeader(h);
            for (; next < end && !(next->word & kMarkBit); next = NextHeader(next))
                runBytes += kBlockHeaderBytes + SizeOf(next);
            PushFree(PayloadOf(h), runBytes);
            h = next;
        }
        CheckHeap(h == end, "a block runs past the end of its chunk");
    }
    collectAtBytes_ = isStressed_ ? 0 : std::max(kCollectThresholdBytes, 2 * bytesInUse_);
}

// ---- Inspection ----

size_t Heap::BlockSize(const void* block) { return SizeOf(HeaderOf(block)); }

bool Heap::LooksLive(const void* block) { return HeaderOf(block)->guard == kLiveGuard; }

bool BlockLooksLive(const void* block) { return Heap::LooksLive(block); }

bool Heap::CheckConsistency() const {
    size_t liveBytes = 0, freeBytes = 0, freeBlocks = 0, totalBytes = 0;
    for (Chunk* chunk = chunks_; chunk; chunk = chunk->next) {
        totalBytes += chunk->sizeBytes;
        BlockHeader* end = ChunkEnd(chunk, chunk->sizeBytes);
        BlockHeader* h = FirstHeader(chunk, sizeof(Chunk));
        for (; h < end; h = NextHeader(h)) {
            if (h->guard == kLiveGuard) {
                liveBytes += SizeOf(h);
            } else if (h->guard == kFreeGuard && (h->word & 3) == 0) {
                freeBytes += SizeOf(h);
                ++freeBlocks;
            } else {
                return false;
            }
        }
        if (h != end) return false;
    }
    size_t listedBytes = 0, listedBlocks = 0;
    for (int sizeClass = 0; sizeClass < kFreeListCount; ++sizeClass) {
        for (std::byte* payload = freeLists_[sizeClass]; payload; payload = NextFree(payload)) {
            if (HeaderOf(payload)->guard != kFreeGuard) return false;
            if (SizeClass(BlockSize(payload)) != sizeClass) return false;
            listedBytes += BlockSize(payload);
            ++listedBlocks;
        }
    }
    return liveBytes == bytesInUse_ && freeBytes == bytesFree_ && totalBytes == chunkBytes_ &&
           listedBytes == freeBytes && listedBlocks == freeBlocks;
}

}  // namespace velmo::script
