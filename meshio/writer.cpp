// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/writer.h"

#include "meshio/numtext.h"
#include "meshio/replace_file.h"
#include "model/store.h"

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

void writeMeshText(std::ostream& out, const NumberCodec& numbers,
                   const std::function<void()>& beforeItem,
                   const std::function<void(const std::string&)>& caption) {
    caption("Writing file header");
    out << meshHeader() << "\r\n";

    caption("writing points");
    NextPtOrder = 0;
    const long long spare = spareSlot();
    for (long long i = 0; i <= spare; ++i) {
        beforeItem();
        Points(i).writeOut(out, numbers);
    }
    out << "}"
        << "faces {\r\n";

    caption("writing faces");
    const long long lastFace = Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        beforeItem();
        Faces(f).writeOut(out);
    }
    for (int i = 0; i < 3; ++i) {
        out << " } \r\n";
    }
}

void WriteMesh(Window& window, const std::function<void()>& beforeItem) {
    try {
        const std::optional<std::string> target = window.saveDialog();
        if (!target) {
            return;  // Cancel means the user does not want the file written
        }
        const numtext::LocaleNumbers numbers(window.decimalSeparator());
        replaceFile(*target, [&](std::ostream& out) {
            writeMeshText(out, numbers, beforeItem,
                          [&](const std::string& text) { window.setButtonCaption(text); });
        });
    } catch (const std::exception& thrown) {
        window.messageBox(std::string(kWriteErrorPrefix) + describe(thrown));
    }
}

}  // namespace meshthin
