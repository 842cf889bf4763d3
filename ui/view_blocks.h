// SPDX-License-Identifier: GPL-3.0-or-later
// The whole surface's triangles and the outline's edges of a large mesh, sorted into blocks of
// space, each with the box its primitives fill, so that a frame draws only the blocks in view.
// Zoomed in on a million points, Mesa's software renderer took 150 ms a frame for the two
// million triangles, nearly all of them outside the picture, and 250 ms with the outline;
// sorted, it draws the few blocks in sight. Built with the geometry, off the window's thread;
// read only from then on.
#pragma once

#include <cstdint>
#include <vector>

#include <glm/glm.hpp>

namespace meshthin {

struct ViewBlocks {
    // Block b's primitives are those from start[b] to start[b + 1] of the sorted index array,
    // counted in primitives; they lie within low[b]..high[b]. Only blocks that hold some.
    std::vector<uint32_t> start;
    std::vector<glm::vec3> low;
    std::vector<glm::vec3> high;

    bool empty() const { return low.empty(); }
    size_t count() const { return low.size(); }
};

// Sorts the primitives of indices (corners point numbers each, positions holding x, y, z of point
// i at 3i) into blocks: cubes of a grid of about perSide cubes along the widest side of the box
// boxLow..boxHigh, a primitive going to the cube of its first corner. Each primitive keeps its
// corners in their order; within a block, the primitives keep theirs.
ViewBlocks sortIntoBlocks(std::vector<uint32_t>& indices, int corners,
                          const std::vector<float>& positions, glm::vec3 boxLow, glm::vec3 boxHigh,
                          int perSide);

// The runs of the sorted index array (first index and count of indices, for corners per
// primitive) whose blocks viewProjection may show: boxes wholly outside one side of the view
// are left out, and runs that follow each other are joined. Returns the indices in all.
size_t runsInView(const ViewBlocks& blocks, int corners, const glm::mat4& viewProjection,
                  std::vector<uint32_t>& firsts, std::vector<int32_t>& counts);

}  // namespace meshthin
