// SPDX-License-Identifier: GPL-3.0-or-later
// What the mesh view draws, in plain arrays of its own: one vertex per point slot read from the
// file (the spare slot is not a point), every face that is not removed cut into triangles for
// display, its outline for the wireframe, and the values that colour it. Built from a mesh
// between changes; the view paints from these arrays only, so that nothing it does reads or
// changes the mesh. Also the view's picking: the point nearest to the cursor that the eye sees.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <glm/glm.hpp>

#include "meshio/formats/triangulate.h"
#include "model/mesh.h"
#include "ui/mesh_view_camera.h"

namespace meshthin {

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

    size_t pointCount() const { return shown.size(); }
    glm::vec3 position(size_t point) const {
        return {positions[3 * point], positions[3 * point + 1], positions[3 * point + 2]};
    }
};

// The geometry of mesh; empty when no mesh is loaded. Only reads the mesh: a rebuilt face is
// put into the ring order its walk gives, as the writer would, without storing it.
MeshGeometry buildGeometry(const Mesh& mesh);

// The diameter in pixels of the mark of a point that a run removes, seen by camera in a view of
// the given height: 8 where the points lie far apart on screen, down to 3 where they crowd
// (a fitted mesh of tens of thousands of points), so that the marks leave the surface between
// them in sight. Drawing them is the larger part of a frame, and it grows with their area.
float removalMarkDiameter(const MeshGeometry& geometry, const MeshViewCamera& camera,
                          int viewportHeight);

// The point the eye sees nearest to the cursor (x, y in pixels), within radius pixels of it;
// -1 when there is none. A point hidden behind the surface is never picked.
int pickPoint(const MeshGeometry& geometry, const MeshViewCamera& camera, float x, float y,
              int width, int height, float radius);

// Whether the straight line from eye to the point passes through no triangle that does not hold
// the point.
bool seenFrom(const MeshGeometry& geometry, glm::vec3 eye, uint32_t point);

}  // namespace meshthin
