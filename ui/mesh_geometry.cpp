// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mesh_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

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
            ++geometry.shownCount;
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

// Thrown when a build is asked to stop: the geometry half made is thrown away.
struct BuildStopped {};

void stopIfAsked(const std::stop_token& stop) {
    if (stop.stop_requested()) {
        throw BuildStopped{};
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

void readFaces(const Mesh& mesh, MeshGeometry& geometry, const std::stop_token& stop) {
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
        if (f % 4096 == 0) {
            stopIfAsked(stop);
        }
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
    stopIfAsked(stop);
    std::sort(edgeKeys.begin(), edgeKeys.end());
    stopIfAsked(stop);
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

// Sorts a large surface's triangles and edges into blocks, before anything numbers them (the
// pick grid, the coarser surfaces). Sixteen blocks along the widest side: a frame tests a few
// thousand boxes, and a view of a tenth of the mesh draws little more than that tenth.
void sortLargeSurface(MeshGeometry& geometry) {
    if (geometry.triangles.size() / 3 <= kFullDetailTriangles) {
        return;
    }
    constexpr int kBlocksPerSide = 16;
    geometry.surfaceBlocks = sortIntoBlocks(geometry.triangles, 3, geometry.positions,
                                            geometry.boxLow, geometry.boxHigh, kBlocksPerSide);
    geometry.edgeBlocks = sortIntoBlocks(geometry.edges, 2, geometry.positions, geometry.boxLow,
                                         geometry.boxHigh, kBlocksPerSide);
    geometry.pointOrder.resize(geometry.pointCount());
    std::iota(geometry.pointOrder.begin(), geometry.pointOrder.end(), 0U);
    geometry.pointBlocks = sortIntoBlocks(geometry.pointOrder, 1, geometry.positions,
                                          geometry.boxLow, geometry.boxHigh, kBlocksPerSide);
}

// --- picking ---

// Sorts the shown points and the triangles into the pick grid. A cube is four mean edges wide,
// so that one of a surface holds some tens of triangles, and as many more as keep the grid
// under two million cubes (8 MB of starts for points and for triangles each).
void buildPickGrid(MeshGeometry& geometry) {
    PickGrid& grid = geometry.grid;
    const glm::vec3 size = geometry.boxHigh - geometry.boxLow;
    const float widest = std::max({size.x, size.y, size.z, 1e-6f});
    float edge = geometry.meanEdgeLength > 0 ? 4 * geometry.meanEdgeLength : widest / 16;
    edge = std::max(edge, widest * 1e-4f);
    constexpr double kMostCells = 1 << 21;
    const auto cellsFor = [&](float e) { return glm::ivec3(glm::floor(size / e)) + 1; };
    while (static_cast<double>(cellsFor(edge).x) * cellsFor(edge).y * cellsFor(edge).z >
           kMostCells) {
        edge *= 1.25f;
    }
    grid.low = geometry.boxLow;
    grid.cellSize = edge;
    grid.cells = cellsFor(edge);
    const size_t cellCount = static_cast<size_t>(grid.cells.x) * grid.cells.y * grid.cells.z;

    // Counted, then placed: each cell's list lies in one run of the array.
    grid.pointStart.assign(cellCount + 1, 0);
    for (size_t i = 0; i < geometry.pointCount(); ++i) {
        if (geometry.shown[i] != 0) {
            ++grid.pointStart[grid.index(grid.cellOf(geometry.position(i))) + 1];
        }
    }
    for (size_t c = 0; c < cellCount; ++c) {
        if (grid.pointStart[c + 1] != 0) {
            grid.pointCells.push_back(static_cast<uint32_t>(c));
        }
        grid.pointStart[c + 1] += grid.pointStart[c];
    }
    grid.points.resize(grid.pointStart[cellCount]);
    std::vector<uint32_t> next(grid.pointStart.begin(), grid.pointStart.end() - 1);
    for (size_t i = 0; i < geometry.pointCount(); ++i) {
        if (geometry.shown[i] != 0) {
            grid.points[next[grid.index(grid.cellOf(geometry.position(i)))]++] =
                static_cast<uint32_t>(i);
        }
    }

    // A triangle goes into every cell its box meets.
    const auto forEachCell = [&](size_t t, auto&& visit) {
        const glm::vec3 a = geometry.position(geometry.triangles[t]);
        const glm::vec3 b = geometry.position(geometry.triangles[t + 1]);
        const glm::vec3 c = geometry.position(geometry.triangles[t + 2]);
        const glm::ivec3 from = grid.cellOf(glm::min(a, glm::min(b, c)));
        const glm::ivec3 to = grid.cellOf(glm::max(a, glm::max(b, c)));
        for (int k = from.z; k <= to.z; ++k) {
            for (int j = from.y; j <= to.y; ++j) {
                for (int i = from.x; i <= to.x; ++i) {
                    visit(grid.index({i, j, k}));
                }
            }
        }
    };
    grid.triangleStart.assign(cellCount + 1, 0);
    for (size_t t = 0; t + 2 < geometry.triangles.size(); t += 3) {
        forEachCell(t, [&](uint32_t cell) { ++grid.triangleStart[cell + 1]; });
    }
    for (size_t c = 0; c < cellCount; ++c) {
        grid.triangleStart[c + 1] += grid.triangleStart[c];
    }
    grid.triangles.resize(grid.triangleStart[cellCount]);
    next.assign(grid.triangleStart.begin(), grid.triangleStart.end() - 1);
    for (size_t t = 0; t + 2 < geometry.triangles.size(); t += 3) {
        forEachCell(
            t, [&](uint32_t cell) { grid.triangles[next[cell]++] = static_cast<uint32_t>(t / 3); });
    }
}

// One coarser surface: cubes of cell over the box, as MeshGeometry::Coarser says.
MeshGeometry::Coarser coarserSurface(const MeshGeometry& geometry, float cell,
                                     const std::stop_token& stop) {
    struct Sorted {
        uint64_t cube;
        uint32_t point;
    };
    std::vector<Sorted> byCube;
    byCube.reserve(geometry.shownCount);
    for (size_t i = 0; i < geometry.pointCount(); ++i) {
        if (geometry.shown[i] != 0) {
            const glm::uvec3 c((geometry.position(i) - geometry.boxLow) / cell);
            byCube.push_back(
                {(static_cast<uint64_t>(c.x) << 42) | (static_cast<uint64_t>(c.y) << 21) | c.z,
                 static_cast<uint32_t>(i)});
        }
    }
    std::sort(byCube.begin(), byCube.end(), [](const Sorted& a, const Sorted& b) {
        return a.cube < b.cube || (a.cube == b.cube && a.point < b.point);
    });
    stopIfAsked(stop);
    std::vector<uint32_t> standsFor(geometry.pointCount(), 0);
    for (size_t k = 0; k < byCube.size(); ++k) {
        const bool first = k == 0 || byCube[k].cube != byCube[k - 1].cube;
        standsFor[byCube[k].point] = first ? byCube[k].point : standsFor[byCube[k - 1].point];
    }
    // Each kept triangle starts at its lowest point, so that one met twice sorts together,
    // and keeps its turn.
    std::vector<std::array<uint32_t, 3>> kept;
    for (size_t t = 0; t + 2 < geometry.triangles.size(); t += 3) {
        std::array<uint32_t, 3> c = {standsFor[geometry.triangles[t]],
                                     standsFor[geometry.triangles[t + 1]],
                                     standsFor[geometry.triangles[t + 2]]};
        if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2]) {
            continue;
        }
        std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
        kept.push_back(c);
    }
    stopIfAsked(stop);
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    MeshGeometry::Coarser surface;
    surface.cellSize = cell;
    surface.triangles.reserve(3 * kept.size());
    for (const auto& c : kept) {
        surface.triangles.insert(surface.triangles.end(), c.begin(), c.end());
    }
    return surface;
}

// Coarser surfaces of 512 down to 64 cubes along the box's widest side, each kept while it has
// at most half the triangles of the finer one.
void buildCoarserSurfaces(MeshGeometry& geometry, const std::stop_token& stop) {
    if (geometry.triangles.size() / 3 <= kFullDetailTriangles) {
        return;
    }
    const glm::vec3 size = geometry.boxHigh - geometry.boxLow;
    const float widest = std::max({size.x, size.y, size.z, 1e-6f});
    size_t finer = geometry.triangles.size();
    for (const float cubes : {512.0f, 256.0f, 128.0f, 64.0f}) {
        MeshGeometry::Coarser surface = coarserSurface(geometry, widest / cubes * 1.0001f, stop);
        if (2 * surface.triangles.size() > finer) {
            continue;
        }
        finer = surface.triangles.size();
        geometry.coarser.push_back(std::move(surface));
    }
}

// Projection into the view's pixels with the camera's matrices made once, not per point.
struct Projector {
    glm::mat4 projectionView;
    float width;
    float height;

    ScreenPoint operator()(glm::vec3 point) const {
        const glm::vec4 clip = projectionView * glm::vec4(point, 1);
        if (clip.w <= 0) {
            return {0, 0, -1};
        }
        const glm::vec3 ndc = glm::vec3(clip) / clip.w;
        return {(ndc.x + 1) / 2 * width, (1 - ndc.y) / 2 * height, (ndc.z + 1) / 2};
    }
};

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

MeshGeometry buildGeometry(const Mesh& mesh, std::stop_token stop) {
    MeshGeometry geometry;
    if (!mesh.Points.exists()) {
        return geometry;
    }
    try {
        readPoints(mesh, geometry);
        stopIfAsked(stop);
        measure(geometry);
        readFaces(mesh, geometry, stop);
        sortLargeSurface(geometry);
        stopIfAsked(stop);
        buildPickGrid(geometry);
        buildCoarserSurfaces(geometry, stop);
    } catch (const BuildStopped&) {
        return {};
    }
    return geometry;
}

const std::vector<uint32_t>& trianglesToDraw(const MeshGeometry& geometry,
                                             const MeshViewCamera& camera, int viewportHeight,
                                             float pixels) {
    const float worldPerPixel = camera.worldPerPixel(viewportHeight);
    const std::vector<uint32_t>* chosen = &geometry.triangles;
    for (const MeshGeometry::Coarser& surface : geometry.coarser) {
        // Finest first: the last that fits is the coarsest; once a coarser surface is drawn at
        // all, one of more than kFullDetailTriangles gives way to the next.
        if (surface.cellSize / worldPerPixel <= pixels ||
            (chosen != &geometry.triangles && chosen->size() / 3 > kFullDetailTriangles)) {
            chosen = &surface.triangles;
        }
    }
    return *chosen;
}

bool marksAsDots(const MeshGeometry& geometry, const MeshViewCamera& camera, int viewportHeight) {
    return geometry.meanEdgeLength <= 0 ||
           geometry.meanEdgeLength / camera.worldPerPixel(viewportHeight) >= kDotSpacing;
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
    const auto hides = [&](size_t k) {
        if (t[k] == point || t[k + 1] == point || t[k + 2] == point) {
            return false;
        }
        return hitDistance(eye, direction, geometry.position(t[k]), geometry.position(t[k + 1]),
                           geometry.position(t[k + 2])) < length - slack;
    };
    const PickGrid& grid = geometry.grid;
    if (grid.empty()) {
        for (size_t k = 0; k + 2 < t.size(); k += 3) {
            if (hides(k)) {
                return false;
            }
        }
        return true;
    }
    // The cells the line crosses, from where it enters the grid to the point's own (Amanatides
    // and Woo's walk), each cell's triangles tried.
    const glm::vec3 high = grid.low + glm::vec3(grid.cells) * grid.cellSize;
    float enter = 0;
    for (int a = 0; a < 3; ++a) {
        if (direction[a] != 0) {
            const float t0 = (grid.low[a] - eye[a]) / direction[a];
            const float t1 = (high[a] - eye[a]) / direction[a];
            enter = std::max(enter, std::min(t0, t1));
        }
    }
    enter = std::min(enter, length);
    glm::ivec3 cell = grid.cellOf(eye + direction * enter);
    const glm::ivec3 last = grid.cellOf(target);
    glm::ivec3 step(0);
    glm::vec3 nextCrossing(std::numeric_limits<float>::infinity());
    glm::vec3 crossingStep(std::numeric_limits<float>::infinity());
    for (int a = 0; a < 3; ++a) {
        if (direction[a] > 0) {
            step[a] = 1;
            nextCrossing[a] =
                (grid.low[a] + static_cast<float>(cell[a] + 1) * grid.cellSize - eye[a]) /
                direction[a];
            crossingStep[a] = grid.cellSize / direction[a];
        } else if (direction[a] < 0) {
            step[a] = -1;
            nextCrossing[a] =
                (grid.low[a] + static_cast<float>(cell[a]) * grid.cellSize - eye[a]) / direction[a];
            crossingStep[a] = -grid.cellSize / direction[a];
        }
    }
    while (true) {
        const uint32_t c = grid.index(cell);
        for (uint32_t i = grid.triangleStart[c]; i < grid.triangleStart[c + 1]; ++i) {
            if (hides(3 * static_cast<size_t>(grid.triangles[i]))) {
                return false;
            }
        }
        if (cell == last) {
            return true;
        }
        int a = 0;
        if (nextCrossing[1] < nextCrossing[a]) {
            a = 1;
        }
        if (nextCrossing[2] < nextCrossing[a]) {
            a = 2;
        }
        if (nextCrossing[a] > length + grid.cellSize) {
            return true;  // past the point (rounding kept the walk off its cell)
        }
        cell[a] += step[a];
        if (cell[a] < 0 || cell[a] >= grid.cells[a]) {
            return true;
        }
        nextCrossing[a] += crossingStep[a];
    }
}

int pickPoint(const MeshGeometry& geometry, const MeshViewCamera& camera, float x, float y,
              int width, int height, float radius) {
    struct Candidate {
        float distance;
        uint32_t point;
    };
    std::vector<Candidate> near;
    const float aspect = static_cast<float>(width) / static_cast<float>(std::max(height, 1));
    const glm::mat4 view = camera.view();
    const Projector project{camera.projection(aspect) * view, static_cast<float>(width),
                            static_cast<float>(height)};
    const auto tryPoint = [&](uint32_t i) {
        const ScreenPoint s = project(geometry.position(i));
        if (s.depth < 0 || s.depth > 1) {
            return;
        }
        const float d = std::hypot(s.x - x, s.y - y);
        if (d <= radius) {
            near.push_back({d, i});
        }
    };
    const PickGrid& grid = geometry.grid;
    if (grid.empty()) {
        for (uint32_t i = 0; i < geometry.pointCount(); ++i) {
            if (geometry.shown[i] != 0) {
                tryPoint(i);
            }
        }
    } else {
        // Only the cells whose ball may reach within radius of the cursor on screen: its
        // projected radius, with a margin for the stretch of a ball projected off the axis.
        const float cellRadius = grid.cellSize * 0.8661f;
        const float pixelsPerUnit = static_cast<float>(height) / 2 /
                                    std::tan(glm::radians(MeshViewCamera::kFieldOfViewDegrees) / 2);
        for (const uint32_t c : grid.pointCells) {
            const glm::ivec3 ijk(static_cast<int>(c % static_cast<uint32_t>(grid.cells.x)),
                                 static_cast<int>(c / static_cast<uint32_t>(grid.cells.x) %
                                                  static_cast<uint32_t>(grid.cells.y)),
                                 static_cast<int>(c / static_cast<uint32_t>(grid.cells.x) /
                                                  static_cast<uint32_t>(grid.cells.y)));
            const glm::vec3 centre = grid.low + (glm::vec3(ijk) + 0.5f) * grid.cellSize;
            const float depth = -(view * glm::vec4(centre, 1)).z;
            if (depth - cellRadius > 1e-6f) {
                const ScreenPoint s = project(centre);
                const float reach = 1.5f * cellRadius * pixelsPerUnit / (depth - cellRadius);
                if (s.depth >= 0 && std::hypot(s.x - x, s.y - y) > radius + reach) {
                    continue;
                }
            }
            for (uint32_t k = grid.pointStart[c]; k < grid.pointStart[c + 1]; ++k) {
                tryPoint(grid.points[k]);
            }
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
