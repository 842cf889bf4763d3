// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/off.h"

#include <algorithm>
#include <limits>

#include "meshio/formats/text_scan.h"

namespace meshthin::formats {

namespace {

using detail::TextCursor;

struct Layout {
    bool textures = false;
    bool colours = false;
    bool normals = false;
};

// An array rather than a string view: it holds no address to relocate, so it stays read-only.
constexpr char kKeywords[] = "OFF, COFF, NOFF, STOFF or a combination (ST, C, N, OFF)";

// Reads the keyword and what it implies up to the counts.
Layout readKeyword(TextCursor& in) {
    Layout layout;
    in.skipSpaceAndComments();
    const size_t at = in.offset();
    std::string_view word = in.word();
    if (!word.empty() && std::all_of(word.begin(), word.end(), detail::isDigit)) {
        in.moveTo(at);
        return layout;  // no keyword: the counts come first
    }
    const auto take = [&](std::string_view prefix) {
        if (word.starts_with(prefix)) {
            word.remove_prefix(prefix.size());
            return true;
        }
        return false;
    };
    layout.textures = take("ST");
    layout.colours = take("C");
    layout.normals = take("N");
    if (take("4")) {
        in.failAt(at, std::string(kKeywords) +
                          "; points with a fourth coordinate (4OFF) are not supported");
    }
    const bool dimension = take("n");
    if (word != "OFF") {
        in.failAt(at, kKeywords);
    }
    in.skipBlanks();
    if (in.peek() == 'B') {
        in.fail("the counts; binary OFF is not supported");
    }
    if (dimension) {
        in.skipSpaceAndComments();
        const size_t dimensionAt = in.offset();
        if (in.whole("the dimension of nOFF") != 3) {
            in.failAt(dimensionAt, "3 dimensions; points of other dimensions are not supported");
        }
    }
    return layout;
}

// Reads what follows a point's coordinates and normal: its colour and texture coordinates.
void readPointColour(TextCursor& in, const Layout& layout, PolygonMesh& mesh, size_t point) {
    double values[6];
    bool written[6];
    int count = 0;
    in.skipBlanks();
    while (count < 6 && !in.atLineEnd()) {
        const size_t start = in.offset();
        values[count] = in.real("a colour value");
        written[count] = false;
        for (size_t i = start; i < in.offset(); ++i) {
            written[count] = written[count] || !detail::isDigit(in.bytesAt(i));
        }
        ++count;
        in.skipBlanks();
    }
    const int colourValues = count - (layout.textures ? 2 : 0);
    if (colourValues != 3 && colourValues != 4) {
        in.fail(layout.textures ? "3 or 4 colour values and 2 texture coordinates"
                                : "3 or 4 colour values");
    }
    if (point == 0) {
        mesh.colourChannels = colourValues;
    }
    // A colour written with a fraction or an exponent is a real number from 0 to 1; one of
    // digits alone is a byte.
    const bool real = std::any_of(written, written + colourValues, [](bool w) { return w; });
    for (int k = 0; k < mesh.colourChannels; ++k) {
        const double value = k < colourValues ? values[k] : real ? 1.0 : 255.0;
        mesh.colours.push_back(real ? detail::colourByte(value)
                                    : static_cast<uint8_t>(std::clamp(value, 0.0, 255.0)));
    }
}

}  // namespace

PolygonMesh readOff(std::string_view bytes, std::string_view fileName) {
    TextCursor in(bytes, fileName);
    const Layout layout = readKeyword(in);
    in.skipSpaceAndComments();
    const int64_t points = in.whole("the number of points");
    const int64_t faces = in.whole("the number of faces");
    if (points < 0 || faces < 0) {
        in.fail("counts of 0 or more");
    }
    if (points > std::numeric_limits<uint32_t>::max()) {
        in.fail("at most 4294967295 points");
    }
    in.skipBlanks();
    if (!in.atLineEnd()) {
        in.whole("the number of edges");
    }
    in.endLine("the end of the counts line");

    PolygonMesh mesh;
    mesh.cornerDataDropped = layout.textures;
    const size_t room = detail::reservable(static_cast<uint64_t>(points), bytes.size(), 6);
    mesh.positions.reserve(3 * room);
    mesh.normals.reserve(layout.normals ? 3 * room : 0);
    mesh.colours.reserve(layout.colours ? 4 * room : 0);
    const auto announced = [](std::string_view what, int64_t i, int64_t count) {
        return std::string(what) + " " + std::to_string(i + 1) + " (the header announces " +
               std::to_string(count) + ")";
    };
    for (int64_t i = 0; i < points; ++i) {
        in.skipSpaceAndComments();
        if (in.atEnd()) {
            in.fail(announced("point", i, points));
        }
        for (int k = 0; k < 3; ++k) {
            mesh.positions.push_back(in.real("a coordinate"));
        }
        if (layout.normals) {
            for (int k = 0; k < 3; ++k) {
                mesh.normals.push_back(in.real<float>("a normal value"));
            }
        }
        if (layout.colours) {
            readPointColour(in, layout, mesh, static_cast<size_t>(i));
        } else if (layout.textures) {
            in.real("a texture coordinate");
            in.real("a texture coordinate");
        }
        in.endLine("the end of the point line");
    }
    const size_t faceRoom = detail::reservable(static_cast<uint64_t>(faces), bytes.size(), 8);
    mesh.faceStarts.reserve(faceRoom + 1);
    mesh.corners.reserve(3 * faceRoom);
    for (int64_t f = 0; f < faces; ++f) {
        in.skipSpaceAndComments();
        if (in.atEnd()) {
            in.fail(announced("face", f, faces));
        }
        const size_t lineStart = in.offset();
        const int64_t count = in.whole("the number of the face's points");
        if (count < 3) {
            in.failAt(lineStart, "a face of at least 3 points");
        }
        if (static_cast<uint64_t>(count) > bytes.size()) {
            in.failAt(lineStart, "a face's point count that the file can hold");
        }
        for (int64_t k = 0; k < count; ++k) {
            const size_t at = in.offset();
            const int64_t index = in.whole("a point number");
            if (index < 0 || index >= points) {
                in.failAt(at, "a point number from 0 to " + std::to_string(points - 1));
            }
            mesh.corners.push_back(static_cast<uint32_t>(index));
        }
        if (mesh.corners.size() > std::numeric_limits<uint32_t>::max()) {
            in.failAt(lineStart, "at most 4294967295 corners in all");
        }
        mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
        in.skipLine();  // a colour of the face
    }
    in.skipSpaceAndComments();
    if (!in.atEnd()) {
        in.fail("the end of the file after the " + std::to_string(faces) +
                " faces the header announces");
    }
    return mesh;
}

void writeOff(std::string& out, const PolygonMesh& mesh) {
    const size_t points = mesh.pointCount();
    const int channels = mesh.colours.empty() ? 0 : mesh.colourChannels;
    const bool normals = !mesh.normals.empty();
    out += channels > 0 ? "C" : "";
    out += normals ? "N" : "";
    out += "OFF\n" + std::to_string(points) + ' ' + std::to_string(mesh.faceCount()) + " 0\n";
    out.reserve(out.size() + points * 60 + mesh.corners.size() * 8);
    for (size_t i = 0; i < points; ++i) {
        detail::appendNumber(out, mesh.positions[3 * i]);
        for (int k = 1; k < 3; ++k) {
            out += ' ';
            detail::appendNumber(out, mesh.positions[3 * i + k]);
        }
        for (int k = 0; k < (normals ? 3 : 0); ++k) {
            out += ' ';
            detail::appendNumber(out, mesh.normals[3 * i + k]);
        }
        for (int k = 0; k < channels; ++k) {
            out += ' ';
            detail::appendNumber(out, int{mesh.colours[channels * i + k]});
        }
        out += '\n';
    }
    detail::appendCountedFaces(out, mesh);
}

}  // namespace meshthin::formats
