// SPDX-License-Identifier: GPL-3.0-or-later
// Wavefront OBJ, read and written by hand.
//
// Reading keeps the points (`v x y z`, an optional fourth value ignored, or `v x y z r g b` with
// colours from 0 to 1, kept when every point has them) and the faces (`f` with corners `a`,
// `a/b`, `a//c` or `a/b/c`, 1-based or negative, counted back from the last point so far); a
// backslash at the end of a line joins it to the next. Texture coordinates and normals are
// per corner in OBJ and are not kept (cornerDataDropped says that a face named them); every
// other statement (`vt`, `vn`, `o`, `g`, `s`, `usemtl`, `mtllib`, `l`, `p`, unknown ones) and
// `#` comments are skipped.
//
// Writing gives `v x y z` in the shortest text that reads back to the same double ("." always),
// with ` r g b` (0 to 1, 4 decimals, enough to give the same bytes back) when the mesh has
// colours (alpha and normals have no place in OBJ and are left out), then 1-based `f` lines.
//
// Why our own reader: tinyobjloader (Debian's libtinyobjloader-dev 2.0.0~rc10, double build,
// triangulate=false) keeps polygons and shared points, but on a generated 1,000,000-point OBJ
// (a 1000 x 1000 grid of quads, 60 MB) it took 1.10-1.16 s, 3.4 times the floor of reading the
// same numbers with std::from_chars (0.32-0.34 s); this reader takes 0.36-0.38 s, 1.1 times the
// floor, and reads straight into the arrays (best of 3 on the 2-core development machine).
#pragma once

#include <string>
#include <string_view>

#include "meshio/formats/polygon_mesh.h"

namespace meshthin::formats {

// Reads an OBJ file's bytes; fileName names the file in a FormatError.
PolygonMesh readObj(std::string_view bytes, std::string_view fileName);

// Appends the mesh as OBJ text to out.
void writeObj(std::string& out, const PolygonMesh& mesh);

}  // namespace meshthin::formats
