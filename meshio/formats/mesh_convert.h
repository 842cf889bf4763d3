// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge between the plain polygon mesh of the file formats and the Mesh a run works on. A
// mesh read from OBJ, PLY, OFF or STL becomes the Mesh the brace reader would make of the same
// points and faces, so that a run on it removes exactly what it removes there; and the mesh
// after a run becomes the points and faces the brace writer would write.
#pragma once

#include "meshio/formats/polygon_mesh.h"
#include "model/mesh.h"

namespace meshthin::formats {

// Points 0..n-1 in order and the spare slot behind them at the origin, faces in order, each as
// the brace reader makes it of the line naming the same points; without the brace format's
// 16-bit limits; the start-up passes run. A face naming a point the mesh does not have is the
// brace reader's failure for it.
Mesh meshFromPolygons(const PolygonMesh& polygons);
// The same without the start-up passes: the records only, for whoever runs the passes apart.
// The points' and the faces' records of a large mesh are made on two threads at once, unless
// threads is 1 (0: as many as there are cores): one owns Points, the other Faces, and both only
// read the polygons. The mesh is the caller's alone again when this returns.
Mesh meshRecordsFromPolygons(const PolygonMesh& polygons, unsigned threads = 0);
// The same, letting go of the polygons' positions once the points are made: at a million
// points they are 24 MB that the faces' records need not be made beside.
Mesh meshRecordsFromPolygons(PolygonMesh&& polygons, unsigned threads = 0);

// What the brace writer would write of mesh, as a polygon mesh: the points not removed in order,
// renumbered from 0 (the spare slot only when a face names it), and each face the writer writes,
// its points in the writer's order. original, when given, is the polygon mesh the Mesh was made
// from: the colours and normals of the points kept are carried over. Changes the mesh as writing
// does (output numbers, the faces shrink and fixOrder touch).
PolygonMesh polygonsOf(Mesh& mesh, const PolygonMesh* original = nullptr);

}  // namespace meshthin::formats
