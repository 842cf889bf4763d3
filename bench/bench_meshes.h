// SPDX-License-Identifier: GPL-3.0-or-later
// The meshes every benchmark works on, made once per process, and the steps that read one into
// a Mesh.
#pragma once

#include <string>

#include "meshio/numtext.h"
#include "model/mesh.h"

namespace meshthin::bench {

enum Shape { kSphere = 0, kGrid = 1, kSelfSimilarSphere = 2, kSelfSimilarGrid = 3 };

// A noisy closed sphere or a bumpy open grid of about the given number of points (1,000, 4,000,
// 16,000 or 32,767; the self-similar shapes take any number), in the mesh file's format.
const std::string& meshOf(int shape, int points);

inline const numtext::LocaleNumbers kNumbers('.');

// A new mesh read from the text; then the start-up passes as well.
Mesh loadText(const std::string& text);
Mesh loadAndAnalyzeText(const std::string& text);

// A mesh of any size, past the brace format's 32,767 points too: meshOf's text read into a
// polygon mesh and made a Mesh as a mesh from an OBJ file is (meshFromPolygons), start-up
// passes run. For the self-similar shapes, which take any number of points.
Mesh wideMeshOf(int shape, int points);

// The threshold below which the given share of the mesh's points lies before any removal.
double thresholdFor(const Mesh& mesh, double share);

// The number of loaded points of the mesh that runs have removed.
long long removedCount(const Mesh& mesh);

}  // namespace meshthin::bench
