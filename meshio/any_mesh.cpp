// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/any_mesh.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/mesh_file.h"
#include "meshio/loader.h"
#include "meshio/startup.h"

namespace meshthin {

namespace {

// The whole file, or nothing when it cannot be read in one go: the brace reader then meets the
// same trouble and reports it as it always has.
std::optional<std::string> wholeFile(const std::string& path) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(path, error);
    std::ifstream in(path, std::ios::binary);
    // A file of no size is either empty or one whose size the system does not know (such as
    // those under /proc): the brace reader reads either as it comes.
    if (error || !in || size == 0) {
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    if (static_cast<size_t>(in.gcount()) != size ||
        in.peek() != std::ifstream::traits_type::eof() || in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// Tells progress, when there is one, that stage begins, and stops the load if asked.
void look(const LoadProgress* progress, LoadStage stage, long long done = 0, long long total = 0) {
    if (progress == nullptr) {
        return;
    }
    if (progress->stop.stop_requested()) {
        throw LoadStopped{};
    }
    if (progress->report) {
        progress->report(stage, done, total);
    }
}

// At a million points the file's bytes, the polygons and the mesh's records are each hundreds
// of megabytes: each is let go as soon as the next is made, so that no more than two are held
// at once and the values are worked out with only the records left.
Mesh fromPolygons(formats::PolygonMesh polygons, formats::MeshFormat format, MeshSource* source,
                  const LoadProgress* progress) {
    look(progress, LoadStage::ConnectingPoints);
    const bool dropped = polygons.cornerDataDropped;
    // Colours and normals are kept for writing, with the positions that count the points.
    const bool attributesKept = !polygons.colours.empty() || !polygons.normals.empty();
    Mesh mesh = attributesKept ? formats::meshRecordsFromPolygons(polygons)
                               : formats::meshRecordsFromPolygons(std::move(polygons));
    std::shared_ptr<const formats::PolygonMesh> attributes;
    if (attributesKept) {
        attributes = std::make_shared<const formats::PolygonMesh>(std::move(polygons));
    }
    polygons = formats::PolygonMesh();
    runStartupPasses(mesh);
    if (source != nullptr) {
        *source = MeshSource{format, std::move(attributes), dropped};
    }
    return mesh;
}

// The polygons of bytes, which are let go once read.
template <class Bytes>
formats::PolygonMesh readPolygons(Bytes bytes, formats::MeshFormat format,
                                  const std::string& path) {
    formats::PolygonMesh polygons = formats::readMesh(bytes, format, path);
    Bytes().swap(bytes);
    return polygons;
}

}  // namespace

Mesh loadAnyMesh(const std::string& path, const NumberCodec& numbers, MeshSource* source,
                 const LoadProgress* progress) {
    if (const std::optional<formats::MeshFormat> named = formats::formatOfName(path)) {
        look(progress, LoadStage::ReadingFile);
        std::function<void(size_t, size_t)> read;
        if (progress != nullptr) {
            read = [progress](size_t done, size_t size) {
                look(progress, LoadStage::ReadingFile, static_cast<long long>(done),
                     static_cast<long long>(size));
            };
        }
        formats::FileBytes bytes = formats::readMeshFile(path, read);
        look(progress, LoadStage::ReadingMesh);
        Mesh mesh =
            fromPolygons(readPolygons(std::move(bytes), *named, path), *named, source, progress);
        look(progress, LoadStage::ConnectingPoints);
        return mesh;
    }
    std::optional<std::string> bytes = wholeFile(path);
    const formats::MeshFormat format =
        bytes ? formats::formatOfContent(*bytes) : formats::MeshFormat::Brace;
    if (format != formats::MeshFormat::Brace) {
        return fromPolygons(readPolygons(std::move(*bytes), format, path), format, source,
                            progress);
    }
    if (source != nullptr) {
        *source = MeshSource{};
    }
    if (!bytes) {
        return loadMesh(path, numbers);
    }
    Mesh mesh;
    std::istringstream in(std::move(*bytes), std::ios::binary);
    runStartupPasses(mesh, readMesh(mesh, in, numbers));
    return mesh;
}

}  // namespace meshthin
