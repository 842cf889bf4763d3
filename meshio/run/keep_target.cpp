// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/run/keep_target.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "meshio/batch.h"
#include "meshio/reduction.h"
#include "meshio/stopping.h"
#include "model/expect.h"

namespace meshthin {

namespace {

constexpr int kMostDigits = 15;       // what Text1 shows of a threshold (numtext::generalForm)
constexpr double kLadderStep = 0.25;  // between the candidates across a wide gap of values

// mantissa x 10^exponent, correctly rounded.
double decimal(long long mantissa, long long exponent) {
    const std::string text = std::to_string(mantissa) + 'e' + std::to_string(exponent);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The largest number of `digits` significant digits at or below value (value not 0).
double roundedDown(double value, int digits) {
    char text[48];
    const std::to_chars_result written =
        std::to_chars(std::begin(text), std::end(text), std::fabs(value),
                      std::chars_format::scientific, digits - 1);
    // "d.ddde+XX": the digits without the point, then the exponent.
    const std::string_view scientific(text, static_cast<size_t>(written.ptr - text));
    const size_t e = scientific.find('e');
    long long mantissa = 0;
    for (const char c : scientific.substr(0, e)) {
        if (c != '.') {
            mantissa = mantissa * 10 + (c - '0');
        }
    }
    long long exponent = std::atoll(std::string(scientific.substr(e + 1)).c_str()) - (digits - 1);
    long long smallest = 1;  // the smallest mantissa of `digits` digits
    for (int d = 1; d < digits; ++d) {
        smallest *= 10;
    }
    // The nearest one may lie on the wrong side: step one unit towards minus infinity.
    const double magnitude = decimal(mantissa, exponent);
    if (value > 0 && magnitude > value) {
        if (mantissa == smallest) {
            mantissa = smallest * 10;  // 10 -> 99 one place further down, still `digits` digits
            --exponent;
        }
        --mantissa;
    } else if (value < 0 && magnitude < -value) {
        ++mantissa;
    } else {
        return value > 0 ? magnitude : -magnitude;
    }
    return value > 0 ? decimal(mantissa, exponent) : -decimal(mantissa, exponent);
}

// Whether a beats b as the answer for target.
bool closer(const KeepTrial& a, const KeepTrial& b, long long target) {
    const long long da = std::llabs(a.kept - target);
    const long long db = std::llabs(b.kept - target);
    if (da != db) {
        return da < db;
    }
    if (a.kept != b.kept) {
        return a.kept > b.kept;
    }
    return a.threshold < b.threshold;
}

// The candidates of the gap (low, high] between two start values: one where the gap is narrow;
// where it is wide, a ladder of thresholds about a quarter apart, as a removal re-values its
// neighbours, mostly upwards, and runs at thresholds across the gap remove more and more. On the
// benchmarks' sphere of 32,514 points the values jump from 5.86 to 65 (the poles): a run at 5.86
// keeps 17,403 points, one at 7 16,305 and one at 60 8,598, so that one candidate for the gap
// left keeping half the points 1,146 away.
void addGap(std::vector<double>& candidates, double low, double high) {
    double rung = low;
    for (;;) {
        const double step = std::max(1.0, std::fabs(rung)) * kLadderStep;
        const bool last = high - rung <= step;
        const std::optional<double> next = fewestDigitsBetween(rung, last ? high : rung + step);
        if (!next) {
            return;
        }
        candidates.push_back(*next);
        if (last) {
            return;
        }
        rung = *next;
    }
}

}  // namespace

std::optional<double> fewestDigitsBetween(double low, double high) {
    if (!(low < high)) {
        return std::nullopt;
    }
    if (low < 0 && high >= 0) {
        return 0.0;
    }
    for (int digits = 1; digits <= kMostDigits; ++digits) {
        const double candidate = roundedDown(high, digits);
        if (candidate > low && candidate <= high) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::vector<double> keepCandidates(const Mesh& mesh) {
    std::vector<double> values;
    long long points = 0;
    if (mesh.Points.exists()) {
        for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
            const Point& point = mesh.Points(i);
            points += point.removed() ? 0 : 1;
            // A value that is no number is below no threshold: it never changes what a run does.
            if (!point.removed() && std::isfinite(point.getValue())) {
                values.push_back(point.getValue());
            }
        }
    }
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    if (values.empty()) {
        return {0.0};
    }
    // Values are lengths, so 0 is the candidate below them; it prints as the plainest threshold.
    const double lowest = values.front();
    std::vector<double> candidates{
        fewestDigitsBetween(std::min(lowest, 0.0) - 1, lowest).value_or(lowest)};
    for (size_t k = 0; k + 1 < values.size(); ++k) {
        addGap(candidates, values[k], values[k + 1]);
    }
    // Runs above the largest start value still remove more; the ladder goes beyond the number
    // of points, about the largest value a point can take.
    addGap(candidates, values.back(), 2 * std::max(values.back(), static_cast<double>(points)));
    return candidates;
}

KeepSearch findKeepThreshold(const Mesh& mesh, long long target,
                             const std::function<bool()>& stopRequested) {
    const long long total = mesh.Points.exists() ? pointsLeft(mesh) : 0;
    MESHTHIN_EXPECT(target >= 0 && target <= total, "a target from 0 to the points left");
    const std::vector<double> candidates = keepCandidates(mesh);
    const long long m = static_cast<long long>(candidates.size());
    KeepSearch search;
    search.target = target;
    // The count kept at each candidate: kUnknown until a trial, and kFarBelow for a trial that
    // ended once it had left fewer than the target less the best distance so far (the best only
    // comes closer, so such a candidate is never the one found). The lowest candidate is below
    // every value, so its walk removes nothing.
    constexpr long long kUnknown = -1;
    constexpr long long kFarBelow = -2;
    std::vector<long long> kept(candidates.size(), kUnknown);
    kept[0] = total;
    long long bestDistance = total - target;
    // A walk that can fail runs to its end, so that its failure passes on as before.
    const bool mayEndEarly = !mesh.farApartPointsLoaded();
    const auto keptAt = [&](long long k) {
        if (kept[static_cast<size_t>(k)] == kUnknown) {
            if (stopRequested && stopRequested()) {
                throw RunStopped{};
            }
            Mesh trial(mesh);
            const StopCheckpoints checkpoints(trial, stopRequested);
            // Removing more would leave fewer than the target less the best distance. Keeping
            // half of the million-point scan, the bisection tries threshold 50, whose walk would
            // remove 73% of the points: it ends at 58%, and the search's peak memory fell from
            // 1.61 to 1.38 GB.
            const long long mostRemovals = mayEndEarly ? (total - target) + bestDistance : total;
            const std::optional<long long> removed =
                walkPointsBelowUpTo(trial, candidates[static_cast<size_t>(k)], mostRemovals);
            if (removed) {
                kept[static_cast<size_t>(k)] = total - *removed;
                bestDistance = std::min(bestDistance, std::llabs(total - *removed - target));
            } else {
                kept[static_cast<size_t>(k)] = kFarBelow;
            }
            ++search.trialRuns;
        }
        return kept[static_cast<size_t>(k)];
    };

    // keptAt(low) > target >= keptAt(high), high == m standing for "beyond the last".
    long long low = 0;
    long long high = m;
    if (kept[0] > target) {
        while (high - low > 1) {
            const long long middle = low + (high - low) / 2;
            if (keptAt(middle) > target) {  // kFarBelow is below it
                low = middle;
            } else {
                high = middle;
            }
        }
    }

    const auto trialAt = [&](long long k) {
        return KeepTrial{candidates[static_cast<size_t>(k)], kept[static_cast<size_t>(k)]};
    };
    const auto best = [&] {
        long long found = -1;
        for (long long k = 0; k < m; ++k) {
            if (kept[static_cast<size_t>(k)] >= 0 &&
                (found < 0 || closer(trialAt(k), trialAt(found), target))) {
                found = k;
            }
        }
        return found;
    };
    // The count is not strictly falling: a neighbour of the bracket may be closer still, and
    // then perhaps its neighbour.
    int budget = kNeighbourTrials;
    for (;;) {
        const long long at = best();
        long long next = -1;
        for (const long long neighbour : {at - 1, at + 1}) {
            if (neighbour >= 0 && neighbour < m &&
                kept[static_cast<size_t>(neighbour)] == kUnknown) {
                next = neighbour;
                break;
            }
        }
        // None can beat the exact count (a tie on it would keep as many).
        if (next < 0 || budget == 0 || kept[static_cast<size_t>(at)] == target) {
            search.threshold = candidates[static_cast<size_t>(at)];
            search.kept = kept[static_cast<size_t>(at)];
            break;
        }
        keptAt(next);
        --budget;
    }
    for (long long k = 0; k < m; ++k) {
        if (kept[static_cast<size_t>(k)] >= 0) {
            search.tried.push_back(trialAt(k));
        }
    }
    return search;
}

KeepSearch findKeepThreshold(const Mesh& mesh, long long target, std::stop_token stop) {
    return findKeepThreshold(mesh, target, [&stop] { return stop.stop_requested(); });
}

}  // namespace meshthin
