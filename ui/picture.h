// SPDX-License-Identifier: GPL-3.0-or-later
// The picture area Picture1: a sunken frame whose inside is a drawing surface in the preview's
// user units (x from kPreviewLeft over kPreviewWidth, y from kPreviewTop over kPreviewHeight,
// y growing downwards). What is drawn goes into a kept image, so it survives the window being
// covered and repainted; it changes only when the preview is drawn again.
#pragma once

#include <QFrame>
#include <QImage>
#include <QPoint>

#include "ui/preview.h"

namespace meshthin {

class PreviewPicture : public QFrame, public Canvas {
    Q_OBJECT

public:
    explicit PreviewPicture(QWidget* parent = nullptr);

    void clear() override;
    void plot(float x, float y, Rgb colour) override;
    void line(float x1, float y1, float x2, float y2) override;
    void line(float x1, float y1, float x2, float y2, Rgb colour) override;

signals:
    // A mouse click: pressed and released inside the area.
    void clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint toPixel(float x, float y) const;
    void drawLine(float x1, float y1, float x2, float y2, const QColor& colour);

    QImage image;  // the inside of the frame, one pixel per image pixel
    bool pressed = false;
};

}  // namespace meshthin
