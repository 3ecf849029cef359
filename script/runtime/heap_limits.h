#pragma once
// Observable limits of the collected heap: when the interpreter's safe points collect.

#include <cstddef>

namespace velmo::script {

// A collection runs at a safe point once the bytes in use reach this mark; it never adapts to
// the live size, so a program that stays above it collects at every safe point.
inline constexpr size_t kCollectThresholdBytes = 0x200000;

// Set to "1" to collect at every safe point, whatever the bytes in use (read once per heap).
inline constexpr char kGcStressVariable[] = "VELMO_GC_STRESS";

}  // namespace velmo::script
