// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a mesh file into a mesh: the walk over the lines, the spare slot, the limits and
// the load step as the window runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <streambuf>

#include "meshio/loader.h"
#include "meshio/writer.h"
#include "model/mesh.h"
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

void expectFourPoints(const Mesh& mesh) {
    ASSERT_EQ(mesh.Points.upperBound(), 4);
    EXPECT_EQ(mesh.Points(0).getX(), 1.5);
    EXPECT_EQ(mesh.Points(0).getY(), -2);
    EXPECT_EQ(mesh.Points(3).getZ(), 12);
    // The spare slot behind the last point.
    EXPECT_EQ(mesh.Points(4).getNum(), 4);
    EXPECT_EQ(mesh.Points(4).getX(), 0);
    EXPECT_EQ(mesh.Points(4).getZ(), 0);
    EXPECT_EQ(mesh.Points(4).getNumConns(), 0);
    ASSERT_EQ(mesh.Faces.upperBound(), 2);
    EXPECT_EQ(mesh.Faces(2).report(), "(2)(3)(0)");
}

TEST_F(LoaderTest, FourPointsOnFourLinesAndThreeFaces) {
    load(kFourPoints);
    expectFourPoints(mesh);
}

TEST_F(LoaderTest, TheSameMeshWhateverTheLineBreaksAndGrouping) {
    load(
        "x\npoints {\n  (1.5 -2 3)  (4 5 6)\n// a comment\n\n(7 8 9) and (10 11 12)\n}\n"
        "faces {\n3 ( (0) (1) (2) )\n3 ( (1) (2) (3) )\n3 ( (2) (3) (0) )\n}\n");
    expectFourPoints(mesh);

    for (const char* lineBreak : {"\r\n", "\r"}) {
        freshMesh();
        std::string text = kFourPoints;
        std::string converted;
        for (char c : text) {
            converted += c == '\n' ? std::string(lineBreak) : std::string(1, c);
        }
        load(converted);
        expectFourPoints(mesh);
    }
}

TEST_F(LoaderTest, EveryGroupBeforeTheClosingBraceIsRead) {
    // The brace on the last point's line.
    load("x\npoints {\n(1 1 1)\n(2 2 2)\n(3 3 3) }\nfaces {\n3 ( (0) (1) (2) )\n}\n");
    ASSERT_EQ(mesh.Points.upperBound(), 3);
    EXPECT_EQ(mesh.Points(2).getX(), 3);
    EXPECT_EQ(mesh.Points(3).getX(), 0);  // spare

    // The brace on the first line after "points {", two groups before it and one after.
    freshMesh();
    load("x\npoints {\n(1 1 1) (2 2 2) } (9 9 9)\nfaces {\n2 ( (0) (1) )\n}\n");
    ASSERT_EQ(mesh.Points.upperBound(), 2);
    EXPECT_EQ(mesh.Points(1).getX(), 2);
    EXPECT_EQ(mesh.Points(2).getX(), 0);
    EXPECT_EQ(mesh.Points(2).getNum(), 2);
}

TEST_F(LoaderTest, AnEmptyFacesSectionReadsOneEmptyFace) {
    load("x\npoints {\n(1 1 1)\n}\nfaces {\n}\nend }\n");
    ASSERT_EQ(mesh.Faces.upperBound(), 0);
    EXPECT_EQ(mesh.Faces(0).getNum(), -1);
    EXPECT_EQ(mesh.Faces(0).report(), "");
}

TEST_F(LoaderTest, ReadingStopsAtTheFirstFailure) {
    // "points {" on line 1 is never seen: the walk runs off the end of the file.
    EXPECT_THROW(load("points {\n(1 1 1)\n}\nfaces {\n}\n"), Failure);
    EXPECT_FALSE(mesh.Points.exists());

    // A bad number in point 10: points 0 to 9 stay, no face is read.
    freshMesh();
    std::string text = "x\npoints {\n";
    for (int i = 0; i < 10; ++i) {
        text += "(" + std::to_string(i) + " 0 0)\n";
    }
    text += "(10 zero 0)\n(11 0 0)\n}\nfaces {\n3 ( (0) (1) (2) )\n}\n";
    EXPECT_THROW(load(text), Failure);
    EXPECT_EQ(mesh.Points.upperBound(), 10);
    EXPECT_EQ(mesh.Points(9).getX(), 9);
    EXPECT_FALSE(mesh.Faces.exists());

    for (const char* group : {"(1  2 3)", "( 1 2 3)", "(1\t2\t3)", "(1 2 3"}) {
        freshMesh();
        EXPECT_THROW(load(std::string("x\npoints {\n") + group + "\n}\nfaces {\n}\n}\n"), Failure)
            << group;
    }
    freshMesh();
    EXPECT_NO_THROW(load("x\npoints {\n(1 2 3 )\n}\nfaces {\n}\n}\n"));  // the blank stays in z
    EXPECT_EQ(mesh.Points(0).getZ(), 3);
}

TEST_F(LoaderTest, PointNumbersAreSixteenBit) {
    auto manyPoints = [](int count) {
        return meshText(std::vector<std::string>(static_cast<size_t>(count), "(1 2 3)"),
                        {"3 ( (0) (1) (2) )"});
    };
    load(manyPoints(32767));
    EXPECT_EQ(mesh.Points.upperBound(), 32767);
    freshMesh();
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
    EXPECT_FALSE(Form_Load(window, mesh, [&] { ++listFills; }));
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0], kLoadNotice);
    EXPECT_EQ(window.messages[1].rfind("Error Occured: Cannot open file", 0), 0u)
        << window.messages[1];
    EXPECT_EQ(listFills, 0);
    EXPECT_FALSE(mesh.Points.exists());

    // A face naming a point beyond the last one fails the connection pass; the message names
    // the face's line: a first line, "points {", two points, "}", "faces {", the face.
    writeFile(dir.path("bad.mesh"), meshText({"(0 0 0)", "(1 0 0)"}, {"3 ( (0) (1) (5) )"}));
    window.messages.clear();
    window.openAnswer = dir.path("bad.mesh").string();
    EXPECT_FALSE(Form_Load(window, mesh, [&] { ++listFills; }));
    EXPECT_EQ(window.messages.back(),
              "Error Occured: Face names a point that does not exist (line 7)");
    EXPECT_EQ(listFills, 0);

    freshMesh();
    writeFile(dir.path("good.mesh"), kFourPoints);
    window.messages.clear();
    window.openAnswer = dir.path("good.mesh").string();
    EXPECT_TRUE(Form_Load(window, mesh, [&] { ++listFills; }));
    EXPECT_EQ(window.messages, (std::vector<std::string>{kLoadNotice}));
    EXPECT_EQ(listFills, 1);
    EXPECT_GT(mesh.Points(0).getValue(), 0);

    // A cancelled dialog chooses no file.
    freshMesh();
    window.openAnswer = "";
    EXPECT_FALSE(Form_Load(window, mesh, [&] { ++listFills; }));
    EXPECT_EQ(window.messages.back().rfind("Error Occured: ", 0), 0u);
    EXPECT_FALSE(mesh.Points.exists());
}

// A stream's text handed out a few characters at a time, as a pipe or a slow disk may hand it;
// with failAt set, reading fails when the reader asks for the character at that position.
class TrickleBuffer : public std::streambuf {
public:
    TrickleBuffer(std::string text, size_t piece, size_t failAt = std::string::npos)
        : text(std::move(text)), piece(piece), failAt(failAt) {}

protected:
    int_type underflow() override {
        if (at >= failAt) {
            throw std::runtime_error("the disk went away");
        }
        if (at >= text.size()) {
            return traits_type::eof();
        }
        const size_t count = std::min({piece, text.size() - at, failAt - at});
        char* start = text.data() + at;
        setg(start, start, start + count);
        at += count;
        return traits_type::to_int_type(*start);
    }

private:
    std::string text;
    size_t piece;
    size_t failAt;
    size_t at = 0;
};

FaceLines loadTrickled(Mesh& mesh, const std::string& text, size_t piece,
                       size_t failAt = std::string::npos) {
    TrickleBuffer buffer(text, piece, failAt);
    std::istream in(&buffer);
    return readMesh(mesh, in, numtext::LocaleNumbers('.'));
}

// The reader takes the stream in chunks of its own; where a chunk ends, in a line, on a CR, on
// an LF or between the two, and how the stream hands out its text, changes nothing.
TEST_F(LoaderTest, TheSameMeshWhereverTheStreamIsCut) {
    std::vector<std::string> points;
    std::vector<std::string> faces;
    for (int i = 0; i < 40; ++i) {
        points.push_back("(" + std::to_string(i) + ".25 -" + std::to_string(i) + " 1e-3)");
        faces.push_back("3 0 0 -1 ( (" + std::to_string(i) + ") (" + std::to_string((i + 1) % 40) +
                        ") (" + std::to_string((i + 2) % 40) + ") )\t");  // a tab is no break
    }
    std::string expected;
    for (const char* lineBreak : {"\n", "\r\n", "\r"}) {
        std::string body = meshText(points, faces);
        std::string converted;
        for (char c : body.substr(body.find('\n') + 1)) {
            converted += c == '\n' ? std::string(lineBreak) : std::string(1, c);
        }
        // A first line long enough to end the reader's first chunks at every place of the
        // following lines, braces included.
        for (size_t title = (1 << 16) - 2000; title < (1 << 16) + 40; ++title) {
            for (size_t piece : {size_t{1} << 20, title % 16 == 0 ? size_t{7} : size_t{0}}) {
                if (piece == 0) {
                    continue;
                }
                freshMesh();
                const std::string text = std::string(title, 't') + lineBreak + converted;
                const FaceLines lines = loadTrickled(mesh, text, piece);
                ASSERT_EQ(lines.size(), 40u);
                const std::string summary = meshSummary(mesh);
                if (expected.empty()) {
                    expected = summary;
                    EXPECT_EQ(mesh.Points.upperBound(), 40);
                    EXPECT_EQ(mesh.Points(39).getX(), 39.25);
                    EXPECT_EQ(mesh.Faces(39).report(), "(39)(0)(1)");
                }
                ASSERT_EQ(summary, expected) << "first line " << title << ", pieces of " << piece;
                ASSERT_EQ(lines[0], 45) << "the first face's line";
            }
        }
    }
}

// A read error anywhere in the stream fails the load with the read failure, even behind a line
// that fails or behind the end of the mesh, and leaves the mesh as it was.
TEST_F(LoaderTest, AReadErrorWinsAndLeavesTheMeshAsItWas) {
    const std::string good = meshText({"(1 2 3)", "(4 5 6)", "(7 8 9)"}, {"3 ( (0) (1) (2) )"});
    const std::string badPoint = meshText({"(1 2 3)", "(x 5 6)", "(7 8 9)"}, {"3 ( (0) (1) (2) )"});
    const std::string tail = std::string(1 << 17, ' ') + "\n";  // behind the mesh, many chunks
    mesh.NextPtOrder = 17;
    for (const std::string& text : {good, badPoint, good + tail, badPoint + tail}) {
        for (size_t failAt : {size_t{0}, size_t{5}, text.find(" 5 6)"), text.find("faces"),
                              text.size() - 1, text.size() - std::min<size_t>(text.size(), 100)}) {
            for (size_t piece : {size_t{3}, size_t{1} << 20}) {
                freshMesh();
                mesh.NextPtOrder = 17;
                try {
                    loadTrickled(mesh, text, piece, failAt);
                    FAIL() << "no failure, failing at " << failAt;
                } catch (const Failure& failure) {
                    EXPECT_STREQ(failure.what(), "The file could not be read") << failAt;
                }
                EXPECT_TRUE(mesh.isEmpty()) << failAt;
                EXPECT_EQ(mesh.NextPtOrder, 17);
            }
        }
    }
    // Without the read error, the failing line's failure.
    freshMesh();
    EXPECT_THROW(
        {
            try {
                loadTrickled(mesh, badPoint + tail, 3);
            } catch (const Failure& failure) {
                EXPECT_STREQ(failure.what(), "Not a number: \"x\" (line 4)");
                throw;
            }
        },
        Failure);
    EXPECT_EQ(mesh.Points.upperBound(), 1);  // the slots read before the failure stay

    // The same in a file of the writer's form, and in one that turns out not to be, with a
    // "points {" line after its faces.
    const std::string written = meshHeader() + "\r\n(1 2 3)\r\n(4 5 6)\r\n(7 8 9)\r\n(0 0 0)\r\n" +
                                "}faces {\r\n3 0 0 -1 (  ( 0 )  ( 1 )  ( 2 )   ) \r\n } \r\n";
    for (const std::string& text : {written, written + "points {\n(1 1 1)\n}\nfaces {\n}\n}\n"}) {
        for (size_t failAt : {text.find("(4"), text.find("( 2 )"), text.size() - 2}) {
            freshMesh();
            try {
                loadTrickled(mesh, text, 3, failAt);
                FAIL() << "no failure, failing at " << failAt;
            } catch (const Failure& failure) {
                EXPECT_STREQ(failure.what(), "The file could not be read") << failAt;
            }
            EXPECT_TRUE(mesh.isEmpty()) << failAt;
        }
    }
}

}  // namespace
}  // namespace meshthin::testing
