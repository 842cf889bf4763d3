// SPDX-License-Identifier: GPL-3.0-or-later
// What a reduction run at a threshold would remove, found by the run's own walk
// (removePointsBelow) rather than by a second rule of our own: the count of points below a
// threshold is not the count a run removes, since every removal re-values its neighbours as the
// walk goes, and only the walk itself knows which of them it then takes.
#pragma once

#include <cstdint>
#include <vector>

#include "model/mesh.h"

namespace meshthin {

// Runs the walk at threshold on mesh and lists, in ascending order, the points it removed; the
// mesh is left reduced, its values due (walkPointsBelow). For a mesh that is thrown away
// afterwards; an empty list when no mesh is loaded.
std::vector<PointNumber> removeAndListPointsBelow(Mesh& mesh, double threshold);

// The same on a copy of mesh, which stays as it is.
std::vector<PointNumber> pointsARunRemoves(const Mesh& mesh, double threshold);

}  // namespace meshthin
