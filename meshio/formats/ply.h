// SPDX-License-Identifier: GPL-3.0-or-later
// PLY, read and written by hand: Debian packages no small PLY library, only whole
// mesh-processing libraries.
//
// Reading takes ascii, binary little-endian and binary big-endian files. The `vertex` element's
// x, y and z may have any numeric type; red, green, blue (and alpha) are kept as colours (bytes
// as they are, real numbers from 0 to 1 scaled to bytes) and nx, ny, nz as normals, when all of
// a group are there; its other properties are skipped. Faces come from the `face` element's
// `vertex_indices` or `vertex_index` list (any count and index type); another list of a face
// (texture coordinates) is per-corner data and sets cornerDataDropped. A `tristrips` element is
// read as its triangles, turning every second one so that all keep the strip's winding; a -1
// starts a new strip, and the triangles with a repeated point that join strips are left out.
// Other elements are skipped.
//
// Writing gives x, y, z as doubles, colours as uchar, normals as float, and faces as a list of
// uint behind a uchar count (a uint count when a face has more than 255 corners).
//
// The functions keep nothing between calls: any thread may call them on bytes and a mesh that
// it owns.
#pragma once

#include <string>
#include <string_view>

#include "meshio/formats/polygon_mesh.h"

namespace meshthin::formats {

enum class PlyEncoding { Ascii, BinaryLittleEndian, BinaryBigEndian };

// Reads a PLY file's bytes; fileName names the file in a FormatError.
PolygonMesh readPly(std::string_view bytes, std::string_view fileName);

// Appends the mesh as PLY to out.
void writePly(std::string& out, const PolygonMesh& mesh,
              PlyEncoding encoding = PlyEncoding::BinaryLittleEndian);

}  // namespace meshthin::formats
