#pragma once
// Observable limits of the collected heap: when the interpreter's safe points collect.

#include <cstddef>

namespace velmo::script {

// A collection runs at a safe point once the bytes in use reach this mark, or twice what the last
// collection left alive if that is more: with a fixed mark, a program whose live data stays
// above it would collect at every safe point and slow down in proportion to its size.
inline constexpr size_t kCollectThresholdBytes = 0x200000;

// Set to "1" to collect at every safe point, whatever the bytes in use (read once per heap).
inline constexpr char kGcStressVariable[] = "VELMO_GC_STRESS";

}  // namespace velmo::script
