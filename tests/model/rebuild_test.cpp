// SPDX-License-Identifier: GPL-3.0-or-later
// Faces turned into connections, rebuilt around a removed point, pruned and put in ring order.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "model/mesh.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

std::vector<std::string> points(int count) {
    return std::vector<std::string>(static_cast<size_t>(count), "(0 0 0)");
}

class RebuildTest : public StoreTest {
protected:
    // A rebuilt face at the end of Faces with the given list.
    Face& newFace(PointList list) {
        const long long f = mesh.Faces.upperBound() + 1;
        mesh.Faces.growTo(f);
        mesh.Faces(f).reInit(mesh, list, {});
        return mesh.Faces(f);
    }
};

enum { A = 1, B = 2, C = 3, D = 4, X = 5 };

TEST_F(RebuildTest, RegistrationAddsRingNeighboursInItsOrder) {
    // A triangle A B C: A gets B then C; B gets A then C; C gets A then B.
    load(meshText(points(6), {"3 ( (1) (2) (3) )"}));
    mesh.Faces(0).registerPts(mesh);
    EXPECT_EQ(listOf(mesh, A), (std::vector<PointNumber>{B, C}));
    EXPECT_EQ(listOf(mesh, B), (std::vector<PointNumber>{A, C}));
    EXPECT_EQ(listOf(mesh, C), (std::vector<PointNumber>{A, B}));

    // A quad A B C D: A gets B then D; B gets A then C; C gets B then D; D gets A then C.
    freshMesh();
    load(meshText(points(6), {"4 ( (1) (2) (3) (4) )"}));
    mesh.Faces(0).registerPts(mesh);
    EXPECT_EQ(listOf(mesh, A), (std::vector<PointNumber>{B, D}));
    EXPECT_EQ(listOf(mesh, B), (std::vector<PointNumber>{A, C}));
    EXPECT_EQ(listOf(mesh, C), (std::vector<PointNumber>{B, D}));
    EXPECT_EQ(listOf(mesh, D), (std::vector<PointNumber>{A, C}));

    //  A---D       two triangles sharing the edge A-C, in face order (A B C), (A C D)
    //  | \ |
    //  B---C
    freshMesh();
    load(meshText(points(6), {"3 ( (1) (2) (3) )", "3 ( (1) (3) (4) )"}));
    mesh.Faces(0).registerPts(mesh);
    mesh.Faces(1).registerPts(mesh);
    EXPECT_EQ(listOf(mesh, A), (std::vector<PointNumber>{B, C, D}));
    EXPECT_EQ(listOf(mesh, B), (std::vector<PointNumber>{A, C}));
    EXPECT_EQ(listOf(mesh, C), (std::vector<PointNumber>{A, B, D}));
    EXPECT_EQ(listOf(mesh, D), (std::vector<PointNumber>{A, C}));
}

TEST_F(RebuildTest, ReInitGathersTheLivePointsOfTheReplacedFaces) {
    // P = 0 removed; faces (P A B), (P B C), (P C D A).
    load(meshText(points(6), {"3 ( (0) (1) (2) )", "3 ( (0) (2) (3) )", "4 ( (0) (3) (4) (1) )"}));
    mesh.Points(0).remove(mesh);  // also appends a face; the interest here is reInit on its own
    const long long f = mesh.Faces.upperBound() + 1;
    mesh.Faces.growTo(f);
    PointList newpts{A, B, C};
    mesh.Faces(f).reInit(mesh, newpts, {0, 1, 2, 1});  // a face listed twice gathers nothing new
    EXPECT_EQ(newpts, (PointList{A, B, C, D}));
    EXPECT_EQ(mesh.Faces(f).report(), "(1)(2)(3)(4) NEW ");
    EXPECT_EQ(mesh.Faces(f).getNum(), 3);
}

TEST_F(RebuildTest, TheWalkFollowsTheFirstQualifyingConnection) {
    load(meshText(points(6), {}));
    // A: D, B, X; B: A, C; C: B, D; D: C, A. A's first qualifying entry is D.
    connect(mesh, A, {D, B, X});
    connect(mesh, B, {A, C});
    connect(mesh, C, {B, D});
    connect(mesh, D, {C, A});
    Face& face = newFace({A, B, C, D});
    face.fixOrder(mesh);
    EXPECT_EQ(face.report(), "(1)(4)(3)(2) NEW ");
    EXPECT_EQ(logged.front(), "****************************NEW FACE (1)(2)(3)(4) NEW ");
    EXPECT_EQ(logged[1], "restarting for loop");
    EXPECT_EQ(logged[2], "looking at points(1).getconn(0)");
    EXPECT_EQ(logged[3], "...connection goes to 4");
    EXPECT_EQ(logged[4], "...This is in this face's collection: True Already been added: False");
    EXPECT_EQ(logged[5], "-x-x-x- gone from points(1) to points(4) " + std::string(39, '*'));
}

TEST_F(RebuildTest, TheWalkTakesTheSameStepsWhetherAnybodyListensOrNot) {
    // Two faces from the file, (A B C) and (A C D): A's list is (B, C, D), C's (A, B, D).
    load(meshText(points(6), {"3 ( (1) (2) (3) )", "3 ( (1) (3) (4) )"}));
    mesh.Faces(0).registerPts(mesh);
    mesh.Faces(1).registerPts(mesh);
    // A face read from the file is walked too, A to C to D, but keeps its order.
    mesh.Faces(1).fixOrder(mesh);
    EXPECT_EQ(mesh.Faces(1).report(), "(1)(3)(4)");
    const std::string stars(39, '*');
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "-x-x-x- gone from points(1) to points(3) " + stars),
              logged.end());
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "-x-x-x- gone from points(3) to points(4) " + stars),
              logged.end());

    // With nobody listening the rebuilt face is put in the same order as when logged.
    stopListening();
    logged.clear();
    mesh.Faces(1).fixOrder(mesh);
    EXPECT_EQ(mesh.Faces(1).report(), "(1)(3)(4)");
    connect(mesh, A, {D, B, X});  // A's list is now (B, C, D, X): its first qualifying entry is B
    Face& face = newFace({A, D, C, B});
    face.fixOrder(mesh);
    EXPECT_EQ(face.report(), "(1)(2)(3)(4) NEW ");
    EXPECT_TRUE(logged.empty());
}

TEST_F(RebuildTest, AFaceShrunkBelowThreePointsIsMarkedRemoved) {
    // A rebuilt face takes the caller's list as it is, so a face made after C's removal can
    // still hold C; writing shrinks it.
    load(meshText(points(6), {"3 ( (1) (2) (3) )"}));
    mesh.Faces(0).registerPts(mesh);
    mesh.Points(C).remove(mesh);
    Face& triangle = newFace({A, B, C});
    Face& quad = newFace({A, B, C, D});
    mesh.NextPtOrder = 0;
    std::ostringstream out;
    triangle.writeOut(mesh, out);
    EXPECT_EQ(out.str(), "");  // two points left: no polygon, and gone from now on
    EXPECT_EQ(triangle.getNum(), 1);
    EXPECT_TRUE(triangle.removedz());
    // A face left with three points stays.
    quad.writeOut(mesh, out);
    EXPECT_EQ(quad.getNum(), 2);
    EXPECT_FALSE(quad.removedz());
}

TEST_F(RebuildTest, BrokenExpectationsStopAtTheirCause) {
#if MESHTHIN_CHECKS
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    load(meshText(points(6), {"3 ( (1) (2) (3) )"}));
    mesh.Faces(0).registerPts(mesh);
    // Faces to be replaced are marked removed before the rebuilt face gathers their points.
    mesh.Faces.growTo(1);
    PointList newpts{A};
    EXPECT_DEATH(mesh.Faces(1).reInit(mesh, newpts, {0}),
                 "the faces to replace are marked removed first");
    // A point is removed once; the run never asks for a second time.
    mesh.Points(A).remove(mesh);
    EXPECT_DEATH(mesh.Points(A).remove(mesh), "a point is removed once");
#else
    GTEST_SKIP() << "built without internal checks";
#endif
}

TEST_F(RebuildTest, AStuckWalkLeavesNoPointMarks) {
    load(meshText(points(6), {}));
    // A: B; B: A, C; C: B; D: A. D is listed by no walked point.
    connect(mesh, A, {B});
    connect(mesh, B, {A, C});
    connect(mesh, C, {B});
    connect(mesh, D, {A});
    Face& face = newFace({A, B, C, D});
    face.fixOrder(mesh);
    EXPECT_EQ(face.getPNum(3), -1);
    EXPECT_EQ(face.getNum(), 3);
    EXPECT_EQ(face.report(), "(1)(2)(3)(-1) NEW ");
}

TEST_F(RebuildTest, AFaceFromTheFileKeepsItsOrder) {
    load(meshText(points(6), {"3 ( (1) (2) (3) )", "3 ( (1) (3) (4) )"}));
    mesh.Faces(0).registerPts(mesh);
    mesh.Faces(1).registerPts(mesh);
    mesh.Faces(1).fixOrder(mesh);  // A's list (B, C, D) would walk A, C, D: only logged
    EXPECT_EQ(mesh.Faces(1).report(), "(1)(3)(4)");
    EXPECT_FALSE(logged.empty());
}

TEST_F(RebuildTest, WritingPrunesRemovedPointsButNeverTheExtraPosition) {
    // Point 0 removed; face (1 2 3) from the file holds 0 only in its extra position.
    load(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)", "(1 1 0)", "(5 5 5)"},
                  {"3 ( (1) (2) (3) )", "4 ( (1) (2) (4) (3) )"}));
    mesh.Faces(0).registerPts(mesh);
    mesh.Faces(1).registerPts(mesh);
    mesh.Points(0).remove(mesh);
    mesh.Points(4).remove(mesh);
    mesh.NextPtOrder = 0;
    std::ostringstream out;
    for (long long i = 0; i <= mesh.Points.upperBound(); ++i) {
        mesh.Points(i).writeOut(mesh, out, dotNumbers);
    }
    logged.clear();
    std::ostringstream faceOut;
    mesh.Faces(0).writeOut(mesh, faceOut);
    EXPECT_EQ(faceOut.str(), "3 0 0 -1 (  ( 0 )  ( 1 )  ( 2 )   ) \r\n");
    for (const std::string& text : logged) {
        EXPECT_EQ(text.find("shrinking"), std::string::npos) << text;
    }
    // Face 1 held point 4, so the removal already marked it: nothing is written.
    std::ostringstream removedOut;
    mesh.Faces(1).writeOut(mesh, removedOut);
    EXPECT_EQ(removedOut.str(), "");
}

TEST_F(RebuildTest, ALargePolygonIsGatheredOnceAndWalkedInRingOrder) {
    // A 1000-gon replaced by a face rebuilt around point 0: every other point once, in order.
    const int16_t size = 1000;
    std::vector<std::string> groups(static_cast<size_t>(size) + 1, "(0 0 0)");
    std::string polygon = std::to_string(size) + " (";
    for (int p = 0; p < size; ++p) {
        polygon += " (" + std::to_string(p) + ")";
    }
    loadAndAnalyze(meshText(groups, {polygon + " )"}));
    mesh.Points(0).remove(mesh);
    const Face& rebuilt = mesh.Faces(1);
    ASSERT_EQ(rebuilt.getNum(), size - 2);
    // 0's list was (1, 999); then the polygon's other points in their order.
    EXPECT_EQ(rebuilt.getPNum(0), 1);
    EXPECT_EQ(rebuilt.getPNum(1), 999);
    for (int16_t j = 2; j <= rebuilt.getNum(); ++j) {
        ASSERT_EQ(rebuilt.getPNum(j), j) << j;
    }
    // 0's neighbours 1 and 999 were each cut to one entry, and each addition replaced it:
    // the walk from 1 goes to 999 and is stuck there.
    mesh.Faces(1).fixOrder(mesh);
    EXPECT_EQ(rebuilt.getPNum(0), 1);
    EXPECT_EQ(rebuilt.getPNum(1), 999);
    EXPECT_EQ(rebuilt.getPNum(2), -1);
    EXPECT_EQ(rebuilt.getPNum(size - 2), -1);

    // A rebuilt face over the polygon's inner points 2..998, listed backwards, walks the ring.
    PointList inner;
    for (int16_t p = size - 2; p >= 2; --p) {
        inner.push_back(p);
    }
    mesh.Faces.growTo(2);
    mesh.Faces(2).reInit(mesh, inner, {});
    mesh.Faces(2).fixOrder(mesh);
    // From 998 the first qualifying connection is 997 (its list is 997, 999): down to 2.
    for (int16_t j = 0; j <= mesh.Faces(2).getNum(); ++j) {
        ASSERT_EQ(mesh.Faces(2).getPNum(j), size - 2 - j) << j;
    }
}

}  // namespace
}  // namespace meshthin::testing
