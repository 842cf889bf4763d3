// SPDX-License-Identifier: GPL-3.0-or-later
// Taking a point out of the mesh: marks, rewiring, values and the rebuilt face.
#include <gtest/gtest.h>

#include "meshio/startup.h"
#include "model/mesh.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

using RemovalTest = StoreTest;

TEST_F(RemovalTest, AClosedFanOfThreeTrianglesBecomesOneTriangle) {
    //        A(1)           P(0) in the middle of the fan (P A B), (P B C), (P C A),
    //       /  \            lifted out of the plane so that it has a value.
    //    B(2)-P-C(3)
    stopListening();  // as in the program
    loadAndAnalyze(meshText({"(0 0 1)", "(0 2 0)", "(-2 -1 0)", "(2 -1 0)"},
                            {"3 ( (0) (1) (2) )", "3 ( (0) (2) (3) )", "3 ( (0) (3) (1) )"}));
    const double valueOfA = mesh.Points(1).getValue();
    mesh.Points(0).remove(mesh);

    EXPECT_TRUE(mesh.Points(0).removed());
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{1, 2, 3}));  // its own list stays
    EXPECT_EQ(listOf(mesh, 1), (std::vector<PointNumber>{2, 3}));
    EXPECT_EQ(listOf(mesh, 2), (std::vector<PointNumber>{1, 3}));
    EXPECT_EQ(listOf(mesh, 3), (std::vector<PointNumber>{2, 1}));
    EXPECT_NE(mesh.Points(1).valueNow(mesh), valueOfA);  // re-valued without P
    for (long long f = 0; f <= 2; ++f) {
        EXPECT_NE(mesh.Faces(f).report().find(" GONE "), std::string::npos);
    }
    ASSERT_EQ(mesh.Faces.upperBound(), 3);
    EXPECT_EQ(mesh.Faces(3).report(), "(1)(2)(3) NEW ");
}

TEST_F(RemovalTest, ANeighbourCutToOneEntryKeepsOnlyTheLastAddition) {
    // P(0) with the list (N, R, S); N's list is (P, Q): after remPoint it is (Q), and each
    // addition replaces that single entry, leaving (S).
    load(meshText({"(0 0 0)", "(1 0 0)", "(2 0 0)", "(3 0 0)", "(4 0 0)"}, {}));
    enum { P = 0, N = 1, R = 2, S = 3, Q = 4 };
    connect(mesh, P, {N, R, S});
    connect(mesh, N, {P, Q});
    connect(mesh, R, {P});  // its only entry is P: kept by remPoint, replaced by the first addition
    mesh.Points(P).remove(mesh);
    EXPECT_EQ(listOf(mesh, N), (std::vector<PointNumber>{S}));
    EXPECT_EQ(listOf(mesh, R), (std::vector<PointNumber>{S}));
    // No face held P: still one face is appended behind the empty one the file had.
    EXPECT_EQ(mesh.Faces.upperBound(), 1);
    EXPECT_EQ(mesh.Faces(1).report(), "(1)(2)(3) NEW ");
}

TEST_F(RemovalTest, APointConnectedToItselfIsRemovedWithoutFailing) {
    // The face (0 0 1 2) names point 0 twice, so 0 becomes its own neighbour.
    loadAndAnalyze(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)", "(1 1 1)"},
                            {"4 ( (0) (0) (1) (2) )", "3 ( (1) (3) (2) )"}));
    ASSERT_TRUE(mesh.Points(0).alreadyConn(0));
    ASSERT_NO_THROW(mesh.Points(0).remove(mesh));
    EXPECT_TRUE(mesh.Points(0).removed());
    // The rebuilt face starts from 0's list as the rewiring left it: 0 dropped itself.
    EXPECT_EQ(mesh.Faces(mesh.Faces.upperBound()).report(), "(2)(1) NEW ");
}

TEST_F(RemovalTest, PointZeroDropsARemovedNeighbourLikeAnyOther) {
    loadAndAnalyze(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)", "(1 1 0)"},
                            {"3 ( (0) (1) (2) )", "3 ( (1) (3) (2) )"}));
    ASSERT_TRUE(mesh.Points(0).alreadyConn(1));
    mesh.Points(1).remove(mesh);
    // 0's list (1, 2) is cut to (2); each later addition replaces a single entry, so the
    // additions 2 and 3 leave (3).
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{3}));
}

TEST_F(RemovalTest, FaceNumbersBeyondSixteenBitsAreFine) {
    // 40,000 copies of one triangle, then the removal of one of its points finds them all.
    std::vector<std::string> faces(40000, "3 ( (0) (1) (2) )");
    loadAndAnalyze(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)"}, faces));
    ASSERT_NO_THROW(mesh.Points(2).remove(mesh));
    EXPECT_EQ(mesh.Faces.upperBound(), 40000);
    EXPECT_NE(mesh.Faces(39999).report().find(" GONE "), std::string::npos);
    EXPECT_EQ(mesh.Faces(40000).report(), "(0)(1) NEW ");
}

TEST_F(RemovalTest, EveryPointOfAFanIsRewiredToAllTheOthers) {
    // The apex 0 over a ring 1..n of triangles (0 i i+1). Ring point i knows 0, i-1 and i+1;
    // without 0 it keeps (i-1, i+1) and gains every other ring point in the apex's order.
    for (int n : {10, 100}) {
        freshMesh();
        std::vector<std::string> groups(static_cast<size_t>(n) + 1, "(0 0 0)");
        std::vector<std::string> faces;
        for (int i = 1; i <= n; ++i) {
            faces.push_back("3 ( (0) (" + std::to_string(i) + ") (" + std::to_string(i % n + 1) +
                            ") )");
        }
        loadAndAnalyze(meshText(groups, faces));
        mesh.Points(0).remove(mesh);
        for (int i = 1; i <= n; ++i) {
            const int16_t before = static_cast<int16_t>(i == 1 ? n : i - 1);
            const int16_t after = static_cast<int16_t>(i == n ? 1 : i + 1);
            // The ring point's first face is the one before it, except for point 1.
            std::vector<PointNumber> expected = i == 1 ? std::vector<PointNumber>{after, before}
                                                       : std::vector<PointNumber>{before, after};
            for (int16_t other = 1; other <= n; ++other) {
                if (other != i && other != before && other != after) {
                    expected.push_back(other);
                }
            }
            ASSERT_EQ(listOf(mesh, static_cast<int16_t>(i)), expected)
                << "n = " << n << ", point " << i;
        }
    }
}

}  // namespace
}  // namespace meshthin::testing
