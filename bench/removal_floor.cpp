// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/removal_floor.h"

#include <cmath>
#include <span>

#include "model/unit_vectors.h"

namespace meshthin::bench {

Floor recordFloor(Mesh& mesh, double threshold) {
    Floor floor;
    const long long last = mesh.lastLoadedPoint();
    for (long long i = 0; i <= mesh.spareSlot(); ++i) {
        floor.startSizes.push_back(static_cast<size_t>(mesh.Points(i).getNumConns()) + 1);
    }
    std::vector<char> due(static_cast<size_t>(mesh.spareSlot()) + 1, 0);
    std::vector<PointNumber> neighbours;
    std::vector<size_t> before;
    for (long long i = 0; i <= last; ++i) {
        Point& point = mesh.Points(i);
        if (point.removed()) {
            continue;
        }
        if (due[static_cast<size_t>(i)] != 0) {
            // valueNow below computes the value from this list.
            const size_t count = static_cast<size_t>(point.getNumConns()) + 1;
            for (size_t k = 0; k < count; ++k) {
                floor.valuedEntries.push_back(point.getConn(mesh, static_cast<PointNumber>(k)));
            }
            floor.valued.emplace_back(static_cast<PointNumber>(i), count);
            due[static_cast<size_t>(i)] = 0;
        }
        if (point.valueNow(mesh) >= threshold) {
            continue;
        }
        neighbours.clear();
        before.clear();
        for (PointNumber k = 0; k <= point.getNumConns(); ++k) {
            const PointNumber n = point.getConn(mesh, k);
            neighbours.push_back(n);
            // What is left of the neighbour's list once the removed point is taken out of it.
            const Point& neighbour = mesh.Points(n);
            const bool holdsRemoved =
                neighbour.getNumConns() > 0 && neighbour.alreadyConn(static_cast<PointNumber>(i));
            before.push_back(static_cast<size_t>(neighbour.getNumConns()) + 1 -
                             (holdsRemoved ? 1 : 0));
        }
        point.remove(mesh);
        for (size_t k = 0; k < neighbours.size(); ++k) {
            const size_t after = static_cast<size_t>(mesh.Points(neighbours[k]).getNumConns()) + 1;
            if (after > before[k]) {
                floor.gained.emplace_back(neighbours[k], after - before[k]);
            }
            due[static_cast<size_t>(neighbours[k])] = 1;
        }
    }
    return floor;
}

// The values of the recorded lists, computed as the analysis computes them.
double valueRecordedLists(const Mesh& mesh, const Floor& floor) {
    double total = 0;
    size_t at = 0;
    for (const auto& [p, count] : floor.valued) {
        const Point& point = mesh.Points(p);
        const std::span<const PointNumber> entries(floor.valuedEntries.data() + at, count);
        VectorSum sum;
        const size_t paired = addUnitVectorsInPairs(mesh.Points, point.getX(), point.getY(),
                                                    point.getZ(), entries, sum);
        addUnitVectorsOneByOne(mesh.Points, point.getX(), point.getY(), point.getZ(),
                               entries.subspan(paired), sum);
        total += std::sqrt((sum.x * sum.x + sum.y * sum.y) + sum.z * sum.z);
        at += count;
    }
    return total;
}

// Lists of the start's sizes, each given as many entries as the run's lists gained, all the
// entries of one neighbour and removal at once.
size_t appendRecordedGains(const Floor& floor, std::vector<std::vector<PointNumber>>& lists) {
    for (const auto& [p, count] : floor.gained) {
        std::vector<PointNumber>& list = lists[static_cast<size_t>(p)];
        list.insert(list.end(), count, p);
    }
    return lists.size();
}

}  // namespace meshthin::bench
