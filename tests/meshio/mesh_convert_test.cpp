// SPDX-License-Identifier: GPL-3.0-or-later
// A mesh that reaches the run through OBJ is run exactly as the same mesh read from the brace
// format: the same points removed, the same faces written in the same order, both ways round
// (a brace mesh sent through OBJ, and an OBJ mesh whose brace text is run), on generated meshes
// and every bundled example.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "meshio/any_mesh.h"
#include "meshio/batch.h"
#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/mesh_file.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/startup.h"
#include "meshio/writer.h"
#include "model/failure.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"
#include "support/temp_files.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

using formats::MeshFormat;
using formats::PolygonMesh;

const numtext::LocaleNumbers kDot('.');

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
    Mesh brace = loadedMesh(text);
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
        formats::MeshArray<double> kept;
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
    Mesh cube = loadedMesh(generate::cube());
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

// Every format read where a mesh is loaded: by extension, else by content, each the mesh the
// brace reader makes of the same points and faces.
TEST(LoadAnyMesh, EveryFormatLoadsTheMeshOfItsBraceText) {
    TempDir dir;
    const std::string text = generate::sphere(5, 7, 0.3, 11);
    Mesh brace = loadedMesh(text);
    const PolygonMesh polygons = asRead(brace);
    const std::string expected = braceText(brace);
    const std::vector<std::pair<std::string, MeshFormat>> files = {
        {"a.obj", MeshFormat::Obj},
        {"a.PLY", MeshFormat::Ply},
        {"a.off", MeshFormat::Off},
        {"obj-content.mesh", MeshFormat::Obj},
        {"off-content", MeshFormat::Off}};
    for (const auto& [name, format] : files) {
        SCOPED_TRACE(name);
        std::string bytes;
        formats::writeMesh(bytes, polygons, format);
        writeFile(dir.path(name), bytes);
        MeshSource source;
        source.format = MeshFormat::Stl;
        Mesh loaded = loadAnyMesh(dir.path(name).string(), kDot, &source);
        EXPECT_EQ(source.format, format);
        EXPECT_EQ(loaded.positionLimit(), kWidePositionLimit);
        EXPECT_EQ(braceText(loaded), expected);
    }
    writeFile(dir.path("brace.mesh"), text);
    MeshSource source;
    source.format = MeshFormat::Obj;
    Mesh loaded = loadAnyMesh(dir.path("brace.mesh").string(), kDot, &source);
    EXPECT_EQ(source.format, MeshFormat::Brace);
    EXPECT_EQ(loaded.positionLimit(), kBracePositionLimit);
    EXPECT_EQ(braceText(loaded), expected);
}

// A brace file fails as it always has; another format's failure is shown the same way, with the
// reader's description.
TEST(LoadAnyMesh, FailuresShowAsLoadingFailures) {
    TempDir dir;
    const std::string missing = dir.path("missing.mesh").string();
    FakeWindow window;
    Mesh mesh;
    EXPECT_FALSE(openMeshFile(window, mesh, missing, [] {}));
    Mesh direct;
    try {
        direct = loadMesh(missing, kDot);
        ADD_FAILURE() << "a missing file loads";
    } catch (const Failure& failure) {
        ASSERT_EQ(window.messages.size(), 1U);
        EXPECT_EQ(window.messages[0], std::string(kLoadErrorPrefix) + failure.what());
    }

    writeFile(dir.path("bad.obj"), "v 1 2 3\nv 4 5 6\nf 1 2 9\n");
    FakeWindow objWindow;
    EXPECT_FALSE(openMeshFile(objWindow, mesh, dir.path("bad.obj").string(), [] {}));
    ASSERT_EQ(objWindow.messages.size(), 1U);
    try {
        formats::readMesh(readFile(dir.path("bad.obj")), MeshFormat::Obj,
                          dir.path("bad.obj").string());
        ADD_FAILURE() << "a face naming a missing point reads";
    } catch (const formats::FormatError& error) {
        EXPECT_EQ(objWindow.messages[0], std::string(kLoadErrorPrefix) + error.what());
    }
}

// A brace file holds at most 32,767 points: one more is refused before anything is written,
// with the limit named, and the other formats take it.
TEST(WriteMeshAs, TheBraceFormatRefusesMoreThanItsPoints) {
    TempDir dir;
    for (const long long points : {kBracePointLimit, kBracePointLimit + 1}) {
        SCOPED_TRACE(points);
        PolygonMesh polygons;
        for (long long i = 0; i < points; ++i) {
            polygons.positions.insert(polygons.positions.end(),
                                      {static_cast<double>(i % 181), static_cast<double>(i / 181),
                                       static_cast<double>(i % 7)});
        }
        polygons.corners = {0, 1, static_cast<uint32_t>(points - 1)};
        polygons.faceStarts.push_back(3);
        Mesh mesh = formats::meshFromPolygons(polygons);
        const std::string brace = dir.path("big.mesh").string();
        writeFile(brace, "before");
        const bool fits = points <= kBracePointLimit;
        try {
            writeMeshAs(
                brace, mesh, kDot, [] {}, [](const std::string&) {});
            EXPECT_TRUE(fits);
            Mesh back = loadAnyMesh(brace, kDot);
            EXPECT_EQ(back.lastLoadedPoint() + 1, points);
        } catch (const Failure& failure) {
            EXPECT_FALSE(fits);
            EXPECT_EQ(failure.what(), bracePointLimitText(points));
            EXPECT_NE(std::string(failure.what()).find("32,767"), std::string::npos);
            EXPECT_EQ(readFile(brace), "before");
        }
        const std::string obj = dir.path("big.obj").string();
        writeMeshAs(
            obj, mesh, kDot, [] {}, [](const std::string&) {});
        const PolygonMesh back = formats::readMesh(readFile(obj), MeshFormat::Obj, obj);
        EXPECT_EQ(back.pointCount(), static_cast<size_t>(points));
        EXPECT_EQ(back.corners, polygons.corners);
    }
}

// A mesh whose file held texture coordinates says once, at its first write, that they are not
// written; a mesh without them never does.
TEST(WriteMeshAs, CornerDataIsMentionedOnce) {
    TempDir dir;
    writeFile(dir.path("textured.obj"),
              "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\nf 1/1 3/1 4/1\n");
    writeFile(dir.path("plain.obj"), "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n");
    for (const bool textured : {true, false}) {
        FakeWindow window;
        Mesh mesh;
        MeshSource source;
        const std::string name = textured ? "textured.obj" : "plain.obj";
        ASSERT_TRUE(openMeshFile(
            window, mesh, dir.path(name).string(), [] {}, &source));
        EXPECT_EQ(source.cornerDataDropped, textured);
        for (const char* target : {"out.ply", "out.mesh", "out.off"}) {
            window.saveAnswers.push_back(dir.path(target).string());
            ASSERT_TRUE(WriteMesh(
                window, mesh, [] {}, &source));
        }
        const auto notes = std::count(window.messages.begin(), window.messages.end(),
                                      std::string(kCornerDataNote));
        EXPECT_EQ(notes, textured ? 1 : 0);
        EXPECT_EQ(window.messages.size(), static_cast<size_t>(notes));
        // Each file in its own format, the same mesh.
        Mesh fromPly = loadAnyMesh(dir.path("out.ply").string(), kDot);
        Mesh fromBrace = loadAnyMesh(dir.path("out.mesh").string(), kDot);
        EXPECT_EQ(braceText(fromPly), braceText(fromBrace));
    }
}

}  // namespace
}  // namespace meshthin::testing

namespace meshthin::testing {
namespace {

// A mesh large enough to be valued on several threads gets every value bit for bit as on one,
// whatever the number of threads and however the points divide among them.
TEST(StartupValues, OnSeveralThreadsAsOnOne) {
    PolygonMesh polygons;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    const uint32_t columns = 501;  // 150,300 points: up to three threads
    const uint32_t rows = 300;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            polygons.positions.insert(polygons.positions.end(),
                                      {c + jitter(random), r + jitter(random), jitter(random)});
        }
    }
    for (uint32_t r = 0; r + 1 < rows; ++r) {
        for (uint32_t c = 0; c + 1 < columns; ++c) {
            const uint32_t a = r * columns + c;
            polygons.corners.insert(polygons.corners.end(),
                                    {a, a + 1, a + columns + 1, a + columns});
            polygons.faceStarts.push_back(static_cast<uint32_t>(polygons.corners.size()));
        }
    }
    // The records, too, are made on two threads from 200,000 points and faces on.
    Mesh one = formats::meshRecordsFromPolygons(polygons, 1);
    runStartupPasses(one, {}, 1);
    const PolygonMesh written = formats::polygonsOf(one);
    for (const unsigned threads : {2U, 3U}) {
        Mesh several = formats::meshRecordsFromPolygons(polygons, threads);
        runStartupPasses(several, {}, threads);
        for (long long i = 0; i <= one.lastLoadedPoint(); ++i) {
            ASSERT_EQ(one.Points(i).getValue(), several.Points(i).getValue())
                << "point " << i << " with " << threads << " threads";
        }
        EXPECT_EQ(formats::polygonsOf(several), written) << threads << " threads";
    }
    // A run leaves the values of the points it rewired behind it due; they are settled on
    // several threads as on one.
    std::vector<double> values;
    for (long long i = 0; i <= one.lastLoadedPoint(); ++i) {
        values.push_back(one.Points(i).getValue());
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    walkPointsBelow(one, values[values.size() / 2], [](long long) {});
    Mesh settledOnOne(one);
    settleValues(settledOnOne, 1);
    long long due = 0;
    for (long long i = 0; i <= one.spareSlot(); ++i) {
        due += one.Points(i).valueIsDue() ? 1 : 0;
    }
    ASSERT_GT(due, 50'000) << "enough due values for several threads";
    for (const unsigned threads : {2U, 3U}) {
        Mesh settled(one);
        settleValues(settled, threads);
        for (long long i = 0; i <= one.spareSlot(); ++i) {
            ASSERT_EQ(settled.Points(i).getValue(), settledOnOne.Points(i).getValue())
                << "point " << i << " with " << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace meshthin::testing
