// SPDX-License-Identifier: GPL-3.0-or-later
// A set of point numbers for the inner loops of the rebuild, the ring walk and the rewiring,
// which ask "already there?" once per entry of another list. Every point number has a stamp in
// a table of the set's own; the set holds the numbers stamped with its current generation, so
// a lookup and an insertion are one table access whatever the size, and emptying the set is one
// increment. The table starts with room for 65,535 points (128 KiB) and grows with the largest
// number inserted; the mesh's scratch lists (model/scratch.h) keep one for each place that needs
// a set, and nothing is allocated inside the loops once the tables have grown.
//
// -1 (no point, the open slot) has a stamp of its own; other negative numbers name no point and
// never reach a set in a mesh that loaded, but are held all the same, in a short list.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/point_number.h"

namespace meshthin {

class PointSet {
public:
    PointSet() = default;
    // The table's address is kept beside it: a copy would point into the original's.
    PointSet(const PointSet&) = delete;
    PointSet& operator=(const PointSet&) = delete;
    bool contains(PointNumber p) const {
        const uint32_t slot = slotOf(p);
        if (slot < tableSize) [[likely]] {
            return table[slot] == generation;
        }
        return containsFar(p);
    }
    void insert(PointNumber p) {
        const uint32_t slot = slotOf(p);
        if (slot < tableSize) [[likely]] {
            table[slot] = generation;
        } else {
            insertFar(p);
        }
    }

    // insert for each of numbers. The table is written through locals: a store to it could
    // change the generation as far as the compiler knows, which it would read again at every
    // number; a rewired neighbour's whole list is put in at every removal.
    template <class Range>
    void insertAll(const Range& numbers) {
        uint16_t* stamps = table;
        size_t size = tableSize;
        const uint16_t current = generation;
        for (const PointNumber p : numbers) {
            const uint32_t slot = slotOf(p);
            if (slot < size) [[likely]] {
                stamps[slot] = current;
            } else {
                insertFar(p);
                stamps = table;
                size = tableSize;
            }
        }
    }
    // For each of count numbers from first on, in order: writes it to out's next place, which
    // it keeps when the set lacks it, and inserts it. Returns how many places were kept. Whether
    // the set holds a number is no better guessed than a coin toss, so there is no branch on it.
    size_t keepMissing(const PointNumber* first, size_t count, PointNumber* out) {
        uint16_t* stamps = table;
        size_t size = tableSize;
        const uint16_t current = generation;
        size_t kept = 0;
        for (size_t k = 0; k < count; ++k) {
            const PointNumber p = first[k];
            const uint32_t slot = slotOf(p);
            out[kept] = p;
            if (slot < size) [[likely]] {
                kept += stamps[slot] != current ? 1 : 0;
                stamps[slot] = current;
            } else {
                kept += containsFar(p) ? 0 : 1;
                insertFar(p);
                stamps = table;
                size = tableSize;
            }
        }
        return kept;
    }

    // Forgets every number.
    void clear() {
        others.clear();
        ++generation;
        if (generation == 0) {
            // Once in 65,535 clears the stamps of long-gone generations could match again.
            std::fill(stamps.begin(), stamps.end(), uint16_t{0});
            generation = 1;
        }
    }

    // Holds exactly the given numbers.
    template <class Range>
    void assign(const Range& numbers) {
        clear();
        insertAll(numbers);
    }

private:
    // -1 at 0, point p at p + 1; any other negative number past every slot.
    static uint32_t slotOf(PointNumber p) { return static_cast<uint32_t>(p) + 1u; }

    // A number beyond the table, kept out of the inner loops' way.
    [[gnu::noinline]] bool containsFar(PointNumber p) const {
        return p < -1 && std::find(others.begin(), others.end(), p) != others.end();
    }
    // A larger point number grows the table, a negative one goes to others.
    [[gnu::noinline]] void insertFar(PointNumber p) {
        if (p < -1) {
            others.push_back(p);
            return;
        }
        stamps.resize(std::max(stamps.size() * 2, size_t{slotOf(p)} + 1), uint16_t{0});
        table = stamps.data();
        tableSize = stamps.size();
        stamps[slotOf(p)] = generation;
    }

    std::vector<uint16_t> stamps = std::vector<uint16_t>(size_t{1} << 16, 0);
    // The table and its size as the lookups read them, kept beside it so that the inner loops
    // need not work them out of the vector again after every store they make.
    uint16_t* table = stamps.data();
    size_t tableSize = stamps.size();
    uint16_t generation = 1;
    std::vector<PointNumber> others;
};

}  // namespace meshthin
