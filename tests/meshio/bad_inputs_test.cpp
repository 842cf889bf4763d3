// SPDX-License-Identifier: GPL-3.0-or-later
// Files a user may hand the loader: empty, truncated, hand-edited, saved by other tools, binary.
// Each one either loads cleanly or ends in exactly one "Error Occured: " box with a plain
// description; after a failed load the program stays usable and a reduction run is refused
// with one message that changes nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "meshio/loader.h"
#include "meshio/reduction.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"
#include "ui/lists.h"

namespace meshthin::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Four points and two triangles; the spare slot behind the last point is slot 4.
const std::string kMesh =
    "a title line\n"
    "points {\n"
    "(0 0 0)\n"
    "(1 0 0)\n"
    "(0 1 0)\n"
    "(0 0 1.5)\n"
    "}\n"
    "faces {\n"
    "3 0 0 -1 ( (0) (1) (2) )\n"
    "3 0 0 -1 ( (0) (3) (1) )\n"
    "}\n"
    "}\n";
const std::string kMeshSummary = "(0 0 0)(1 0 0)(0 1 0)(0 0 1.5)(0 0 0) [(0)(1)(2)][(0)(3)(1)]";

// A mesh of three points whose point 0 is the given group, and one triangle.
// The group on line 3.
std::string withFirstGroup(const std::string& group) {
    return meshText({group, "(1 0 0)", "(0 1 0)"}, {"3 ( (0) (1) (2) )"});
}

// Three points (slots 0 to 2, the spare at 3) and the given face line, on line 8.
std::string withFaceLine(const std::string& face) {
    return meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)"}, {face});
}

std::string withLineBreaks(const std::string& text, const std::string& lineBreak) {
    std::string converted;
    for (char c : text) {
        converted += c == '\n' ? lineBreak : std::string(1, c);
    }
    return converted;
}

std::string pointLines(int count) {
    return meshText(std::vector<std::string>(static_cast<size_t>(count), "(1 2 3)"),
                    {"3 ( (0) (1) (2) )"});
}

struct Case {
    const char* name;
    std::string content;
    // The description after "Error Occured: "; empty for a clean load.
    std::string failure;
    char separator = '.';
};

class BadInputTest : public StoreTest {
protected:
    // Runs the window's load step on a file holding content; true when it loaded cleanly.
    bool loadFile(const std::string& content, char separator = '.') {
        writeFile(input, content);
        return loadPath(input, separator);
    }

    bool loadPath(const fs::path& path, char separator = '.') {
        freshMesh();
        window = FakeWindow();
        window.separator = separator;
        window.openAnswer = path.string();
        return Form_Load(window, mesh, [this] { FillLists(window, mesh); });
    }

    // The outcome the case asks for: the notice alone, or the notice and one error box.
    void expectOutcome(const Case& c, bool loaded) {
        SCOPED_TRACE(c.name);
        if (c.failure.empty()) {
            EXPECT_TRUE(loaded);
            EXPECT_EQ(window.messages, (std::vector<std::string>{kLoadNotice}));
            return;
        }
        EXPECT_FALSE(loaded);
        ASSERT_EQ(window.messages.size(), 2u);
        EXPECT_EQ(window.messages[1], std::string(kLoadErrorPrefix) + c.failure);
        expectRunRefused();
    }

    void runTable(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            expectOutcome(c, loadFile(c.content, c.separator));
        }
    }

    // After a failed load a click on "Attempt Reduction" shows one message and touches neither
    // the mesh, the button nor any file.
    void expectRunRefused() {
        const std::string meshBefore = meshSummary(mesh);
        const std::vector<std::string> filesBefore = namesIn(dir.folder());
        const size_t messagesBefore = window.messages.size();
        RunState state;
        window.text1Text = "0.5";
        Command1_Click(window, state, mesh, [this] { FillLists(window, mesh); });
        ASSERT_EQ(window.messages.size(), messagesBefore + 1);
        EXPECT_EQ(window.messages.back(), kNoMeshMessage);
        EXPECT_TRUE(window.captions.empty());
        EXPECT_FALSE(state.running);
        EXPECT_EQ(meshSummary(mesh), meshBefore);
        EXPECT_EQ(namesIn(dir.folder()), filesBefore);
    }

    TempDir dir;
    fs::path input = dir.path("input.mesh");
    FakeWindow window;
};

// The end-of-file failure names what the file lacked.
constexpr const char* kBeforePoints =
    "Input past end of file (the file ends before its \"points {\" line)";
constexpr const char* kInsidePoints = "Input past end of file (inside the points)";
constexpr const char* kInsideFaces = "Input past end of file (inside the faces)";

TEST_F(BadInputTest, FilesThatEndTooEarlyOrLackAMarker) {
    std::string junk;
    for (int i = 0; i < 1024; ++i) {
        junk += static_cast<char>((i * 37 + 11) & 0xff);  // every byte value, no marker in it
    }
    runTable({
        {"an empty file", "", kBeforePoints},
        {"one line", "points { (1 2 3) } faces { 3 ( (0) (0) (0) ) }", kBeforePoints},
        {"one line and its line break", "points {\n", kBeforePoints},
        {"points marker on line 1 only", "points {\n(1 2 3)\n}\nfaces {\n}\n}\n", kBeforePoints},
        {"no points marker", "title\npoint {\n(1 2 3)\n}\nfaces {\n3 ( (0) (0) (0) )\n}\n",
         kBeforePoints},
        {"no faces marker", "title\npoints {\n(1 2 3)\n}\nface {\n3 ( (0) (0) (0) )\n}\n",
         "Input past end of file (before its \"faces {\" line)"},
        {"ends right after the points marker", "title\npoints {\n", kInsidePoints},
        {"ends inside the points", "title\npoints {\n(1 2 3)\n(4 5 6)", kInsidePoints},
        {"ends right after the faces marker", "title\npoints {\n(1 2 3)\n}\nfaces {\n",
         kInsideFaces},
        {"ends inside the faces", "title\npoints {\n(1 2 3)\n}\nfaces {\n3 ( (0) (0) (0) )\n",
         kInsideFaces},
        {"binary junk", junk, kBeforePoints},
        {"binary junk before the mesh", junk + "\n" + kMesh.substr(kMesh.find('\n') + 1), ""},
    });
}

TEST_F(BadInputTest, LineEndsByteOrderMarkAndNulBytesReadTheSameMesh) {
    const std::vector<Case> cases = {
        {"LF", kMesh, ""},
        {"CR LF", withLineBreaks(kMesh, "\r\n"), ""},
        {"CR only", withLineBreaks(kMesh, "\r"), ""},
        {"no line break after the last line", kMesh.substr(0, kMesh.size() - 1), ""},
        {"a UTF-8 byte-order mark", "\xEF\xBB\xBF" + kMesh, ""},
        {"NUL bytes in text the reader ignores",
         "\0ti\0tle\npoints {\n\0\0\n"s + kMesh.substr(kMesh.find("(0 0 0)")) + "\0\0"s, ""},
    };
    for (const Case& c : cases) {
        expectOutcome(c, loadFile(c.content));
        EXPECT_EQ(meshSummary(mesh), kMeshSummary) << c.name;
    }
    // A NUL byte inside a number is not a number; the description shows it as "?".
    runTable({{"a NUL byte inside a number", withFirstGroup("(1 2\0 3)"s),
               "Not a number: \"2?\" (line 3)"}});
}

TEST_F(BadInputTest, PointGroupsAndNumberTexts) {
    runTable({
        {"tabs between the numbers", withFirstGroup("(1\t2\t3)"),
         "Malformed point group (expected \"(x y z)\") (line 3)"},
        {"a missing \")\"", withFirstGroup("(1 2 3"),
         "Malformed point group (expected \"(x y z)\") (line 3)"},
        {"a blank after \"(\"", withFirstGroup("( 1 2 3)"), "Not a number: \"\" (line 3)"},
        {"two blanks between numbers", withFirstGroup("(1  2 3)"), "Not a number: \"\" (line 3)"},
        {"1e400", withFirstGroup("(1e400 0 0)"), "Overflow (line 3)"},
        {"-1e400", withFirstGroup("(0 -1e400 0)"), "Overflow (line 3)"},
        {"nan", withFirstGroup("(nan 0 0)"), "Not a number: \"nan\" (line 3)"},
        {"inf", withFirstGroup("(0 0 inf)"), "Not a number: \"inf\" (line 3)"},
        {"1,5 under \".\"", withFirstGroup("(1,5 0 0)"), ""},
        {"1.5 under \",\"", withFirstGroup("(1.5 0 0)"), "", ','},
        {"1,5 under \",\"", withFirstGroup("(1,5 0 0)"), "", ','},
        {"both marks", withFirstGroup("(1.000,5 0 0)"), "Not a number: \"1.000,5\" (line 3)"},
        {"both marks under \",\"", withFirstGroup("(1,000.5 0 0)"),
         "Not a number: \"1,000.5\" (line 3)", ','},
        {"1e-400 is zero", withFirstGroup("(1e-400 0 0)"), ""},
        {"a blank before \")\"", withFirstGroup("(1 2 3 )"), ""},
    });
    loadFile(withFirstGroup("(1,5 -2,25 0)"), ',');
    EXPECT_EQ(meshSummary(mesh), "(1.5 -2.25 0)(1 0 0)(0 1 0)(0 0 0) [(0)(1)(2)]");
}

TEST_F(BadInputTest, AFailureNamesItsLineCountedAsATextEditorCountsIt) {
    // Line 1 the title, 2 "points {", 3 a blank line, 4 to 6 the points, 7 "}", 8 "faces {",
    // 9 and 10 the faces, 11 "}".
    const auto file = [](const std::string& thirdPoint, const std::string& secondFace) {
        return "title\npoints {\n\n(0 0 0)\n(1 0 0)\n" + thirdPoint +
               "\n}\nfaces {\n3 ( (0) (1) (2) )\n" + secondFace + "\n}\n";
    };
    const std::string badNumber = file("(0 1,5. 0)", "3 ( (0) (2) (1) )");
    const std::string missingPoint = file("(0 1 0)", "3 ( (0) (2) (7) )");
    runTable({
        {"a number on the first line of the points", withFirstGroup("(x 0 0)"),
         "Not a number: \"x\" (line 3)"},
        {"LF", badNumber, "Not a number: \"1,5.\" (line 6)"},
        {"CR LF", withLineBreaks(badNumber, "\r\n"), "Not a number: \"1,5.\" (line 6)"},
        {"CR only", withLineBreaks(badNumber, "\r"), "Not a number: \"1,5.\" (line 6)"},
        {"a number in a face line", file("(0 1 0)", "3 ( (0) (x) (1) )"),
         "Not a number: \"x\" (line 10)"},
        {"a face naming a point that does not exist, CR only", withLineBreaks(missingPoint, "\r"),
         "Face names a point that does not exist (line 10)"},
    });
}

TEST_F(BadInputTest, CoordinatesTooLargeForTheValuePass) {
    // analyze squares the differences to a neighbour: above about 1.34e154 the square no
    // longer fits a double.
    runTable({
        {"1.34e154 still squares", withFirstGroup("(1.34e154 0 0)"), ""},
        {"1.35e154 does not", withFirstGroup("(1.35e154 0 0)"), "Overflow"},
        {"about 1e200", withFirstGroup("(0 1e200 0)"), "Overflow"},
        {"a difference beyond the range",
         "t\npoints {\n(1e308 0 0)\n(-1e308 0 0)\n(0 1 0)\n}\nfaces {\n3 ( (0) (1) (2) )\n}\n",
         "Overflow"},
        {"a point no face names, analysed against point 0",
         "t\npoints {\n(0 0 0)\n(1 0 0)\n(0 1 0)\n(1e200 0 0)\n}\nfaces {\n3 ( (0) (1) (2) )\n}\n",
         "Overflow"},
    });
}

TEST_F(BadInputTest, FaceCountsAndPointNumbers) {
    runTable({
        {"count 0", withFaceLine("0 ( (0) (1) (2) )"), ""},
        {"count -1", withFaceLine("-1 ( (0) (1) (2) )"),
         "Negative point count in a face line (line 8)"},
        {"count 40000", withFaceLine("40000 ( (0) (1) (2) )"), "Overflow (line 8)"},
        {"count 1e6", withFaceLine("1e6 ( (0) (1) (2) )"), "Overflow (line 8)"},
        {"point -1", withFaceLine("3 ( (0) (-1) (2) )"),
         "Face names a point that does not exist (line 8)"},
        {"the spare slot", withFaceLine("3 ( (0) (1) (3) )"), ""},
        {"a point beyond the spare slot", withFaceLine("3 ( (0) (1) (4) )"),
         "Face names a point that does not exist (line 8)"},
        // The missing fourth group reads the line's first token, 4: beyond the last slot.
        {"more points counted than given", withFaceLine("4 ( (0) (1) (2) )"),
         "Face names a point that does not exist (line 8)"},
        {"no \")\" at all", withFaceLine("3 ( (0 (1 (2"),
         "Malformed face line (missing \")\") (line 8)"},
        {"a blank after \"(\"", withFaceLine("3 ( ( 0) (1) (2) )"), "Not a number: \"\" (line 8)"},
    });
    // A count of 0 reads a face without points.
    loadFile(withFaceLine("0 ( (0) (1) (2) )"));
    EXPECT_EQ(meshSummary(mesh), "(0 0 0)(1 0 0)(0 1 0)(0 0 0) []");
}

TEST_F(BadInputTest, LongLinesAndManyPoints) {
    const std::string pad(32760, 'x');
    runTable({
        // The group's ")" at position 32767, the last one a 16-bit position can hold.
        {"a group ending at position 32767", withFirstGroup(pad + "(1 2 3)"), ""},
        {"a group ending at position 32768", withFirstGroup(pad + "x(1 2 3)"), "Overflow (line 3)"},
        {"a long first line", std::string(100000, 'x') + "\n" + kMesh.substr(kMesh.find('\n') + 1),
         ""},
        {"a long line without groups in the points",
         "t\npoints {\n" + std::string(40000, '-') +
             "\n(0 0 0)\n(1 0 0)\n(0 1 0)\n}\nfaces {\n3 "
             "( (0) (1) (2) )\n}\n",
         ""},
        {"a long tail after a face's list", withFaceLine("3 ( (0) (1) (2) )" + pad + pad), ""},
        {"a face list starting beyond position 32767", withFaceLine("3 " + pad + pad + "( (0) )"),
         "Overflow (line 8)"},
        {"32768 points", pointLines(32768), "Overflow (line 32770)"},  // the last point's line
    });
    EXPECT_TRUE(loadFile(pointLines(32767)));
    EXPECT_EQ(mesh.Points.upperBound(), 32767);
}

TEST_F(BadInputTest, InputsThatAreNotReadableFiles) {
    fs::create_directory(dir.path("folder"));
    EXPECT_FALSE(loadPath(dir.path("folder")));
    expectOutcome(
        {"a folder", "", "Cannot open file: " + dir.path("folder").string() + " (Is a directory)"},
        false);
    fs::remove(dir.path("folder"));

    EXPECT_FALSE(loadPath(dir.path("missing.mesh")));
    expectOutcome(
        {"a missing file", "",
         "Cannot open file: " + dir.path("missing.mesh").string() + " (No such file or directory)"},
        false);
    // A path through a file, as if it were a folder: the system's own reason again.
    writeFile(input, kMesh);
    EXPECT_FALSE(loadPath(input / "x.mesh"));
    expectOutcome({"a file as a folder", "",
                   "Cannot open file: " + (input / "x.mesh").string() + " (Not a directory)"},
                  false);

    // A file that opens but whose reading fails: memory at address 0 is never mapped.
    EXPECT_FALSE(loadPath("/proc/self/mem"));
    expectOutcome({"a read error", "", "The file could not be read"}, false);
}

TEST_F(BadInputTest, AFileWithoutReadPermission) {
    writeFile(input, kMesh);
    fs::permissions(input, fs::perms::none);
    if (FILE* stillReadable = std::fopen(input.c_str(), "rb")) {
        std::fclose(stillReadable);
        GTEST_SKIP() << "the tests run with a user (such as root) that reads any file";
    }
    EXPECT_FALSE(loadPath(input));
    expectOutcome(
        {"no read permission", "", "Cannot open file: " + input.string() + " (Permission denied)"},
        false);
}

}  // namespace
}  // namespace meshthin::testing
