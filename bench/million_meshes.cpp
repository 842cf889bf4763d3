// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/million_meshes.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

namespace meshthin::bench {

namespace {

using formats::PolygonMesh;

void addFace(PolygonMesh& mesh, std::initializer_list<uint32_t> corners) {
    mesh.corners.insert(mesh.corners.end(), corners);
    mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
}

// columns x rows points on a gently waving sheet with noise of a tenth of their spacing. Most
// cells are quads; every third is two triangles, and in every fifth row pairs of cells are
// merged into hexagons.
PolygonMesh polygonSurface(long long points) {
    PolygonMesh mesh;
    const auto columns = static_cast<uint32_t>(std::lround(std::sqrt(points * 1.6)));
    const auto rows = static_cast<uint32_t>(points / columns);
    const double step = 1.0 / columns;
    std::mt19937 random(21);
    std::uniform_real_distribution<double> jitter(-0.1 * step, 0.1 * step);
    mesh.positions.reserve(3ULL * columns * rows);
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            const double x = c * step;
            const double y = r * step;
            mesh.positions.insert(mesh.positions.end(),
                                  {x + jitter(random), y + jitter(random),
                                   0.05 * std::sin(x * 9) * std::cos(y * 7) + jitter(random)});
        }
    }
    const auto at = [columns](uint32_t r, uint32_t c) { return r * columns + c; };
    for (uint32_t r = 0; r + 1 < rows; ++r) {
        for (uint32_t c = 0; c + 1 < columns; ++c) {
            const uint32_t a = at(r, c);
            const uint32_t b = at(r, c + 1);
            const uint32_t d = at(r + 1, c + 1);
            const uint32_t e = at(r + 1, c);
            if (r % 5 == 2 && c % 4 == 0 && c + 2 < columns) {
                // This cell and the next as one hexagon.
                addFace(mesh, {a, b, at(r, c + 2), at(r + 1, c + 2), d, e});
                ++c;
            } else if ((r + c) % 3 == 0) {
                addFace(mesh, {a, b, d});
                addFace(mesh, {a, d, e});
            } else {
                addFace(mesh, {a, b, d, e});
            }
        }
    }
    return mesh;
}

// A closed sphere of rings x segments triangulated quads and two poles, every point moved
// radially by up to a tenth of the spacing.
PolygonMesh triangleScan(long long points) {
    PolygonMesh mesh;
    const auto segments = static_cast<uint32_t>(std::lround(std::sqrt(points * 2.0)));
    const auto rings = static_cast<uint32_t>((points - 2) / segments + 1);
    const double spacing = 2 * std::numbers::pi / segments;
    std::mt19937 random(22);
    std::uniform_real_distribution<double> jitter(-0.1 * spacing, 0.1 * spacing);
    const auto add = [&](double theta, double phi) {
        const double radius = 1 + jitter(random);
        mesh.positions.insert(mesh.positions.end(),
                              {radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta),
                               radius * std::sin(theta) * std::sin(phi)});
    };
    for (uint32_t ring = 1; ring < rings; ++ring) {
        for (uint32_t s = 0; s < segments; ++s) {
            add(std::numbers::pi * ring / rings, 2 * std::numbers::pi * s / segments);
        }
    }
    add(0, 0);
    add(std::numbers::pi, 0);
    const uint32_t north = static_cast<uint32_t>(mesh.positions.size() / 3) - 2;
    const uint32_t south = north + 1;
    const auto at = [segments](uint32_t ring, uint32_t s) {
        return (ring - 1) * segments + (s % segments);
    };
    for (uint32_t s = 0; s < segments; ++s) {
        addFace(mesh, {north, at(1, s + 1), at(1, s)});
    }
    for (uint32_t ring = 1; ring + 1 < rings; ++ring) {
        for (uint32_t s = 0; s < segments; ++s) {
            addFace(mesh, {at(ring, s), at(ring, s + 1), at(ring + 1, s + 1)});
            addFace(mesh, {at(ring, s), at(ring + 1, s + 1), at(ring + 1, s)});
        }
    }
    for (uint32_t s = 0; s < segments; ++s) {
        addFace(mesh, {south, at(rings - 1, s), at(rings - 1, s + 1)});
    }
    return mesh;
}

}  // namespace

formats::PolygonMesh millionShape(int shape, long long points) {
    return shape == kPolygonSurface ? polygonSurface(points) : triangleScan(points);
}

}  // namespace meshthin::bench
