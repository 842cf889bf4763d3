// SPDX-License-Identifier: GPL-3.0-or-later
// What a reduction run at a threshold would remove, found by the run's own walk
// (removePointsBelow) rather than by a second rule of our own: the count of points below a
// threshold is not the count a run removes, since every removal re-values its neighbours as the
// walk goes, and only the walk itself knows which of them it then takes.
#pragma once

#include <cstdint>
#include <vector>

namespace meshthin {

// Runs the walk at threshold on the store as it is and lists, in ascending order, the points it
// removed; the store is left reduced. For a store that is thrown away afterwards (a process of
// its own); an empty list when no mesh is loaded.
std::vector<int16_t> removeAndListPointsBelow(double threshold);

// The same on a snapshot: the store is put back afterwards exactly as it was, values due and
// marks included, also when the walk fails. Expects to be the only user of the store meanwhile.
std::vector<int16_t> pointsARunRemoves(double threshold);

}  // namespace meshthin
