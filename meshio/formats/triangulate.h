// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting a polygon into triangles, the one rule shared by the mesh view (which draws triangles)
// and the STL writer (which can hold nothing else), so that a saved STL shows what the view
// showed. Pure functions over the caller's positions; nothing is shared or kept.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <glm/glm.hpp>

namespace meshthin {

// Newell's normal of a ring: robust for any simple polygon, and its length is twice the area.
glm::vec3 newellNormal(std::span<const glm::vec3> ring);

// Cuts a simple polygon (convex or not, in any plane, either winding) into ring.size() - 2
// triangles by ear clipping, appending the positions' indices, offset by base, to triangles.
// A polygon that is not simple still gives ring.size() - 2 triangles covering its points.
// A hand-written cut: no Debian package carries a polygon triangulator for C++ (Qt's is
// private); the rings are small, and the cut is quadratic in the ring's length.
void triangulatePolygon(std::span<const glm::vec3> ring, uint32_t base,
                        std::vector<uint32_t>& triangles);

}  // namespace meshthin
