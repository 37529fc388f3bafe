#pragma once
// A stop asked of a computation from outside it: another thread, a cancel
// button, a signal handler (a lock-free store is safe there). Zero lets it go
// on; any other value (a signal's number, say) stops it, and stays set until
// that computation has returned.
#include <atomic>

using StopFlag = std::atomic<int>;
static_assert(StopFlag::is_always_lock_free, "a signal handler sets it");

// Whether `stop` (none when null) asks for a stop.
inline bool stop_asked(const StopFlag* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed) != 0; }
