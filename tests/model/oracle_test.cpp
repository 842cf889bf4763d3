// SPDX-License-Identifier: GPL-3.0-or-later
// The model against its plain reference (support/reference_mesh): thousands of seeded random
// meshes of the kinds the program meets, each read, started up, reduced one to three times and
// written after every run, once through the real loader, passes, run and writer and once through
// the reference. Every step must agree on its failure text, every point's coordinates, value
// (as bits), connection list and marks, every face's report and every written byte.
//
// A difference prints the family, the seed, the thresholds and the mesh text; setting
// MESHTHIN_ORACLE_SEED to that seed runs only that mesh. MESHTHIN_ORACLE_MESHES sets how many
// meshes each family runs, for a longer search than the default.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "meshio/batch.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/startup.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "support/reference_mesh.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

using reference::MeshState;
using reference::PointState;
using reference::Step;
using reference::StepResult;

// ---------------------------------------------------------------------------------------------
// How many meshes

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::optional<long long> environmentNumber(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    return std::strtoll(text, nullptr, 10);
}

// The sanitizers make both implementations several times slower: a sixth of the meshes, at
// least ten, still finds what they are there for (memory faults and undefined behaviour).
long long sanitizedCount(long long count) {
    return std::max(count / 6, std::min(count, 10LL));
}

// The seeds a family runs: first to first + count - 1, fewer under the sanitizers, or the one
// seed asked for.
std::vector<uint64_t> seedsFor(uint64_t first, long long count) {
    if (const auto one = environmentNumber("MESHTHIN_ORACLE_SEED")) {
        return {static_cast<uint64_t>(*one)};
    }
    if (const auto asked = environmentNumber("MESHTHIN_ORACLE_MESHES")) {
        count = *asked;
    } else if (kSanitized) {
        count = sanitizedCount(count);
    }
    std::vector<uint64_t> seeds;
    for (long long i = 0; i < count; ++i) {
        seeds.push_back(first + static_cast<uint64_t>(i));
    }
    return seeds;
}

// ---------------------------------------------------------------------------------------------
// Random meshes

// The standard engine is specified bit for bit, and the helpers below use no library
// distribution, so a seed names the same mesh everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : engine(seed) {}
    uint64_t below(uint64_t n) { return engine() % n; }
    int between(int low, int high) { return low + static_cast<int>(below(high - low + 1ULL)); }
    double unit() { return static_cast<double>(engine() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }

private:
    std::mt19937_64 engine;
};

struct Coords {
    double x;
    double y;
    double z;
};

// A mesh as the generators build it, before it becomes a file text.
struct MeshPlan {
    std::vector<Coords> points;
    std::vector<std::vector<int>> faces;

    int add(Coords c) {
        points.push_back(c);
        return static_cast<int>(points.size()) - 1;
    }
};

// Halves from -3 to 3: points of scattered meshes often share a coordinate or a position.
double halfStep(Random& r) {
    return r.between(-6, 6) * 0.5;
}

void addGridOf(Random& r, MeshPlan& m, int w, int h);

void addGrid(Random& r, MeshPlan& m) {
    const int w = r.between(2, 6);
    const int h = r.between(2, 5);
    addGridOf(r, m, w, h);
}

// A grid of w x h points, flat or bumpy, of triangles or quads.
void addGridOf(Random& r, MeshPlan& m, int w, int h) {
    const double step = r.chance(0.5) ? 1 : 0.25 * r.between(1, 8);
    const double ox = halfStep(r);
    const double oy = halfStep(r);
    const bool bumpy = r.chance(0.4);
    const int first = static_cast<int>(m.points.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double z = bumpy ? std::round(r.unit() * 400) / 1000 : 0;
            m.add({ox + x * step, oy + y * step, z});
        }
    }
    const bool triangles = r.chance(0.5);
    for (int y = 0; y + 1 < h; ++y) {
        for (int x = 0; x + 1 < w; ++x) {
            const int a = first + y * w + x;
            if (triangles) {
                m.faces.push_back({a, a + 1, a + w + 1});
                m.faces.push_back({a, a + w + 1, a + w});
            } else {
                m.faces.push_back({a, a + 1, a + w + 1, a + w});
            }
        }
    }
}

// Triangles (centre, ring i, ring i + 1) around one point; a closed fan goes all the way round.
void addFan(Random& r, MeshPlan& m, int triangles, bool closed, double radius) {
    const int ring = closed ? triangles : triangles + 1;
    const bool lifted = r.chance(0.3);
    const int centre = m.add({0, 0, lifted ? radius * 0.5 : 0});
    const int first = static_cast<int>(m.points.size());
    const double turn = closed ? 2 * std::numbers::pi / ring : std::numbers::pi / ring;
    for (int i = 0; i < ring; ++i) {
        m.add({radius * std::cos(i * turn), radius * std::sin(i * turn), 0});
    }
    const bool reversed = r.chance(0.5);
    for (int i = 0; i < triangles; ++i) {
        const int a = first + i;
        const int b = first + (i + 1) % ring;
        m.faces.push_back(reversed ? std::vector<int>{centre, b, a}
                                   : std::vector<int>{centre, a, b});
    }
}

// A tetrahedron, a cube of quads, an octahedron or a prism with polygon caps.
void addClosedShape(Random& r, MeshPlan& m) {
    const double s = 0.5 * r.between(1, 6);
    const double ox = halfStep(r);
    const int first = static_cast<int>(m.points.size());
    auto at = [first](std::vector<int> local) {
        for (int& p : local) {
            p += first;
        }
        return local;
    };
    switch (r.below(4)) {
        case 0:
            m.add({ox, 0, 0});
            m.add({ox + s, 0, 0});
            m.add({ox, s, 0});
            m.add({ox, 0, s});
            for (const auto& f : {std::vector<int>{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}}) {
                m.faces.push_back(at(f));
            }
            break;
        case 1:
            for (int i = 0; i < 8; ++i) {
                m.add({ox + (i & 1) * s, ((i >> 1) & 1) * s, ((i >> 2) & 1) * s});
            }
            for (const auto& f : {std::vector<int>{0, 2, 3, 1},
                                  {4, 5, 7, 6},
                                  {0, 1, 5, 4},
                                  {2, 6, 7, 3},
                                  {0, 4, 6, 2},
                                  {1, 3, 7, 5}}) {
                m.faces.push_back(at(f));
            }
            break;
        case 2:
            m.add({ox + s, 0, 0});
            m.add({ox - s, 0, 0});
            m.add({ox, s, 0});
            m.add({ox, -s, 0});
            m.add({ox, 0, s});
            m.add({ox, 0, -s});
            for (const auto& f : {std::vector<int>{0, 2, 4},
                                  {2, 1, 4},
                                  {1, 3, 4},
                                  {3, 0, 4},
                                  {2, 0, 5},
                                  {1, 2, 5},
                                  {3, 1, 5},
                                  {0, 3, 5}}) {
                m.faces.push_back(at(f));
            }
            break;
        default: {
            const int n = r.between(3, 7);
            for (int level = 0; level < 2; ++level) {
                for (int i = 0; i < n; ++i) {
                    const double angle = 2 * std::numbers::pi * i / n;
                    m.add({ox + s * std::cos(angle), s * std::sin(angle), level * s});
                }
            }
            std::vector<int> bottom;
            std::vector<int> top;
            for (int i = 0; i < n; ++i) {
                const int j = (i + 1) % n;
                m.faces.push_back(at({i, j, n + j, n + i}));
                bottom.push_back(first + n - 1 - i);
                top.push_back(first + n + i);
            }
            m.faces.push_back(bottom);
            m.faces.push_back(top);
        }
    }
}

// Points at repeating positions and faces of 1 to 8 points drawn from them, repeats included.
void addScatter(Random& r, MeshPlan& m, int pointCount, int faceCount) {
    const int first = static_cast<int>(m.points.size());
    for (int i = 0; i < pointCount; ++i) {
        m.add({halfStep(r), halfStep(r), r.chance(0.5) ? 0 : halfStep(r)});
    }
    for (int f = 0; f < faceCount; ++f) {
        std::vector<int> face;
        const int size = r.chance(0.7) ? r.between(3, 5) : r.between(1, 8);
        for (int k = 0; k < size; ++k) {
            face.push_back(first + static_cast<int>(r.below(static_cast<uint64_t>(pointCount))));
        }
        m.faces.push_back(face);
    }
}

// The odd things files hold: a point named twice in a face, a copy of a point at the same
// position used in its place, a face of one or two points, a face naming the spare slot (the
// number behind the last point, which the mesh has), faces in another order, and rarely a
// point that does not exist.
void addOddities(Random& r, MeshPlan& m, double missingChance) {
    if (m.faces.empty()) {
        return;
    }
    auto someFace = [&]() -> std::vector<int>& { return m.faces[r.below(m.faces.size())]; };
    if (r.chance(0.3)) {
        std::vector<int>& face = someFace();
        const int again = face[r.below(face.size())];
        const size_t where = r.below(face.size() + 1);
        face.insert(face.begin() + static_cast<std::ptrdiff_t>(where), again);
    }
    if (r.chance(0.3)) {
        std::vector<int>& face = someFace();
        int& p = face[r.below(face.size())];
        if (p >= 0 && p < static_cast<int>(m.points.size())) {
            p = m.add(m.points[static_cast<size_t>(p)]);
        }
    }
    if (r.chance(0.2)) {
        const int n = static_cast<int>(m.points.size());
        m.faces.push_back(r.chance(0.5) ? std::vector<int>{static_cast<int>(r.below(n))}
                                        : std::vector<int>{static_cast<int>(r.below(n)),
                                                           static_cast<int>(r.below(n))});
    }
    if (r.chance(0.1)) {
        someFace().push_back(static_cast<int>(m.points.size()));  // the spare slot
    }
    if (r.chance(0.3)) {
        for (size_t i = m.faces.size(); i > 1; --i) {
            std::swap(m.faces[i - 1], m.faces[r.below(i)]);
        }
    }
    if (r.chance(missingChance)) {
        std::vector<int>& face = someFace();
        const int missing = r.chance(0.5) ? static_cast<int>(m.points.size()) + r.between(1, 5)
                                          : (r.chance(0.5) ? -1 : 32767);
        face[r.below(face.size())] = missing;
    }
}

// The file text of a plan, laid out in the ways the reader accepts: several groups on a line,
// the last ones on the brace's line, blank and comment lines, extra numbers in a face's point
// groups, a face count that does not match, and three kinds of line break.
std::string fileText(Random& r, const MeshPlan& m, char separator, bool oddLayout) {
    auto number = [&](double v) { return numtext::generalForm(v, separator); };
    std::vector<std::string> lines;
    lines.push_back(oddLayout && r.chance(0.3) ? "points { on the first line, never read"
                                               : "object { \"made by the oracle test\"");
    if (oddLayout && r.chance(0.3)) {
        lines.push_back("  // a comment before the section");
    }
    lines.push_back(oddLayout && r.chance(0.3) ? "   points {   " : "points {");
    std::string line;
    for (size_t i = 0; i < m.points.size(); ++i) {
        const Coords& c = m.points[i];
        if (!line.empty()) {
            line += r.chance(0.5) ? " " : " and ";
        }
        line += "(" + number(c.x) + " " + number(c.y) + " " + number(c.z) + ")";
        if (!oddLayout || r.chance(0.6)) {
            lines.push_back(line);
            line.clear();
        }
        if (oddLayout && r.chance(0.05)) {
            lines.push_back(r.chance(0.5) ? "" : "-- no group here --");
        }
    }
    if (!line.empty() && r.chance(0.5)) {
        // The last groups on the brace's line; a group behind the brace is not read.
        lines.push_back(line + (r.chance(0.5) ? "}" : " } (9 9 9)"));
    } else {
        if (!line.empty()) {
            lines.push_back(line);
        }
        lines.push_back("}");
    }
    lines.push_back(oddLayout && r.chance(0.2) ? "faces { 1 ( (0) )" : "faces {");
    for (const std::vector<int>& face : m.faces) {
        long long count = static_cast<long long>(face.size());
        if (oddLayout && r.chance(0.05)) {
            count += r.chance(0.5) ? 1 : -1;  // a count that does not match the groups
        }
        std::string text = std::to_string(count) + " (";
        for (int p : face) {
            text += oddLayout && r.chance(0.1)
                        ? " (" + std::to_string(p) + " 0" + separator + "5 1)"
                        : " (" + std::to_string(p) + ")";
        }
        lines.push_back((oddLayout && r.chance(0.1) ? "  " : "") + text + " )");
    }
    lines.push_back("}");
    lines.push_back("}");
    const char* lineBreak = "\n";
    if (oddLayout) {
        const uint64_t kind = r.below(4);
        lineBreak = kind == 0 ? "\r\n" : (kind == 1 ? "\r" : "\n");
    }
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || !oddLayout || r.chance(0.7)) {
            text += lineBreak;
        }
    }
    return text;
}

// A few bytes changed in a file text: removed, inserted, or the text cut short.
std::string damaged(Random& r, std::string text) {
    const int changes = r.between(1, 2);
    for (int i = 0; i < changes && !text.empty(); ++i) {
        const size_t at = r.below(text.size());
        const std::string alphabet = "() {}-+.,0123456789e\n ";
        switch (r.below(4)) {
            case 0:
                text.erase(at, 1);
                break;
            case 1:
                text.insert(at, 1, alphabet[r.below(alphabet.size())]);
                break;
            case 2:
                text[at] = alphabet[r.below(alphabet.size())];
                break;
            default:
                text.resize(at);
        }
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Thresholds

// One to three thresholds: some below every value, some exactly at a value or just above it, a
// few above everything, and plain numbers in the range of the values.
std::vector<double> thresholdsFor(Random& r, const std::vector<double>& values) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const int runs = r.between(1, 3);
    std::vector<double> thresholds;
    for (int i = 0; i < runs; ++i) {
        const double some = sorted.empty() ? r.unit() : sorted[r.below(sorted.size())];
        switch (r.below(8)) {
            case 0:
                thresholds.push_back(r.chance(0.5) ? -1.0 : 0.0);  // removes nothing
                break;
            case 1:
            case 2:
                thresholds.push_back(some);  // the point at that value stays, strictly below goes
                break;
            case 3:
                thresholds.push_back(std::nextafter(some, 1e308));
                break;
            case 4:
                thresholds.push_back(1e300);  // removes every point
                break;
            case 5:
                thresholds.push_back(sorted.empty() ? 0.5 : sorted[sorted.size() / 2]);
                break;
            default:
                thresholds.push_back(r.unit() * 2.5);
        }
    }
    return thresholds;
}

std::vector<double> valuesAfterStartUp(const std::vector<StepResult>& steps) {
    std::vector<double> values;
    for (const StepResult& s : steps) {
        if (s.step == Step::StartUp && s.state) {
            const std::vector<PointState>& points = s.state->points;
            for (size_t i = 0; i + 1 < points.size(); ++i) {  // not the spare slot
                values.push_back(std::bit_cast<double>(points[i].valueBits));
            }
        }
    }
    return values;
}

// ---------------------------------------------------------------------------------------------
// The model's side

MeshState meshState(const Mesh& mesh) {
    MeshState s;
    for (long long i = 0; i <= mesh.Points.upperBound(); ++i) {
        const Point& p = mesh.Points(i);
        PointState ps{std::bit_cast<uint64_t>(p.getX()),
                      std::bit_cast<uint64_t>(p.getY()),
                      std::bit_cast<uint64_t>(p.getZ()),
                      std::bit_cast<uint64_t>(p.getValue()),
                      {},
                      p.removed(),
                      p.everConnected()};
        for (int16_t k = 0; k <= p.getNumConns(); ++k) {
            ps.connections.push_back(p.getConn(mesh, k));
        }
        s.points.push_back(ps);
    }
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        try {
            s.faces.push_back(mesh.Faces(f).report());
        } catch (const std::exception& failure) {
            s.faces.push_back("report failed: " + describe(failure));
        }
    }
    return s;
}

// The job as the window does it: read and start up (a failure drops the mesh), then for each
// threshold the run and, when the run went through, the write, a failure of either shown and
// the next run starting from what it left.
std::vector<StepResult> modelJob(const std::string& text, const std::vector<double>& thresholds,
                                 char separator) {
    Mesh mesh;
    std::vector<StepResult> results;
    const numtext::LocaleNumbers numbers(separator);
    FaceLines faceLines;
    try {
        std::istringstream in(text);
        faceLines = readMesh(mesh, in, numbers);
    } catch (const std::exception& failure) {
        results.push_back({Step::Read, -1, describe(failure), std::nullopt, ""});
        return results;
    }
    results.push_back({Step::Read, -1, std::nullopt, meshState(mesh), ""});
    try {
        runStartupPasses(mesh, faceLines);
    } catch (const std::exception& failure) {
        results.push_back({Step::StartUp, -1, describe(failure), std::nullopt, ""});
        return results;
    }
    results.push_back({Step::StartUp, -1, std::nullopt, meshState(mesh), ""});
    for (size_t r = 0; r < thresholds.size(); ++r) {
        const int run = static_cast<int>(r);
        try {
            removePointsBelow(mesh, thresholds[r], [](long long) {});
        } catch (const std::exception& failure) {
            results.push_back({Step::Run, run, describe(failure), meshState(mesh), ""});
            continue;
        }
        results.push_back({Step::Run, run, std::nullopt, meshState(mesh), ""});
        std::ostringstream out;
        try {
            writeMeshText(
                mesh, out, numbers, [] {}, [](const std::string&) {});
        } catch (const std::exception& failure) {
            results.push_back({Step::Write, run, describe(failure), meshState(mesh), ""});
            continue;
        }
        results.push_back({Step::Write, run, std::nullopt, meshState(mesh), out.str()});
    }
    return results;
}

// ---------------------------------------------------------------------------------------------
// Telling the difference

std::string listText(const std::vector<int16_t>& list) {
    std::string text = "(";
    for (size_t i = 0; i < list.size(); ++i) {
        text += (i > 0 ? " " : "") + std::to_string(list[i]);
    }
    return text + ")";
}

std::string bitsText(uint64_t bits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g [%016llx]", std::bit_cast<double>(bits),
                  static_cast<unsigned long long>(bits));
    return text;
}

std::string pointDifference(size_t i, const PointState& m, const PointState& r) {
    const std::string at = "point " + std::to_string(i) + ": ";
    if (m.xBits != r.xBits || m.yBits != r.yBits || m.zBits != r.zBits) {
        return at + "coordinates (" + bitsText(m.xBits) + " " + bitsText(m.yBits) + " " +
               bitsText(m.zBits) + ") against (" + bitsText(r.xBits) + " " + bitsText(r.yBits) +
               " " + bitsText(r.zBits) + ")";
    }
    if (m.connections != r.connections) {
        return at + "connections " + listText(m.connections) + " against " +
               listText(r.connections);
    }
    if (m.valueBits != r.valueBits) {
        return at + "value " + bitsText(m.valueBits) + " against " + bitsText(r.valueBits);
    }
    if (m.removed != r.removed) {
        return at + "removed " + std::to_string(m.removed) + " against " +
               std::to_string(r.removed);
    }
    return at + "ever connected " + std::to_string(m.everConnected) + " against " +
           std::to_string(r.everConnected);
}

std::string stateDifference(const MeshState& m, const MeshState& r) {
    if (m.points.size() != r.points.size()) {
        return std::to_string(m.points.size()) + " point slots against " +
               std::to_string(r.points.size());
    }
    for (size_t i = 0; i < m.points.size(); ++i) {
        if (!(m.points[i] == r.points[i])) {
            return pointDifference(i, m.points[i], r.points[i]);
        }
    }
    if (m.faces.size() != r.faces.size()) {
        return std::to_string(m.faces.size()) + " faces against " + std::to_string(r.faces.size());
    }
    for (size_t f = 0; f < m.faces.size(); ++f) {
        if (m.faces[f] != r.faces[f]) {
            return "face " + std::to_string(f) + ": \"" + m.faces[f] + "\" against \"" +
                   r.faces[f] + "\"";
        }
    }
    return "";
}

// The line of a written text around byte at.
std::string lineAround(const std::string& text, size_t at) {
    const size_t begin = text.rfind('\n', std::min(at, text.size())) + 1;  // npos + 1 is 0
    const size_t end = text.find('\r', std::min(at, text.size()));
    return "\"" + text.substr(begin, end == std::string::npos ? std::string::npos : end - begin) +
           "\"";
}

std::string bytesDifference(const std::string& m, const std::string& r) {
    size_t at = 0;
    while (at < m.size() && at < r.size() && m[at] == r[at]) {
        ++at;
    }
    return "written bytes differ from byte " + std::to_string(at) + " (model " +
           std::to_string(m.size()) + " bytes, reference " + std::to_string(r.size()) +
           "): model line " + lineAround(m, at) + ", reference line " + lineAround(r, at);
}

// The first thing the two jobs disagree on, for a person to read; empty when they agree.
std::string firstDifference(const std::vector<StepResult>& model,
                            const std::vector<StepResult>& ref) {
    for (size_t i = 0; i < model.size() && i < ref.size(); ++i) {
        const StepResult& m = model[i];
        const StepResult& r = ref[i];
        const std::string name = reference::stepName(r);
        if (reference::stepName(m) != name) {
            return "step " + std::to_string(i) + " is " + reference::stepName(m) +
                   " in the model, " + name + " in the reference";
        }
        if (m.failure != r.failure) {
            return name + ": the model " +
                   (m.failure ? "failed with \"" + *m.failure + "\""
                              : std::string("went through")) +
                   ", the reference " +
                   (r.failure ? "failed with \"" + *r.failure + "\"" : std::string("went through"));
        }
        if (m.state.has_value() != r.state.has_value()) {
            return name + ": a state on one side only";
        }
        if (m.state && !(*m.state == *r.state)) {
            return name + ": " + stateDifference(*m.state, *r.state);
        }
        if (m.written != r.written) {
            return name + ": " + bytesDifference(m.written, r.written);
        }
    }
    if (model.size() != ref.size()) {
        return "the model has " + std::to_string(model.size()) + " steps, the reference " +
               std::to_string(ref.size());
    }
    return "";
}

// ---------------------------------------------------------------------------------------------
// Running a family

struct Case {
    std::string text;
    char separator = '.';
    // The runs' thresholds; when absent, thresholdsFor picks them from the values.
    std::optional<std::vector<double>> thresholds;
};

// What the reference did over a family's meshes, so that a family that stops exercising what
// it is there for (every mesh failing to load, no run removing anything) is noticed.
struct Tally {
    int meshes = 0;
    int loaded = 0;
    int readFailures = 0;
    int startUpFailures = 0;
    int runFailures = 0;
    int writeFailures = 0;
    int runsRemovingNothing = 0;
    int runsRemovingSome = 0;
    int runsRemovingAll = 0;
    int rebuiltFacesWritten = 0;
    int openPositions = 0;  // a face reporting a -1 position after a write
    // Whether the family ran enough meshes for its mix to be judged: not for a single seed or a
    // handful asked for through the environment.
    bool judged = false;

    void count(const std::vector<StepResult>& steps) {
        ++meshes;
        const MeshState* before = nullptr;
        for (const StepResult& s : steps) {
            if (s.failure) {
                switch (s.step) {
                    case Step::Read:
                        ++readFailures;
                        break;
                    case Step::StartUp:
                        ++startUpFailures;
                        break;
                    case Step::Run:
                        ++runFailures;
                        break;
                    case Step::Write:
                        ++writeFailures;
                }
            }
            if (s.step == Step::StartUp && !s.failure) {
                ++loaded;
            }
            if (s.step == Step::Run && !s.failure && before != nullptr) {
                const long long removedBefore = removedCount(*before);
                const long long removedAfter = removedCount(*s.state);
                if (removedAfter == removedBefore) {
                    ++runsRemovingNothing;
                } else if (removedAfter == static_cast<long long>(s.state->points.size()) - 1) {
                    ++runsRemovingAll;
                } else {
                    ++runsRemovingSome;
                }
            }
            if (s.step == Step::Write && !s.failure) {
                for (const std::string& face : s.state->faces) {
                    rebuiltFacesWritten += face.find(" NEW ") != std::string::npos &&
                                           face.find(" GONE ") == std::string::npos;
                    openPositions += face.find("(-1)") != std::string::npos;
                }
            }
            if (s.state) {
                before = &*s.state;
            }
        }
    }

    static long long removedCount(const MeshState& state) {
        long long removed = 0;
        for (size_t i = 0; i + 1 < state.points.size(); ++i) {
            removed += state.points[i].removed ? 1 : 0;
        }
        return removed;
    }
};

// As in the program, nobody reads the diagnostic texts: the model's meshes are not observed.
class OracleTest : public ::testing::Test {
protected:
    // Runs every seed's mesh through both implementations; reports the first mesh that differs
    // in full and how many differ in all.
    Tally runFamily(const char* family, uint64_t firstSeed, long long count,
                    const std::function<Case(Random&)>& makeCase) {
        Tally tally;
        int differing = 0;
        std::string firstReport;
        const std::vector<uint64_t> seeds = seedsFor(firstSeed, count);
        tally.judged = !environmentNumber("MESHTHIN_ORACLE_SEED") &&
                       static_cast<long long>(seeds.size()) >= sanitizedCount(count);
        for (uint64_t seed : seeds) {
            Random r(seed);
            const Case c = makeCase(r);
            const std::vector<double> thresholds =
                c.thresholds
                    ? *c.thresholds
                    : thresholdsFor(r,
                                    valuesAfterStartUp(reference::runJob(c.text, {}, c.separator)));
            const std::vector<StepResult> ref = reference::runJob(c.text, thresholds, c.separator);
            const std::vector<StepResult> model = modelJob(c.text, thresholds, c.separator);
            tally.count(ref);
            const std::string difference = firstDifference(model, ref);
            if (difference.empty()) {
                continue;
            }
            if (++differing == 1) {
                std::ostringstream report;
                report << "family " << family << ", seed " << seed << " (rerun it alone with "
                       << "MESHTHIN_ORACLE_SEED=" << seed << " and --gtest_filter=*" << family
                       << "*)\n"
                       << difference << "\nseparator '" << c.separator << "', thresholds";
                for (double t : thresholds) {
                    report << ' ' << std::hexfloat << t << std::defaultfloat << " ("
                           << shortestText(t) << ')';
                }
                report << "\nmesh text:\n" << c.text;
                firstReport = report.str();
            }
        }
        std::printf(
            "%s: %d meshes, %d loaded; failures: %d read, %d start-up, %d run, %d write; runs "
            "removing nothing %d, some %d, all %d; rebuilt faces written %d, open positions %d\n",
            family, tally.meshes, tally.loaded, tally.readFailures, tally.startUpFailures,
            tally.runFailures, tally.writeFailures, tally.runsRemovingNothing,
            tally.runsRemovingSome, tally.runsRemovingAll, tally.rebuiltFacesWritten,
            tally.openPositions);
        EXPECT_EQ(differing, 0) << differing << " of " << tally.meshes
                                << " meshes differ; the first:\n"
                                << firstReport;
        return tally;
    }
};

// ---------------------------------------------------------------------------------------------
// The families

TEST_F(OracleTest, ScatteredFacesWithRepeatedAndMissingPoints) {
    const Tally t = runFamily("ScatteredFaces", 1'000'000, 3000, [](Random& r) {
        MeshPlan m;
        const int points = r.between(3, 40);
        addScatter(r, m, points, r.chance(0.05) ? 0 : r.between(1, 30));
        addOddities(r, m, 0.15);
        return Case{fileText(r, m, '.', r.chance(0.2)), '.', std::nullopt};
    });
    if (t.judged) {
        EXPECT_GT(t.loaded, t.meshes / 2);
        EXPECT_GT(t.startUpFailures, 0);  // the missing points
        EXPECT_GT(t.runsRemovingNothing, 0);
        EXPECT_GT(t.runsRemovingSome, 0);
        EXPECT_GT(t.runsRemovingAll, 0);
        EXPECT_GT(t.openPositions, 0);
    }
}

TEST_F(OracleTest, GridsFansAndClosedShapesTogether) {
    const Tally t = runFamily("Shapes", 2'000'000, 3000, [](Random& r) {
        MeshPlan m;
        const int parts = r.between(1, 3);
        for (int i = 0; i < parts && m.points.size() < 50; ++i) {
            switch (r.below(4)) {
                case 0:
                    addGrid(r, m);
                    break;
                case 1: {
                    const int triangles = r.between(3, 12);
                    const bool closed = r.chance(0.6);
                    addFan(r, m, triangles, closed, 0.5 * r.between(1, 6));
                } break;
                case 2:
                    addClosedShape(r, m);
                    break;
                default: {
                    const int points = r.between(3, 10);
                    addScatter(r, m, points, r.between(1, 6));
                }
            }
        }
        addOddities(r, m, 0.03);
        const char separator = r.chance(0.1) ? ',' : '.';
        return Case{fileText(r, m, separator, r.chance(0.2)), separator, std::nullopt};
    });
    if (t.judged) {
        EXPECT_GT(t.loaded, t.meshes * 9 / 10);
        EXPECT_GT(t.runsRemovingNothing, 0);
        EXPECT_GT(t.runsRemovingSome, t.meshes / 4);
        EXPECT_GT(t.runsRemovingAll, 0);
        EXPECT_GT(t.rebuiltFacesWritten, 0);
        EXPECT_GT(t.openPositions, 0);
    }
}

TEST_F(OracleTest, BigFansAroundOnePoint) {
    const Tally t = runFamily("BigFans", 3'000'000, 30, [](Random& r) {
        MeshPlan m;
        const int triangles = r.between(50, 200);
        addFan(r, m, triangles, r.chance(0.7), 2);
        if (r.chance(0.5)) {
            addClosedShape(r, m);
        }
        addOddities(r, m, 0);
        return Case{fileText(r, m, '.', false), '.', std::nullopt};
    });
    if (t.judged) {
        EXPECT_EQ(t.loaded, t.meshes);
        EXPECT_GT(t.runsRemovingSome, 0);  // the centre, and with it the largest rebuilt face
    }
}

// Runs deep enough for the neighbourhoods to grow large: whole fans removed, grids at thresholds
// high above their values, and second and third runs on what the runs before left (written in
// between, so that the ring walk has reordered the rebuilt faces and left gaps in some).
TEST_F(OracleTest, DeepRunsThroughLargeNeighbourhoods) {
    const Tally t = runFamily("DeepRuns", 6'000'000, 120, [](Random& r) {
        MeshPlan m;
        const int kind = static_cast<int>(r.below(3));
        if (kind == 0) {
            addFan(r, m, r.between(16, 120), r.chance(0.7), 0.5 * r.between(1, 6));
        } else {
            addGridOf(r, m, r.between(5, 13), r.between(5, 12));
        }
        if (kind == 2) {
            addFan(r, m, r.between(16, 60), r.chance(0.5), 2);
            addScatter(r, m, r.between(3, 10), r.between(1, 8));
        }
        addOddities(r, m, 0);
        Case c{fileText(r, m, '.', r.chance(0.2)), '.', std::vector<double>{}};
        // Up to three runs, each at least as deep as the one before: deep values, values far
        // above any start-up value (rewired points gain many connections), and every point.
        double threshold = 0.5 + r.unit() * 2.5;
        const int runs = r.between(1, 3);
        for (int i = 0; i < runs; ++i) {
            switch (r.below(4)) {
                case 0:
                    threshold += r.unit() * 3;
                    break;
                case 1:
                    threshold = std::max(threshold, 5.0 + r.unit() * 40);
                    break;
                case 2:
                    threshold = std::max(threshold, 100.0 * r.between(1, 10));
                    break;
                default:
                    threshold = 1e300;
            }
            c.thresholds->push_back(threshold);
        }
        return c;
    });
    if (t.judged) {
        EXPECT_EQ(t.loaded, t.meshes);
        EXPECT_GT(t.runsRemovingSome, t.meshes / 4);
        EXPECT_GT(t.runsRemovingAll, t.meshes / 8);
        EXPECT_GT(t.rebuiltFacesWritten, 0);
        EXPECT_GT(t.openPositions, 0);
    }
}

// Coordinates so far apart that a squared distance passes the double range: fans whose ring
// points are fine as neighbours, but not once the centre is gone and they all meet.
TEST_F(OracleTest, DistancesBeyondTheDoubleRangeFailAtTheSameStep) {
    const Tally t = runFamily("Overflow", 4'000'000, 300, [](Random& r) {
        MeshPlan m;
        const int triangles = r.between(6, 12);
        addFan(r, m, triangles, true, r.chance(0.7) ? 1e154 : 1e150);
        if (r.chance(0.5)) {
            addGrid(r, m);
        }
        if (r.chance(0.2)) {
            Coords& far = m.points[r.below(m.points.size())];
            far.x = r.chance(0.5) ? -1.5e154 : 1.5e154;
        }
        return Case{fileText(r, m, '.', false), '.', std::nullopt};
    });
    if (t.judged) {
        EXPECT_GT(t.startUpFailures, 0);   // the point moved far out
        EXPECT_GT(t.runFailures, 0);       // the ring points meeting across the removed centre
        EXPECT_GT(t.runsRemovingSome, 0);  // the fans of 1e150, which stay in range
    }
}

TEST_F(OracleTest, DamagedFilesFailOrLoadAlike) {
    const Tally t = runFamily("Damaged", 5'000'000, 2000, [](Random& r) {
        MeshPlan m;
        if (r.chance(0.5)) {
            addGrid(r, m);
        } else {
            const int points = r.between(3, 12);
            addScatter(r, m, points, r.between(1, 8));
        }
        addOddities(r, m, 0.05);
        const char separator = r.chance(0.2) ? ',' : '.';
        return Case{damaged(r, fileText(r, m, separator, r.chance(0.5))), separator, std::nullopt};
    });
    if (t.judged) {
        EXPECT_GT(t.readFailures, t.meshes / 10);
        EXPECT_GT(t.loaded, t.meshes / 10);
    }
}

// The command line's bytes and run lines are those of the reference's runs, each saved, and a
// failure is told with the reference's text.
TEST_F(OracleTest, TheBatchWritesWhatTheReferenceWrites) {
    TempDir dir;
    int compared = 0;
    const std::vector<uint64_t> seeds = seedsFor(6'000'000, 40);
    for (uint64_t seed : seeds) {
        Random r(seed);
        MeshPlan m;
        addGrid(r, m);
        if (r.chance(0.5)) {
            addClosedShape(r, m);
        }
        addOddities(r, m, 0.1);
        const std::string text = fileText(r, m, '.', r.chance(0.3));
        const std::vector<double> thresholds =
            thresholdsFor(r, valuesAfterStartUp(reference::runJob(text, {}, '.')));
        const std::vector<StepResult> ref = reference::runJob(text, thresholds, '.');

        const std::string input = dir.path("in.mesh").string();
        const std::string output = dir.path("out.mesh").string();
        writeFile(input, text);
        std::filesystem::remove(output);
        BatchRequest request;
        request.file = input;
        request.output = output;
        for (double t : thresholds) {
            request.thresholdTexts.push_back(shortestText(t));
        }
        std::ostringstream out;
        std::ostringstream err;
        const int status = runBatch(request, out, err);

        // The batch stops at the first failure; the run lines before it are printed.
        std::string expectedOut;
        std::string expectedErr;
        std::string lastWritten;
        const MeshState* before = nullptr;
        for (const StepResult& s : ref) {
            if (s.failure) {
                const bool loading = s.step == Step::Read || s.step == Step::StartUp;
                expectedErr = std::string(kProgramName) + ": " + input + ": " +
                              (loading ? kLoadErrorPrefix : kWriteErrorPrefix) + *s.failure + "\n";
                break;
            }
            if (s.step == Step::Write) {
                const long long left = static_cast<long long>(s.state->points.size()) - 1 -
                                       Tally::removedCount(*s.state);
                const long long removed =
                    Tally::removedCount(*s.state) - Tally::removedCount(*before);
                expectedOut +=
                    runLine({thresholds[static_cast<size_t>(s.run)], removed, left}) + "\n";
                lastWritten = s.written;
            }
            if (s.step != Step::Run) {
                before = &*s.state;
            }
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ", mesh text:\n" + text);
        EXPECT_EQ(err.str(), expectedErr);
        EXPECT_EQ(out.str(), expectedOut);
        EXPECT_EQ(status, expectedErr.empty() ? 0 : 1);
        if (expectedErr.empty()) {
            EXPECT_EQ(readFile(output), lastWritten);
            ++compared;
        } else {
            EXPECT_FALSE(std::filesystem::exists(output));
        }
    }
    if (static_cast<long long>(seeds.size()) >= sanitizedCount(40)) {
        EXPECT_GT(compared, static_cast<int>(seeds.size()) / 4);
    }
}

}  // namespace
}  // namespace meshthin::testing
