// SPDX-License-Identifier: GPL-3.0-or-later
// OFF, read and written by hand.
//
// Reading takes the text forms whose prefixes only add per-point data: OFF, COFF (a colour per
// point, 3 or 4 values, bytes from 0 to 255 or real numbers from 0 to 1), NOFF (a normal per
// point), STOFF (texture coordinates, not kept: cornerDataDropped) and their combinations in
// the order ST, C, N, and nOFF when its dimension is 3. A missing keyword (the counts first) reads
// as OFF. 4OFF and nOFF of other dimensions (points with more than three coordinates) and
// binary OFF are refused with a message saying so: meshthin's points have three coordinates,
// and dropping one would change the shape. Each point and face is on a line of its own; a face's
// colour after its point numbers is skipped; `#` starts a comment.
//
// Writing gives OFF, COFF, NOFF or CNOFF as the mesh carries colours and normals, the counts
// line with 0 edges, points in the shortest text that reads back to the same double and colours
// as bytes.
//
// The functions keep nothing between calls: any thread may call them on bytes and a mesh that
// it owns.
#pragma once

#include <string>
#include <string_view>

#include "meshio/formats/polygon_mesh.h"

namespace meshthin::formats {

// Reads an OFF file's bytes; fileName names the file in a FormatError.
PolygonMesh readOff(std::string_view bytes, std::string_view fileName);

// Appends the mesh as OFF text to out.
void writeOff(std::string& out, const PolygonMesh& mesh);

}  // namespace meshthin::formats
