// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/obj.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "meshio/formats/text_scan.h"

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

// One corner's point number (a, a/b, a//c or a/b/c), 0-based.
uint32_t readCorner(TextCursor& in, PolygonMesh& mesh, IndexCheck& check) {
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
void readFace(TextCursor& in, PolygonMesh& mesh, IndexCheck& check, size_t lineStart) {
    const size_t first = mesh.corners.size();
    for (;;) {
        in.skipBlanks();
        if (in.atLineEnd()) {
            break;
        }
        mesh.corners.push_back(readCorner(in, mesh, check));
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

}  // namespace

PolygonMesh readObj(std::string_view bytes, std::string_view fileName) {
    PolygonMesh mesh;
    TextCursor in(bytes, fileName);
    in.allowContinuation();
    // A point line takes at least 8 bytes ("v 0 0 0\n"): enough room for most files' points.
    mesh.positions.reserve(3 * (bytes.size() / 64));
    IndexCheck check;
    size_t colouredPoints = 0;
    while (!in.atEnd()) {
        in.skipBlanks();
        const size_t lineStart = in.offset();
        const std::string_view keyword = in.word();
        if (keyword == "v") {
            readPoint(in, mesh, colouredPoints);
        } else if (keyword == "f") {
            readFace(in, mesh, check, lineStart);
        } else {
            in.skipLine();  // vt, vn, o, g, s, usemtl, mtllib, l, p, comments, unknown statements
        }
    }
    if (check.largest > static_cast<int64_t>(mesh.pointCount())) {
        in.failAt(check.offset, "a point number from 1 to " + std::to_string(mesh.pointCount()));
    }
    if (mesh.pointCount() > std::numeric_limits<uint32_t>::max()) {
        in.failAt(bytes.size(), "at most 4294967295 points");
    }
    if (colouredPoints == mesh.pointCount() && colouredPoints > 0) {
        mesh.colourChannels = 3;
    } else {
        mesh.colours.clear();
    }
    return mesh;
}

void writeObj(std::string& out, const PolygonMesh& mesh) {
    const size_t points = mesh.pointCount();
    const int channels = mesh.colours.empty() ? 0 : mesh.colourChannels;
    out.reserve(out.size() + points * (channels > 0 ? 80 : 56) + mesh.corners.size() * 9);
    char colour[8];
    for (size_t i = 0; i < points; ++i) {
        out += 'v';
        for (int k = 0; k < 3; ++k) {
            out += ' ';
            detail::appendNumber(out, mesh.positions[3 * i + k]);
        }
        for (int k = 0; k < (channels > 0 ? 3 : 0); ++k) {
            const double fraction = mesh.colours[channels * i + k] / 255.0;
            const auto end = std::to_chars(colour, colour + sizeof colour, fraction,
                                           std::chars_format::fixed, 4);
            out += ' ';
            out.append(colour, end.ptr);
        }
        out += '\n';
    }
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        out += 'f';
        for (uint32_t corner : mesh.face(f)) {
            out += ' ';
            detail::appendNumber(out, uint64_t{corner} + 1);
        }
        out += '\n';
    }
}

}  // namespace meshthin::formats
