// SPDX-License-Identifier: GPL-3.0-or-later
// What the mesh view draws, in plain arrays of its own: one vertex per point slot read from the
// file (the spare slot is not a point), every face that is not removed cut into triangles for
// display, its outline for the wireframe, and the values that colour it. Built from a mesh
// between changes; the view paints from these arrays only, so that nothing it does reads or
// changes the mesh. Also the view's picking: the point nearest to the cursor that the eye sees.
#pragma once

#include <cstdint>
#include <span>
#include <stop_token>
#include <vector>

#include <glm/glm.hpp>

#include "meshio/formats/triangulate.h"
#include "model/mesh.h"
#include "ui/mesh_view_camera.h"
#include "ui/view_blocks.h"

namespace meshthin {

// The geometry's points and triangles sorted into a grid of equal cubes over its box, each
// cube listing what lies in it (a triangle in every cube its box meets): what lets a click's
// pick look at the few hundred points and triangles near the cursor's ray instead of all of
// them, keeping it far under 10 ms at millions of triangles. Built once with the geometry.
struct PickGrid {
    glm::vec3 low{0};     // the corner of cell (0, 0, 0)
    float cellSize = 1;   // the cubes' edge
    glm::ivec3 cells{0};  // along x, y, z; cell (i, j, k) is i + cells.x * (j + cells.y * k)
    // Cell c's points are points[pointStart[c] .. pointStart[c + 1]); the same for triangles,
    // as the number of their first index in MeshGeometry::triangles, divided by 3.
    std::vector<uint32_t> pointStart;
    std::vector<uint32_t> points;
    std::vector<uint32_t> triangleStart;
    std::vector<uint32_t> triangles;
    std::vector<uint32_t> pointCells;  // the cells that hold a point, ascending

    bool empty() const { return pointStart.empty(); }
    glm::ivec3 cellOf(glm::vec3 p) const {
        return glm::clamp(glm::ivec3(glm::floor((p - low) / cellSize)), glm::ivec3(0), cells - 1);
    }
    uint32_t index(glm::ivec3 c) const {
        return static_cast<uint32_t>(c.x + cells.x * (c.y + cells.y * c.z));
    }
};

struct MeshGeometry {
    std::vector<float> positions;  // x, y, z of point i at 3i
    std::vector<double> values;    // point i's value, exactly as the mesh has it
    std::vector<float> shades;     // point i's place in the value range, 0..1, for the colour map
    std::vector<uint8_t> shown;    // 1 for a point that is not removed
    std::vector<uint32_t> triangles;  // three point numbers each
    std::vector<uint32_t> edges;      // two point numbers each: the faces' outlines, each edge once
    float meanEdgeLength = 0;         // of those edges
    glm::vec3 centre{0};              // of the box around the shown points
    float radius = 1;                 // of the sphere about centre holding every shown point
    double lowValue = 0;              // the value range of the shown points
    double highValue = 0;
    glm::vec3 boxLow{0};  // the box around the shown points
    glm::vec3 boxHigh{0};

    // Whether the faces close the surface and all turn the same way: every edge bounds exactly
    // two faces, which run along it in opposite directions. Seen from outside such a surface,
    // a face turned away from the eye is always hidden behind others, so the view need not
    // draw it: half of a closed mesh's triangles, and of its marks.
    bool closed = false;
    // For a closed surface: whether its triangles turn counter-clockwise seen from outside.
    bool facesOutward = true;
    // For a closed surface: per point, the sum of its triangles' area-weighted normals, pointing
    // out of the surface (x, y, z at 3i); empty for any other.
    std::vector<float> normals;
    size_t shownCount = 0;  // of shown points
    PickGrid grid;

    // Coarser surfaces over the same points, finest first, for meshes of more triangles than a
    // frame of Mesa's software renderer draws in time (see kFullDetailTriangles): the points
    // gathered into cubes of cellSize, each cube's first point standing for the rest, and every
    // triangle whose corners fall into three cubes kept once, between their points. Drawn where
    // a cube spans at most a pixel or two on screen (while the camera moves, a few), it looks
    // like the whole surface at a fraction of the triangles. Empty for smaller meshes.
    struct Coarser {
        float cellSize = 0;
        std::vector<uint32_t> triangles;
    };
    std::vector<Coarser> coarser;

    // For a mesh of more than kFullDetailTriangles triangles: the whole surface's triangles and
    // the outline's edges sorted into blocks of space (ui/view_blocks.h), so that a frame close
    // up draws only what it shows. Empty for smaller meshes, whose arrays keep the faces' order.
    ViewBlocks surfaceBlocks;
    ViewBlocks edgeBlocks;
    // Every point's number, sorted into blocks the same way: the marks drawn as dots close up.
    std::vector<uint32_t> pointOrder;
    ViewBlocks pointBlocks;

    size_t pointCount() const { return shown.size(); }
    glm::vec3 position(size_t point) const {
        return {positions[3 * point], positions[3 * point + 1], positions[3 * point + 2]};
    }
};

// The geometry of mesh; empty when no mesh is loaded. Only reads the mesh: a rebuilt face is
// put into the ring order its walk gives, as the writer would, without storing it. At a million
// points it takes about a second, so the view builds it on a thread of its own: stop, when
// asked, ends it early with a geometry that is to be thrown away.
MeshGeometry buildGeometry(const Mesh& mesh, std::stop_token stop = {});

// The diameter in pixels of the mark of a point that a run removes, seen by camera in a view of
// the given height: 8 where the points lie far apart on screen, down to 3 where they crowd
// (a fitted mesh of tens of thousands of points), so that the marks leave the surface between
// them in sight. Drawing them is the larger part of a frame, and it grows with their area.
float removalMarkDiameter(const MeshGeometry& geometry, const MeshViewCamera& camera,
                          int viewportHeight);

// Up to this many triangles are drawn as they are in every frame; above, coarser surfaces are
// made for the frames in which they look the same.
inline constexpr size_t kFullDetailTriangles = 300000;

// The triangles to draw for camera in a view of the given height: the coarsest of geometry's
// coarser surfaces whose cubes span at most pixels on screen, or the whole surface; of the
// coarser ones, none of more than kFullDetailTriangles (a frame of a tenth of a second).
const std::vector<uint32_t>& trianglesToDraw(const MeshGeometry& geometry,
                                             const MeshViewCamera& camera, int viewportHeight,
                                             float pixels);

// Whether the marks are drawn as dots, seen by camera in a view of the given height: only
// where the points lie at least kDotSpacing pixels apart on screen. Closer, dots would bury
// the surface (at a million points every pixel holds several points), so the surface itself is
// tinted where points go, each point's mark blending into the faces around it, and the dots
// come back as you zoom in, where each can be told apart and clicked.
inline constexpr float kDotSpacing = 6;
bool marksAsDots(const MeshGeometry& geometry, const MeshViewCamera& camera, int viewportHeight);

// The point the eye sees nearest to the cursor (x, y in pixels), within radius pixels of it;
// -1 when there is none. A point hidden behind the surface is never picked.
int pickPoint(const MeshGeometry& geometry, const MeshViewCamera& camera, float x, float y,
              int width, int height, float radius);

// Whether the straight line from eye to the point passes through no triangle that does not hold
// the point.
bool seenFrom(const MeshGeometry& geometry, glm::vec3 eye, uint32_t point);

}  // namespace meshthin
