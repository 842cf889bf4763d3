// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/triangulate.h"

#include <cstddef>

namespace meshthin {

namespace {

// --- ear clipping ---

// Twice the signed area of the 2D triangle abc: positive when it turns left.
float turn(glm::vec2 a, glm::vec2 b, glm::vec2 c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool inTriangle(glm::vec2 p, glm::vec2 a, glm::vec2 b, glm::vec2 c) {
    return turn(a, b, p) >= 0 && turn(b, c, p) >= 0 && turn(c, a, p) >= 0;
}

// The ring flattened onto the plane it lies closest to, turning left (counter-clockwise).
std::vector<glm::vec2> flatten(std::span<const glm::vec3> ring) {
    const glm::vec3 normal = newellNormal(ring);
    const glm::vec3 size = glm::abs(normal);
    // Drop the axis the normal is longest along; keep the other two in right-handed order.
    int u = 1;
    int v = 2;
    float sign = normal.x;
    if (size.y >= size.x && size.y >= size.z) {
        u = 2;
        v = 0;
        sign = normal.y;
    } else if (size.z >= size.x && size.z >= size.y) {
        u = 0;
        v = 1;
        sign = normal.z;
    }
    std::vector<glm::vec2> flat;
    flat.reserve(ring.size());
    for (const glm::vec3& p : ring) {
        flat.emplace_back(p[u], sign < 0 ? -p[v] : p[v]);
    }
    return flat;
}

bool isEar(const std::vector<glm::vec2>& flat, const std::vector<uint32_t>& left, size_t k) {
    const size_t n = left.size();
    const glm::vec2 a = flat[left[(k + n - 1) % n]];
    const glm::vec2 b = flat[left[k]];
    const glm::vec2 c = flat[left[(k + 1) % n]];
    if (turn(a, b, c) <= 0) {
        return false;  // a reflex or flat corner is no ear
    }
    for (size_t j = 0; j < n; ++j) {
        if (j == k || j == (k + n - 1) % n || j == (k + 1) % n) {
            continue;
        }
        const glm::vec2 p = flat[left[j]];
        if (p != a && p != b && p != c && inTriangle(p, a, b, c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

glm::vec3 newellNormal(std::span<const glm::vec3> ring) {
    glm::vec3 normal(0);
    for (size_t i = 0; i < ring.size(); ++i) {
        const glm::vec3& a = ring[i];
        const glm::vec3& b = ring[(i + 1) % ring.size()];
        normal += glm::vec3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x),
                            (a.x - b.x) * (a.y + b.y));
    }
    return normal;
}

void triangulatePolygon(std::span<const glm::vec3> ring, uint32_t base,
                        std::vector<uint32_t>& triangles) {
    if (ring.size() < 3) {
        return;
    }
    const std::vector<glm::vec2> flat = flatten(ring);
    std::vector<uint32_t> left(ring.size());
    for (uint32_t i = 0; i < left.size(); ++i) {
        left[i] = i;
    }
    while (left.size() > 3) {
        size_t ear = 0;
        while (ear < left.size() && !isEar(flat, left, ear)) {
            ++ear;
        }
        if (ear == left.size()) {
            ear = 0;  // no ear in a ring that is not simple: cut a corner all the same
        }
        const size_t n = left.size();
        triangles.push_back(base + left[(ear + n - 1) % n]);
        triangles.push_back(base + left[ear]);
        triangles.push_back(base + left[(ear + 1) % n]);
        left.erase(left.begin() + static_cast<ptrdiff_t>(ear));
    }
    triangles.push_back(base + left[0]);
    triangles.push_back(base + left[1]);
    triangles.push_back(base + left[2]);
}

}  // namespace meshthin
