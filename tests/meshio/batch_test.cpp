// SPDX-License-Identifier: GPL-3.0-or-later
// The job without a window: the same bytes as the window's runs, one line per run, the values
// as CSV, and failures on standard error with the window's texts, the input left untouched.
#include "meshio/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/startup.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/lists.h"

namespace meshthin::testing {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class BatchTest : public StoreTest {
protected:
    Outcome run(const BatchRequest& request) {
        std::ostringstream out;
        std::ostringstream err;
        Outcome outcome;
        outcome.status = runBatch(request, out, err);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    // What the window writes when the file is loaded and each threshold is typed and run, every
    // save dialog confirming the proposed file.
    std::string windowBytes(const std::string& content, const std::vector<std::string>& texts,
                            char separator = '.') {
        const std::string path = dir.path("window.mesh").string();
        writeFile(path, content);
        freshMesh();
        FakeWindow window;
        window.separator = separator;
        window.openAnswer = path;
        RunState state;
        state.meshLoaded = Form_Load(window, mesh, [&] { FillLists(window, mesh); });
        EXPECT_TRUE(state.meshLoaded);
        for (const std::string& text : texts) {
            window.text1Text = text;
            Command1_Click(window, state, mesh, [&] { FillLists(window, mesh); });
        }
        EXPECT_EQ(window.messages.size(), 1u);  // the load notice only
        return readFile(path);
    }

    // The mesh that the runs at thresholds leave, each followed by its write, from a file
    // holding content.
    Mesh meshAfterRuns(const std::string& content, const std::vector<double>& thresholds) {
        const std::string path = dir.path("again.mesh").string();
        writeFile(path, content);
        Mesh after = loadMesh(path, dotNumbers);
        for (double threshold : thresholds) {
            std::ostringstream written;
            reduce(after, threshold, dotNumbers, written);
        }
        return after;
    }

    TempDir dir;
};

// A noisy sphere: a first run at 0.3 removes scattered points, a second at 0.6 more.
const std::string kSphere = generate::sphere(8, 12, 0.25, 7);

// A flat grid of 5 x 5 points in 4 x 4 quads, point y * 5 + x at (x, y, 0):
//
//   20 - 21 - 22 - 23 - 24
//    |    |    |    |    |
//   ...
//    |    |    |    |    |
//    0 -  1 -  2 -  3 -  4
//
// The inner points have the value 0 and go in a run at 0.5; the polygons rebuilt around them
// hold quad corners that are not connected to each other, so the ring walk of the first write
// leaves some of them out (-1), and a second run at 1.2 starts from the faces as that write
// left them.
std::string quadGrid() {
    std::vector<std::string> points;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            points.push_back("(" + std::to_string(x) + " " + std::to_string(y) + " 0)");
        }
    }
    std::vector<std::string> faces;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int a = y * 5 + x;
            faces.push_back("4 ( (" + std::to_string(a) + ") (" + std::to_string(a + 1) + ") (" +
                            std::to_string(a + 6) + ") (" + std::to_string(a + 5) + ") )");
        }
    }
    return meshText(points, faces);
}

// The mesh text after the runs when only the last one is written.
std::string writtenOnceAfter(const std::string& content, const std::vector<double>& thresholds) {
    Mesh mesh;
    std::istringstream in(content);
    const numtext::LocaleNumbers numbers('.');
    runStartupPasses(mesh, readMesh(mesh, in, numbers));
    for (double threshold : thresholds) {
        removePointsBelow(mesh, threshold, [](long long) {});
    }
    std::ostringstream out;
    writeMeshText(
        mesh, out, numbers, [] {}, [](const std::string&) {});
    return out.str();
}

TEST_F(BatchTest, TheWrittenBytesAreThoseOfTheWindowsRunsOneAfterTheOther) {
    const std::string grid = quadGrid();
    struct Job {
        std::string content;
        std::vector<std::string> thresholds;
    };
    for (const Job& job : std::vector<Job>{{grid, {"0.5"}},
                                           {grid, {"0.5", "1.2"}},
                                           {grid, {"0.5", "1.2", "1.5"}},
                                           {kSphere, {"0.3", "0.6"}}}) {
        SCOPED_TRACE(job.thresholds.size());
        writeFile(dir.path("in.mesh"), job.content);
        BatchRequest request{dir.path("in.mesh").string(), job.thresholds,
                             dir.path("out.mesh").string()};
        const Outcome batch = run(request);
        ASSERT_EQ(batch.status, 0) << batch.err;
        EXPECT_EQ(batch.err, "");
        EXPECT_EQ(readFile(dir.path("out.mesh")), windowBytes(job.content, job.thresholds));
        EXPECT_EQ(readFile(dir.path("in.mesh")), job.content);
    }
    // The grid pins the write after every run: without the first write the second run would
    // rebuild other faces.
    EXPECT_NE(writtenOnceAfter(grid, {0.5, 1.2}), windowBytes(grid, {"0.5", "1.2"}));

    // The user's separator reads the thresholds and writes the coordinates.
    std::string withCommas = kSphere;
    std::replace(withCommas.begin(), withCommas.end(), '.', ',');
    writeFile(dir.path("in.mesh"), withCommas);
    const Outcome batch = run(
        {dir.path("in.mesh").string(), {"0,3", "0,6"}, dir.path("out.mesh").string(), false, ','});
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(readFile(dir.path("out.mesh")), windowBytes(withCommas, {"0,3", "0,6"}, ','));
}

TEST_F(BatchTest, EachRunPrintsItsThresholdWhatItRemovedAndWhatIsLeft) {
    writeFile(dir.path("in.mesh"), kSphere);
    const Outcome batch =
        run({dir.path("in.mesh").string(), {"0.3", "0.6", "0.6"}, dir.path("in.mesh").string()});
    ASSERT_EQ(batch.status, 0) << batch.err;

    // The counts are those of the mesh the runs leave: every point below the spare slot is
    // either left or removed by one of the runs.
    const Mesh after = meshAfterRuns(kSphere, {0.3, 0.6, 0.6});
    const long long points = after.lastLoadedPoint() + 1;
    std::istringstream lines(batch.out);
    std::string line;
    std::vector<long long> removed;
    long long left = 0;
    for (const char* threshold : {"0.3", "0.6", "0.6"}) {
        ASSERT_TRUE(std::getline(lines, line));
        long long r = 0;
        ASSERT_EQ(
            std::sscanf(line.c_str(), "threshold %*[0-9.]: removed %lld, %lld left", &r, &left), 2)
            << line;
        EXPECT_EQ(line.rfind(std::string("threshold ") + threshold + ": ", 0), 0u) << line;
        removed.push_back(r);
    }
    EXPECT_FALSE(std::getline(lines, line));
    EXPECT_GT(removed[0], 0);
    EXPECT_GT(removed[1], 0);
    EXPECT_EQ(removed[2], 0);  // nothing below 0.6 is left after a run at 0.6
    EXPECT_EQ(removed[0] + removed[1] + left, points);
    EXPECT_EQ(left, pointsLeft(after));
    // --in-place wrote the result over the input.
    EXPECT_NE(readFile(dir.path("in.mesh")), kSphere);
}

double parsed(const std::string& text) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
    return value;
}

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) {
            fields.push_back(cell);
        }
        rows.push_back(fields);
    }
    return rows;
}

TEST_F(BatchTest, TheValuesReadBackExactlyAndCountTrueConnections) {
    // A triangle 0 1 2, an edge from 2 to 3 given as a two-point face, and point 4, which no
    // face names: its list holds only the initial 0.
    //
    //   2 - 3      4
    //   | |
    //   0 - 1      (the triangle's third edge runs from 1 to 2)
    const std::string text =
        meshText({"(0 0 0)", "(0.1 0 0)", "(0 0.3 0)", "(1 1e-7 -2.5)", "(5 5 5)"},
                 {"3 ( (0) (1) (2) )", "2 ( (2) (3) )"});
    writeFile(dir.path("in.mesh"), text);
    const Outcome batch = run({dir.path("in.mesh").string(), {}, std::nullopt, true});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const auto rows = csvRows(batch.out);
    const Mesh loaded = meshAfterRuns(text, {});
    ASSERT_EQ(rows.size(), 6u);  // the header and five points; the spare slot is no point
    EXPECT_EQ(rows[0], (std::vector<std::string>{"point", "x", "y", "z", "value", "connections"}));
    const std::vector<std::string> connections = {"2", "2", "3", "1", "0"};
    for (int16_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(rows[i + 1].size(), 6u);
        EXPECT_EQ(rows[i + 1][0], std::to_string(i));
        EXPECT_EQ(parsed(rows[i + 1][1]), loaded.Points(i).getX());
        EXPECT_EQ(parsed(rows[i + 1][2]), loaded.Points(i).getY());
        EXPECT_EQ(parsed(rows[i + 1][3]), loaded.Points(i).getZ());
        EXPECT_EQ(parsed(rows[i + 1][4]), loaded.Points(i).getValue());
        EXPECT_EQ(rows[i + 1][5], connections[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(rows[2][1], "0.1");  // shortest: not 0.10000000000000001
    EXPECT_EQ(rows[4][2], "1e-07");
    // The window's figure reads 0 for point 3 (one connection) and point 4 (none) alike.
    EXPECT_EQ(loaded.Points(3).getNumConns(), 0);
    EXPECT_EQ(loaded.Points(4).getNumConns(), 0);
}

TEST_F(BatchTest, ValuesAfterTheRunsLeaveRemovedPointsOutAndPrintNothingElse) {
    writeFile(dir.path("in.mesh"), kSphere);
    const Outcome batch = run({dir.path("in.mesh").string(), {"0.3", "0.6"}, std::nullopt, true});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const auto rows = csvRows(batch.out);
    const Mesh after = meshAfterRuns(kSphere, {0.3, 0.6});
    ASSERT_EQ(static_cast<long long>(rows.size()), 1 + pointsLeft(after));
    for (size_t r = 1; r < rows.size(); ++r) {
        const long long point = std::stoll(rows[r][0]);
        EXPECT_FALSE(after.Points(point).removed());
        EXPECT_GE(parsed(rows[r][4]), 0.6);
    }
    EXPECT_EQ(readFile(dir.path("in.mesh")), kSphere);  // nothing is written without a target
}

TEST_F(BatchTest, FailuresGiveTheWindowsTextAndLeaveTheInputAlone) {
    const std::string in = dir.path("in.mesh").string();
    writeFile(in, kSphere);
    const auto expectFailure = [&](const BatchRequest& request, const std::string& text) {
        const Outcome outcome = run(request);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "meshthin: " + request.file + ": " + text + "\n");
        EXPECT_EQ(readFile(in), kSphere);
    };
    expectFailure({in, {"0.3", "half"}, in}, kNotNumericMessage);
    expectFailure({in, {"0,3."}, in}, kNotNumericMessage);  // both decimal marks
    expectFailure({dir.path("missing.mesh").string(), {"0.3"}, in},
                  "Error Occured: Cannot open file: " + dir.path("missing.mesh").string() +
                      " (No such file or directory)");
    expectFailure({in, {"0.3"}, dir.path("no/such/folder/out.mesh").string()},
                  "Error Occurred: Path not found: " + dir.path("no/such/folder").string());

    // A broken file: the failure names its line, and --in-place leaves it as it was.
    const std::string broken = meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)"}, {"3 ( (0) (1) (9) )"});
    writeFile(in, broken);
    const Outcome outcome = run({in, {"0.3"}, in});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(
        outcome.err,
        "meshthin: " + in + ": Error Occured: Face names a point that does not exist (line 8)\n");
    EXPECT_EQ(readFile(in), broken);
}

}  // namespace
}  // namespace meshthin::testing
