// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/picture.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace meshthin {

namespace {

// Coordinates far outside the area (the crosshairs reach to +-100 units, a stray point may lie
// anywhere) are pulled in to a range that still lies outside the area but cannot overflow an int.
constexpr double kFarOutside = 100000.0;

int toPixelIndex(double offset) {
    return static_cast<int>(std::floor(std::clamp(offset, -kFarOutside, kFarOutside)));
}

QColor toColor(Rgb colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

}  // namespace

PreviewPicture::PreviewPicture(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setFocusPolicy(Qt::StrongFocus);
}

void PreviewPicture::clear() {
    if (image.size() != contentsRect().size()) {
        image = QImage(contentsRect().size(), QImage::Format_RGB32);
    }
    image.fill(palette().color(QPalette::Window));
    update();
}

QPoint PreviewPicture::toPixel(float x, float y) const {
    const double column = (static_cast<double>(x) - kPreviewLeft) / kPreviewWidth * image.width();
    const double row = (static_cast<double>(y) - kPreviewTop) / kPreviewHeight * image.height();
    return QPoint(toPixelIndex(column), toPixelIndex(row));
}

void PreviewPicture::plot(float x, float y, Rgb colour) {
    const QPoint pixel = toPixel(x, y);
    if (image.rect().contains(pixel)) {
        image.setPixelColor(pixel, toColor(colour));
    }
    update();
}

void PreviewPicture::line(float x1, float y1, float x2, float y2) {
    drawLine(x1, y1, x2, y2, palette().color(QPalette::WindowText));
}

void PreviewPicture::line(float x1, float y1, float x2, float y2, Rgb colour) {
    drawLine(x1, y1, x2, y2, toColor(colour));
}

void PreviewPicture::drawLine(float x1, float y1, float x2, float y2, const QColor& colour) {
    if (image.isNull()) {
        return;  // not yet laid out: there is nothing to draw on
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 1));
    painter.drawLine(toPixel(x1, y1), toPixel(x2, y2));
    update();
}

// The inside of the frame is known only once the control has its size; it starts blank.
void PreviewPicture::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    clear();
}

void PreviewPicture::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), image);
    painter.end();
    QFrame::paintEvent(event);
}

void PreviewPicture::mousePressEvent(QMouseEvent* event) {
    pressed = event->button() == Qt::LeftButton;
    QFrame::mousePressEvent(event);
}

void PreviewPicture::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed = false;
    QFrame::mouseReleaseEvent(event);
    if (click) {
        emit clicked();
    }
}

}  // namespace meshthin
