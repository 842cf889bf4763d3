// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the mesh view's picture for the README: loads a mesh, opens the view on it with the
// wireframe on, puts the threshold where asked, selects the point a click a little left of and
// above the middle picks, waits for the marks and saves the whole window as a PNG. Needs a
// display with OpenGL (tools/mesh_view_screenshot.sh runs it under Xvfb).
// Usage: meshthin_view_screenshot MESH_FILE THRESHOLD OUTPUT_PNG
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <memory>

#include "meshio/any_mesh.h"
#include "meshio/numtext.h"
#include "ui/mesh_view_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: meshthin_view_screenshot MESH_FILE THRESHOLD OUTPUT_PNG\n");
        return 2;
    }
    const auto mesh = std::make_shared<const meshthin::Mesh>(
        meshthin::loadAnyMesh(args[1].toStdString(), meshthin::numtext::LocaleNumbers('.')));
    meshthin::MeshViewWindow view;
    if (view.glView() == nullptr) {
        std::fprintf(stderr, "no OpenGL on this display\n");
        return 1;
    }
    view.resize(760, 700);
    view.meshChanged(mesh, args[1].section('/', -1), true);
    view.thresholdChanged(args[2].toDouble());
    view.glView()->setWireframe(true);
    view.show();
    const meshthin::MeshGeometry geometry = meshthin::buildGeometry(*mesh);
    const int width = view.glView()->width();
    const int height = view.glView()->height();
    view.selectedPointChanged(meshthin::pickPoint(geometry, view.glView()->camera(), width * 0.42f,
                                                  height * 0.4f, width, height, 40));
    QElapsedTimer waited;
    waited.start();
    while ((view.dryRunPending() || waited.elapsed() < 500) && waited.elapsed() < 30000) {
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
