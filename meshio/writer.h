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

inline constexpr const char* kWriteErrorPrefix = "Error Occurred: ";

// The fixed first line of every written file (237 characters, no line break).
std::string meshHeader();

// Writes the whole mesh text. beforeItem runs before each point and each face line, caption
// whenever the writer moves to its next stage. Changes the mesh as writing does: output
// numbers, and the faces that shrink and fixOrder touch.
void writeMeshText(Mesh& mesh, std::ostream& out, const NumberCodec& numbers,
                   const std::function<void()>& beforeItem,
                   const std::function<void(const std::string&)>& caption);

// The writer as the reduction run calls it: asks for the target (a cancelled dialog writes
// nothing), writes with beforeItem before each line (the run's WindowCheckpoints, which keeps the
// window answering), and shows any failure as "Error Occurred: " and its description. Returns
// the file written, nothing when the dialog was cancelled or the write failed.
std::optional<std::string> WriteMesh(Window& window, Mesh& mesh,
                                     const std::function<void()>& beforeItem);

}  // namespace meshthin
