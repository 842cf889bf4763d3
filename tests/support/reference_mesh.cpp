// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/reference_mesh.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "meshio/numtext.h"

namespace meshthin::reference {

namespace {

// Every failure of the job is an exception carrying the same text as the model's.
[[noreturn]] void fail(const std::string& text) {
    throw std::runtime_error(text);
}

const char* const kOverflow = "Overflow";
const char* const kIndexOutOfRange = "Index out of range";

// Point numbers, positions and character positions are 16-bit; beyond that is an overflow.
int16_t fit16(long long value) {
    if (value < INT16_MIN || value > INT16_MAX) {
        fail(kOverflow);
    }
    return static_cast<int16_t>(value);
}

int32_t fit32(long long value) {
    if (value < INT32_MIN || value > INT32_MAX) {
        fail(kOverflow);
    }
    return static_cast<int32_t>(value);
}

bool holds(const std::vector<int16_t>& list, int16_t number) {
    for (int16_t entry : list) {
        if (entry == number) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Text

// The 1-based position of what in line at or after position from, 0 when it is not there.
// Positions count like the model's line parsing: a result past 32767 is an overflow.
int16_t findFrom(std::string_view line, long long from, std::string_view what) {
    if (from < 1) {
        from = 1;
    }
    if (from > static_cast<long long>(line.size())) {
        return 0;
    }
    const size_t at = line.find(what, static_cast<size_t>(from - 1));
    if (at == std::string_view::npos) {
        return 0;
    }
    return fit16(static_cast<long long>(at) + 1);
}

// The characters strictly between the 1-based positions open and close (open may be 0, "before
// the first character"); close is always a position found in the line.
std::string_view between(std::string_view line, long long open, long long close) {
    if (close <= open + 1) {
        return {};
    }
    return line.substr(static_cast<size_t>(open), static_cast<size_t>(close - open - 1));
}

std::string_view withoutOuterSpaces(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The lines of the text: CR LF, LF and a lone CR each end one; a break at the very end does
// not start another line. Asking for a line past the last is the end-of-file failure.
class Lines {
public:
    explicit Lines(std::string_view text) {
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find_first_of("\r\n", at);
            if (end == std::string_view::npos) {
                end = text.size();
            }
            all.push_back(text.substr(at, end - at));
            if (end == text.size()) {
                break;
            }
            at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
    }

    // The failure at the end names what the file lacked there.
    std::string_view next(const char* lacking) {
        if (used == all.size()) {
            fail(std::string("Input past end of file (") + lacking + ")");
        }
        return all[used++];
    }

    // The 1-based number of the line next() gave last.
    long long number() const { return static_cast<long long>(used); }

private:
    std::vector<std::string_view> all;
    size_t used = 0;
};

constexpr const char* kInsideThePoints = "inside the points";
constexpr const char* kInsideTheFaces = "inside the faces";

std::string lineSuffix(long long lineNumber) {
    return " (line " + std::to_string(lineNumber) + ")";
}

// ---------------------------------------------------------------------------------------------
// The records

struct MeshPoint {
    double x = 0;
    double y = 0;
    double z = 0;
    double value = 0;
    // Starts with the single entry 0, which reads exactly like a connection to point 0.
    std::vector<int16_t> links{0};
    bool secondEntryUsed = false;  // the second entry was filled once (never cleared)
    bool everConnected = false;
    bool removed = false;
    int32_t outputNumber = 0;  // the number of the last write that wrote the point
};

struct MeshFace {
    // Positions 0..lastPos are the face's points. The vector may be longer: a face read from
    // the file has one more position holding 0, shrink leaves the old tail behind, and the
    // ring walk of a rebuilt face sees the whole vector.
    std::vector<int16_t> slots;
    long long lastPos = 0;
    bool gone = false;
    bool rebuilt = false;
};

class Mesh {
public:
    explicit Mesh(char separator) : separator(separator) {}

    void read(std::string_view text);
    void startUp();
    void removeBelow(double threshold);
    std::string write();
    MeshState state() const;

private:
    MeshPoint& point(long long number);
    static int16_t slotAt(const MeshFace& face, long long position);
    long long spare() const { return static_cast<long long>(points.size()) - 1; }

    // Reading
    void readPoints(Lines& lines);
    void readFaces(Lines& lines);
    int16_t readGroup(std::string_view section, int16_t from, MeshPoint& into) const;
    MeshFace readFace(std::string_view line) const;

    // Connections and values
    static void addLink(MeshPoint& p, int16_t other);
    static void closeLinks(MeshPoint& p);
    static void dropLink(MeshPoint& p, int16_t other);
    void registerRing(const MeshFace& face);
    bool namesMissingPoint(const MeshFace& face) const;
    void analyze(MeshPoint& p);

    // Removal and writing
    void removePoint(int16_t number);
    void shrink(MeshFace& face);
    void walkRing(MeshFace& face);
    void writeFace(MeshFace& face, std::string& out);
    static std::string report(const MeshFace& face);

    char separator;
    std::vector<MeshPoint> points;  // the spare slot last
    std::vector<MeshFace> faces;
    std::vector<long long> faceLines;
};

MeshPoint& Mesh::point(long long number) {
    if (number < 0 || number > spare()) {
        fail(kIndexOutOfRange);
    }
    return points[static_cast<size_t>(number)];
}

int16_t Mesh::slotAt(const MeshFace& face, long long position) {
    if (position < 0 || position >= static_cast<long long>(face.slots.size())) {
        fail(kIndexOutOfRange);
    }
    return face.slots[static_cast<size_t>(position)];
}

// ---------------------------------------------------------------------------------------------
// Reading

void Mesh::read(std::string_view text) {
    Lines lines(text);
    const char* const beforePoints = "the file ends before its \"points {\" line";
    lines.next(beforePoints);  // the first line is never looked at
    while (lines.next(beforePoints).find("points {") == std::string_view::npos) {
    }
    readPoints(lines);
    while (lines.next("before its \"faces {\" line").find("faces {") == std::string_view::npos) {
    }
    readFaces(lines);
}

// Groups are read from each line up to its first "}"; the line holding that brace closes the
// section once its groups are read. Behind the points comes the spare slot: the slot of the
// attempt that found no further group, at the origin with the list (0).
void Mesh::readPoints(Lines& lines) {
    std::string_view line = lines.next(kInsideThePoints);
    int16_t from = 1;
    for (;;) {
        const std::string_view section = line.substr(0, line.find('}'));
        MeshPoint found;
        try {
            const int16_t close = readGroup(section, from, found);
            if (close >= 0) {
                if (points.size() == 32767) {
                    fail(kOverflow);  // the next point number would not be 16-bit
                }
                points.push_back(found);
                from = close;
                continue;
            }
        } catch (const std::exception& failure) {
            fail(failure.what() + lineSuffix(lines.number()));
        }
        if (line.find('}') != std::string_view::npos) {
            break;
        }
        line = lines.next(kInsideThePoints);
        from = 1;
    }
    points.emplace_back();
}

// "(x y z)": the first "(" at or after from, the next two blanks and the ")" after them.
// Returns the position of the ")", or -1 when there is no further "(".
int16_t Mesh::readGroup(std::string_view section, int16_t from, MeshPoint& into) const {
    const int16_t open = findFrom(section, from, "(");
    if (open == 0) {
        return -1;
    }
    const char* const malformed = "Malformed point group (expected \"(x y z)\")";
    const int16_t blank1 = findFrom(section, fit16(open + 1LL), " ");
    if (blank1 == 0) {
        fail(malformed);
    }
    const int16_t blank2 = findFrom(section, fit16(blank1 + 1LL), " ");
    if (blank2 == 0) {
        fail(malformed);
    }
    const int16_t close = findFrom(section, fit16(blank2 + 1LL), ")");
    if (close == 0) {
        fail(malformed);
    }
    into.x = numtext::toDouble(between(section, open, blank1), separator);
    into.y = numtext::toDouble(between(section, blank1, blank2), separator);
    into.z = numtext::toDouble(between(section, blank2, close), separator);
    return close;
}

// The first line after "faces {" is always a face, even one holding "}"; after it, a line
// holding "}" ends the section.
void Mesh::readFaces(Lines& lines) {
    std::string_view line = lines.next(kInsideTheFaces);
    for (;;) {
        faceLines.push_back(lines.number());
        try {
            faces.push_back(readFace(line));
        } catch (const std::exception& failure) {
            fail(failure.what() + lineSuffix(lines.number()));
        }
        line = lines.next(kInsideTheFaces);
        if (line.find('}') != std::string_view::npos) {
            return;
        }
    }
}

// "N ... ( (p0 ...) (p1 ...) ... )". N positions are read, whatever the line holds: each from
// the next "(" to the ")" after it, up to the first blank. When no "(" is left the search starts
// again at the beginning of the line (the text before the first ")" is read). A line without a
// blank has no count and no points.
MeshFace Mesh::readFace(std::string_view whole) const {
    const std::string_view line = withoutOuterSpaces(whole);
    MeshFace face;
    const int16_t blank = findFrom(line, 1, " ");
    if (blank == 0) {
        face.lastPos = -1;
    } else {
        const int16_t count = numtext::toInt16(line.substr(0, blank - 1u), separator);
        if (count < 0) {
            fail("Negative point count in a face line");
        }
        face.slots.assign(static_cast<size_t>(count) + 1, 0);  // the last position stays 0
        face.lastPos = count - 1;
    }
    long long open = findFrom(line, 1, "(");  // the "(" that opens the list
    for (long long k = 0; k <= face.lastPos; ++k) {
        open = findFrom(line, open + 1, "(");
        const int16_t close = findFrom(line, open + 1, ")");
        if (close <= open) {
            fail("Malformed face line (missing \")\")");
        }
        const std::string_view inside = between(line, open, close);
        face.slots[static_cast<size_t>(k)] =
            numtext::toInt16(inside.substr(0, inside.find(' ')), separator);
    }
    return face;
}

// ---------------------------------------------------------------------------------------------
// Connections and values

// The first rule that applies, and only that one:
//   1. two or more entries, one of them other: nothing;
//   2. one entry: it becomes other, and an open slot -1 follows;
//   3. two entries and the second never used: the second becomes other;
//   4. other is appended.
void Mesh::addLink(MeshPoint& p, int16_t other) {
    if (p.links.size() >= 2 && holds(p.links, other)) {
        return;
    }
    p.everConnected = true;
    if (p.links.size() == 1) {
        p.links[0] = other;
        p.links.push_back(-1);
    } else if (p.links.size() == 2 && !p.secondEntryUsed) {
        p.links[1] = other;
        p.secondEntryUsed = true;
    } else {
        fit16(static_cast<long long>(p.links.size()));  // the new last index
        p.links.push_back(other);
    }
}

// Ends a run of additions: an open slot at the end goes.
void Mesh::closeLinks(MeshPoint& p) {
    if (!p.links.empty() && p.links.back() == -1) {
        p.links.pop_back();
    }
}

// Takes other out of the list, walking it once from the front: after an entry is taken out the
// walk goes on at the next position, so the entry that moved up into its place is not looked
// at. The list never gets shorter than one entry. (The rules of addLink never put a number in
// a list twice, so the skipped entry is never other as long as they stay as they are.)
void Mesh::dropLink(MeshPoint& p, int16_t other) {
    for (size_t i = 0; i < p.links.size(); ++i) {
        if (p.links[i] == other && p.links.size() > 1) {
            p.links.erase(p.links.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

// Position i links to its ring neighbours: i - 1 and i + 1, for the first position the next one
// and the last, for the last the first and the one before. A face of one point reads position
// 1 as its next, the 0 behind the points of a face from the file.
void Mesh::registerRing(const MeshFace& face) {
    const long long last = face.lastPos;
    for (long long i = 0; i <= last; ++i) {
        MeshPoint& p = point(slotAt(face, i));
        if (i > 0 && i < last) {
            addLink(p, slotAt(face, i - 1));
            addLink(p, slotAt(face, i + 1));
        } else if (i == 0) {
            addLink(p, slotAt(face, 1));
            addLink(p, slotAt(face, last));
        } else {
            addLink(p, slotAt(face, 0));
            addLink(p, slotAt(face, last - 1));
        }
        closeLinks(p);
    }
}

bool Mesh::namesMissingPoint(const MeshFace& face) const {
    for (long long i = 0; i <= face.lastPos; ++i) {
        const int16_t p = slotAt(face, i);
        if (p < 0 || p > spare()) {
            return true;
        }
    }
    return false;
}

void Mesh::startUp() {
    for (size_t f = 0; f < faces.size(); ++f) {
        try {
            registerRing(faces[f]);
        } catch (const std::exception& failure) {
            const std::string text = namesMissingPoint(faces[f])
                                         ? "Face names a point that does not exist"
                                         : failure.what();
            fail(text + lineSuffix(faceLines[f]));
        }
    }
    for (long long i = 0; i < spare(); ++i) {
        analyze(points[static_cast<size_t>(i)]);
    }
}

// The length of the sum, in list order, of the unit vectors from each linked point towards p;
// a linked point at p's own position adds nothing.
void Mesh::analyze(MeshPoint& p) {
    double sumX = 0;
    double sumY = 0;
    double sumZ = 0;
    for (int16_t n : p.links) {
        const MeshPoint& other = point(n);
        double dx = p.x - other.x;
        double dy = p.y - other.y;
        double dz = p.z - other.z;
        if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) {
            fail(kOverflow);
        }
        const double squares = dx * dx + dy * dy + dz * dz;
        if (!std::isfinite(squares)) {
            fail(kOverflow);
        }
        const double length = std::sqrt(squares);
        if (length != 0) {
            dx /= length;
            dy /= length;
            dz /= length;
        }
        sumX += dx;
        sumY += dy;
        sumZ += dz;
    }
    p.value = std::sqrt(sumX * sumX + sumY * sumY + sumZ * sumZ);
}

// ---------------------------------------------------------------------------------------------
// Removal

void Mesh::removeBelow(double threshold) {
    for (long long i = 0; i < spare(); ++i) {
        MeshPoint& p = points[static_cast<size_t>(i)];
        if (p.value < threshold && !p.removed) {
            removePoint(static_cast<int16_t>(i));
        }
    }
}

void Mesh::removePoint(int16_t number) {
    point(number).removed = true;

    // Every face that holds the point, gone ones included, goes.
    std::vector<size_t> holding;
    for (size_t f = 0; f < faces.size(); ++f) {
        for (long long i = 0; i <= faces[f].lastPos; ++i) {
            if (slotAt(faces[f], i) == number) {
                holding.push_back(f);
                break;
            }
        }
    }
    for (size_t f : holding) {
        faces[f].gone = true;
    }

    // Each neighbour, in list order, forgets the point, links to the point's other neighbours
    // (an open slot closed after each) and takes its new value at once. The list is copied: the
    // point may be its own neighbour.
    const std::vector<int16_t> neighbours = point(number).links;
    for (size_t i = 0; i < neighbours.size(); ++i) {
        MeshPoint& n = point(neighbours[i]);
        dropLink(n, number);
        for (size_t j = 0; j < neighbours.size(); ++j) {
            if (j != i) {
                addLink(n, neighbours[j]);
            }
            closeLinks(n);
        }
        analyze(n);
    }

    // One new face at the end: the point's list as it is now, then the points of the faces
    // that went, in their order, that are neither -1 nor removed nor already in.
    std::vector<int16_t> ring = point(number).links;
    faces.emplace_back();  // the slot exists before it is filled
    for (size_t f : holding) {
        const MeshFace& old = faces[f];
        for (long long j = 0; j <= old.lastPos; ++j) {
            const int16_t p = slotAt(old, j);
            if (p == -1 || point(p).removed || holds(ring, p)) {
                continue;
            }
            fit16(static_cast<long long>(ring.size()));
            ring.push_back(p);
        }
    }
    MeshFace& rebuilt = faces.back();
    rebuilt.slots = ring;
    rebuilt.lastPos = fit16(static_cast<long long>(ring.size()) - 1);
    rebuilt.rebuilt = true;
}

// ---------------------------------------------------------------------------------------------
// Writing

std::string Mesh::write() {
    std::string out = writtenHeader() + "\r\n";
    int32_t next = 0;
    for (MeshPoint& p : points) {
        if (p.removed) {
            continue;
        }
        p.outputNumber = next;
        out += '(';
        out += numtext::generalForm(numtext::roundHalfEven(p.x, 5), separator);
        out += ' ';
        out += numtext::generalForm(numtext::roundHalfEven(p.y, 5), separator);
        out += ' ';
        out += numtext::generalForm(numtext::roundHalfEven(p.z, 5), separator);
        out += ")\r\n";
        next = fit32(next + 1LL);
    }
    out += "}faces {\r\n";
    for (MeshFace& face : faces) {
        writeFace(face, out);
    }
    for (int i = 0; i < 3; ++i) {
        out += " } \r\n";
    }
    return out;
}

// Removed points leave positions 0..lastPos, the rest moving up; the vector keeps its length.
// A face left with fewer than three positions is gone.
void Mesh::shrink(MeshFace& face) {
    long long i = 0;
    while (i <= face.lastPos) {
        const int16_t p = slotAt(face, i);
        if (p != -1 && point(p).removed) {
            for (long long k = i; k < face.lastPos; ++k) {
                face.slots[static_cast<size_t>(k)] = face.slots[static_cast<size_t>(k + 1)];
            }
            --face.lastPos;
        } else {
            ++i;
        }
    }
    if (face.lastPos < 2) {
        face.gone = true;
    }
}

// The ring order of a rebuilt face: from its first point, step to the first linked point (in
// list order) that is anywhere in the face's vector and not stepped on yet, until a point has
// none. The steps fill a vector as long as the face's, the rest -1; lastPos stays.
void Mesh::walkRing(MeshFace& face) {
    std::vector<int16_t> order(face.slots.size(), -1);
    int16_t current = slotAt(face, 0);
    order[0] = current;
    std::vector<int16_t> visited{current};
    size_t filled = 1;
    for (bool moved = true; moved;) {
        moved = false;
        for (int16_t q : point(current).links) {
            if (holds(face.slots, q) && !holds(visited, q)) {
                order.at(filled) = q;
                ++filled;
                visited.push_back(q);
                current = q;
                moved = true;
                break;
            }
        }
    }
    face.slots = order;
}

// A face that is gone or has fewer than three positions is not written. Otherwise it shrinks, a
// rebuilt one takes its ring order, and it is written if three or more positions hold a point
// that is not removed: the count of those, then each point's output number. (The ring walk can
// step onto a removed point that shrink left behind lastPos.) A face from the file keeps its own
// order; the model walks it too, but only for its diagnostic texts, and that walk cannot fail
// (every number in the face is one the start-up passes found in the mesh), so it is left out
// here.
void Mesh::writeFace(MeshFace& face, std::string& out) {
    if (face.gone || face.lastPos < 2) {
        return;
    }
    shrink(face);
    if (face.rebuilt) {
        walkRing(face);
    }
    std::vector<int16_t> named;
    for (long long j = 0; j <= face.lastPos; ++j) {
        const int16_t p = slotAt(face, j);
        if (p != -1 && !point(p).removed) {
            named.push_back(p);
        }
    }
    if (named.size() < 3) {
        return;
    }
    out += std::to_string(named.size()) + " 0 0 -1 ( ";
    for (int16_t p : named) {
        out += " ( " + std::to_string(point(p).outputNumber) + " ) ";
    }
    out += "  ) \r\n";
}

// ---------------------------------------------------------------------------------------------
// What the model reports

std::string Mesh::report(const MeshFace& face) {
    std::string text;
    for (long long i = 0; i <= face.lastPos; ++i) {
        text += "(" + std::to_string(slotAt(face, i)) + ")";
    }
    if (face.rebuilt) {
        text += " NEW ";
    }
    if (face.gone) {
        text += " GONE ";
    }
    return text;
}

MeshState Mesh::state() const {
    MeshState s;
    for (const MeshPoint& p : points) {
        s.points.push_back(PointState{std::bit_cast<uint64_t>(p.x), std::bit_cast<uint64_t>(p.y),
                                      std::bit_cast<uint64_t>(p.z),
                                      std::bit_cast<uint64_t>(p.value), p.links, p.removed,
                                      p.everConnected});
    }
    for (const MeshFace& face : faces) {
        try {
            s.faces.push_back(report(face));
        } catch (const std::exception& failure) {
            s.faces.push_back(std::string("report failed: ") + failure.what());
        }
    }
    return s;
}

}  // namespace

std::string stepName(const StepResult& result) {
    switch (result.step) {
        case Step::Read:
            return "read";
        case Step::StartUp:
            return "start-up";
        case Step::Run:
            return "run " + std::to_string(result.run);
        case Step::Write:
            return "write " + std::to_string(result.run);
    }
    return "?";
}

std::string writtenHeader() {
    return "object { \"object01\"  mesh {    name { \"mesh01\" } base { origin { (-2.2923 3.7249 "
           "0) } } material { \"-- default --\" } smoothangle { 45 } /* 362 points, 360 faces, "
           "573 uvCoords */ materiallist { materialname { \" -- default --\" } } points {";
}

std::vector<StepResult> runJob(std::string_view text, const std::vector<double>& thresholds,
                               char separator) {
    std::vector<StepResult> results;
    Mesh mesh(separator);
    try {
        mesh.read(text);
    } catch (const std::exception& failure) {
        results.push_back({Step::Read, -1, failure.what(), std::nullopt, ""});
        return results;
    }
    results.push_back({Step::Read, -1, std::nullopt, mesh.state(), ""});
    try {
        mesh.startUp();
    } catch (const std::exception& failure) {
        results.push_back({Step::StartUp, -1, failure.what(), std::nullopt, ""});
        return results;
    }
    results.push_back({Step::StartUp, -1, std::nullopt, mesh.state(), ""});

    for (size_t r = 0; r < thresholds.size(); ++r) {
        const int run = static_cast<int>(r);
        try {
            mesh.removeBelow(thresholds[r]);
        } catch (const std::exception& failure) {
            results.push_back({Step::Run, run, failure.what(), mesh.state(), ""});
            continue;
        }
        results.push_back({Step::Run, run, std::nullopt, mesh.state(), ""});
        try {
            std::string written = mesh.write();
            results.push_back({Step::Write, run, std::nullopt, mesh.state(), std::move(written)});
        } catch (const std::exception& failure) {
            results.push_back({Step::Write, run, failure.what(), mesh.state(), ""});
        }
    }
    return results;
}

}  // namespace meshthin::reference
