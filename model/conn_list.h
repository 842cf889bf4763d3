// SPDX-License-Identifier: GPL-3.0-or-later
// A point's connection list: the entries of a ShortList from position head on. A removal takes
// the removed point out of the list of every neighbour, and in a deep run these lists hold
// thousands of entries with the removed point mostly near the front (the points are removed in
// number order, and the lists gained them in about that order). Taking an entry out of the front
// half moves the entries before it one place on, rather than every entry behind it one place
// back: the order of the entries is the same either way. In a fan of 2,000 triangles removed
// entirely, moving the entries behind took three quarters of the run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/list_memory.h"
#include "model/point_number.h"
#include "model/short_list.h"

namespace meshthin {

// Every call that can grow the list takes the memory its block comes from (ShortList).
class ConnList {
public:
    size_t size() const { return items.size() - head; }
    bool empty() const { return size() == 0; }
    // Entries that may be read from data() on, the list's and the room behind it.
    size_t capacity() const { return items.capacity() - head; }

    PointNumber* data() { return items.data() + head; }
    const PointNumber* data() const { return items.data() + head; }
    PointNumber* begin() { return data(); }
    PointNumber* end() { return items.end(); }
    const PointNumber* begin() const { return data(); }
    const PointNumber* end() const { return items.end(); }
    PointNumber& operator[](size_t i) { return data()[i]; }
    const PointNumber& operator[](size_t i) const { return data()[i]; }
    PointNumber& back() { return items.back(); }
    PointNumber back() const { return items.back(); }
    operator std::span<const PointNumber>() const { return {data(), size()}; }

    void reserve(ListMemory* memory, size_t count) { items.reserve(memory, head + count); }
    void assign(ListMemory* memory, size_t count, PointNumber value) {
        head = 0;
        items.assign(memory, count, value);
    }
    void push_back(ListMemory* memory, PointNumber value) {
        if (head != 0 && items.size() == items.capacity()) {
            compact();  // the room before the list, rather than a larger block
        }
        items.push_back(memory, value);
    }
    // Appends count entries at once: the room before the list is used first, as by push_back.
    void append(ListMemory* memory, const PointNumber* first, size_t count) {
        if (head != 0 && items.size() + count > items.capacity()) {
            compact();
        }
        items.append(memory, first, count);
    }
    void pop_back() { items.pop_back(); }
    // The entries of other, in a block of memory.
    void copyFrom(const ConnList& other, ListMemory* memory) {
        head = 0;
        items.assign(memory, other.begin(), other.end());
    }

    // Takes out the entry at position i; the others keep their order.
    void erase(size_t i) {
        if (i < size() / 2) {
            std::copy_backward(data(), data() + i, data() + i + 1);
            ++head;
            if (head >= kLargestGap && 4 * head > size()) {
                compact();  // the room before the list stays under a quarter of it
            }
        } else {
            items.erase(head + i, head + i + 1);
        }
    }

private:
    static constexpr size_t kLargestGap = 32;

    // Moves the entries back to the start of the block.
    void compact() {
        items.erase(0, head);
        head = 0;
    }

    ShortList<PointNumber> items;
    uint32_t head = 0;  // a list holds point numbers, fewer than 2^31 of them
};

}  // namespace meshthin
