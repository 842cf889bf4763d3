// SPDX-License-Identifier: GPL-3.0-or-later
// Generated meshes in the mesh file's read format, for the bundled examples, the tests and the
// benchmarks: a noisy closed sphere, a bumpy open grid and a cube. Coordinates are centred in
// the preview's visible area.
#pragma once

#include <string>

namespace meshthin::generate {

// A closed triangulated sphere of rings x segments quads split into triangles, with two poles:
// (rings - 1) * segments + 2 points. noise moves every point radially by up to that fraction.
std::string sphere(int rings, int segments, double noise, unsigned seed);

// An open triangulated grid of columns x rows points, gently bumped in z.
std::string grid(int columns, int rows, double bump, unsigned seed);

// A cube of six quads, the smallest closed mesh.
std::string cube();

// A flat fan: a centre point (number 0) and a ring of triangles points around it, one triangle
// per ring edge. The slowest mesh to remove entirely: removing the centre connects every ring
// point to every other, and each later removal rewires that whole neighbourhood again.
std::string fan(int triangles);

// A sphere with about pointCount points.
std::string sphereWithAbout(int pointCount, unsigned seed);

// The same rough surface at every size, sampled more or less finely: the sphere's noise and the
// grid's bumps are scaled with the distance between neighbouring points, so that a point of a
// large mesh sees about what a point of a small one sees. (The meshes above keep their noise and
// bumps as the points draw closer, so a larger one is also a rougher one.) The grid has about
// pointCount points in 8 columns to every 5 rows; at 4,000 points both are the meshes above.
std::string selfSimilarSphere(int pointCount, unsigned seed);
std::string selfSimilarGrid(int pointCount, unsigned seed);
// The self-similar sphere as an OBJ file, for sizes past the mesh file's 32,767 points.
std::string selfSimilarSphereObj(int pointCount, unsigned seed);

}  // namespace meshthin::generate
