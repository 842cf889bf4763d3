// SPDX-License-Identifier: GPL-3.0-or-later
// The OBJ, PLY, OFF and STL readers and writers: every accepted form of each on a small text,
// random meshes written and read back, every kind of bad input, and which format a file is.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "meshio/formats/mesh_file.h"
#include "meshio/formats/obj.h"
#include "meshio/formats/off.h"
#include "meshio/formats/ply.h"
#include "meshio/formats/stl.h"
#include "meshio/formats/triangulate.h"
#include "tests/support/temp_files.h"

namespace meshthin::formats {
namespace {

using Faces = std::vector<std::vector<uint32_t>>;

Faces facesOf(const PolygonMesh& mesh) {
    Faces faces;
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        faces.emplace_back(mesh.face(f).begin(), mesh.face(f).end());
    }
    return faces;
}

void addFace(PolygonMesh& mesh, std::vector<uint32_t> face) {
    mesh.corners.insert(mesh.corners.end(), face.begin(), face.end());
    mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
}

// A random mesh: coordinates of every size (floats when asked, for STL), faces of 3 to 7
// distinct points, some points in no face.
PolygonMesh randomMesh(std::mt19937& rng, int channels, bool normals, bool floats) {
    PolygonMesh mesh;
    const int points = std::uniform_int_distribution<int>(3, 60)(rng);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> scale(-20, 20);
    for (int i = 0; i < 3 * points; ++i) {
        const double value = unit(rng) * std::pow(10.0, scale(rng));
        mesh.positions.push_back(floats ? static_cast<float>(value) : value);
    }
    mesh.colourChannels = channels;
    for (int i = 0; i < channels * points; ++i) {
        mesh.colours.push_back(static_cast<uint8_t>(rng()));
    }
    for (int i = 0; normals && i < 3 * points; ++i) {
        mesh.normals.push_back(static_cast<float>(unit(rng)));
    }
    const int faces = std::uniform_int_distribution<int>(0, 40)(rng);
    std::vector<uint32_t> order(static_cast<size_t>(points));
    for (uint32_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    for (int f = 0; f < faces; ++f) {
        std::shuffle(order.begin(), order.end(), rng);
        const int size = std::uniform_int_distribution<int>(3, std::min(7, points))(rng);
        addFace(mesh, std::vector<uint32_t>(order.begin(), order.begin() + size));
    }
    return mesh;
}

std::string messageOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const FormatError& error) {
        return error.what();
    }
    return "(no failure)";
}

TEST(ObjFormat, ReadsEveryForm) {
    const PolygonMesh mesh = readObj(
        "# a comment\nmtllib a.mtl\no thing\ng group\ns 1\nusemtl red\n"
        "v 0 0 0\nv 1.5 0 0 1\nv +1 1e0 .0\r\nv \\\n  0 1 0\nvt 0 0\nvn 0 0 1\nvp 1\n"
        "f 1 2 3\nf 1/1 2/1 3/1 4/1\nf -4//1 -3//1 -1//1\nf 1/1/1 3/1/1 \\\n 4/1/1\n"
        "l 1 2\np 1\nunknown statement\nv 9 9 9\n",
        "t.obj");
    EXPECT_EQ(mesh.positions, (MeshArray<double>{0, 0, 0, 1.5, 0, 0, 1, 1, 0, 0, 1, 0, 9, 9, 9}));
    EXPECT_EQ(facesOf(mesh), (Faces{{0, 1, 2}, {0, 1, 2, 3}, {0, 1, 3}, {0, 2, 3}}));
    EXPECT_TRUE(mesh.cornerDataDropped);
    EXPECT_TRUE(mesh.colours.empty());

    const PolygonMesh plain =
        readObj("v 0 0 0 1 0.5 0\nv 1 0 0 0 0 1\nv 0 1 0 0 0 0\nf 1 2 3\n", "c.obj");
    EXPECT_EQ(plain.colourChannels, 3);
    EXPECT_EQ(plain.colours, (std::vector<uint8_t>{255, 128, 0, 0, 0, 255, 0, 0, 0}));
    EXPECT_FALSE(plain.cornerDataDropped);
    // Colours on only some points are not kept.
    EXPECT_TRUE(readObj("v 0 0 0\nv 1 0 0 1 1 1\n", "c.obj").colours.empty());
}

TEST(PlyFormat, ReadsEveryForm) {
    const std::string ascii =
        "ply\r\nformat ascii 1.0\ncomment made by hand\nobj_info none\n"
        "element nothing 9000000000000000000\nelement vertex 4\nproperty float z\nproperty uchar "
        "red\nproperty float y\n"
        "property uchar green\nproperty uchar blue\nproperty double x\nproperty list uchar int "
        "extra\nproperty float nx\nproperty float ny\nproperty float nz\n"
        "element material 1\nproperty float shine\n"
        "element face 2\nproperty int flags\nproperty list uchar uint vertex_index\n"
        "property list uchar float texcoord\nend_header\n"
        "3 1 2 3 4 1 2 0 0 0 0 1\n0 5 0 6 7 1 1 9 0 1 0\n0 8 1 9 10 0 0 1 0 0\n"
        "0 0 0 0 0 0 3 1 2 3 1 2 3\n0.5\n7 3 0 1 2 0\n 7 4 0 1 2 3 2 0 0\n";
    const PolygonMesh mesh = readPly(ascii, "t.ply");
    EXPECT_EQ(mesh.positions, (MeshArray<double>{1, 2, 3, 1, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(mesh.colourChannels, 3);
    EXPECT_EQ(mesh.colours, (std::vector<uint8_t>{1, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0}));
    EXPECT_EQ(mesh.normals, (std::vector<float>{0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 2, 3}));
    EXPECT_EQ(facesOf(mesh), (Faces{{0, 1, 2}, {0, 1, 2, 3}}));
    EXPECT_TRUE(mesh.cornerDataDropped);

    // A strip: every second triangle turned back; -1 restarts; joining triangles left out.
    const PolygonMesh strips = readPly(
        "ply\nformat ascii 1.0\nelement vertex 6\nproperty float x\nproperty float y\n"
        "property float z\nelement tristrips 1\nproperty list int int vertex_indices\n"
        "end_header\n0 0 0\n0 1 0\n1 0 0\n1 1 0\n2 0 0\n2 1 0\n"
        "11 0 1 2 3 4 4 5 -1 3 4 5\n",
        "s.ply");
    EXPECT_EQ(facesOf(strips), (Faces{{0, 1, 2}, {2, 1, 3}, {2, 3, 4}, {3, 4, 5}}));
}

TEST(PlyFormat, ReadsBigEndianAndAnyNumericType) {
    std::string bytes =
        "ply\nformat binary_big_endian 1.0\nelement vertex 3\nproperty short x\n"
        "property float y\nproperty double z\nproperty ushort alpha\n"
        "element face 1\nproperty list ushort short vertex_indices\nend_header\n";
    const auto big = [&](auto value) {
        char raw[sizeof value];
        std::memcpy(raw, &value, sizeof value);
        std::reverse(raw, raw + sizeof value);
        bytes.append(raw, sizeof value);
    };
    for (int i = 0; i < 3; ++i) {
        big(int16_t(-300 + i));
        big(float(0.25f * i));
        big(double(1e300 / (i + 1)));
        big(uint16_t(7));
    }
    big(uint16_t(3));
    for (int16_t i : {2, 0, 1}) {
        big(i);
    }
    const PolygonMesh mesh = readPly(bytes, "b.ply");
    EXPECT_EQ(mesh.positions,
              (MeshArray<double>{-300, 0, 1e300, -299, 0.25, 1e300 / 2, -298, 0.5, 1e300 / 3}));
    EXPECT_EQ(facesOf(mesh), (Faces{{2, 0, 1}}));
    EXPECT_TRUE(mesh.colours.empty());  // alpha alone is no colour
}

TEST(OffFormat, ReadsEveryForm) {
    const PolygonMesh coloured = readOff(
        "# made by hand\nCOFF\n4 2 0\n0 0 0 255 0 0 255\n1 0 0 0 255 0 128\n"
        "0 1 0 0 0 255 0 # comment\n\n1 1 1 1 2 3 4\n3 0 1 2\n4 0 1 3 2 255 0 0\n",
        "c.off");
    EXPECT_EQ(coloured.positions, (MeshArray<double>{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1}));
    EXPECT_EQ(coloured.colourChannels, 4);
    EXPECT_EQ(coloured.colours[4 * 1 + 3], 128);
    EXPECT_EQ(facesOf(coloured), (Faces{{0, 1, 2}, {0, 1, 3, 2}}));

    const PolygonMesh all = readOff(
        "STCNOFF 3 1 3\n0 0 0 0 0 1 1.0 0.5 0 0.1 0.2\n1 0 0 0 0 1 0 0 1.0 0 0\n"
        "0 1 0 0 0 1 0 0 0.0 1 1\n3 2 1 0\n",
        "a.off");
    EXPECT_EQ(all.colourChannels, 3);
    EXPECT_EQ(all.colours, (std::vector<uint8_t>{255, 128, 0, 0, 0, 255, 0, 0, 0}));
    EXPECT_EQ(all.normals, (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1}));
    EXPECT_TRUE(all.cornerDataDropped);

    EXPECT_EQ(readOff("nOFF 3\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "n.off").faceCount(), 1u);
    EXPECT_EQ(readOff("3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "bare.off").pointCount(), 3u);
}

// A tetrahedron's four facets name twelve corners; welded, they are its four points, each
// neighbouring the other three, in the order the corners first appear.
TEST(StlFormat, WeldsCornersIntoSharedPoints) {
    const float corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -0.0f}};
    const float apex[3] = {0, 0, 1};
    const int facets[4][3] = {{0, 2, 1}, {3, 1, 4}, {1, 2, 4}, {2, 0, 4}};
    std::string binary = "solid but binary";
    binary.resize(80, ' ');
    const auto word = [&](uint32_t bits) { binary.append(reinterpret_cast<char*>(&bits), 4); };
    word(4);
    std::string ascii = "solid tetra\n";
    for (const auto& facet : facets) {
        for (int k = 0; k < 3; ++k) {
            word(0);
        }
        ascii += " FACET normal nan 0 0\n  outer loop\n";
        for (int corner : facet) {
            const float* p = corner == 4 ? apex : corners[corner];
            ascii += "   vertex";
            for (int k = 0; k < 3; ++k) {
                word(std::bit_cast<uint32_t>(p[k]));
                ascii += ' ' + std::to_string(p[k]);
            }
            ascii += '\n';
        }
        binary.append(2, '\0');
        ascii += "  endloop\n endfacet\n";
    }
    ascii += "endsolid tetra\nsolid empty\nendsolid\n";
    for (const std::string& bytes : {binary, ascii}) {
        const PolygonMesh mesh = readStl(bytes, "t.stl");
        EXPECT_EQ(mesh.positions, (MeshArray<double>{0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1}));
        EXPECT_EQ(facesOf(mesh), (Faces{{0, 1, 2}, {0, 2, 3}, {2, 1, 3}, {1, 0, 3}}));
    }
}

// Written and read back, a mesh is the same: points, faces, and the per-point data the format
// carries (OBJ: colours without alpha; STL: triangles only, shared points by coordinates).
TEST(MeshFormats, RandomMeshesRoundTrip) {
    std::mt19937 rng(27);
    for (int round = 0; round < 60; ++round) {
        const int channels = std::array{0, 3, 4}[round % 3];
        const bool normals = round % 2 == 0;
        const PolygonMesh mesh = randomMesh(rng, channels, normals, false);
        for (PlyEncoding encoding :
             {PlyEncoding::Ascii, PlyEncoding::BinaryLittleEndian, PlyEncoding::BinaryBigEndian}) {
            std::string text;
            writePly(text, mesh, encoding);
            EXPECT_EQ(readPly(text, "r.ply"), mesh) << "round " << round;
        }
        std::string off;
        writeOff(off, mesh);
        EXPECT_EQ(readOff(off, "r.off"), mesh) << "round " << round;

        std::string obj;
        writeObj(obj, mesh);
        PolygonMesh carried = mesh;
        carried.normals.clear();
        if (channels == 4) {
            carried.colourChannels = 3;
            carried.colours.clear();
            for (size_t i = 0; i < mesh.colours.size(); ++i) {
                if (i % 4 != 3) {
                    carried.colours.push_back(mesh.colours[i]);
                }
            }
        }
        EXPECT_EQ(readObj(obj, "r.obj"), carried) << "round " << round;
    }
    // A face of more than 255 corners needs a wider count in PLY.
    PolygonMesh ring;
    std::vector<uint32_t> face;
    for (uint32_t i = 0; i < 300; ++i) {
        ring.positions.insert(ring.positions.end(), {std::cos(i * 0.02), std::sin(i * 0.02), 0});
        face.push_back(i);
    }
    addFace(ring, face);
    std::string text;
    writePly(text, ring);
    EXPECT_EQ(readPly(text, "ring.ply"), ring);
}

// The OBJ reader cuts a large file into parts read on threads of their own: wherever the cuts
// fall, the mesh and every failure are those of one pass. Random files of every statement the
// reader knows (relative corners reaching back across a cut, colours on some points or all,
// corner data, comments, blank lines, a byte order mark, joined lines, bad statements) are read
// in one part and in 2 to 9.
TEST(ObjFormat, ReadInPartsAsInOnePass) {
    std::mt19937 rng(28);
    const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    // The mesh read, or the failure's message.
    const auto read = [](const std::string& text, size_t parts) {
        try {
            return std::pair(detail::readObjInParts(text, "p.obj", parts), std::string());
        } catch (const FormatError& error) {
            return std::pair(PolygonMesh(), std::string(error.what()));
        }
    };
    for (int round = 0; round < 300; ++round) {
        std::string text = pick(10) == 0 ? "\xEF\xBB\xBF" : "";
        const bool coloured = pick(2) == 0;
        int points = 0;
        const int lines = 5 + pick(60);
        for (int line = 0; line < lines; ++line) {
            const int kind = pick(12);
            if (kind < 5 || points < 3) {
                text += "v " + std::to_string(pick(100)) + " 0." + std::to_string(pick(1000)) +
                        " -" + std::to_string(pick(9));
                text += coloured || pick(8) == 0 ? " 0.5 1 0\n" : "\n";
                ++points;
            } else if (kind < 9) {
                text += "f";
                for (int corner = 3 + pick(3); corner > 0; --corner) {
                    const int back = 1 + pick(points);
                    text += pick(3) == 0 ? " -" + std::to_string(back)
                                         : " " + std::to_string(points + 1 - back);
                    text += pick(6) == 0 ? "/1/2" : "";
                }
                text += "\n";
            } else if (kind == 9) {
                text += pick(2) == 0 ? "# a comment\n" : "\n";
            } else if (kind == 10) {
                text += pick(2) == 0 ? "vn 0 0 1\ng part\n" : "usemtl a\\b\n";
            } else {
                // Now and then something a cut must not hide: a bad statement, a point named
                // before it exists, a line joined to the next.
                text += std::array<const char*, 4>{"f 1 2\n", "v 0 x 0\n", "f 1 2 99\n",
                                                   "v 0 \\\n0 0\n"}[pick(4)];
            }
        }
        const auto once = read(text, 1);
        for (size_t parts = 2; parts <= 9; ++parts) {
            const auto inParts = read(text, parts);
            EXPECT_TRUE(inParts == once) << "round " << round << ", parts " << parts << ": "
                                         << inParts.second << " / " << once.second;
        }
    }
}

// Large meshes are written and read on every core; the text and the mesh are those of one
// thread, however the lines are shared out.
TEST(ObjFormat, ManyThreadsWriteAndReadWhatOneDoes) {
    std::mt19937 rng(29);
    PolygonMesh mesh;
    std::uniform_real_distribution<double> unit(-1, 1);
    const uint32_t points = 160'001;
    for (uint32_t i = 0; i < 3 * points; ++i) {
        mesh.positions.push_back(unit(rng));
    }
    for (uint32_t i = 0; i + 2 < points; i += 1 + rng() % 2) {
        addFace(mesh, {i, i + 1, i + 2});
    }
    std::string one;
    writeObj(one, mesh, 1);
    for (const unsigned threads : {0U, 3U, 7U}) {
        std::string many;
        writeObj(many, mesh, threads);
        EXPECT_EQ(many, one) << threads << " threads";
        EXPECT_EQ(readObj(one, "big.obj", threads), mesh) << threads << " threads";
    }
}

// STL: a triangle mesh whose points appear in order comes back as it was; a polygon comes back
// as the triangles the mesh view draws, with unit facet normals.
TEST(StlFormat, RoundTripAndCutAsTheView) {
    std::mt19937 rng(11);
    for (int round = 0; round < 30; ++round) {
        PolygonMesh mesh = randomMesh(rng, 0, false, true);
        PolygonMesh triangles;
        triangles.positions = mesh.positions;
        for (size_t f = 0; f < mesh.faceCount(); ++f) {
            const auto face = mesh.face(f);
            addFace(triangles, {face[0], face[1], face[2]});
        }
        // Renumber the points in their first appearance and leave out the unused ones.
        PolygonMesh expected;
        std::vector<int64_t> number(triangles.pointCount(), -1);
        for (uint32_t point : triangles.corners) {
            if (number[point] < 0) {
                number[point] = static_cast<int64_t>(expected.pointCount());
                expected.positions.insert(expected.positions.end(),
                                          triangles.positions.begin() + 3 * point,
                                          triangles.positions.begin() + 3 * point + 3);
            }
            expected.corners.push_back(static_cast<uint32_t>(number[point]));
        }
        expected.faceStarts = triangles.faceStarts;
        std::string bytes;
        writeStl(bytes, triangles);
        EXPECT_EQ(bytes.size(), 84 + 50 * triangles.faceCount());
        EXPECT_EQ(readStl(bytes, "r.stl"), expected) << "round " << round;
    }

    PolygonMesh notch;  // a non-convex pentagon, tilted out of every axis plane
    const glm::vec3 ring[5] = {{0, 0, 0}, {4, 0, 1}, {4, 3, 2}, {2, 1, 1}, {0, 3, 1}};
    for (const glm::vec3& p : ring) {
        notch.positions.insert(notch.positions.end(), {p.x, p.y, p.z});
    }
    addFace(notch, {0, 1, 2, 3, 4});
    std::string bytes;
    writeStl(bytes, notch);
    std::vector<uint32_t> cut;
    triangulatePolygon(ring, 0, cut);
    const PolygonMesh read = readStl(bytes, "n.stl");
    ASSERT_EQ(read.faceCount(), 3u);
    for (size_t t = 0; t < 3; ++t) {
        float normal[3];
        std::memcpy(normal, bytes.data() + 84 + 50 * t, sizeof normal);
        EXPECT_NEAR(std::hypot(normal[0], normal[1], normal[2]), 1.0, 1e-6);
        for (size_t k = 0; k < 3; ++k) {
            const uint32_t point = read.corners[3 * t + k];
            const glm::vec3 at(read.positions[3 * point], read.positions[3 * point + 1],
                               read.positions[3 * point + 2]);
            EXPECT_EQ(at, ring[cut[3 * t + k]]) << "triangle " << t << " corner " << k;
        }
    }
}

struct BadInput {
    MeshFormat format;
    std::string bytes;
    std::string where;     // "line N" or "byte N"
    std::string expected;  // a part of what the message says was expected
};

std::string stlOf(uint32_t count, size_t facets, float coordinate = 0) {
    std::string bytes(80, ' ');
    bytes.append(reinterpret_cast<const char*>(&count), 4);
    for (size_t f = 0; f < facets; ++f) {
        std::string facet(50, '\0');
        std::memcpy(facet.data() + 12, &coordinate, 4);
        bytes += facet;
    }
    return bytes;
}

const std::string kPlyHead =
    "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
    "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0\n1 0 0\n0 1 0\n";
const std::string kBinaryPlyHead =
    "ply\nformat binary_little_endian 1.0\nelement vertex 2\nproperty float x\n"
    "property float y\nproperty float z\nend_header\n";

TEST(MeshFormats, BadInputNamesFileLineOrByteAndWhatWasExpected) {
    const std::vector<BadInput> cases = {
        {MeshFormat::Obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", "line 4", "from 1 to 3"},
        {MeshFormat::Obj, "v 0 0 0\nf -2 1 1\n", "line 2", "from -1 to -1"},
        {MeshFormat::Obj, "v 0 0 0\nf 0 1 1\n", "line 2", "from 1"},
        {MeshFormat::Obj, "v 0 0 0\nv 1 0 0\n\nf 1 2\n", "line 4", "at least 3 points"},
        {MeshFormat::Obj, "v 0 nan 0\n", "line 1", "finite"},
        {MeshFormat::Obj, "v 0 0 0\nv 1 0 inf\n", "line 2", "finite"},
        {MeshFormat::Obj, "v 0 0\n", "line 1", "a coordinate"},
        {MeshFormat::Ply, kPlyHead + "3 0 1 3\n", "line 13", "from 0 to 2"},
        {MeshFormat::Ply, kPlyHead + "2 0 1\n", "line 13", "at least 3 points"},
        {MeshFormat::Ply, kPlyHead + "3 0 1 2\n4 0 1 2 0\n", "line 14", "the end of the file"},
        {MeshFormat::Ply, kPlyHead, "line 13", "face 0 (the header announces 1)"},
        {MeshFormat::Ply,
         "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n"
         "property float y\nproperty float z\nend_header\n0 0 -inf\n",
         "line 8", "finite"},
        {MeshFormat::Ply, "ply\nformat ascii 1.0\nelement vertex 1\nproperty int64 x\n", "line 4",
         "a property type"},
        {MeshFormat::Ply, "ply\nformat ascii 1.0\nelement vertex 1\nproperty float y\nend_header\n",
         "line 3", "x, y and z"},
        {MeshFormat::Ply, kBinaryPlyHead + std::string(20, '\0'),
         "byte " + std::to_string(kBinaryPlyHead.size() + 20),
         "vertex 1 (the header announces 2), but the file ends"},
        {MeshFormat::Ply, kBinaryPlyHead + std::string(25, '\0'),
         "byte " + std::to_string(kBinaryPlyHead.size() + 24), "(1 bytes more)"},
        {MeshFormat::Ply, "ply\nformat binary 1.0\n", "line 2", "binary_little_endian"},
        {MeshFormat::Ply, kBinaryPlyHead + std::string(12, '\0') + std::string(12, '\xff'),
         "byte " + std::to_string(kBinaryPlyHead.size() + 12), "a finite x in vertex 1"},
        {MeshFormat::Off, "4OFF\n1 0 0\n0 0 0 1\n", "line 1", "(4OFF) are not supported"},
        {MeshFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n", "line 5",
         "point 3 (the header announces 3)"},
        {MeshFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n", "line 6", "from 0 to 2"},
        {MeshFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n2 0 1\n", "line 6", "at least 3"},
        {MeshFormat::Off, "OFF\n1 0 0\n0 NaN 0\n", "line 3", "finite"},
        {MeshFormat::Off, "OFF\n1 0 0\n0 0 0\n3 0 0 0\n", "line 4", "the end of the file"},
        {MeshFormat::Stl, stlOf(2, 1), "byte 134", "2 triangles as the header announces"},
        {MeshFormat::Stl, stlOf(1, 2), "byte 134", "the end of the file after the 1"},
        {MeshFormat::Stl, stlOf(1, 1, NAN), "byte 96", "finite coordinates"},
        {MeshFormat::Stl,
         "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
         "endloop\nendfacet\nendsolid\n",
         "line 2", "at least 3 corners"},
        {MeshFormat::Stl, "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 inf\n", "line 4",
         "finite"},
    };
    for (const BadInput& bad : cases) {
        const std::string message = messageOf([&] { readMesh(bad.bytes, bad.format, "bad.file"); });
        EXPECT_EQ(message.rfind("bad.file: " + bad.where + ": expected ", 0), 0u) << message;
        EXPECT_NE(message.find(bad.expected), std::string::npos) << message;
    }
}

TEST(MeshFormats, DetectsFormatByNameThenContent) {
    std::mt19937 rng(3);
    std::string binaryStl;
    writeStl(binaryStl, randomMesh(rng, 0, false, true));
    const std::vector<std::pair<std::string, MeshFormat>> byContent = {
        {"ply\nformat ascii 1.0\n", MeshFormat::Ply},
        {"# c\n  COFF 3 1 0\n", MeshFormat::Off},
        {"\xEF\xBB\xBFOFF\n3 1 0\n", MeshFormat::Off},
        {"solid cube\n  facet normal 0 0 1\n", MeshFormat::Stl},
        {"solid\r\nfacet normal 0 0 1\n", MeshFormat::Stl},
        {binaryStl, MeshFormat::Stl},
        {"# made by hand\nmtllib a.mtl\nv 0 0 0\n", MeshFormat::Obj},
        {"cube\nmesh {\n  points {\n    (0 0 0)\n", MeshFormat::Brace},
        {"OFF\nmesh {\n", MeshFormat::Brace},
        {"solid\nmesh {\n", MeshFormat::Brace},
        {"v 0 0 0\n", MeshFormat::Obj},
        {"", MeshFormat::Brace},
    };
    for (const auto& [bytes, format] : byContent) {
        EXPECT_EQ(detectFormat("a.mesh", bytes), format) << bytes.substr(0, 20);
        EXPECT_EQ(detectFormat("noextension", bytes), format) << bytes.substr(0, 20);
    }
    const std::vector<std::pair<std::string, MeshFormat>> byName = {
        {"a.OBJ", MeshFormat::Obj},
        {"b.Ply", MeshFormat::Ply},
        {"dir.stl/c.off", MeshFormat::Off},
        {"d.stl", MeshFormat::Stl},
        {"e.obj.mesh", MeshFormat::Brace}};
    for (const auto& [name, format] : byName) {
        EXPECT_EQ(detectFormat(name, "cube\nmesh {\n"), format) << name;
    }
}

TEST(MeshFormats, WritesFilesDurablyAndPlyAsciiByName) {
    const testing::TempDir folder;
    std::mt19937 rng(5);
    const PolygonMesh mesh = randomMesh(rng, 3, true, false);
    for (const char* name : {"m.ply", "m.ASCII.ply", "m.off", "m.obj"}) {
        const std::string path = folder.path(name).string();
        const MeshFormat format = *formatOfName(path);
        writeMeshFile(path, mesh, format);
        const FileBytes bytes = readMeshFile(path);
        EXPECT_EQ(formatOfContent(bytes), format) << name;
        const PolygonMesh read = readMesh(bytes, format, name);
        EXPECT_EQ(read.positions, mesh.positions) << name;
        EXPECT_EQ(read.corners, mesh.corners) << name;
    }
    EXPECT_TRUE(readMeshFile(folder.path("m.ASCII.ply").string()).starts_with("ply\nformat ascii"));
    EXPECT_TRUE(readMeshFile(folder.path("m.ply").string())
                    .starts_with("ply\nformat binary_little_endian"));
    EXPECT_NE(messageOf([&] {
                  readMeshFile(folder.path("none.obj").string());
              }).find("none.obj: cannot be read"),
              std::string::npos);
}

}  // namespace
}  // namespace meshthin::formats
