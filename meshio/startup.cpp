#include "meshio/startup.h"

#include "model/store.h"

namespace meshthin {

namespace {

// A face read from the file fails to register only when it names a point number that has no
// slot (the index failure); any other failure keeps its own description. Either way the user is
// told which line of the file holds the face.
Failure faceFailure(const Failure& failure, long long lineNumber) {
    const std::string description = std::string(failure.what()) == indexFailure().what()
                                        ? kMissingPointDescription
                                        : failure.what();
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
            throw faceFailure(failure, faceLines[static_cast<size_t>(f)]);
        }
    }
}

void analyzePoints() {
    for (long long i = 0; i <= lastLoadedPoint(); ++i) {
        Points(i).analyze();
    }
}

void runStartupPasses(const FaceLines& faceLines) {
    connectPoints(faceLines);
    analyzePoints();
}

}  // namespace meshthin
