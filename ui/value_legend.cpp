// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/value_legend.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

#include "ui/colour_map.h"
#include "ui/form1.h"

namespace meshthin {

QString valueText(double value) {
    QString text = QString::number(value, 'g', 4);
    return text.replace('.', QChar::fromLatin1(userDecimalSeparator()));
}

ValueLegend::ValueLegend(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(34);
    setAccessibleName(QStringLiteral("Value colours"));
}

void ValueLegend::setRange(double newLow, double newHigh, std::optional<double> threshold) {
    low = newLow;
    high = newHigh;
    QString marks = threshold ? QStringLiteral(
                                    "; red dots: the points a run at %1 removes; pale "
                                    "red dots: points below %1 now that it keeps")
                                    .arg(valueText(*threshold))
                              : QString();
    setAccessibleDescription(
        QStringLiteral("Values from %1 (dark purple) to %2 (yellow)%3; white dot: the selected "
                       "point")
            .arg(valueText(low), valueText(high), marks));
    update();
}

void ValueLegend::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const QRect bar(
        metrics.horizontalAdvance(QStringLiteral("0000000")), 4,
        std::max(width() - 2 * metrics.horizontalAdvance(QStringLiteral("0000000")), 10), 12);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    const std::vector<Rgb> table = viridisTable(11);
    for (size_t i = 0; i < table.size(); ++i) {
        gradient.setColorAt(static_cast<double>(i) / (table.size() - 1),
                            QColor(table[i].r, table[i].g, table[i].b));
    }
    painter.fillRect(bar, gradient);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, 0, bar.left() - 4, 20), Qt::AlignRight | Qt::AlignVCenter,
                     valueText(low));
    painter.drawText(QRect(bar.right() + 4, 0, width(), 20), Qt::AlignLeft | Qt::AlignVCenter,
                     valueText(high));
    const int y = bar.bottom() + 10;
    const auto dot = [&](int x, Rgb c, const QString& text) {
        painter.setBrush(QColor(c.r, c.g, c.b));
        painter.setPen(QColor(60, 60, 60));  // a rim, so that the white dot shows
        painter.drawEllipse(QPoint(x, y), 4, 4);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(x + 8, y + metrics.ascent() / 2 - 1, text);
        return x + 16 + metrics.horizontalAdvance(text);
    };
    int x = bar.left();
    x = dot(x, kRemovedMark, QStringLiteral("a run removes"));
    x = dot(x, kKeptBelowMark, QStringLiteral("below, kept"));
    dot(x, kSelectedMark, QStringLiteral("selected"));
}

}  // namespace meshthin
