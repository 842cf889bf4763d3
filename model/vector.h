// SPDX-License-Identifier: GPL-3.0-or-later
// A direction of three 64-bit components, scaled to unit length when it is filled.
// Used by the point analysis only: one Vector per connection, summed component by component.
// Defined here in full because the analysis fills one for every connection of every point it
// values, and the call would cost as much as the arithmetic. addUnitVectorsInPairs
// (model/unit_vectors.h) does what Start does for two vectors at once and must stay in step with
// it, operation for operation.
#pragma once

#include <cmath>

#include "model/failure.h"

namespace meshthin {

class Vector {
public:
    // Stores the components and scales them to length 1, unless the length is exactly 0, in
    // which case they stay as given. Records the length before scaling (read by gM).
    // Throws an overflow Failure when a square or their sum exceeds the double range; the
    // components then keep the values given.
    void Start(double xPoz, double yPoz, double zPoz) {
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

    double gX() const { return vx; }
    double gY() const { return vy; }
    double gZ() const { return vz; }
    double gM() const { return mag; }

private:
    double vx = 0;
    double vy = 0;
    double vz = 0;
    double mag = 0;
};

}  // namespace meshthin
