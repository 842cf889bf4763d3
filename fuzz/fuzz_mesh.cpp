// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes through the whole job the way a user drives it: the load step on a file
// holding the bytes (reading, start-up passes, lists), a reduction run with its write, a second
// run on the reduced mesh, the selection of a point and the preview; then the same two runs on
// the command line, whose file must hold the window's bytes. The window and the canvas are
// stand-ins that accept everything. The file the window wrote must read back and write the same
// bytes again. Anything that escapes the handlers, crashes, leaks or trips a sanitizer is a fault.
//
// Input layout: byte 0 picks the run (bits 0-6: threshold = value / 64, so 0 to about 2; bit 7:
// "," instead of "." as decimal separator), byte 1 the point selected afterwards (its lowest bit
// also asks the command line for the values), the rest is the mesh file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "meshio/batch.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "tests/support/quiet_window.h"
#include "tests/support/temp_files.h"
#include "ui/lists.h"
#include "ui/preview.h"

namespace {

namespace fs = std::filesystem;
using namespace meshthin;
using meshthin::testing::QuietWindow;
using meshthin::testing::readFile;
using meshthin::testing::TempDir;
using meshthin::testing::writeFile;

class NoCanvas : public Canvas {
public:
    void clear() override {}
    void plot(float, float, Rgb) override {}
    void line(float, float, float, float) override {}
    void line(float, float, float, float, Rgb) override {}
};

// What the window wrote must read back as the writer's own form and write the same bytes again,
// whichever decimal separator reads it.
void checkReadsBack(const std::string& written, char separator) {
    Mesh mesh;
    std::istringstream in(written);
    try {
        readMesh(mesh, in, numtext::LocaleNumbers(separator == '.' ? ',' : '.'));
    } catch (const std::exception&) {
        std::abort();  // a file the program wrote does not open
    }
    std::ostringstream again;
    writeMeshText(
        mesh, again, numtext::LocaleNumbers(separator), [] {}, [](const std::string&) {});
    if (again.str() != written) {
        std::abort();
    }
}

// What the window does when a List1 item is picked and the picture area is clicked; the window
// shows a Failure from either in a message box and keeps running.
void selectAndDraw(Window& window, const Mesh& mesh, int16_t wanted) {
    try {
        PointNumber selectedPoint = 0;
        showSelectedPoint(window, mesh, std::to_string(wanted), selectedPoint);
        NoCanvas canvas;
        drawPreview(canvas, mesh, selectedPoint,
                    [&window](const std::string& text) { window.messageBox(text); });
    } catch (const Failure&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const double threshold = (data[0] & 0x7f) / 64.0;
    const char separator = (data[0] & 0x80) != 0 ? ',' : '.';
    const int16_t wanted = data[1];

    const TempDir scratch;  // removed with everything in it however the input ends
    const fs::path input = scratch.path("input.mesh");
    const fs::path output = scratch.path("output.mesh");
    writeFile(input, std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
    QuietWindow window(input.string(), output.string(), separator);
    Mesh mesh;
    auto fillLists = [&] { FillLists(window, mesh); };

    RunState state;
    state.meshLoaded = Form_Load(window, mesh, fillLists);
    const std::string thresholdText = numtext::generalForm(threshold, separator);
    window.lastMessage.clear();  // the load notice
    // The lists put the slider's threshold into Text1 after each run, so it is typed again.
    window.setText1(thresholdText);
    Command1_Click(window, state, mesh, fillLists);
    window.setText1(thresholdText);
    Command1_Click(window, state, mesh, fillLists);  // a second run works on what the first left
    const bool windowWrote = state.meshLoaded && window.lastMessage.empty();
    if (state.meshLoaded) {
        selectAndDraw(window, mesh, wanted);
    }

    // The command line does the same two runs and must write the same bytes.
    BatchRequest request;
    request.file = input.string();
    request.thresholdTexts = {thresholdText, thresholdText};
    request.output = scratch.path("batch.mesh").string();
    request.values = (data[1] & 1) != 0;
    request.separator = separator;
    std::ostringstream out;
    std::ostringstream err;
    if (runBatch(request, out, err) == 0 && windowWrote &&
        readFile(output) != readFile(*request.output)) {
        std::abort();
    }
    if (windowWrote) {
        checkReadsBack(readFile(output), separator);
    }
    return 0;
}
