// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the mesh view's picture for the README: loads a mesh (or, for --million, makes the
// self-similar sphere of a million points), opens the view on it (with the wireframe on below
// 10,000 points), puts the threshold where asked, selects the point a click a little left of and
// above the middle picks, waits for the marks and saves the whole window as a PNG. Needs a display
// with OpenGL (tools/mesh_view_screenshot.sh runs it under Xvfb).
// Usage: meshthin_view_screenshot MESH_FILE|--million THRESHOLD OUTPUT_PNG [ZOOM_STEPS]
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <memory>

#include "meshio/any_mesh.h"
#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/obj.h"
#include "meshio/numtext.h"
#include "tools/mesh_generators.h"
#include "ui/mesh_view_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: meshthin_view_screenshot MESH_FILE THRESHOLD OUTPUT_PNG\n");
        return 2;
    }
    const bool million = args[1] == QLatin1String("--million");
    const auto mesh = std::make_shared<const meshthin::Mesh>(
        million
            ? meshthin::formats::meshFromPolygons(meshthin::formats::readObj(
                  meshthin::generate::selfSimilarSphereObj(1000000, 7), "million.obj"))
            : meshthin::loadAnyMesh(args[1].toStdString(), meshthin::numtext::LocaleNumbers('.')));
    meshthin::MeshViewWindow view;
    if (view.glView() == nullptr) {
        std::fprintf(stderr, "no OpenGL on this display\n");
        return 1;
    }
    view.resize(760, 700);
    view.meshChanged(mesh, million ? QStringLiteral("million.obj") : args[1].section('/', -1),
                     true);
    view.thresholdChanged(args[2].toDouble());
    // Past a few thousand points the outlines would cover the surface.
    view.glView()->setWireframe(mesh->lastLoadedPoint() < 10000);
    view.show();
    QElapsedTimer waited;
    waited.start();
    while (!view.geometryReady() && waited.elapsed() < 120000) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    if (args.size() > 4) {
        for (int step = 0; step < args[4].toInt(); ++step) {
            QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier);
            QApplication::sendEvent(view.glView(), &plus);
        }
    }
    const meshthin::MeshGeometry geometry = meshthin::buildGeometry(*mesh);
    const int width = view.glView()->width();
    const int height = view.glView()->height();
    view.selectedPointChanged(meshthin::pickPoint(geometry, view.glView()->camera(), width * 0.42f,
                                                  height * 0.4f, width, height, 40));
    waited.restart();
    while ((view.dryRunPending() || waited.elapsed() < 500) && waited.elapsed() < 120000) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    if (!view.grab().save(args[3], "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
        return 1;
    }
    QTextStream(stdout) << view.countsText() << "\n";
    return 0;
}
