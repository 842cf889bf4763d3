// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mesh_view_window.h"

#include <QAction>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/form1.h"
#include "ui/keep_field.h"

namespace meshthin {

namespace {

constexpr int kDryRunDelayMs = 60;  // after the last change; the promise is at most 100 ms
// From this many points the geometry takes over 30 ms to build: it is built aside.
constexpr long long kBuildAsideFrom = 100000;

}  // namespace

MeshViewWindow::MeshViewWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Mesh view"));
    resize(720, 640);
    createControls();
    createActions();
    askPictureFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture"),
                                            QStringLiteral("mesh-view.png"),
                                            QStringLiteral("PNG images (*.png)"));
    };
    showCounts();
}

MeshViewWindow::~MeshViewWindow() {
    // The builders stop at their next check and join here, before anything they post to could go.
    stopGeometryBuild();
    stoppedBuilders.clear();
}

void MeshViewWindow::createControls() {
    auto* layout = new QVBoxLayout(this);
    if (openGLAvailable()) {
        picture = new MeshGLView(this);
        layout->addWidget(picture, 1);
        connect(picture, &MeshGLView::pointPicked, this, &MeshViewWindow::pointPicked);
        connect(picture, &MeshGLView::stateChanged, this, &MeshViewWindow::showCounts);
    } else {
        noPicture = new QLabel(
            QStringLiteral("The mesh cannot be drawn here: no OpenGL context can be made on "
                           "this display. The histogram and the counts below still follow the "
                           "mesh."),
            this);
        noPicture->setWordWrap(true);
        noPicture->setAlignment(Qt::AlignCenter);
        layout->addWidget(noPicture, 1);
    }
    legend = new ValueLegend(this);
    histogram = new ValueHistogram(this);
    counts = new QLabel(this);
    counts->setAccessibleName(QStringLiteral("Counts"));
    layout->addWidget(legend);
    layout->addWidget(histogram);
    layout->addWidget(counts);
    connect(histogram, &ValueHistogram::thresholdPicked, this, &MeshViewWindow::thresholdPicked);
    keep = new KeepField(this);
    layout->addWidget(keep);
    connect(keep, &KeepField::thresholdFound, this, &MeshViewWindow::thresholdPicked);

    dryRunDelay = new QTimer(this);
    dryRunDelay->setSingleShot(true);
    dryRunDelay->setInterval(kDryRunDelayMs);
    connect(dryRunDelay, &QTimer::timeout, this, &MeshViewWindow::startDryRun);
}

void MeshViewWindow::createActions() {
    auto* save = new QAction(QStringLiteral("Save Picture..."), this);
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    save->setStatusTip(QStringLiteral("Save the view as a PNG picture"));
    connect(save, &QAction::triggered, this, &MeshViewWindow::savePictureAsked);

    auto* wire = new QAction(QStringLiteral("Wireframe"), this);
    wire->setCheckable(true);
    wire->setShortcut(Qt::Key_W);
    wire->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(wire, &QAction::toggled, this, [this](bool on) {
        if (picture) {
            picture->setWireframe(on);
        }
    });

    auto* fit = new QAction(QStringLiteral("Fit Whole Mesh"), this);
    fit->setShortcut(Qt::Key_Home);
    fit->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(fit, &QAction::triggered, this, [this] {
        if (picture) {
            picture->fitWholeMesh();
        }
    });

    addActions({save, wire, fit});
    if (picture) {
        picture->addActions({save, wire, fit});
    } else {
        save->setEnabled(false);
        wire->setEnabled(false);
        fit->setEnabled(false);
    }
}

void MeshViewWindow::meshChanged(std::shared_ptr<const Mesh> newMesh, const QString& fileName,
                                 bool fit) {
    stopDryRun();
    setWindowTitle(QStringLiteral("Mesh view - ") + fileName);
    mesh = std::move(newMesh);
    keep->setMesh(mesh);
    stopGeometryBuild();
    const uint64_t build = ++wantedGeometry;
    fitWhenBuilt = fitWhenBuilt || fit;
    geometryPending = true;
    if (mesh->lastLoadedPoint() + 1 < kBuildAsideFrom) {
        geometryBuilt(build, std::make_shared<const MeshGeometry>(buildGeometry(*mesh)));
        return;
    }
    builder.thread = std::jthread([this, build, ended = builder.ended,
                                   source = mesh](std::stop_token stop) {
        auto built = std::make_shared<const MeshGeometry>(buildGeometry(*source, stop));
        if (!stop.stop_requested()) {
            QMetaObject::invokeMethod(
                this, [this, build, built] { geometryBuilt(build, built); }, Qt::QueuedConnection);
        }
        ended->store(true, std::memory_order_release);
    });
}

void MeshViewWindow::stopGeometryBuild() {
    std::erase_if(stoppedBuilders, [](const Builder& b) {
        return b.ended->load(std::memory_order_acquire);  // joins only those that have ended
    });
    if (builder.thread.joinable()) {
        builder.thread.request_stop();
        stoppedBuilders.push_back(std::move(builder));
        builder = Builder();
    }
}

void MeshViewWindow::geometryBuilt(uint64_t build, std::shared_ptr<const MeshGeometry> built) {
    if (build != wantedGeometry) {
        return;  // a newer mesh came meanwhile
    }
    geometryPending = false;
    geometry = std::move(built);
    histogram->setHistogram(
        makeHistogram(geometry->values, geometry->shown, ValueHistogram::kBins));
    if (picture) {
        picture->setGeometry(geometry, fitWhenBuilt);
    }
    fitWhenBuilt = false;
    showBelowNow();
    scheduleDryRun();
}

void MeshViewWindow::thresholdChanged(std::optional<double> newThreshold) {
    if (newThreshold == threshold) {
        return;
    }
    threshold = newThreshold;
    if (geometryPending) {
        return;  // the geometry's arrival shows it
    }
    showBelowNow();
    scheduleDryRun();
}

void MeshViewWindow::selectedPointChanged(int point) {
    if (picture) {
        picture->setSelectedPoint(point);
    }
}

void MeshViewWindow::setBusy(bool nowBusy) {
    busy = nowBusy;
    keep->setEnabled(!busy);
    if (busy) {
        stopDryRun();
    } else {
        scheduleDryRun();
    }
    showCounts();
}

void MeshViewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!removes && !dryRunPending()) {
        scheduleDryRun();
    }
}

void MeshViewWindow::closeEvent(QCloseEvent* event) {
    stopDryRun();
    QWidget::closeEvent(event);
    emit closed();
}

bool MeshViewWindow::dryRunPending() const {
    return geometryPending || dryRunDelay->isActive() || wantedTrial != 0;
}

// The points below the threshold, all marked as kept until the dry run says which go.
void MeshViewWindow::showBelowNow() {
    removes.reset();
    dryRunFailed = false;
    below = 0;
    if (geometry && threshold) {
        below = countBelow(geometry->values, geometry->shown, *threshold);
    }
    applyRemoved({});
}

void MeshViewWindow::applyRemoved(const std::vector<int32_t>& removed) {
    if (!geometry) {
        showCounts();
        return;
    }
    std::vector<uint8_t> marks(geometry->pointCount(), static_cast<uint8_t>(Mark::none));
    if (threshold) {
        for (size_t i = 0; i < marks.size(); ++i) {
            if (geometry->shown[i] != 0 && geometry->values[i] < *threshold) {
                marks[i] = static_cast<uint8_t>(Mark::keptBelow);
            }
        }
    }
    for (const int32_t p : removed) {
        if (p >= 0 && static_cast<size_t>(p) < marks.size()) {
            marks[static_cast<size_t>(p)] = static_cast<uint8_t>(Mark::removed);
        }
    }
    if (picture) {
        picture->setMarks(std::move(marks));
    }
    legend->setRange(geometry->lowValue, geometry->highValue, threshold);
    histogram->setThreshold(threshold, below);
    showCounts();
}

void MeshViewWindow::scheduleDryRun() {
    stopDryRun();
    if (!busy && !geometryPending && geometry && geometry->pointCount() > 0 && threshold) {
        dryRunDelay->start();
    }
}

void MeshViewWindow::startDryRun() {
    // A hidden view needs no marks: showing it asks for them.
    if (busy || geometryPending || !geometry || !threshold || !isVisible()) {
        return;
    }
    // The outcome comes on the trial's thread and is shown on the window's.
    wantedTrial = dryRun.start(mesh, *threshold, [this](const TrialRun::Outcome& outcome) {
        QMetaObject::invokeMethod(
            this, [this, outcome] { dryRunEnded(outcome); }, Qt::QueuedConnection);
    });
}

void MeshViewWindow::dryRunEnded(const TrialRun::Outcome& outcome) {
    if (outcome.trial != wantedTrial) {
        return;  // overtaken by a newer threshold or mesh, or stopped
    }
    wantedTrial = 0;
    if (!outcome.removed) {
        dryRunFailed = true;
        dryRunFailure = QString::fromStdString(outcome.failure);
        showCounts();
        return;
    }
    removes = static_cast<long long>(outcome.removed->size());
    applyRemoved(*outcome.removed);
}

void MeshViewWindow::stopDryRun() {
    dryRunDelay->stop();
    wantedTrial = 0;
    dryRun.cancel();
}

QString MeshViewWindow::countsText() const {
    if (!geometry || geometry->pointCount() == 0) {
        return QStringLiteral("No mesh");
    }
    if (!threshold) {
        return QStringLiteral("No threshold: Text1 holds no number");
    }
    QString text = QString::fromStdString(
        belowAndRemovedText(below, *threshold, removes, userDecimalSeparator()));
    if (busy) {
        text += QStringLiteral(" (a run is in progress)");
    } else if (dryRunFailed) {
        text += QStringLiteral(" (the trial run failed: %1)").arg(dryRunFailure);
    }
    return text;
}

void MeshViewWindow::showCounts() {
    // A wireframe left out would look like one that is off: the window says why.
    const QString leftOut = picture && picture->wireframeLeftOut()
                                ? QStringLiteral(" (too many edges in sight: zoom in to see them)")
                                : QString();
    counts->setText(leftOut.isEmpty() ? countsText()
                                      : countsText() + QStringLiteral("; wireframe") + leftOut);
    if (picture) {
        QString state =
            QStringLiteral("%1 points shown; wireframe %2")
                .arg(geometry ? geometry->shownCount : 0)
                .arg(picture->wireframe() ? QStringLiteral("on") + leftOut : QStringLiteral("off"));
        state += QStringLiteral("; ") + countsText();
        picture->setAccessibleDescription(state);
    }
}

bool MeshViewWindow::savePicture(const QString& path) {
    if (!picture) {
        return false;
    }
    const QImage image = picture->grabFramebuffer();
    QSaveFile file(path);
    return !image.isNull() && file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") &&
           file.commit();
}

void MeshViewWindow::savePictureAsked() {
    const QString path = askPictureFile();
    if (path.isEmpty()) {
        return;
    }
    if (!savePicture(path)) {
        QMessageBox::warning(this, QStringLiteral("Save Picture"),
                             QStringLiteral("The picture could not be saved to %1.").arg(path));
    }
}

}  // namespace meshthin
