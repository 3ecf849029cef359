#pragma once
// The collected heap of one interpreter: blocks carved from chained chunks, exact size classes for
// small blocks, bump allocation from a current free run, and a sweep driven by an outside marker.
// Every block's payload is 8-byte aligned; the u32 header word (size << 2 | finalizer << 1 | mark)
// sits right in front of it. Private to script/runtime/: library and host code reach records
// through the embedding surface.

#include "script/runtime/heap_limits.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <vector>

#include "script/runtime/finalizer.h"

namespace velmo::script {

// Block layout (see docs/heap.md). Each block is an 8-byte header slot followed by its payload:
//
//   [ guard u32 | header u32 ][ payload: size bytes, a multiple of 8 ] [ next header slot ] ...
//
// The header word proper is the u32 directly in front of the payload. The guard u32 before it
// pads the slot to 8 bytes, so header + payload always keeps 8-byte alignment and a record may
// start with a pointer (the finalizer) or a double; it also tells live blocks from free ones.
// A pointer-sized first field therefore never overlaps the header word.
inline constexpr size_t kBlockAlignBytes = 8;
inline constexpr size_t kBlockHeaderBytes = 8;
// The smallest block, which also leaves room for the free-list link a free block keeps in its
// first word.
inline constexpr size_t kMinBlockBytes = 8;
// Up to this size requests are rounded to a multiple of 8 and free blocks sit on a list of their
// exact size; above it, sizes are rounded to a quarter of their power of two.
inline constexpr size_t kSmallBlockBytes = 512;
// A standard chunk; larger requests get a chunk of their own of request + kChunkOverheadBytes.
inline constexpr size_t kChunkBytes = 102'400;
// The chunk link (next chunk, chunk size) plus the first block's header slot.
inline constexpr size_t kChunkOverheadBytes = 16 + kBlockHeaderBytes;
// The header keeps size << 2 in a u32, so no block may reach 2^30 bytes.
inline constexpr size_t kMaxBlockBytes = size_t{1} << 29;
// One list per small size (8, 16, ... 512), then four per power of two up to 2^30.
inline constexpr int kSmallListCount = static_cast<int>(kSmallBlockBytes / 8);
inline constexpr int kFreeListCount = kSmallListCount + 4 * 21;

// The free list a block of `sizeBytes` (a multiple of 8) belongs on: its exact list up to
// kSmallBlockBytes, else the quarter of its power of two that holds it.
int SizeClass(size_t sizeBytes);

// The block size a request of `sizeBytes` receives: at least kMinBlockBytes, a multiple of 8 up to
// kSmallBlockBytes, else rounded up to a quarter of its power of two (640, 768, 896, 1024, 1280...).
// Throws std::bad_alloc beyond kMaxBlockBytes.
size_t RoundedBlockSize(size_t sizeBytes);

class Heap {
public:
    // Called by the sweep (or Free) with the block's address when a block made by
    // AllocateFinalized dies. It runs before any dead block of that sweep is reused or poisoned,
    // so it may read other records dying with it; it must not allocate, free, mark or throw.
    using Finalizer = script::Finalizer;

    // Reads VELMO_GC_STRESS once: "1" makes ShouldCollect() always true.
    Heap();
    // Releases every chunk without running any finalizer.
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // Allocation never collects. When the process heap is exhausted (or the request is beyond
    // kMaxBlockBytes) these throw std::bad_alloc and leave the heap as it was; the interpreter's
    // protected entries turn that into "Out of memory".
    void* Allocate(size_t sizeBytes);
    void* AllocateZeroed(size_t sizeBytes);
    // A zeroed block with the finalizer bit set and `finalizer` stored in its first word, which
    // the record must keep there (a record type declares it as its first field, `finalizer`).
    void* AllocateFinalized(size_t sizeBytes, Finalizer finalizer);
    // Blocks made with `finalizer` are finalized after every other block dying in the same sweep:
    // a class's data must outlive the finalizers of its instances, which may use it.
    void SetLateFinalizer(Finalizer finalizer) { lateFinalizer_ = finalizer; }
    // Keeps `block` when its block size still holds `newSizeBytes`, or grows it in place into the
    // free run right after it; otherwise moves the contents to a new block with room for half as
    // much again (so that growing one element at a time copies a linear amount) and frees the old
    // one. A null `block` allocates.
    void* Reallocate(void* block, size_t newSizeBytes);
    // Returns a block the runtime knows is dead to its free list at once (running its finalizer,
    // if any), instead of waiting for a sweep. Freeing a block twice stops the process.
    void Free(void* block);

    // Heap records: standard-layout, trivially destructible, zero-initialised, never `new`ed.
    template <class T>
    T* New() {
        AssertRecord<T>();
        return ::new (AllocateZeroed(sizeof(T))) T();
    }
    template <class T>
    T* NewFinalized(Finalizer finalizer) {
        AssertRecord<T>();
        static_assert(std::is_same_v<decltype(T::finalizer), Finalizer> && offsetof(T, finalizer) == 0,
                      "a finalized record starts with its Finalizer field");
        T* record = ::new (AllocateFinalized(sizeof(T), finalizer)) T();
        record->finalizer = finalizer;
        return record;
    }

    // Marks `block`; true when it was unmarked, so the marker visits each record once.
    bool Mark(void* block);
    bool IsMarked(const void* block) const;
    // Finalizes the unmarked finalized blocks, then in one walk unmarks marked blocks, merges the
    // rest (free blocks included), rebuilds the free lists and releases wholly free chunks beyond
    // what the next cycle needs. Call only after every reachable block was marked.
    void Sweep();

    // True once the bytes in use reached the collection mark (heap_limits.h), or always under stress.
    // One comparison: the interpreter asks after every out-of-line operation that may allocate.
    bool ShouldCollect() const { return bytesInUse_ >= collectAtBytes_; }
    bool IsStressed() const { return isStressed_; }

    size_t BytesInUse() const { return bytesInUse_; }
    size_t BytesFree() const { return bytesFree_; }
    size_t ChunkBytes() const { return chunkBytes_; }

    // The size recorded in the header of a live block: its capacity, at least what was asked.
    static size_t BlockSize(const void* block);
    // False when `block` is known to be free or swept: a debugging aid for liveness asserts.
    static bool LooksLive(const void* block);
    // Walks every chunk and free list and checks them against each other and the counters.
    bool CheckConsistency() const;

private:
    struct Chunk;
    template <class T>
    static constexpr void AssertRecord() {
        static_assert(std::is_standard_layout_v<T> && std::is_trivially_destructible_v<T>,
                      "heap records are plain structs that the sweep may drop without a destructor");
        static_assert(alignof(T) <= kBlockAlignBytes, "payloads are only 8-byte aligned");
    }

    void* AllocateSlow(size_t blockBytes);
    void* TakeFromFreeLists(size_t blockBytes);
    std::byte* CarveRun(size_t blockBytes);
    size_t SplitIntoRun(std::byte* payload, size_t availableBytes, size_t blockBytes);
    void RetireRun();
    void AddChunk(size_t blockBytes);
    void MakeFree(std::byte* payload, size_t sizeBytes);
    void LinkFree(std::byte* payload, size_t sizeBytes);
    void UnlinkHead(int sizeClass);
    void PushFree(std::byte* payload, size_t sizeBytes) {
        MakeFree(payload, sizeBytes);
        LinkFree(payload, sizeBytes);
    }
    void ReserveFinalized();
    void ForgetFinalized(void* block);
    void FinalizeDeadBlocks();
    void MergeAndRebuild();
    void ReleaseSpareChunks(Chunk* spare, std::byte** tails);

    Chunk* chunks_ = nullptr;  // owned, chained through Chunk::next
    std::byte* freeLists_[kFreeListCount] = {};
    uint64_t nonEmptyLists_[(kFreeListCount + 63) / 64] = {};  // bit per list: has a block
    // The current free run that small requests are carved from: a free block on no list, or null.
    std::byte* run_ = nullptr;
    // Every live block with its finalizer bit, so that the sweep need not walk the heap for them.
    std::vector<void*> finalized_;
    size_t bytesInUse_ = 0;
    size_t collectAtBytes_ = kCollectThresholdBytes;  // 0 under stress, which every count reaches
    size_t bytesFree_ = 0;
    size_t chunkBytes_ = 0;
    bool isStressed_ = false;
    Finalizer lateFinalizer_ = nullptr;
    bool isFinalizing_ = false;  // set while finalizers may run: they must not re-enter the heap
};

}  // namespace velmo::script
