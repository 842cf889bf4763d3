// SPDX-License-Identifier: GPL-3.0-or-later
// The trial run behind the mesh view's marks: it names exactly the points that the run then
// removes, on random meshes and thresholds and after earlier runs, and it leaves the mesh
// exactly as it found it, bit for bit; in a process of its own too, where it can be stopped.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "meshio/batch.h"
#include "meshio/dry_run.h"
#include "model/mesh.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/background_dry_run.h"

namespace meshthin::testing {
namespace {

using DryRunTest = StoreTest;

// Every bit of the store a later run or write reads: coordinates, values (due ones computed,
// which gives the same number as at once), marks, lists, output numbers, face reports.
std::string storeBits() {
    std::string bits;
    const auto add = [&bits](const auto& value) {
        bits.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    for (long long i = 0; i <= Points.upperBound(); ++i) {
        const Point& p = Points(i);
        add(p.getX());
        add(p.getY());
        add(p.getZ());
        add(p.getValue());
        add(p.removed());
        add(p.getPtOrder());
        add(p.everConnected());
        for (int16_t k = 0; k <= p.getNumConns(); ++k) {
            add(p.getConn(k));
        }
        bits += '|';
    }
    for (long long f = 0; f <= Faces.upperBound(); ++f) {
        bits += Faces(f).report();
        bits += '|';
    }
    add(NextPtOrder);
    return bits;
}

std::vector<bool> removedMarks() {
    std::vector<bool> marks;
    for (long long i = 0; i <= lastLoadedPoint(); ++i) {
        marks.push_back(Points(i).removed());
    }
    return marks;
}

// The points that a run as the program makes it (the walk, then the write) removes.
std::vector<int16_t> runAndList(double threshold, const NumberCodec& numbers) {
    const std::vector<bool> before = removedMarks();
    std::ostringstream written;
    reduce(threshold, numbers, written);
    std::vector<int16_t> removed;
    for (long long i = 0; i <= lastLoadedPoint(); ++i) {
        if (Points(i).removed() && !before[static_cast<size_t>(i)]) {
            removed.push_back(static_cast<int16_t>(i));
        }
    }
    return removed;
}

TEST_F(DryRunTest, NamesWhatTheRunRemovesAndLeavesTheMeshBitForBit) {
    std::mt19937 engine(20261207);
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const std::string mesh = seed % 2 == 0 ? generate::sphere(8 + seed, 12, 0.1, seed)
                                               : generate::grid(9 + seed, 8, 0.7, seed);
        resetStore();
        loadAndAnalyze(mesh);
        // Two runs in a row: the second starts from faces that the first rebuilt and wrote.
        for (int round = 0; round < 2; ++round) {
            const double threshold = std::uniform_real_distribution<double>(0.05, 2.5)(engine);
            const std::string before = storeBits();
            const std::vector<int16_t> trial = pointsARunRemoves(threshold);
            ASSERT_EQ(storeBits(), before) << "seed " << seed << " round " << round;

            const std::vector<int16_t> removed = runAndList(threshold, dotNumbers);
            EXPECT_EQ(trial, removed) << "seed " << seed << " threshold " << threshold;
            if (round == 0) {
                EXPECT_FALSE(removed.empty()) << "seed " << seed;  // the case worth checking
            }
        }
    }
}

TEST_F(DryRunTest, ARunAfterTheTrialWritesWhatItWouldHaveWritten) {
    const std::string mesh = generate::sphere(10, 16, 0.1, 3);
    loadAndAnalyze(mesh);
    std::ostringstream expected;
    reduce(1.2, dotNumbers, expected);

    resetStore();
    loadAndAnalyze(mesh);
    pointsARunRemoves(2.0);
    pointsARunRemoves(0.7);
    std::ostringstream written;
    reduce(1.2, dotNumbers, written);
    EXPECT_EQ(written.str(), expected.str());
}

TEST_F(DryRunTest, WithoutAMeshNothingIsRemoved) {
    EXPECT_TRUE(pointsARunRemoves(1).empty());
    EXPECT_TRUE(storeIsEmpty());
}

TEST_F(DryRunTest, InAProcessOfItsOwnItAnswersTheSameAndNeverTouchesTheStore) {
    stopListening();
    loadAndAnalyze(generate::grid(20, 15, 0.8, 5));
    const std::string before = storeBits();
    BackgroundDryRun background;
    for (double threshold : {0.3, 1.0, 1.7}) {
        ASSERT_TRUE(background.start(threshold));
        EXPECT_TRUE(background.running());
        const BackgroundDryRun::Outcome outcome = background.wait();
        ASSERT_TRUE(outcome.finished);
        ASSERT_TRUE(outcome.removed.has_value());
        EXPECT_FALSE(background.running());
        EXPECT_EQ(*outcome.removed, pointsARunRemoves(threshold)) << threshold;
    }
    EXPECT_EQ(storeBits(), before);
}

TEST_F(DryRunTest, ANewerStartStopsTheOlderAndOnlyTheNewerAnswers) {
    stopListening();
    // The whole fan at once: removing every point rewires the ring again and again.
    loadAndAnalyze(generate::fan(600));
    BackgroundDryRun background;
    ASSERT_TRUE(background.start(1e9));
    const int olderDescriptor = background.resultDescriptor();
    ASSERT_GE(olderDescriptor, 0);
    ASSERT_TRUE(background.start(0.5));
    const BackgroundDryRun::Outcome outcome = background.wait();
    ASSERT_TRUE(outcome.removed.has_value());
    EXPECT_EQ(*outcome.removed, pointsARunRemoves(0.5));
    EXPECT_DOUBLE_EQ(background.threshold(), 0.5);

    ASSERT_TRUE(background.start(1e9));
    background.cancel();
    EXPECT_FALSE(background.running());
    EXPECT_EQ(background.resultDescriptor(), -1);
    EXPECT_FALSE(background.collect().finished);
}

}  // namespace
}  // namespace meshthin::testing
