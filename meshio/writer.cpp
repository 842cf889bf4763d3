// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/writer.h"

#include <optional>
#include <stop_token>

#include "meshio/any_mesh.h"
#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/mesh_file.h"
#include "meshio/numtext.h"
#include "meshio/replace_file.h"
#include "meshio/stopping.h"
#include "model/mesh.h"

namespace meshthin {

std::string meshHeader() {
    const std::string quote = "\"";
    return "object { " + quote + "object01" + quote + "  mesh {    name { " + quote + "mesh01" +
           quote + " } base { origin { (-2.2923 3.7249 0) } } material { " + quote +
           "-- default --" + quote +
           " } smoothangle { 45 } /* 362 points, 360 faces, 573 uvCoords */ materiallist { "
           "materialname { " +
           quote + " -- default --" + quote + " } } points {";
}

void writeMeshText(Mesh& mesh, std::ostream& out, const NumberCodec& numbers,
                   const std::function<void()>& beforeItem,
                   const std::function<void(const std::string&)>& caption) {
    caption("Writing file header");
    out << meshHeader() << "\r\n";

    caption("writing points");
    mesh.NextPtOrder = 0;
    const long long spare = mesh.spareSlot();
    for (long long i = 0; i <= spare; ++i) {
        beforeItem();
        mesh.Points(i).writeOut(mesh, out, numbers);
    }
    out << "}"
        << "faces {\r\n";

    caption("writing faces");
    const long long lastFace = mesh.Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        beforeItem();
        mesh.Faces(f).writeOut(mesh, out);
    }
    for (int i = 0; i < 3; ++i) {
        out << " } \r\n";
    }
}

std::string bracePointLimitText(long long points) {
    return "The brace format holds at most 32,767 points; this mesh has " + std::to_string(points) +
           ". Save it as OBJ, PLY, OFF or STL.";
}

void writeMeshAs(const std::string& target, Mesh& mesh, const NumberCodec& numbers,
                 const std::function<void()>& beforeItem,
                 const std::function<void(const std::string&)>& caption, const MeshSource* source) {
    if (const std::optional<formats::MeshFormat> format = formats::formatOfName(target)) {
        caption("writing file");
        std::string text;
        {
            const formats::PolygonMesh polygons =
                formats::polygonsOf(mesh, source != nullptr ? source->attributes.get() : nullptr);
            beforeItem();
            formats::writeMesh(text, polygons, *format, formats::plyEncodingFor(target));
        }
        beforeItem();
        replaceFile(target, [&](std::ostream& out) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
        });
        return;
    }
    long long points = 0;
    for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
        points += mesh.Points(i).removed() ? 0 : 1;
    }
    if (points > kBracePointLimit) {
        throw Failure(bracePointLimitText(points));
    }
    replaceFile(target,
                [&](std::ostream& out) { writeMeshText(mesh, out, numbers, beforeItem, caption); });
}

bool cornerNoteDue(MeshSource* source) {
    if (source == nullptr || !source->cornerDataDropped || source->cornerNoteGiven) {
        return false;
    }
    source->cornerNoteGiven = true;
    return true;
}

std::optional<std::string> WriteMesh(Window& window, Mesh& mesh,
                                     const std::function<void()>& beforeItem, MeshSource* source) {
    std::optional<std::string> target;
    try {
        target = window.saveDialog();
        if (!target) {
            return std::nullopt;  // Cancel means the user does not want the file written
        }
        const numtext::LocaleNumbers numbers(window.decimalSeparator());
        const auto caption = [&](const std::string& text) { window.setButtonCaption(text); };
        if (formats::formatOfName(*target)) {
            // Another format is written in one piece, seconds at a million points: on a thread of
            // its own, so that the window stays live, and given up between its steps when the
            // window closes.
            caption("writing file");
            window.whileWorking([&](const std::stop_token& stop) {
                writeMeshAs(
                    *target, mesh, numbers,
                    [&] {
                        if (stop.stop_requested()) {
                            throw RunStopped{};
                        }
                    },
                    [](const std::string&) {}, source);
            });
        } else {
            writeMeshAs(*target, mesh, numbers, beforeItem, caption, source);
        }
        if (cornerNoteDue(source)) {
            window.messageBox(kCornerDataNote);
        }
        return target;
    } catch (const std::exception& thrown) {
        if (outOfMemory(thrown)) {
            // The caller drops the mesh it half wrote, and so has memory again to say so.
            throw NotEnoughMemory(target ? "write " + *target : std::string("write the mesh"));
        }
        window.messageBox(std::string(kWriteErrorPrefix) + describe(thrown));
    }
    return std::nullopt;
}

}  // namespace meshthin
