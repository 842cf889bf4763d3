// SPDX-License-Identifier: GPL-3.0-or-later
// Memory for the many short lists of one mesh: the point list of every face and the faces of
// every point. A mesh has tens of thousands of them, each of a few numbers; taking each from the
// general heap and giving each back costs more than reading the numbers into them. Here a list
// takes a block of the next power of two in size (16 bytes at least) from large slabs, a block
// given back is kept for the next list of its size, and release() makes every block free at
// once, keeping the slabs for the next mesh. Lists longer than 4 KiB come from the heap.
//
// The memory must outlive every list made from it, and release() may only be called once no
// list uses its blocks: each mesh owns one for each kind of list and releases it when it has
// emptied the lists. A list does not give its block back when it ends (ShortList): the release
// frees them all at once.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "model/big_blocks.h"

namespace meshthin {

class ListMemory {
public:
    ListMemory() = default;
    ListMemory(const ListMemory&) = delete;
    ListMemory& operator=(const ListMemory&) = delete;

    // A block of at least bytes, aligned to 16 bytes. Throws std::bad_alloc when the memory has
    // run out, with nothing handed out, so that the lists can be dropped and the memory released
    // as after any other failure.
    void* allocate(size_t bytes) { return take(bytes); }

    // Gives back a block that allocate(bytes) handed out; nothing for a null block.
    void deallocate(void* block, size_t bytes) noexcept {
        if (block == nullptr) {
            return;
        }
        const size_t sizeClass = classOf(bytes);
        if (sizeClass == kClasses) {
            ::operator delete(block);  // unsized: clang offers the sized form only on request
        } else {
            freeBlocks[sizeClass] = ::new (block) FreeBlock{freeBlocks[sizeClass]};
        }
    }

    // Every block is free again; the slabs stay for the lists to come. Expects no list to use a
    // block any more: a list still alive would share its block with the next.
    void release();
    // Runs drop, which ends every list made from this memory (and throws nothing), then release.
    template <class Drop>
    void releaseAfter(const Drop& drop) noexcept {
        drop();
        release();
    }

    // Whether a block of bytes comes from the slabs, rather than the heap.
    static bool servesFromSlabs(size_t bytes) { return classOf(bytes) < kClasses; }
    // The size of the slab block that allocate(bytes) hands out, which its list may fill.
    static size_t blockSize(size_t bytes) { return kSmallest << classOf(bytes); }

private:
    static constexpr size_t kSmallest = 16;
    static constexpr size_t kClasses = 9;  // 16, 32, ... 4096 bytes
    static constexpr size_t kFirstSlab = size_t{1} << 16;

    // The size class of a block of bytes, kClasses for the ones the heap serves.
    static size_t classOf(size_t bytes) {
        if (bytes <= kSmallest) {
            return 0;
        }
        return std::min<size_t>(std::bit_width(bytes - 1) - std::bit_width(kSmallest - 1),
                                kClasses);
    }
    void* take(size_t bytes) {
        const size_t sizeClass = classOf(bytes);
        if (sizeClass == kClasses) {
            return ::operator new(bytes);
        }
        if (FreeBlock* block = freeBlocks[sizeClass]) {
            freeBlocks[sizeClass] = block->next;
            return block;
        }
        const size_t size = kSmallest << sizeClass;
        if (size <= slabLeft) {
            void* block = slabNext;
            slabNext += size;
            slabLeft -= size;
            return block;
        }
        return carve(size);
    }
    // A fresh block from the next slab, making one when there is none. A slab that cannot be
    // made leaves the slabs as they were.
    void* carve(size_t size);

    struct FreeBlock {
        FreeBlock* next;
    };
    std::array<FreeBlock*, kClasses> freeBlocks{};
    // A slab of bytes, given back by the allocator that made it.
    struct SlabRelease {
        size_t bytes = 0;
        void operator()(std::byte* slab) const noexcept {
            BigBlockAllocator<std::byte>().deallocate(slab, bytes);
        }
    };
    std::vector<std::unique_ptr<std::byte[], SlabRelease>> slabs;
    size_t slab = 0;  // the slab being carved, an index into slabs; slabs.size() before the first
    std::byte* slabNext = nullptr;
    size_t slabLeft = 0;
};

}  // namespace meshthin
