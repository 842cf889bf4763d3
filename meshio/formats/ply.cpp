// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/ply.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>
#include <vector>

#include "meshio/formats/text_scan.h"

namespace meshthin::formats {

namespace {

using detail::TextCursor;

enum class Type : uint8_t { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

// Names in arrays of their own rather than string views: the table holds no address to
// relocate, so it stays read-only.
struct TypeName {
    char name[8];
    Type type;
};
constexpr std::array<TypeName, 16> kTypeNames = {{
    {"char", Type::Int8},
    {"int8", Type::Int8},
    {"uchar", Type::UInt8},
    {"uint8", Type::UInt8},
    {"short", Type::Int16},
    {"int16", Type::Int16},
    {"ushort", Type::UInt16},
    {"uint16", Type::UInt16},
    {"int", Type::Int32},
    {"int32", Type::Int32},
    {"uint", Type::UInt32},
    {"uint32", Type::UInt32},
    {"float", Type::Float32},
    {"float32", Type::Float32},
    {"double", Type::Float64},
    {"float64", Type::Float64},
}};

size_t sizeOf(Type type) {
    switch (type) {
        case Type::Int8:
        case Type::UInt8:
            return 1;
        case Type::Int16:
        case Type::UInt16:
            return 2;
        case Type::Int32:
        case Type::UInt32:
        case Type::Float32:
            return 4;
        case Type::Float64:
            return 8;
    }
    return 1;
}

bool isWhole(Type type) {
    return type != Type::Float32 && type != Type::Float64;
}

// What a property is for the mesh.
enum class Role : uint8_t {
    Skip,
    X,
    Y,
    Z,
    Red,
    Green,
    Blue,
    Alpha,
    NormalX,
    NormalY,
    NormalZ,
    Indices,
};

struct Property {
    std::string name;
    Type type = Type::Float32;
    bool list = false;
    Type countType = Type::UInt8;
    Role role = Role::Skip;
};

enum class Kind { Other, Vertex, Face, Strips };

struct Element {
    std::string name;
    uint64_t count = 0;
    std::vector<Property> properties;
    Kind kind = Kind::Other;
    size_t headerOffset = 0;
};

struct Header {
    PlyEncoding encoding = PlyEncoding::Ascii;
    std::vector<Element> elements;
    size_t bodyStart = 0;
};

Header readHeader(std::string_view bytes, std::string_view fileName) {
    TextCursor in(bytes, fileName);
    if (in.word() != "ply") {
        in.failAt(0, "\"ply\" on the first line");
    }
    in.endLine("the end of the first line");
    Header header;
    bool formatSeen = false;
    for (;;) {
        in.skipBlanks();
        if (in.atEnd()) {
            in.fail("\"end_header\"");
        }
        const size_t lineStart = in.offset();
        const std::string_view keyword = in.word();
        if (keyword == "end_header") {
            if (!formatSeen) {
                in.failAt(lineStart, "a \"format\" line before \"end_header\"");
            }
            in.skipBlanks();
            if (in.peek() != '\n') {
                in.fail("a line break after \"end_header\"");
            }
            header.bodyStart = in.offset() + 1;
            return header;
        }
        if (keyword == "comment" || keyword == "obj_info" || keyword.empty()) {
            in.skipLine();
            continue;
        }
        if (keyword == "format") {
            in.skipBlanks();
            const std::string_view name = in.word();
            if (name == "ascii") {
                header.encoding = PlyEncoding::Ascii;
            } else if (name == "binary_little_endian") {
                header.encoding = PlyEncoding::BinaryLittleEndian;
            } else if (name == "binary_big_endian") {
                header.encoding = PlyEncoding::BinaryBigEndian;
            } else {
                in.failAt(in.offset() - name.size(),
                          "ascii, binary_little_endian or binary_big_endian");
            }
            in.skipBlanks();
            if (in.word() != "1.0") {
                in.fail("version 1.0");
            }
            formatSeen = true;
        } else if (keyword == "element") {
            Element element;
            element.headerOffset = lineStart;
            in.skipBlanks();
            element.name = in.word();
            const int64_t count = in.whole("the element's count");
            if (count < 0) {
                in.failAt(lineStart, "a count of 0 or more");
            }
            element.count = static_cast<uint64_t>(count);
            header.elements.push_back(std::move(element));
        } else if (keyword == "property") {
            if (header.elements.empty()) {
                in.failAt(lineStart, "an \"element\" line before its properties");
            }
            Property property;
            in.skipBlanks();
            const auto typeOf = [&](std::string_view what) {
                in.skipBlanks();
                const size_t at = in.offset();
                const std::string_view name = in.word();
                for (const auto& [known, type] : kTypeNames) {
                    if (name == std::string_view(known)) {
                        return type;
                    }
                }
                in.failAt(at, std::string(what) +
                                  " (char, uchar, short, ushort, int, uint, float, double, or "
                                  "their int8 to float64 names)");
            };
            const size_t typeAt = in.offset();
            if (in.word() != "list") {
                in.moveTo(typeAt);
            } else {
                property.list = true;
                const size_t at = in.offset();
                property.countType = typeOf("a list count type");
                if (!isWhole(property.countType)) {
                    in.failAt(at, "a whole-number type for the list's count");
                }
            }
            property.type = typeOf("a property type");
            in.skipBlanks();
            property.name = in.word();
            if (property.name.empty()) {
                in.fail("the property's name");
            }
            header.elements.back().properties.push_back(std::move(property));
        } else {
            in.failAt(lineStart,
                      "a header line (format, element, property, comment or end_header)");
        }
        in.endLine("the end of the header line");
    }
}

// Gives each property of the mesh's elements its role, or refuses what cannot be read.
void assignRoles(Header& header, std::string_view bytes, std::string_view fileName,
                 PolygonMesh& mesh) {
    bool vertexSeen = false;
    for (Element& element : header.elements) {
        const auto fail = [&](std::string_view expected) {
            detail::failAtLine(fileName, bytes, element.headerOffset, expected);
        };
        if (element.name == "vertex" && !vertexSeen) {
            vertexSeen = true;
            element.kind = Kind::Vertex;
            constexpr std::array<std::pair<std::string_view, Role>, 10> kRoles = {{
                {"x", Role::X},
                {"y", Role::Y},
                {"z", Role::Z},
                {"red", Role::Red},
                {"green", Role::Green},
                {"blue", Role::Blue},
                {"alpha", Role::Alpha},
                {"nx", Role::NormalX},
                {"ny", Role::NormalY},
                {"nz", Role::NormalZ},
            }};
            unsigned found = 0;
            for (Property& property : element.properties) {
                for (const auto& [name, role] : kRoles) {
                    if (!property.list && property.name == name &&
                        (found & (1u << static_cast<int>(role))) == 0) {
                        property.role = role;
                        found |= 1u << static_cast<int>(role);
                    }
                }
            }
            const auto has = [&](Role role) {
                return (found & (1u << static_cast<int>(role))) != 0;
            };
            if (!has(Role::X) || !has(Role::Y) || !has(Role::Z)) {
                fail("vertex properties x, y and z");
            }
            const bool colours = has(Role::Red) && has(Role::Green) && has(Role::Blue);
            const bool normals = has(Role::NormalX) && has(Role::NormalY) && has(Role::NormalZ);
            mesh.colourChannels = colours ? (has(Role::Alpha) ? 4 : 3) : 0;
            for (Property& property : element.properties) {
                const bool colour = property.role >= Role::Red && property.role <= Role::Alpha;
                const bool normal =
                    property.role >= Role::NormalX && property.role <= Role::NormalZ;
                if ((colour && !colours) || (normal && !normals)) {
                    property.role = Role::Skip;
                }
            }
        } else if (element.name == "face" || element.name == "tristrips") {
            element.kind = element.name == "face" ? Kind::Face : Kind::Strips;
            bool indices = false;
            for (Property& property : element.properties) {
                if (property.list && !indices &&
                    (property.name == "vertex_indices" || property.name == "vertex_index")) {
                    if (!isWhole(property.type)) {
                        fail("a whole-number type for the " + property.name + " list");
                    }
                    property.role = Role::Indices;
                    indices = true;
                } else if (property.list && element.kind == Kind::Face) {
                    mesh.cornerDataDropped = true;  // texture coordinates per corner
                }
            }
            if (!indices && element.count > 0) {
                fail("a vertex_indices list in the " + element.name + " element");
            }
        }
    }
}

template <typename T>
T loadBytes(const char* at, bool swap) {
    using Bits = std::conditional_t<
        sizeof(T) == 1, uint8_t,
        std::conditional_t<sizeof(T) == 2, uint16_t,
                           std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
    Bits bits;
    std::memcpy(&bits, at, sizeof bits);
    if constexpr (sizeof(T) == 2) {
        bits = swap ? __builtin_bswap16(bits) : bits;
    } else if constexpr (sizeof(T) == 4) {
        bits = swap ? __builtin_bswap32(bits) : bits;
    } else if constexpr (sizeof(T) == 8) {
        bits = swap ? __builtin_bswap64(bits) : bits;
    }
    return std::bit_cast<T>(bits);
}

// Where the reader is, for the failure that names it.
struct Place {
    const Element* element = nullptr;
    uint64_t item = 0;

    std::string describe(std::string_view what) const {
        return std::string(what) + " in " + element->name + " " + std::to_string(item) +
               " (the header announces " + std::to_string(element->count) + ")";
    }
};

class BinarySource {
public:
    BinarySource(std::string_view bytes, size_t start, bool bigEndian, std::string_view fileName)
        : bytes(bytes),
          p(start),
          swap(bigEndian != (std::endian::native == std::endian::big)),
          fileName(fileName) {}

    double real(Type type, const Place& place) {
        need(sizeOf(type), place);
        const char* at = bytes.data() + p;
        p += sizeOf(type);
        switch (type) {
            case Type::Int8:
                return loadBytes<int8_t>(at, swap);
            case Type::UInt8:
                return loadBytes<uint8_t>(at, swap);
            case Type::Int16:
                return loadBytes<int16_t>(at, swap);
            case Type::UInt16:
                return loadBytes<uint16_t>(at, swap);
            case Type::Int32:
                return loadBytes<int32_t>(at, swap);
            case Type::UInt32:
                return loadBytes<uint32_t>(at, swap);
            case Type::Float32:
                return loadBytes<float>(at, swap);
            case Type::Float64:
                return loadBytes<double>(at, swap);
        }
        return 0;
    }
    int64_t whole(Type type, const Place& place) {
        // Every whole type fits a double exactly.
        return static_cast<int64_t>(real(type, place));
    }
    void skip(Type type, const Place& place) {
        need(sizeOf(type), place);
        p += sizeOf(type);
    }
    void skipMany(Type type, uint64_t count, const Place& place) {
        if (count > (bytes.size() - p) / sizeOf(type)) {
            fail(place, "the values of a list");
        }
        p += count * sizeOf(type);
    }
    // The bytes from the next value on, for a loop that reads a common layout straight from
    // them (readPlainFaces), and the step past what it read.
    const char* here() const { return bytes.data() + p; }
    void advance(size_t size) { p += size; }
    bool swapped() const { return swap; }
    // Where the next value starts.
    size_t mark() { return p; }
    size_t offset() const { return p; }
    size_t left() const { return bytes.size() - p; }
    void finish() const {
        if (p != bytes.size()) {
            detail::failAtByte(fileName, p,
                               "the end of the file after the elements the header announces (" +
                                   std::to_string(bytes.size() - p) + " bytes more)");
        }
    }
    [[noreturn]] void fail(const Place& place, std::string_view what) const {
        detail::failAtByte(fileName, p, place.describe(what));
    }
    [[noreturn]] void failValue(size_t at, const Place& place, std::string_view what) const {
        detail::failAtByte(fileName, at, place.describe(what));
    }

private:
    void need(size_t size, const Place& place) const {
        if (bytes.size() - p < size) {
            detail::failAtByte(fileName, p,
                               std::to_string(size) + " more bytes for " +
                                   place.describe("a value") + ", but the file ends");
        }
    }

    std::string_view bytes;
    size_t p;
    bool swap;
    std::string_view fileName;
};

class AsciiSource {
public:
    AsciiSource(std::string_view bytes, size_t start, std::string_view fileName)
        : in(bytes, fileName), bytes(bytes) {
        in.moveTo(start);
    }

    double real(Type type, const Place& place) {
        // A float property reads as a float, as in a binary file: its shortest text gives the
        // same float back.
        return type == Type::Float32 ? parse<float>(place) : parse<double>(place);
    }
    int64_t whole(Type, const Place& place) {
        skipSpace();
        const char* start = bytes.data() + in.offset();
        const char* end = bytes.data() + bytes.size();
        if (start != end && *start == '+') {
            ++start;
        }
        int64_t value = 0;
        const auto [stop, error] = std::from_chars(start, end, value);
        if (error != std::errc() || (stop != end && !detail::isBlank(*stop) && *stop != '\n')) {
            fail(place, "a whole number");
        }
        in.moveTo(static_cast<size_t>(stop - bytes.data()));
        return value;
    }
    void skip(Type, const Place& place) {
        skipSpace();
        if (in.atEnd()) {
            fail(place, "a value");
        }
        in.word();
    }
    void skipMany(Type type, uint64_t count, const Place& place) {
        for (uint64_t i = 0; i < count; ++i) {
            skip(type, place);
        }
    }
    // Where the next value starts, after the space before it.
    size_t mark() {
        skipSpace();
        return in.offset();
    }
    size_t offset() const { return in.offset(); }
    size_t left() const { return bytes.size() - in.offset(); }
    void finish() {
        skipSpace();
        if (!in.atEnd()) {
            in.fail("the end of the file after the elements the header announces");
        }
    }
    [[noreturn]] void fail(const Place& place, std::string_view what) const {
        in.fail(place.describe(what));
    }
    [[noreturn]] void failValue(size_t at, const Place& place, std::string_view what) const {
        in.failAt(at, place.describe(what));
    }

private:
    template <typename Real>
    double parse(const Place& place) {
        skipSpace();
        const char* start = bytes.data() + in.offset();
        const char* end = bytes.data() + bytes.size();
        if (start != end && *start == '+') {
            ++start;
        }
        Real value = 0;
        const auto [stop, error] = fast_float::from_chars(start, end, value);
        if (error != std::errc() || (stop != end && !detail::isBlank(*stop) && *stop != '\n')) {
            fail(place, "a number");
        }
        if (!std::isfinite(value)) {
            fail(place, "a finite number");
        }
        in.moveTo(static_cast<size_t>(stop - bytes.data()));
        return value;
    }

    void skipSpace() {
        while (!in.atEnd() && (detail::isBlank(in.peek()) || in.peek() == '\n')) {
            in.advance();
        }
    }

    TextCursor in;
    std::string_view bytes;
};

template <typename Source>
void skipProperty(Source& source, const Property& property, const Place& place) {
    if (property.list) {
        const int64_t count = source.whole(property.countType, place);
        if (count < 0) {
            source.fail(place, "a list count of 0 or more");
        }
        source.skipMany(property.type, static_cast<uint64_t>(count), place);
    } else {
        source.skip(property.type, place);
    }
}

template <typename Source>
void readVertices(Source& source, const Element& element, PolygonMesh& mesh) {
    const size_t channels = static_cast<size_t>(mesh.colourChannels);
    bool normals = false;
    for (const Property& property : element.properties) {
        normals = normals || property.role == Role::NormalX;
    }
    // Every value takes at least a byte (a digit): a lying count cannot reserve beyond the file.
    const size_t room = detail::reservable(element.count, source.left(), element.properties.size());
    mesh.positions.reserve(3 * room);
    mesh.colours.reserve(channels * room);
    mesh.normals.reserve(normals ? 3 * room : 0);
    Place place{&element, 0};
    double position[3] = {0, 0, 0};
    uint8_t colour[4] = {0, 0, 0, 255};
    float normal[3] = {0, 0, 0};
    for (place.item = 0; place.item < element.count; ++place.item) {
        for (const Property& property : element.properties) {
            const Role role = property.role;
            if (role == Role::Skip || property.list) {
                skipProperty(source, property, place);
                continue;
            }
            const size_t at = source.mark();
            const double value = source.real(property.type, place);
            if (!std::isfinite(value)) {
                source.failValue(at, place, "a finite " + property.name);
            }
            if (role <= Role::Z) {
                position[static_cast<int>(role) - static_cast<int>(Role::X)] = value;
            } else if (role <= Role::Alpha) {
                const double byte = isWhole(property.type) ? std::clamp(value, 0.0, 255.0)
                                                           : detail::colourByte(value);
                colour[static_cast<int>(role) - static_cast<int>(Role::Red)] =
                    static_cast<uint8_t>(byte);
            } else {
                normal[static_cast<int>(role) - static_cast<int>(Role::NormalX)] =
                    static_cast<float>(value);
            }
        }
        mesh.positions.insert(mesh.positions.end(), position, position + 3);
        mesh.colours.insert(mesh.colours.end(), colour, colour + channels);
        if (normals) {
            mesh.normals.insert(mesh.normals.end(), normal, normal + 3);
        }
    }
}

// The faces of the layout nearly every binary file has (one list of an 8-bit count and 32-bit
// point numbers in the machine's byte order), read straight from the bytes: the general loop
// asks the type of every value, which at two million faces took 0.8 s against 0.1 s here. Stops
// before the first face it cannot take as it is (fewer than 3 points, a number out of range,
// the end of the file), which the general loop then reads and reports; returns how many it read.
uint64_t readPlainFaces(BinarySource& source, const Element& element, uint64_t points,
                        PolygonMesh& mesh) {
    if (element.kind != Kind::Face || element.properties.size() != 1 || source.swapped()) {
        return 0;
    }
    const Property& property = element.properties.front();
    const bool signedCount = property.countType == Type::Int8;
    const bool signedIndex = property.type == Type::Int32;
    if (property.role != Role::Indices || !property.list ||
        (property.countType != Type::UInt8 && !signedCount) ||
        (property.type != Type::UInt32 && !signedIndex)) {
        return 0;
    }
    uint64_t item = 0;
    for (; item < element.count && source.left() > 0; ++item) {
        const char* at = source.here();
        const int count = signedCount ? static_cast<int8_t>(*at) : static_cast<uint8_t>(*at);
        const size_t size = 1 + 4 * static_cast<size_t>(std::max(count, 0));
        const size_t first = mesh.corners.size();
        if (count < 3 || source.left() < size ||
            first + static_cast<size_t>(count) > std::numeric_limits<uint32_t>::max()) {
            break;
        }
        bool inRange = true;
        for (int k = 0; k < count; ++k) {
            uint32_t index = 0;
            std::memcpy(&index, at + 1 + 4 * k, 4);
            inRange = inRange && (signedIndex ? static_cast<int32_t>(index) >= 0 : true) &&
                      index < points;
            mesh.corners.push_back(index);
        }
        if (!inRange) {
            mesh.corners.resize(first);
            break;
        }
        mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
        source.advance(size);
    }
    return item;
}

template <typename Source>
void readFaces(Source& source, const Element& element, uint64_t points, PolygonMesh& mesh) {
    Place place{&element, 0};
    const bool strips = element.kind == Kind::Strips;
    const size_t room = detail::reservable(element.count, source.left(), 4);
    mesh.faceStarts.reserve(mesh.faceStarts.size() + room);
    mesh.corners.reserve(mesh.corners.size() + 3 * room);
    if constexpr (std::is_same_v<Source, BinarySource>) {
        place.item = readPlainFaces(source, element, points, mesh);
    }
    for (; place.item < element.count; ++place.item) {
        for (const Property& property : element.properties) {
            if (property.role != Role::Indices) {
                skipProperty(source, property, place);
                continue;
            }
            const size_t countAt = source.mark();
            const int64_t count = source.whole(property.countType, place);
            if (!strips && count < 3) {
                source.failValue(countAt, place, "a face of at least 3 points");
            }
            if (count < 0 || static_cast<uint64_t>(count) > source.left()) {
                source.failValue(countAt, place, "a list count that the file can hold");
            }
            uint32_t strip[2] = {0, 0};
            int64_t inStrip = 0;
            for (int64_t k = 0; k < count; ++k) {
                const size_t at = source.mark();
                const int64_t index = source.whole(property.type, place);
                if (strips && index == -1) {
                    inStrip = 0;
                    continue;
                }
                if (index < 0 || static_cast<uint64_t>(index) >= points) {
                    source.failValue(at, place,
                                     "a point number from 0 to " +
                                         std::to_string(static_cast<int64_t>(points) - 1));
                }
                const auto point = static_cast<uint32_t>(index);
                if (!strips) {
                    mesh.corners.push_back(point);
                    continue;
                }
                if (inStrip >= 2 && strip[0] != strip[1] && strip[1] != point &&
                    strip[0] != point) {
                    // Every second triangle of a strip runs the other way round: swapping its
                    // first two corners keeps all of them turned like the first.
                    if (inStrip % 2 == 0) {
                        mesh.corners.insert(mesh.corners.end(), {strip[0], strip[1], point});
                    } else {
                        mesh.corners.insert(mesh.corners.end(), {strip[1], strip[0], point});
                    }
                    mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
                }
                strip[0] = strip[1];
                strip[1] = point;
                ++inStrip;
            }
            if (mesh.corners.size() > std::numeric_limits<uint32_t>::max()) {
                source.failValue(countAt, place, "at most 4294967295 corners in all");
            }
            if (!strips) {
                mesh.faceStarts.push_back(static_cast<uint32_t>(mesh.corners.size()));
            }
        }
    }
}

template <typename Source>
void readBody(Source& source, const Header& header, PolygonMesh& mesh) {
    uint64_t points = 0;
    for (const Element& element : header.elements) {
        if (element.kind == Kind::Vertex) {
            points = element.count;
        }
    }
    for (const Element& element : header.elements) {
        if (element.kind == Kind::Vertex) {
            readVertices(source, element, mesh);
        } else if (element.kind == Kind::Face || element.kind == Kind::Strips) {
            readFaces(source, element, points, mesh);
        } else if (!element.properties.empty()) {
            // An element without properties takes no bytes, however many it announces.
            Place place{&element, 0};
            for (; place.item < element.count; ++place.item) {
                for (const Property& property : element.properties) {
                    skipProperty(source, property, place);
                }
            }
        }
    }
    source.finish();
}

// Appends a value's bytes in the file's byte order.
template <typename T>
void appendBinary(std::string& out, T value, bool swap) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (swap) {
        std::reverse(raw, raw + sizeof(T));
    }
    out.append(raw, sizeof(T));
}

}  // namespace

PolygonMesh readPly(std::string_view bytes, std::string_view fileName) {
    Header header = readHeader(bytes, fileName);
    PolygonMesh mesh;
    assignRoles(header, bytes, fileName, mesh);
    for (const Element& element : header.elements) {
        if (element.kind == Kind::Vertex && element.count > std::numeric_limits<uint32_t>::max()) {
            detail::failAtLine(fileName, bytes, element.headerOffset, "at most 4294967295 points");
        }
    }
    if (header.encoding == PlyEncoding::Ascii) {
        AsciiSource source(bytes, header.bodyStart, fileName);
        readBody(source, header, mesh);
    } else {
        BinarySource source(bytes, header.bodyStart,
                            header.encoding == PlyEncoding::BinaryBigEndian, fileName);
        readBody(source, header, mesh);
    }
    if (mesh.colours.empty()) {
        mesh.colourChannels = 0;  // colour properties of no vertex at all
    }
    return mesh;
}

void writePly(std::string& out, const PolygonMesh& mesh, PlyEncoding encoding) {
    const size_t points = mesh.pointCount();
    const int channels = mesh.colours.empty() ? 0 : mesh.colourChannels;
    const bool normals = !mesh.normals.empty();
    uint32_t largestFace = 0;
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        largestFace = std::max(largestFace, mesh.faceStarts[f + 1] - mesh.faceStarts[f]);
    }
    const bool wideCount = largestFace > 255;

    out += "ply\nformat ";
    out += encoding == PlyEncoding::Ascii                ? "ascii"
           : encoding == PlyEncoding::BinaryLittleEndian ? "binary_little_endian"
                                                         : "binary_big_endian";
    out += " 1.0\nelement vertex " + std::to_string(points) +
           "\nproperty double x\nproperty double y\nproperty double z\n";
    if (channels > 0) {
        out += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
        if (channels == 4) {
            out += "property uchar alpha\n";
        }
    }
    if (normals) {
        out += "property float nx\nproperty float ny\nproperty float nz\n";
    }
    out += "element face " + std::to_string(mesh.faceCount()) + "\nproperty list " +
           (wideCount ? "uint" : "uchar") + " uint vertex_indices\nend_header\n";

    if (encoding == PlyEncoding::Ascii) {
        out.reserve(out.size() + points * 60 + mesh.corners.size() * 8);
        for (size_t i = 0; i < points; ++i) {
            for (int k = 0; k < 3; ++k) {
                detail::appendNumber(out, mesh.positions[3 * i + k]);
                out += ' ';
            }
            for (int k = 0; k < channels; ++k) {
                detail::appendNumber(out, int{mesh.colours[channels * i + k]});
                out += ' ';
            }
            for (int k = 0; k < (normals ? 3 : 0); ++k) {
                detail::appendNumber(out, mesh.normals[3 * i + k]);
                out += ' ';
            }
            out.back() = '\n';
        }
        detail::appendCountedFaces(out, mesh);
        return;
    }
    const bool swap =
        (encoding == PlyEncoding::BinaryBigEndian) != (std::endian::native == std::endian::big);
    out.reserve(out.size() + points * (24 + channels + (normals ? 12 : 0)) + mesh.faceCount() * 4 +
                mesh.corners.size() * 4);
    for (size_t i = 0; i < points; ++i) {
        for (int k = 0; k < 3; ++k) {
            appendBinary(out, mesh.positions[3 * i + k], swap);
        }
        out.append(reinterpret_cast<const char*>(mesh.colours.data()) + channels * i,
                   static_cast<size_t>(channels));
        for (int k = 0; k < (normals ? 3 : 0); ++k) {
            appendBinary(out, mesh.normals[3 * i + k], swap);
        }
    }
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        const uint32_t count = mesh.faceStarts[f + 1] - mesh.faceStarts[f];
        if (wideCount) {
            appendBinary(out, count, swap);
        } else {
            out += static_cast<char>(count);
        }
        for (uint32_t corner : mesh.face(f)) {
            appendBinary(out, corner, swap);
        }
    }
}

}  // namespace meshthin::formats
