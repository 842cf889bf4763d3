// SPDX-License-Identifier: GPL-3.0-or-later
// What a face answers about its own point list, as read from a face line.
#include <gtest/gtest.h>

#include "model/mesh.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

class FaceTest : public StoreTest {
protected:
    Face readFace(const std::string& line) {
        Face face;
        face.loadme(mesh, line, dotNumbers);
        return face;
    }
};

TEST_F(FaceTest, AFaceLineKeepsAnExtraPositionHoldingZero) {
    const Face face = readFace("3 0 0 -1 ( (5 0) (6 1) (7 2) )");
    EXPECT_EQ(face.getNum(), 2);
    EXPECT_EQ(face.getPNum(0), 5);
    EXPECT_EQ(face.getPNum(2), 7);
    EXPECT_EQ(face.getPNum(3), 0);
    EXPECT_FALSE(face.hasPoint(0));  // the extra position is not a point of the face
    EXPECT_TRUE(face.hasPoint(6));
    EXPECT_THROW(face.getPNum(4), Failure);
    EXPECT_EQ(face.report(), "(5)(6)(7)");
}

TEST_F(FaceTest, FaceLinesInTheirTolerantForms) {
    const Face plain = readFace("   2 ( (5) (6) )  ");
    EXPECT_EQ(plain.getNum(), 1);
    EXPECT_EQ(plain.report(), "(5)(6)");

    const Face noted = readFace("3 0 0 -1 ( (10 0) (11 1) (12 2) )");
    EXPECT_EQ(noted.report(), "(10)(11)(12)");

    // No blank: no count, no points, lastPos goes from 0 to -1.
    const Face brace = readFace("}");
    EXPECT_EQ(brace.getNum(), -1);
    EXPECT_EQ(brace.report(), "");
    EXPECT_FALSE(brace.hasPoint(0));
    EXPECT_THROW(brace.getPNum(0), Failure);
    EXPECT_THROW(brace.getX(mesh, 0, showMessage), Failure);

    // Fewer groups than the count: the missing group reads the line's first token.
    const Face missing = readFace("3 ( (4) (5) )");
    EXPECT_EQ(missing.report(), "(4)(5)(3)");
}

TEST_F(FaceTest, MalformedFaceLinesFail) {
    EXPECT_THROW(readFace("3 ( ( 4) (5) (6) )"), Failure);  // a blank before the number
    EXPECT_THROW(readFace("3 ( (4 (5 (6"), Failure);        // no ")" at all
    EXPECT_THROW(readFace("x ( (4) (5) (6) )"), Failure);   // a count that is not a number
    EXPECT_THROW(readFace("40000 ( (4) )"), Failure);       // a count beyond 16 bits
    EXPECT_THROW(readFace("-1 ( (4) )"), Failure);
    EXPECT_THROW(readFace("2 ( (4) (70000) )"), Failure);  // a point number beyond 16 bits
}

TEST_F(FaceTest, ReportShowsBothFlagsWithTheirBlanks) {
    load(meshText({"(0 0 0)", "(0 0 0)", "(0 0 0)", "(0 0 0)", "(0 0 0)", "(0 0 0)", "(0 0 0)",
                   "(0 0 0)", "(0 0 0)", "(0 0 0)"},
                  {"3 ( (3) (7) (9) )"}));
    mesh.Faces.growTo(1);
    PointList newpts{3, 7, 9};
    mesh.Faces(1).reInit(mesh, newpts, {});
    mesh.Faces(1).remove();
    EXPECT_EQ(mesh.Faces(1).report(), "(3)(7)(9) NEW  GONE ");
    EXPECT_TRUE(mesh.Faces(1).getIsNew());
    EXPECT_TRUE(mesh.Faces(1).removedz());
    mesh.Faces(0).remove();
    mesh.Faces(0).remove();
    EXPECT_EQ(mesh.Faces(0).report(), "(3)(7)(9) GONE ");
    EXPECT_TRUE(mesh.Faces(0).hasPoint(7));  // a removed face still answers for its points
}

TEST_F(FaceTest, CoordinatesOfAPositionAndTheMessageForPointZero) {
    load(meshText({"(1 2 3)", "(4 5 6)", "(7 8 9)"}, {"3 ( (1) (0) (2) )"}));
    const Face& face = mesh.Faces(0);
    EXPECT_EQ(face.getX(mesh, 0, showMessage), 4);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(face.getY(mesh, 1), 2);
    EXPECT_TRUE(shown.empty());  // getY never shows it
    EXPECT_EQ(face.getX(mesh, 1, showMessage), 1);
    EXPECT_EQ(face.getZ(mesh, 2), 9);
    EXPECT_EQ(shown, (std::vector<std::string>{"x = 1"}));
}

}  // namespace
}  // namespace meshthin::testing
