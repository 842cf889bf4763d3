// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mesh_view_driver.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <sstream>

#include "meshio/batch.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/startup.h"
#include "model/mesh.h"

namespace meshthin::testing {

namespace {

std::shared_ptr<const Mesh> loaded(const std::string& text) {
    std::istringstream in(text);
    auto mesh = std::make_shared<Mesh>();
    runStartupPasses(*mesh, readMesh(*mesh, in, numtext::LocaleNumbers('.')));
    return mesh;
}

}  // namespace

MeshViewDriver::MeshViewDriver(const std::string& mesh, const QString& fileName, QSize size)
    : MeshViewDriver(loaded(mesh), fileName, size) {
}

MeshViewDriver::MeshViewDriver(std::shared_ptr<const Mesh> mesh, const QString& fileName,
                               QSize size)
    : name(fileName), shown(std::move(mesh)) {
    window.resize(size);
    window.meshChanged(shown, name, true);
    window.show();
    window.activateWindow();  // the view's shortcuts work in the active window
    (void)QTest::qWaitForWindowExposed(&window);
    (void)QTest::qWaitForWindowActive(&window);
}

MeshViewDriver::~MeshViewDriver() {
    window.close();
}

bool MeshViewDriver::moveThreshold(std::optional<double> threshold, int timeoutMs) {
    window.thresholdChanged(threshold);
    return waitForMarks(timeoutMs);
}

bool MeshViewDriver::waitForMarks(int timeoutMs) {
    return QTest::qWaitFor([this] { return !window.dryRunPending(); }, timeoutMs);
}

void MeshViewDriver::run(double threshold) {
    window.setBusy(true);
    std::ostringstream nowhere;
    auto working = std::make_shared<Mesh>(*shown);
    reduce(*working, threshold, numtext::LocaleNumbers('.'), nowhere);
    shown = std::move(working);
    window.setBusy(false);
    window.meshChanged(shown, name, false);
}

QImage MeshViewDriver::picture() {
    return window.glView()->grabFramebuffer();
}

QPoint MeshViewDriver::pixelOf(int point) {
    const ScreenPoint s = window.glView()->screenPointOf(point);
    const qreal ratio = window.glView()->devicePixelRatioF();
    return {static_cast<int>(s.x * ratio), static_cast<int>(s.y * ratio)};
}

void MeshViewDriver::clickAt(QPoint pixel) {
    MeshGLView* view = window.glView();
    const QPointF at = QPointF(pixel) / view->devicePixelRatioF();
    const QPointF global = view->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    QApplication::sendEvent(view, &release);
}

}  // namespace meshthin::testing
