// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/dry_run.h"

#include "meshio/reduction.h"
#include "model/mesh.h"

namespace meshthin {

std::vector<PointNumber> removeAndListPointsBelow(Mesh& mesh, double threshold) {
    std::vector<PointNumber> removed;
    if (!mesh.Points.exists()) {
        return removed;
    }
    const long long lastPoint = mesh.lastLoadedPoint();
    std::vector<bool> removedBefore(static_cast<size_t>(lastPoint + 1));
    for (long long i = 0; i <= lastPoint; ++i) {
        removedBefore[static_cast<size_t>(i)] = mesh.Points(i).removed();
    }
    walkPointsBelow(mesh, threshold, [](long long) {});
    for (long long i = 0; i <= lastPoint; ++i) {
        if (mesh.Points(i).removed() && !removedBefore[static_cast<size_t>(i)]) {
            removed.push_back(static_cast<PointNumber>(i));
        }
    }
    return removed;
}

std::vector<PointNumber> pointsARunRemoves(const Mesh& mesh, double threshold) {
    Mesh trial(mesh);
    return removeAndListPointsBelow(trial, threshold);
}

}  // namespace meshthin
