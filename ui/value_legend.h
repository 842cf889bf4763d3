// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's legend (see mesh_view_window.h for the window around it).
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

namespace meshthin {

// The colour map with the value range at its ends, and what the marks mean.
class ValueLegend : public QWidget {
    Q_OBJECT

public:
    explicit ValueLegend(QWidget* parent = nullptr);
    void setRange(double low, double high, std::optional<double> threshold);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double low = 0;
    double high = 0;
};

// A value as the legend and the histogram write it: four digits, the user's decimal mark.
QString valueText(double value);

}  // namespace meshthin
