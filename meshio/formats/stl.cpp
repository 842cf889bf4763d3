// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/stl.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "meshio/formats/text_scan.h"
#include "meshio/formats/triangulate.h"

namespace meshthin::formats {

namespace {

using detail::TextCursor;

constexpr size_t kHeaderSize = 84;
constexpr size_t kFacetSize = 50;

// Gives each distinct position one point number, in the order of first appearance: an open
// hash table of point numbers over the mesh's own positions, so the coordinates are not copied.
class Welder {
public:
    // Room for the points expected (at most half the slots in use) saves growing the table.
    Welder(PolygonMesh& mesh, size_t expectedPoints) : mesh(mesh) {
        size_t size = 1024;
        while (size < 2 * expectedPoints) {
            size *= 2;
        }
        slots.assign(size, kEmpty);
    }

    uint32_t pointAt(double x, double y, double z) {
        // Adding 0 turns -0 into 0, so that the two weld.
        x += 0.0;
        y += 0.0;
        z += 0.0;
        size_t slot = hash(x, y, z) & (slots.size() - 1);
        for (;;) {
            const uint32_t point = slots[slot];
            if (point == kEmpty) {
                break;
            }
            const double* p = mesh.positions.data() + 3 * size_t{point};
            if (p[0] == x && p[1] == y && p[2] == z) {
                return point;
            }
            slot = (slot + 1) & (slots.size() - 1);
        }
        const auto point = static_cast<uint32_t>(mesh.pointCount());
        mesh.positions.insert(mesh.positions.end(), {x, y, z});
        slots[slot] = point;
        if (2 * mesh.pointCount() > slots.size()) {
            grow();
        }
        return point;
    }

private:
    static constexpr uint32_t kEmpty = std::numeric_limits<uint32_t>::max();

    static size_t hash(double x, double y, double z) {
        uint64_t h = std::bit_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ULL;
        h = (h ^ (h >> 32) ^ std::bit_cast<uint64_t>(y)) * 0xC2B2AE3D27D4EB4FULL;
        h = (h ^ (h >> 29) ^ std::bit_cast<uint64_t>(z)) * 0x165667B19E3779F9ULL;
        return static_cast<size_t>(h ^ (h >> 32));
    }

    void grow() {
        slots.assign(2 * slots.size(), kEmpty);
        for (uint32_t point = 0; point < mesh.pointCount(); ++point) {
            const double* p = mesh.positions.data() + 3 * size_t{point};
            size_t slot = hash(p[0], p[1], p[2]) & (slots.size() - 1);
            while (slots[slot] != kEmpty) {
                slot = (slot + 1) & (slots.size() - 1);
            }
            slots[slot] = point;
        }
    }

    PolygonMesh& mesh;
    std::vector<uint32_t> slots;
};

bool sameWord(std::string_view word, std::string_view lowerCase) {
    if (word.size() != lowerCase.size()) {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        const char c = word[i] >= 'A' && word[i] <= 'Z' ? static_cast<char>(word[i] + 32) : word[i];
        if (c != lowerCase[i]) {
            return false;
        }
    }
    return true;
}

void expectWord(TextCursor& in, std::string_view lowerCase) {
    in.skipSpaceAndComments();
    const size_t at = in.offset();
    if (!sameWord(in.word(), lowerCase)) {
        in.failAt(at, "\"" + std::string(lowerCase) + "\"");
    }
}

PolygonMesh readAscii(std::string_view bytes, std::string_view fileName) {
    PolygonMesh mesh;
    TextCursor in(bytes, fileName);
    // A facet takes about 250 bytes of text, and a closed surface has half as many points as
    // facets.
    Welder welder(mesh, bytes.size() / 500);
    expectWord(in, "solid");
    in.skipLine();  // the solid's name
    for (;;) {
        in.skipSpaceAndComments();
        const size_t at = in.offset();
        const std::string_view word = in.word();
        if (sameWord(word, "endsolid")) {
            in.skipLine();
            in.skipSpaceAndComments();
            if (in.atEnd()) {
                break;
            }
            expectWord(in, "solid");
            in.skipLine();
            continue;
        }
        if (!sameWord(word, "facet")) {
            in.failAt(at, "\"facet\" or \"endsolid\"");
        }
        in.skipLine();  // the facet's normal, worked out from the corners where it is needed
        expectWord(in, "outer");
        expectWord(in, "loop");
        const size_t first = mesh.corners.size();
        for (;;) {
            in.skipSpaceAndComments();
            const size_t cornerAt = in.offset();
            const std::string_view corner = in.word();
            if (sameWord(corner, "endloop")) {
                break;
            }
            if (!sameWord(corner, "vertex")) {
                in.failAt(cornerAt, "\"vertex\" or \"endloop\"");
            }
            const double x = in.real("a coordinate");
            const double y = in.real("a coordinate");
            const double z = in.real("a coordinate");
            mesh.corners.push_back(welder.pointAt(x, y, z));
        }
        if (mesh.corners.size() - first < 3) {
            in.failAt(at, "a facet of at least 3 corners");
        }
        if (mesh.corners.size() > std::numeric_limits<uint32_t>::max()) {
            in.failAt(at, "at most 4294967295 corners in all");
        }
        mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
        expectWord(in, "endfacet");
    }
    return mesh;
}

uint32_t loadCount(std::string_view bytes) {
    uint32_t count;
    std::memcpy(&count, bytes.data() + 80, 4);
    return std::endian::native == std::endian::big ? __builtin_bswap32(count) : count;
}

float loadFloat(const char* at) {
    uint32_t bits;
    std::memcpy(&bits, at, 4);
    return std::bit_cast<float>(std::endian::native == std::endian::big ? __builtin_bswap32(bits)
                                                                        : bits);
}

PolygonMesh readBinary(std::string_view bytes, std::string_view fileName) {
    if (bytes.size() < kHeaderSize) {
        detail::failAtByte(fileName, bytes.size(),
                           "an 80-byte header and a triangle count (84 bytes), but the file ends");
    }
    const uint64_t count = loadCount(bytes);
    const uint64_t size = kHeaderSize + kFacetSize * count;
    if (bytes.size() < size) {
        detail::failAtByte(fileName, bytes.size(),
                           std::to_string(count) + " triangles as the header announces (" +
                               std::to_string(size) + " bytes), but the file ends");
    }
    if (bytes.size() > size) {
        detail::failAtByte(fileName, size,
                           "the end of the file after the " + std::to_string(count) +
                               " triangles the header announces");
    }
    PolygonMesh mesh;
    mesh.corners.reserve(3 * count);
    mesh.faceStarts.reserve(count + 1);
    // A closed surface of triangles has about half as many points as triangles.
    mesh.positions.reserve(3 * (count / 2 + 3));
    Welder welder(mesh, count / 2);
    for (uint64_t t = 0; t < count; ++t) {
        const size_t facet = kHeaderSize + kFacetSize * t;
        for (size_t k = 0; k < 3; ++k) {
            const size_t at = facet + 12 + 12 * k;
            const double x = loadFloat(bytes.data() + at);
            const double y = loadFloat(bytes.data() + at + 4);
            const double z = loadFloat(bytes.data() + at + 8);
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
                detail::failAtByte(fileName, at, "finite coordinates");
            }
            mesh.corners.push_back(welder.pointAt(x, y, z));
        }
        mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
    }
    return mesh;
}

bool startsWithSolid(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size() && (detail::isBlank(bytes[i]) || bytes[i] == '\n')) {
        ++i;
    }
    return sameWord(bytes.substr(i, 5), "solid");
}

void appendWord(std::string& out, uint32_t bits) {
    if constexpr (std::endian::native == std::endian::big) {
        bits = __builtin_bswap32(bits);
    }
    char raw[4];
    std::memcpy(raw, &bits, 4);
    out.append(raw, 4);
}

void appendFloat(std::string& out, float value) {
    appendWord(out, std::bit_cast<uint32_t>(value));
}

void appendFacet(std::string& out, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c) {
    // The normal of the corners as written, worked out in double so that it is the same
    // however the triangle was come by.
    const double ux = double{b.x} - a.x, uy = double{b.y} - a.y, uz = double{b.z} - a.z;
    const double vx = double{c.x} - a.x, vy = double{c.y} - a.y, vz = double{c.z} - a.z;
    double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length > 0 && std::isfinite(length)) {
        nx /= length;
        ny /= length;
        nz /= length;
    } else {
        nx = ny = nz = 0;
    }
    for (double n : {nx, ny, nz}) {
        appendFloat(out, static_cast<float>(n));
    }
    for (const glm::vec3* corner : {&a, &b, &c}) {
        appendFloat(out, corner->x);
        appendFloat(out, corner->y);
        appendFloat(out, corner->z);
    }
    out.append(2, '\0');
}

}  // namespace

bool hasBinaryStlSize(std::string_view bytes) {
    return bytes.size() >= kHeaderSize &&
           bytes.size() == kHeaderSize + kFacetSize * uint64_t{loadCount(bytes)};
}

PolygonMesh readStl(std::string_view bytes, std::string_view fileName) {
    if (startsWithSolid(bytes) && !hasBinaryStlSize(bytes)) {
        return readAscii(bytes, fileName);
    }
    return readBinary(bytes, fileName);
}

void writeStl(std::string& out, const PolygonMesh& mesh) {
    uint64_t triangles = 0;
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        const size_t corners = mesh.face(f).size();
        triangles += corners >= 3 ? corners - 2 : 0;
    }
    if (triangles > std::numeric_limits<uint32_t>::max()) {
        throw Failure("STL holds at most 4294967295 triangles; the mesh cuts into " +
                      std::to_string(triangles));
    }
    // Must not start with "solid", which would mark an ascii file.
    std::string header = "binary STL written by meshthin";
    header.resize(80, ' ');
    out += header;
    appendWord(out, static_cast<uint32_t>(triangles));
    out.reserve(out.size() + kFacetSize * triangles);
    const auto at = [&](uint32_t point) {
        const double* p = mesh.positions.data() + 3 * size_t{point};
        const glm::vec3 corner(static_cast<float>(p[0]), static_cast<float>(p[1]),
                               static_cast<float>(p[2]));
        if (!std::isfinite(corner.x) || !std::isfinite(corner.y) || !std::isfinite(corner.z)) {
            throw Failure("STL holds 32-bit coordinates, and point " + std::to_string(point) +
                          " lies beyond their range");
        }
        return corner;
    };
    std::vector<glm::vec3> ring;
    std::vector<uint32_t> cut;
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        const std::span<const uint32_t> face = mesh.face(f);
        if (face.size() < 3) {
            continue;
        }
        ring.clear();
        for (uint32_t point : face) {
            ring.push_back(at(point));
        }
        if (face.size() == 3) {
            appendFacet(out, ring[0], ring[1], ring[2]);
            continue;
        }
        cut.clear();
        triangulatePolygon(ring, 0, cut);
        for (size_t k = 0; k + 2 < cut.size(); k += 3) {
            appendFacet(out, ring[cut[k]], ring[cut[k + 1]], ring[cut[k + 2]]);
        }
    }
}

}  // namespace meshthin::formats
