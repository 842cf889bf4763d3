// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers a mesh refers to its points by, and the positions in its lists. They are 32-bit,
// so that a mesh holds as many points as memory allows. The 16-bit limits of the brace format
// (32,767 points, connection lists and faces of at most 32,768 entries) are rules of that format
// and of the run on a mesh read from it: its reader checks the first, and the run checks the
// others against the mesh's own limit (Mesh::positionLimit), failing with "Overflow" at exactly
// the entry where a 16-bit list would overflow.
#pragma once

#include <cstdint>
#include <vector>

namespace meshthin {

using PointNumber = int32_t;

// The largest list position a mesh read from the brace format may hold, and the largest any
// other may.
inline constexpr long long kBracePositionLimit = INT16_MAX;
inline constexpr long long kWidePositionLimit = INT32_MAX;

}  // namespace meshthin
