// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a mesh from a file in any format meshthin reads. The format is the one the extension
// names (.obj, .ply, .off, .stl), else the one the content looks like; a brace file is read by
// the brace reader exactly as a file is loaded on its own (loader.h), with its messages and
// failures, and any other through the format readers (formats/), whose failures name the file
// and the place. Either way the start-up passes have run and the mesh is ready for a run.
#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "meshio/formats/polygon_mesh.h"
#include "model/mesh.h"
#include "model/numbers.h"

namespace meshthin {

// Where a loaded mesh came from, as far as writing it again needs to know: the format, the
// polygon mesh read (only when it holds per-point colours or normals, which a write carries
// over for the points kept), and whether the file held per-corner data that was not kept.
struct MeshSource {
    formats::MeshFormat format = formats::MeshFormat::Brace;
    std::shared_ptr<const formats::PolygonMesh> attributes;
    bool cornerDataDropped = false;
    // Whether the user was told that the corner data is not written; they are told once.
    bool cornerNoteGiven = false;
};

// Thrown out of a load asked to stop. Not a failure, and deliberately not a std::exception: no
// failure handler reports it, as a stopped load shows nothing.
struct LoadStopped {};

// What a load is doing, for a progress display.
enum class LoadStage { ReadingFile, ReadingMesh, ConnectingPoints };

// Follows and stops a load that runs on a thread of its own. report is called on that thread
// (whatever it shares with another it passes through atomics): with the bytes read so far and
// the file's size while the file is read, and with 0 and 0 as each later stage begins. A load
// whose stop is requested throws LoadStopped at its next look: after each chunk of the file and
// between the stages.
struct LoadProgress {
    std::stop_token stop;
    std::function<void(LoadStage stage, long long done, long long total)> report;
};

// Reads the file at path into a new mesh and runs the start-up passes. source, when given, is
// told where the mesh came from. progress, when given, follows the load (the mesh made is the
// same).
Mesh loadAnyMesh(const std::string& path, const NumberCodec& numbers, MeshSource* source = nullptr,
                 const LoadProgress* progress = nullptr);

}  // namespace meshthin
