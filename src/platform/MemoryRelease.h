#pragma once

#include <chrono>

namespace platform {

// A tray program spends most of its life idle, so memory a capture used must
// go back to the system once it is done with. glibc's allocator works against
// that in two ways: every thread that allocates while another does gets an
// arena of its own (up to eight per core), each keeping what was freed in it;
// and after the first large block is freed it raises the size from which
// blocks are mapped on their own to that block's, so a display picture of
// 3840×2160 (just under 32 MiB) then lands in an arena and stays there.

// Bounds the arenas and keeps large blocks mapped on their own, so they are
// unmapped as soon as they are freed. Called first thing in main(), before
// any thread exists.
void configureAllocator();

// Hands the free pages of every arena back to the system (malloc_trim).
void returnFreeMemory();

// Returns free memory once `delay` has passed without another call: a
// delivery's encoders and clipboard workers finish after it returns, and a
// burst of captures needs only one pass at its end. Main thread only.
void returnFreeMemorySoon(std::chrono::milliseconds delay = std::chrono::seconds(2));

} // namespace platform
