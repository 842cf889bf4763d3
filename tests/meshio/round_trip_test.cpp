// SPDX-License-Identifier: GPL-3.0-or-later
// Every file the program writes opens again as what was written: its points (the last line the
// spare slot) and its faces, and writing it once more gives the same bytes. Under either decimal
// separator, whichever the file was written with. And the files that loaded before load as
// before: the plain reference (support/reference_mesh) keeps the reading as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/startup.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/reference_mesh.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

std::string writtenText(Mesh& mesh, char separator) {
    std::ostringstream out;
    writeMeshText(
        mesh, out, numtext::LocaleNumbers(separator), [] {}, [](const std::string&) {});
    return out.str();
}

FaceLines readText(Mesh& mesh, const std::string& text, char separator) {
    std::istringstream in(text);
    return readMesh(mesh, in, numtext::LocaleNumbers(separator));
}

// mesh holds what text says, read the plain way: one point per line from line 2 up to
// "}faces {" (the last the spare slot), and per face line the numbers inside " ( k ) ".
void expectMeshHoldsWhatWasWritten(const Mesh& mesh, const std::string& text, char separator) {
    const std::vector<std::string> lines = crlfLines(text);
    ASSERT_GE(lines.size(), 5u);
    ASSERT_EQ(lines[0], meshHeader());
    size_t line = 1;
    long long point = 0;
    for (; lines[line] != "}faces {"; ++line, ++point) {
        const std::string& group = lines[line];
        const size_t first = group.find(' ');
        const size_t second = group.find(' ', first + 1);
        const double x = numtext::toDouble(group.substr(1, first - 1), separator);
        const double y = numtext::toDouble(group.substr(first + 1, second - first - 1), separator);
        const double z =
            numtext::toDouble(group.substr(second + 1, group.size() - second - 2), separator);
        ASSERT_TRUE(mesh.Points.holds(point)) << group;
        EXPECT_EQ(std::bit_cast<uint64_t>(mesh.Points(point).getX()), std::bit_cast<uint64_t>(x));
        EXPECT_EQ(std::bit_cast<uint64_t>(mesh.Points(point).getY()), std::bit_cast<uint64_t>(y));
        EXPECT_EQ(std::bit_cast<uint64_t>(mesh.Points(point).getZ()), std::bit_cast<uint64_t>(z));
    }
    EXPECT_EQ(mesh.spareSlot(), point - 1);  // the writer's last point line is the spare slot's
    long long face = 0;
    for (++line; lines[line] != " } "; ++line, ++face) {
        std::vector<PointNumber> written;
        // The groups follow the list's "-1 ( ".
        for (size_t at = lines[line].find(" ( ", lines[line].find("-1 ( ") + 4);
             at != std::string::npos; at = lines[line].find(" ( ", at + 3)) {
            written.push_back(static_cast<PointNumber>(std::stoi(lines[line].substr(at + 3))));
        }
        ASSERT_TRUE(mesh.Faces.holds(face)) << lines[line];
        std::vector<PointNumber> read;
        for (PointNumber j = 0; j <= mesh.Faces(face).getNum(); ++j) {
            read.push_back(mesh.Faces(face).getPNum(j));
        }
        EXPECT_EQ(read, written) << lines[line];
        EXPECT_EQ(std::stoi(lines[line]), static_cast<int>(written.size())) << lines[line];
    }
    EXPECT_EQ(mesh.Faces.upperBound(), face - 1);
}

// Reads text (written with writtenWith) under readWith into a mesh of its own, checks what it
// holds and that writing it again gives text.
void expectReadBackAsWritten(const std::string& text, char writtenWith, char readWith) {
    Mesh again;
    ASSERT_NO_THROW(runStartupPasses(again, readText(again, text, readWith)));
    expectMeshHoldsWhatWasWritten(again, text, writtenWith);
    EXPECT_EQ(writtenText(again, writtenWith), text)
        << "written with '" << writtenWith << "', read with '" << readWith << "'";
}

// A value below which a run removes about the given share of the points.
double thresholdFor(const Mesh& mesh, double share) {
    std::vector<double> values;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        if (!mesh.Points(i).removed()) {
            values.push_back(mesh.Points(i).getValue());
        }
    }
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[static_cast<size_t>(share * (values.size() - 1))];
}

class RoundTripTest : public StoreTest {};

// Random meshes, several runs each: after every run the written file reads back as written
// (both separators, read under both), and the chain load, run, write, load, run, write goes on
// from the file read back.
TEST_F(RoundTripTest, EveryWrittenFileReadsBackAndWritesTheSameBytes) {
    std::mt19937 random(18);
    int checked = 0;
    for (int n = 0; n < 24; ++n) {
        const unsigned seed = random();
        const std::string text = n % 3 == 0   ? generate::sphere(4 + n % 5, 5 + n % 7, 0.2, seed)
                                 : n % 3 == 1 ? generate::grid(3 + n % 6, 4 + n % 4, 0.5, seed)
                                              : generate::selfSimilarSphere(60 + 10 * n, seed);
        const char writtenWith = n % 2 == 0 ? '.' : ',';
        const char other = writtenWith == '.' ? ',' : '.';
        SCOPED_TRACE("mesh " + std::to_string(n));
        freshMesh();
        runStartupPasses(mesh, readText(mesh, text, '.'));
        // Runs on the mesh as loaded.
        for (double share : {0.1, 0.3, 0.3, 0.6}) {
            removePointsBelow(mesh, thresholdFor(mesh, share), [](long long) {});
            const std::string written = writtenText(mesh, writtenWith);
            expectReadBackAsWritten(written, writtenWith, writtenWith);
            expectReadBackAsWritten(written, writtenWith, other);
            ++checked;
        }
        // Runs on the file read back, each from the one written before.
        std::string written = writtenText(mesh, writtenWith);
        for (double share : {0.2, 0.4}) {
            freshMesh();
            runStartupPasses(mesh, readText(mesh, written, other));
            removePointsBelow(mesh, thresholdFor(mesh, share), [](long long) {});
            written = writtenText(mesh, writtenWith);
            expectReadBackAsWritten(written, writtenWith, other);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 24 * 6);
}

// Every face line of text, as written by the last write, names distinct points the file holds,
// and they are exactly the points of one face of the mesh that are not removed: a removed
// point's number is that of an earlier write (or 0), which names another point or none.
void expectFacesNameOnlyPointsTheFileHolds(const Mesh& mesh, const std::string& text) {
    std::map<int32_t, PointNumber> pointNumbered;  // output number -> point
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        if (!mesh.Points(i).removed()) {
            pointNumbered[mesh.Points(i).getPtOrder()] = static_cast<PointNumber>(i);
        }
    }
    std::set<std::set<PointNumber>> facesKept;
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        std::set<PointNumber> kept;
        for (PointNumber j = 0; j <= mesh.Faces(f).getNum(); ++j) {
            const PointNumber p = mesh.Faces(f).getPNum(j);
            if (p != -1 && !mesh.Points(p).removed()) {
                kept.insert(p);
            }
        }
        if (!mesh.Faces(f).removedz()) {
            facesKept.insert(kept);
        }
    }
    const std::vector<std::string> lines = crlfLines(text);
    const auto faces = std::find(lines.begin(), lines.end(), "}faces {");
    ASSERT_NE(faces, lines.end());
    const long long pointsHeld = (faces - lines.begin()) - 2;  // the header and the spare slot
    ASSERT_EQ(pointsHeld, static_cast<long long>(pointNumbered.size()));
    for (auto line = faces + 1; line != lines.end() && *line != " } "; ++line) {
        std::set<PointNumber> named;
        size_t references = 0;
        for (size_t at = line->find(" ( ", line->find("-1 ( ") + 4); at != std::string::npos;
             at = line->find(" ( ", at + 3), ++references) {
            const int number = std::stoi(line->substr(at + 3));
            ASSERT_GE(number, 0) << *line;
            ASSERT_LT(number, pointsHeld) << *line;
            named.insert(pointNumbered.at(number));
        }
        EXPECT_EQ(named.size(), references) << "a point named twice: " << *line;
        EXPECT_TRUE(facesKept.count(named) == 1) << "no face holds these points: " << *line;
    }
}

// Deep runs rebuild faces from lists that still name points removed before, and the ring walk
// of such a face can step onto one that shrink left behind its last position. What is written
// names only the points the file holds, and reads back as written. First the smallest such
// mesh found: removing 2, 4 and 5 rebuilds the face (3 1 0 4) around 5, where 4 is removed
// already; the walk from 3 steps onto 4 and on to 0, and 3 and 0 are too few for a face.
TEST_F(RoundTripTest, DeepRunsNameOnlyThePointsTheFileHolds) {
    const std::string smallest =
        meshText({"(2 4 1)", "(3 3 0)", "(1 2 1)", "(2 0 0)", "(0 2 0)", "(2 1 0)"},
                 {"3 ( (5) (3) (1) )", "3 ( (5) (2) (0) )", "3 ( (0) (2) (4) )"});
    runStartupPasses(mesh, readText(mesh, smallest, '.'));
    removePointsBelow(mesh, 1.5, [](long long) {});
    const std::string written = writtenText(mesh, '.');
    expectFacesNameOnlyPointsTheFileHolds(mesh, written);
    expectReadBackAsWritten(written, '.', '.');
    EXPECT_TRUE(mesh.Points(4).removed() && !mesh.Faces(5).removedz() && mesh.Faces(5).hasPoint(4))
        << "the case is no longer the one shown: " << mesh.Faces(5).report();
    EXPECT_EQ(written.substr(written.find("}faces {")), "}faces {\r\n } \r\n } \r\n } \r\n");

    // Grids and spheres, two runs at the same high threshold each.
    int checked = 0;
    for (int size = 0; size < 6; ++size) {
        for (const std::string& mesh : {generate::grid(4 + size, 4 + (size + 1) % 5, 0.5, 6 + size),
                                        generate::sphere(3 + size % 4, 4 + size, 0.2, 9 + size)}) {
            for (double threshold : {1.5, 2.0, 2.5, 3.0, 4.0}) {
                SCOPED_TRACE("threshold " + std::to_string(threshold) + ", mesh:\n" + mesh);
                freshMesh();
                runStartupPasses(this->mesh, readText(this->mesh, mesh, '.'));
                for (int run = 0; run < 2; ++run) {
                    removePointsBelow(this->mesh, threshold, [](long long) {});
                    const std::string text = writtenText(this->mesh, '.');
                    expectFacesNameOnlyPointsTheFileHolds(this->mesh, text);
                    expectReadBackAsWritten(text, '.', '.');
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 6 * 2 * 5 * 2);
}

// The writer's file with nothing left in it, and every face removed: still its own bytes.
TEST_F(RoundTripTest, AMeshWithoutFacesOrPointsLeftReadsBack) {
    load(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)"}, {"3 ( (0) (1) (2) )"}));
    runStartupPasses(mesh);
    removePointsBelow(mesh, 1e300, [](long long) {});
    const std::string written = writtenText(mesh, '.');
    EXPECT_EQ(written, meshHeader() + "\r\n(0 0 0)\r\n}faces {\r\n } \r\n } \r\n } \r\n");
    expectReadBackAsWritten(written, '.', ',');
    freshMesh();
    readText(mesh, written, '.');
    EXPECT_EQ(mesh.spareSlot(), 0);
    EXPECT_EQ(mesh.Faces.upperBound(), -1);
}

// The writer's form as a hand may leave it: the limits, the failures and their lines are those
// of any file, and the end of the file says what it lacked.
TEST_F(RoundTripTest, TheWritersFormKeepsTheLimitsAndTellsItsFailures) {
    const std::string header = meshHeader() + "\n";
    const auto failureOf = [&](const std::string& text) -> std::string {
        freshMesh();
        try {
            runStartupPasses(mesh, readText(mesh, text, '.'));
        } catch (const Failure& failure) {
            return failure.what();
        }
        return "";
    };
    const std::string face = "3 0 0 -1 (  ( 0 )  ( 1 )  ( 2 )   ) \n";
    EXPECT_EQ(failureOf(header + "(0 0 0)\n(1 0 0)\n(0 1 0)\n(0 0 0)\n}faces {\n" + face + " } \n"),
              "");
    EXPECT_EQ(mesh.Points.upperBound(), 3);
    // Two groups on a line, a line without any, and "(n m)" groups, as ever.
    EXPECT_EQ(failureOf(header + "(0 0 0) (1 0 0)\n\n(0 1 0)\n(0 0 0)\n}faces {\n" +
                        "3 ( (0 1) (1) ( 2 ) )\n } \n"),
              "");
    EXPECT_EQ(mesh.Points.upperBound(), 3);
    EXPECT_EQ(mesh.Faces(0).report(), "(0)(1)(2)");
    EXPECT_EQ(failureOf(header + "(0 0 0)\n(1 x 0)\n}faces {\n } \n"),
              "Not a number: \"x\" (line 3)");
    EXPECT_EQ(failureOf(header + "(0 0 0)\n}faces {\n3 0 0 -1 (  ( 0 )  ( y )  ( 2 )   ) \n } \n"),
              "Not a number: \"y\" (line 4)");
    // A "(" right behind the number is part of it, with or without blanks before the number.
    for (const char* group : {"( 1(2 )", "(1(2 )", "( 1(2)", "(1(2)"}) {
        EXPECT_EQ(failureOf(header + "(0 0 0)\n(1 0 0)\n(0 1 0)\n(0 0 0)\n}faces {\n" +
                            "3 0 0 -1 (  ( 0 )  " + group + "   ) \n } \n"),
                  "Not a number: \"1(2\" (line 7)")
            << group;
    }
    EXPECT_EQ(failureOf(header + "(0 0 0)\n}faces {\n" + face + " } \n"),
              std::string(kMissingPointDescription) + " (line 4)");
    EXPECT_EQ(failureOf(header + "(0 0 0)\n(1 0 0)\n"),
              "Input past end of file (inside the points)");
    EXPECT_EQ(failureOf(header + "(0 0 0)\n}faces {\n" + face),
              "Input past end of file (inside the faces)");
    EXPECT_EQ(failureOf(header), "Input past end of file (inside the points)");

    // 32767 points and the spare slot load; one point more overflows on its line.
    std::string many = header;
    for (int i = 0; i < 32768; ++i) {
        many += "(" + std::to_string(i) + " 0 0)\n";
    }
    EXPECT_EQ(failureOf(many + "}faces {\n } \n"), "");
    EXPECT_EQ(mesh.spareSlot(), 32767);
    EXPECT_EQ(failureOf(many + "(1 1 1)\n}faces {\n } \n"), "Overflow (line 32770)");
}

// A file with the writer's header on line 1 that loaded before, because a later line holds
// "points {", loads exactly as before, wherever that line stands and whatever fails before it.
TEST_F(RoundTripTest, AHeaderFollowedByAPointsLineReadsAsBefore) {
    const std::string header = meshHeader() + "\n";
    const std::string plain =
        "points {\n(0 0 0)\n(1 0 0)\n(0 1 0)\n}\nfaces {\n3 ( (0) (1) (2) )\n}\n";
    const std::string written =
        "(5 5 5)\n(0 0 0)\n}faces {\n3 0 0 -1 (  ( 0 )  ( 0 )  ( 0 )   ) \n";
    for (const std::string& text : {
             header + plain, header + "(1 2 3)\n" + plain,
             header + "(1 x 3)\n" + plain,        // a failure before it
             header + written + plain,            // inside the faces
             header + written + " } \n" + plain,  // behind the faces
             header + written + " } \n(junk\n" + plain,
             header + "(1 2 3)\n}faces {\n( 40000 )\n" + plain,  // a face that fails
         }) {
        SCOPED_TRACE(text);
        const std::vector<reference::StepResult> before = reference::runJob(text, {}, '.');
        freshMesh();
        std::string failure;
        try {
            readText(mesh, text, '.');
        } catch (const Failure& thrown) {
            failure = thrown.what();
        }
        ASSERT_EQ(failure, before.front().failure.value_or("")) << text;
        ASSERT_TRUE(before.front().state);
        ASSERT_EQ(mesh.spareSlot() + 1,
                  static_cast<long long>(before.front().state->points.size()));
        for (long long i = 0; i <= mesh.spareSlot(); ++i) {
            EXPECT_EQ(std::bit_cast<uint64_t>(mesh.Points(i).getX()),
                      before.front().state->points[static_cast<size_t>(i)].xBits);
        }
        EXPECT_EQ(mesh.Faces(0).report(), before.front().state->faces[0]);
    }
}

// Every example loads as the plain reference reads it, and what a run writes reads back.
TEST_F(RoundTripTest, TheExamplesLoadAsBeforeAndTheirOutputReadsBack) {
    for (const char* name : {"cube.mesh", "grid.mesh", "sphere.mesh", "sphere-large.mesh"}) {
        SCOPED_TRACE(name);
        const std::string text = readFile(std::filesystem::path(MESHTHIN_EXAMPLES) / name);
        ASSERT_FALSE(text.empty());
        const std::vector<reference::StepResult> before = reference::runJob(text, {}, '.');
        ASSERT_FALSE(before.back().failure);
        freshMesh();
        runStartupPasses(mesh, readText(mesh, text, '.'));
        const std::vector<reference::PointState>& points = before.back().state->points;
        ASSERT_EQ(mesh.spareSlot() + 1, static_cast<long long>(points.size()));
        for (long long i = 0; i <= mesh.spareSlot(); ++i) {
            ASSERT_EQ(std::bit_cast<uint64_t>(mesh.Points(i).getValue()),
                      points[static_cast<size_t>(i)].valueBits);
        }
        removePointsBelow(mesh, thresholdFor(mesh, 0.5), [](long long) {});
        for (char separator : {'.', ','}) {
            expectReadBackAsWritten(writtenText(mesh, separator), separator, '.');
        }
    }
}

// As a user tries it: the window under "," opens a file written with ".", thins it and saves;
// the window under "." opens the saved file, and saving it again writes the same bytes.
TEST_F(RoundTripTest, TheWindowOpensWhatItWroteUnderEitherSeparator) {
    TempDir dir;
    writeFile(dir.path("in.mesh"), generate::grid(6, 5, 0.5, 3));
    FakeWindow comma;
    comma.separator = ',';
    comma.openAnswer = dir.path("in.mesh").string();
    ASSERT_TRUE(Form_Load(comma, mesh, [] {}));
    removePointsBelow(mesh, thresholdFor(mesh, 0.4), [](long long) {});
    comma.saveAnswers = {dir.path("thin.mesh").string()};
    WriteMesh(comma, mesh, [] {});
    ASSERT_EQ(comma.messages.size(), 1u);  // the load notice only
    const std::string thin = readFile(dir.path("thin.mesh"));
    ASSERT_NE(thin.find(','), std::string::npos);

    freshMesh();
    FakeWindow dot;
    ASSERT_TRUE(openMeshFile(dot, mesh, dir.path("thin.mesh").string(), [] {}));
    dot.separator = ',';  // the same desktop writes again
    dot.saveAnswers = {dir.path("again.mesh").string()};
    WriteMesh(dot, mesh, [] {});
    EXPECT_TRUE(dot.messages.empty()) << dot.messages.front();
    EXPECT_EQ(readFile(dir.path("again.mesh")), thin);
}

}  // namespace
}  // namespace meshthin::testing
