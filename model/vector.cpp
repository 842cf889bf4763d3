#include "model/vector.h"

#include <cmath>

#include "model/failure.h"

namespace meshthin {

void Vector::Start(double xPoz, double yPoz, double zPoz) {
    vx = xPoz;
    vy = yPoz;
    vz = zPoz;
    const double sumOfSquares = vx * vx + vy * vy + vz * vz;
    if (!std::isfinite(sumOfSquares)) {
        throw overflowFailure();
    }
    const double length = std::sqrt(sumOfSquares);
    mag = length;
    if (length != 0) {
        vx /= length;
        vy /= length;
        vz /= length;
    }
}

}  // namespace meshthin
