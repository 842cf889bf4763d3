// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/startup.h"

#include <algorithm>

#include "meshio/parallel.h"
#include "model/mesh.h"

namespace meshthin {

namespace {

// Whether one of the face's positions names a point number that Points has no slot for.
bool namesMissingPoint(const Mesh& mesh, const Face& face) {
    for (PointNumber j = 0; j <= face.getNum(); ++j) {
        const PointNumber p = face.getPNum(j);
        if (p < 0 || p > mesh.spareSlot()) {
            return true;
        }
    }
    return false;
}

// A face that names a missing point is said to, in the user's words; any other failure keeps
// its own description. Either way the user is told which line of the file holds the face.
Failure faceFailure(const Mesh& mesh, const Face& face, const Failure& failure,
                    long long lineNumber) {
    const std::string description =
        namesMissingPoint(mesh, face) ? kMissingPointDescription : failure.what();
    return Failure(description + lineSuffix(lineNumber));
}

}  // namespace

std::string lineSuffix(long long lineNumber) {
    return " (line " + std::to_string(lineNumber) + ")";
}

void connectPoints(Mesh& mesh, const FaceLines& faceLines) {
    const long long lastFace = mesh.Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        try {
            mesh.Faces(f).registerPts(mesh);
        } catch (const Failure& failure) {
            if (static_cast<size_t>(f) >= faceLines.size()) {
                throw;
            }
            throw faceFailure(mesh, mesh.Faces(f), failure, faceLines[static_cast<size_t>(f)]);
        }
    }
}

void analyzePoints(Mesh& mesh, unsigned threads) {
    const long long points = mesh.lastLoadedPoint() + 1;
    const auto valueRange = [&mesh](long long first, long long end) {
        for (long long i = first; i < end; ++i) {
            mesh.Points(i).analyze(mesh);
        }
    };
    // Below some tens of thousands of points a thread costs more than it saves.
    constexpr long long kPointsPerThread = 50'000;
    // What a range throws (an expectation that fails) is thrown here, the first range's first.
    inShares(points, mesh.farApartPointsLoaded() ? 1 : threads, kPointsPerThread, valueRange);
}

void runStartupPasses(Mesh& mesh, const FaceLines& faceLines, unsigned threads) {
    connectPoints(mesh, faceLines);
    analyzePoints(mesh, threads);
}

}  // namespace meshthin
