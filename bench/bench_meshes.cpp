// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/bench_meshes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <map>
#include <streambuf>
#include <utility>
#include <vector>

#include "meshio/formats/mesh_convert.h"
#include "meshio/loader.h"
#include "meshio/startup.h"
#include "model/mesh.h"
#include "tools/mesh_generators.h"

namespace meshthin::bench {

const std::string& meshOf(int shape, int points) {
    static std::map<std::pair<int, int>, std::string> made;
    auto key = std::make_pair(shape, points);
    auto found = made.find(key);
    if (found == made.end()) {
        std::string text;
        if (shape == kSphere) {
            text = generate::sphereWithAbout(points, 11);
        } else if (shape == kSelfSimilarSphere) {
            text = generate::selfSimilarSphere(points, 11);
        } else if (shape == kSelfSimilarGrid) {
            text = generate::selfSimilarGrid(points, 12);
        } else {
            // columns x rows close to the point count, 32767 = 151 x 217 exactly
            const std::map<int, std::pair<int, int>> sizes = {
                {1000, {40, 25}}, {4000, {80, 50}}, {16000, {160, 100}}, {32767, {151, 217}}};
            const auto [columns, rows] = sizes.at(points);
            text = generate::grid(columns, rows, 1.5, 12);
        }
        found = made.emplace(key, std::move(text)).first;
    }
    return found->second;
}

namespace {

// A stream that reads the text where it is. The program reads from a file stream; a copy of the
// text into a string stream would be work of the benchmark's own, timed with the load.
class TextBuffer : public std::streambuf {
public:
    explicit TextBuffer(const std::string& text) {
        char* begin = const_cast<char*>(text.data());  // only ever read
        setg(begin, begin, begin + text.size());
    }
};

}  // namespace

Mesh wideMeshOf(int shape, int points) {
    const std::string& text = meshOf(shape, points);
    formats::PolygonMesh polygons;
    // The generator writes one "(x y z)" group per point line and "n ( (a) (b) (c) )" per face
    // line: a scan for the groups is all the reading it needs.
    const size_t facesAt = text.find("faces {");
    const char* at = text.data() + text.find("points {") + 8;
    const char* const pointsEnd = text.data() + facesAt;
    while ((at = static_cast<const char*>(std::memchr(at, '(', pointsEnd - at))) != nullptr) {
        char* end = nullptr;
        for (int axis = 0; axis < 3; ++axis) {
            polygons.positions.push_back(std::strtod(axis == 0 ? at + 1 : end, &end));
        }
        at = end;
    }
    const char* line = pointsEnd + 7;
    const char* const textEnd = text.data() + text.size();
    while (line < textEnd) {
        const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', textEnd - line));
        lineEnd = lineEnd == nullptr ? textEnd : lineEnd;
        const char* open = static_cast<const char*>(std::memchr(line, '(', lineEnd - line));
        if (open != nullptr) {
            // The groups inside the face's outer parentheses.
            for (const char* p = open + 1; p < lineEnd; ++p) {
                if (*p == '(') {
                    polygons.corners.push_back(
                        static_cast<uint32_t>(std::strtoul(p + 1, nullptr, 10)));
                }
            }
            polygons.faceStarts.push_back(static_cast<uint32_t>(polygons.corners.size()));
        }
        line = lineEnd + 1;
    }
    return formats::meshFromPolygons(polygons);
}

Mesh loadText(const std::string& text) {
    Mesh mesh;
    TextBuffer buffer(text);
    std::istream in(&buffer);
    readMesh(mesh, in, kNumbers);
    return mesh;
}

Mesh loadAndAnalyzeText(const std::string& text) {
    Mesh mesh;
    TextBuffer buffer(text);
    std::istream in(&buffer);
    runStartupPasses(mesh, readMesh(mesh, in, kNumbers));
    return mesh;
}

double thresholdFor(const Mesh& mesh, double share) {
    std::vector<double> values;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        values.push_back(mesh.Points(i).getValue());
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1))];
}

long long removedCount(const Mesh& mesh) {
    long long removed = 0;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        removed += mesh.Points(i).removed() ? 1 : 0;
    }
    return removed;
}

}  // namespace meshthin::bench
