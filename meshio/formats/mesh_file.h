// SPDX-License-Identifier: GPL-3.0-or-later
// Which format a mesh file is in, and reading or writing one whole file in any of the formats of
// this folder. The brace format is only recognised here: the mesh loader and writer handle it,
// so the caller sends a Brace file there. Reading takes the file in one go; writing builds the
// whole text in memory and replaces the target durably (replace_file.h). Pure functions: the
// caller owns every mesh and buffer involved.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "meshio/formats/ply.h"
#include "meshio/formats/polygon_mesh.h"
#include "model/big_blocks.h"

namespace meshthin::formats {

// The format a file name's extension names, in any case: .obj, .ply, .off, .stl; nothing for
// any other (.mesh included), whose content decides.
std::optional<MeshFormat> formatOfName(std::string_view path);

// The format the bytes look like: "ply" and a format line; an OFF keyword (OFF, COFF, NOFF,
// STOFF, ...) followed by counts; a binary STL's size (84 + 50 times the count at byte 80);
// "solid" (and a blank) and a "facet" within the first 4 KiB (ascii STL); `v` or `f` lines before
// any line with a brace (OBJ). Anything else is the brace format.
MeshFormat formatOfContent(std::string_view bytes);

// By name where the extension says, by content otherwise.
MeshFormat detectFormat(std::string_view path, std::string_view bytes);

// A file's bytes, in pages of 2 MB where the system has them (model/big_blocks.h): a file of a
// million points is read into fresh memory about twice as fast.
using FileBytes = std::basic_string<char, std::char_traits<char>, BigBlockAllocator<char>>;

// The whole file's bytes, read in one go; a FormatError naming the file when it cannot be read.
// read, when given, is called after every chunk with the bytes read so far and the file's size;
// what it throws ends the reading.
FileBytes readMeshFile(const std::string& path,
                       const std::function<void(size_t done, size_t size)>& read = {});

// Reads bytes in the given format (not Brace); fileName starts every FormatError's message.
PolygonMesh readMesh(std::string_view bytes, MeshFormat format, std::string_view fileName);

// The chosen rule for PLY: binary little-endian, unless the name ends in ".ascii.ply" (in any
// case), which asks for ascii.
PlyEncoding plyEncodingFor(std::string_view path);

// Appends the mesh in the given format (not Brace) to out.
void writeMesh(std::string& out, const PolygonMesh& mesh, MeshFormat format,
               PlyEncoding plyEncoding = PlyEncoding::BinaryLittleEndian);

// Replaces the file at path with the mesh in the given format (not Brace), PLY encoded as
// plyEncodingFor(path) says; the old file stays whole when anything fails (a Failure).
void writeMeshFile(const std::string& path, const PolygonMesh& mesh, MeshFormat format);

}  // namespace meshthin::formats
