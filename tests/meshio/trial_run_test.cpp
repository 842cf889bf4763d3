// SPDX-License-Identifier: GPL-3.0-or-later
// The trial run on a thread of its own: it names exactly the points the run removes, leaves the
// mesh it was given as it was, and, stopped by a newer trial or cancelled, answers only for the
// trial that was not stopped.
#include "meshio/run/trial_run.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <vector>

#include "meshio/dry_run.h"
#include "meshio/reduction.h"
#include "model/mesh.h"
#include "support/address_space_limit.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

// The points a run at threshold removes from a copy of mesh, found by the run itself.
std::vector<int32_t> runRemoves(const Mesh& mesh, double threshold) {
    Mesh run(mesh);
    removePointsBelow(run, threshold, [](long long) {});
    std::vector<int32_t> removed;
    for (long long i = 0; i <= run.lastLoadedPoint(); ++i) {
        if (run.Points(i).removed() && !mesh.Points(i).removed()) {
            removed.push_back(static_cast<int32_t>(i));
        }
    }
    return removed;
}

using TrialRunTest = StoreTest;

TEST_F(TrialRunTest, ATrialNamesWhatTheRunRemovesAndLeavesItsMeshAsItWas) {
    stopListening();
    loadAndAnalyze(generate::grid(20, 15, 0.8, 5));
    const auto shared = std::make_shared<const Mesh>(mesh);
    const std::string before = meshBits(*shared);
    TrialRun trials;
    for (double threshold : {0.3, 1.0, 1.7}) {
        SCOPED_TRACE(threshold);
        std::promise<TrialRun::Outcome> reported;
        const uint64_t trial = trials.start(
            shared, threshold, [&](const TrialRun::Outcome& o) { reported.set_value(o); });
        const TrialRun::Outcome outcome = trials.wait();
        EXPECT_FALSE(trials.running());
        EXPECT_EQ(outcome.trial, trial);
        EXPECT_EQ(outcome.threshold, threshold);
        EXPECT_EQ(outcome.failure, "");
        ASSERT_TRUE(outcome.removed.has_value());
        EXPECT_FALSE(outcome.removed->empty());  // the case worth checking
        EXPECT_EQ(*outcome.removed, runRemoves(*shared, threshold));
        // done hands over the same outcome.
        const TrialRun::Outcome handed = reported.get_future().get();
        EXPECT_EQ(handed.trial, trial);
        EXPECT_EQ(handed.removed, outcome.removed);
    }
    EXPECT_EQ(meshBits(*shared), before);
    EXPECT_EQ(meshBits(mesh), before);
}

TEST_F(TrialRunTest, ANewerTrialStopsTheOlderAndOnlyTheNewerAnswers) {
    stopListening();
    // The whole fan at once: removing every point rewires the ring again and again.
    loadAndAnalyze(generate::fan(600));
    const auto shared = std::make_shared<const Mesh>(mesh);
    const std::string before = meshBits(*shared);
    TrialRun trials;
    const uint64_t older = trials.start(shared, 1e9);
    const uint64_t newer = trials.start(shared, 0.5);
    EXPECT_NE(newer, older);
    EXPECT_EQ(trials.latest(), newer);
    const TrialRun::Outcome outcome = trials.wait();
    EXPECT_EQ(outcome.trial, newer);
    EXPECT_EQ(outcome.threshold, 0.5);
    ASSERT_TRUE(outcome.removed.has_value());
    EXPECT_EQ(*outcome.removed, pointsARunRemoves(*shared, 0.5));
    EXPECT_EQ(*outcome.removed, runRemoves(*shared, 0.5));

    // A cancelled trial answers nothing; the next one starts afresh.
    trials.start(shared, 1e9);
    trials.cancel();
    const TrialRun::Outcome cancelled = trials.wait();
    EXPECT_EQ(cancelled.trial, trials.latest());
    EXPECT_FALSE(cancelled.removed.has_value());
    EXPECT_FALSE(trials.running());
    trials.start(shared, 0.5);
    EXPECT_EQ(trials.wait().removed, outcome.removed);

    // Going away stops a trial still at work.
    {
        TrialRun leaving;
        leaving.start(shared, 1e9);
    }
    EXPECT_EQ(meshBits(*shared), before);
}

// A trial that runs out of memory fails like any other, saying so, and its thread ends without
// ending the program; the next trial, with the memory back, answers.
TEST_F(TrialRunTest, ATrialThatRunsOutOfMemoryFailsAndTheNextAnswers) {
    if (!AddressSpaceLimit::available()) {
        GTEST_SKIP() << "a sanitizer's shadow memory fits under no address-space limit";
    }
    stopListening();
    // Removing every point of the fan first connects every ring point with every other.
    loadAndAnalyze(generate::fan(4000));
    const auto shared = std::make_shared<const Mesh>(mesh);
    TrialRun trials;
    TrialRun::Outcome outcome;
    {
        const AddressSpaceLimit limit(size_t{40} << 20);
        trials.start(shared, 1e300);
        outcome = trials.wait();
    }
    EXPECT_FALSE(outcome.removed.has_value());
    EXPECT_EQ(outcome.failure, "Not enough memory to run at this threshold");
    trials.start(shared, 0.5);
    EXPECT_TRUE(trials.wait().removed.has_value());
}

}  // namespace
}  // namespace meshthin::testing
