// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/list_memory.h"

namespace meshthin {

void* ListMemory::carve(size_t size) {
    // Every block is a multiple of 16 bytes in size and a slab starts aligned for any type, so
    // every block is aligned to 16 bytes. What is left of a slab too small for the block stays
    // unused until the slabs are released.
    const size_t next = slabNext == nullptr ? 0 : slab + 1;
    if (next == slabs.size()) {
        // Room in both lists first: once the slab is made, nothing may fail before it is kept.
        slabs.reserve(next + 1);
        slabSizes.reserve(next + 1);
        const size_t slabSize = slabs.empty() ? kFirstSlab : 2 * slabSizes.back();
        slabs.push_back(std::make_unique_for_overwrite<std::byte[]>(slabSize));
        slabSizes.push_back(slabSize);
    }
    slab = next;
    slabNext = slabs[slab].get() + size;
    slabLeft = slabSizes[slab] - size;
    return slabs[slab].get();
}

void ListMemory::release() {
    freeBlocks.fill(nullptr);
    slab = 0;
    slabNext = nullptr;
    slabLeft = 0;
}

}  // namespace meshthin
