// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/dry_run.h"

#include "meshio/reduction.h"
#include "model/store.h"

namespace meshthin {

std::vector<int16_t> removeAndListPointsBelow(double threshold) {
    std::vector<int16_t> removed;
    if (!Points.exists()) {
        return removed;
    }
    const long long lastPoint = lastLoadedPoint();
    std::vector<bool> removedBefore(static_cast<size_t>(lastPoint + 1));
    for (long long i = 0; i <= lastPoint; ++i) {
        removedBefore[static_cast<size_t>(i)] = Points(i).removed();
    }
    removePointsBelow(threshold, [](long long) {});
    for (long long i = 0; i <= lastPoint; ++i) {
        if (Points(i).removed() && !removedBefore[static_cast<size_t>(i)]) {
            removed.push_back(static_cast<int16_t>(i));
        }
    }
    return removed;
}

std::vector<int16_t> pointsARunRemoves(double threshold) {
    const StoreSnapshot before = takeSnapshot();
    try {
        std::vector<int16_t> removed = removeAndListPointsBelow(threshold);
        restoreSnapshot(before);
        return removed;
    } catch (...) {
        restoreSnapshot(before);
        throw;
    }
}

}  // namespace meshthin
