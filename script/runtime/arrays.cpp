// Array elements in two stores: dense cells for the indices 0 to denseSize - 1 (one heap block,
// a hole marked by stamp 0) and an open-addressed table for the indices beyond. Every element
// carries the stamp of its creation; the observable bucket order (index mod 127 ascending,
// newest first within a bucket) is sorted from the stamps when it is asked for. An index change
// that a 127-bucket hash would re-file keeps the stamps when it maps whole buckets onto whole
// buckets (a shift of every index, a reversal) and otherwise re-stamps every element in the
// order that re-filing produces. Blocks are allocated before anything changes, so a failed
// allocation leaves the array as it was.
#include "script/runtime/arrays.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "script/runtime/internal/interpreter.h"

namespace velmo::script {

namespace {

// A store at index i goes to the dense cells when i < 2 * count + kDenseSlack, count being the
// elements held before the store: an array filled from 0 upward, in any order, stays dense and
// at least about a third full, while a[1e9] = 1 takes one table place instead of gigabytes.
constexpr uint64_t kDenseSlack = 64;
constexpr uint64_t kMinDenseCells = 16;
// The most cells one heap block holds.
constexpr uint64_t kMaxDenseCells = kMaxBlockBytes / sizeof(Element);
constexpr uint32_t kMinSparsePlaces = 8;
// A move inside the cells doubles the stamp counter (below); past this the stamps are renumbered
// from 1 first, so that they never overflow.
constexpr uint64_t kStampLimit = uint64_t{1} << 62;

uint64_t Bucket(uint64_t index) { return index % kArrayBuckets; }

uint64_t Magnitude(int64_t delta) {
    return delta < 0 ? uint64_t{0} - static_cast<uint64_t>(delta) : static_cast<uint64_t>(delta);
}

// ---- Sparse table ----

uint32_t SparsePlaces(const ArrayRecord* a) {
    return a->sparse ? static_cast<uint32_t>(std::bit_floor(Heap::BlockSize(a->sparse) / sizeof(SparseElement))) : 0;
}

// Fibonacci hashing: consecutive indices spread over the whole table.
size_t Home(uint64_t key, uint32_t places) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - std::countr_zero(places)));
}

uint64_t IndexOf(const ArrayRecord* a, const SparseElement& e) { return e.key - a->sparseBias; }

SparseElement* FindSparse(const ArrayRecord* a, uint64_t index) {
    if (!a->sparse) return nullptr;
    const uint64_t key = index + a->sparseBias;
    const uint32_t places = SparsePlaces(a);
    for (size_t p = Home(key, places);; p = (p + 1) & (places - 1)) {
        SparseElement& e = a->sparse[p];
        if (!e.stamp) return nullptr;  // the table is never full, so every probe meets an empty place
        if (e.key == key) return &e;
    }
}

void InsertPlace(SparseElement* table, uint32_t places, const SparseElement& e) {
    for (size_t p = Home(e.key, places);; p = (p + 1) & (places - 1)) {
        if (!table[p].stamp) {
            table[p] = e;
            return;
        }
    }
}

uint32_t PlacesFor(uint64_t elements) {
    const uint64_t want = std::max<uint64_t>(kMinSparsePlaces, std::bit_ceil(2 * elements));
    if (want * sizeof(SparseElement) > kMaxBlockBytes) throw std::bad_alloc();
    return static_cast<uint32_t>(want);
}

SparseElement* NewTable(Heap& heap, uint32_t places) {
    return static_cast<SparseElement*>(heap.AllocateZeroed(size_t{places} * sizeof(SparseElement)));
}

// Room for `extra` more elements, keeping the table at most half full.
void ReserveSparse(Heap& heap, ArrayRecord* a, uint64_t extra) {
    const uint32_t places = SparsePlaces(a);
    if ((a->sparseCount + extra) * 2 <= places) return;
    const uint32_t grown = PlacesFor(a->sparseCount + extra);
    SparseElement* table = NewTable(heap, grown);
    for (uint32_t p = 0; p < places; ++p)
        if (a->sparse[p].stamp) InsertPlace(table, grown, a->sparse[p]);
    if (a->sparse) heap.Free(a->sparse);
    a->sparse = table;
}

void AddSparse(Heap& heap, ArrayRecord* a, uint64_t index, const Value& value, uint64_t stamp) {
    ReserveSparse(heap, a, 1);
    InsertPlace(a->sparse, SparsePlaces(a), SparseElement{index + a->sparseBias, stamp, value});
    ++a->sparseCount;
    ++a->count;
}

// Backward-shift deletion: the entries after the hole that probed past it move up, so no
// tombstones are needed and lookups stay short.
void EraseSparse(ArrayRecord* a, SparseElement* hole) {
    const uint32_t places = SparsePlaces(a);
    const size_t mask = places - 1;
    size_t i = static_cast<size_t>(hole - a->sparse);
    for (size_t j = (i + 1) & mask; a->sparse[j].stamp; j = (j + 1) & mask) {
        const size_t home = Home(a->sparse[j].key, places);
        if (((j - home) & mask) >= ((j - i) & mask)) {
            a->sparse[i] = a->sparse[j];
            i = j;
        }
    }
    a->sparse[i] = SparseElement{};
    --a->sparseCount;
    --a->count;
}

// ---- Dense cells ----

Element* DenseBlock(const ArrayRecord* a) { return a->cells ? a->cells - a->denseHead : nullptr; }

// The cells a block asked for `cells` cells holds: its size is rounded up to a power of two.
uint64_t CellsFor(uint64_t cells) {
    const size_t bytes = RoundedBlockSize(std::min(cells, kMaxDenseCells) * sizeof(Element));
    return std::min(kMaxDenseCells, bytes / sizeof(Element));
}

Element* NewCells(Heap& heap, uint64_t capacity) {
    return static_cast<Element*>(heap.Allocate(capacity * sizeof(Element)));
}

void ClearCells(Element* first, uint64_t n) { std::memset(static_cast<void*>(first), 0, n * sizeof(Element)); }

bool WantsDense(const ArrayRecord* a, uint64_t index) {
    return index < kMaxDenseCells && index < 2 * uint64_t{a->count} + kDenseSlack;
}

void ReleaseStorage(Heap& heap, ArrayRecord* a) {
    if (Element* block = DenseBlock(a)) heap.Free(block);
    if (a->sparse) heap.Free(a->sparse);
    a->cells = nullptr;
    a->sparse = nullptr;
    a->denseHead = a->denseSize = a->sparseCount = a->count = 0;
    a->sparseBias = 0;
}

// Makes the dense cells cover at least `size` indices in a new block with no cells in front,
// and moves the elements of the table that fall under the new cover into their cells.
void CoverDense(Heap& heap, ArrayRecord* a, uint64_t size) {
    const uint64_t capacity = CellsFor(std::max({size, 2 * uint64_t{a->denseSize}, kMinDenseCells}));
    std::vector<uint64_t> moving;
    for (uint32_t p = 0, places = a->sparseCount ? SparsePlaces(a) : 0; p < places; ++p)
        if (a->sparse[p].stamp && IndexOf(a, a->sparse[p]) < capacity) moving.push_back(IndexOf(a, a->sparse[p]));
    Element* block = NewCells(heap, capacity);
    if (a->denseSize) std::memcpy(static_cast<void*>(block), a->cells, uint64_t{a->denseSize} * sizeof(Element));
    ClearCells(block + a->denseSize, capacity - a->denseSize);
    if (Element* old = DenseBlock(a)) heap.Free(old);
    a->cells = block;
    a->denseHead = 0;
    a->denseSize = static_cast<uint32_t>(capacity);
    for (const uint64_t index : moving) {
        SparseElement* e = FindSparse(a, index);
        a->cells[index] = Element{e->value, e->stamp};
        EraseSparse(a, e);
        ++a->count;  // EraseSparse counted it out of both stores
    }
}

// ---- Gathering and bucket order ----

struct Held {
    uint64_t index;
    uint64_t stamp;
    Value value;
};

// The elements with lo <= index <= last: the dense ones by descending index, so that the cells
// of an array filled upward come out newest first within each bucket already, then the sparse
// ones.
std::vector<Held> Gather(const ArrayRecord* a, uint64_t lo = 0, uint64_t last = UINT64_MAX) {
    std::vector<Held> held;
    if (lo > last) return held;
    held.reserve(a->count);
    const uint64_t end = a->denseSize == 0 ? 0 : std::min<uint64_t>(last, a->denseSize - 1) + 1;
    for (uint64_t i = end; i-- > lo;)
        if (a->cells[i].stamp) held.push_back({i, a->cells[i].stamp, a->cells[i].value});
    for (uint32_t p = 0, places = a->sparseCount ? SparsePlaces(a) : 0; p < places; ++p) {
        const SparseElement& e = a->sparse[p];
        if (e.stamp && IndexOf(a, e) >= lo && IndexOf(a, e) <= last) held.push_back({IndexOf(a, e), e.stamp, e.value});
    }
    return held;
}

// Bucket ascending, newest first within a bucket: a stable counting sort by bucket, then each
// bucket ordered by stamp, which is usually a check that it already is.
void SortIntoBucketOrder(std::vector<Held>& held) {
    std::array<size_t, kArrayBuckets + 1> start{};
    for (const Held& h : held) ++start[Bucket(h.index) + 1];
    for (uint32_t b = 0; b < kArrayBuckets; ++b) start[b + 1] += start[b];
    std::vector<Held> sorted(held.size());
    std::array<size_t, kArrayBuckets + 1> next = start;
    for (const Held& h : held) sorted[next[Bucket(h.index)]++] = h;
    const auto newer = [](const Held& x, const Held& y) { return x.stamp > y.stamp; };
    const auto older = [](const Held& x, const Held& y) { return x.stamp < y.stamp; };
    for (uint32_t b = 0; b < kArrayBuckets; ++b) {
        const auto first = sorted.begin() + static_cast<std::ptrdiff_t>(start[b]);
        const auto last = sorted.begin() + static_cast<std::ptrdiff_t>(start[b + 1]);
        if (std::is_sorted(first, last, newer)) continue;
        if (std::is_sorted(first, last, older)) std::reverse(first, last);
        else std::sort(first, last, newer);
    }
    held.swap(sorted);
}

// Gives the elements, listed in bucket order, stamps from `base` up that keep that order as the
// order within every bucket whatever their indices become: what re-filing each element at the
// head of its new chain, from the last listed to the first, does to the chains of a hash.
void Restamp(std::vector<Held>& listed, uint64_t base) {
    uint64_t stamp = base + listed.size();
    for (Held& h : listed) h.stamp = --stamp;
}

// Replaces the storage by `held`, whose indices must be distinct: dense cells for the indices
// below 2 * count + kDenseSlack, the table for the rest. The new blocks are had before the old
// ones go; should the second fail, the first is unreachable and goes at the next sweep.
void Rebuild(Heap& heap, ArrayRecord* a, const std::vector<Held>& held) {
    uint64_t cover = 0;
    const uint64_t denseLimit = std::min(kMaxDenseCells, 2 * uint64_t{held.size()} + kDenseSlack);
    for (const Held& h : held)
        if (h.index < denseLimit) cover = std::max(cover, h.index + 1);
    const uint64_t capacity = cover ? CellsFor(std::max(cover, kMinDenseCells)) : 0;
    const auto sparse = static_cast<uint64_t>(
        std::count_if(held.begin(), held.end(), [capacity](const Held& h) { return h.index >= capacity; }));
    Element* block = capacity ? NewCells(heap, capacity) : nullptr;
    SparseElement* table = sparse ? NewTable(heap, PlacesFor(sparse)) : nullptr;
    ReleaseStorage(heap, a);
    if (block) ClearCells(block, capacity);
    a->cells = block;
    a->denseSize = static_cast<uint32_t>(capacity);
    a->sparse = table;
    const uint32_t places = SparsePlaces(a);
    for (const Held& h : held) {
        if (h.index >= capacity) {
            InsertPlace(table, places, SparseElement{h.index, h.stamp, h.value});
            continue;
        }
        VELMO_ASSERT(!block[h.index].stamp);
        block[h.index] = Element{h.value, h.stamp};
    }
    a->sparseCount = static_cast<uint32_t>(sparse);
    a->count = static_cast<uint32_t>(held.size());
}

// ---- Index changes ----

bool HasElementBelow(const ArrayRecord* a, uint64_t limit) {
    for (uint64_t i = 0, n = std::min<uint64_t>(limit, a->denseSize); i < n; ++i)
        if (a->cells[i].stamp) return true;
    if (limit <= a->denseSize) return false;
    for (uint32_t p = 0, places = a->sparseCount ? SparsePlaces(a) : 0; p < places; ++p)
        if (a->sparse[p].stamp && IndexOf(a, a->sparse[p]) < limit) return true;
    return false;
}

bool HasElementFrom(const ArrayRecord* a, uint64_t from) {
    if (a->sparseCount && from <= a->denseSize) return true;
    for (uint64_t i = from; i < a->denseSize; ++i)
        if (a->cells[i].stamp) return true;
    for (uint32_t p = 0, places = a->sparseCount ? SparsePlaces(a) : 0; p < places; ++p)
        if (a->sparse[p].stamp && IndexOf(a, a->sparse[p]) >= from) return true;
    return false;
}

// Room for `k` more cells in front of the dense cells: a new block with all of its slack in
// front, so that a run of unshifts moves the pointer rather than the cells.
void MakeFrontRoom(Heap& heap, ArrayRecord* a, uint64_t k) {
    const uint64_t size = a->denseSize;
    const uint64_t capacity = CellsFor(2 * (size + k) + kMinDenseCells);
    Element* block = NewCells(heap, capacity);
    const uint64_t head = capacity - size;
    std::memcpy(static_cast<void*>(block + head), a->cells, size * sizeof(Element));
    heap.Free(DenseBlock(a));
    a->cells = block + head;
    a->denseHead = static_cast<uint32_t>(head);
}

// Every element's index moves by `delta`: the dense cells by moving their pointer, the table by
// its bias. A 127-bucket hash would re-file each whole chain as one chain, keeping its order, so
// the stamps stay. False, with nothing changed, when an index would wrap around (its bucket
// would no longer follow) or the cells cannot take the move.
bool ShiftAll(Heap& heap, ArrayRecord* a, int64_t delta) {
    const uint64_t step = Magnitude(delta);
    if (delta < 0) {
        if (HasElementBelow(a, step)) return false;
        const uint64_t drop = std::min<uint64_t>(step, a->denseSize);
        if (a->cells) a->cells += drop;
        a->denseHead += static_cast<uint32_t>(drop);
        a->denseSize -= static_cast<uint32_t>(drop);
        a->sparseBias += step;
        return true;
    }
    for (uint32_t p = 0, places = a->sparseCount ? SparsePlaces(a) : 0; p < places; ++p)
        if (a->sparse[p].stamp && IndexOf(a, a->sparse[p]) > UINT64_MAX - step) return false;
    if (a->denseSize > 0) {
        if (step > a->denseSize + kDenseSlack || a->denseSize + step > kMaxDenseCells) return false;
        if (a->denseHead < step) MakeFrontRoom(heap, a, step);
        a->cells -= step;
        a->denseHead -= static_cast<uint32_t>(step);
        a->denseSize += static_cast<uint32_t>(step);
        ClearCells(a->cells, step);
    }
    a->sparseBias -= step;
    return true;
}

// Renumbers the stamps from 1 in the present bucket order, descending along it, which keeps the
// order within every bucket.
void RenumberStamps(ArrayRecord* a) {
    std::vector<Held> held = Gather(a);
    SortIntoBucketOrder(held);
    Restamp(held, 1);
    for (const Held& h : held) {
        if (h.index < a->denseSize) a->cells[h.index].stamp = h.stamp;
        else FindSparse(a, h.index)->stamp = h.stamp;
    }
    a->nextStamp = held.size() + 1;
}

// Elements at or above `from` move by `delta` inside the cells, the others stay. A 127-bucket hash
// re-filing them would merge, in each new chain, the moved elements of one old chain with the
// staying elements of another, those of the lower old bucket first (the order of the listing it
// re-files from). Adding one offset, larger than any stamp, to the stamps of every leading group
// keeps each group's own order and puts it first; no sort is needed. False, with nothing changed,
// when the move involves the table or an index would wrap.
bool MoveWithinCells(Heap& heap, ArrayRecord* a, uint64_t from, int64_t delta) {
    if (a->sparseCount || from >= a->denseSize) return false;
    uint64_t top = a->denseSize;  // one past the highest element
    while (top > from && !a->cells[top - 1].stamp) --top;
    const uint64_t step = Magnitude(delta);
    if (top <= from || (delta < 0 && from < step) || (delta > 0 && top + step > kMaxDenseCells)) return false;
    if (delta > 0 && top + step > a->denseSize) CoverDense(heap, a, top + step);
    if (a->nextStamp >= kStampLimit) RenumberStamps(a);
    const uint64_t turn = delta < 0 ? (kArrayBuckets - step % kArrayBuckets) % kArrayBuckets : step % kArrayBuckets;
    const uint64_t offset = a->nextStamp;
    for (uint64_t i = 0; i < top; ++i) {
        Element& cell = a->cells[i];
        if (!cell.stamp) continue;
        const uint64_t bucket = Bucket(i);
        const bool leads = i >= from ? bucket < (bucket + turn) % kArrayBuckets
                                     : bucket < (bucket + kArrayBuckets - turn) % kArrayBuckets;
        if (leads) cell.stamp += offset;
    }
    a->nextStamp += offset;
    const uint64_t to = from + static_cast<uint64_t>(delta);
    std::memmove(static_cast<void*>(a->cells + to), a->cells + from, (top - from) * sizeof(Element));
    if (delta > 0) ClearCells(a->cells + from, std::min(to, top) - from);
    else ClearCells(a->cells + std::max(from, top - step), top - std::max(from, top - step));
    return true;
}

// Any other index change: re-stamp in the present bucket order, move, rebuild.
template <class NewIndex>
void Refile(Heap& heap, ArrayRecord* a, NewIndex newIndex) {
    std::vector<Held> held = Gather(a);
    SortIntoBucketOrder(held);
    for (Held& h : held) h.index = newIndex(h.index);
    Restamp(held, a->nextStamp);
    Rebuild(heap, a, held);
    a->nextStamp += held.size();
}

}  // namespace

namespace detail {
const Value* SparseElementAt(const ArrayRecord* array, uint64_t i) {
    const SparseElement* e = FindSparse(array, i);
    return e ? &e->value : nullptr;
}
}  // namespace detail

ArrayRecord* NewArray(Interpreter& interp, uint64_t length) {
    ArrayRecord* array = interp.GetHeap().New<ArrayRecord>();
    array->length = length;
    array->nextStamp = 1;
    return array;
}

void PutElement(Interpreter& interp, ArrayRecord* array, const Value& value, uint64_t i) {
    AssertStorable(value);
    if (i >= array->denseSize) {
        if (SparseElement* e = array->sparseCount ? FindSparse(array, i) : nullptr) {
            e->value = value;
            return;
        }
        if (!WantsDense(array, i)) {
            AddSparse(interp.GetHeap(), array, i, value, array->nextStamp);
            ++array->nextStamp;
            return;
        }
        CoverDense(interp.GetHeap(), array, i + 1);
    }
    Element& cell = array->cells[i];
    if (!cell.stamp) {
        cell.stamp = array->nextStamp++;
        ++array->count;
    }
    cell.value = value;
}

void PutElements(Interpreter& interp, ArrayRecord* array, const std::vector<IndexedValue>& items) {
    const uint64_t limit = std::min(kMaxDenseCells, 2 * (uint64_t{array->count} + items.size()) + kDenseSlack);
    uint64_t cover = 0;
    for (const IndexedValue& item : items)
        if (item.index < limit) cover = std::max(cover, item.index + 1);
    if (cover > array->denseSize) CoverDense(interp.GetHeap(), array, cover);
    for (const IndexedValue& item : items) PutElement(interp, array, item.value, item.index);
}

void RemoveElement(Interpreter&, ArrayRecord* array, uint64_t i) {
    if (i < array->denseSize) {
        Element& cell = array->cells[i];
        if (!cell.stamp) return;
        cell = Element{};
        --array->count;
    } else if (SparseElement* e = array->sparseCount ? FindSparse(array, i) : nullptr) {
        EraseSparse(array, e);
    }
}

void DeleteAndClose(Interpreter& interp, ArrayRecord* array, uint64_t i) {
    if (i >= array->length) return;
    RemoveElement(interp, array, i);
    MoveIndicesFrom(interp, array, i + 1, -1);
    --array->length;
}

void ShiftIndices(Interpreter& interp, ArrayRecord* array, int64_t delta) {
    MoveIndicesFrom(interp, array, 0, delta);
    array->length += static_cast<uint64_t>(delta);
}

void MoveIndicesFrom(Interpreter& interp, ArrayRecord* array, uint64_t from, int64_t delta) {
    if (delta == 0 || array->count == 0 || !HasElementFrom(array, from)) return;
    if (!HasElementBelow(array, from) && ShiftAll(interp.GetHeap(), array, delta)) return;
    if (MoveWithinCells(interp.GetHeap(), array, from, delta)) return;
    Refile(interp.GetHeap(), array,
           [from, delta](uint64_t index) { return index >= from ? index + static_cast<uint64_t>(delta) : index; });
}

// Reversal maps bucket b onto bucket (length - 1 - b) mod 127, one whole chain onto one chain,
// so the stamps stay, unless elements at or beyond the length stay put and share buckets with
// reversed ones.
void ReverseIndices(Interpreter& interp, ArrayRecord* array) {
    const uint64_t length = array->length;
    if (array->count == 0 || length == 0) return;
    const auto reflect = [length](uint64_t index) { return index < length ? length - 1 - index : index; };
    if (HasElementFrom(array, length)) return Refile(interp.GetHeap(), array, reflect);
    if (length <= array->denseSize) {
        std::reverse(array->cells, array->cells + length);
        return;
    }
    std::vector<Held> held = Gather(array);
    for (Held& h : held) h.index = reflect(h.index);
    Rebuild(interp.GetHeap(), array, held);
}

void SetLength(Interpreter& interp, ArrayRecord* array, uint64_t length) {
    const uint64_t old = array->length;
    array->length = length;
    if (length >= old) return;
    for (uint64_t i = length, top = std::min<uint64_t>(old, array->denseSize); i < top; ++i) {
        if (!array->cells[i].stamp) continue;
        array->cells[i] = Element{};
        --array->count;
    }
    if (array->sparseCount && old > array->denseSize) {
        std::vector<uint64_t> dropped;
        for (uint32_t p = 0, places = SparsePlaces(array); p < places; ++p) {
            const uint64_t index = IndexOf(array, array->sparse[p]);
            if (array->sparse[p].stamp && index >= length && index < old) dropped.push_back(index);
        }
        for (const uint64_t index : dropped) EraseSparse(array, FindSparse(array, index));
    }
    // Storage far larger than what is left is given back: the cells of a long array cut short.
    Heap& heap = interp.GetHeap();
    if (array->count == 0) ReleaseStorage(heap, array);
    else if (array->denseSize > 8 * (2 * uint64_t{array->count} + kDenseSlack)) Rebuild(heap, array, Gather(array));
}

namespace {

std::vector<IndexedValue> Listed(std::vector<Held> held) {
    SortIntoBucketOrder(held);
    std::vector<IndexedValue> listed;
    listed.reserve(held.size());
    for (const Held& h : held) listed.push_back({h.index, h.value});
    return listed;
}

}  // namespace

std::vector<IndexedValue> ListElements(const ArrayRecord* array) { return Listed(Gather(array)); }

std::vector<IndexedValue> ListElementsIn(const ArrayRecord* array, uint64_t lo, uint64_t hi) {
    return hi > lo ? Listed(Gather(array, lo, hi - 1)) : std::vector<IndexedValue>{};
}

std::vector<Value> CollectElements(const ArrayRecord* array) {
    std::vector<Held> held = Gather(array);
    SortIntoBucketOrder(held);
    std::vector<Value> values;
    values.reserve(held.size());
    for (const Held& h : held) values.push_back(h.value);
    return values;
}

std::vector<uint64_t> ElementIndicesBelow(const ArrayRecord* array, uint64_t limit) {
    std::vector<uint64_t> indices;
    for (uint64_t i = 0, n = std::min<uint64_t>(limit, array->denseSize); i < n; ++i)
        if (array->cells[i].stamp) indices.push_back(i);
    const size_t dense = indices.size();
    for (uint32_t p = 0, places = array->sparseCount ? SparsePlaces(array) : 0; p < places; ++p)
        if (array->sparse[p].stamp && IndexOf(array, array->sparse[p]) < limit)
            indices.push_back(IndexOf(array, array->sparse[p]));
    std::sort(indices.begin() + static_cast<std::ptrdiff_t>(dense), indices.end());
    return indices;
}

void Reindex(Interpreter& interp, ArrayRecord* array, const std::vector<Value>& values) {
    std::vector<Held> held;
    held.reserve(values.size());
    for (uint64_t i = 0; i < values.size(); ++i) held.push_back({i, array->nextStamp + i, values[i]});
    Rebuild(interp.GetHeap(), array, held);
    array->nextStamp += values.size();
}

void ScanElements(Interpreter& interp, ArrayRecord* array) {
    Heap& heap = interp.GetHeap();
    if (Element* block = DenseBlock(array)) {
        heap.Mark(block);
        for (uint32_t i = 0; i < array->denseSize; ++i)
            if (array->cells[i].stamp) interp.MarkValue(array->cells[i].value);
    }
    if (array->sparse) {
        heap.Mark(array->sparse);
        for (uint32_t p = 0, places = SparsePlaces(array); p < places; ++p)
            if (array->sparse[p].stamp) interp.MarkValue(array->sparse[p].value);
    }
}

}  // namespace velmo::script
