// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/startup.h"

#include "model/store.h"

namespace meshthin {

namespace {

// Whether one of the face's positions names a point number that Points has no slot for.
bool namesMissingPoint(const Face& face) {
    for (int16_t j = 0; j <= face.getNum(); ++j) {
        const int16_t p = face.getPNum(j);
        if (p < 0 || p > spareSlot()) {
            return true;
        }
    }
    return false;
}

// A face that names a missing point is said to, in the user's words; any other failure keeps
// its own description. Either way the user is told which line of the file holds the face.
Failure faceFailure(const Face& face, const Failure& failure, long long lineNumber) {
    const std::string description =
        namesMissingPoint(face) ? kMissingPointDescription : failure.what();
    return Failure(description + lineSuffix(lineNumber));
}

}  // namespace

std::string lineSuffix(long long lineNumber) {
    return " (line " + std::to_string(lineNumber) + ")";
}

void connectPoints(const FaceLines& faceLines) {
    const long long lastFace = Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        try {
            Faces(f).registerPts();
        } catch (const Failure& failure) {
            if (static_cast<size_t>(f) >= faceLines.size()) {
                throw;
            }
            throw faceFailure(Faces(f), failure, faceLines[static_cast<size_t>(f)]);
        }
    }
}

void analyzePoints() {
    const long long lastPoint = lastLoadedPoint();
    for (long long i = 0; i <= lastPoint; ++i) {
        Points(i).analyze();
    }
}

void runStartupPasses(const FaceLines& faceLines) {
    connectPoints(faceLines);
    analyzePoints();
}

}  // namespace meshthin
