// SPDX-License-Identifier: GPL-3.0-or-later
// The trial run behind the mesh view's marks: it names exactly the points that the run then
// removes, on random meshes and thresholds and after earlier runs, and it leaves the mesh
// exactly as it found it, bit for bit; and the walk up to a limit that a keep search makes.
// (On a thread of its own: trial_run_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <sstream>

#include "meshio/batch.h"
#include "meshio/dry_run.h"
#include "meshio/reduction.h"
#include "model/mesh.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

using DryRunTest = StoreTest;

std::vector<bool> removedMarks(const Mesh& mesh) {
    std::vector<bool> marks;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        marks.push_back(mesh.Points(i).removed());
    }
    return marks;
}

// The points that a run as the program makes it (the walk, then the write) removes.
std::vector<PointNumber> runAndList(Mesh& mesh, double threshold, const NumberCodec& numbers) {
    const std::vector<bool> before = removedMarks(mesh);
    std::ostringstream written;
    reduce(mesh, threshold, numbers, written);
    std::vector<PointNumber> removed;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        if (mesh.Points(i).removed() && !before[static_cast<size_t>(i)]) {
            removed.push_back(static_cast<PointNumber>(i));
        }
    }
    return removed;
}

TEST_F(DryRunTest, NamesWhatTheRunRemovesAndLeavesTheMeshBitForBit) {
    std::mt19937 engine(20261207);
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const std::string text = seed % 2 == 0 ? generate::sphere(8 + seed, 12, 0.1, seed)
                                               : generate::grid(9 + seed, 8, 0.7, seed);
        freshMesh();
        loadAndAnalyze(text);
        // Two runs in a row: the second starts from faces that the first rebuilt and wrote.
        for (int round = 0; round < 2; ++round) {
            const double threshold = std::uniform_real_distribution<double>(0.05, 2.5)(engine);
            const std::string before = meshBits(mesh);
            const std::vector<PointNumber> trial = pointsARunRemoves(mesh, threshold);
            ASSERT_EQ(meshBits(mesh), before) << "seed " << seed << " round " << round;

            const std::vector<PointNumber> removed = runAndList(mesh, threshold, dotNumbers);
            EXPECT_EQ(trial, removed) << "seed " << seed << " threshold " << threshold;
            if (round == 0) {
                EXPECT_FALSE(removed.empty()) << "seed " << seed;  // the case worth checking
            }
        }
    }
}

// The walk a keep search makes of a deep candidate: it ends once it would remove more than its
// limit, and otherwise leaves the mesh as the whole walk does.
TEST_F(DryRunTest, AWalkUpToALimitEndsOnlyPastItAndOtherwiseIsTheWholeWalk) {
    std::mt19937 engine(20261209);
    for (unsigned seed = 1; seed <= 6; ++seed) {
        freshMesh();
        loadAndAnalyze(seed % 2 == 0 ? generate::sphere(8 + seed, 12, 0.1, seed)
                                     : generate::grid(9 + seed, 8, 0.7, seed));
        const double threshold = std::uniform_real_distribution<double>(0.3, 2.5)(engine);
        Mesh whole(mesh);
        walkPointsBelow(whole, threshold, [](long long) {});
        settleValues(whole);
        const auto removed = static_cast<long long>(pointsARunRemoves(mesh, threshold).size());
        ASSERT_GT(removed, 0) << "seed " << seed;
        for (const long long limit : {0LL, removed - 1, removed, removed + 3}) {
            Mesh trial(mesh);
            const std::optional<long long> walked = walkPointsBelowUpTo(trial, threshold, limit);
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " limit " << limit);
            if (limit < removed) {
                EXPECT_FALSE(walked.has_value());
            } else {
                ASSERT_TRUE(walked.has_value());
                EXPECT_EQ(*walked, removed);
                settleValues(trial);
                EXPECT_EQ(meshBits(trial), meshBits(whole));
            }
        }
    }
}

TEST_F(DryRunTest, ARunAfterTheTrialWritesWhatItWouldHaveWritten) {
    const std::string text = generate::sphere(10, 16, 0.1, 3);
    loadAndAnalyze(text);
    std::ostringstream expected;
    reduce(mesh, 1.2, dotNumbers, expected);

    freshMesh();
    loadAndAnalyze(text);
    pointsARunRemoves(mesh, 2.0);
    pointsARunRemoves(mesh, 0.7);
    std::ostringstream written;
    reduce(mesh, 1.2, dotNumbers, written);
    EXPECT_EQ(written.str(), expected.str());
}

TEST_F(DryRunTest, WithoutAMeshNothingIsRemoved) {
    EXPECT_TRUE(pointsARunRemoves(mesh, 1).empty());
    EXPECT_TRUE(mesh.isEmpty());
}

}  // namespace
}  // namespace meshthin::testing
