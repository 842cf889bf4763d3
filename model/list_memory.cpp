// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/list_memory.h"

namespace meshthin {

void* ListMemory::carve(size_t size) {
    // Every block is a multiple of 16 bytes in size and a slab starts aligned for any type, so
    // every block is aligned to 16 bytes. What is left of a slab too small for the block stays
    // unused until the slabs are released.
    const size_t next = slabNext == nullptr ? 0 : slab + 1;
    if (next == slabs.size()) {
        // Room in the list first: once the slab is made, nothing may fail before it is kept.
        slabs.reserve(next + 1);
        const size_t slabSize = slabs.empty() ? kFirstSlab : 2 * slabs.back().get_deleter().bytes;
        slabs.emplace_back(BigBlockAllocator<std::byte>().allocate(slabSize),
                           SlabRelease{slabSize});
    }
    slab = next;
    slabNext = slabs[slab].get() + size;
    slabLeft = slabs[slab].get_deleter().bytes - size;
    return slabs[slab].get();
}

void ListMemory::release() {
    freeBlocks.fill(nullptr);
    slab = 0;
    slabNext = nullptr;
    slabLeft = 0;
}

}  // namespace meshthin
