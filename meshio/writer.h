// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the reduced mesh: the save dialog, the fixed header, one line per kept point
// (renumbered from 0), "}faces {", one line per kept face, three " } " lines, CR LF throughout.
// The output replaces the target only when it is complete and on the disk (replace_file.h), so a
// failure leaves the target as it was.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "meshio/window.h"
#include "model/mesh.h"
#include "model/numbers.h"

namespace meshthin {

struct MeshSource;

inline constexpr const char* kWriteErrorPrefix = "Error Occurred: ";

// The most points a brace file holds: its reader numbers them in 16 bits.
inline constexpr long long kBracePointLimit = 32767;
// Said once, at the first write of a mesh whose file held per-corner data.
inline constexpr const char* kCornerDataNote =
    "The texture coordinates and corner normals of the loaded file are not written: meshthin "
    "keeps only the points, the faces and the points' colours and normals.";
// The failure of a brace write of a mesh of points points, more than it holds.
std::string bracePointLimitText(long long points);

// The fixed first line of every written file (237 characters, no line break).
std::string meshHeader();

// Writes the whole mesh text. beforeItem runs before each point and each face line, caption
// whenever the writer moves to its next stage. Changes the mesh as writing does: output
// numbers, and the faces that shrink and fixOrder touch.
void writeMeshText(Mesh& mesh, std::ostream& out, const NumberCodec& numbers,
                   const std::function<void()>& beforeItem,
                   const std::function<void(const std::string&)>& caption);

// Replaces the file at target with the mesh in the format its extension names: .obj, .ply, .off
// and .stl through the format writers (the points' colours and normals of source carried over),
// anything else as the brace text of writeMeshText. A mesh of more points than a brace file holds
// fails before anything is written; another format runs beforeItem between its steps (the
// polygons, the text, the file). Changes the mesh as writeMeshText does.
void writeMeshAs(const std::string& target, Mesh& mesh, const NumberCodec& numbers,
                 const std::function<void()>& beforeItem,
                 const std::function<void(const std::string&)>& caption,
                 const MeshSource* source = nullptr);

// Whether kCornerDataNote is to be said now: source's file held corner data and the note was not
// given yet. Marks it given.
bool cornerNoteDue(MeshSource* source);

// The writer as the reduction run calls it: asks for the target (a cancelled dialog writes
// nothing), writes with beforeItem before each line (the run's WindowCheckpoints, which keeps the
// window answering), and shows any failure as "Error Occurred: " and its description. Returns
// the file written, nothing when the dialog was cancelled or the write failed. The format is the
// target's (writeMeshAs); the first write of a mesh from a file with corner data says
// kCornerDataNote. Another format than the brace format is written in one piece, on a thread of
// its own through Window::whileWorking, and a window closing meanwhile stops it between its
// steps (RunStopped) with the target as it was. Memory running out is thrown as NotEnoughMemory
// ("Not enough memory to write FILE") for the caller, who drops the mesh the write half changed
// before showing it.
std::optional<std::string> WriteMesh(Window& window, Mesh& mesh,
                                     const std::function<void()>& beforeItem,
                                     MeshSource* source = nullptr);

}  // namespace meshthin
