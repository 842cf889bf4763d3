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
    // The slot at the upper bound is the spare behind the last point: never analysed.
    const long long lastPoint = Points.upperBound() - 1;
    for (long long i = 0; i <= lastPoint; ++i) {
        Points(i).analyze();
    }
}

void runStartupPasses() {
    connectPoints();
    analyzePoints();
}

}  // namespace meshthin
