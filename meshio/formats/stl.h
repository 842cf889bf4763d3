// SPDX-License-Identifier: GPL-3.0-or-later
// STL, read (ascii and binary) and written (binary) by hand.
//
// An STL file lists every facet with its own corners and shares no points, so reading welds the
// corners: corners with the same coordinates become one point, numbered in the order of their
// first appearance (0 and -0 are the same coordinate), or no point would have neighbours. Facet
// normals and the binary attribute bytes are not read; a facet keeps its corners as the file
// gives them, even when two of them weld into one point. Ascii files may hold several solids,
// and a facet's loop of more than three corners reads as a polygon. A file is binary unless it
// starts with "solid" and its size is not 84 + 50 times the count at byte 80 (binary headers
// may start with "solid" too).
//
// Writing is binary: STL holds triangles only, so a polygon is cut the way the mesh view cuts it
// (triangulatePolygon on float positions), and each facet's normal is worked out from the
// corners as written. Colours and normals of points have no place in STL. A coordinate beyond
// the range of STL's 32-bit numbers is refused with a Failure.
//
// Why our own code: Debian's STL library, admesh (libadmesh-dev 0.98.4), opens only a path,
// tells bad input by one error flag with no place in the file, and makes shared points from
// its walk over neighbouring facets rather than by coordinates in the order of appearance.
//
// The functions keep nothing between calls: any thread may call them on bytes and a mesh that
// it owns.
#pragma once

#include <string>
#include <string_view>

#include "meshio/formats/polygon_mesh.h"

namespace meshthin::formats {

// Reads an STL file's bytes; fileName names the file in a FormatError.
PolygonMesh readStl(std::string_view bytes, std::string_view fileName);

// Whether the bytes are a binary STL by their size: 84 + 50 times the count at byte 80.
bool hasBinaryStlSize(std::string_view bytes);

// Appends the mesh as binary STL to out.
void writeStl(std::string& out, const PolygonMesh& mesh);

}  // namespace meshthin::formats
