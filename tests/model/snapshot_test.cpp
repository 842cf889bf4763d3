// SPDX-License-Identifier: GPL-3.0-or-later
// A snapshot puts the whole mesh back as it was: a run after the restore does and writes exactly
// what it would have done had the runs in between never happened.
#include <gtest/gtest.h>

#include <sstream>

#include "meshio/batch.h"
#include "meshio/startup.h"
#include "model/scratch.h"
#include "model/store.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

using SnapshotTest = StoreTest;

// The bytes a run at threshold writes, and the summary of the store after it.
std::string runAndWrite(double threshold, const NumberCodec& numbers) {
    std::ostringstream written;
    reduce(threshold, numbers, written);
    return written.str() + storeSummary();
}

TEST_F(SnapshotTest, RunsAfterARestoreWriteWhatTheyWouldHaveWrittenWithoutTheUndoneOnes) {
    stopListening();
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const std::string mesh =
            seed % 2 == 0 ? generate::sphere(9, 14, 0.08, seed) : generate::grid(13, 11, 0.6, seed);
        const double first = 0.05 * seed;
        const double second = 0.4 + 0.1 * seed;

        // The reference: load, first run, then the second run straight away.
        resetStore();
        loadAndAnalyze(mesh);
        runAndWrite(first, dotNumbers);
        const std::string expected = runAndWrite(second, dotNumbers);

        // The same with a deeper run taken back in between, and a run taken back before anything.
        resetStore();
        loadAndAnalyze(mesh);
        const StoreSnapshot loaded = takeSnapshot();
        runAndWrite(first, dotNumbers);
        const StoreSnapshot afterFirst = takeSnapshot();
        const std::string summaryAfterFirst = storeSummary();
        runAndWrite(second + 5, dotNumbers);
        restoreSnapshot(afterFirst);
        EXPECT_EQ(storeSummary(), summaryAfterFirst) << "seed " << seed;
        EXPECT_EQ(runAndWrite(second, dotNumbers), expected) << "seed " << seed;

        restoreSnapshot(loaded);
        runAndWrite(first, dotNumbers);
        EXPECT_EQ(runAndWrite(second, dotNumbers), expected) << "seed " << seed;
    }
}

// A deep run makes its rewired neighbours groups (model/groups.h), which say what their lists
// hold. Restored lists no longer hold what the groups say, so a restore forgets them, and the
// same deep run after it does and writes what it did the first time.
TEST_F(SnapshotTest, ADeepRunAfterARestoreWritesWhatItWroteTheFirstTime) {
    stopListening();
    loadAndAnalyze(generate::grid(12, 10, 0.6, 1));
    const StoreSnapshot loaded = takeSnapshot();
    const std::string first = runAndWrite(10, dotNumbers);
    bool grouped = false;
    for (int16_t p = 0; p <= lastLoadedPoint(); ++p) {
        grouped = grouped || scratch().groups.groupOf(p) != 0;
    }
    ASSERT_TRUE(grouped) << "the run made no group, so the case shows nothing";
    restoreSnapshot(loaded);
    EXPECT_EQ(runAndWrite(10, dotNumbers), first);
}

TEST_F(SnapshotTest, AnAbsentStoreIsRestoredAbsent) {
    const StoreSnapshot empty = takeSnapshot();
    loadAndAnalyze(meshText({"(0 0 0)", "(1 0 0)", "(0 1 0)"}, {"3 ( (0) (1) (2) )"}));
    restoreSnapshot(empty);
    EXPECT_TRUE(storeIsEmpty());
}

}  // namespace
}  // namespace meshthin::testing
