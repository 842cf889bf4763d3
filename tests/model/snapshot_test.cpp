// SPDX-License-Identifier: GPL-3.0-or-later
// A copy of a mesh kept before a run puts the whole mesh back as it was: a run after the restore
// does and writes exactly what it would have done had the runs in between never happened.
#include <gtest/gtest.h>

#include <sstream>

#include "meshio/batch.h"
#include "meshio/startup.h"
#include "model/mesh.h"
#include "model/scratch.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

using SnapshotTest = StoreTest;

// The bytes a run at threshold writes, and the summary of the mesh after it.
std::string runAndWrite(Mesh& mesh, double threshold, const NumberCodec& numbers) {
    std::ostringstream written;
    reduce(mesh, threshold, numbers, written);
    return written.str() + meshSummary(mesh);
}

TEST_F(SnapshotTest, RunsAfterARestoreWriteWhatTheyWouldHaveWrittenWithoutTheUndoneOnes) {
    stopListening();
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const std::string text =
            seed % 2 == 0 ? generate::sphere(9, 14, 0.08, seed) : generate::grid(13, 11, 0.6, seed);
        const double first = 0.05 * seed;
        const double second = 0.4 + 0.1 * seed;

        // The reference: load, first run, then the second run straight away.
        freshMesh();
        loadAndAnalyze(text);
        runAndWrite(mesh, first, dotNumbers);
        const std::string expected = runAndWrite(mesh, second, dotNumbers);

        // The same with a deeper run taken back in between, and a run taken back before anything.
        freshMesh();
        loadAndAnalyze(text);
        const Mesh loaded(mesh);
        runAndWrite(mesh, first, dotNumbers);
        const Mesh afterFirst(mesh);
        const std::string summaryAfterFirst = meshSummary(mesh);
        runAndWrite(mesh, second + 5, dotNumbers);
        mesh = afterFirst;
        EXPECT_EQ(meshSummary(mesh), summaryAfterFirst) << "seed " << seed;
        EXPECT_EQ(runAndWrite(mesh, second, dotNumbers), expected) << "seed " << seed;

        mesh = loaded;
        runAndWrite(mesh, first, dotNumbers);
        EXPECT_EQ(runAndWrite(mesh, second, dotNumbers), expected) << "seed " << seed;
    }
}

// A deep run makes its rewired neighbours groups (model/groups.h), which say what their lists
// hold. A copy's lists were never told what the groups say, so a copy starts without them, and
// the same deep run on the copy put back does and writes what it did the first time.
TEST_F(SnapshotTest, ADeepRunAfterARestoreWritesWhatItWroteTheFirstTime) {
    stopListening();
    loadAndAnalyze(generate::grid(12, 10, 0.6, 1));
    const Mesh loaded(mesh);
    const std::string first = runAndWrite(mesh, 10, dotNumbers);
    bool grouped = false;
    for (PointNumber p = 0; p <= mesh.lastLoadedPoint(); ++p) {
        grouped = grouped || mesh.scratch().groups.groupOf(p) != 0;
    }
    ASSERT_TRUE(grouped) << "the run made no group, so the case shows nothing";
    mesh = loaded;
    EXPECT_EQ(runAndWrite(mesh, 10, dotNumbers), first);
}

TEST_F(SnapshotTest, AnAbsentMeshIsRestoredAbsent) {
    const Mesh empty(mesh);
    loadAndAnalyze(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)"}, {"3 ( (0) (1) (2) )"}));
    mesh = empty;
    EXPECT_TRUE(mesh.isEmpty());
}

}  // namespace
}  // namespace meshthin::testing
