// Faces turned into connections, rebuilt around a removed point, pruned and put in ring order.
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>

#include "model/store.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

std::vector<int16_t> listOf(int16_t p) {
    std::vector<int16_t> list;
    for (int16_t j = 0; j <= Points(p).getNumConns(); ++j) {
        list.push_back(Points(p).getConn(j));
    }
    return list;
}

std::vector<std::string> points(int count) {
    return std::vector<std::string>(static_cast<size_t>(count), "(0 0 0)");
}

class RebuildTest : public StoreTest {
protected:
    void connect(int16_t p, std::vector<int16_t> to) {
        for (int16_t n : to) {
            Points(p).addConn(n);
        }
        Points(p).doneAdd();
    }
    // A rebuilt face at the end of Faces with the given list.
    Face& newFace(PointList list) {
        const long long f = Faces.upperBound() + 1;
        Faces.growTo(f);
        Faces(f).reInit(list, {});
        return Faces(f);
    }
};

enum { A = 1, B = 2, C = 3, D = 4, X = 5 };

TEST_F(RebuildTest, RegistrationAddsRingNeighboursInItsOrder) {
    // A triangle A B C: A gets B then C; B gets A then C; C gets A then B.
    load(meshText(points(6), {"3 ( (1) (2) (3) )"}));
    Faces(0).registerPts();
    EXPECT_EQ(listOf(A), (std::vector<int16_t>{B, C}));
    EXPECT_EQ(listOf(B), (std::vector<int16_t>{A, C}));
    EXPECT_EQ(listOf(C), (std::vector<int16_t>{A, B}));

    // A quad A B C D: A gets B then D; B gets A then C; C gets B then D; D gets A then C.
    resetStore();
    load(meshText(points(6), {"4 ( (1) (2) (3) (4) )"}));
    Faces(0).registerPts();
    EXPECT_EQ(listOf(A), (std::vector<int16_t>{B, D}));
    EXPECT_EQ(listOf(B), (std::vector<int16_t>{A, C}));
    EXPECT_EQ(listOf(C), (std::vector<int16_t>{B, D}));
    EXPECT_EQ(listOf(D), (std::vector<int16_t>{A, C}));

    //  A---D       two triangles sharing the edge A-C, in face order (A B C), (A C D)
    //  | \ |
    //  B---C
    resetStore();
    load(meshText(points(6), {"3 ( (1) (2) (3) )", "3 ( (1) (3) (4) )"}));
    Faces(0).registerPts();
    Faces(1).registerPts();
    EXPECT_EQ(listOf(A), (std::vector<int16_t>{B, C, D}));
    EXPECT_EQ(listOf(B), (std::vector<int16_t>{A, C}));
    EXPECT_EQ(listOf(C), (std::vector<int16_t>{A, B, D}));
    EXPECT_EQ(listOf(D), (std::vector<int16_t>{A, C}));
}

TEST_F(RebuildTest, ReInitGathersTheLivePointsOfTheReplacedFaces) {
    // P = 0 removed; faces (P A B), (P B C), (P C D A).
    load(meshText(points(6), {"3 ( (0) (1) (2) )", "3 ( (0) (2) (3) )", "4 ( (0) (3) (4) (1) )"}));
    Points(0).remove();  // also appends a face; the interest here is reInit on its own
    const long long f = Faces.upperBound() + 1;
    Faces.growTo(f);
    PointList newpts{A, B, C};
    Faces(f).reInit(newpts, {0, 1, 2, 1});  // a face listed twice gathers nothing new
    EXPECT_EQ(newpts, (PointList{A, B, C, D}));
    EXPECT_EQ(Faces(f).report(), "(1)(2)(3)(4) NEW ");
    EXPECT_EQ(Faces(f).getNum(), 3);
}

TEST_F(RebuildTest, TheWalkFollowsTheFirstQualifyingConnection) {
    load(meshText(points(6), {}));
    // A: D, B, X; B: A, C; C: B, D; D: C, A. A's first qualifying entry is D.
    connect(A, {D, B, X});
    connect(B, {A, C});
    connect(C, {B, D});
    connect(D, {C, A});
    Face& face = newFace({A, B, C, D});
    face.fixOrder();
    EXPECT_EQ(face.report(), "(1)(4)(3)(2) NEW ");
    EXPECT_EQ(logged.front(), "****************************NEW FACE (1)(2)(3)(4) NEW ");
    EXPECT_EQ(logged[1], "restarting for loop");
    EXPECT_EQ(logged[2], "looking at points(1).getconn(0)");
    EXPECT_EQ(logged[3], "...connection goes to 4");
    EXPECT_EQ(logged[4], "...This is in this face's collection: True Already been added: False");
    EXPECT_EQ(logged[5], "-x-x-x- gone from points(1) to points(4) " + std::string(39, '*'));
}

TEST_F(RebuildTest, AStuckWalkLeavesNoPointMarks) {
    load(meshText(points(6), {}));
    // A: B; B: A, C; C: B; D: A. D is listed by no walked point.
    connect(A, {B});
    connect(B, {A, C});
    connect(C, {B});
    connect(D, {A});
    Face& face = newFace({A, B, C, D});
    face.fixOrder();
    EXPECT_EQ(face.getPNum(3), -1);
    EXPECT_EQ(face.getNum(), 3);
    EXPECT_EQ(face.report(), "(1)(2)(3)(-1) NEW ");
}

TEST_F(RebuildTest, AFaceFromTheFileKeepsItsOrder) {
    load(meshText(points(6), {"3 ( (1) (2) (3) )", "3 ( (1) (3) (4) )"}));
    Faces(0).registerPts();
    Faces(1).registerPts();
    Faces(1).fixOrder();  // A's list (B, C, D) would walk A, C, D: only logged
    EXPECT_EQ(Faces(1).report(), "(1)(3)(4)");
    EXPECT_FALSE(logged.empty());
}

TEST_F(RebuildTest, WritingPrunesRemovedPointsButNeverTheExtraPosition) {
    // Point 0 removed; face (1 2 3) from the file holds 0 only in its extra position.
    load(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)", "(1 1 0)", "(5 5 5)"},
                  {"3 ( (1) (2) (3) )", "4 ( (1) (2) (4) (3) )"}));
    Faces(0).registerPts();
    Faces(1).registerPts();
    Points(0).remove();
    Points(4).remove();
    NextPtOrder = 0;
    std::ostringstream out;
    for (long long i = 0; i <= Points.upperBound(); ++i) {
        Points(i).writeOut(out, dotNumbers);
    }
    logged.clear();
    std::ostringstream faceOut;
    Faces(0).writeOut(faceOut);
    EXPECT_EQ(faceOut.str(), "3 0 0 -1 (  ( 0 )  ( 1 )  ( 2 )   ) \r\n");
    for (const std::string& text : logged) {
        EXPECT_EQ(text.find("shrinking"), std::string::npos) << text;
    }
    // Face 1 held point 4, so the removal already marked it: nothing is written.
    std::ostringstream removedOut;
    Faces(1).writeOut(removedOut);
    EXPECT_EQ(removedOut.str(), "");
}

// A file with one large polygon makes every face rebuilt around it large. Rebuilding takes time
// in proportion to the points of the replaced faces, not to their square: a file with one
// 1000-gon once took minutes to reduce.
TEST_F(RebuildTest, RebuildingTakesTimeInProportionToTheReplacedFaces) {
    auto secondsToRebuildAround = [](int16_t size) {
        double best = 1e9;
        for (int attempt = 0; attempt < 5; ++attempt) {  // the least disturbed of five
            resetStore();
            Points.growTo(size);
            Faces.growTo(1);
            PointList polygon(static_cast<size_t>(size));
            std::iota(polygon.begin(), polygon.end(), int16_t{0});
            Faces(0).reInit(polygon, {});
            Faces(0).remove();
            PointList around{0};
            const auto begin = std::chrono::steady_clock::now();
            Faces(1).reInit(around, {0});
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
            EXPECT_EQ(Faces(1).getNum(), size - 1);  // every point of the polygon, once
            best = std::min(best, took.count());
        }
        return best;
    };
    const double small = secondsToRebuildAround(4000);
    const double large = secondsToRebuildAround(32000);
    // Eight times the points: about eight times the time when linear, 64 times when quadratic.
    EXPECT_LT(large / small, 24) << small << " s for 4000 points, " << large << " s for 32000";
}

}  // namespace
}  // namespace meshthin::testing
