#include "meshio/loader.h"

#include <filesystem>
#include <fstream>
#include <utility>

#include "meshio/numtext.h"
#include "meshio/startup.h"
#include "model/linetext.h"
#include "model/store.h"

namespace meshthin {

namespace {

// Hands out the lines of a text one at a time, without their line breaks; CR LF, LF and a lone
// CR all end a line. Asking for a line when none is left is the end-of-file failure.
class LineReader {
public:
    explicit LineReader(std::string text) : text(std::move(text)) {}

    // The line stays valid as long as the reader.
    std::string_view next() {
        if (at >= text.size()) {
            throw Failure("Input past end of file");
        }
        size_t end = at;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        const std::string_view line = std::string_view(text).substr(at, end - at);
        at = end;
        if (at < text.size()) {
            // Step over the line break: CR LF, or a lone LF or CR.
            at += text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
        }
        return line;
    }

    // Reads lines up to and including the first that contains marker.
    void skipPast(std::string_view marker) {
        while (!contains(next(), marker)) {
        }
    }

private:
    std::string text;
    size_t at = 0;
};

void readPoints(LineReader& lines, const NumberCodec& numbers) {
    std::string_view line = lines.next();
    // Only the part of a line before its first "}" belongs to the section; the line that holds
    // the brace ends the section once the groups before the brace are read.
    size_t brace = line.find('}');
    std::string_view groups = line.substr(0, brace);
    int16_t searchPosition = 1;
    int16_t pointCounter = 0;
    for (;;) {
        Points.growTo(pointCounter);
        const int16_t closing =
            Points(pointCounter).loadme(groups, searchPosition, pointCounter, numbers);
        if (closing >= 0) {
            searchPosition = closing;
            pointCounter = checked16(pointCounter + 1LL);
            continue;
        }
        if (brace != std::string::npos) {
            break;  // the slot of this failed attempt stays as the spare slot
        }
        line = lines.next();
        brace = line.find('}');
        groups = line.substr(0, brace);
        searchPosition = 1;
    }
}

void readFaces(LineReader& lines, const NumberCodec& numbers) {
    std::string_view line = lines.next();
    long long faceCounter = 0;
    for (;;) {
        Faces.growTo(faceCounter);
        Faces(faceCounter).loadme(line, numbers);
        ++faceCounter;
        line = lines.next();
        if (contains(line, "}")) {
            break;
        }
    }
}

// Everything the stream holds. The stream reads itself, so that a read error marks it bad;
// copying its buffer with << would swallow the error and pass the text read so far off as the
// whole file.
std::string readAll(std::istream& in) {
    std::string text;
    char chunk[1 << 16];
    do {
        in.read(chunk, sizeof chunk);
        text.append(chunk, static_cast<size_t>(in.gcount()));
    } while (in);
    if (in.bad()) {
        throw Failure("The file could not be read");
    }
    return text;
}

}  // namespace

void readMesh(std::istream& in, const NumberCodec& numbers) {
    LineReader lines(readAll(in));
    lines.next();  // line 1 is never examined
    lines.skipPast("points {");
    readPoints(lines, numbers);
    lines.skipPast("faces {");
    readFaces(lines, numbers);
}

void readMeshFile(const std::string& path, const NumberCodec& numbers) {
    if (path.empty()) {
        throw Failure("No file was chosen");
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw Failure("Cannot open a folder as a mesh file: " + path);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        throw Failure("Cannot open file: " + path);
    }
    readMesh(in, numbers);
}

bool Form_Load(Window& window, const std::function<void()>& FillLists) {
    window.messageBox(kLoadNotice);
    const std::string fileName = window.openDialog();
    try {
        const numtext::LocaleNumbers numbers(window.decimalSeparator());
        readMeshFile(fileName, numbers);
        runStartupPasses();
        FillLists();
        return true;
    } catch (const std::exception& thrown) {
        window.messageBox(std::string(kLoadErrorPrefix) + describe(thrown));
    }
    return false;
}

}  // namespace meshthin
