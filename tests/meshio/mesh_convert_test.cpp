// SPDX-License-Identifier: GPL-3.0-or-later
// A mesh that reaches the run through OBJ is run exactly as the same mesh read from the brace
// format: the same points removed, the same faces written in the same order, both ways round
// (a brace mesh sent through OBJ, and an OBJ mesh whose brace text is run), on generated meshes
// and every bundled example.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "meshio/batch.h"
#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/mesh_file.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/startup.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

using formats::MeshFormat;
using formats::PolygonMesh;

const numtext::LocaleNumbers kDot('.');

Mesh braceMesh(const std::string& text) {
    Mesh mesh;
    std::istringstream in(text);
    runStartupPasses(mesh, readMesh(mesh, in, kDot));
    return mesh;
}

std::string braceText(Mesh& mesh) {
    std::ostringstream out;
    writeMeshText(
        mesh, out, kDot, [] {}, [](const std::string&) {});
    return out.str();
}

// The points and faces as read, before any run: what an OBJ file of the same mesh holds.
PolygonMesh asRead(const Mesh& mesh) {
    PolygonMesh polygons;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        const Point& p = mesh.Points(i);
        polygons.positions.insert(polygons.positions.end(), {p.getX(), p.getY(), p.getZ()});
    }
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        const Face& face = mesh.Faces(f);
        for (long long k = 0; k <= face.getNum(); ++k) {
            polygons.corners.push_back(static_cast<uint32_t>(face.getPNum(static_cast<int>(k))));
        }
        polygons.faceStarts.push_back(static_cast<uint32_t>(polygons.corners.size()));
    }
    return polygons;
}

PolygonMesh throughObj(const PolygonMesh& polygons) {
    std::string bytes;
    formats::writeMesh(bytes, polygons, MeshFormat::Obj);
    return formats::readMesh(bytes, MeshFormat::Obj, "mesh.obj");
}

// The faces of a written brace text, in the written numbering, and its point count without the
// spare slot: what an OBJ written of the same run must hold.
PolygonMesh facesOfText(const std::string& text, size_t& points) {
    Mesh read;
    std::istringstream in(text);
    readMesh(read, in, kDot);
    points = static_cast<size_t>(read.lastLoadedPoint() + 1);
    PolygonMesh polygons = asRead(read);
    polygons.positions.clear();
    return polygons;
}

// Runs the thresholds on the brace mesh of text and on the same mesh through OBJ, and compares
// every written result.
void expectSameRuns(const std::string& text, const std::vector<double>& thresholds) {
    Mesh brace = braceMesh(text);
    const PolygonMesh original = asRead(brace);
    const PolygonMesh obj = throughObj(original);
    ASSERT_EQ(obj.positions, original.positions);
    ASSERT_EQ(obj.corners, original.corners);
    Mesh converted = formats::meshFromPolygons(obj);
    EXPECT_EQ(converted.positionLimit(), kWidePositionLimit);
    // The OBJ mesh's own brace text opens as the brace mesh: the other way round.
    Mesh convertedCopy = converted;
    ASSERT_EQ(braceText(convertedCopy), braceText(brace));

    for (const double threshold : thresholds) {
        SCOPED_TRACE("threshold " + std::to_string(threshold));
        removePointsBelow(brace, threshold, [](long long) {});
        removePointsBelow(converted, threshold, [](long long) {});
        ASSERT_EQ(pointsLeft(converted), pointsLeft(brace));

        const Mesh beforeWriting = brace;
        const std::string written = braceText(brace);
        Mesh convertedForBrace = converted;
        EXPECT_EQ(braceText(convertedForBrace), written);

        const PolygonMesh result = throughObj(formats::polygonsOf(converted, &obj));
        size_t points = 0;
        const PolygonMesh expected = facesOfText(written, points);
        EXPECT_EQ(result.pointCount(), points);
        EXPECT_EQ(result.faceStarts, expected.faceStarts);
        EXPECT_EQ(result.corners, expected.corners);
        std::vector<double> kept;
        for (long long i = 0; i <= beforeWriting.lastLoadedPoint(); ++i) {
            const Point& p = beforeWriting.Points(i);
            if (!p.removed()) {
                kept.insert(kept.end(), {p.getX(), p.getY(), p.getZ()});
            }
        }
        EXPECT_EQ(result.positions, kept);
    }
}

TEST(MeshConvert, RandomMeshesRunAlikeFromBraceAndObj) {
    std::mt19937 random(27);
    std::uniform_real_distribution<double> threshold(0.0, 1.2);
    std::uniform_int_distribution<int> size(3, 14);
    for (int round = 0; round < 24; ++round) {
        const unsigned seed = random();
        std::string text;
        switch (round % 4) {
            case 0:
                text = generate::sphere(size(random), size(random), 0.3, seed);
                break;
            case 1:
                text = generate::grid(size(random), size(random), 0.4, seed);
                break;
            case 2:
                text = generate::fan(size(random));
                break;
            default:
                text = generate::cube();
                break;
        }
        SCOPED_TRACE("round " + std::to_string(round));
        expectSameRuns(text, {threshold(random), threshold(random), threshold(random)});
    }
}

TEST(MeshConvert, EveryExampleRunsAlikeFromBraceAndObj) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MESHTHIN_EXAMPLES)) {
        if (entry.path().extension() != ".mesh") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        expectSameRuns(text, {0.2, 0.5});
        ++examples;
    }
    EXPECT_GT(examples, 0);
}

TEST(MeshConvert, ColoursAndNormalsFollowTheKeptPoints) {
    Mesh cube = braceMesh(generate::cube());
    PolygonMesh original = asRead(cube);
    original.colourChannels = 3;
    for (size_t i = 0; i < original.pointCount(); ++i) {
        original.colours.insert(original.colours.end(), {static_cast<uint8_t>(i), 1, 2});
        original.normals.insert(original.normals.end(), {static_cast<float>(i), 0.0F, 1.0F});
    }
    Mesh mesh = formats::meshFromPolygons(original);
    mesh.Points(1).remove(mesh);
    const PolygonMesh result = formats::polygonsOf(mesh, &original);
    ASSERT_EQ(result.pointCount(), original.pointCount() - 1);
    ASSERT_EQ(result.colours.size(), result.pointCount() * 3);
    ASSERT_EQ(result.normals.size(), result.pointCount() * 3);
    for (size_t k = 0; k < result.pointCount(); ++k) {
        const size_t from = k < 1 ? k : k + 1;  // point 1 is gone
        EXPECT_EQ(result.colours[k * 3], from);
        EXPECT_EQ(result.normals[k * 3], static_cast<float>(from));
        EXPECT_EQ(result.positions[k * 3], original.positions[from * 3]);
    }
}

}  // namespace
}  // namespace meshthin::testing
