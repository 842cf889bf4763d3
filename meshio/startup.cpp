#include "meshio/startup.h"

#include "model/store.h"

namespace meshthin {

void connectPoints() {
    const long long lastFace = Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        Faces(f).registerPts();
    }
}

void analyzePoints() {
    for (long long i = 0; i <= lastLoadedPoint(); ++i) {
        Points(i).analyze();
    }
}

void runStartupPasses() {
    connectPoints();
    analyzePoints();
}

}  // namespace meshthin
