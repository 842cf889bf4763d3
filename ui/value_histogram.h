// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's histogram of the values (see mesh_view_window.h for the window around it).
#pragma once

#include <QRect>
#include <QWidget>
#include <optional>

#include "ui/histogram.h"

namespace meshthin {

// The count of points per value bin, the threshold as a vertical line and the count below it.
// A click (or Left and Right with focus) picks a threshold.
class ValueHistogram : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBins = 64;
    explicit ValueHistogram(QWidget* parent = nullptr);
    void setHistogram(Histogram bins);
    void setThreshold(std::optional<double> threshold, long long below);

signals:
    void thresholdPicked(double threshold);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect barArea() const;
    void describe();

    Histogram bins;
    std::optional<double> threshold;
    long long below = 0;
};

}  // namespace meshthin
