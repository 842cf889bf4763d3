// SPDX-License-Identifier: GPL-3.0-or-later
// The meshes users bring once meshthin reads OBJ and PLY, made here at any size: a polygon
// mesh of a rough open surface (quads, triangles and some hexagons, as a modeller's mesh mixes
// them) and a triangle scan (a noisy closed sphere, as a scanner's mesh is). Both are rough at
// every size in the same way: the noise is scaled with the distance between neighbouring
// points, so that a point of a large mesh sees about what a point of a small one sees.
#pragma once

#include "meshio/formats/polygon_mesh.h"

namespace meshthin::bench {

enum MillionShape { kPolygonSurface = 0, kTriangleScan = 1 };

// About points points (within a row of them) of the shape.
formats::PolygonMesh millionShape(int shape, long long points);

}  // namespace meshthin::bench
