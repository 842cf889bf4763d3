// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/mesh_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "meshio/formats/obj.h"
#include "meshio/formats/off.h"
#include "meshio/formats/stl.h"
#include "meshio/formats/text_scan.h"
#include "meshio/replace_file.h"
#include "model/expect.h"

namespace meshthin::formats {

namespace {

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return lower;
}

std::string_view withoutByteOrderMark(std::string_view bytes) {
    return bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
}

bool looksLikePly(std::string_view bytes) {
    for (std::string_view start : {"ply\nformat ", "ply\r\nformat "}) {
        if (bytes.starts_with(start)) {
            return true;
        }
    }
    return false;
}

bool looksLikeOff(std::string_view bytes) {
    detail::TextCursor in(bytes, "");
    in.skipSpaceAndComments();
    std::string_view word = in.word();
    for (std::string_view prefix : {"ST", "C", "N", "4", "n"}) {
        if (word.starts_with(prefix)) {
            word.remove_prefix(prefix.size());
        }
    }
    if (word != "OFF") {
        return false;
    }
    in.skipSpaceAndComments();
    return detail::isDigit(in.peek());
}

bool looksLikeAsciiStl(std::string_view bytes) {
    const std::string head = lowerCase(bytes.substr(0, 4096));
    const size_t solid = head.find_first_not_of(" \t\r\n");
    // "solid" and a blank or a line break: the solid's name may be missing.
    return solid != std::string::npos && head.compare(solid, 5, "solid") == 0 &&
           solid + 5 < head.size() &&
           (detail::isBlank(head[solid + 5]) || head[solid + 5] == '\n') &&
           head.find("facet", solid) != std::string::npos;
}

bool looksLikeObj(std::string_view bytes) {
    constexpr size_t kLooked = 64 * 1024;
    bytes = bytes.substr(0, kLooked);
    size_t line = 0;
    while (line < bytes.size()) {
        size_t end = bytes.find('\n', line);
        end = end == std::string_view::npos ? bytes.size() : end;
        std::string_view text = bytes.substr(line, end - line);
        while (!text.empty() && detail::isBlank(text.front())) {
            text.remove_prefix(1);
        }
        if (text.find('{') != std::string_view::npos) {
            return false;  // the brace format's sections
        }
        if (text.size() > 2 && (text[0] == 'v' || text[0] == 'f') &&
            (text[1] == ' ' || text[1] == '\t')) {
            return true;
        }
        line = end + 1;
    }
    return false;
}

}  // namespace

std::optional<MeshFormat> formatOfName(std::string_view path) {
    const std::string name = lowerCase(path);
    const auto endsWith = [&](std::string_view suffix) { return name.ends_with(suffix); };
    if (endsWith(".obj")) {
        return MeshFormat::Obj;
    }
    if (endsWith(".ply")) {
        return MeshFormat::Ply;
    }
    if (endsWith(".off")) {
        return MeshFormat::Off;
    }
    if (endsWith(".stl")) {
        return MeshFormat::Stl;
    }
    return std::nullopt;
}

MeshFormat formatOfContent(std::string_view bytes) {
    if (hasBinaryStlSize(bytes)) {
        return MeshFormat::Stl;
    }
    bytes = withoutByteOrderMark(bytes);
    if (looksLikePly(bytes)) {
        return MeshFormat::Ply;
    }
    if (looksLikeOff(bytes)) {
        return MeshFormat::Off;
    }
    if (looksLikeAsciiStl(bytes)) {
        return MeshFormat::Stl;
    }
    if (looksLikeObj(bytes)) {
        return MeshFormat::Obj;
    }
    return MeshFormat::Brace;
}

MeshFormat detectFormat(std::string_view path, std::string_view bytes) {
    return formatOfName(path).value_or(formatOfContent(bytes));
}

FileBytes readMeshFile(const std::string& path, const std::function<void(size_t, size_t)>& read) {
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        throw FormatError(path + ": cannot be read (" + error.message() + ")");
    }
    if (!in) {
        throw FormatError(path + ": cannot be opened (" + std::strerror(errno) + ")");
    }
    FileBytes bytes(size, '\0');
    // In chunks when someone follows the reading (a progress bar), else in one go.
    const size_t chunk = read ? size_t{4} << 20 : std::max<size_t>(size, 1);
    for (size_t done = 0; done < size;) {
        const size_t want = std::min(chunk, size - done);
        in.read(bytes.data() + done, static_cast<std::streamsize>(want));
        if (static_cast<size_t>(in.gcount()) != want) {
            throw FormatError(path + ": cannot be read to its end");
        }
        done += want;
        if (read) {
            read(done, size);
        }
    }
    return bytes;
}

PolygonMesh readMesh(std::string_view bytes, MeshFormat format, std::string_view fileName) {
    switch (format) {
        case MeshFormat::Obj:
            return readObj(bytes, fileName);
        case MeshFormat::Ply:
            return readPly(bytes, fileName);
        case MeshFormat::Off:
            return readOff(bytes, fileName);
        case MeshFormat::Stl:
            return readStl(bytes, fileName);
        case MeshFormat::Brace:
            break;
    }
    MESHTHIN_EXPECT(false, "the brace format is read by the mesh loader");
    return {};
}

PlyEncoding plyEncodingFor(std::string_view path) {
    return lowerCase(path).ends_with(".ascii.ply") ? PlyEncoding::Ascii
                                                   : PlyEncoding::BinaryLittleEndian;
}

void writeMesh(std::string& out, const PolygonMesh& mesh, MeshFormat format,
               PlyEncoding plyEncoding) {
    switch (format) {
        case MeshFormat::Obj:
            return writeObj(out, mesh);
        case MeshFormat::Ply:
            return writePly(out, mesh, plyEncoding);
        case MeshFormat::Off:
            return writeOff(out, mesh);
        case MeshFormat::Stl:
            return writeStl(out, mesh);
        case MeshFormat::Brace:
            break;
    }
    MESHTHIN_EXPECT(false, "the brace format is written by the mesh writer");
}

void writeMeshFile(const std::string& path, const PolygonMesh& mesh, MeshFormat format) {
    std::string text;
    writeMesh(text, mesh, format, plyEncodingFor(path));
    replaceFile(path, [&](std::ostream& out) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    });
}

}  // namespace meshthin::formats
