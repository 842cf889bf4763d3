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
// Why a reader of our own: tinyobjloader (Debian's libtinyobjloader-dev 2.0.0~rc10, its double
// build, triangulate=false) keeps polygons and shared points, but reads far beyond twice the
// floor. Measured on a generated OBJ of 1,000,000 points (a 1000 x 1000 grid, 6 decimals) and
// 998,001 quads, 60.8 MB, parsed from memory in one process, six rounds on the shared 2-core
// development machine (load average 2.8): every number through std::from_chars, the floor,
// 0.084-0.155 s; this reader 0.136-0.279 s, 1.57-1.8 times the floor in each round, into the
// arrays the caller gets; tinyobjloader 0.82-1.05 s, 5.5-12.5 times the floor.
//
// The functions keep nothing between calls: any thread may call them on bytes and a mesh that
// it owns.
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
