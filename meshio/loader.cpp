#include "meshio/loader.h"

#include <algorithm>
#include <cstring>
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
// CR all end a line. Asking for a line when none is left is the end-of-file failure. Counts the
// lines as a text editor does, from 1, so that a failure can name the line it comes from.
class LineReader {
public:
    explicit LineReader(std::string text) : text(std::move(text)) {}

    // The line stays valid as long as the reader.
    std::string_view next() {
        if (at >= text.size()) {
            throw Failure("Input past end of file");
        }
        const size_t end = std::min(nextOf('\n', nextLineFeed), nextOf('\r', nextReturn));
        const std::string_view line = std::string_view(text).substr(at, end - at);
        ++lineNumber;
        at = end;
        if (at < text.size()) {
            // Step over the line break: CR LF, or a lone LF or CR.
            at += text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
        }
        return line;
    }

    // Reads lines up to and including the first that contains marker.
    void skipPast(std::string_view marker) {
        while (!contains(next(), marker)) {
        }
    }

    // The number of the line that next() returned last.
    long long number() const { return lineNumber; }

    // The characters behind the line that next() returned last.
    size_t remaining() const { return text.size() - at; }

private:
    // The position of the first c at or after the start of the line, or the size of the text.
    // Each kind of line break is searched for on its own, with memchr, which looks at many
    // characters at a time, and the position found is kept until the reading passes it: a text
    // without any CR is searched for one only once.
    size_t nextOf(char c, size_t& known) const {
        if (known < at) {
            known = search(c);
        }
        return known;
    }

    size_t search(char c) const {
        const void* found = std::memchr(text.data() + at, c, text.size() - at);
        return found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - text.data())
                                : text.size();
    }

    std::string text;
    size_t at = 0;
    long long lineNumber = 0;
    size_t nextLineFeed = search('\n');
    size_t nextReturn = search('\r');
};

// A failure that comes from one line of the file says which line, so that a user can find it.
Failure onLine(const Failure& failure, long long lineNumber) {
    return Failure(failure.what() + lineSuffix(lineNumber));
}

void readPoints(LineReader& lines, const NumberCodec& numbers) {
    // Room for every point at once: a group takes at least 7 characters, and no more than 32768
    // slots can be numbered.
    Points.reserve(std::min<size_t>(lines.remaining() / 7 + 2, size_t{INT16_MAX} + 1));
    std::string_view line = lines.next();
    // Only the part of a line before its first "}" belongs to the section; the line that holds
    // the brace ends the section once the groups before the brace are read.
    size_t brace = line.find('}');
    std::string_view groups = line.substr(0, brace);
    int16_t searchPosition = 1;
    int16_t pointCounter = 0;
    for (;;) {
        Points.growTo(pointCounter);
        int16_t closing = -1;
        try {
            closing = Points(pointCounter).loadme(groups, searchPosition, pointCounter, numbers);
            if (closing >= 0) {
                // The group that makes one point too many is the line to point at.
                pointCounter = checked16(pointCounter + 1LL);
            }
        } catch (const Failure& failure) {
            throw onLine(failure, lines.number());
        }
        if (closing >= 0) {
            searchPosition = closing;
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

FaceLines readFaces(LineReader& lines, const NumberCodec& numbers) {
    FaceLines faceLines;
    std::string_view line = lines.next();
    // Room for as many faces as there are lines like the first in the rest of the text, counting
    // at least 12 characters a line: the arrays then seldom grow by doubling.
    const size_t expected = lines.remaining() / std::max<size_t>(line.size() + 1, 12) + 1;
    Faces.reserve(expected);
    faceLines.reserve(expected);
    long long faceCounter = 0;
    for (;;) {
        Faces.growTo(faceCounter);
        faceLines.push_back(lines.number());
        try {
            Faces(faceCounter).loadme(line, numbers);
        } catch (const Failure& failure) {
            throw onLine(failure, lines.number());
        }
        ++faceCounter;
        line = lines.next();
        if (line.find('}') != std::string_view::npos) {
            return faceLines;
        }
    }
}

// Everything the stream holds. The stream reads itself, so that a read error marks it bad;
// copying its buffer with << would swallow the error and pass the text read so far off as the
// whole file.
std::string readAll(std::istream& in) {
    std::string text;
    // What the stream says it has ready (all of a string, the rest of a file) is room to make at
    // once rather than by doubling as the chunks come in.
    const std::streamsize ready = in.rdbuf()->in_avail();
    if (ready > 0) {
        text.reserve(static_cast<size_t>(std::min<std::streamsize>(ready, 1 << 30)));
    }
    // Read straight into the text, a chunk at a time.
    constexpr size_t kChunk = 1 << 16;
    do {
        const size_t had = text.size();
        text.resize(had + std::max(kChunk, text.capacity() - had));
        in.read(text.data() + had, static_cast<std::streamsize>(text.size() - had));
        text.resize(had + static_cast<size_t>(in.gcount()));
    } while (in);
    if (in.bad()) {
        throw Failure("The file could not be read");
    }
    return text;
}

}  // namespace

FaceLines readMesh(std::istream& in, const NumberCodec& numbers) {
    LineReader lines(readAll(in));
    lines.next();  // line 1 is never examined
    lines.skipPast("points {");
    readPoints(lines, numbers);
    lines.skipPast("faces {");
    return readFaces(lines, numbers);
}

FaceLines readMeshFile(const std::string& path, const NumberCodec& numbers) {
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
    return readMesh(in, numbers);
}

void loadMesh(const std::string& path, const NumberCodec& numbers) {
    runStartupPasses(readMeshFile(path, numbers));
}

bool Form_Load(Window& window, const std::function<void()>& FillLists) {
    window.messageBox(kLoadNotice);
    return openMeshFile(window, window.openDialog(), FillLists);
}

bool openMeshFile(Window& window, const std::string& fileName,
                  const std::function<void()>& FillLists) {
    try {
        const numtext::LocaleNumbers numbers(window.decimalSeparator());
        loadMesh(fileName, numbers);
        FillLists();
        return true;
    } catch (const std::exception& thrown) {
        window.messageBox(std::string(kLoadErrorPrefix) + describe(thrown));
    }
    return false;
}

}  // namespace meshthin
