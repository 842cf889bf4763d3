// SPDX-License-Identifier: GPL-3.0-or-later
// A set of point numbers for the inner loops of the rebuild, the ring walk and the rewiring,
// which ask "already there?" once per entry of another list. Every 16-bit number has a stamp in
// a table of the set's own; the set holds the numbers stamped with its current generation, so
// a lookup and an insertion are one table access whatever the size, and emptying the set is one
// increment. The table is made once (128 KiB): the store's scratch lists (model/scratch.h) keep
// one for each place that needs a set, and nothing is allocated inside the loops.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace meshthin {

class PointSet {
public:
    bool contains(int16_t p) const { return stamps[slot(p)] == generation; }
    void insert(int16_t p) { stamps[slot(p)] = generation; }

    template <class Range>
    void insertAll(const Range& numbers) {
        for (int16_t p : numbers) {
            insert(p);
        }
    }

    // Forgets every number.
    void clear() {
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
    static size_t slot(int16_t p) { return static_cast<uint16_t>(p); }

    std::vector<uint16_t> stamps = std::vector<uint16_t>(size_t{1} << 16, 0);
    uint16_t generation = 1;
};

}  // namespace meshthin
