// The collected heap. Invariant: every chunk is an exact sequence of header slots and payloads;
// a free block carries the free guard and no mark or finalizer bit and is either the current run
// or on exactly one free list, the one of its size class; a list's bit in nonEmptyLists_ is set
// exactly when it has a block; finalized_ holds each live block with the finalizer bit once; the
// counters sum the payload sizes of live and free blocks.
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
    if (sizeBytes <= kSmallBlockBytes) return sizeBytes < 8 ? 0 : static_cast<int>(sizeBytes / 8) - 1;
    const int topBit = static_cast<int>(std::bit_width(sizeBytes)) - 1;
    const int quarter = static_cast<int>(sizeBytes >> (topBit - 2)) & 3;
    return std::min(kFreeListCount - 1, kSmallListCount + 4 * (topBit - 9) + quarter);
}

size_t RoundedBlockSize(size_t sizeBytes) {
    if (sizeBytes > kMaxBlockBytes) throw std::bad_alloc();
    if (sizeBytes <= kSmallBlockBytes) return std::max(kMinBlockBytes, (sizeBytes + 7) & ~size_t{7});
    const size_t step = std::bit_floor(sizeBytes) / 4;
    return (sizeBytes + step - 1) & ~(step - 1);
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

// An exact-size free block first (the holes a sweep left), then the current run, which keeps
// blocks allocated together next to each other.
void* Heap::Allocate(size_t sizeBytes) {
    CheckHeap(!isFinalizing_, "a finalizer allocated");
    const size_t blockBytes = RoundedBlockSize(sizeBytes);
    if (blockBytes <= kSmallBlockBytes) {
        const int sizeClass = SizeClass(blockBytes);
        if (std::byte* payload = freeLists_[sizeClass]) {
            UnlinkHead(sizeClass);
            BlockHeader* header = HeaderOf(payload);
            bytesFree_ -= blockBytes;
            Unpoison(payload, blockBytes);
            header->guard = kLiveGuard;
            bytesInUse_ += blockBytes;
            return payload;
        }
    }
    if (run_ && SizeOf(HeaderOf(run_)) >= blockBytes) return CarveRun(blockBytes);
    return AllocateSlow(blockBytes);
}

void* Heap::AllocateSlow(size_t blockBytes) {
    if (void* block = TakeFromFreeLists(blockBytes)) return block;
    AddChunk(blockBytes);  // throws before changing anything
    if (run_ && SizeOf(HeaderOf(run_)) >= blockBytes) return CarveRun(blockBytes);
    return TakeFromFreeLists(blockBytes);  // the huge block of a chunk of its own
}

void* Heap::AllocateZeroed(size_t sizeBytes) {
    void* block = Allocate(sizeBytes);
    std::memset(block, 0, BlockSize(block));
    return block;
}

void* Heap::AllocateFinalized(size_t sizeBytes, Finalizer finalizer) {
    CheckHeap(finalizer != nullptr, "a finalized block without a finalizer");
    ReserveFinalized();  // may throw; the push below then cannot
    void* block = AllocateZeroed(std::max(sizeBytes, sizeof(Finalizer)));
    std::memcpy(block, &finalizer, sizeof finalizer);
    HeaderOf(block)->word |= kFinalizerBit;
    finalized_.push_back(block);
    return block;
}

void* Heap::Reallocate(void* block, size_t newSizeBytes) {
    if (!block) return Allocate(newSizeBytes);
    BlockHeader* header = HeaderOf(block);
    CheckHeap(header->guard == kLiveGuard, "reallocation of a block that is not live");
    const size_t oldBytes = SizeOf(header);
    const size_t neededBytes = RoundedBlockSize(newSizeBytes);
    if (neededBytes <= oldBytes) return block;
    const size_t grownBytes =
        std::max(neededBytes, RoundedBlockSize(std::min(kMaxBlockBytes, oldBytes + oldBytes / 2)));
    std::byte* payload = static_cast<std::byte*>(block);
    if (run_ == payload + oldBytes + kBlockHeaderBytes) {
        const size_t runBytes = SizeOf(HeaderOf(run_));
        const size_t availableBytes = oldBytes + kBlockHeaderBytes + runBytes;
        if (availableBytes >= neededBytes) {
            bytesFree_ -= runBytes;
            const size_t takenBytes = SplitIntoRun(payload, availableBytes, std::min(grownBytes, availableBytes));
            header->word = static_cast<uint32_t>(takenBytes << 2) | (header->word & 3);
            bytesInUse_ += takenBytes - oldBytes;
            return block;
        }
    }
    if (header->word & kFinalizerBit) ReserveFinalized();
    void* moved = Allocate(grownBytes);
    std::memcpy(moved, block, oldBytes);
    // The finalizer travels with the contents; the old block dies without running it.
    if (header->word & kFinalizerBit) {
        HeaderOf(moved)->word |= kFinalizerBit;
        header->word &= ~kFinalizerBit;
        ForgetFinalized(block);
        finalized_.push_back(moved);
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
        ForgetFinalized(block);
        Finalizer finalizer;
        std::memcpy(&finalizer, block, sizeof finalizer);
        isFinalizing_ = true;
        if (finalizer) finalizer(block);
        isFinalizing_ = false;
    }
    bytesInUse_ -= SizeOf(header);
    PushFree(static_cast<std::byte*>(block), SizeOf(header));
}

void Heap::ReserveFinalized() {
    if (finalized_.size() == finalized_.capacity()) finalized_.reserve(std::max<size_t>(64, 2 * finalized_.size()));
}

// Blocks freed early are mostly young, so the search starts from the newest.
void Heap::ForgetFinalized(void* block) {
    const auto found = std::find(finalized_.rbegin(), finalized_.rend(), block);
    CheckHeap(found != finalized_.rend(), "a finalized block missing from its list");
    *found = finalized_.back();
    finalized_.pop_back();
}

// The smallest list that can hold the request: within the request's own class (above the small
// sizes, where a class spans several sizes) the first block large enough, in any higher class its
// first block. A small request turns a large block into the new run rather than splitting it.
void* Heap::TakeFromFreeLists(size_t blockBytes) {
    const int firstClass = SizeClass(blockBytes);
    for (int sizeClass = firstClass; sizeClass < kFreeListCount; ++sizeClass) {
        const uint64_t bits = nonEmptyLists_[sizeClass / 64] >> (sizeClass % 64);
        if (!bits) {
            sizeClass |= 63;  // nothing more in this word
            continue;
        }
        sizeClass += std::countr_zero(bits);
        std::byte* prev = nullptr;
        std::byte* payload = freeLists_[sizeClass];
        if (sizeClass == firstClass)
            for (; payload && SizeOf(HeaderOf(payload)) < blockBytes; prev = payload, payload = NextFree(payload)) {}
        if (!payload) continue;
        if (prev) SetNextFree(prev, NextFree(payload));
        else UnlinkHead(sizeClass);
        const size_t freeBytes = SizeOf(HeaderOf(payload));
        if (blockBytes <= kSmallBlockBytes && freeBytes > kSmallBlockBytes) {
            RetireRun();
            run_ = payload;
            return CarveRun(blockBytes);
        }
        bytesFree_ -= freeBytes;
        Unpoison(payload, freeBytes);
        size_t takenBytes = freeBytes;
        if (freeBytes - blockBytes > kSplitSlackBytes) {
            takenBytes = blockBytes;
            PushFree(payload + blockBytes + kBlockHeaderBytes, freeBytes - blockBytes - kBlockHeaderBytes);
        }
        SetHeader(HeaderOf(payload), kLiveGuard, takenBytes);
        bytesInUse_ += takenBytes;
        return payload;
    }
    return nullptr;
}

// Hands out the front of the run, which must hold the request.
std::byte* Heap::CarveRun(size_t blockBytes) {
    std::byte* payload = run_;
    bytesFree_ -= SizeOf(HeaderOf(payload));
    const size_t takenBytes = SplitIntoRun(payload, SizeOf(HeaderOf(payload)), blockBytes);
    SetHeader(HeaderOf(payload), kLiveGuard, takenBytes);
    bytesInUse_ += takenBytes;
    return payload;
}

// `availableBytes` from `payload` on (the caller has taken them out of the free count) become a
// block of `blockBytes` and the new run after it, or one block when the rest would be too small
// for a header slot and a payload. Returns the block's size.
size_t Heap::SplitIntoRun(std::byte* payload, size_t availableBytes, size_t blockBytes) {
    if (availableBytes - blockBytes <= kSplitSlackBytes) {
        Unpoison(payload, availableBytes);
        run_ = nullptr;
        return availableBytes;
    }
    Unpoison(payload, blockBytes + kBlockHeaderBytes);
    run_ = payload + blockBytes + kBlockHeaderBytes;
    const size_t restBytes = availableBytes - blockBytes - kBlockHeaderBytes;
    SetHeader(HeaderOf(run_), kFreeGuard, restBytes);
    bytesFree_ += restBytes;
    return blockBytes;
}

// Puts what is left of the run on its list.
void Heap::RetireRun() {
    if (!run_) return;
    const size_t sizeBytes = SizeOf(HeaderOf(run_));
    LinkFree(run_, sizeBytes);
    run_ = nullptr;
}

// A standard chunk becomes the run; a request too large for one gets a chunk of its own, whose
// single free block goes on its list.
void Heap::AddChunk(size_t blockBytes) {
    static_assert(sizeof(Chunk) + kBlockHeaderBytes == kChunkOverheadBytes);
    const bool isOwn = blockBytes > kChunkBytes - kChunkOverheadBytes;
    const size_t sizeBytes = isOwn ? blockBytes + kChunkOverheadBytes : kChunkBytes;
#if defined(VELMO_FUZZ_HEAP_LIMIT)
    // Fuzzed scripts that double a string in a loop would otherwise meet the sanitizer's memory
    // limit before the process heap runs out.
    if (chunkBytes_ + sizeBytes > VELMO_FUZZ_HEAP_LIMIT) throw std::bad_alloc();
#endif
    Chunk* chunk = ::new (::operator new(sizeBytes)) Chunk{chunks_, sizeBytes};  // throws bad_alloc
    chunks_ = chunk;
    chunkBytes_ += sizeBytes;
    std::byte* payload = PayloadOf(FirstHeader(chunk, sizeof(Chunk)));
    MakeFree(payload, sizeBytes - kChunkOverheadBytes);
    if (isOwn) {
        LinkFree(payload, sizeBytes - kChunkOverheadBytes);
    } else {
        RetireRun();
        run_ = payload;
    }
}

// Writes a free header for `payload` and counts it free. The payload may contain absorbed
// headers and poisoned ranges; all of it becomes dead filler.
void Heap::MakeFree(std::byte* payload, size_t sizeBytes) {
    Unpoison(payload, sizeBytes);
#ifndef NDEBUG
    std::memset(payload, 0xDD, sizeBytes);
#endif
    SetHeader(HeaderOf(payload), kFreeGuard, sizeBytes);
    bytesFree_ += sizeBytes;
    Poison(payload + sizeof(std::byte*), sizeBytes - sizeof(std::byte*));
}

// The link word of a retired run may lie in what was poisoned as the middle of a larger run.
void Heap::LinkFree(std::byte* payload, size_t sizeBytes) {
    const int sizeClass = SizeClass(sizeBytes);
    Unpoison(payload, sizeof(std::byte*));
    SetNextFree(payload, freeLists_[sizeClass]);
    freeLists_[sizeClass] = payload;
    nonEmptyLists_[sizeClass / 64] |= uint64_t{1} << (sizeClass % 64);
}

void Heap::UnlinkHead(int sizeClass) {
    std::byte* next = NextFree(freeLists_[sizeClass]);
    freeLists_[sizeClass] = next;
    if (!next) nonEmptyLists_[sizeClass / 64] &= ~(uint64_t{1} << (sizeClass % 64));
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
        for (void* block : finalized_) {
            BlockHeader* h = HeaderOf(block);
            if ((h->word & (kMarkBit | kFinalizerBit)) != kFinalizerBit) continue;
            Finalizer finalizer;
            std::memcpy(&finalizer, block, sizeof finalizer);
            if ((finalizer == lateFinalizer_ && lateFinalizer_) != late) continue;
            h->word &= ~kFinalizerBit;  // cleared first: it runs exactly once
            if (finalizer) finalizer(block);
        }
    }
    std::erase_if(finalized_, [](void* block) { return !(HeaderOf(block)->word & kFinalizerBit); });
}

// Every unmarked block, dead or already free, starts a run that absorbs the unmarked blocks
// after it; each absorbed block adds its payload and its header slot. The lists are rebuilt in
// address order, so that blocks taken from one lie near each other. A chunk that is one free run
// is set aside for ReleaseSpareChunks.
void Heap::MergeAndRebuild() {
    std::fill(std::begin(freeLists_), std::end(freeLists_), nullptr);
    std::fill(std::begin(nonEmptyLists_), std::end(nonEmptyLists_), 0);
    std::byte* tails[kFreeListCount] = {};
    run_ = nullptr;
    bytesInUse_ = 0;
    bytesFree_ = 0;
    Chunk* spare = nullptr;
    for (Chunk** link = &chunks_; Chunk* chunk = *link;) {
        BlockHeader* end = ChunkEnd(chunk, chunk->sizeBytes);
        BlockHeader* first = FirstHeader(chunk, sizeof(Chunk));
        BlockHeader* h = first;
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
            if (h == first && next == end) break;  // wholly free
            MakeFree(PayloadOf(h), runBytes);
            const int sizeClass = SizeClass(runBytes);
            SetNextFree(PayloadOf(h), nullptr);
            if (tails[sizeClass]) SetNextFree(tails[sizeClass], PayloadOf(h));
            else freeLists_[sizeClass] = PayloadOf(h);
            tails[sizeClass] = PayloadOf(h);
            nonEmptyLists_[sizeClass / 64] |= uint64_t{1} << (sizeClass % 64);
            h = next;
        }
        if (h == first && first < end) {
            *link = chunk->next;
            chunk->next = spare;
            spare = chunk;
            continue;
        }
        CheckHeap(h == end, "a block runs past the end of its chunk");
        link = &chunk->next;
    }
    collectAtBytes_ = std::max(kCollectThresholdBytes, 2 * bytesInUse_);
    ReleaseSpareChunks(spare, tails);
    if (isStressed_) collectAtBytes_ = 0;
}

// Wholly free chunks are kept while the free space is less than the next cycle will allocate
// before it collects (at least one chunk), so a steady program does not give chunks back to the
// process heap only to ask for them again; the rest are released.
void Heap::ReleaseSpareChunks(Chunk* spare, std::byte** tails) {
    const size_t wantedFreeBytes = std::max(kChunkBytes, collectAtBytes_ - bytesInUse_);
    while (spare) {
        Chunk* chunk = spare;
        spare = chunk->next;
        if (bytesFree_ >= wantedFreeBytes) {
            chunkBytes_ -= chunk->sizeBytes;
            Unpoison(chunk, chunk->sizeBytes);
            ::operator delete(chunk);
            continue;
        }
        chunk->next = chunks_;
        chunks_ = chunk;
        std::byte* payload = PayloadOf(FirstHeader(chunk, sizeof(Chunk)));
        const size_t sizeBytes = chunk->sizeBytes - kChunkOverheadBytes;
        MakeFree(payload, sizeBytes);
        const int sizeClass = SizeClass(sizeBytes);
        SetNextFree(payload, nullptr);
        if (tails[sizeClass]) SetNextFree(tails[sizeClass], payload);
        else freeLists_[sizeClass] = payload;
        tails[sizeClass] = payload;
        nonEmptyLists_[sizeClass / 64] |= uint64_t{1} << (sizeClass % 64);
    }
}

// ---- Inspection ----

size_t Heap::BlockSize(const void* block) { return SizeOf(HeaderOf(block)); }

bool Heap::LooksLive(const void* block) { return HeaderOf(block)->guard == kLiveGuard; }

bool BlockLooksLive(const void* block) { return Heap::LooksLive(block); }

bool Heap::CheckConsistency() const {
    size_t liveBytes = 0, freeBytes = 0, freeBlocks = 0, totalBytes = 0, finalizedBlocks = 0;
    bool runFound = run_ == nullptr;
    for (Chunk* chunk = chunks_; chunk; chunk = chunk->next) {
        totalBytes += chunk->sizeBytes;
        BlockHeader* end = ChunkEnd(chunk, chunk->sizeBytes);
        BlockHeader* h = FirstHeader(chunk, sizeof(Chunk));
        for (; h < end; h = NextHeader(h)) {
            if (h->guard == kLiveGuard) {
                liveBytes += SizeOf(h);
                if (h->word & kFinalizerBit) ++finalizedBlocks;
            } else if (h->guard == kFreeGuard && (h->word & 3) == 0) {
                freeBytes += SizeOf(h);
                ++freeBlocks;
                if (PayloadOf(h) == run_) runFound = true;
            } else {
                return false;
            }
        }
        if (h != end) return false;
    }
    size_t listedBytes = run_ ? BlockSize(run_) : 0, listedBlocks = run_ ? 1 : 0;
    for (int sizeClass = 0; sizeClass < kFreeListCount; ++sizeClass) {
        const bool marked = (nonEmptyLists_[sizeClass / 64] >> (sizeClass % 64)) & 1;
        if (marked != (freeLists_[sizeClass] != nullptr)) return false;
        for (std::byte* payload = freeLists_[sizeClass]; payload; payload = NextFree(payload)) {
            if (HeaderOf(payload)->guard != kFreeGuard || payload == run_) return false;
            if (SizeClass(BlockSize(payload)) != sizeClass) return false;
            listedBytes += BlockSize(payload);
            ++listedBlocks;
        }
    }
    std::vector<void*> finalized = finalized_;
    std::sort(finalized.begin(), finalized.end());
    if (std::adjacent_find(finalized.begin(), finalized.end()) != finalized.end()) return false;
    for (void* block : finalized)
        if (HeaderOf(block)->guard != kLiveGuard || !(HeaderOf(block)->word & kFinalizerBit)) return false;
    return runFound && liveBytes == bytesInUse_ && freeBytes == bytesFree_ && totalBytes == chunkBytes_ &&
           listedBytes == freeBytes && listedBlocks == freeBlocks && finalized.size() == finalizedBlocks;
}

}  // namespace velmo::script
