#pragma once
// What records on the collected heap need to know of it without seeing the heap itself: the type of
// the function that releases what a finalized record owns, and (for debug checks) whether a
// pointer is a live block.

namespace velmo::script {

// Called once for a finalized record when the collector frees it; must not reach the heap.
using Finalizer = void (*)(void* block) noexcept;

// Whether `block` points at a block the heap holds and has not freed. Debug checks only: it walks
// the heap's bookkeeping.
bool BlockLooksLive(const void* block);

}  // namespace velmo::script
