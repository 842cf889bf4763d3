// SPDX-License-Identifier: GPL-3.0-or-later
// What a deep run cannot do without, next to the simplifier: the values that must be computed
// and the entries that the lists must gain. The rules fix both: a rewired neighbour's value is
// the sum of the unit vectors of its whole list in list order, computed (when the walk reads it)
// from the list as it is then, and every neighbour gains each of the other neighbours that its
// list lacks. A first pass runs the walk as the run does, through the public steps, and records
// the list of every value computed and how many entries each neighbour gained; the timed passes
// then only compute those sums (with the same routines as the analysis) and append that many
// entries to lists of the sizes the points had at the start. Everything else a removal does (the
// questions whether a list already holds a point, taking the removed point out, the faces) is left
// out, so the floor is below what any removal that keeps the rules can take.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "model/mesh.h"

namespace meshthin::bench {

struct Floor {
    // The valued lists, one after the other, and for each its point.
    std::vector<PointNumber> valuedEntries;
    std::vector<std::pair<PointNumber, size_t>> valued;  // point, number of entries
    // The gains: for each rewired neighbour of each removal, how many entries it gained.
    std::vector<std::pair<PointNumber, size_t>> gained;
    std::vector<size_t> startSizes;  // every point's list size at the start
};

// Runs the walk at threshold on mesh through the public steps, recording what the floor needs;
// leaves the mesh as the run leaves it.
Floor recordFloor(Mesh& mesh, double threshold);
// The values of the recorded lists, computed as the analysis computes them.
double valueRecordedLists(const Mesh& mesh, const Floor& floor);
// Lists of the start's sizes, each given as many entries as the run's lists gained.
size_t appendRecordedGains(const Floor& floor, std::vector<std::vector<PointNumber>>& lists);

}  // namespace meshthin::bench
