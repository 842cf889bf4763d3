// Memory for the many short lists of one mesh: the point list of every face and the faces of
// every point. A mesh has tens of thousands of them, each of a few numbers; taking each from the
// general heap and giving each back costs more than reading the numbers into them. Here a list
// takes a block of the next power of two in size (16 bytes at least) from large slabs, a block
// given back is kept for the next list of its size, and release() makes every block free at
// once, keeping the slabs for the next mesh. Lists longer than 4 KiB come from the heap.
//
// The memory must outlive every list made from it, and release() may only be called when none
// is left: the store owns one for each kind of list and releases it when it empties the lists.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <memory_resource>
#include <vector>

namespace meshthin {

class ListMemory final : public std::pmr::memory_resource {
public:
    ListMemory() = default;
    ListMemory(const ListMemory&) = delete;
    ListMemory& operator=(const ListMemory&) = delete;

    // Every block is free again; the slabs stay for the lists to come.
    void release();
    // Runs drop, which ends every list made from this memory (and throws nothing), then release:
    // the blocks the lists give back on their way are not kept one by one, as release frees them
    // all anyway.
    template <class Drop>
    void releaseAfter(const Drop& drop) noexcept {
        dropping = true;
        drop();
        dropping = false;
        release();
    }

private:
    static constexpr size_t kSmallest = 16;
    static constexpr size_t kClasses = 9;  // 16, 32, ... 4096 bytes
    static constexpr size_t kFirstSlab = size_t{1} << 16;

    void* do_allocate(size_t bytes, size_t alignment) override;
    void do_deallocate(void* block, size_t bytes, size_t alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }

    // The size class of a block of bytes, kClasses for the ones the heap serves.
    static size_t classOf(size_t bytes, size_t alignment);
    // A fresh block of the class from the slabs, taking the next slab when this one is used up.
    void* carve(size_t size);

    struct FreeBlock {
        FreeBlock* next;
    };
    std::array<FreeBlock*, kClasses> freeBlocks{};
    std::vector<std::unique_ptr<std::byte[]>> slabs;
    std::vector<size_t> slabSizes;
    size_t slab = 0;  // the slab being carved, an index into slabs
    size_t used = 0;  // the bytes of that slab already handed out
    bool dropping = false;
};

}  // namespace meshthin
