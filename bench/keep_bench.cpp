// SPDX-License-Identifier: GPL-3.0-or-later
// The search for the threshold that keeps a share of the points, at 32,767 points: its time,
// the trial runs it used beside the bound its header promises, and how close it came.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "bench/bench_meshes.h"
#include "meshio/batch.h"
#include "meshio/run/keep_target.h"

namespace meshthin::bench {
namespace {

// state.range(0): the shape; state.range(1): the share to keep, in percent.
void BM_KeepSearch(benchmark::State& state) {
    const Mesh mesh = loadAndAnalyzeText(meshOf(static_cast<int>(state.range(0)), 32767));
    const long long points = pointsLeft(mesh);
    const long long target = (points * state.range(1) + 50) / 100;
    const auto candidates = static_cast<double>(keepCandidates(mesh).size());
    KeepSearch found;
    for (auto _ : state) {
        found = findKeepThreshold(mesh, target);
        benchmark::DoNotOptimize(found.threshold);
    }
    const int bound = static_cast<int>(std::ceil(std::log2(candidates))) + kNeighbourTrials;
    state.counters["points"] = static_cast<double>(points);
    state.counters["candidates"] = candidates;
    state.counters["trial_runs"] = found.trialRuns;
    state.counters["target"] = static_cast<double>(target);
    state.counters["kept"] = static_cast<double>(found.kept);
    state.SetLabel("goal: trial runs <= " + std::to_string(bound) + " (ceil(log2 candidates) + " +
                   std::to_string(kNeighbourTrials) + ")");
}

BENCHMARK(BM_KeepSearch)
    ->ArgNames({"shape", "keep%"})
    ->ArgsProduct({{kSphere, kGrid}, {75, 50, 25}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace meshthin::bench
