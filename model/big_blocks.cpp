// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/big_blocks.h"

#include <cstdint>
#include <cstdlib>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#define MESHTHIN_MAPPED_BLOCKS 1
#else
#define MESHTHIN_MAPPED_BLOCKS 0
#endif

namespace meshthin {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t roundedUp(size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

#if MESHTHIN_MAPPED_BLOCKS

// Mapped from the system rather than taken from the heap: a block given back goes back to the
// system at once, where the heap may keep a block it took from its own top (at a million points
// the parsed positions, let go while the faces are made, stayed in the process, 24 MB).
void* takeBigBlock(size_t bytes) noexcept {
    const size_t size = roundedUp(bytes);
    // Mapped with a page to spare, then trimmed to the 2 MB boundaries.
    void* mapped =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    auto* const start = static_cast<char*>(mapped);
    const auto address = reinterpret_cast<uintptr_t>(start);
    char* const block = start + (roundedUp(address) - address);
    if (block != start) {
        munmap(start, static_cast<size_t>(block - start));
    }
    char* const end = block + size;
    if (end != start + size + kHugePage) {
        munmap(end, static_cast<size_t>(start + size + kHugePage - end));
    }
#ifdef MADV_HUGEPAGE
    // Only advice: where the system declines, the block works with small pages.
    madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
}

void giveBackBigBlock(void* block, size_t bytes) noexcept {
    munmap(block, roundedUp(bytes));
}

#else

void* takeBigBlock(size_t bytes) noexcept {
    return std::aligned_alloc(kHugePage, roundedUp(bytes));
}

void giveBackBigBlock(void* block, size_t) noexcept {
    std::free(block);
}

#endif

}  // namespace meshthin
