// SPDX-License-Identifier: GPL-3.0-or-later
// meshthin at a million points, on the two meshes of bench/million_meshes.h, each as OBJ and as
// binary PLY, next to the floors and the simplifier a user compares with, measured side by side
// in one process so that the ratios hold whatever the machine:
//  - load: the file's bytes made into the mesh's records, next to one std::from_chars over
//    every number of the OBJ text (goal: at most 1.5 times) and next to a plain read of the
//    binary PLY file (goal: at most 2 times, the read included in both);
//  - start-up values at a quarter, half and all of the size (goal: linear, the time per point
//    the same at every size), on one thread and on every core;
//  - runs removing a quarter, half and three quarters of the points, next to meshoptimizer's
//    simplifier taking the same triangles to the same number of points (goal: at most its time
//    at a quarter and half) and, at three quarters, next to the floor of such a run (goal: at
//    most twice the floor);
//  - write: the OBJ text of the loaded mesh next to one std::to_chars over every number it
//    holds (goal: at most 1.5 times);
//  - peak memory in a process of its own: loading with the values (goal: at most 250 bytes a
//    point) and the run removing half (goal: at most 500 bytes a point).
// Loading and writing are given on one thread and on every core. Each figure is printed beside
// its goal; ratio counters read "<= 1 meets it". Beside the figures that fall short stands what
// limits them: the time to make the mesh's records (which neither floor makes), the memory the
// finished mesh holds, how large the rebuilt polygons grow in a deep run and how far a run that
// takes too long came, and the floor of a deep run next to the simplifier.
#include <benchmark/benchmark.h>
#include <meshoptimizer.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_measures.h"
#include "bench/million_meshes.h"
#include "bench/removal_floor.h"
#include "meshio/any_mesh.h"
#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/mesh_file.h"
#include "meshio/formats/obj.h"
#include "meshio/formats/ply.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/startup.h"
#include "meshio/stopping.h"
#include "model/mesh.h"

namespace meshthin::bench {
namespace {

constexpr long long kPoints = 1'000'000;

const char* shapeName(int shape) {
    return shape == kPolygonSurface ? "polygon-surface" : "triangle-scan";
}

// The shape as files, made once per shape: the polygons, the OBJ text and both files on disk.
struct Sample {
    formats::PolygonMesh polygons;
    std::string obj;
    std::filesystem::path objFile;
    std::filesystem::path plyFile;
};

const Sample& sampleOf(int shape) {
    static std::map<int, std::unique_ptr<Sample>> made;
    auto& sample = made[shape];
    if (!sample) {
        sample = std::make_unique<Sample>();
        sample->polygons = millionShape(shape, kPoints);
        formats::writeObj(sample->obj, sample->polygons);
        const auto base = std::filesystem::temp_directory_path() /
                          ("meshthin-million-" + std::string(shapeName(shape)));
        sample->objFile = base.string() + ".obj";
        sample->plyFile = base.string() + ".ply";
        formats::writeMeshFile(sample->objFile.string(), sample->polygons,
                               formats::MeshFormat::Obj);
        formats::writeMeshFile(sample->plyFile.string(), sample->polygons,
                               formats::MeshFormat::Ply);
    }
    return *sample;
}

void describe(benchmark::State& state, const formats::PolygonMesh& polygons) {
    state.counters["points"] = static_cast<double>(polygons.pointCount());
    state.counters["faces"] = static_cast<double>(polygons.faceCount());
}

// One from_chars over every number of an OBJ text: a v line's as doubles, an f line's as
// integers.
double fromCharsOverObj(const std::string& text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    double sum = 0;
    while (p < end) {
        const bool vertex = *p == 'v';
        ++p;
        while (p < end && *p != '\n') {
            if (*p == ' ') {
                ++p;
            } else if (vertex) {
                double value = 0;
                p = std::from_chars(p, end, value).ptr;
                sum += value;
            } else {
                unsigned value = 0;
                p = std::from_chars(p, end, value).ptr;
                sum += value;
            }
        }
        ++p;
    }
    return sum;
}

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// A load timed in two steps, parse (the file to polygons) and the mesh's records made of them on
// threads (0: every core),
// next to floor, a pass over the file that makes neither; the counters are named after floor.
template <class Parse, class FloorPass>
void measureLoad(benchmark::State& state, const Sample& sample, unsigned threads,
                 const std::string& floorName, const std::string& goal, const Parse& parse,
                 const FloorPass& floorPass) {
    std::vector<double> ours;
    std::vector<double> floor;
    std::vector<double> parsing;
    std::vector<double> records;
    for (auto _ : state) {
        auto start = Clock::now();
        const formats::PolygonMesh polygons = parse();
        parsing.push_back(millisecondsSince(start));
        Mesh mesh = formats::meshRecordsFromPolygons(polygons, threads);
        ours.push_back(millisecondsSince(start));
        records.push_back(ours.back() - parsing.back());
        state.SetIterationTime(ours.back() / 1000);
        benchmark::DoNotOptimize(mesh.Points.upperBound());
        start = Clock::now();
        benchmark::DoNotOptimize(floorPass());
        floor.push_back(millisecondsSince(start));
    }
    describe(state, sample.polygons);
    state.counters["load_ms"] = median(ours);
    state.counters[floorName + "_ms"] = median(floor);
    state.counters["ratio_goal_" + goal] = median(ours) / median(floor);
    // What limits the ratio: the file read into arrays, and the mesh's records made of them,
    // which the floor does not make at all.
    state.counters["parse_ms"] = median(parsing);
    state.counters["records_ms"] = median(records);
    state.counters["records_vs_" + floorName] = median(records) / median(floor);
}

void BM_MillionLoadObj(benchmark::State& state) {
    const Sample& sample = sampleOf(static_cast<int>(state.range(0)));
    const auto threads = static_cast<unsigned>(state.range(1));
    measureLoad(
        state, sample, threads, "from_chars", "1.5",
        [&] { return formats::readObj(sample.obj, "bench.obj", threads); },
        [&] { return fromCharsOverObj(sample.obj); });
}

void BM_MillionLoadPly(benchmark::State& state) {
    const Sample& sample = sampleOf(static_cast<int>(state.range(0)));
    measureLoad(
        state, sample, 0, "read", "2",
        [&] {
            return formats::readPly(formats::readMeshFile(sample.plyFile.string()), "bench.ply");
        },
        [&] { return readWholeFile(sample.plyFile).size(); });
}

// The start-up values of a quarter, half and all of the shape's size: the time per point at
// each, and how much the largest's exceeds the smallest's (linear: about 1).
void BM_MillionStartupValues(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    const auto threads = static_cast<unsigned>(state.range(1));
    const std::vector<long long> sizes = {kPoints / 4, kPoints / 2, kPoints};
    std::vector<formats::PolygonMesh> meshes;
    for (const long long size : sizes) {
        meshes.push_back(millionShape(shape, size));
    }
    std::vector<std::vector<double>> times(sizes.size());
    for (auto _ : state) {
        double total = 0;
        for (size_t i = 0; i < sizes.size(); ++i) {
            Mesh mesh = formats::meshRecordsFromPolygons(meshes[i]);
            const auto start = Clock::now();
            runStartupPasses(mesh, {}, threads);
            times[i].push_back(millisecondsSince(start));
            total += times[i].back();
        }
        state.SetIterationTime(total / 1000);
    }
    const auto nsPerPoint = [&](size_t i) {
        return median(times[i]) * 1e6 / static_cast<double>(meshes[i].pointCount());
    };
    for (size_t i = 0; i < sizes.size(); ++i) {
        state.counters["ns_per_point_" + std::to_string(sizes[i])] = nsPerPoint(i);
    }
    state.counters["values_ms"] = median(times.back());
    state.counters["rise_goal_1"] = nsPerPoint(sizes.size() - 1) / nsPerPoint(0);
}

long long removedCount(const Mesh& mesh) {
    long long removed = 0;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        removed += mesh.Points(i).removed() ? 1 : 0;
    }
    return removed;
}

// The loaded and valued mesh of a shape, kept for the runs.
const Mesh& loadedOf(int shape) {
    static std::map<int, std::unique_ptr<Mesh>> made;
    auto& mesh = made[shape];
    if (!mesh) {
        mesh = std::make_unique<Mesh>(formats::meshFromPolygons(sampleOf(shape).polygons));
    }
    return *mesh;
}

// A run that ends once it has taken longer than a deadline: a deep run on a million points
// rebuilds ever larger polygons, and one that takes minutes is measured as such, not waited for.
class Deadline : public RunObserver {
public:
    explicit Deadline(double seconds)
        : end(Clock::now() +
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds))) {
    }
    void checkpoint() override {
        if (Clock::now() > end) {
            throw RunStopped{};
        }
    }

private:
    Clock::time_point end;
};

constexpr double kLongestRunSeconds = 30;

// A threshold whose run removes percent of the points, within one percent of them, and what the
// run removes; or none found, when the runs near it take longer than kLongestRunSeconds. A run
// raises the values near what it removes (a rewired point gains connections), so the threshold
// may lie far above every start value: doubled until the run removes enough, then bisected.
struct Depth {
    double threshold = 0;
    long long removed = -1;       // -1: the runs at this depth take too long
    double stoppedThreshold = 0;  // the shallowest threshold whose run took too long, or 0
    // When removed is -1: what the run at threshold removed, the nearest to the share that a run
    // within the time came.
    long long closestRemoved = -1;
};

// The faces a run built, which the rebuild makes larger the deeper the run: how many,
// how many corners they had in all, and the largest. A face rebuilt again stays counted, as
// building it cost as much as any other.
struct Rebuilt {
    long long faces = 0;
    long long corners = 0;
    long long largest = 0;
};

Rebuilt rebuiltBy(const Mesh& mesh) {
    Rebuilt rebuilt;
    if (!mesh.Faces.exists()) {
        return rebuilt;
    }
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        const Face& face = mesh.Faces(f);
        if (face.getIsNew()) {
            const long long corners = face.getNum() + 1;
            ++rebuilt.faces;
            rebuilt.corners += corners;
            rebuilt.largest = std::max(rebuilt.largest, corners);
        }
    }
    return rebuilt;
}

void describeRebuilt(benchmark::State& state, const Rebuilt& rebuilt, long long removed) {
    state.counters["rebuilt_largest_face"] = static_cast<double>(rebuilt.largest);
    state.counters["rebuilt_corners_per_removal"] =
        static_cast<double>(rebuilt.corners) / static_cast<double>(std::max(removed, 1LL));
}

Depth depthOf(int shape, int percent) {
    static std::map<std::pair<int, int>, Depth> found;
    if (auto known = found.find({shape, percent}); known != found.end()) {
        return known->second;
    }
    const Mesh& loaded = loadedOf(shape);
    const long long points = loaded.lastLoadedPoint() + 1;
    std::vector<double> values;
    for (long long i = 0; i < points; ++i) {
        values.push_back(loaded.Points(i).getValue());
    }
    std::sort(values.begin(), values.end());
    const long long wanted = points * percent / 100;
    // What a run at threshold removes, or -1 when it takes too long.
    const auto removedAt = [&](double threshold) -> long long {
        Mesh mesh(loaded);
        Deadline deadline(kLongestRunSeconds);
        const ObservedRun observed(mesh, deadline);
        try {
            removePointsBelow(mesh, threshold, [](long long) {});
        } catch (const RunStopped&) {
            return -1;
        }
        return removedCount(mesh);
    };
    Depth best;
    const auto consider = [&](double threshold, long long removed) {
        if (removed < 0 && (best.stoppedThreshold == 0 || threshold < best.stoppedThreshold)) {
            best.stoppedThreshold = threshold;
        }
        if (removed >= 0 &&
            (best.removed < 0 || std::abs(removed - wanted) < std::abs(best.removed - wanted))) {
            best.threshold = threshold;
            best.removed = removed;
        }
    };
    double low = 0;
    double high = values[static_cast<size_t>(wanted)];
    for (int step = 0; step < 12; ++step) {
        const long long removed = removedAt(high);
        consider(high, removed);
        if (removed < 0 || removed >= wanted) {
            break;
        }
        low = high;
        high *= 2;
    }
    for (int step = 0; step < 12 && std::abs(best.removed - wanted) > points / 100; ++step) {
        const double middle = (low + high) / 2;
        const long long removed = removedAt(middle);
        consider(middle, removed);
        // A run too long to wait for lies deeper than wanted, or at least no shallower.
        (removed >= 0 && removed < wanted ? low : high) = middle;
    }
    if (best.removed >= 0 && std::abs(best.removed - wanted) > points / 100) {
        best.closestRemoved = best.removed;
        best.removed = -1;  // the depth lies where the runs take too long
    }
    return found[{shape, percent}] = best;
}

struct Triangles {
    std::vector<float> positions;
    std::vector<unsigned> indices;
};

Triangles trianglesOf(const formats::PolygonMesh& polygons) {
    Triangles mesh;
    mesh.positions.assign(polygons.positions.begin(), polygons.positions.end());
    for (size_t f = 0; f < polygons.faceCount(); ++f) {
        const auto face = polygons.face(f);
        for (size_t j = 1; j + 1 < face.size(); ++j) {
            mesh.indices.insert(mesh.indices.end(), {face[0], face[j], face[j + 1]});
        }
    }
    return mesh;
}

long long simplifyKeeping(const Triangles& mesh, size_t target, std::vector<unsigned>& out) {
    out.resize(mesh.indices.size());
    out.resize(meshopt_simplify(out.data(), mesh.indices.data(), mesh.indices.size(),
                                mesh.positions.data(), mesh.positions.size() / 3, 3 * sizeof(float),
                                target, 1e9f, 0, nullptr));
    std::vector<char> used(mesh.positions.size() / 3, 0);
    long long kept = 0;
    for (const unsigned i : out) {
        kept += used[i] == 0 ? 1 : 0;
        used[i] = 1;
    }
    return kept;
}

// The simplifier's target index count that keeps about keep points: it keeps points in
// proportion to the indices it is asked for; two corrections get within a percent.
size_t targetKeeping(const Triangles& mesh, long long keep, long long points) {
    std::vector<unsigned> out;
    auto target = static_cast<size_t>(static_cast<double>(mesh.indices.size()) * keep / points);
    for (int step = 0; step < 4; ++step) {
        const long long kept = simplifyKeeping(mesh, target, out);
        if (std::abs(kept - keep) <= points / 200 || kept == 0) {
            break;
        }
        target = static_cast<size_t>(static_cast<double>(target) * keep / kept) / 3 * 3;
    }
    return target;
}

void BM_MillionRun(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    const int percent = static_cast<int>(state.range(1));
    const Sample& sample = sampleOf(shape);
    const Mesh& loaded = loadedOf(shape);
    const Depth depth = depthOf(shape, percent);
    const long long points = loaded.lastLoadedPoint() + 1;
    if (depth.removed < 0) {
        // What limits it: how far the shallowest run that took too long came, and how large the
        // polygons it rebuilt had grown by then.
        Mesh mesh(loaded);
        long long removed = 0;
        for (auto _ : state) {
            const auto start = Clock::now();
            Deadline deadline(kLongestRunSeconds);
            const ObservedRun observed(mesh, deadline);
            try {
                removePointsBelow(mesh, depth.stoppedThreshold, [](long long) {});
            } catch (const RunStopped&) {
            }
            state.SetIterationTime(millisecondsSince(start) / 1000);
            removed = removedCount(mesh);
        }
        describe(state, sample.polygons);
        state.counters["deepest_in_time_threshold"] = depth.threshold;
        state.counters["deepest_in_time_removed"] = static_cast<double>(depth.closestRemoved);
        state.counters["stopped_threshold"] = depth.stoppedThreshold;
        state.counters["removed_when_stopped"] = static_cast<double>(removed);
        describeRebuilt(state, rebuiltBy(mesh), removed);
        state.SetLabel("no run removing this share within 30 s; stopped there");
        return;
    }
    const Triangles triangles = trianglesOf(sample.polygons);
    const size_t target = targetKeeping(triangles, points - depth.removed, points);

    std::vector<double> ours;
    std::vector<double> theirs;
    // The system's own share of each: see below.
    std::vector<double> oursSystem;
    std::vector<double> theirsSystem;
    std::vector<unsigned> out;
    long long simplifierKept = 0;
    Rebuilt rebuilt;
    for (auto _ : state) {
        // Three of each, taken in turns: on this shared machine a run's time varies by a third
        // with how fast fresh memory comes, and the medians are compared.
        for (int turn = 0; turn < 3; ++turn) {
            Mesh mesh(loaded);
            double system = threadSystemMilliseconds();
            auto start = Clock::now();
            removePointsBelow(mesh, depth.threshold, [](long long) {});
            ours.push_back(millisecondsSince(start));
            oursSystem.push_back(threadSystemMilliseconds() - system);
            rebuilt = rebuiltBy(mesh);
            system = threadSystemMilliseconds();
            start = Clock::now();
            simplifierKept = simplifyKeeping(triangles, target, out);
            theirs.push_back(millisecondsSince(start));
            theirsSystem.push_back(threadSystemMilliseconds() - system);
        }
        state.SetIterationTime(median(ours) / 1000);
    }
    describe(state, sample.polygons);
    state.counters["threshold"] = depth.threshold;
    state.counters["removed"] = static_cast<double>(depth.removed);
    state.counters["simplifier_kept"] = static_cast<double>(simplifierKept);
    state.counters["run_ms"] = median(ours);
    state.counters["simplifier_ms"] = median(theirs);
    // What limits the ratio on a virtual machine: fresh pages come at a speed that varies from
    // run to run (0.6 to 7.4 GB/s measured here). The system's own time is the part of it that
    // the machine sees; the host's part shows in the rest.
    state.counters["run_system_ms"] = median(oursSystem);
    state.counters["simplifier_system_ms"] = median(theirsSystem);
    std::vector<double> oursOwn;
    std::vector<double> theirsOwn;
    for (size_t k = 0; k < ours.size(); ++k) {
        oursOwn.push_back(ours[k] - oursSystem[k]);
        theirsOwn.push_back(theirs[k] - theirsSystem[k]);
    }
    state.counters["ratio_without_system"] = median(oursOwn) / median(theirsOwn);
    describeRebuilt(state, rebuilt, depth.removed);
    if (percent < 50) {
        state.counters["ratio_goal_1"] = median(ours) / median(theirs);
        return;
    }
    // The floor of a run at this depth: what any run that keeps the rules must compute. Where
    // it exceeds the simplifier's time, no such run can match it.
    Mesh recorded(loaded);
    const Floor floor = recordFloor(recorded, depth.threshold);
    std::vector<std::vector<PointNumber>> lists;
    for (const size_t size : floor.startSizes) {
        lists.emplace_back(size, PointNumber{0});
    }
    const auto start = Clock::now();
    benchmark::DoNotOptimize(valueRecordedLists(recorded, floor));
    benchmark::DoNotOptimize(appendRecordedGains(floor, lists));
    const double floorMs = millisecondsSince(start);
    state.counters["floor_ms"] = floorMs;
    state.counters["floor_vs_simplifier"] = floorMs / median(theirs);
    if (percent < 75) {
        state.counters["ratio_goal_1"] = median(ours) / median(theirs);
    } else {
        state.counters["floor_ratio_goal_2"] = median(ours) / floorMs;
    }
}

// An OBJ text of the loaded mesh, next to one to_chars over every number in it, formatted on one
// thread and on every core (threads 0).
void BM_MillionWriteObj(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    const auto threads = static_cast<unsigned>(state.range(1));
    const Sample& sample = sampleOf(shape);
    Mesh mesh(loadedOf(shape));
    std::vector<double> ours;
    std::vector<double> floor;
    std::string text;
    for (auto _ : state) {
        text.clear();
        auto start = Clock::now();
        formats::writeObj(text, formats::polygonsOf(mesh), threads);
        ours.push_back(millisecondsSince(start));
        state.SetIterationTime(ours.back() / 1000);
        std::string numbers;
        numbers.reserve(text.size());
        char buffer[32];
        start = Clock::now();
        for (const double value : sample.polygons.positions) {
            numbers.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
        }
        for (const uint32_t corner : sample.polygons.corners) {
            numbers.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, corner + 1).ptr);
        }
        floor.push_back(millisecondsSince(start));
        benchmark::DoNotOptimize(numbers.size());
    }
    describe(state, sample.polygons);
    state.counters["write_ms"] = median(ours);
    state.counters["to_chars_ms"] = median(floor);
    state.counters["ratio_goal_1.5"] = median(ours) / median(floor);
}

// What measureInThisProcess prints: the peak resident memory that loading the OBJ file with its
// values, and then a run at threshold when one is given, add to what the process held before,
// and what the finished mesh still holds. Run in a fresh process (this program started again
// with --measure-peak): a child forked from this one would reuse the heap this one freed, and
// count nothing.
struct Kilobytes {
    long long peak = -1;
    long long held = -1;
};

Kilobytes kilobytesAdded(const std::filesystem::path& file, const Depth* run) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {};
    }
    // The shortest text that reads back as the same double.
    char digits[32] = "";
    if (run != nullptr) {
        *std::to_chars(digits, digits + sizeof digits - 1, run->threshold).ptr = '\0';
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDOUT_FILENO);
        execl("/proc/self/exe", "meshthin_million_bench", "--measure-peak", file.c_str(),
              run != nullptr ? digits : nullptr, nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[64];
    for (ssize_t got = 0; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Kilobytes added;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
        std::sscanf(text.c_str(), "%lld %lld", &added.peak, &added.held) != 2) {
        added = {};
    }
    return added;
}

void BM_MillionPeakMemory(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    const Sample& sample = sampleOf(shape);
    const Depth half = depthOf(shape, 50);
    Kilobytes loading;
    Kilobytes running;
    for (auto _ : state) {
        loading = kilobytesAdded(sample.objFile, nullptr);
        if (half.removed >= 0) {
            running = kilobytesAdded(sample.objFile, &half);
        }
    }
    const auto perPoint = [&](long long kilobytes) {
        return static_cast<double>(kilobytes) * 1024 /
               static_cast<double>(sample.polygons.pointCount());
    };
    describe(state, sample.polygons);
    state.counters["load_bytes_per_point_goal_250"] = perPoint(loading.peak);
    // What limits the peak: the loaded mesh alone, its records and their lists, once the file's
    // bytes and arrays are gone.
    state.counters["mesh_bytes_per_point"] = perPoint(loading.held);
    if (half.removed >= 0) {
        state.counters["half_run_bytes_per_point_goal_500"] = perPoint(running.peak);
        state.counters["mesh_after_half_run_bytes_per_point"] = perPoint(running.held);
    } else {
        state.SetLabel("no run removing half within 30 s to measure");
    }
}

void shapes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"shape"})->Arg(kPolygonSurface)->Arg(kTriangleScan);
    b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
}

// Each shape on one thread and on every core (threads 0).
void shapesOnThreads(benchmark::internal::Benchmark* b) {
    b->ArgNames({"shape", "threads"})->ArgsProduct({{kPolygonSurface, kTriangleScan}, {1, 0}});
    b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
}

void depths(benchmark::internal::Benchmark* b) {
    b->ArgNames({"shape", "percent"});
    for (const int shape : {kPolygonSurface, kTriangleScan}) {
        for (const int percent : {25, 50, 75}) {
            b->Args({shape, percent});
        }
    }
    b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
}

BENCHMARK(BM_MillionLoadObj)->Apply(shapesOnThreads);
BENCHMARK(BM_MillionLoadPly)->Apply(shapes);
BENCHMARK(BM_MillionStartupValues)->Apply(shapesOnThreads);
BENCHMARK(BM_MillionRun)->Apply(depths);
BENCHMARK(BM_MillionWriteObj)->Apply(shapesOnThreads);
BENCHMARK(BM_MillionPeakMemory)
    ->ArgNames({"shape"})
    ->Arg(kPolygonSurface)
    ->Arg(kTriangleScan)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// The child's side of peakKilobytesAdded: file [threshold].
int measureInThisProcess(int argc, char** argv) {
    const long long start = statusKilobytes("VmRSS");
    long long held = 0;
    {
        Mesh mesh = loadAnyMesh(argv[2], numtext::LocaleNumbers('.'));
        if (argc > 3) {
            removePointsBelow(mesh, std::stod(argv[3]), [](long long) {});
        }
        held = statusKilobytes("VmRSS") - start;
    }
    std::printf("%lld %lld\n", statusKilobytes("VmHWM") - start, held);
    return 0;
}

}  // namespace meshthin::bench

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--measure-peak") {
        return meshthin::bench::measureInThisProcess(argc, argv);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
