// Reading a mesh file into the store: the walk over the lines, the spare slot, the limits and
// the load step as the window runs it.
#include <gtest/gtest.h>

#include "meshio/loader.h"
#include "model/store.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

using LoaderTest = StoreTest;

const std::string kFourPoints =
    "first line\n"
    "points {\n"
    "(1.5 -2 3)\n"
    "(4 5 6)\n"
    "(7 8 9)\n"
    "(10 11 12)\n"
    "}\n"
    "faces {\n"
    "3 ( (0) (1) (2) )\n"
    "3 ( (1) (2) (3) )\n"
    "3 ( (2) (3) (0) )\n"
    "}\n";

void expectFourPointStore() {
    ASSERT_EQ(Points.upperBound(), 4);
    EXPECT_EQ(Points(0).getX(), 1.5);
    EXPECT_EQ(Points(0).getY(), -2);
    EXPECT_EQ(Points(3).getZ(), 12);
    // The spare slot behind the last point.
    EXPECT_EQ(Points(4).getNum(), 4);
    EXPECT_EQ(Points(4).getX(), 0);
    EXPECT_EQ(Points(4).getZ(), 0);
    EXPECT_EQ(Points(4).getNumConns(), 0);
    ASSERT_EQ(Faces.upperBound(), 2);
    EXPECT_EQ(Faces(2).report(), "(2)(3)(0)");
}

TEST_F(LoaderTest, FourPointsOnFourLinesAndThreeFaces) {
    load(kFourPoints);
    expectFourPointStore();
}

TEST_F(LoaderTest, TheSameStoreWhateverTheLineBreaksAndGrouping) {
    load(
        "x\npoints {\n  (1.5 -2 3)  (4 5 6)\n// a comment\n\n(7 8 9) and (10 11 12)\n}\n"
        "faces {\n3 ( (0) (1) (2) )\n3 ( (1) (2) (3) )\n3 ( (2) (3) (0) )\n}\n");
    expectFourPointStore();

    for (const char* lineBreak : {"\r\n", "\r"}) {
        resetStore();
        std::string text = kFourPoints;
        std::string converted;
        for (char c : text) {
            converted += c == '\n' ? std::string(lineBreak) : std::string(1, c);
        }
        load(converted);
        expectFourPointStore();
    }
}

TEST_F(LoaderTest, EveryGroupBeforeTheClosingBraceIsRead) {
    // The brace on the last point's line.
    load("x\npoints {\n(1 1 1)\n(2 2 2)\n(3 3 3) }\nfaces {\n3 ( (0) (1) (2) )\n}\n");
    ASSERT_EQ(Points.upperBound(), 3);
    EXPECT_EQ(Points(2).getX(), 3);
    EXPECT_EQ(Points(3).getX(), 0);  // spare

    // The brace on the first line after "points {", two groups before it and one after.
    resetStore();
    load("x\npoints {\n(1 1 1) (2 2 2) } (9 9 9)\nfaces {\n2 ( (0) (1) )\n}\n");
    ASSERT_EQ(Points.upperBound(), 2);
    EXPECT_EQ(Points(1).getX(), 2);
    EXPECT_EQ(Points(2).getX(), 0);
    EXPECT_EQ(Points(2).getNum(), 2);
}

TEST_F(LoaderTest, AnEmptyFacesSectionReadsOneEmptyFace) {
    load("x\npoints {\n(1 1 1)\n}\nfaces {\n}\nend }\n");
    ASSERT_EQ(Faces.upperBound(), 0);
    EXPECT_EQ(Faces(0).getNum(), -1);
    EXPECT_EQ(Faces(0).report(), "");
}

TEST_F(LoaderTest, ReadingStopsAtTheFirstFailure) {
    // "points {" on line 1 is never seen: the walk runs off the end of the file.
    EXPECT_THROW(load("points {\n(1 1 1)\n}\nfaces {\n}\n"), Failure);
    EXPECT_FALSE(Points.exists());

    // A bad number in point 10: points 0 to 9 stay, no face is read.
    resetStore();
    std::string text = "x\npoints {\n";
    for (int i = 0; i < 10; ++i) {
        text += "(" + std::to_string(i) + " 0 0)\n";
    }
    text += "(10 zero 0)\n(11 0 0)\n}\nfaces {\n3 ( (0) (1) (2) )\n}\n";
    EXPECT_THROW(load(text), Failure);
    EXPECT_EQ(Points.upperBound(), 10);
    EXPECT_EQ(Points(9).getX(), 9);
    EXPECT_FALSE(Faces.exists());

    for (const char* group : {"(1  2 3)", "( 1 2 3)", "(1\t2\t3)", "(1 2 3"}) {
        resetStore();
        EXPECT_THROW(load(std::string("x\npoints {\n") + group + "\n}\nfaces {\n}\n}\n"), Failure)
            << group;
    }
    resetStore();
    EXPECT_NO_THROW(load("x\npoints {\n(1 2 3 )\n}\nfaces {\n}\n}\n"));  // the blank stays in z
    EXPECT_EQ(Points(0).getZ(), 3);
}

TEST_F(LoaderTest, PointNumbersAreSixteenBit) {
    auto manyPoints = [](int count) {
        return meshText(std::vector<std::string>(static_cast<size_t>(count), "(1 2 3)"),
                        {"3 ( (0) (1) (2) )"});
    };
    load(manyPoints(32767));
    EXPECT_EQ(Points.upperBound(), 32767);
    resetStore();
    try {
        load(manyPoints(32768));
        FAIL() << "32768 points loaded";
    } catch (const Failure& failure) {
        // Line 1 is the title, line 2 "points {": the 32768th point stands on line 32770.
        EXPECT_STREQ(failure.what(), "Overflow (line 32770)");
    }
}

TEST_F(LoaderTest, TheLoadStepShowsOneMessageOnFailure) {
    TempDir dir;
    FakeWindow window;
    int listFills = 0;

    window.openAnswer = dir.path("missing.mesh").string();
    EXPECT_FALSE(Form_Load(window, [&] { ++listFills; }));
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0], kLoadNotice);
    EXPECT_EQ(window.messages[1].rfind("Error Occured: Cannot open file", 0), 0u)
        << window.messages[1];
    EXPECT_EQ(listFills, 0);
    EXPECT_FALSE(Points.exists());

    // A face naming a point beyond the last one fails the connection pass; the message names
    // the face's line: a first line, "points {", two points, "}", "faces {", the face.
    writeFile(dir.path("bad.mesh"), meshText({"(0 0 0)", "(1 0 0)"}, {"3 ( (0) (1) (5) )"}));
    window.messages.clear();
    window.openAnswer = dir.path("bad.mesh").string();
    EXPECT_FALSE(Form_Load(window, [&] { ++listFills; }));
    EXPECT_EQ(window.messages.back(),
              "Error Occured: Face names a point that does not exist (line 7)");
    EXPECT_EQ(listFills, 0);

    resetStore();
    writeFile(dir.path("good.mesh"), kFourPoints);
    window.messages.clear();
    window.openAnswer = dir.path("good.mesh").string();
    EXPECT_TRUE(Form_Load(window, [&] { ++listFills; }));
    EXPECT_EQ(window.messages, (std::vector<std::string>{kLoadNotice}));
    EXPECT_EQ(listFills, 1);
    EXPECT_GT(Points(0).getValue(), 0);

    // A cancelled dialog chooses no file.
    resetStore();
    window.openAnswer = "";
    EXPECT_FALSE(Form_Load(window, [&] { ++listFills; }));
    EXPECT_EQ(window.messages.back().rfind("Error Occured: ", 0), 0u);
    EXPECT_FALSE(Points.exists());
}

}  // namespace
}  // namespace meshthin::testing
