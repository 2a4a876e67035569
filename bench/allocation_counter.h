#pragma once

// Counts the heap allocations made on the calling thread while counting is switched on. The
// program that links allocation_counter.cpp replaces the global operator new to do so; other
// threads (the loopback server's) are never counted.

#include <cstdint>

namespace botpilot::bench {

/// Starts counting this thread's allocations from 0.
void StartCountingAllocations();
/// Stops counting and returns how many allocations this thread made since the start.
std::uint64_t StopCountingAllocations();

} // namespace botpilot::bench
