// A direction of three 64-bit components, scaled to unit length when it is filled.
// Used by the point analysis only: one Vector per connection, summed component by component.
#pragma once

namespace meshthin {

class Vector {
public:
    // Stores the components and scales them to length 1, unless the length is exactly 0, in
    // which case they stay as given. Records the length before scaling (read by gM).
    // Throws an overflow Failure when a square or their sum exceeds the double range; the
    // components then keep the values given.
    void Start(double xPoz, double yPoz, double zPoz);

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
