// Making the heap ready for a large load. The model of a configuration
// takes about twice the file's size in heap, in records of a few hundred
// bytes: growing the heap to that size at once and advising huge pages for
// it turns tens of thousands of page faults into a few dozen. Only the huge
// pages the records touch are ever made; the advice changes nothing else.
#pragma once

#include <cstddef>

namespace lbsnap {

// Loads of fewer bytes than this are not worth preparing for.
inline constexpr std::size_t kPreparedLoadFrom = std::size_t{8} << 20;

// Before loading files of `bytes` bytes in all, on the main thread. Tunes
// the C library's heap for the process: later blocks of up to twice the
// preparation block come from a heap, and freed room is kept.
void prepare_heap(std::size_t bytes);

// The same for the heap of a thread that reads `bytes` of a file: each
// thread that allocates gets a heap of its own from the C library, which
// would otherwise grow it a page at a time. Does nothing useful unless
// prepare_heap ran first.
void prepare_thread_heap(std::size_t bytes);

}  // namespace lbsnap
