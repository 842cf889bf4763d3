// SPDX-License-Identifier: GPL-3.0-or-later
// The search for the threshold that keeps a number of points: on generated meshes and targets,
// the count it reports is what the run at its threshold leaves, and no candidate it tried or
// next to it comes closer; its candidates print exactly in 15 digits; and the texts "N" and
// "P%" read as the command line and the keep field take them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>

#include "meshio/batch.h"
#include "meshio/dry_run.h"
#include "meshio/numtext.h"
#include "meshio/run/keep_amount.h"
#include "meshio/run/keep_target.h"
#include "meshio/stopping.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

using KeepTargetTest = StoreTest;

// Whether a keeps a count strictly closer to target than b, or as close and more points.
bool better(long long a, long long b, long long target) {
    const long long da = std::llabs(a - target);
    const long long db = std::llabs(b - target);
    return da < db || (da == db && a > b);
}

TEST_F(KeepTargetTest, KeepsWhatTheRunKeepsAndNoNeighbourIsCloser) {
    const std::string meshes[] = {generate::sphere(9, 14, 0.1, 1), generate::grid(16, 12, 0.7, 2),
                                  generate::fan(40), generate::sphere(14, 20, 0.3, 3),
                                  generate::grid(25, 9, 0.2, 4)};
    std::mt19937 engine(20261208);
    for (const std::string& text : meshes) {
        freshMesh();
        loadAndAnalyze(text);
        stopListening();
        const long long points = pointsLeft(mesh);
        const std::vector<double> candidates = keepCandidates(mesh);
        const long long random = std::uniform_int_distribution<long long>(0, points)(engine);
        for (const long long target :
             {0LL, points / 4, points / 2, points * 9 / 10, points, random}) {
            const KeepSearch found = findKeepThreshold(mesh, target);
            SCOPED_TRACE(::testing::Message() << points << " points, target " << target);

            // The run as the command line makes it, walk and write.
            Mesh run(mesh);
            std::ostringstream written;
            EXPECT_EQ(reduce(run, found.threshold, dotNumbers, written).left, found.kept);

            for (const KeepTrial& trial : found.tried) {
                EXPECT_FALSE(better(trial.kept, found.kept, target)) << trial.threshold;
            }
            const auto at = std::find(candidates.begin(), candidates.end(), found.threshold);
            ASSERT_NE(at, candidates.end());
            const auto k = at - candidates.begin();
            for (const auto neighbour : {k - 1, k + 1}) {
                if (neighbour < 0 || neighbour >= std::ssize(candidates)) {
                    continue;
                }
                const double threshold = candidates[static_cast<size_t>(neighbour)];
                const long long kept =
                    points - static_cast<long long>(pointsARunRemoves(mesh, threshold).size());
                EXPECT_FALSE(better(kept, found.kept, target)) << "neighbour " << threshold;
            }
            const int bisection =
                static_cast<int>(std::ceil(std::log2(static_cast<double>(candidates.size()))));
            EXPECT_LE(found.trialRuns, bisection + kNeighbourTrials);
        }
    }
}

TEST_F(KeepTargetTest, CandidatesAscendPrintExactlySplitTheValuesAndCrossWideGapsInSteps) {
    // The fan's centre has a value far above its ring's.
    for (const std::string& text : {generate::grid(20, 15, 0.9, 7), generate::fan(30)}) {
        freshMesh();
        loadAndAnalyze(text);
        const std::vector<double> candidates = keepCandidates(mesh);
        ASSERT_GE(candidates.size(), 3u);
        std::vector<double> values;
        for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
            values.push_back(mesh.Points(i).getValue());
        }
        std::sort(values.begin(), values.end());
        EXPECT_TRUE(pointsARunRemoves(mesh, candidates.front()).empty());  // removes nothing
        EXPECT_GT(candidates.back(), static_cast<double>(values.size()));
        const auto holdsValue = [&](double low, double high) {
            const auto v = std::lower_bound(values.begin(), values.end(), low);
            return v != values.end() && *v < high;
        };
        for (size_t k = 0; k < candidates.size(); ++k) {
            const double c = candidates[k];
            EXPECT_EQ(numtext::toDouble(numtext::generalForm(c, '.'), '.'), c);
            if (k > 0) {
                const double before = candidates[k - 1];
                EXPECT_LT(before, c);
                // A stretch without values is crossed in steps of at most a quarter.
                EXPECT_TRUE(holdsValue(before, c) ||
                            c - before <= 0.25 * std::max(1.0, before) * (1 + 1e-12))
                    << before << " to " << c;
            }
        }
        // Every two values that 15 digits tell apart have a candidate between them.
        for (size_t i = 0; i + 1 < values.size(); ++i) {
            if (values[i + 1] - values[i] > 2e-14 * values[i + 1]) {
                EXPECT_TRUE(std::any_of(candidates.begin(), candidates.end(), [&](double c) {
                    return c > values[i] && c <= values[i + 1];
                })) << values[i];
            }
        }
    }
}

TEST(FewestDigitsBetween, FindsTheShortestNumberInTheGap) {
    EXPECT_EQ(fewestDigitsBetween(0.1234, 0.1299), 0.129);
    EXPECT_EQ(fewestDigitsBetween(0.0009, 0.00099999), 0.00099);
    EXPECT_EQ(fewestDigitsBetween(-0.5, 0.25), 0.0);
    EXPECT_EQ(fewestDigitsBetween(1.5, 2.0), 2.0);  // the upper end belongs to the gap
    EXPECT_EQ(fewestDigitsBetween(1.0, 1.0), std::nullopt);
    EXPECT_EQ(fewestDigitsBetween(1.0, std::nextafter(1.0, 2.0)), std::nullopt);  // 17 digits
    std::mt19937 engine(5);
    for (int i = 0; i < 2000; ++i) {
        const double low = std::uniform_real_distribution<double>(-3, 40)(engine);
        const double high = low + std::exp(std::uniform_real_distribution<double>(-25, 2)(engine));
        const std::optional<double> t = fewestDigitsBetween(low, high);
        if (t) {
            EXPECT_GT(*t, low);
            EXPECT_LE(*t, high);
            EXPECT_EQ(numtext::toDouble(numtext::generalForm(*t, '.'), '.'), *t);
        } else {
            EXPECT_LT(high - low, std::fabs(high) * 1e-14) << low << " " << high;
        }
    }
}

TEST_F(KeepTargetTest, AStopEndsTheSearch) {
    loadAndAnalyze(generate::sphere(9, 14, 0.1, 1));
    int questions = 0;
    EXPECT_THROW(findKeepThreshold(mesh, 10, [&] { return ++questions > 2; }), RunStopped);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(findKeepThreshold(mesh, 10, stop.get_token()), RunStopped);
}

TEST(KeepAmount, ReadsCountsAndShares) {
    struct Case {
        const char* text;
        bool isShare;
        long long points;
        double percent;
    };
    for (const Case& c :
         {Case{"0", false, 0, 0}, Case{"1200", false, 1200, 0}, Case{" 25% ", true, 0, 25},
          Case{"12.5%", true, 0, 12.5}, Case{"12,5%", true, 0, 12.5}, Case{"100%", true, 0, 100},
          Case{"-0%", true, 0, 0}}) {
        const std::optional<KeepAmount> amount = parseKeepAmount(c.text, '.');
        ASSERT_TRUE(amount) << c.text;
        EXPECT_EQ(amount->isShare, c.isShare) << c.text;
        EXPECT_EQ(amount->isShare ? 0 : amount->points, c.points) << c.text;
        EXPECT_EQ(amount->isShare ? amount->percent : 0, c.percent) << c.text;
    }
    for (const char* bad : {"", "  ", "abc", "-3", "+3", "1.5", "1e3", "12 3", "101%", "-1%", "%",
                            "12.5.1%", "1,5.0%", "99999999999999999999", "5%%"}) {
        EXPECT_FALSE(parseKeepAmount(bad, '.')) << bad;
    }
    // A share rounds to the nearest point, a half up.
    EXPECT_EQ(parseKeepAmount("50%", '.')->of(5), 3);
    EXPECT_EQ(parseKeepAmount("12.5%", '.')->of(1000), 125);
    EXPECT_EQ(parseKeepAmount("33.3%", '.')->of(3), 1);
    EXPECT_EQ(parseKeepAmount("100%", '.')->of(32767), 32767);
    EXPECT_EQ(parseKeepAmount("40", '.')->of(30), 40);  // a count is not capped here
}

}  // namespace
}  // namespace meshthin::testing
