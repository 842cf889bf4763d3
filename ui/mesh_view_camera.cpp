// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mesh_view_camera.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

namespace meshthin {

namespace {

constexpr float kRadiansPerPixel = 0.01f;
constexpr float kPitchLimit = 1.55f;  // just short of a right angle
constexpr float kZoomPerStep = 0.85f;

}  // namespace

void MeshViewCamera::fit(glm::vec3 centre, float radius) {
    fittedCentre = centre;
    fittedRadius = radius > 0 ? radius : 1;
    lookAt = centre;
    yaw = 0;
    pitch = 0;
    // The sphere touches the narrower of the two fields of view, with a margin.
    const float halfAngle = glm::radians(kFieldOfViewDegrees) / 2;
    range = fittedRadius / std::sin(halfAngle) * 1.05f;
}

void MeshViewCamera::orbit(float dx, float dy) {
    yaw -= dx * kRadiansPerPixel;
    pitch = std::clamp(pitch + dy * kRadiansPerPixel, -kPitchLimit, kPitchLimit);
}

void MeshViewCamera::pan(float dx, float dy, int viewportHeight) {
    const glm::mat4 v = view();
    const glm::vec3 right(v[0][0], v[1][0], v[2][0]);
    const glm::vec3 up(v[0][1], v[1][1], v[2][1]);
    lookAt += (-dx * right + dy * up) * worldPerPixel(viewportHeight);
}

float MeshViewCamera::worldPerPixel(int viewportHeight) const {
    return 2 * range * std::tan(glm::radians(kFieldOfViewDegrees) / 2) /
           static_cast<float>(std::max(viewportHeight, 1));
}

void MeshViewCamera::zoom(float steps) {
    range *= std::pow(kZoomPerStep, steps);
    range = std::clamp(range, fittedRadius * 1e-3f, fittedRadius * 1e3f);
}

glm::vec3 MeshViewCamera::eye() const {
    const glm::vec3 back(std::sin(yaw) * std::cos(pitch), std::sin(pitch),
                         std::cos(yaw) * std::cos(pitch));
    return lookAt + back * range;
}

glm::mat4 MeshViewCamera::view() const {
    return glm::lookAt(eye(), lookAt, glm::vec3(0, 1, 0));
}

glm::mat4 MeshViewCamera::projection(float aspect) const {
    // Near and far hold the whole mesh wherever the target has been panned to.
    const float reach = glm::length(lookAt - fittedCentre) + fittedRadius;
    const float nearPlane = std::max(range - reach * 1.1f, range * 0.01f);
    const float farPlane = range + reach * 1.1f;
    return glm::perspective(glm::radians(kFieldOfViewDegrees), aspect > 0 ? aspect : 1.0f,
                            nearPlane, farPlane);
}

ScreenPoint MeshViewCamera::project(glm::vec3 point, int width, int height) const {
    const float aspect = static_cast<float>(width) / static_cast<float>(std::max(height, 1));
    const glm::vec4 clip = projection(aspect) * view() * glm::vec4(point, 1);
    if (clip.w <= 0) {
        return {0, 0, -1};  // behind the eye
    }
    const glm::vec3 ndc = glm::vec3(clip) / clip.w;
    return {(ndc.x + 1) / 2 * static_cast<float>(width),
            (1 - ndc.y) / 2 * static_cast<float>(height), (ndc.z + 1) / 2};
}

Ray MeshViewCamera::rayThrough(float x, float y, int width, int height) const {
    const float aspect = static_cast<float>(width) / static_cast<float>(std::max(height, 1));
    const glm::mat4 inverse = glm::inverse(projection(aspect) * view());
    const float ndcX = x / static_cast<float>(width) * 2 - 1;
    const float ndcY = 1 - y / static_cast<float>(height) * 2;
    const glm::vec4 nearPoint = inverse * glm::vec4(ndcX, ndcY, -1, 1);
    const glm::vec4 farPoint = inverse * glm::vec4(ndcX, ndcY, 1, 1);
    const glm::vec3 from = glm::vec3(nearPoint) / nearPoint.w;
    const glm::vec3 to = glm::vec3(farPoint) / farPoint.w;
    return {eye(), glm::normalize(to - from)};
}

}  // namespace meshthin
