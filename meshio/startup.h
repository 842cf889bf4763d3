// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up passes that finish loading: every face registers its ring neighbours as
// connections, then every point below the upper bound of Points computes its value. Expects a
// mesh just filled by a reader; a failure stops at once with the passes done so far kept.
#pragma once

#include <string>
#include <vector>

#include "model/mesh.h"

namespace meshthin {

// The line of the file that each face was read from, 1-based, by face index. May be shorter
// than Faces (or empty) when the faces did not come from a file.
using FaceLines = std::vector<long long>;

// " (line N)", the ending of a failure's description that names the line it comes from.
std::string lineSuffix(long long lineNumber);

// A face that names a point the file does not have fails with this description and its line.
inline constexpr const char* kMissingPointDescription = "Face names a point that does not exist";

void connectPoints(Mesh& mesh, const FaceLines& faceLines = {});
// Every point's value. Each is worked out from its own list and the positions of its neighbours
// and written to its own record only, so a large mesh is valued on several threads at once: up
// to threads, or one per core when threads is 0. The threads share the mesh for the pass: they
// write disjoint records and read what no thread writes. A mesh whose analysis can fail
// (farApartPointsLoaded) is valued on this thread, so that the failure is the first point's,
// with the points before it valued, as on one thread.
void analyzePoints(Mesh& mesh, unsigned threads = 0);
// Both passes, in that order: a value is computed from a complete connection list.
void runStartupPasses(Mesh& mesh, const FaceLines& faceLines = {}, unsigned threads = 0);

}  // namespace meshthin
