// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/colour_map.h"

#include <algorithm>
#include <cmath>

namespace meshthin {

namespace {

// viridis sampled at 0, 0.1, ..., 1; between samples the colour is interpolated linearly, which
// stays within one step of the full 256-entry table.
constexpr std::array<Rgb, 11> kViridisSamples{{{0x44, 0x01, 0x54},
                                               {0x48, 0x24, 0x75},
                                               {0x41, 0x44, 0x87},
                                               {0x35, 0x5f, 0x8d},
                                               {0x2a, 0x78, 0x8e},
                                               {0x21, 0x91, 0x8c},
                                               {0x22, 0xa8, 0x84},
                                               {0x44, 0xbf, 0x70},
                                               {0x7a, 0xd1, 0x51},
                                               {0xbd, 0xdf, 0x26},
                                               {0xfd, 0xe7, 0x25}}};

uint8_t mix(uint8_t a, uint8_t b, double f) {
    return static_cast<uint8_t>(std::lround(a + (b - a) * f));
}

}  // namespace

Rgb viridis(double t) {
    if (!(t > 0)) {
        return kViridisSamples.front();  // NaN too
    }
    if (t >= 1) {
        return kViridisSamples.back();
    }
    const double scaled = t * (kViridisSamples.size() - 1);
    const size_t i = static_cast<size_t>(scaled);
    const double f = scaled - static_cast<double>(i);
    const Rgb& a = kViridisSamples[i];
    const Rgb& b = kViridisSamples[i + 1];
    return {mix(a.r, b.r, f), mix(a.g, b.g, f), mix(a.b, b.b, f)};
}

std::vector<Rgb> viridisTable(int count) {
    std::vector<Rgb> table;
    table.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        table.push_back(viridis(count > 1 ? static_cast<double>(i) / (count - 1) : 0));
    }
    return table;
}

double fractionInRange(double value, double low, double high) {
    if (!(high > low)) {
        return 0.5;
    }
    return std::clamp((value - low) / (high - low), 0.0, 1.0);
}

}  // namespace meshthin
