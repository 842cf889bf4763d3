// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a mesh file at start-up: the notice, the open dialog, the points and faces read into
// a new mesh, the start-up passes and the lists, with every failure shown in one "Error Occured: "
// box. The read view of the format is deliberately tolerant: it looks only for "points {",
// point groups "(x y z)", "faces {" and "}", and ignores the rest of each line. A file that starts
// with the writer's header is read the writer's way (loader.cpp), so that every file the program
// writes opens again as it was written.
//
// Lines may end with CR LF, LF or a lone CR; bytes are 8-bit text and never rejected as such.
#pragma once

#include <functional>
#include <istream>
#include <string>

#include "meshio/startup.h"
#include "meshio/window.h"
#include "model/mesh.h"
#include "model/numbers.h"

namespace meshthin {

struct MeshSource;

inline constexpr const char* kLoadNotice =
    "Choose a file to load.  Don't worry, it won't be modified until you click 'attempt "
    "reduction'";
inline constexpr const char* kLoadErrorPrefix = "Error Occured: ";

// Reads the points and faces of a mesh text into the empty mesh's Points and Faces, which it
// creates, and returns the line each face was read from. Throws a Failure (the slots read so far
// stay) on a malformed group, a number that does not convert, a 16-bit overflow or the end of the
// text while a marker or a line is still expected ("Input past end of file" and, in parentheses,
// what the text lacked); a failure in a point or face line ends with " (line N)". A read error of
// the stream is "The file could not be read" and leaves the mesh empty.
FaceLines readMesh(Mesh& mesh, std::istream& in, const NumberCodec& numbers);
// The same for a file; a file that cannot be opened is a Failure, "Cannot open file: PATH" and
// the system's reason in parentheses, and leaves the mesh empty.
FaceLines readMeshFile(Mesh& mesh, const std::string& path, const NumberCodec& numbers);
// Reads the file into a new mesh and runs the start-up passes: the mesh is then ready for a
// reduction run.
Mesh loadMesh(const std::string& path, const NumberCodec& numbers);

// How the load step reads a file into a mesh ready for a run: by default loadAnyMesh on the
// calling thread; the window reads some files on a thread of its own. Throwing LoadStopped ends
// the load step with nothing shown and the mesh as it was.
using MeshReader =
    std::function<Mesh(const std::string& path, const NumberCodec& numbers, MeshSource* source)>;

// The window's load step. Returns true when the mesh was read, connected, analysed, put in
// place of mesh and listed; false after a cancelled dialog or any failure, which it has shown,
// with mesh as it was.
bool Form_Load(Window& window, Mesh& mesh, const std::function<void()>& FillLists,
               MeshSource* source = nullptr, const MeshReader& read = {});
// The load step for a file named when the program was started: no notice and no open dialog,
// the rest as Form_Load. The file may be in any format meshthin reads (any_mesh.h); source,
// when given, is told where the mesh came from once it is in place.
bool openMeshFile(Window& window, Mesh& mesh, const std::string& fileName,
                  const std::function<void()>& FillLists, MeshSource* source = nullptr,
                  const MeshReader& read = {});

}  // namespace meshthin
