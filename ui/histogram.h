// SPDX-License-Identifier: GPL-3.0-or-later
// The histogram under the mesh view: how many points have values in each of a number of equal
// bins from the lowest value to the highest, where a threshold falls, and the threshold a click
// at a place along it means. Also the view's line of counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace meshthin {

struct Histogram {
    double low = 0;
    double high = 0;
    std::vector<long long>
        counts;  // counts[b]: values in [low + b w, low + (b + 1) w), w the width
    long long total() const;
    // The value at fraction f (0..1) along the bins, low to high.
    double valueAt(double fraction) const;
    // Where value lies along the bins, 0..1 (clamped).
    double fractionOf(double value) const;
    // value rounded to the decimal place a tenth of a bin's width needs, so that a threshold
    // picked on the histogram reads short in Text1 (0.83 rather than 0.8302714963).
    double rounded(double value) const;
};

// The bins of the values of the shown points (shown[i] not 0); the highest value falls in the
// last bin, NaN values are left out.
Histogram makeHistogram(const std::vector<double>& values, const std::vector<uint8_t>& shown,
                        int binCount);

// How many shown points have values strictly below threshold: what the statistics count, the points
// a run tests first.
long long countBelow(const std::vector<double>& values, const std::vector<uint8_t>& shown,
                     double threshold);

// The values in ascending order, NaN left out: made once per mesh, it answers how many values lie
// strictly below a threshold by a binary search, so that the statistics keep up with a dragged
// slider at a million points (a scan of the values took milliseconds per move). Immutable once
// made.
class SortedValues {
public:
    SortedValues() = default;
    explicit SortedValues(std::vector<double> values);
    // The number of values v with v < threshold: what countBelow counts with every point shown.
    long long countBelow(double threshold) const;
    const std::vector<double>& ascending() const { return sorted; }

private:
    std::vector<double> sorted;
};

// 1214 as "1,214".
std::string groupedCount(long long count);
// "1,214 below 0.9 now; a run removes 466", the threshold written with the user's decimal
// separator; without the dry run's count yet, "1,214 below 0.9 now; a run removes ...".
std::string belowAndRemovedText(long long below, double threshold, std::optional<long long> removes,
                                char decimalSeparator);

}  // namespace meshthin
