// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's logic without a window: the camera, the geometry read from the mesh, the
// display triangulation of any polygon, picking only what the eye sees, the colours and the
// histogram with its line of counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>

#include "meshio/reduction.h"
#include "model/mesh.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/colour_map.h"
#include "ui/histogram.h"
#include "ui/mesh_geometry.h"
#include "ui/mesh_view_camera.h"
#include "ui/view_blocks.h"

namespace meshthin::testing {
namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

//        7-------6        a cube of side 2 about the origin; 0..3 at z = +1 face the camera
//       /|      /|        (which looks down -z after a fit), 4..7 at z = -1 are behind.
//      3-------2 |
//      | 4-----|-5
//      |/      |/
//      0-------1
const std::string kCube =
    meshText({"(-1 -1 1)", "(1 -1 1)", "(1 1 1)", "(-1 1 1)", "(-1 -1 -1)", "(1 -1 -1)", "(1 1 -1)",
              "(-1 1 -1)"},
             {"4 ( (0) (1) (2) (3) )", "4 ( (5) (4) (7) (6) )", "4 ( (1) (5) (6) (2) )",
              "4 ( (4) (0) (3) (7) )", "4 ( (3) (2) (6) (7) )", "4 ( (4) (5) (1) (0) )"});

// --- camera ---

TEST(MeshViewCamera, AFitShowsTheWholeSphereAndProjectionAndRayAgree) {
    MeshViewCamera camera;
    const glm::vec3 centre(10, -4, 2);
    camera.fit(centre, 5);
    camera.orbit(37, -21);
    for (const glm::vec3 offset : {glm::vec3(5, 0, 0), glm::vec3(-5, 0, 0), glm::vec3(0, 5, 0),
                                   glm::vec3(0, -5, 0), glm::vec3(0, 0, 5), glm::vec3(0, 0, -5)}) {
        const ScreenPoint s = camera.project(centre + offset, kWidth, kHeight);
        EXPECT_GT(s.x, 0);
        EXPECT_LT(s.x, kWidth);
        EXPECT_GT(s.y, 0);
        EXPECT_LT(s.y, kHeight);
        EXPECT_GT(s.depth, 0);
        EXPECT_LT(s.depth, 1);
        // The ray under the point's pixel passes through the point.
        const Ray ray = camera.rayThrough(s.x, s.y, kWidth, kHeight);
        const glm::vec3 toPoint = centre + offset - ray.origin;
        const float off = glm::length(toPoint - glm::dot(toPoint, ray.direction) * ray.direction);
        EXPECT_LT(off, 1e-3f);
    }
    const ScreenPoint middle = camera.project(centre, kWidth, kHeight);
    EXPECT_NEAR(middle.x, kWidth / 2.0, 1e-3);
    EXPECT_NEAR(middle.y, kHeight / 2.0, 1e-3);
}

TEST(MeshViewCamera, OrbitKeepsTheDistancePanFollowsTheCursorZoomComesCloser) {
    MeshViewCamera camera;
    camera.fit(glm::vec3(0), 1);
    const float range = camera.distance();
    camera.orbit(120, 80);
    EXPECT_NEAR(glm::length(camera.eye() - camera.target()), range, 1e-4);
    // Tilting far past the pole stays short of it: up stays defined.
    camera.orbit(0, 10000);
    EXPECT_FALSE(std::isnan(camera.view()[0][0]));

    camera.fit(glm::vec3(0), 1);
    const ScreenPoint before = camera.project(glm::vec3(0), kWidth, kHeight);
    camera.pan(30, -12, kHeight);
    const ScreenPoint after = camera.project(glm::vec3(0), kWidth, kHeight);
    EXPECT_NEAR(after.x - before.x, 30, 0.01);
    EXPECT_NEAR(after.y - before.y, -12, 0.01);

    camera.zoom(2);
    EXPECT_LT(camera.distance(), range);
    camera.zoom(-2);
    EXPECT_NEAR(camera.distance(), range, 1e-4);
}

// --- triangulation ---

float area2D(glm::vec2 a, glm::vec2 b, glm::vec2 c) {
    return 0.5f * std::abs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
}

bool insidePolygon(glm::vec2 p, const std::vector<glm::vec2>& ring) {
    bool inside = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        if ((ring[i].y > p.y) != (ring[j].y > p.y) &&
            p.x <
                (ring[j].x - ring[i].x) * (p.y - ring[i].y) / (ring[j].y - ring[i].y) + ring[i].x) {
            inside = !inside;
        }
    }
    return inside;
}

// Triangulates the flat ring (in x, y) lifted into a tilted plane, and checks the cut: n - 2
// triangles whose areas add up to the polygon's and whose centres lie inside it.
void expectCutCovers(std::vector<glm::vec2> ring, float area) {
    for (bool reversed : {false, true}) {
        if (reversed) {
            std::reverse(ring.begin(), ring.end());
        }
        std::vector<glm::vec3> lifted;
        for (glm::vec2 p : ring) {
            lifted.emplace_back(p.x, p.y * 0.6f, p.y * 0.8f + 3);  // rotated about the x axis
        }
        std::vector<uint32_t> triangles;
        triangulatePolygon(lifted, 10, triangles);
        ASSERT_EQ(triangles.size(), 3 * (ring.size() - 2));
        float total = 0;
        for (size_t k = 0; k < triangles.size(); k += 3) {
            const glm::vec2 a = ring[triangles[k] - 10];
            const glm::vec2 b = ring[triangles[k + 1] - 10];
            const glm::vec2 c = ring[triangles[k + 2] - 10];
            total += area2D(a, b, c);
            EXPECT_TRUE(insidePolygon((a + b + c) / 3.0f, ring)) << "triangle " << k / 3;
        }
        EXPECT_NEAR(total, area, 1e-4);
    }
}

TEST(Triangulation, ConvexAndNonConvexPolygonsAreCoveredExactly) {
    // A square and a hexagon.
    expectCutCovers({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, 4);
    // An L:  5---4
    //        |   |
    //        |   3---2
    //        |       |
    //        0-------1
    expectCutCovers({{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}}, 5);
    // A comb with two deep notches, where a fan from any corner leaves the polygon.
    expectCutCovers({{0, 0},
                     {5, 0},
                     {5, 3},
                     {4, 3},
                     {4, 1},
                     {3, 1},
                     {3, 3},
                     {2, 3},
                     {2, 1},
                     {1, 1},
                     {1, 3},
                     {0, 3}},
                    11);
}

// --- geometry and picking ---

using MeshGeometryTest = StoreTest;

TEST_F(MeshGeometryTest, TheCubeIsItsPointsTwoTrianglesPerQuadAndItsOutlines) {
    loadAndAnalyze(kCube);
    const MeshGeometry g = buildGeometry(mesh);
    ASSERT_EQ(g.pointCount(), 8u);  // the spare slot is not a point
    EXPECT_EQ(g.triangles.size(), 6u * 2 * 3);
    EXPECT_EQ(g.edges.size(), 12u * 2);  // the cube's 12 edges, each once
    EXPECT_NEAR(glm::length(g.centre), 0, 1e-6);
    EXPECT_NEAR(g.radius, std::sqrt(3.0f), 1e-5);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(g.values[i], mesh.Points(static_cast<long long>(i)).getValue());
        EXPECT_EQ(g.shown[i], 1);
    }
}

// The view leaves out the faces turned away only where that hides nothing: a surface that is
// closed and turns one way throughout.
TEST_F(MeshGeometryTest, OnlyAClosedSurfaceTurningOneWayCountsAsClosedAndItsNormalsPointOut) {
    const std::vector<std::string> points = {"(-1 -1 1)",  "(1 -1 1)",  "(1 1 1)",  "(-1 1 1)",
                                             "(-1 -1 -1)", "(1 -1 -1)", "(1 1 -1)", "(-1 1 -1)"};
    const std::vector<std::vector<int>> quads = {{0, 1, 2, 3}, {5, 4, 7, 6}, {1, 5, 6, 2},
                                                 {4, 0, 3, 7}, {3, 2, 6, 7}, {4, 5, 1, 0}};
    const auto faceText = [](std::vector<int> corners, bool backwards) {
        if (backwards) {
            std::reverse(corners.begin(), corners.end());
        }
        std::string text = std::to_string(corners.size()) + " (";
        for (int c : corners) {
            text += " (" + std::to_string(c) + ")";
        }
        return text + " )";
    };
    std::vector<std::string> faces;
    std::vector<std::string> inward;
    for (const std::vector<int>& quad : quads) {
        faces.push_back(faceText(quad, false));
        inward.push_back(faceText(quad, true));
    }
    const auto geometryOf = [this](const std::string& text) {
        mesh = Mesh();
        loadAndAnalyze(text);
        return buildGeometry(mesh);
    };
    MeshGeometry g = geometryOf(meshText(points, faces));
    ASSERT_TRUE(g.closed);
    EXPECT_TRUE(g.facesOutward);
    ASSERT_EQ(g.normals.size(), 3 * g.pointCount());
    for (size_t i = 0; i < g.pointCount(); ++i) {
        const glm::vec3 n(g.normals[3 * i], g.normals[3 * i + 1], g.normals[3 * i + 2]);
        EXPECT_GT(glm::dot(glm::normalize(n), glm::normalize(g.position(i) - g.centre)), 0.9f);
    }

    g = geometryOf(meshText(points, inward));
    EXPECT_TRUE(g.closed);
    EXPECT_FALSE(g.facesOutward);
    ASSERT_EQ(g.normals.size(), 3 * g.pointCount());
    const glm::vec3 n0(g.normals[0], g.normals[1], g.normals[2]);
    EXPECT_GT(glm::dot(n0, g.position(0) - g.centre), 0);  // still out of the surface

    std::vector<std::string> oneTurned = faces;
    oneTurned[2] = inward[2];
    g = geometryOf(meshText(points, oneTurned));
    EXPECT_FALSE(g.closed);
    EXPECT_TRUE(g.normals.empty());

    std::vector<std::string> open = faces;
    open.pop_back();
    EXPECT_FALSE(geometryOf(meshText(points, open)).closed);

    std::vector<std::string> twice = faces;  // an edge bounding four faces, two each way
    twice.push_back("3 ( (0) (1) (6) )");
    twice.push_back("3 ( (1) (0) (6) )");
    EXPECT_FALSE(geometryOf(meshText(points, twice)).closed);

    EXPECT_FALSE(geometryOf(generate::grid(12, 10, 0.5, 4)).closed);
}

TEST_F(MeshGeometryTest, MarksShrinkWhereThePointsCrowdTheScreenAndGrowBackWhenZoomedIn) {
    loadAndAnalyze(kCube);
    MeshGeometry g = buildGeometry(mesh);
    EXPECT_FLOAT_EQ(g.meanEdgeLength, 2);
    MeshViewCamera camera;
    camera.fit(g.centre, g.radius);
    EXPECT_EQ(removalMarkDiameter(g, camera, kHeight), 8);

    mesh = Mesh();
    loadAndAnalyze(generate::grid(150, 150, 0.5, 4));
    g = buildGeometry(mesh);
    camera.fit(g.centre, g.radius);
    const float crowded = removalMarkDiameter(g, camera, kHeight);
    EXPECT_EQ(crowded, 3);
    camera.zoom(8);
    const float closer = removalMarkDiameter(g, camera, kHeight);
    EXPECT_GT(closer, crowded);
    EXPECT_LT(closer, 8);
    // One pixel at the target's depth spans what the projection says it does.
    const ScreenPoint a = camera.project(camera.target(), kWidth, kHeight);
    const glm::mat4 v = camera.view();
    const glm::vec3 right(v[0][0], v[1][0], v[2][0]);
    const ScreenPoint b = camera.project(
        camera.target() + right * (10 * camera.worldPerPixel(kHeight)), kWidth, kHeight);
    EXPECT_NEAR(b.x - a.x, 10, 0.01);
    camera.zoom(20);
    EXPECT_EQ(removalMarkDiameter(g, camera, kHeight), 8);
    // Dots only where the points lie kDotSpacing pixels apart or more; the surface is tinted
    // below that.
    camera.fit(g.centre, g.radius);
    EXPECT_FALSE(marksAsDots(g, camera, kHeight));
    while (g.meanEdgeLength / camera.worldPerPixel(kHeight) < kDotSpacing) {
        camera.zoom(1);
    }
    EXPECT_TRUE(marksAsDots(g, camera, kHeight));
    camera.zoom(-1);
    EXPECT_FALSE(marksAsDots(g, camera, kHeight));
}

TEST_F(MeshGeometryTest, RemovedPointsAndFacesAreNotShownAndRebuiltFacesAreRings) {
    stopListening();
    loadAndAnalyze(generate::grid(12, 10, 0.5, 4));
    const std::string before = meshSummary(mesh);
    // A run that is not written: its rebuilt faces are not in ring order in the mesh yet.
    removePointsBelow(mesh, 1.0, [](long long) {});
    const std::string summary = meshSummary(mesh);
    const MeshGeometry g = buildGeometry(mesh);
    EXPECT_EQ(meshSummary(mesh), summary);  // building reads only
    EXPECT_NE(summary, before);
    long long hidden = 0;
    for (size_t i = 0; i < g.pointCount(); ++i) {
        hidden += g.shown[i] == 0 ? 1 : 0;
        EXPECT_EQ(g.shown[i] == 0, mesh.Points(static_cast<long long>(i)).removed());
    }
    EXPECT_GT(hidden, 0);
    for (uint32_t p : g.triangles) {
        EXPECT_EQ(g.shown[p], 1) << "a removed point in a triangle";
    }
    // The grid stays a flat-ish sheet: every triangle's outline is made of shown edges, and the
    // triangles cover the sheet once (their areas in x, y add up to the grid's rectangle).
    float area = 0;
    for (size_t k = 0; k < g.triangles.size(); k += 3) {
        const glm::vec3 a = g.position(g.triangles[k]);
        const glm::vec3 b = g.position(g.triangles[k + 1]);
        const glm::vec3 c = g.position(g.triangles[k + 2]);
        area += area2D(a, b, c);
    }
    float lowX = 1e9f, highX = -1e9f, lowY = 1e9f, highY = -1e9f;
    for (size_t i = 0; i < g.pointCount(); ++i) {
        lowX = std::min(lowX, g.positions[3 * i]);
        highX = std::max(highX, g.positions[3 * i]);
        lowY = std::min(lowY, g.positions[3 * i + 1]);
        highY = std::max(highY, g.positions[3 * i + 1]);
    }
    EXPECT_NEAR(area, (highX - lowX) * (highY - lowY), 1e-3 * area);
}

TEST_F(MeshGeometryTest, PicksTheNearestSeenPointNeverOneBehindTheSurface) {
    loadAndAnalyze(kCube);
    const MeshGeometry g = buildGeometry(mesh);
    MeshViewCamera camera;
    camera.fit(g.centre, g.radius);
    camera.orbit(-40, 30);  // the front, right-hand and top faces seen: 0 1 2 3 5 6 7 in sight
    for (uint32_t p = 0; p < 8; ++p) {
        const ScreenPoint s = camera.project(g.position(p), kWidth, kHeight);
        const int picked = pickPoint(g, camera, s.x + 3, s.y - 2, kWidth, kHeight, 12);
        if (p == 4) {
            // The far bottom left corner lies behind the front face: the cursor on it picks none
            // of it (nothing else is within reach there).
            EXPECT_NE(picked, 4);
            EXPECT_FALSE(seenFrom(g, camera.eye(), 4));
        } else {
            EXPECT_EQ(picked, static_cast<int>(p));
            EXPECT_TRUE(seenFrom(g, camera.eye(), p));
        }
    }
    EXPECT_EQ(pickPoint(g, camera, 0, 0, kWidth, kHeight, 12), -1);  // nothing near the corner
}

// The pick grid changes how picking searches, never what it finds: over generated meshes seen
// from random places, the pick is the one a search of every point and every triangle makes.
TEST_F(MeshGeometryTest, PickingThroughTheGridFindsWhatASearchOfEverythingFinds) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> turn(-300, 300);
    std::uniform_real_distribution<float> unit(0, 1);
    int picked = 0;
    int hidden = 0;
    for (const std::string& text :
         {generate::selfSimilarSphere(4000, 3), generate::selfSimilarGrid(3000, 5), kCube}) {
        mesh = Mesh();
        loadAndAnalyze(text);
        const MeshGeometry g = buildGeometry(mesh);
        ASSERT_FALSE(g.grid.empty());
        MeshGeometry everything = g;
        everything.grid = PickGrid();
        for (int view = 0; view < 12; ++view) {
            MeshViewCamera camera;
            camera.fit(g.centre, g.radius);
            camera.orbit(turn(random), turn(random));
            camera.zoom(unit(random) * 6 - 1);
            camera.pan(turn(random) / 4, turn(random) / 4, kHeight);
            for (int click = 0; click < 20; ++click) {
                // Near a random point, or anywhere in the view.
                const auto p = static_cast<size_t>(unit(random) * (g.pointCount() - 1));
                ScreenPoint at = camera.project(g.position(p), kWidth, kHeight);
                if (click % 3 == 0) {
                    at = {unit(random) * kWidth, unit(random) * kHeight, 0};
                }
                const int expected =
                    pickPoint(everything, camera, at.x + 2, at.y - 1, kWidth, kHeight, 12);
                ASSERT_EQ(pickPoint(g, camera, at.x + 2, at.y - 1, kWidth, kHeight, 12), expected);
                picked += expected >= 0 ? 1 : 0;
                const bool seen = seenFrom(everything, camera.eye(), static_cast<uint32_t>(p));
                ASSERT_EQ(seenFrom(g, camera.eye(), static_cast<uint32_t>(p)), seen);
                hidden += seen ? 0 : 1;
            }
        }
    }
    EXPECT_GT(picked, 200);  // most clicks land on a point,
    EXPECT_GT(hidden, 100);  // and many points lie behind the surface
}

// --- blocks in view ---

TEST(ViewBlocks, SortingKeepsEveryPrimitiveAndAViewDrawsAllItShows) {
    // Small triangles all over a sheet, as a surface's are, named in a shuffled order.
    std::mt19937 random(9);
    std::uniform_real_distribution<float> coordinate(-10, 10);
    std::uniform_real_distribution<float> near(-0.3f, 0.3f);
    std::vector<float> positions;
    std::vector<uint32_t> triangles;
    for (uint32_t t = 0; t < 3000; ++t) {
        const glm::vec3 centre(coordinate(random), coordinate(random), near(random));
        for (uint32_t k = 0; k < 3; ++k) {
            positions.insert(positions.end(), {std::clamp(centre.x + near(random), -10.f, 10.f),
                                               std::clamp(centre.y + near(random), -10.f, 10.f),
                                               std::clamp(centre.z + near(random), -10.f, 10.f)});
        }
    }
    std::vector<uint32_t> order(3000);
    std::iota(order.begin(), order.end(), 0U);
    std::shuffle(order.begin(), order.end(), random);
    for (const uint32_t t : order) {
        triangles.insert(triangles.end(), {3 * t, 3 * t + 1, 3 * t + 2});
    }
    const auto asTriples = [](const std::vector<uint32_t>& indices) {
        std::vector<std::array<uint32_t, 3>> triples;
        for (size_t t = 0; t + 2 < indices.size(); t += 3) {
            triples.push_back({indices[t], indices[t + 1], indices[t + 2]});
        }
        std::sort(triples.begin(), triples.end());
        return triples;
    };
    std::vector<uint32_t> sorted = triangles;
    const ViewBlocks blocks =
        sortIntoBlocks(sorted, 3, positions, glm::vec3(-10), glm::vec3(10), 8);
    ASSERT_EQ(asTriples(sorted), asTriples(triangles));  // each keeps its corners in order
    ASSERT_EQ(blocks.start.back(), 3000U);
    const auto at = [&](uint32_t p) {
        return glm::vec3(positions[3 * p], positions[3 * p + 1], positions[3 * p + 2]);
    };
    for (size_t b = 0; b < blocks.count(); ++b) {
        for (uint32_t t = blocks.start[b]; t < blocks.start[b + 1]; ++t) {
            for (int k = 0; k < 3; ++k) {
                const glm::vec3 p = at(sorted[3 * t + k]);
                ASSERT_TRUE(glm::all(glm::greaterThanEqual(p, blocks.low[b])) &&
                            glm::all(glm::lessThanEqual(p, blocks.high[b])));
            }
        }
    }
    // Close up, a corner that lands in the picture belongs to a triangle that is drawn; far
    // fewer are drawn than there are.
    MeshViewCamera camera;
    camera.fit(glm::vec3(0), 17);
    camera.zoom(12);
    const glm::mat4 viewProjection =
        camera.projection(static_cast<float>(kWidth) / kHeight) * camera.view();
    std::vector<uint32_t> firsts;
    std::vector<int32_t> counts;
    const size_t drawn = runsInView(blocks, 3, viewProjection, firsts, counts);
    std::vector<char> inRun(sorted.size() / 3, 0);
    size_t summed = 0;
    for (size_t r = 0; r < firsts.size(); ++r) {
        ASSERT_EQ(firsts[r] % 3, 0U);
        for (uint32_t i = firsts[r]; i < firsts[r] + static_cast<uint32_t>(counts[r]); i += 3) {
            inRun[i / 3] = 1;
        }
        summed += static_cast<size_t>(counts[r]);
    }
    EXPECT_EQ(summed, drawn);
    EXPECT_LT(drawn, sorted.size() / 2);
    size_t seen = 0;
    for (size_t t = 0; t < inRun.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const ScreenPoint s = camera.project(at(sorted[3 * t + k]), kWidth, kHeight);
            if (s.x >= 0 && s.x <= kWidth && s.y >= 0 && s.y <= kHeight && s.depth > 0 &&
                s.depth < 1) {
                ++seen;
                ASSERT_EQ(inRun[t], 1) << "triangle " << t << " is in the picture";
            }
        }
    }
    EXPECT_GT(seen, 0U);
}

// --- colours and histogram ---

TEST(ColourMap, ViridisRunsFromDarkPurpleToYellowGettingLighterAndNeverRed) {
    EXPECT_EQ(viridis(0), (Rgb{0x44, 0x01, 0x54}));
    EXPECT_EQ(viridis(1), (Rgb{0xfd, 0xe7, 0x25}));
    EXPECT_EQ(viridis(-3), viridis(0));
    EXPECT_EQ(viridis(7), viridis(1));
    EXPECT_EQ(viridis(std::nan("")), viridis(0));
    double lightness = -1;
    for (const Rgb& c : viridisTable(101)) {
        const double l = 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
        EXPECT_GT(l, lightness);
        lightness = l;
        // No colour of the map is as red as the marks.
        EXPECT_LT(c.r - std::max(c.g, c.b),
                  kRemovedMark.r - std::max(kRemovedMark.g, kRemovedMark.b) - 100);
    }
    EXPECT_DOUBLE_EQ(fractionInRange(1.5, 1, 3), 0.25);
    EXPECT_DOUBLE_EQ(fractionInRange(5, 2, 2), 0.5);
}

TEST(Histogram, BinsCountEveryShownValueAndTheThresholdMapsBothWays) {
    const std::vector<double> values{0, 0.1, 0.5, 0.9, 1.0, 1.0, 7, std::nan("")};
    const std::vector<uint8_t> shown{1, 1, 1, 1, 1, 1, 0, 1};  // 7 is a removed point
    const Histogram h = makeHistogram(values, shown, 4);
    EXPECT_EQ(h.low, 0);
    EXPECT_EQ(h.high, 1);
    EXPECT_EQ(h.counts, (std::vector<long long>{2, 0, 1, 3}));  // the highest in the last bin
    EXPECT_EQ(h.total(), 6);
    EXPECT_DOUBLE_EQ(h.valueAt(0.25), 0.25);
    EXPECT_DOUBLE_EQ(h.fractionOf(0.75), 0.75);
    EXPECT_DOUBLE_EQ(h.fractionOf(-4), 0);
    // Bins 0.25 wide: a picked threshold keeps two decimals.
    EXPECT_DOUBLE_EQ(h.rounded(0.8302714963), 0.83);
    EXPECT_DOUBLE_EQ(h.rounded(0.004), 0);
    EXPECT_EQ(countBelow(values, shown, 0.9), 3);  // strictly below, as the run tests
    EXPECT_EQ(countBelow(values, shown, 100), 6);
}

TEST(Histogram, TheLineOfCountsReadsAsTheUserCountsWithTheirSeparator) {
    EXPECT_EQ(groupedCount(0), "0");
    EXPECT_EQ(groupedCount(466), "466");
    EXPECT_EQ(groupedCount(1214), "1,214");
    EXPECT_EQ(groupedCount(1234567), "1,234,567");
    EXPECT_EQ(belowAndRemovedText(1214, 0.9, 466, '.'), "1,214 below 0.9 now; a run removes 466");
    EXPECT_EQ(belowAndRemovedText(32767, 6.5, std::nullopt, ','),
              "32,767 below 6,5 now; a run removes ...");
}

}  // namespace
}  // namespace meshthin::testing
