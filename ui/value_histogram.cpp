// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/value_histogram.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "ui/colour_map.h"
#include "ui/value_legend.h"

namespace meshthin {

ValueHistogram::ValueHistogram(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(90);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Value histogram"));
    describe();
}

void ValueHistogram::setHistogram(Histogram newBins) {
    bins = std::move(newBins);
    describe();
    update();
}

void ValueHistogram::setThreshold(std::optional<double> newThreshold, long long newBelow) {
    threshold = newThreshold;
    below = newBelow;
    describe();
    update();
}

QRect ValueHistogram::barArea() const {
    return rect().adjusted(6, 4, -6, -fontMetrics().height() - 6);
}

void ValueHistogram::describe() {
    QStringList countTexts;
    for (long long count : bins.counts) {
        countTexts << QString::number(count);
    }
    QString text =
        QStringLiteral("%1 bins from %2 to %3, points per bin: %4")
            .arg(bins.counts.size())
            .arg(valueText(bins.low), valueText(bins.high), countTexts.join(QStringLiteral(", ")));
    if (threshold) {
        text += QStringLiteral("; %1 points below %2")
                    .arg(QString::fromStdString(groupedCount(below)), valueText(*threshold));
    }
    setAccessibleDescription(text);
}

void ValueHistogram::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = barArea();
    painter.fillRect(area, palette().color(QPalette::Base));
    const long long tallest =
        bins.counts.empty() ? 0 : *std::max_element(bins.counts.begin(), bins.counts.end());
    const int n = static_cast<int>(bins.counts.size());
    for (int b = 0; b < n && tallest > 0; ++b) {
        const Rgb c = viridis((b + 0.5) / n);
        const int left = area.left() + area.width() * b / n;
        const int right = area.left() + area.width() * (b + 1) / n;
        const int h =
            static_cast<int>(std::ceil(static_cast<double>(area.height()) *
                                       static_cast<double>(bins.counts[static_cast<size_t>(b)]) /
                                       static_cast<double>(tallest)));
        painter.fillRect(QRect(left, area.bottom() - h + 1, std::max(right - left - 1, 1), h),
                         QColor(c.r, c.g, c.b));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    QString caption = QStringLiteral("%1 to %2").arg(valueText(bins.low), valueText(bins.high));
    if (threshold) {
        const int x =
            area.left() + static_cast<int>(std::lround(bins.fractionOf(*threshold) * area.width()));
        painter.setPen(QPen(QColor(kRemovedMark.r, kRemovedMark.g, kRemovedMark.b), 2));
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(palette().color(QPalette::WindowText));
        caption =
            QStringLiteral("%1 below %2   (values %3)")
                .arg(QString::fromStdString(groupedCount(below)), valueText(*threshold), caption);
    }
    painter.drawText(QRect(area.left(), area.bottom() + 3, area.width(), fontMetrics().height()),
                     Qt::AlignLeft, caption);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(area.adjusted(-2, -2, 1, 1));
    }
}

void ValueHistogram::mousePressEvent(QMouseEvent* event) {
    const QRect area = barArea();
    if (event->button() != Qt::LeftButton || area.width() <= 0 || bins.counts.empty()) {
        return;
    }
    emit thresholdPicked(bins.rounded(
        bins.valueAt((event->position().x() - area.left()) / static_cast<double>(area.width()))));
}

void ValueHistogram::keyPressEvent(QKeyEvent* event) {
    // Left and Right move the threshold to the next bin edge.
    const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
    if (step == 0 || bins.counts.empty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const double n = static_cast<double>(bins.counts.size());
    const double at = threshold ? bins.fractionOf(*threshold) * n : 0;
    double edge = step > 0 ? std::floor(at + 1e-9) + 1 : std::ceil(at - 1e-9) - 1;
    const auto valueAtEdge = [&] {
        return bins.rounded(bins.valueAt(std::clamp(edge, 0.0, n) / n));
    };
    // An edge that rounds back onto the threshold is no move: take the one after it.
    if (threshold && valueAtEdge() == *threshold) {
        edge += step;
    }
    emit thresholdPicked(valueAtEdge());
}

}  // namespace meshthin
