// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/preview.h"

#include "model/mesh.h"

namespace meshthin {

namespace {

constexpr float kCrosshairReach = 100.0f;

void drawPoints(Canvas& canvas, const Mesh& mesh) {
    const long long lastPoint = mesh.lastLoadedPoint();
    for (long long i = 0; i <= lastPoint; ++i) {
        const Point& p = mesh.Points(i);
        canvas.plot(static_cast<float>(p.getX()), static_cast<float>(p.getY()), kPointColour);
    }
}

// Each edge is drawn from the later vertex back to the earlier one, then the ring is closed.
// Positions that hold no point (-1) are passed over.
void drawOutline(Canvas& canvas, const Mesh& mesh, const Face& face,
                 const std::function<void(const std::string&)>& message) {
    const PointNumber last = face.getNum();
    bool started = false;
    float firstX = 0, firstY = 0, previousX = 0, previousY = 0;
    for (PointNumber k = 0; k <= last; ++k) {
        if (face.getPNum(k) == -1) {
            continue;
        }
        const float x = static_cast<float>(face.getX(mesh, k, message));
        const float y = static_cast<float>(face.getY(mesh, k));
        if (!started) {
            firstX = x;
            firstY = y;
            started = true;
        } else {
            canvas.line(x, y, previousX, previousY);
        }
        previousX = x;
        previousY = y;
    }
    if (started) {
        canvas.line(previousX, previousY, firstX, firstY);
    }
}

void drawCrosshair(Canvas& canvas, const Point& p, const Rgb* colour) {
    const float x = static_cast<float>(p.getX());
    const float y = static_cast<float>(p.getY());
    if (colour != nullptr) {
        canvas.line(-kCrosshairReach, y, kCrosshairReach, y, *colour);
        canvas.line(x, -kCrosshairReach, x, kCrosshairReach, *colour);
    } else {
        canvas.line(-kCrosshairReach, y, kCrosshairReach, y);
        canvas.line(x, -kCrosshairReach, x, kCrosshairReach);
    }
}

}  // namespace

void drawPreview(Canvas& canvas, const Mesh& mesh, PointNumber selectedPoint,
                 const std::function<void(const std::string&)>& message) {
    canvas.clear();
    drawPoints(canvas, mesh);
    const long long lastFace = mesh.Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        drawOutline(canvas, mesh, mesh.Faces(f), message);
    }
    // Point 0 also stands for "nothing selected", so it never gets crosshairs.
    if (selectedPoint == 0) {
        return;
    }
    const Point& selected = mesh.Points(selectedPoint);
    const PointNumber last = selected.getNumConns();
    for (PointNumber j = 0; j <= last; ++j) {
        drawCrosshair(canvas, mesh.Points(selected.getConn(mesh, j)), nullptr);
    }
    drawCrosshair(canvas, selected, &kPointColour);
}

}  // namespace meshthin
