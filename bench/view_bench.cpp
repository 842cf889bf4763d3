// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view at 32,767 points (the sphere of 32,514 points and 65,024 faces, the grid of
// 32,767 points and 64,800 faces): a frame drawn and read back, the trial run on a copy of the
// mesh in this thread and on a thread of its own, the window's work for new marks, the geometry
// built from the mesh, and the memory the view adds. The drawing needs a display with
// OpenGL: `make bench` runs this program under Xvfb, where Mesa's llvmpipe draws; without one,
// the drawing benchmarks stop with an error that says so.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>

#include "bench/bench_measures.h"
#include "bench/bench_meshes.h"
#include "meshio/dry_run.h"
#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/obj.h"
#include "meshio/run/trial_run.h"
#include "model/mesh.h"
#include "tools/mesh_generators.h"
#include "ui/mesh_geometry.h"
#include "ui/mesh_view_window.h"

namespace meshthin {
namespace {

using bench::kGrid;
using bench::kSphere;
using bench::meshOf;
using bench::statusKilobytes;

const std::string& meshFor(const benchmark::State& state) {
    return meshOf(static_cast<int>(state.range(0)), 32767);
}

// The mesh of the text, as the view is handed it.
std::shared_ptr<const Mesh> sharedMesh(const std::string& text) {
    return std::make_shared<const Mesh>(bench::loadAndAnalyzeText(text));
}

void describe(benchmark::State& state, const Mesh& mesh) {
    state.counters["points"] = static_cast<double>(mesh.lastLoadedPoint() + 1);
    state.counters["faces"] = static_cast<double>(mesh.Faces.upperBound() + 1);
}

// The threshold at which a run removes about half of the points (within one percent),
// bisected with the trial run itself.
double thresholdRemovingHalf(const std::string& text) {
    static std::map<const std::string*, double> found;
    if (auto known = found.find(&text); known != found.end()) {
        return known->second;
    }
    const Mesh mesh = bench::loadAndAnalyzeText(text);
    const long long points = mesh.lastLoadedPoint() + 1;
    double low = 0;
    double high = bench::thresholdFor(mesh, 1.0);
    double threshold = high;
    for (int step = 0; step < 60; ++step) {
        threshold = (low + high) / 2;
        const long long removed = static_cast<long long>(pointsARunRemoves(mesh, threshold).size());
        if (std::abs(2 * removed - points) <= points / 100) {
            break;
        }
        (2 * removed < points ? low : high) = threshold;
    }
    return found[&text] = threshold;
}

// The view open on mesh, shown and drawn once; null without OpenGL.
std::unique_ptr<MeshViewWindow> openView(benchmark::State& state,
                                         const std::shared_ptr<const Mesh>& mesh) {
    auto view = std::make_unique<MeshViewWindow>();
    if (view->glView() == nullptr) {
        state.SkipWithError("no display with OpenGL: run under Xvfb (make bench does)");
        return nullptr;
    }
    view->resize(720, 640);
    view->meshChanged(mesh, QStringLiteral("bench.mesh"), true);
    view->show();
    (void)QTest::qWaitForWindowExposed(view.get());
    view->glView()->grabFramebuffer();
    return view;
}

void BM_ViewTrialRunOnACopy(benchmark::State& state) {
    const std::string& text = meshFor(state);
    const double threshold = thresholdRemovingHalf(text);
    const Mesh mesh = bench::loadAndAnalyzeText(text);
    size_t removed = 0;
    for (auto _ : state) {
        removed = pointsARunRemoves(mesh, threshold).size();
    }
    describe(state, mesh);
    state.counters["removed"] = static_cast<double>(removed);
}

// As the view makes it: started from the window's thread, the copy and the walk on the trial's.
void BM_ViewTrialRunOnAThread(benchmark::State& state) {
    const std::string& text = meshFor(state);
    const double threshold = thresholdRemovingHalf(text);
    const auto mesh = sharedMesh(text);
    TrialRun trials;
    size_t removed = 0;
    for (auto _ : state) {
        trials.start(mesh, threshold);
        const TrialRun::Outcome outcome = trials.wait();
        if (!outcome.removed) {
            state.SkipWithError("the trial run failed");
            break;
        }
        removed = outcome.removed->size();
    }
    describe(state, *mesh);
    state.counters["removed"] = static_cast<double>(removed);
}

void BM_ViewBuildGeometry(benchmark::State& state) {
    const Mesh mesh = bench::loadAndAnalyzeText(meshFor(state));
    for (auto _ : state) {
        benchmark::DoNotOptimize(buildGeometry(mesh));
    }
    describe(state, mesh);
}

// The window's side of a threshold move: the points below counted, every mark made again and
// handed to the view as its per-point attribute (the upload is in the next frame).
void BM_ViewNewMarks(benchmark::State& state) {
    const std::string& text = meshFor(state);
    const double threshold = thresholdRemovingHalf(text);
    const auto mesh = sharedMesh(text);
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    bool flip = false;
    for (auto _ : state) {
        view->thresholdChanged(flip ? threshold : threshold * 0.9);
        flip = !flip;
    }
    describe(state, *mesh);
}

// One frame as a user sees it after an orbit step: drawn by Mesa's llvmpipe, put into the
// window and shown (the widget's frameSwapped), with nothing read back.
void BM_ViewFrame(benchmark::State& state) {
    const auto mesh =
        sharedMesh(meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(2))));
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    view->thresholdChanged(bench::thresholdFor(*mesh, 0.5));
    view->glView()->setWireframe(state.range(1) != 0);
    QSignalSpy swapped(view->glView(), &QOpenGLWidget::frameSwapped);
    swapped.wait(1000);
    for (auto _ : state) {
        QTest::keyClick(view->glView(), Qt::Key_Left);  // an orbit step: a new picture
        if (!swapped.wait(5000)) {
            state.SkipWithError("no frame was shown within 5 seconds");
            break;
        }
    }
    describe(state, *mesh);
    state.counters["wireframe"] = static_cast<double>(state.range(1));
}

// The same frame read back into an image, as Save Picture and the tests take it.
void BM_ViewFrameReadBack(benchmark::State& state) {
    const auto mesh = sharedMesh(meshFor(state));
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    view->thresholdChanged(bench::thresholdFor(*mesh, 0.5));
    for (auto _ : state) {
        benchmark::DoNotOptimize(view->glView()->grabFramebuffer());
    }
    describe(state, *mesh);
}

// After a run: the geometry built again and uploaded, and the first frame drawn.
void BM_ViewMeshChangedAndFirstFrame(benchmark::State& state) {
    const auto mesh = sharedMesh(meshFor(state));
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    for (auto _ : state) {
        view->meshChanged(mesh, QStringLiteral("bench.mesh"), false);
        benchmark::DoNotOptimize(view->glView()->grabFramebuffer());
    }
    describe(state, *mesh);
}

// The resident memory that opening the view adds. The first view opened in a process also loads
// the OpenGL driver (Mesa, LLVM, llvmpipe's threads), a cost of the driver whatever the mesh;
// the views after it show what the mesh's arrays and buffers add.
void BM_ViewAddedMemory(benchmark::State& state) {
    const auto mesh =
        sharedMesh(meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    long long added = 0;
    long long addedOwn = 0;
    for (auto _ : state) {
        const long long before = statusKilobytes("VmRSS");
        const long long ownBefore = statusKilobytes("RssAnon");
        auto view = openView(state, mesh);
        if (!view) {
            return;
        }
        view->thresholdChanged(bench::thresholdFor(*mesh, 0.5));
        view->glView()->grabFramebuffer();
        added = statusKilobytes("VmRSS") - before;
        addedOwn = statusKilobytes("RssAnon") - ownBefore;
    }
    describe(state, *mesh);
    state.counters["added_MB"] = static_cast<double>(added) / 1024.0;
    state.counters["added_own_MB"] = static_cast<double>(addedOwn) / 1024.0;
}

// --- at a million points ---
// The self-similar sphere of 1,000,000 points (999,601: 706 rings of 1,414 points, 1,996,000
// triangles), made once, read as an OBJ file is and handed to the view as the window hands it.
const std::shared_ptr<const Mesh>& millionMesh() {
    static const std::shared_ptr<const Mesh> mesh = [] {
        const std::string obj = generate::selfSimilarSphereObj(1000000, 7);
        return std::make_shared<const Mesh>(
            formats::meshFromPolygons(formats::readObj(obj, "million.obj")));
    }();
    return mesh;
}

double milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The window's events handled until done() holds; returns the longest the event loop was kept
// from its events by one step of handling them (what a user sees as a freeze).
template <typename Done>
double pumpUntil(Done done, int timeoutMs = 60000) {
    QElapsedTimer waited;
    waited.start();
    double longest = 0;
    while (!done() && waited.elapsed() < timeoutMs) {
        const auto before = std::chrono::steady_clock::now();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, milliseconds(std::chrono::steady_clock::now() - before));
    }
    return longest;
}

void BM_MillionBuildGeometry(benchmark::State& state) {
    const auto& mesh = millionMesh();
    MeshGeometry geometry;
    for (auto _ : state) {
        geometry = buildGeometry(*mesh);
    }
    describe(state, *mesh);
    for (size_t k = 0; k < geometry.coarser.size(); ++k) {
        state.counters["coarser" + std::to_string(k) + "_triangles"] =
            static_cast<double>(geometry.coarser[k].triangles.size() / 3);
    }
    state.SetLabel("done off the window's thread: the window waits for none of it");
}

// A new mesh handed to the open view, as after a run: how long the call keeps the window's
// thread (goal <= 100 ms), and how long until the new picture is on screen.
void BM_MillionMeshChanged(benchmark::State& state) {
    const auto& mesh = millionMesh();
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    // As after a run: the view has long shown the mesh it opened with, every part of it taken.
    const auto settled = [&] {
        QSignalSpy swapped(view->glView(), &QOpenGLWidget::frameSwapped);
        const double longest = pumpUntil([&] {
            return view->geometryReady() && !view->glView()->uploading() && !swapped.isEmpty();
        });
        return std::max(longest, pumpUntil([&] { return swapped.size() > 1; }, 2000));
    };
    settled();
    double call = 0;
    double longest = 0;
    double shown = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        view->meshChanged(mesh, QStringLiteral("million.obj"), false);
        call = std::max(call, milliseconds(std::chrono::steady_clock::now() - start));
        longest = std::max(longest, pumpUntil([&] { return view->geometryReady(); }));
        // The frames that upload the new geometry and draw it are part of the wait too: the
        // first, drawn with the coarsest surface, is when the new mesh is shown.
        QSignalSpy swapped(view->glView(), &QOpenGLWidget::frameSwapped);
        longest = std::max(longest, pumpUntil([&] { return !swapped.isEmpty(); }, 10000));
        shown = milliseconds(std::chrono::steady_clock::now() - start);
        // The frames that take the rest of it, a part each, and the one that draws it whole.
        longest = std::max(longest, settled());
    }
    describe(state, *mesh);
    state.counters["call_ms"] = call;
    state.counters["longest_block_ms"] = std::max(call, longest);
    state.counters["until_shown_ms"] = shown;
    state.SetLabel("goal: call and longest block <= 100 ms");
}

// Frames while orbiting at a million points, the threshold below half of them: key presses
// as fast as the frames come, each waiting for its frame to be shown. Goal >= 10 a second.
void BM_MillionOrbitFrames(benchmark::State& state) {
    const auto& mesh = millionMesh();
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    pumpUntil([&] { return view->geometryReady(); });
    view->thresholdChanged(bench::thresholdFor(*mesh, 0.5));
    view->glView()->setWireframe(state.range(0) != 0);
    QSignalSpy swapped(view->glView(), &QOpenGLWidget::frameSwapped);
    swapped.wait(5000);
    // The first frames upload the buffers, a part each while the camera keeps still.
    pumpUntil([] { return false; }, 1000);
    for (auto _ : state) {
        QTest::keyClick(view->glView(), Qt::Key_Left);
        if (!swapped.wait(5000)) {
            state.SkipWithError("no frame was shown within 5 seconds");
            break;
        }
    }
    describe(state, *mesh);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["wireframe"] = static_cast<double>(state.range(0));
    state.SetLabel("goal >= 10 frames a second");
}

// A frame once the camera has kept still (the finer surface), from the request until shown:
// what the window's thread is kept from its events when orbiting stops. Goal <= 100 ms.
void BM_MillionStillFrame(benchmark::State& state) {
    const auto& mesh = millionMesh();
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    pumpUntil([&] { return view->geometryReady(); });
    view->thresholdChanged(bench::thresholdFor(*mesh, 0.5));
    view->glView()->setWireframe(state.range(0) != 0);
    // Zoomed in, each point's cube spans several pixels and the whole surface is drawn.
    for (int step = 0; step < state.range(1); ++step) {
        QTest::keyClick(view->glView(), Qt::Key_Plus);
    }
    QSignalSpy swapped(view->glView(), &QOpenGLWidget::frameSwapped);
    swapped.wait(5000);
    pumpUntil([] { return false; }, 1000);  // the settled frame, and every part uploaded
    swapped.clear();
    for (auto _ : state) {
        view->glView()->update();
        if (!swapped.wait(5000)) {
            state.SkipWithError("no frame was shown within 5 seconds");
            break;
        }
    }
    describe(state, *mesh);
    state.SetLabel("goal <= 100 ms");
}

// A click's pick at a million points: the nearest seen point under the cursor, at pixels
// spread over the fitted sphere and off it. Goal < 10 ms each.
void BM_MillionPick(benchmark::State& state) {
    const auto& mesh = millionMesh();
    const MeshGeometry geometry = buildGeometry(*mesh);
    MeshViewCamera camera;
    camera.fit(geometry.centre, geometry.radius);
    camera.orbit(30, -20);
    constexpr int kWidth = 720;
    constexpr int kHeight = 560;
    int at = 0;
    int found = 0;
    for (auto _ : state) {
        const float x = static_cast<float>(37 * at % kWidth);
        const float y = static_cast<float>(53 * at % kHeight);
        found += pickPoint(geometry, camera, x, y, kWidth, kHeight, 12) >= 0 ? 1 : 0;
        ++at;
    }
    describe(state, *mesh);
    state.counters["picked_share"] = static_cast<double>(found) / static_cast<double>(at);
    state.SetLabel("goal < 10 ms a pick");
}

// The trial run at a million points: its own time on a thread (the copy and the walk), then in
// the open view, from the threshold's change until its marks are applied, with the longest the
// window's event loop was kept from its events meanwhile. Goals: latency <= 2 x the run's own
// time, no block above 100 ms.
void BM_MillionTrialRun(benchmark::State& state) {
    const auto& mesh = millionMesh();
    const double low = bench::thresholdFor(*mesh, 0.3);
    const double high = bench::thresholdFor(*mesh, 0.5);
    double own = 0;
    {
        TrialRun trials;
        const auto start = std::chrono::steady_clock::now();
        trials.start(mesh, high);
        if (!trials.wait().removed) {
            state.SkipWithError("the trial run failed");
            return;
        }
        own = milliseconds(std::chrono::steady_clock::now() - start);
    }
    auto view = openView(state, mesh);
    if (!view) {
        return;
    }
    pumpUntil([&] { return view->geometryReady(); });
    view->thresholdChanged(low);
    pumpUntil([&] { return !view->dryRunPending(); });
    double latency = 0;
    double longest = 0;
    bool flip = false;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        // A move superseded at once: its trial is stopped, the newer one shown.
        view->thresholdChanged(flip ? low * 1.01 : high * 1.01);
        pumpUntil([] { return false; }, 100);
        view->thresholdChanged(flip ? low : high);
        const auto moved = std::chrono::steady_clock::now();
        longest = std::max(longest, pumpUntil([&] { return !view->dryRunPending(); }));
        latency = std::max(latency, milliseconds(std::chrono::steady_clock::now() - moved));
        (void)start;
        flip = !flip;
    }
    describe(state, *mesh);
    state.counters["own_run_ms"] = own;
    state.counters["latency_ms"] = latency;
    state.counters["latency_per_own"] = latency / own;
    state.counters["longest_block_ms"] = longest;
    state.SetLabel("goal: latency_per_own <= 2, longest_block_ms <= 100");
}

void shapes(benchmark::internal::Benchmark* b) {
    b->ArgName("shape")->Arg(kSphere)->Arg(kGrid)->Unit(benchmark::kMillisecond);
}

// The memory figures come first: the first is measured in a process that has not drawn yet.
BENCHMARK(BM_ViewAddedMemory)
    ->ArgNames({"shape", "points"})
    ->Args({kGrid, 1000})
    ->Args({kGrid, 32767})
    ->Args({kSphere, 32767})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewTrialRunOnACopy)->Apply(shapes);
BENCHMARK(BM_ViewTrialRunOnAThread)->Apply(shapes);
BENCHMARK(BM_ViewBuildGeometry)->Apply(shapes);
BENCHMARK(BM_ViewNewMarks)->Apply(shapes);
// The 1,000-point grid shows what a frame costs whatever the mesh: the window's composition.
BENCHMARK(BM_ViewFrame)
    ->ArgNames({"shape", "wireframe", "points"})
    ->Args({kSphere, 0, 32767})
    ->Args({kGrid, 0, 32767})
    ->Args({kGrid, 1, 32767})
    ->Args({kGrid, 0, 1000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewFrameReadBack)->Apply(shapes);
BENCHMARK(BM_ViewMeshChangedAndFirstFrame)->Apply(shapes);
BENCHMARK(BM_MillionBuildGeometry)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionMeshChanged)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionOrbitFrames)
    ->ArgName("wireframe")
    ->Arg(0)
    ->Arg(1)
    ->MinTime(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionStillFrame)
    ->ArgNames({"wireframe", "zoom"})
    ->ArgsProduct({{0, 1}, {0, 12, 24}})
    ->MinTime(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionPick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionTrialRun)->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace meshthin

int main(int argc, char** argv) {
    // Drawing needs the X platform; without a display the program runs offscreen and the
    // drawing benchmarks say why they stopped.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
