// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/obj.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <vector>

#include "meshio/formats/parallel_text.h"
#include "meshio/formats/text_scan.h"
#include "meshio/parallel.h"

namespace meshthin::formats {

namespace {

using detail::TextCursor;

// Arrays rather than string views: they hold no address to relocate, so they stay read-only.
constexpr char kCoordinate[] = "a coordinate";
constexpr char kPointNumber[] = "a point number";

// Reads a `v` statement after its keyword.
void readPoint(TextCursor& in, PolygonMesh& mesh, size_t& colouredPoints) {
    const double x = in.real(kCoordinate);
    const double y = in.real(kCoordinate);
    const double z = in.real(kCoordinate);
    mesh.positions.insert(mesh.positions.end(), {x, y, z});
    double extra[3];
    int extras = 0;
    while (extras < 3 && in.optionalReal(extra[extras], "a weight or a colour value")) {
        ++extras;
    }
    if (extras == 3) {
        // Colours of a point with none before it would sit at the wrong point; they are dropped
        // at the end unless every point has them.
        if (colouredPoints + 1 == mesh.pointCount()) {
            mesh.colours.insert(mesh.colours.end(),
                                {detail::colourByte(extra[0]), detail::colourByte(extra[1]),
                                 detail::colourByte(extra[2])});
        }
        ++colouredPoints;
    } else if (extras == 2) {
        in.fail("a third colour value");
    }
    in.endLine("the end of the point line (3 coordinates, a weight, or 3 colour values)");
}

struct IndexCheck {
    int64_t largest = 0;  // the largest 1-based point number a face named
    size_t offset = 0;    // where it stands
};

// The corners of a part of the file that name points relatively (-1 the last point so far), when
// the parts are read on threads of their own: the points before the part are not known yet, so
// each such corner is kept with its number counted from the part's first point (negative for a
// point of an earlier part) and numbered when the parts are joined.
struct RelativeCorners {
    std::vector<size_t> corners;         // positions in the part's corners
    std::vector<int64_t> fromPartStart;  // the point each names, counted from the part's first
};

// One corner's point number (a, a/b, a//c or a/b/c), 0-based; relative, when given, takes the
// corners named relatively (see RelativeCorners).
uint32_t readCorner(TextCursor& in, PolygonMesh& mesh, IndexCheck& check,
                    RelativeCorners* relative) {
    const size_t at = in.offset();
    const int64_t number = in.whole(kPointNumber, '/');
    const auto points = static_cast<int64_t>(mesh.pointCount());
    int64_t index = 0;
    if (number > 0) {
        // A point defined later in the file is allowed; the largest number is checked at the end.
        if (number > check.largest) {
            check = {number, at};
        }
        index = number - 1;
    } else if (number < 0 && relative != nullptr) {
        relative->corners.push_back(mesh.corners.size());
        relative->fromPartStart.push_back(points + number);
    } else if (number < 0 && number >= -points) {
        index = points + number;
    } else {
        in.failAt(at, number == 0
                          ? "a point number from 1 (OBJ counts from 1)"
                          : "a relative point number from -1 to -" + std::to_string(points));
    }
    if (in.peek() == '/') {
        in.advance();
        if (in.peek() == '/') {
            in.advance();
            in.whole("a normal number", '/');
        } else {
            in.whole("a texture coordinate number", '/');
            if (in.peek() == '/') {
                in.advance();
                if (detail::isDigit(in.peek()) || in.peek() == '-') {
                    in.whole("a normal number");
                }
            }
        }
        mesh.cornerDataDropped = true;
    }
    return static_cast<uint32_t>(index);
}

// Reads an `f` statement after its keyword.
void readFace(TextCursor& in, PolygonMesh& mesh, IndexCheck& check, size_t lineStart,
              RelativeCorners* relative) {
    const size_t first = mesh.corners.size();
    for (;;) {
        in.skipBlanks();
        if (in.atLineEnd()) {
            break;
        }
        mesh.corners.push_back(readCorner(in, mesh, check, relative));
    }
    if (mesh.corners.size() - first < 3) {
        in.failAt(lineStart, "a face of at least 3 points");
    }
    if (mesh.corners.size() > std::numeric_limits<uint32_t>::max()) {
        in.failAt(lineStart, "at most 4294967295 corners in all");
    }
    mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
    in.skipLine();
}

// What reading the statements of the file, or of a part of it, gathers besides the mesh.
struct Statements {
    IndexCheck check;
    size_t colouredPoints = 0;
};

// Reads the statements from the cursor up to the offset stop, which is the end of the bytes or
// the start of a line.
void readStatements(TextCursor& in, size_t stop, PolygonMesh& mesh, Statements& read,
                    RelativeCorners* relative) {
    while (in.offset() < stop) {
        in.skipBlanks();
        const size_t lineStart = in.offset();
        const std::string_view keyword = in.word();
        if (keyword == "v") {
            readPoint(in, mesh, read.colouredPoints);
        } else if (keyword == "f") {
            readFace(in, mesh, read.check, lineStart, relative);
        } else {
            in.skipLine();  // vt, vn, o, g, s, usemtl, mtllib, l, p, comments, unknown statements
        }
    }
}

// The checks that need the whole file, and the colours kept only when every point has them.
void finish(TextCursor& in, size_t size, PolygonMesh& mesh, const Statements& read) {
    if (read.check.largest > static_cast<int64_t>(mesh.pointCount())) {
        in.failAt(read.check.offset,
                  "a point number from 1 to " + std::to_string(mesh.pointCount()));
    }
    if (mesh.pointCount() > std::numeric_limits<uint32_t>::max()) {
        in.failAt(size, "at most 4294967295 points");
    }
    if (read.colouredPoints == mesh.pointCount() && read.colouredPoints > 0) {
        mesh.colourChannels = 3;
    } else {
        mesh.colours.clear();
    }
}

PolygonMesh readInOnePass(std::string_view bytes, std::string_view fileName) {
    PolygonMesh mesh;
    TextCursor in(bytes, fileName);
    in.allowContinuation();
    // A point line takes at least 8 bytes ("v 0 0 0\n"): enough room for most files' points.
    mesh.positions.reserve(3 * (bytes.size() / 64));
    Statements read;
    readStatements(in, bytes.size(), mesh, read, nullptr);
    finish(in, bytes.size(), mesh, read);
    return mesh;
}

// Below this many bytes a part of its own costs a thread more than it saves.
constexpr size_t kBytesPerThread = size_t{4} << 20;

// Whether a backslash ends a line somewhere, joining it to the next: a statement may then span
// the line where a part would start.
bool joinsLines(std::string_view bytes) {
    for (size_t at = bytes.find('\\'); at != std::string_view::npos;
         at = bytes.find('\\', at + 1)) {
        const size_t next = at + 1 < bytes.size() && bytes[at + 1] == '\r' ? at + 2 : at + 1;
        if (next < bytes.size() && bytes[next] == '\n') {
            return true;
        }
    }
    return false;
}

// A part of the file read on a thread of its own, and what it gathered.
struct Part {
    size_t start = 0;
    size_t stop = 0;
    PolygonMesh mesh;
    Statements read;
    RelativeCorners relative;
    bool failed = false;
};

// Joins the parts into one mesh, numbering the relatively named corners. Returns false when the
// joined mesh would fail a check that needs the whole file: the file is then read again in one
// pass, which fails at the first bad statement in the file's order.
bool joinParts(std::vector<Part>& parts, PolygonMesh& mesh, Statements& read) {
    size_t points = 0;
    size_t corners = 0;
    size_t faces = 0;
    for (const Part& part : parts) {
        points += part.mesh.pointCount();
        corners += part.mesh.corners.size();
        faces += part.mesh.faceCount();
        read.colouredPoints += part.read.colouredPoints;
        read.check.largest = std::max(read.check.largest, part.read.check.largest);
    }
    if (corners > std::numeric_limits<uint32_t>::max() ||
        points > std::numeric_limits<uint32_t>::max() ||
        read.check.largest > static_cast<int64_t>(points)) {
        return false;
    }
    mesh.positions.reserve(3 * points);
    mesh.corners.reserve(corners);
    mesh.faceStarts.reserve(faces + 1);
    if (read.colouredPoints == points) {
        mesh.colours.reserve(3 * points);
    }
    size_t pointsBefore = 0;
    for (Part& part : parts) {
        PolygonMesh& from = part.mesh;
        for (size_t k = 0; k < part.relative.corners.size(); ++k) {
            const int64_t index =
                static_cast<int64_t>(pointsBefore) + part.relative.fromPartStart[k];
            if (index < 0) {
                return false;
            }
            from.corners[part.relative.corners[k]] = static_cast<uint32_t>(index);
        }
        const auto cornersBefore = static_cast<uint32_t>(mesh.corners.size());
        mesh.positions.insert(mesh.positions.end(), from.positions.begin(), from.positions.end());
        mesh.corners.insert(mesh.corners.end(), from.corners.begin(), from.corners.end());
        for (size_t f = 1; f < from.faceStarts.size(); ++f) {
            mesh.faceStarts.push_back(cornersBefore + from.faceStarts[f]);
        }
        if (read.colouredPoints == points) {
            mesh.colours.insert(mesh.colours.end(), from.colours.begin(), from.colours.end());
        }
        mesh.cornerDataDropped = mesh.cornerDataDropped || from.cornerDataDropped;
        pointsBefore += from.pointCount();
        from = PolygonMesh();  // let go of each part once it is in place
    }
    return true;
}

}  // namespace

// Reading the numbers is most of reading an OBJ file, and each line is read on its own: a large
// file is cut at line starts into a part per core, each read on a thread into a mesh of its own,
// and the parts are joined. Whatever is uncommon (lines joined by a backslash, a bad statement,
// a check that needs the whole file) is left to one pass over the whole file, so the mesh and
// every failure are those of reading it in one pass. Each part is owned by its thread until the
// thread is joined.
PolygonMesh readObj(std::string_view bytes, std::string_view fileName, unsigned threads) {
    return detail::readObjInParts(bytes, fileName,
                                  std::min(threadsAsked(threads), bytes.size() / kBytesPerThread));
}

PolygonMesh detail::readObjInParts(std::string_view bytes, std::string_view fileName,
                                   size_t partCount) {
    if (partCount <= 1 || joinsLines(bytes)) {
        return readInOnePass(bytes, fileName);
    }
    std::vector<Part> parts(partCount);
    for (size_t t = 1; t < partCount; ++t) {
        const size_t lineEnd = bytes.find('\n', bytes.size() / partCount * t);
        parts[t].start = lineEnd == std::string_view::npos
                             ? bytes.size()
                             : std::max(parts[t - 1].start, lineEnd + 1);
        parts[t - 1].stop = parts[t].start;
    }
    parts.back().stop = bytes.size();
    const auto readPart = [&](size_t t) {
        Part& part = parts[t];
        try {
            TextCursor in(bytes, fileName);  // steps over a byte order mark for the first part
            in.allowContinuation();          // for the same reading of a backslash as in one pass
            if (part.start > 0) {
                in.moveTo(part.start);
            }
            part.mesh.positions.reserve(3 * ((part.stop - part.start) / 64));
            readStatements(in, part.stop, part.mesh, part.read, &part.relative);
        } catch (...) {
            part.failed = true;  // read again in one pass, for its message or its memory
        }
    };
    onThreads(partCount, readPart);
    PolygonMesh mesh;
    Statements read;
    if (std::any_of(parts.begin(), parts.end(), [](const Part& part) { return part.failed; }) ||
        !joinParts(parts, mesh, read)) {
        parts.clear();
        return readInOnePass(bytes, fileName);
    }
    TextCursor in(bytes, fileName);
    finish(in, bytes.size(), mesh, read);
    return mesh;
}

void writeObj(std::string& out, const PolygonMesh& mesh, unsigned threads) {
    const size_t points = mesh.pointCount();
    const int channels = mesh.colours.empty() ? 0 : mesh.colourChannels;
    out.reserve(out.size() + points * (channels > 0 ? 80 : 56) + mesh.corners.size() * 9);
    detail::appendLines(out, points, threads, [&](std::string& text, size_t first, size_t end) {
        char colour[8];
        for (size_t i = first; i < end; ++i) {
            text += 'v';
            for (int k = 0; k < 3; ++k) {
                text += ' ';
                detail::appendNumber(text, mesh.positions[3 * i + k]);
            }
            for (int k = 0; k < (channels > 0 ? 3 : 0); ++k) {
                const double fraction = mesh.colours[channels * i + k] / 255.0;
                const auto stop = std::to_chars(colour, colour + sizeof colour, fraction,
                                                std::chars_format::fixed, 4);
                text += ' ';
                text.append(colour, stop.ptr);
            }
            text += '\n';
        }
    });
    detail::appendLines(out, mesh.faceCount(), threads,
                        [&](std::string& text, size_t first, size_t end) {
                            for (size_t f = first; f < end; ++f) {
                                text += 'f';
                                for (uint32_t corner : mesh.face(f)) {
                                    text += ' ';
                                    detail::appendNumber(text, uint64_t{corner} + 1);
                                }
                                text += '\n';
                            }
                        });
}

}  // namespace meshthin::formats
