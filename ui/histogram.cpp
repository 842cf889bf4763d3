// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/histogram.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <utility>

#include "meshio/batch.h"

namespace meshthin {

long long Histogram::total() const {
    return std::accumulate(counts.begin(), counts.end(), 0LL);
}

double Histogram::valueAt(double fraction) const {
    return low + (high - low) * std::clamp(fraction, 0.0, 1.0);
}

double Histogram::fractionOf(double value) const {
    if (!(high > low)) {
        return 0.5;
    }
    return std::clamp((value - low) / (high - low), 0.0, 1.0);
}

double Histogram::rounded(double value) const {
    const double width = counts.empty() ? 0 : (high - low) / static_cast<double>(counts.size());
    if (!(width > 0)) {
        return value;
    }
    const double step = std::pow(10.0, std::floor(std::log10(width / 10)));
    return std::round(value / step) * step;
}

Histogram makeHistogram(const std::vector<double>& values, const std::vector<uint8_t>& shown,
                        int binCount) {
    Histogram histogram;
    histogram.counts.assign(static_cast<size_t>(std::max(binCount, 1)), 0);
    bool any = false;
    for (size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        if (shown[i] != 0 && !std::isnan(v)) {
            histogram.low = any ? std::min(histogram.low, v) : v;
            histogram.high = any ? std::max(histogram.high, v) : v;
            any = true;
        }
    }
    const double width = (histogram.high - histogram.low) / histogram.counts.size();
    for (size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        if (shown[i] != 0 && !std::isnan(v)) {
            size_t bin = width > 0 ? static_cast<size_t>((v - histogram.low) / width) : 0;
            bin = std::min(bin, histogram.counts.size() - 1);
            ++histogram.counts[bin];
        }
    }
    return histogram;
}

long long countBelow(const std::vector<double>& values, const std::vector<uint8_t>& shown,
                     double threshold) {
    long long below = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        below += shown[i] != 0 && values[i] < threshold ? 1 : 0;
    }
    return below;
}

namespace {

// A double's bits turned so that the unsigned order of the keys is the order of the numbers:
// the sign bit flipped for positive numbers, every bit for negative ones. (-0 comes before 0,
// which compare equal: the sequence stays sorted by <.)
uint64_t orderedKey(double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    return (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
}

double fromOrderedKey(uint64_t key) {
    return std::bit_cast<double>((key >> 63) != 0 ? key & ~(uint64_t{1} << 63) : ~key);
}

// Least significant digit first, 11 bits at a time; a digit that every key shares (the high
// bits of values of one magnitude) costs a count and no move. A million values sort in a few
// passes where std::sort takes about 20 comparisons each.
void radixSort(std::vector<uint64_t>& keys) {
    constexpr int kBits = 11;
    constexpr size_t kBuckets = size_t{1} << kBits;
    std::vector<uint64_t> spare(keys.size());
    std::vector<size_t> counts(kBuckets);
    for (int shift = 0; shift < 64; shift += kBits) {
        std::fill(counts.begin(), counts.end(), 0);
        for (const uint64_t key : keys) {
            ++counts[(key >> shift) & (kBuckets - 1)];
        }
        if (keys.empty() || counts[(keys.front() >> shift) & (kBuckets - 1)] == keys.size()) {
            continue;
        }
        size_t place = 0;
        for (size_t& count : counts) {
            place += std::exchange(count, place);
        }
        for (const uint64_t key : keys) {
            spare[counts[(key >> shift) & (kBuckets - 1)]++] = key;
        }
        keys.swap(spare);
    }
}

}  // namespace

SortedValues::SortedValues(std::vector<double> values) {
    std::vector<uint64_t> keys;
    keys.reserve(values.size());
    for (const double v : values) {
        if (!std::isnan(v)) {
            keys.push_back(orderedKey(v));
        }
    }
    values = {};
    radixSort(keys);
    sorted.resize(keys.size());
    std::transform(keys.begin(), keys.end(), sorted.begin(), fromOrderedKey);
}

long long SortedValues::countBelow(double threshold) const {
    // A NaN threshold has nothing below it, as no comparison with it holds.
    return std::lower_bound(sorted.begin(), sorted.end(), threshold) - sorted.begin();
}

std::string groupedCount(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (ptrdiff_t at = static_cast<ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), ",");
    }
    return count < 0 ? "-" + digits : digits;
}

std::string belowAndRemovedText(long long below, double threshold, std::optional<long long> removes,
                                char decimalSeparator) {
    std::string number = shortestText(threshold);
    std::replace(number.begin(), number.end(), '.', decimalSeparator);
    return groupedCount(below) + " below " + number + " now; a run removes " +
           (removes ? groupedCount(*removes) : std::string("..."));
}

}  // namespace meshthin
