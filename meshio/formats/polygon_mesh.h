// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh as the file formats hand it over: plain arrays, cheap at millions of points, with no
// notion of values, removal or the window. The readers fill it in the file's own order; the
// writers take it as it is. A PolygonMesh is a value: whoever holds it owns it, and a thread
// may read one that no thread changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/big_blocks.h"
#include "model/failure.h"

namespace meshthin::formats {

// The arrays that grow with the mesh, in pages of 2 MB where the system has them
// (model/big_blocks.h): a reader fills them front to back once.
template <class T>
using MeshArray = std::vector<T, BigBlockAllocator<T>>;

struct PolygonMesh {
    MeshArray<double> positions;           // x, y, z of every point, in the file's order
    MeshArray<uint32_t> faceStarts = {0};  // face f's corners: corners[faceStarts[f] ..
                                           // faceStarts[f + 1]); faces + 1 entries
    MeshArray<uint32_t> corners;           // 0-based point numbers
    std::vector<uint8_t> colours;          // empty, or colourChannels bytes per point
    int colourChannels = 0;                // 0, 3 (red, green, blue) or 4 (and alpha)
    std::vector<float> normals;            // empty, or x, y, z per point
    bool cornerDataDropped = false;  // the file held texture coordinates or per-corner normals,
                                     // which were not kept

    size_t pointCount() const { return positions.size() / 3; }
    size_t faceCount() const { return faceStarts.size() - 1; }
    std::span<const uint32_t> face(size_t f) const {
        return {corners.data() + faceStarts[f], corners.data() + faceStarts[f + 1]};
    }
    bool operator==(const PolygonMesh&) const = default;
};

// The formats meshthin reads and writes. Brace is its own brace-structured text, which the mesh
// loader and writer handle; the others go through the readers and writers of this folder.
enum class MeshFormat { Brace, Obj, Ply, Off, Stl };

// Bad input in any reader: the message names the file, the line (text) or byte offset (binary)
// and what was expected there. A Failure, so the window and the command line show it as such.
class FormatError : public Failure {
public:
    using Failure::Failure;
};

}  // namespace meshthin::formats
