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
// The lines are formatted on every core (parallel_text.h): a million-point mesh's OBJ text
// (polygons of the mesh included) took 0.56-0.67 s on one core, 1.6-1.75 times one std::to_chars
// over its numbers, and 0.42-0.70 s on this machine's two, 0.94-1.59 times that floor. A file of
// more than 4 MB a core is read in parts on every core too (see readObj in obj.cpp): parsing a
// million points took 280-314 ms on one core and 232-265 ms on two.
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
// it owns; the threads they start themselves end before they return.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "meshio/formats/polygon_mesh.h"

namespace meshthin::formats {

// Reads an OBJ file's bytes, on up to threads threads (0: every core); fileName names the file
// in a FormatError. The mesh and every failure are the same whatever the number.
PolygonMesh readObj(std::string_view bytes, std::string_view fileName, unsigned threads = 0);

namespace detail {
// readObj with the file cut into partCount parts read on threads of their own, whatever its
// size: for the tests, which cut small files in many places.
PolygonMesh readObjInParts(std::string_view bytes, std::string_view fileName, size_t partCount);
}  // namespace detail

// Appends the mesh as OBJ text to out, formatted on up to threads threads (0: every core); the
// text is the same whatever the number.
void writeObj(std::string& out, const PolygonMesh& mesh, unsigned threads = 0);

}  // namespace meshthin::formats
