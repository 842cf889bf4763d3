// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the OBJ, PLY, OFF and STL readers. A file that reads must make a
// well-formed mesh, written in the same format it must read back as the same mesh (less what
// the format cannot carry), and an STL written twice must give the same bytes. Anything else
// that escapes as an exception, crashes, leaks or trips a sanitizer is a fault.
//
// An OBJ file read in parts on threads of their own must read as in one pass, or fail with the
// same message.
//
// Input layout: byte 0 picks the format (bits 0-1: OBJ, PLY, OFF, STL), the PLY encoding
// written (bits 2-3: ascii, binary little-endian, binary big-endian) and the number of parts an
// OBJ file is cut into (bits 4-6: 2 to 9); the rest is the file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "meshio/formats/mesh_file.h"
#include "meshio/formats/obj.h"

namespace {

using namespace meshthin::formats;

void expect(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// What every reader promises of the mesh it returns.
void checkWellFormed(const PolygonMesh& mesh) {
    expect(mesh.positions.size() % 3 == 0);
    for (double coordinate : mesh.positions) {
        expect(std::isfinite(coordinate));
    }
    expect(!mesh.faceStarts.empty() && mesh.faceStarts.front() == 0 &&
           mesh.faceStarts.back() == mesh.corners.size());
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        expect(mesh.faceStarts[f + 1] >= mesh.faceStarts[f] + 3);
    }
    for (uint32_t corner : mesh.corners) {
        expect(corner < mesh.pointCount());
    }
    expect(mesh.colours.empty()
               ? mesh.colourChannels == 0
               : (mesh.colourChannels == 3 || mesh.colourChannels == 4) &&
                     mesh.colours.size() == mesh.colourChannels * mesh.pointCount());
    expect(mesh.normals.empty() || mesh.normals.size() == mesh.positions.size());
}

// The mesh as the format carries it: OBJ has no normals and no alpha; no format writes back
// what was dropped.
PolygonMesh carried(PolygonMesh mesh, MeshFormat format) {
    mesh.cornerDataDropped = false;
    if (format == MeshFormat::Obj) {
        mesh.normals.clear();
        if (mesh.colourChannels == 4) {
            std::vector<uint8_t> colours;
            for (size_t i = 0; i < mesh.colours.size(); ++i) {
                if (i % 4 != 3) {
                    colours.push_back(mesh.colours[i]);
                }
            }
            mesh.colours = colours;
            mesh.colourChannels = 3;
        }
    }
    return mesh;
}

// The OBJ reader's mesh, or its failure's message, with the file cut into parts.
std::string objReading(std::string_view bytes, size_t parts, PolygonMesh& mesh) {
    try {
        mesh = detail::readObjInParts(bytes, "input", parts);
        return {};
    } catch (const FormatError& error) {
        return error.what();
    }
}

PolygonMesh readBack(const std::string& written, MeshFormat format) {
    try {
        PolygonMesh again = readMesh(written, format, "written");
        checkWellFormed(again);
        return again;
    } catch (const std::exception&) {
        std::abort();  // a file the writer made does not read
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    constexpr MeshFormat kFormats[] = {MeshFormat::Obj, MeshFormat::Ply, MeshFormat::Off,
                                       MeshFormat::Stl};
    constexpr PlyEncoding kEncodings[] = {PlyEncoding::Ascii, PlyEncoding::BinaryLittleEndian,
                                          PlyEncoding::BinaryBigEndian,
                                          PlyEncoding::BinaryLittleEndian};
    const MeshFormat format = kFormats[data[0] & 3];
    const PlyEncoding encoding = kEncodings[(data[0] >> 2) & 3];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    if (format == MeshFormat::Obj) {
        PolygonMesh once;
        PolygonMesh inParts;
        const std::string failure = objReading(bytes, 1, once);
        expect(objReading(bytes, 2 + ((data[0] >> 4) & 7), inParts) == failure);
        expect(inParts == once);
    }

    PolygonMesh mesh;
    try {
        mesh = readMesh(bytes, format, "input");
    } catch (const FormatError&) {
        return 0;  // bad input, told as such
    }
    checkWellFormed(mesh);

    std::string written;
    try {
        writeMesh(written, mesh, format, encoding);
    } catch (const meshthin::Failure&) {
        expect(format == MeshFormat::Stl);  // only STL's 32-bit coordinates can refuse a mesh
        return 0;
    }
    const PolygonMesh again = readBack(written, format);
    if (format == MeshFormat::Stl) {
        std::string twice;
        writeMesh(twice, again, format);
        expect(twice == written);
    } else {
        expect(again == carried(mesh, format));
    }
    return 0;
}
