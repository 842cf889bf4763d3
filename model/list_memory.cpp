#include "model/list_memory.h"

#include <bit>
#include <new>

namespace meshthin {

size_t ListMemory::classOf(size_t bytes, size_t alignment) {
    if (alignment > kSmallest) {
        return kClasses;
    }
    const size_t size = std::bit_ceil(bytes < kSmallest ? kSmallest : bytes);
    const auto sizeClass = static_cast<size_t>(std::countr_zero(size / kSmallest));
    return sizeClass < kClasses ? sizeClass : kClasses;
}

void* ListMemory::do_allocate(size_t bytes, size_t alignment) {
    const size_t sizeClass = classOf(bytes, alignment);
    if (sizeClass == kClasses) {
        return ::operator new (bytes, std::align_val_t{alignment});
    }
    if (FreeBlock* block = freeBlocks[sizeClass]) {
        freeBlocks[sizeClass] = block->next;
        return block;
    }
    return carve(kSmallest << sizeClass);
}

void ListMemory::do_deallocate(void* block, size_t bytes, size_t alignment) {
    const size_t sizeClass = classOf(bytes, alignment);
    if (sizeClass == kClasses) {
        ::operator delete (block, bytes, std::align_val_t{alignment});
        return;
    }
    if (dropping) {
        return;
    }
    freeBlocks[sizeClass] = new (block) FreeBlock{freeBlocks[sizeClass]};
}

void* ListMemory::carve(size_t size) {
    // Every block is a multiple of 16 bytes in size and a slab starts aligned for any type, so
    // every block is aligned to 16 bytes.
    while (slab < slabs.size() && used + size > slabSizes[slab]) {
        ++slab;
        used = 0;
    }
    if (slab == slabs.size()) {
        const size_t slabSize = slabs.empty() ? kFirstSlab : 2 * slabSizes.back();
        slabs.push_back(std::make_unique_for_overwrite<std::byte[]>(slabSize));
        slabSizes.push_back(slabSize);
        used = 0;
    }
    void* block = slabs[slab].get() + used;
    used += size;
    return block;
}

void ListMemory::release() {
    freeBlocks.fill(nullptr);
    slab = 0;
    used = 0;
}

}  // namespace meshthin
