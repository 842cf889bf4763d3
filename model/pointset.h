// A set of point numbers for the span of one operation. Small sets are a plain list (a scan is
// fastest there); large ones, as large polygons and fans make them, switch to a table of all
// 16-bit numbers so that every lookup costs the same whatever the size. Used where the rebuild
// and the rewiring would otherwise scan a list once per entry of another list.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace meshthin {

class PointSet {
public:
    bool contains(int16_t p) const {
        if (!table.empty()) {
            return table[slot(p)];
        }
        return std::find(list.begin(), list.end(), p) != list.end();
    }

    void insert(int16_t p) {
        if (!table.empty()) {
            table[slot(p)] = true;
            return;
        }
        if (std::find(list.begin(), list.end(), p) != list.end()) {
            return;
        }
        list.push_back(p);
        if (list.size() > kListLimit) {
            table.assign(1 << 16, false);
            for (int16_t q : list) {
                table[slot(q)] = true;
            }
            list.clear();
        }
    }

    void erase(int16_t p) {
        if (!table.empty()) {
            table[slot(p)] = false;
            return;
        }
        list.erase(std::remove(list.begin(), list.end(), p), list.end());
    }

    template <class Range>
    void insertAll(const Range& numbers) {
        for (int16_t p : numbers) {
            insert(p);
        }
    }

private:
    static constexpr size_t kListLimit = 48;
    static size_t slot(int16_t p) { return static_cast<uint16_t>(p); }

    std::vector<int16_t> list;
    std::vector<bool> table;
};

}  // namespace meshthin
