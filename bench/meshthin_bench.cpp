// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of every step of the job at 1,000 to 32,767 points, on a closed noisy sphere and an
// open bumpy grid: loading, the start-up passes, reduction runs removing about 10%, 50% and 90%
// of the points, writing (with the real window's event processing), filling the real window's
// lists and one statistics refresh as the slider does it. Run with `make bench`.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "bench/bench_measures.h"
#include "bench/bench_meshes.h"
#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/mesh_file.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/startup.h"
#include "meshio/stopping.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "tests/support/quiet_window.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/lists.h"

namespace meshthin {
namespace {

using bench::kGrid;
using bench::kNumbers;
using bench::kSphere;
using bench::meshOf;
using bench::thresholdFor;

Mesh loaded(const benchmark::State& state) {
    return bench::loadText(
        meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

Mesh analyzed(const benchmark::State& state) {
    return bench::loadAndAnalyzeText(
        meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

void describe(benchmark::State& state, const Mesh& mesh) {
    state.counters["points"] = static_cast<double>(mesh.lastLoadedPoint() + 1);
    state.counters["faces"] = static_cast<double>(mesh.Faces.upperBound() + 1);
}

// The loops keep the mesh of the iteration before until the next one is read, as the window
// keeps the mesh on screen while it opens another.
void BM_Load(benchmark::State& state) {
    Mesh mesh;
    for (auto _ : state) {
        mesh = loaded(state);
    }
    describe(state, mesh);
}

void BM_LoadAndStartupPasses(benchmark::State& state) {
    Mesh mesh;
    for (auto _ : state) {
        mesh = analyzed(state);
    }
    describe(state, mesh);
}

void BM_Reduction(benchmark::State& state) {
    const double share = static_cast<double>(state.range(2)) / 100.0;
    long long removed = 0;
    Mesh mesh;
    for (auto _ : state) {
        state.PauseTiming();
        mesh = analyzed(state);
        const double threshold = thresholdFor(mesh, share);
        state.ResumeTiming();
        removePointsBelow(mesh, threshold, [](long long) {});
        state.PauseTiming();
        removed = bench::removedCount(mesh);
        state.ResumeTiming();
    }
    describe(state, mesh);
    state.counters["removed"] = static_cast<double>(removed);
    state.counters["per_removed"] = benchmark::Counter(
        static_cast<double>(removed),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A window whose only work is the real event processing; the dialogs answer the target.
class WritingWindow : public testing::QuietWindow {
public:
    explicit WritingWindow(const std::string& target) : QuietWindow(target, target) {}
    void processEvents() override { QCoreApplication::processEvents(); }
};

void BM_Write(benchmark::State& state) {
    const auto target = std::filesystem::temp_directory_path() / "meshthin-bench-write.mesh";
    WritingWindow window(target.string());
    Mesh mesh;
    for (auto _ : state) {
        state.PauseTiming();
        mesh = analyzed(state);
        removePointsBelow(mesh, thresholdFor(mesh, 0.5), [](long long) {});
        state.ResumeTiming();
        WindowCheckpoints checkpoints(window, mesh);
        WriteMesh(window, mesh, [&] { checkpoints(); });
    }
    if (!window.lastMessage.empty()) {
        state.SkipWithError(window.lastMessage.c_str());
    }
    describe(state, mesh);
    std::filesystem::remove(target);
}

// The real window, loaded through its own load step with the dialogs answered by script.
class ScriptedDialogs : public Dialogs {
public:
    explicit ScriptedDialogs(QString file) : file(std::move(file)) {}
    void message(QWidget*, const QString&) override {}
    QString openFileName(QWidget*, const QString&) override { return file; }
    std::optional<QString> saveFileName(QWidget*, const QString&) override { return file; }

private:
    QString file;
};

std::unique_ptr<Form1> loadedForm(const benchmark::State& state) {
    if (state.range(1) > 32767) {
        // Past the brace format's limit the window is not loaded: its lists are filled all the
        // same.
        return std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(QString()));
    }
    const auto file = std::filesystem::temp_directory_path() / "meshthin-bench-form.mesh";
    std::ofstream(file, std::ios::binary)
        << meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    auto form = std::make_unique<Form1>(
        std::make_unique<ScriptedDialogs>(QString::fromStdString(file.string())));
    form->load();
    std::filesystem::remove(file);
    return form;
}

// The mesh of the benchmark's arguments, shared as the window shares it; past 32,767 points made
// as a mesh from an OBJ file is.
std::shared_ptr<const Mesh> shared(const benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    const int points = static_cast<int>(state.range(1));
    return std::make_shared<const Mesh>(points > 32767 ? bench::wideMeshOf(shape, points)
                                                       : analyzed(state));
}

// The window's lists and statistics, filled from the same mesh as the one on screen: the value
// list's order and the sorted values made, and the lines handed to the views, which write only
// those they show. From 100,000 points on the window makes the order and the sorted values on a
// thread of its own, live meanwhile; BM_ShowLists is the share left to its thread.
void BM_FillLists(benchmark::State& state) {
    const std::shared_ptr<const Mesh> mesh = shared(state);
    auto form = loadedForm(state);
    for (auto _ : state) {
        FillLists(form->window(), *makeMeshLists(mesh, '.'));
    }
    describe(state, *mesh);
}

// The window's thread's share of a mesh change: the lines handed to the views (a pass over the
// points for the removed ones), Text1 and the statistics.
void BM_ShowLists(benchmark::State& state) {
    const std::shared_ptr<const Mesh> mesh = shared(state);
    auto form = loadedForm(state);
    const std::shared_ptr<const MeshLists> lists = makeMeshLists(mesh, '.');
    for (auto _ : state) {
        FillLists(form->window(), *lists);
    }
    describe(state, *mesh);
    state.SetLabel("goal <= 100 ms");
}

// One statistics refresh as the slider makes it while dragged: a binary search in the values
// sorted once per mesh.
void BM_RefreshStatistics(benchmark::State& state) {
    const std::shared_ptr<const Mesh> mesh = shared(state);
    auto form = loadedForm(state);
    const std::shared_ptr<const MeshLists> lists = makeMeshLists(mesh, '.');
    form->window().setText1("0.25");
    for (auto _ : state) {
        RefreshStatistics(form->window(), *lists);
    }
    describe(state, *mesh);
    state.SetLabel("goal <= 16 ms");
}

// The longest the window's thread goes without a round of events: a timer asks for one every
// 5 ms, and each round notes the time since the one before.
class StallWatch {
public:
    StallWatch() {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        longest = 0;
        clock.start();
        timer.start();
    }
    // The longest stall since start, in milliseconds.
    double stop() {
        QCoreApplication::processEvents();
        tick();
        timer.stop();
        return static_cast<double>(longest);
    }

private:
    void tick() { longest = std::max(longest, clock.restart()); }

    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
};

// The shown window at a million points, from an OBJ file: opening it, dragging the slider, a
// run that removes a few points and writes the OBJ again, and undo. Each step's longest stall
// of the window's thread, against the 100 ms after which a user sees a window freeze; the run
// itself (its walk and its write keep the window live on their own) is timed as a whole too.
void BM_WindowStallsAtAMillionPoints(benchmark::State& state) {
    const auto file = std::filesystem::temp_directory_path() / "meshthin-bench-million.obj";
    {
        Mesh mesh = bench::wideMeshOf(bench::kSelfSimilarGrid, 1000000);
        std::string obj;
        formats::writeMesh(obj, formats::polygonsOf(mesh), formats::MeshFormat::Obj);
        std::ofstream(file, std::ios::binary) << obj;
    }
    const QString path = QString::fromStdString(file.string());
    std::map<std::string, double> stalls;
    double openMs = 0;
    double runMs = 0;
    for (auto _ : state) {
        Form1 form(std::make_unique<ScriptedDialogs>(path));
        form.show();
        StallWatch watch;
        QElapsedTimer whole;
        watch.start();
        whole.start();
        form.openFile(path);
        openMs = static_cast<double>(whole.elapsed());
        stalls["open"] = watch.stop();

        auto* slider = form.findChild<QScrollBar*>(QStringLiteral("HScroll1"));
        watch.start();
        slider->setSliderDown(true);
        for (int position = 0; position <= kSliderMaximum; position += kSliderMaximum / 20) {
            slider->setSliderPosition(position);
            QCoreApplication::processEvents();
        }
        slider->setSliderDown(false);
        stalls["slider"] = watch.stop();

        form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("0.001"));
        watch.start();
        whole.start();
        form.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        runMs = static_cast<double>(whole.elapsed());
        stalls["run"] = watch.stop();

        watch.start();
        form.findChild<QAction*>(QStringLiteral("editUndo"))->trigger();
        stalls["undo"] = watch.stop();
    }
    std::filesystem::remove(file);
    for (const auto& [step, ms] : stalls) {
        state.counters[step + "_stall_ms"] = ms;
    }
    state.counters["open_ms"] = openMs;
    state.counters["run_ms"] = runMs;
    state.SetLabel("goal: every stall <= 100 ms");
}

// A cone: an apex over a ring of n points, n triangles and the n-gon base. Removing the apex
// connects every ring point to every other (n * n entries, inherent in the rewiring) and rebuilds
// one n-point face; writing then walks it. Time should grow with n * n, not faster.
std::string cone(int n) {
    std::string text = "cone\npoints {\n(0 0 5)\n";
    for (int i = 0; i < n; ++i) {
        text += "(" + std::to_string(i % 97) + " " + std::to_string(i / 97) + " 0)\n";
    }
    text += "}\nfaces {\n";
    std::string base = std::to_string(n) + " (";
    for (int i = 1; i <= n; ++i) {
        text += "3 ( (0) (" + std::to_string(i) + ") (" + std::to_string(i % n + 1) + ") )\n";
        base += " (" + std::to_string(i) + ")";
    }
    return text + base + " )\n}\n";
}

void BM_RemoveConeApexAndWrite(benchmark::State& state) {
    const std::string text = cone(static_cast<int>(state.range(0)));
    Mesh mesh;
    for (auto _ : state) {
        state.PauseTiming();
        mesh = Mesh();
        std::istringstream in(text);
        runStartupPasses(mesh, readMesh(mesh, in, kNumbers));
        state.ResumeTiming();
        mesh.Points(0).remove(mesh);
        std::ostringstream out;
        writeMeshText(
            mesh, out, kNumbers, [] {}, [](const std::string&) {});
    }
}

// Peak resident memory of the whole program: the real window loads the mesh, and a click on
// "Attempt Reduction" at a threshold that removes about half of the points reduces and writes it.
// Meaningful only in a process of its own: `make bench` runs it separately.
long long peakResidentKilobytes() {
    return bench::statusKilobytes("VmHWM");
}

void BM_WholeProgramPeakMemory(benchmark::State& state) {
    // The threshold is worked out on a mesh of the benchmark's own, gone before the window
    // loads its mesh, which the peak then includes.
    long long points = 0;
    long long faces = 0;
    const double threshold = [&] {
        const Mesh mesh = analyzed(state);
        points = mesh.lastLoadedPoint() + 1;
        faces = mesh.Faces.upperBound() + 1;
        return thresholdFor(mesh, 0.5);
    }();
    for (auto _ : state) {
        auto form = loadedForm(state);
        form->window().setText1(numtext::generalForm(threshold, '.'));
        form->findChild<QPushButton*>()->click();
    }
    std::filesystem::remove(std::filesystem::temp_directory_path() / "meshthin-bench-form.mesh");
    state.counters["points"] = static_cast<double>(points);
    state.counters["faces"] = static_cast<double>(faces);
    state.counters["peak_MB"] = static_cast<double>(peakResidentKilobytes()) / 1024.0;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int shape : {kSphere, kGrid}) {
        for (int points : {1000, 4000, 16000, 32767}) {
            b->Args({shape, points});
        }
    }
    b->ArgNames({"shape", "points"})->Unit(benchmark::kMillisecond);
}

// The sizes, and a mesh of a million points past the brace format.
void listSizes(benchmark::internal::Benchmark* b) {
    sizes(b);
    b->Args({bench::kSelfSimilarGrid, 1000000});
}

void reductionSizes(benchmark::internal::Benchmark* b) {
    for (int shape : {kSphere, kGrid}) {
        for (int points : {1000, 4000, 16000, 32767}) {
            for (int share : {10, 50, 90}) {
                b->Args({shape, points, share});
            }
        }
    }
    b->ArgNames({"shape", "points", "share"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Load)->Apply(sizes);
BENCHMARK(BM_LoadAndStartupPasses)->Apply(sizes);
BENCHMARK(BM_Reduction)->Apply(reductionSizes);
BENCHMARK(BM_Write)->Apply(sizes);
BENCHMARK(BM_FillLists)->Apply(listSizes);
BENCHMARK(BM_ShowLists)->Apply(listSizes);
BENCHMARK(BM_RefreshStatistics)->Apply(listSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RemoveConeApexAndWrite)
    ->ArgName("ring")
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowStallsAtAMillionPoints)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeProgramPeakMemory)
    ->Args({kGrid, 32767})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace meshthin

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
