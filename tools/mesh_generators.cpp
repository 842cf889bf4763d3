// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/mesh_generators.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace meshthin::generate {

namespace {

constexpr double kCentreX = -16.0;
constexpr double kCentreY = -24.0;
constexpr double kRadius = 12.0;

struct Xyz {
    double x, y, z;
};

std::string number(double v) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::round(v * 1e5) / 1e5,
                                      std::chars_format::general, 8);
    return std::string(buffer, result.ptr);
}

std::string meshFile(const std::string& title, const std::vector<Xyz>& points,
                     const std::vector<std::vector<int>>& faces) {
    std::string text = title + "\r\n";
    text += "mesh {\r\n  points {\r\n";
    for (const Xyz& p : points) {
        text += "    (" + number(p.x) + " " + number(p.y) + " " + number(p.z) + ")\r\n";
    }
    text += "  }\r\n  faces {\r\n";
    for (const auto& face : faces) {
        text += "    " + std::to_string(face.size()) + " 0 0 -1 (";
        for (int p : face) {
            text += " (" + std::to_string(p) + ")";
        }
        text += " )\r\n";
    }
    text += "  }\r\n}\r\n";
    return text;
}

// The same mesh as an OBJ file: "v x y z" lines, then "f" lines of 1-based point numbers.
std::string objFile(const std::string& title, const std::vector<Xyz>& points,
                    const std::vector<std::vector<int>>& faces) {
    std::string text = "# " + title + "\n";
    for (const Xyz& p : points) {
        text += "v " + number(p.x) + " " + number(p.y) + " " + number(p.z) + "\n";
    }
    for (const auto& face : faces) {
        text += "f";
        for (int p : face) {
            text += " " + std::to_string(p + 1);
        }
        text += "\n";
    }
    return text;
}

struct Shape {
    std::vector<Xyz> points;
    std::vector<std::vector<int>> faces;
};

Shape sphereShape(int rings, int segments, double noise, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-noise, noise);
    std::vector<Xyz> points;
    auto add = [&](double theta, double phi) {
        const double r = kRadius * (1 + jitter(random));
        points.push_back({kCentreX + r * std::sin(theta) * std::cos(phi),
                          kCentreY + r * std::cos(theta), r * std::sin(theta) * std::sin(phi)});
    };
    for (int ring = 1; ring < rings; ++ring) {
        for (int s = 0; s < segments; ++s) {
            add(std::numbers::pi * ring / rings, 2 * std::numbers::pi * s / segments);
        }
    }
    // The poles come last: point 0 is then an ordinary point in six faces.
    add(0, 0);
    add(std::numbers::pi, 0);
    const int north = static_cast<int>(points.size()) - 2;
    const int south = north + 1;
    auto at = [&](int ring, int s) { return (ring - 1) * segments + (s % segments); };

    std::vector<std::vector<int>> faces;
    for (int s = 0; s < segments; ++s) {
        faces.push_back({north, at(1, s + 1), at(1, s)});
    }
    for (int ring = 1; ring + 1 < rings; ++ring) {
        for (int s = 0; s < segments; ++s) {
            faces.push_back({at(ring, s), at(ring, s + 1), at(ring + 1, s + 1)});
            faces.push_back({at(ring, s), at(ring + 1, s + 1), at(ring + 1, s)});
        }
    }
    for (int s = 0; s < segments; ++s) {
        faces.push_back({south, at(rings - 1, s), at(rings - 1, s + 1)});
    }
    return {std::move(points), std::move(faces)};
}

}  // namespace

std::string sphere(int rings, int segments, double noise, unsigned seed) {
    const Shape shape = sphereShape(rings, segments, noise, seed);
    return meshFile("noisy sphere, " + std::to_string(shape.points.size()) + " points",
                    shape.points, shape.faces);
}

std::string grid(int columns, int rows, double bump, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-bump, bump);
    const double step = 2 * kRadius / std::max(columns, rows);
    std::vector<Xyz> points;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const double x = kCentreX - kRadius + c * step;
            const double y = kCentreY - kRadius + r * step;
            const double z = bump * std::sin(c * 0.3) * std::cos(r * 0.2) + jitter(random) * 0.1;
            points.push_back({x, y, z});
        }
    }
    std::vector<std::vector<int>> faces;
    for (int r = 0; r + 1 < rows; ++r) {
        for (int c = 0; c + 1 < columns; ++c) {
            const int a = r * columns + c;
            const int b = a + 1;
            const int d = a + columns;
            const int e = d + 1;
            faces.push_back({a, b, e});
            faces.push_back({a, e, d});
        }
    }
    return meshFile("bumpy grid, " + std::to_string(points.size()) + " points", points, faces);
}

std::string cube() {
    const double h = 6;
    std::vector<Xyz> points;
    for (int i = 0; i < 8; ++i) {
        points.push_back(
            {kCentreX + ((i & 1) ? h : -h), kCentreY + ((i & 2) ? h : -h), (i & 4) ? h : -h});
    }
    const std::vector<std::vector<int>> faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                 {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    return meshFile("cube", points, faces);
}

std::string fan(int triangles) {
    std::vector<Xyz> points = {{kCentreX, kCentreY, 0}};
    std::vector<std::vector<int>> faces;
    for (int i = 0; i < triangles; ++i) {
        const double angle = 2 * std::numbers::pi * i / triangles;
        points.push_back({kCentreX + 10 * std::cos(angle), kCentreY + 10 * std::sin(angle), 0});
        faces.push_back({0, i + 1, (i + 1) % triangles + 1});
    }
    return meshFile("fan", points, faces);
}

namespace {

// The rings of a sphere with about pointCount points and twice as many segments as rings:
// (rings - 1) * 2 * rings + 2 points.
int ringsForAbout(int pointCount) {
    int rings = 2;
    while ((rings)*2 * (rings + 1) + 2 <= pointCount) {
        ++rings;
    }
    return rings;
}

}  // namespace

std::string sphereWithAbout(int pointCount, unsigned seed) {
    const int rings = ringsForAbout(pointCount);
    return sphere(rings, 2 * rings, 0.05, seed);
}

std::string selfSimilarSphere(int pointCount, unsigned seed) {
    const int rings = ringsForAbout(pointCount);
    const int ringsAt4000 = ringsForAbout(4000);
    return sphere(rings, 2 * rings, 0.05 * ringsAt4000 / rings, seed);
}

std::string selfSimilarSphereObj(int pointCount, unsigned seed) {
    const int rings = ringsForAbout(pointCount);
    const int ringsAt4000 = ringsForAbout(4000);
    const Shape shape = sphereShape(rings, 2 * rings, 0.05 * ringsAt4000 / rings, seed);
    return objFile("noisy sphere, " + std::to_string(shape.points.size()) + " points", shape.points,
                   shape.faces);
}

std::string selfSimilarGrid(int pointCount, unsigned seed) {
    const int columns = static_cast<int>(std::lround(std::sqrt(pointCount * 8.0 / 5.0)));
    const int rows = pointCount / columns;
    return grid(columns, rows, 1.5 * 80 / columns, seed);
}

}  // namespace meshthin::generate
