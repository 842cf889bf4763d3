// SPDX-License-Identifier: GPL-3.0-or-later
// Memory for the few arrays that grow with the mesh (the records of its points and faces, the
// slabs of their lists, the arrays a file is parsed into), in pages of 2 MB where the system
// offers them. Such an array is filled once, front to back, right after it is taken, and with
// pages of 4 KB the system stops for every page the first time it is written: at a million
// points, making the records took 200-260 ms, two thirds of it in the system clearing pages.
// With 2 MB pages (Linux's transparent huge pages, asked for per block when the system leaves
// the choice to the program) they take 96-119 ms on one core, and a binary PLY file of the same
// size is parsed in 60-68 ms instead of 120-150.
//
// Blocks under 4 MB come from the heap as usual. Larger ones are mapped from the system, so that
// one given back returns to it at once, and are advised to use 2 MB pages; where the system
// declines the advice they work with small pages. Taking or giving back blocks is safe from any
// thread: the allocator holds no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace meshthin {

inline constexpr size_t kLargeBlock = size_t{4} << 20;

// A block of bytes (at least kLargeBlock) aligned to 2 MB, or nullptr when none could be had; and
// giving it back.
void* takeBigBlock(size_t bytes) noexcept;
void giveBackBigBlock(void* block, size_t bytes) noexcept;

// The allocator of such an array: a standard one below kLargeBlock, takeBigBlock above.
template <class T>
class BigBlockAllocator {
public:
    using value_type = T;

    BigBlockAllocator() noexcept = default;
    template <class U>
    BigBlockAllocator(const BigBlockAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        if (n * sizeof(T) >= kLargeBlock) {
            if (void* block = takeBigBlock(n * sizeof(T))) {
                return static_cast<T*>(block);
            }
            throw std::bad_alloc();
        }
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* block, size_t n) noexcept {
        if (n * sizeof(T) >= kLargeBlock) {
            giveBackBigBlock(block, n * sizeof(T));
        } else {
            std::allocator<T>().deallocate(block, n);
        }
    }

    friend bool operator==(const BigBlockAllocator&, const BigBlockAllocator&) noexcept {
        return true;
    }
};

}  // namespace meshthin
