// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own work next to what the fastest known code does with the same mesh, measured
// side by side in one process, so that the ratio holds whatever the machine:
//  - a reduction run that removes about half of the points, next to meshoptimizer's simplifier
//    taking the same mesh (every face as a fan of triangles) to the same number of points;
//  - loading with the start-up passes, next to one std::from_chars over every number in the file;
//  - the writer's text, next to one std::to_chars over every number it writes;
//  - the same at a quarter and three quarters of the points removed, where a run meets larger
//    neighbourhoods, and at half and three quarters the floor of such a run (only the values
//    and the list entries the rules cannot do without) next to the simplifier;
//  - runs that remove every point of a fan, the slowest case there is (each removal rewires the
//    whole remaining ring), and deep runs on a large grid; these have no peer to be measured
//    against.
#include <benchmark/benchmark.h>
#include <meshoptimizer.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <map>
#include <sstream>
#include <unordered_set>
#include <utility>
#include <vector>

#include "bench/bench_measures.h"
#include "bench/bench_meshes.h"
#include "bench/removal_floor.h"
#include "meshio/reduction.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "model/unit_vectors.h"
#include "tools/mesh_generators.h"

namespace meshthin::bench {
namespace {

void runBelow(Mesh& mesh, double threshold) {
    removePointsBelow(mesh, threshold, [](long long) {});
}

// The threshold at which a run removes about percent of the loaded points (within one percent of
// them): thresholds bisected between 0 and the largest value before any removal. The number
// removed grows with the threshold, though not strictly: a removal lowers some values of the
// points after it.
double thresholdRemoving(const std::string& text, int percent) {
    static std::map<std::pair<const std::string*, int>, double> found;
    if (auto known = found.find({&text, percent}); known != found.end()) {
        return known->second;
    }
    const Mesh loaded = loadAndAnalyzeText(text);
    const long long points = loaded.lastLoadedPoint() + 1;
    double low = 0;
    double high = thresholdFor(loaded, 1.0);
    // A rewired point's value grows with its connections: a deep run may need a threshold above
    // every value before it.
    for (int step = 0; step < 20; ++step) {
        Mesh mesh(loaded);
        runBelow(mesh, high);
        if (100 * removedCount(mesh) >= percent * points) {
            break;
        }
        low = high;
        high *= 2;
    }
    double threshold = high;
    for (int step = 0; step < 60; ++step) {
        threshold = (low + high) / 2;
        Mesh mesh(loaded);
        runBelow(mesh, threshold);
        const long long removed = removedCount(mesh);
        if (std::abs(100 * removed - percent * points) <= points) {
            break;
        }
        (100 * removed < percent * points ? low : high) = threshold;
    }
    return found[{&text, percent}] = threshold;
}

double thresholdRemovingHalf(const std::string& text) {
    return thresholdRemoving(text, 50);
}

// The loaded mesh as meshoptimizer takes it: float positions and every face as a fan.
struct TriangleMesh {
    std::vector<float> positions;
    std::vector<unsigned> indices;
};

TriangleMesh trianglesOf(const Mesh& loaded) {
    TriangleMesh mesh;
    for (long long i = 0; i <= loaded.lastLoadedPoint(); ++i) {
        mesh.positions.push_back(static_cast<float>(loaded.Points(i).getX()));
        mesh.positions.push_back(static_cast<float>(loaded.Points(i).getY()));
        mesh.positions.push_back(static_cast<float>(loaded.Points(i).getZ()));
    }
    for (long long f = 0; f <= loaded.Faces.upperBound(); ++f) {
        const Face& face = loaded.Faces(f);
        for (PointNumber j = 1; j < face.getNum(); ++j) {
            mesh.indices.push_back(static_cast<unsigned>(face.getPNum(0)));
            mesh.indices.push_back(static_cast<unsigned>(face.getPNum(j)));
            mesh.indices.push_back(
                static_cast<unsigned>(face.getPNum(static_cast<PointNumber>(j + 1))));
        }
    }
    return mesh;
}

size_t simplify(const TriangleMesh& mesh, size_t targetIndices, std::vector<unsigned>& out) {
    out.resize(mesh.indices.size());
    const size_t count = meshopt_simplify(out.data(), mesh.indices.data(), mesh.indices.size(),
                                          mesh.positions.data(), mesh.positions.size() / 3,
                                          3 * sizeof(float), targetIndices, 1e9f, 0, nullptr);
    out.resize(count);
    return count;
}

long long distinct(const std::vector<unsigned>& indices) {
    return static_cast<long long>(
        std::unordered_set<unsigned>(indices.begin(), indices.end()).size());
}

// The target index count at which the simplifier keeps about keep points.
size_t targetKeeping(const TriangleMesh& mesh, long long keep) {
    std::vector<unsigned> out;
    size_t low = 0;
    size_t high = mesh.indices.size();
    while (low < high) {
        const size_t middle = (low + high) / 2;
        simplify(mesh, middle, out);
        if (distinct(out) < keep) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// A shape, size and depth side by side with the simplifier: the mesh, the threshold whose run
// removes that share of its points, and the simplifier's target for keeping as many.
struct SideBySide {
    const std::string& text;
    double threshold;
    TriangleMesh mesh;
    long long points;
    long long removed;
    size_t target;
};

SideBySide sideBySide(const benchmark::State& state) {
    const std::string& text =
        meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const double threshold = thresholdRemoving(text, static_cast<int>(state.range(2)));
    Mesh loaded = loadAndAnalyzeText(text);
    TriangleMesh mesh = trianglesOf(loaded);
    runBelow(loaded, threshold);
    const long long points = loaded.lastLoadedPoint() + 1;
    const long long removed = removedCount(loaded);
    const size_t target = targetKeeping(mesh, points - removed);
    return {text, threshold, std::move(mesh), points, removed, target};
}

void BM_RemovalNextToSimplifier(benchmark::State& state) {
    const SideBySide run = sideBySide(state);

    std::vector<double> ours;
    std::vector<double> theirs;
    std::vector<unsigned> out;
    Mesh mesh;
    for (auto _ : state) {
        mesh = loadAndAnalyzeText(run.text);
        auto start = Clock::now();
        runBelow(mesh, run.threshold);
        ours.push_back(millisecondsSince(start));
        state.SetIterationTime(ours.back() / 1000);

        start = Clock::now();
        simplify(run.mesh, run.target, out);
        theirs.push_back(millisecondsSince(start));
    }
    state.counters["points"] = static_cast<double>(run.points);
    state.counters["threshold"] = run.threshold;
    state.counters["removed"] = static_cast<double>(run.removed);
    state.counters["simplifier_kept"] = static_cast<double>(distinct(out));
    state.counters["run_ms"] = median(ours);
    state.counters["simplifier_ms"] = median(theirs);
    state.counters["ratio"] = median(ours) / median(theirs);
    state.counters["us_per_removed"] = median(ours) * 1000 / static_cast<double>(run.removed);
}

void BM_RemovalFloorNextToSimplifier(benchmark::State& state) {
    const SideBySide run = sideBySide(state);
    // The recording leaves the mesh as the run leaves it.
    Mesh mesh = loadAndAnalyzeText(run.text);
    const Floor floor = recordFloor(mesh, run.threshold);
    if (removedCount(mesh) != run.removed) {
        state.SkipWithError("the recording walk removed other points than the run");
    }

    std::vector<double> valuing;
    std::vector<double> appending;
    std::vector<double> theirs;
    std::vector<unsigned> out;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(valueRecordedLists(mesh, floor));
        valuing.push_back(millisecondsSince(start));

        std::vector<std::vector<PointNumber>> lists;
        for (const size_t size : floor.startSizes) {
            lists.emplace_back(size, PointNumber{0});
        }
        start = Clock::now();
        benchmark::DoNotOptimize(appendRecordedGains(floor, lists));
        appending.push_back(millisecondsSince(start));
        state.SetIterationTime((valuing.back() + appending.back()) / 1000);

        start = Clock::now();
        simplify(run.mesh, run.target, out);
        theirs.push_back(millisecondsSince(start));
    }
    size_t gainedEntries = 0;
    for (const auto& gain : floor.gained) {
        gainedEntries += gain.second;
    }
    state.counters["removed"] = static_cast<double>(run.removed);
    state.counters["valued_entries"] = static_cast<double>(floor.valuedEntries.size());
    state.counters["gained_entries"] = static_cast<double>(gainedEntries);
    state.counters["value_ms"] = median(valuing);
    state.counters["append_ms"] = median(appending);
    state.counters["simplifier_ms"] = median(theirs);
    state.counters["floor_ratio"] = (median(valuing) + median(appending)) / median(theirs);
}

// The rewiring steps a run at threshold takes on the mesh of text, as the removals report them:
// for every neighbour of every removed point, the size of the removed point's neighbourhood and
// of the neighbour's list, which the neighbour is rewired and re-valued from. Counted here on a
// walk that removes the points the run removes, one by one through the public steps, from each
// neighbour's list as its rewiring left it; and the number of points it removed.
struct RunSteps {
    long long steps = 0;
    long long removed = 0;
};

RunSteps stepsOfRun(const std::string& text, double threshold) {
    Mesh mesh = loadAndAnalyzeText(text);
    RunSteps run;
    std::vector<PointNumber> neighbours;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        Point& point = mesh.Points(i);
        if (point.removed() || point.valueNow(mesh) >= threshold) {
            continue;
        }
        neighbours.clear();
        for (PointNumber k = 0; k <= point.getNumConns(); ++k) {
            neighbours.push_back(point.getConn(mesh, k));
        }
        point.remove(mesh);
        ++run.removed;
        for (const PointNumber n : neighbours) {
            run.steps +=
                static_cast<long long>(neighbours.size()) + mesh.Points(n).getNumConns() + 1;
        }
    }
    return run;
}

// The time per removed point of a run that removes about half of the points, at every size of
// one shape from 4,000 to 32,767 points, measured side by side, and how it rises from the
// smallest size to the largest next to how the work per removed point rises. On the
// self-similar shapes a removal meets about the same neighbourhood at every size; on the others
// the larger meshes are rougher and the half-removing threshold lies deeper.
void BM_TimePerRemovedPointAcrossSizes(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    const bool selfSimilar = shape == kSelfSimilarSphere || shape == kSelfSimilarGrid;
    const std::vector<int> sizes = selfSimilar ? std::vector<int>{4000, 8000, 16000, 32767}
                                               : std::vector<int>{4000, 16000, 32767};
    struct Size {
        const std::string* text;
        double threshold;
        long long removed;
        long long steps;
        std::vector<double> milliseconds;
    };
    std::vector<Size> measured;
    for (const int points : sizes) {
        const std::string& text = meshOf(shape, points);
        const double threshold = thresholdRemovingHalf(text);
        const RunSteps run = stepsOfRun(text, threshold);
        measured.push_back({&text, threshold, run.removed, run.steps, {}});
    }
    Mesh mesh;
    for (auto _ : state) {
        double total = 0;
        for (Size& size : measured) {
            mesh = loadAndAnalyzeText(*size.text);
            const auto start = Clock::now();
            runBelow(mesh, size.threshold);
            size.milliseconds.push_back(millisecondsSince(start));
            total += size.milliseconds.back();
        }
        state.SetIterationTime(total / 1000);
    }
    const auto microsecondsPerRemoved = [](const Size& size) {
        return median(size.milliseconds) * 1000 / static_cast<double>(size.removed);
    };
    const auto stepsPerRemoved = [](const Size& size) {
        return static_cast<double>(size.steps) / static_cast<double>(size.removed);
    };
    for (size_t i = 0; i < sizes.size(); ++i) {
        state.counters["us_" + std::to_string(sizes[i])] = microsecondsPerRemoved(measured[i]);
    }
    state.counters["time_rise"] =
        microsecondsPerRemoved(measured.back()) / microsecondsPerRemoved(measured.front());
    state.counters["work_rise"] =
        stepsPerRemoved(measured.back()) / stepsPerRemoved(measured.front());
    state.counters["ns_per_step_4000"] =
        median(measured.front().milliseconds) * 1e6 / static_cast<double>(measured.front().steps);
    state.counters["ns_per_step_32767"] =
        median(measured.back().milliseconds) * 1e6 / static_cast<double>(measured.back().steps);
}

// One from_chars over every number of the file: the points' coordinates as doubles, every
// other number as an integer.
double fromCharsPass(const std::string& text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const size_t facesAt = text.find("faces {");
    const char* const faces = text.data() + facesAt;
    double sum = 0;
    while (p < end) {
        if ((*p >= '0' && *p <= '9') || (*p == '-' && p + 1 < end && p[1] >= '0' && p[1] <= '9')) {
            if (p < faces) {
                double value = 0;
                p = std::from_chars(p, end, value).ptr;
                sum += value;
            } else {
                int value = 0;
                p = std::from_chars(p, end, value).ptr;
                sum += value;
            }
        } else {
            ++p;
        }
    }
    return sum;
}

void BM_LoadNextToFromChars(benchmark::State& state) {
    const std::string& text =
        meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<double> ours;
    std::vector<double> floor;
    Mesh mesh;
    for (auto _ : state) {
        auto start = Clock::now();
        mesh = loadAndAnalyzeText(text);
        ours.push_back(millisecondsSince(start));
        state.SetIterationTime(ours.back() / 1000);

        start = Clock::now();
        benchmark::DoNotOptimize(fromCharsPass(text));
        floor.push_back(millisecondsSince(start));
    }
    state.counters["load_ms"] = median(ours);
    state.counters["from_chars_ms"] = median(floor);
    state.counters["ratio"] = median(ours) / median(floor);
}

// One to_chars over every number the writer writes: the coordinates of the points kept and the
// output number of every point reference in the faces kept.
size_t toCharsPass(const Mesh& mesh) {
    char buffer[64];
    size_t written = 0;
    for (long long i = 0; i <= mesh.spareSlot(); ++i) {
        const Point& point = mesh.Points(i);
        if (!point.removed()) {
            for (double value : {point.getX(), point.getY(), point.getZ()}) {
                written +=
                    static_cast<size_t>(std::to_chars(buffer, buffer + 64, value).ptr - buffer);
            }
        }
    }
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        const Face& face = mesh.Faces(f);
        if (face.removedz()) {
            continue;
        }
        for (PointNumber j = 0; j <= face.getNum(); ++j) {
            const PointNumber p = face.getPNum(j);
            const int32_t order = p >= 0 ? mesh.Points(p).getPtOrder() : 0;
            written += static_cast<size_t>(std::to_chars(buffer, buffer + 64, order).ptr - buffer);
        }
    }
    return written;
}

void BM_WriterNextToToChars(benchmark::State& state) {
    const std::string& text =
        meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    Mesh mesh = loadAndAnalyzeText(text);
    runBelow(mesh, thresholdFor(mesh, 0.5));
    std::vector<double> ours;
    std::vector<double> floor;
    std::string written;
    for (auto _ : state) {
        std::ostringstream out;
        auto start = Clock::now();
        writeMeshText(
            mesh, out, kNumbers, [] {}, [](const std::string&) {});
        written = std::move(out).str();
        ours.push_back(millisecondsSince(start));
        state.SetIterationTime(ours.back() / 1000);

        start = Clock::now();
        benchmark::DoNotOptimize(toCharsPass(mesh));
        floor.push_back(millisecondsSince(start));
    }
    state.counters["bytes"] = static_cast<double>(written.size());
    state.counters["writer_ms"] = median(ours);
    state.counters["to_chars_ms"] = median(floor);
    state.counters["ratio"] = median(ours) / median(floor);
}

void BM_RemoveWholeFan(benchmark::State& state) {
    const std::string text = generate::fan(static_cast<int>(state.range(0)));
    Mesh mesh;
    for (auto _ : state) {
        state.PauseTiming();
        mesh = loadAndAnalyzeText(text);
        state.ResumeTiming();
        runBelow(mesh, 1e300);
    }
    state.counters["removed"] = static_cast<double>(removedCount(mesh));
}

// Removing every point of fans of 500 triangles and more, doubling up to the size given, each
// size once per iteration: the time of each and its growth from the size before. A removal
// rewires the whole remaining ring, so the work of asking every pair of it again grows with the
// cube of the size; the growth per doubling shows what is left of that.
void BM_RemoveWholeFans(benchmark::State& state) {
    std::vector<int> sizes;
    for (int triangles = 500; triangles <= state.range(0); triangles *= 2) {
        sizes.push_back(triangles);
    }
    std::vector<std::string> texts;
    for (const int triangles : sizes) {
        texts.push_back(generate::fan(triangles));
    }
    std::vector<std::vector<double>> milliseconds(sizes.size());
    Mesh mesh;
    for (auto _ : state) {
        double total = 0;
        for (size_t i = 0; i < sizes.size(); ++i) {
            mesh = loadAndAnalyzeText(texts[i]);
            const auto start = Clock::now();
            runBelow(mesh, 1e300);
            milliseconds[i].push_back(millisecondsSince(start));
            total += milliseconds[i].back();
            if (removedCount(mesh) != mesh.lastLoadedPoint() + 1) {
                state.SkipWithError("a point of the fan was kept");
            }
        }
        state.SetIterationTime(total / 1000);
    }
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::string size = std::to_string(sizes[i]);
        state.counters["ms_" + size] = median(milliseconds[i]);
        if (i > 0) {
            state.counters["growth_" + size] =
                median(milliseconds[i]) / median(milliseconds[i - 1]);
        }
    }
}

// A deep run on a bumpy 181 x 181 grid (32,761 points): at threshold 100 most points go, at 1000
// all of them, and the neighbourhoods of the last removals span much of the grid.
void BM_DeepRunOnGrid(benchmark::State& state) {
    static const std::string text = generate::grid(181, 181, 1.5, 12);
    const auto threshold = static_cast<double>(state.range(0));
    std::vector<double> runs;
    Mesh mesh;
    for (auto _ : state) {
        mesh = loadAndAnalyzeText(text);
        const auto start = Clock::now();
        runBelow(mesh, threshold);
        runs.push_back(millisecondsSince(start));
        state.SetIterationTime(runs.back() / 1000);
    }
    state.counters["points"] = static_cast<double>(mesh.lastLoadedPoint() + 1);
    state.counters["removed"] = static_cast<double>(removedCount(mesh));
    state.counters["run_ms"] = median(runs);
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int shape : {kSphere, kGrid}) {
        for (int points : {4000, 16000, 32767}) {
            b->Args({shape, points});
        }
    }
    b->ArgNames({"shape", "points"})->Unit(benchmark::kMillisecond)->UseManualTime();
}

// Half of the points at every size; a quarter, half and three quarters of the 32k-point meshes
// of every shape, where a deeper run meets larger neighbourhoods.
void depths(benchmark::internal::Benchmark* b) {
    for (int shape : {kSphere, kGrid}) {
        for (int points : {4000, 16000}) {
            b->Args({shape, points, 50});
        }
    }
    for (int shape : {kSphere, kGrid, kSelfSimilarSphere, kSelfSimilarGrid}) {
        for (int percent : {25, 50, 75}) {
            b->Args({shape, 32767, percent});
        }
    }
    b->ArgNames({"shape", "points", "percent"})->Unit(benchmark::kMillisecond)->UseManualTime();
}

BENCHMARK(BM_RemovalNextToSimplifier)->Apply(depths);
// The floor at half and three quarters of the 32k-point meshes.
BENCHMARK(BM_RemovalFloorNextToSimplifier)
    ->ArgsProduct({{kSphere, kGrid, kSelfSimilarSphere, kSelfSimilarGrid}, {32767}, {50, 75}})
    ->ArgNames({"shape", "points", "percent"})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_TimePerRemovedPointAcrossSizes)
    ->ArgName("shape")
    ->Arg(kSphere)
    ->Arg(kGrid)
    ->Arg(kSelfSimilarSphere)
    ->Arg(kSelfSimilarGrid)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_LoadNextToFromChars)->Apply(sizes);
BENCHMARK(BM_WriterNextToToChars)->Apply(sizes);
BENCHMARK(BM_RemoveWholeFan)
    ->ArgName("triangles")
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveWholeFans)
    ->ArgName("up_to")
    ->Arg(2000)
    ->Arg(4000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_DeepRunOnGrid)
    ->ArgName("threshold")
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
}  // namespace meshthin::bench
