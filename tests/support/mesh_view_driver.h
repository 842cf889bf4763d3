// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the mesh view as the main window does, without the main window: loads a mesh, opens
// the view on it, moves the threshold, makes a run around it as the window's click
// does (busy, walk, write, mesh changed), clicks and reads what is on screen. For the view's
// tests and the screenshot tool.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "ui/mesh_view_window.h"

namespace meshthin::testing {

class MeshViewDriver {
public:
    // Loads mesh (a mesh file's text) and runs the start-up passes, then opens the view on it at
    // size, shown and fitted.
    MeshViewDriver(const std::string& mesh, const QString& fileName, QSize size = {520, 420});
    // Opens the view on a mesh already loaded and valued.
    MeshViewDriver(std::shared_ptr<const Mesh> mesh, const QString& fileName,
                   QSize size = {520, 420});
    ~MeshViewDriver();
    MeshViewDriver(const MeshViewDriver&) = delete;
    MeshViewDriver& operator=(const MeshViewDriver&) = delete;

    MeshViewWindow& view() { return window; }
    // The mesh the view shows.
    const Mesh& mesh() const { return *shown; }
    // A move of the slider to threshold, then events until the marks for it are on screen;
    // false when they did not come within the time.
    bool moveThreshold(std::optional<double> threshold, int timeoutMs = 30000);
    bool waitForMarks(int timeoutMs = 30000);
    // A run at threshold as the click makes it (on a copy that then becomes the mesh shown), its
    // result written to nowhere.
    void run(double threshold);
    // What the view shows now.
    QImage picture();
    // The pixel of the picture where point lies.
    QPoint pixelOf(int point);
    // A left click at the pixel.
    void clickAt(QPoint pixel);

private:
    QString name;
    std::shared_ptr<const Mesh> shown;
    MeshViewWindow window;
};

}  // namespace meshthin::testing
