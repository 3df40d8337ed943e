#include "lib/heap_prep.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace lbsnap {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Blocks below the mmap threshold come from the heap; freed, they stay
// there for the records, having touched no more than their headers.
constexpr std::size_t kBlock = std::size_t{16} << 20;
// The largest block a thread's heap takes at once: the C library gives a
// thread's heap 64 MiB of room at the most, and blocks from twice kBlock
// on are mapped apart.
constexpr std::size_t kThreadBlockMax = 2 * kBlock - kHugePage;

std::uintptr_t huge_page_up(std::uintptr_t at) { return (at + kHugePage - 1) & ~(kHugePage - 1); }

void advise_huge_pages(std::uintptr_t start, std::uintptr_t end) {
    const std::uintptr_t from = huge_page_up(start);
    if (end > from) madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
}

}  // namespace

void prepare_heap(std::size_t bytes) {
    const std::size_t want = 2 * bytes;
    if (bytes < kPreparedLoadFrom) return;
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(2 * kBlock));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(std::min<std::size_t>(want, INT_MAX)));
    const auto start = reinterpret_cast<std::uintptr_t>(sbrk(0));
    std::vector<void*> blocks;
    for (std::size_t got = 0; got < want; got += kBlock) blocks.push_back(std::malloc(kBlock));
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) std::free(*it);
    advise_huge_pages(start, reinterpret_cast<std::uintptr_t>(sbrk(0)));
}

void prepare_thread_heap(std::size_t bytes) {
    const std::size_t want = std::min(2 * bytes, kThreadBlockMax);
    if (want < kHugePage) return;
    void* block = std::malloc(want);
    if (!block) return;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    std::free(block);
    advise_huge_pages(start, start + want);
}

}  // namespace lbsnap
