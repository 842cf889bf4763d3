// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view: a top-level window of its own ("Mesh view - FILE") that shows the mesh on
// screen in 3D, coloured by value through viridis, with marks on exactly the points a run at
// the threshold being looked at would remove (red) and, fainter, the points below it now that
// the run would keep; under it the legend, a histogram of the values, and a line of counts
// ("1,214 below 0.9 now; a run removes 466").
//
// The window paints from arrays of its own: meshChanged copies what it draws into them
// (MeshGeometry), and the marks come from a trial run on a thread of its own (meshio/run/
// trial_run.h) over the document's mesh, which nobody changes. A threshold change shows the
// points below it at once, and the trial run starts 60 ms after the last change; a newer
// threshold or mesh stops the trial still going, and its result is never shown.
//
// How the main window drives it (all calls on the window's thread):
//   meshChanged(mesh, file, fit)  after every change of the document's mesh (load, run, undo,
//                             redo, open) or file, never during one; fit for a new mesh.
//   thresholdChanged(t)       whenever the threshold being looked at changes (slider, Text1);
//                             nullopt while Text1 holds no number.
//   selectedPointChanged(p)   when List1's selection changes; -1 for none.
//   setBusy(true/false)       around a run or a write: meanwhile no dry run starts, and the
//                             one in progress is stopped.
// and listens to
//   pointPicked(p)            a click on point p in the view: select it in List1.
//   thresholdPicked(t)        a click on the histogram, or the threshold found for the keep
//                             field's target: put t into Text1 as the slider does.
//   closed()                  the user closed the view (uncheck View > Mesh View).
// A mesh of 100,000 points or more has its geometry built on a thread of its own (a second at a
// million points); meanwhile the view goes on showing the mesh before, and the new one comes
// with its counts and marks once built. A newer mesh stops a build still going.
// A hidden view starts no dry run; showing it finds the marks for the threshold of the moment.
// Where no OpenGL context can be made (Qt's offscreen platform, a display without OpenGL), the
// window says so in place of the picture and keeps its histogram and counts.
#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "meshio/run/trial_run.h"
#include "model/mesh.h"
#include "ui/mesh_geometry.h"
#include "ui/mesh_gl_view.h"
#include "ui/value_histogram.h"
#include "ui/value_legend.h"

class QLabel;
class QTimer;

namespace meshthin {

class KeepField;

class MeshViewWindow : public QWidget {
    Q_OBJECT

public:
    explicit MeshViewWindow(QWidget* parent = nullptr);
    ~MeshViewWindow() override;

    // The document's mesh or its file changed: the geometry is built again from the mesh, the
    // marks are found again; fit puts the whole mesh in view.
    void meshChanged(std::shared_ptr<const Mesh> mesh, const QString& fileName, bool fit);
    // The threshold being looked at; nullopt when Text1 holds no number.
    void thresholdChanged(std::optional<double> threshold);
    // The point selected in List1; -1 for none.
    void selectedPointChanged(int point);
    // A run or write is in progress (true) or has ended (false).
    void setBusy(bool busy);

    // --- for tests and tools ---
    // The 3D picture; null where no OpenGL context can be made.
    MeshGLView* glView() const { return picture; }
    // Whether a dry run is waiting to start (for the geometry too) or running.
    bool dryRunPending() const;
    // Whether the picture, histogram and counts are those of the latest mesh: false while its
    // geometry is being built.
    bool geometryReady() const { return !geometryPending; }
    // The dry run's count for the threshold shown, once it has ended.
    std::optional<long long> removesCount() const { return removes; }
    QString countsText() const;
    // Saves the picture as a PNG at path; false (and nothing left there) when it fails.
    bool savePicture(const QString& path);
    // Asks where to save the picture; the save dialog unless a test replaces it.
    std::function<QString()> askPictureFile;

signals:
    void pointPicked(int point);
    void thresholdPicked(double threshold);
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createActions();
    void geometryBuilt(uint64_t build, std::shared_ptr<const MeshGeometry> built);
    void stopGeometryBuild();
    void showBelowNow();
    void scheduleDryRun();
    void startDryRun();
    void dryRunEnded(const TrialRun::Outcome& outcome);
    void stopDryRun();
    void applyRemoved(const std::vector<int32_t>& removed);
    void showCounts();
    void savePictureAsked();

    std::shared_ptr<const Mesh> mesh;
    std::shared_ptr<const MeshGeometry> geometry;
    std::optional<double> threshold;
    std::optional<long long> removes;
    long long below = 0;
    bool busy = false;
    bool dryRunFailed = false;
    QString dryRunFailure;  // why, in the walk's words

    MeshGLView* picture = nullptr;
    QLabel* noPicture = nullptr;
    ValueLegend* legend = nullptr;
    ValueHistogram* histogram = nullptr;
    QLabel* counts = nullptr;
    KeepField* keep = nullptr;
    QTimer* dryRunDelay = nullptr;
    TrialRun dryRun;
    // The trial whose outcome is to be shown; 0 for none.
    uint64_t wantedTrial = 0;

    // The geometry being built on a thread of its own: the build wanted (others are out of
    // date), whether it is still to come, and whether it is to be fitted when it comes. The
    // builder reads the shared immutable mesh and hands the geometry, immutable from then on, to
    // the window's thread; only the window's thread touches these members.
    struct Builder {
        std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
        std::jthread thread;
    };
    uint64_t wantedGeometry = 0;
    bool geometryPending = false;
    bool fitWhenBuilt = false;
    Builder builder;
    std::vector<Builder> stoppedBuilders;  // asked to stop, perhaps still ending
};

}  // namespace meshthin
