// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/writer.h"

#include <chrono>

#include "meshio/numtext.h"
#include "meshio/replace_file.h"
#include "meshio/stopping.h"
#include "model/store.h"

namespace meshthin {

namespace {

// Lets pending window events run often enough for the window to stay responsive (every 10 ms),
// without paying for an event round trip before every single line. Even the clock is read only
// every 64 lines: a line takes well under a microsecond, a clock read not much less.
// Stops the writing when the window has been closed meanwhile.
class EventPump {
public:
    explicit EventPump(Window& window) : window(window) {}

    void operator()() {
        if (lines++ % 64 != 0) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - last >= std::chrono::milliseconds(10)) {
            window.processEvents();
            last = std::chrono::steady_clock::now();
            if (window.closing()) {
                throw RunStopped{};  // the temporary file goes, the user's file stays
            }
        }
    }

private:
    Window& window;
    std::chrono::steady_clock::time_point last{};
    unsigned long long lines = 0;
};

}  // namespace

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

void WriteMesh(Window& window) {
    try {
        const std::optional<std::string> target = window.saveDialog();
        if (!target) {
            return;  // Cancel means the user does not want the file written
        }
        const numtext::LocaleNumbers numbers(window.decimalSeparator());
        EventPump pump(window);
        replaceFile(*target, [&](std::ostream& out) {
            writeMeshText(out, numbers, pump,
                          [&](const std::string& text) { window.setButtonCaption(text); });
        });
    } catch (const std::exception& thrown) {
        window.messageBox(std::string(kWriteErrorPrefix) + describe(thrown));
    }
}

}  // namespace meshthin
