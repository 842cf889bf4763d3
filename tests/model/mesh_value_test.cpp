// SPDX-License-Identifier: GPL-3.0-or-later
// A mesh is a value: two meshes alive at once, on one thread or two, never reach into each
// other, and a copy runs and writes exactly as the mesh it was copied from.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "meshio/batch.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/startup.h"
#include "model/mesh.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

const numtext::LocaleNumbers kNumbers('.');

// The bytes the runs at thresholds write, one after the other; each run removes something.
std::string runsWritten(Mesh& mesh, const std::vector<double>& thresholds) {
    std::string bytes;
    for (double threshold : thresholds) {
        std::ostringstream written;
        const RunCount count = reduce(mesh, threshold, kNumbers, written);
        EXPECT_GT(count.removed, 0) << threshold;
        bytes += written.str();
    }
    return bytes;
}

const std::string kSphere = generate::sphere(9, 14, 0.2, 4);
const std::string kGrid = generate::grid(14, 11, 1.0, 6);
const std::vector<double> kSphereRuns = {0.3, 0.6};
const std::vector<double> kGridRuns = {0.4, 1.0};

TEST(MeshValue, TwoMeshesAliveAtOnceDoNotAffectEachOther) {
    // Each mesh alone, nothing else alive.
    const std::string sphereAlone = [] {
        Mesh mesh = loadedMesh(kSphere);
        return runsWritten(mesh, kSphereRuns);
    }();
    const std::string gridAlone = [] {
        Mesh mesh = loadedMesh(kGrid);
        return runsWritten(mesh, kGridRuns);
    }();

    // Both loaded; the runs on one leave the other bit for bit as a fresh load of it.
    Mesh sphere = loadedMesh(kSphere);
    Mesh grid = loadedMesh(kGrid);
    EXPECT_EQ(runsWritten(sphere, kSphereRuns), sphereAlone);
    EXPECT_EQ(meshBits(grid), meshBits(loadedMesh(kGrid)));
    const std::string sphereAfter = meshBits(sphere);
    EXPECT_EQ(runsWritten(grid, kGridRuns), gridAlone);
    EXPECT_EQ(meshBits(sphere), sphereAfter);

    // On two threads at once, as a trial run works beside the window's mesh.
    for (int round = 0; round < 4; ++round) {
        Mesh first = loadedMesh(kSphere);
        Mesh second = loadedMesh(kGrid);
        std::string firstWritten;
        std::string secondWritten;
        std::thread other([&] { secondWritten = runsWritten(second, kGridRuns); });
        firstWritten = runsWritten(first, kSphereRuns);
        other.join();
        EXPECT_EQ(firstWritten, sphereAlone) << "round " << round;
        EXPECT_EQ(secondWritten, gridAlone) << "round " << round;
    }
}

TEST(MeshValue, ACopyRunsAndWritesAsTheOriginal) {
    for (const auto& [text, runs] :
         {std::pair{kSphere, kSphereRuns}, std::pair{kGrid, kGridRuns}}) {
        // A copy of the mesh as loaded, and one made after a first run and its write, when the
        // original has built what speeds up its removals and the copy has not.
        Mesh original = loadedMesh(text);
        Mesh copy(original);
        EXPECT_EQ(runsWritten(copy, runs), runsWritten(original, runs));
        EXPECT_EQ(meshBits(copy), meshBits(original));

        Mesh again = loadedMesh(text);
        runsWritten(again, {runs[0]});
        Mesh later(again);
        EXPECT_EQ(runsWritten(later, {runs[1]}), runsWritten(again, {runs[1]}));
        EXPECT_EQ(meshBits(later), meshBits(again));
    }
}

}  // namespace
}  // namespace meshthin::testing
