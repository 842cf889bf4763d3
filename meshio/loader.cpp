#include "meshio/loader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "meshio/numtext.h"
#include "meshio/startup.h"
#include "model/linetext.h"
#include "model/store.h"

namespace meshthin {

namespace {

// A read error of the stream, as the reader meets it; readMesh turns it into its failure.
struct ReadError {};

// Hands out the lines of a stream one at a time, without their line breaks; CR LF, LF and a lone
// CR all end a line. Asking for a line when none is left is the end-of-file failure. Counts the
// lines as a text editor does, from 1, so that a failure can name the line it comes from.
//
// The stream is read in chunks into a buffer that grows only to hold the longest line: a file is
// never held whole, so its text takes neither the memory nor the time of a copy of its own.
// A read error is thrown as ReadError when the reader meets it.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in(in), expected(in.rdbuf()->in_avail()) {}

    // The line stays valid until the next call.
    std::string_view next() {
        for (;;) {
            const size_t end = std::min(nextOf('\n', lineFeed), nextOf('\r', carriageReturn));
            if (end < filled && (buffer[end] == '\n' || end + 1 < filled || ended)) {
                const std::string_view line(buffer.data() + at, end - at);
                ++lineNumber;
                // Step over the line break: CR LF, or a lone LF or CR.
                at = end +
                     (buffer[end] == '\r' && end + 1 < filled && buffer[end + 1] == '\n' ? 2 : 1);
                return line;
            }
            if (end == filled && ended) {
                if (at == filled) {
                    throw Failure("Input past end of file");
                }
                const std::string_view line(buffer.data() + at, filled - at);
                ++lineNumber;
                at = filled;
                return line;
            }
            // No line break yet, or a CR that may be followed by an LF in the next chunk.
            fill();
        }
    }

    // Reads lines up to and including the first that contains marker.
    void skipPast(std::string_view marker) {
        while (!contains(next(), marker)) {
        }
    }

    // The number of the line that next() returned last.
    long long number() const { return lineNumber; }

    // About how many characters follow the line that next() returned last, as far as the stream
    // told at the start how many it had; 0 when it did not.
    size_t remaining() const {
        const long long left =
            static_cast<long long>(expected) - static_cast<long long>(passed + at);
        return left > 0 ? static_cast<size_t>(left) : 0;
    }

    // Reads the rest of the stream, so that a read error anywhere in it is met.
    void readToEnd() {
        while (!ended) {
            passed += filled;
            at = filled = 0;
            lineFeed = carriageReturn = Search{};
            fill();
        }
    }

private:
    static constexpr size_t kChunk = size_t{1} << 16;

    // What is known of the next c: none lies in [at, position), and buffer[position] is one when
    // found is set. Kept from line to line, so that a stream without any CR is searched for one
    // only once, chunk by chunk.
    struct Search {
        size_t position = 0;
        bool found = false;
    };

    // The position of the first c at or after at, or filled when there is none in the buffer.
    size_t nextOf(char c, Search& search) const {
        if (search.position < at) {
            search = Search{at, false};
        }
        if (!search.found) {
            const void* hit =
                std::memchr(buffer.data() + search.position, c, filled - search.position);
            search.found = hit != nullptr;
            search.position =
                hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - buffer.data())
                               : filled;
        }
        return search.position;
    }

    // Moves the unread characters to the front, makes room and reads the next chunk behind them.
    void fill() {
        for (Search* search : {&lineFeed, &carriageReturn}) {
            if (search->position < at) {
                *search = Search{at, false};
            }
            search->position -= at;
        }
        std::memmove(buffer.data(), buffer.data() + at, filled - at);
        passed += at;
        filled -= at;
        at = 0;
        if (buffer.size() - filled < kChunk / 2) {
            buffer.resize(std::max(2 * buffer.size(), kChunk));  // a line longer than the rest
        }
        in.read(buffer.data() + filled, static_cast<std::streamsize>(buffer.size() - filled));
        filled += static_cast<size_t>(in.gcount());
        if (!in) {
            ended = true;
            if (in.bad()) {
                throw ReadError{};
            }
        }
    }

    std::istream& in;
    std::streamsize expected;  // what the stream had ready at the start, if it told
    std::vector<char> buffer;
    size_t at = 0;      // the start of the next line in buffer
    size_t filled = 0;  // the characters read into buffer
    size_t passed = 0;  // the characters of the stream moved out of buffer
    bool ended = false;
    long long lineNumber = 0;
    Search lineFeed;
    Search carriageReturn;
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

FaceLines readLines(LineReader& lines, const NumberCodec& numbers) {
    lines.next();  // line 1 is never examined
    lines.skipPast("points {");
    readPoints(lines, numbers);
    lines.skipPast("faces {");
    return readFaces(lines, numbers);
}

}  // namespace

FaceLines readMesh(std::istream& in, const NumberCodec& numbers) {
    // A read error anywhere in the stream fails the load and wins over any other failure, and the
    // store is then as it was. Into an empty store the lines are read as the stream comes in: a
    // read error empties it again once met, and a failure of a line waits until the rest of the
    // stream is read. Into a store that holds something the stream is read whole first.
    if (!storeIsEmpty()) {
        std::istringstream whole(readAll(in));
        LineReader lines(whole);
        return readLines(lines, numbers);
    }
    const int32_t nextOrder = NextPtOrder;
    try {
        LineReader lines(in);
        FaceLines faceLines;
        try {
            faceLines = readLines(lines, numbers);
        } catch (const Failure&) {
            lines.readToEnd();
            throw;
        }
        lines.readToEnd();
        return faceLines;
    } catch (const ReadError&) {
        resetStore();
        NextPtOrder = nextOrder;
        throw Failure("The file could not be read");
    }
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
