// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mesh_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/mesh.h"
#include "ui/colour_map.h"

namespace meshthin {

namespace {

// --- reading the mesh ---

void readPoints(const Mesh& mesh, MeshGeometry& geometry) {
    const long long lastPoint = mesh.lastLoadedPoint();
    const size_t count = static_cast<size_t>(std::max(lastPoint + 1, 0LL));
    geometry.positions.resize(3 * count);
    geometry.values.resize(count);
    geometry.shown.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const Point& point = mesh.Points(static_cast<long long>(i));
        geometry.positions[3 * i] = static_cast<float>(point.getX());
        geometry.positions[3 * i + 1] = static_cast<float>(point.getY());
        geometry.positions[3 * i + 2] = static_cast<float>(point.getZ());
        geometry.shown[i] = point.removed() ? 0 : 1;
        geometry.values[i] = point.removed() ? 0 : point.getValue();
    }
}

void measure(MeshGeometry& geometry) {
    glm::vec3 low(std::numeric_limits<float>::max());
    glm::vec3 high(std::numeric_limits<float>::lowest());
    bool any = false;
    for (size_t i = 0; i < geometry.pointCount(); ++i) {
        if (geometry.shown[i] != 0) {
            const glm::vec3 p = geometry.position(i);
            low = glm::min(low, p);
            high = glm::max(high, p);
            geometry.lowValue =
                any ? std::min(geometry.lowValue, geometry.values[i]) : geometry.values[i];
            geometry.highValue =
                any ? std::max(geometry.highValue, geometry.values[i]) : geometry.values[i];
            any = true;
        }
    }
    geometry.boxLow = any ? low : glm::vec3(0);
    geometry.boxHigh = any ? high : glm::vec3(0);
    geometry.centre = any ? (low + high) / 2.0f : glm::vec3(0);
    float radius = 0;
    for (size_t i = 0; i < geometry.pointCount(); ++i) {
        if (geometry.shown[i] != 0) {
            radius = std::max(radius, glm::length(geometry.position(i) - geometry.centre));
        }
    }
    geometry.radius = radius > 0 ? radius : 1;
    geometry.shades.resize(geometry.pointCount());
    for (size_t i = 0; i < geometry.pointCount(); ++i) {
        geometry.shades[i] = static_cast<float>(
            fractionInRange(geometry.values[i], geometry.lowValue, geometry.highValue));
    }
}

// The working sets and order of the ring walk, made once for all faces.
struct RingWalk {
    PointSet collection;
    PointSet walked;
    PointList order;
};

// The face's points in ring order as the writer would put them: a rebuilt face is walked into
// ring order (the mesh keeps its own order until it is written); -1 positions and removed points
// are left out.
void ringOf(const Mesh& mesh, long long f, RingWalk& walk, std::vector<uint32_t>& ring) {
    ring.clear();
    const Face& face = mesh.Faces(f);
    const bool walked = face.getIsNew();
    if (walked) {
        face.ringOrder(mesh, walk.collection, walk.walked, walk.order);
    }
    const long long pointLimit = mesh.lastLoadedPoint();
    for (PointNumber j = 0; j <= face.getNum(); ++j) {
        // Past the walked order, as past a face's points, is the index Failure.
        if (walked && static_cast<size_t>(j) >= walk.order.size()) {
            throw indexFailure();
        }
        const PointNumber p = walked ? walk.order[static_cast<size_t>(j)] : face.getPNum(j);
        if (p >= 0 && p <= pointLimit && !mesh.Points(p).removed()) {
            ring.push_back(static_cast<uint32_t>(p));
        }
    }
}

// The edge from point a to point b: the edge the same whichever way round a face names it
// (point numbers fit in 31 bits), and in its lowest bit which way round this face runs along it.
uint64_t edgeKey(uint32_t a, uint32_t b) {
    return (static_cast<uint64_t>(std::min(a, b)) << 33) |
           (static_cast<uint64_t>(std::max(a, b)) << 1) | (a > b ? 1 : 0);
}

// Sorted directed edge keys close a surface when they come in pairs of the same edge run both
// ways (an edge bounding four faces sorts as two runs one way, then two the other).
bool closesSurface(const std::vector<uint64_t>& sortedKeys) {
    if (sortedKeys.empty() || sortedKeys.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < sortedKeys.size(); i += 2) {
        const uint64_t a = sortedKeys[i];
        const uint64_t b = sortedKeys[i + 1];
        if ((a >> 1) != (b >> 1) || (a & 1) != 0 || (b & 1) != 1) {
            return false;
        }
    }
    return true;
}

// Which way a closed surface's triangles turn, and the normals of its points.
void orient(MeshGeometry& geometry) {
    double volume = 0;  // six times the enclosed volume, signed by the triangles' turn
    std::vector<glm::vec3> normals(geometry.pointCount(), glm::vec3(0));
    for (size_t t = 0; t + 2 < geometry.triangles.size(); t += 3) {
        const uint32_t ia = geometry.triangles[t];
        const uint32_t ib = geometry.triangles[t + 1];
        const uint32_t ic = geometry.triangles[t + 2];
        const glm::vec3 a = geometry.position(ia) - geometry.centre;
        const glm::vec3 b = geometry.position(ib) - geometry.centre;
        const glm::vec3 c = geometry.position(ic) - geometry.centre;
        const glm::vec3 n = glm::cross(b - a, c - a);
        volume += static_cast<double>(glm::dot(a, glm::cross(b, c)));
        normals[ia] += n;
        normals[ib] += n;
        normals[ic] += n;
    }
    geometry.facesOutward = volume >= 0;
    const float out = geometry.facesOutward ? 1.0f : -1.0f;
    geometry.normals.resize(3 * normals.size());
    for (size_t i = 0; i < normals.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            geometry.normals[3 * i + static_cast<size_t>(k)] = out * normals[i][k];
        }
    }
}

void readFaces(const Mesh& mesh, MeshGeometry& geometry) {
    if (!mesh.Faces.exists()) {
        return;
    }
    RingWalk walk;
    std::vector<uint32_t> ring;
    std::vector<uint64_t> edgeKeys;
    std::vector<glm::vec3> corners;
    std::vector<uint32_t> cut;
    bool turnsAgree = true;  // every cut triangle turns as its polygon does
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        if (mesh.Faces(f).removedz()) {
            continue;
        }
        try {
            ringOf(mesh, f, walk, ring);
        } catch (const Failure&) {
            continue;  // a slot whose line failed to load holds no polygon
        }
        if (ring.size() < 3) {
            continue;
        }
        for (size_t k = 0; k < ring.size(); ++k) {
            edgeKeys.push_back(edgeKey(ring[k], ring[(k + 1) % ring.size()]));
        }
        if (ring.size() == 3) {
            geometry.triangles.insert(geometry.triangles.end(), ring.begin(), ring.end());
            continue;
        }
        corners.clear();
        for (uint32_t p : ring) {
            corners.push_back(geometry.position(p));
        }
        cut.clear();
        triangulatePolygon(corners, 0, cut);
        const glm::vec3 normal = newellNormal(corners);
        for (size_t k = 0; k + 2 < cut.size(); k += 3) {
            const glm::vec3 a = corners[cut[k]];
            turnsAgree =
                turnsAgree &&
                glm::dot(glm::cross(corners[cut[k + 1]] - a, corners[cut[k + 2]] - a), normal) >= 0;
        }
        for (uint32_t k : cut) {
            geometry.triangles.push_back(ring[k]);
        }
    }
    std::sort(edgeKeys.begin(), edgeKeys.end());
    geometry.closed = turnsAgree && closesSurface(edgeKeys);
    if (geometry.closed) {
        orient(geometry);
    }
    // An edge between two faces is drawn once: the wireframe costs the renderer half as much.
    const auto sameEdge = [](uint64_t a, uint64_t b) { return (a >> 1) == (b >> 1); };
    edgeKeys.erase(std::unique(edgeKeys.begin(), edgeKeys.end(), sameEdge), edgeKeys.end());
    geometry.edges.reserve(2 * edgeKeys.size());
    double length = 0;
    for (uint64_t key : edgeKeys) {
        const auto a = static_cast<uint32_t>(key >> 33);
        const auto b = static_cast<uint32_t>(key >> 1);  // a sits above bit 31
        geometry.edges.push_back(a);
        geometry.edges.push_back(b);
        length += static_cast<double>(glm::distance(geometry.position(a), geometry.position(b)));
    }
    geometry.meanEdgeLength =
        edgeKeys.empty() ? 0 : static_cast<float>(length / static_cast<double>(edgeKeys.size()));
}

// --- picking ---

// The distance along the ray at which it passes through triangle abc, or infinity
// (Moeller and Trumbore's test).
float hitDistance(glm::vec3 origin, glm::vec3 direction, glm::vec3 a, glm::vec3 b, glm::vec3 c) {
    const glm::vec3 e1 = b - a;
    const glm::vec3 e2 = c - a;
    const glm::vec3 p = glm::cross(direction, e2);
    const float det = glm::dot(e1, p);
    if (std::abs(det) < 1e-12f) {
        return std::numeric_limits<float>::infinity();
    }
    const float inv = 1 / det;
    const glm::vec3 s = origin - a;
    const float u = glm::dot(s, p) * inv;
    if (u < 0 || u > 1) {
        return std::numeric_limits<float>::infinity();
    }
    const glm::vec3 q = glm::cross(s, e1);
    const float v = glm::dot(direction, q) * inv;
    if (v < 0 || u + v > 1) {
        return std::numeric_limits<float>::infinity();
    }
    const float t = glm::dot(e2, q) * inv;
    return t > 0 ? t : std::numeric_limits<float>::infinity();
}

}  // namespace

MeshGeometry buildGeometry(const Mesh& mesh) {
    MeshGeometry geometry;
    if (!mesh.Points.exists()) {
        return geometry;
    }
    readPoints(mesh, geometry);
    measure(geometry);
    readFaces(mesh, geometry);
    return geometry;
}

float removalMarkDiameter(const MeshGeometry& geometry, const MeshViewCamera& camera,
                          int viewportHeight) {
    constexpr float kLargest = 8;
    constexpr float kSmallest = 3;
    if (geometry.meanEdgeLength <= 0) {
        return kLargest;
    }
    const float spacing = geometry.meanEdgeLength / camera.worldPerPixel(viewportHeight);
    return std::clamp(spacing, kSmallest, kLargest);
}

bool seenFrom(const MeshGeometry& geometry, glm::vec3 eye, uint32_t point) {
    const glm::vec3 target = geometry.position(point);
    const glm::vec3 toPoint = target - eye;
    const float length = glm::length(toPoint);
    if (length == 0) {
        return true;
    }
    const glm::vec3 direction = toPoint / length;
    // A surface closer than this to the point is the point's own neighbourhood.
    const float slack = geometry.radius * 1e-4f;
    const auto& t = geometry.triangles;
    for (size_t k = 0; k + 2 < t.size(); k += 3) {
        if (t[k] == point || t[k + 1] == point || t[k + 2] == point) {
            continue;
        }
        const float hit = hitDistance(eye, direction, geometry.position(t[k]),
                                      geometry.position(t[k + 1]), geometry.position(t[k + 2]));
        if (hit < length - slack) {
            return false;
        }
    }
    return true;
}

int pickPoint(const MeshGeometry& geometry, const MeshViewCamera& camera, float x, float y,
              int width, int height, float radius) {
    struct Candidate {
        float distance;
        uint32_t point;
    };
    std::vector<Candidate> near;
    for (uint32_t i = 0; i < geometry.pointCount(); ++i) {
        if (geometry.shown[i] == 0) {
            continue;
        }
        const ScreenPoint s = camera.project(geometry.position(i), width, height);
        if (s.depth < 0 || s.depth > 1) {
            continue;
        }
        const float d = std::hypot(s.x - x, s.y - y);
        if (d <= radius) {
            near.push_back({d, i});
        }
    }
    std::sort(near.begin(), near.end(), [](const Candidate& a, const Candidate& b) {
        return a.distance < b.distance || (a.distance == b.distance && a.point < b.point);
    });
    // Past this many hidden candidates the cursor is over a crowd of points behind the surface,
    // and the rest are no nearer to being seen.
    constexpr size_t kCandidatesTried = 32;
    near.resize(std::min(near.size(), kCandidatesTried));
    const glm::vec3 eye = camera.eye();
    for (const Candidate& candidate : near) {
        if (seenFrom(geometry, eye, candidate.point)) {
            return static_cast<int>(candidate.point);
        }
    }
    return -1;
}

}  // namespace meshthin
