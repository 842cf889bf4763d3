// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's colours: values through viridis, a perceptually uniform map that reads in
// order in grey and to most colour-blind eyes, and the marks in colours the map never takes, so
// that a mark never reads as a value.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace meshthin {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// viridis at fraction t of the map (0 dark purple, 1 yellow); t outside 0..1 is clamped.
Rgb viridis(double t);
// The map as count colours from 0 to 1, for a texture or a legend.
std::vector<Rgb> viridisTable(int count);

// Where value lies between low and high, 0..1; 0.5 when the range is empty.
double fractionInRange(double value, double low, double high);

// A point that a run at the threshold removes: red, far from every colour of the map.
inline constexpr Rgb kRemovedMark{230, 25, 40};
// A point below the threshold now that the run keeps: the same red, faded towards white.
inline constexpr Rgb kKeptBelowMark{255, 170, 175};
// The point selected in List1: white with a dark rim.
inline constexpr Rgb kSelectedMark{255, 255, 255};

}  // namespace meshthin
