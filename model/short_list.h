// SPDX-License-Identifier: GPL-3.0-or-later
// A list of plain numbers in 16 bytes: where its block lies, how many entries it holds and how
// many the block has room for. A mesh keeps one such list in every point and every face, so the
// header counts: a std::vector with an allocator that knows its memory takes 32 bytes, which at a
// million points and two million faces is 96 MB of headers alone.
//
// The list does not know which ListMemory its block came from: whoever grows it passes that
// memory (or nullptr, for the heap), the same memory every time, as a point or face finds it
// from the array it lies in. A block that did not come from the slabs (the heap, or a block too
// large for the slabs) is marked so, and only such a block is freed when the list ends; a block
// from the slabs is freed with them, when the memory is released. A list copied by its copy
// constructor or assignment takes the heap, as nothing tells it the memory; copyFrom puts the
// copy in a given memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include "model/list_memory.h"

namespace meshthin {

template <class T>
class ShortList {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= 16,
                  "a short list holds plain numbers in blocks aligned to 16 bytes");

public:
    ShortList() = default;
    ShortList(const ShortList& other) { copyFrom(other, nullptr); }
    ShortList& operator=(const ShortList& other) {
        if (this != &other) {
            ShortList copy(other);
            swap(copy);
        }
        return *this;
    }
    ShortList(ShortList&& other) noexcept { swap(other); }
    ShortList& operator=(ShortList&& other) noexcept {
        ShortList gone(std::move(other));
        swap(gone);
        return *this;
    }
    ~ShortList() { freeOwnBlock(); }

    void swap(ShortList& other) noexcept {
        std::swap(block, other.block);
        std::swap(count, other.count);
        std::swap(room, other.room);
    }

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    size_t capacity() const { return room & ~kOwnBlock; }
    T* data() { return block; }
    const T* data() const { return block; }
    T* begin() { return block; }
    T* end() { return block + count; }
    const T* begin() const { return block; }
    const T* end() const { return block + count; }
    T& operator[](size_t i) { return block[i]; }
    const T& operator[](size_t i) const { return block[i]; }
    T& back() { return block[count - 1]; }
    const T& back() const { return block[count - 1]; }
    operator std::span<const T>() const { return {block, count}; }

    // --- growing: memory is the one the list's block came from, nullptr for the heap ---

    void reserve(ListMemory* memory, size_t wanted) {
        if (wanted > capacity()) {
            moveToBlockOf(memory, wanted);
        }
    }
    void resize(ListMemory* memory, size_t newCount, T value) {
        reserve(memory, newCount);
        std::fill(block + std::min<size_t>(count, newCount), block + newCount, value);
        count = static_cast<uint32_t>(newCount);
    }
    void assign(ListMemory* memory, size_t newCount, T value) {
        count = 0;
        resize(memory, newCount, value);
    }
    void assign(ListMemory* memory, const T* first, const T* last) {
        count = 0;
        append(memory, first, static_cast<size_t>(last - first));
    }
    void push_back(ListMemory* memory, T value) {
        if (count == capacity()) {
            moveToBlockOf(memory, count + 1);
        }
        block[count++] = value;
    }
    void append(ListMemory* memory, const T* first, size_t added) {
        reserve(memory, count + added);
        std::copy_n(first, added, block + count);
        count += static_cast<uint32_t>(added);
    }
    // The entries of other, in a block of memory (nullptr: the heap).
    void copyFrom(const ShortList& other, ListMemory* memory) {
        assign(memory, other.begin(), other.end());
    }

    // --- shrinking, which never moves the block ---

    void pop_back() { --count; }
    // Takes out the entries from position first up to last; the others keep their order.
    void erase(size_t first, size_t last) {
        std::copy(block + last, block + count, block + first);
        count -= static_cast<uint32_t>(last - first);
    }

private:
    // Marks a block that the list frees itself: one from the heap, or too large for the slabs.
    static constexpr uint32_t kOwnBlock = uint32_t{1} << 31;

    // Moves the entries to a block with room for at least wanted, twice the old room at least,
    // so that appending one at a time stays linear.
    void moveToBlockOf(ListMemory* memory, size_t wanted) {
        size_t newRoom = std::max<size_t>({wanted, 2 * capacity(), 16 / sizeof(T)});
        if (newRoom >= kOwnBlock) {
            throw std::bad_array_new_length();
        }
        const size_t bytes = newRoom * sizeof(T);
        const bool own = memory == nullptr || !ListMemory::servesFromSlabs(bytes);
        T* newBlock = nullptr;
        if (own) {
            newBlock = static_cast<T*>(::operator new(bytes));
        } else {
            // A slab block is a power of two in size: the list uses all of it.
            newBlock = static_cast<T*>(memory->allocate(bytes));
            newRoom = ListMemory::blockSize(bytes) / sizeof(T);
        }
        if (count != 0) {
            std::memcpy(newBlock, block, count * sizeof(T));
        }
        if (memory != nullptr && (room & kOwnBlock) == 0 && block != nullptr) {
            memory->deallocate(block, capacity() * sizeof(T));
        }
        freeOwnBlock();
        block = newBlock;
        room = static_cast<uint32_t>(newRoom) | (own ? kOwnBlock : 0);
    }
    void freeOwnBlock() noexcept {
        if ((room & kOwnBlock) != 0) {
            ::operator delete(block);
        }
        room = 0;
    }

    T* block = nullptr;
    uint32_t count = 0;
    uint32_t room = 0;  // the block's room, and kOwnBlock
};

}  // namespace meshthin
