// A set of point numbers for the span of one operation. Small sets live in a fixed buffer
// inside the object and are scanned (fastest there, and no allocation); large ones, as large
// polygons and fans make them, switch to a table of all 16-bit numbers so that every lookup
// costs the same whatever the size. Used where the rebuild, the ring walk and the rewiring
// would otherwise scan a list once per entry of another list.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace meshthin {

class PointSet {
public:
    PointSet() = default;
    template <class Range>
    explicit PointSet(const Range& numbers) {
        insertAll(numbers);
    }

    bool contains(int16_t p) const {
        if (!table.empty()) {
            return table[slot(p)];
        }
        return std::find(small.begin(), small.begin() + count, p) != small.begin() + count;
    }

    void insert(int16_t p) {
        if (!table.empty()) {
            table[slot(p)] = true;
            return;
        }
        if (contains(p)) {
            return;
        }
        if (count == small.size()) {
            table.assign(size_t{1} << 16, false);
            for (size_t i = 0; i < count; ++i) {
                table[slot(small[i])] = true;
            }
            table[slot(p)] = true;
            return;
        }
        small[count] = p;
        ++count;
    }

    template <class Range>
    void insertAll(const Range& numbers) {
        for (int16_t p : numbers) {
            insert(p);
        }
    }

    // Forgets every number; the set starts small again.
    void clear() {
        count = 0;
        table.clear();
    }

private:
    static constexpr size_t kSmallLimit = 48;
    static size_t slot(int16_t p) { return static_cast<uint16_t>(p); }

    std::array<int16_t, kSmallLimit> small;  // entries from count on are never read
    size_t count = 0;
    std::vector<bool> table;
};

}  // namespace meshthin
