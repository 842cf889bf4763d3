// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's camera: it orbits around a target point at a distance, pans the target across
// the screen and zooms by moving closer, and it turns between the mesh's space and the screen's
// pixels both ways (projecting a point, casting the ray under the cursor). Plain arithmetic on
// glm's types, so that tests run it without a window or a context.
#pragma once

#include <glm/glm.hpp>

namespace meshthin {

// A ray from origin along direction (unit length).
struct Ray {
    glm::vec3 origin{0};
    glm::vec3 direction{0, 0, -1};
};

// Where a point lands: x, y in pixels from the top left; depth in 0 (near) .. 1 (far), outside
// for a point in front of the near plane or behind the far one.
struct ScreenPoint {
    float x = 0;
    float y = 0;
    float depth = 0;
};

class MeshViewCamera {
public:
    static constexpr float kFieldOfViewDegrees = 40;

    // Looks at the sphere (centre, radius) from the front, as close as shows all of it.
    void fit(glm::vec3 centre, float radius);
    // Turns around the target: dx pixels across the screen turn about the up axis, dy pixels
    // tilt (held short of straight up and down, so that up stays defined).
    void orbit(float dx, float dy);
    // Moves the target with the cursor: a point at the target's depth follows it exactly.
    void pan(float dx, float dy, int viewportHeight);
    // Moves closer (steps > 0) or away; one wheel notch is one step.
    void zoom(float steps);

    glm::vec3 eye() const;
    glm::vec3 target() const { return lookAt; }
    float distance() const { return range; }
    glm::mat4 view() const;
    glm::mat4 projection(float aspect) const;

    // The length in the mesh's space that one pixel spans at the target's depth.
    float worldPerPixel(int viewportHeight) const;
    ScreenPoint project(glm::vec3 point, int width, int height) const;
    Ray rayThrough(float x, float y, int width, int height) const;

private:
    glm::vec3 lookAt{0};
    glm::vec3 fittedCentre{0};
    float fittedRadius = 1;
    float range = 3;
    float yaw = 0;    // radians about the mesh's y axis
    float pitch = 0;  // radians above the horizon
};

}  // namespace meshthin
