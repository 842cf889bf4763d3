// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/loader.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "meshio/numtext.h"
#include "meshio/startup.h"
#include "model/linetext.h"
#include "model/store.h"

namespace meshthin {

namespace {

// A read error of the stream, as the reader meets it; readMesh turns it into its failure.
struct ReadError {};

// The first CR or LF in [from, end), or end. Sixteen characters are compared at a time where the
// processor has registers for it, eight at a time on any other little-endian machine: the
// zero-byte test on the word less 14 in every byte flags the control characters (below 14, as
// CR and LF are), and its lowest flag is always a true one (a borrow only runs upwards); a
// flagged character that is neither CR nor LF (a tab) is passed.
const char* findLineBreak(const char* from, const char* end) {
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    while (end - from >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const int hits = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(block, lineFeed), _mm_cmpeq_epi8(block, carriageReturn)));
        if (hits != 0) {
            return from + std::countr_zero(static_cast<unsigned>(hits));
        }
        from += 16;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101;
        constexpr uint64_t kHighs = 0x8080808080808080;
        while (end - from >= 8) {
            uint64_t word = 0;
            std::memcpy(&word, from, 8);
            const uint64_t below14 = (word - kOnes * 14) & ~word & kHighs;
            if (below14 == 0) {
                from += 8;
                continue;
            }
            from += std::countr_zero(below14) / 8;
            if (*from == '\n' || *from == '\r') {
                return from;
            }
            ++from;
        }
    }
    for (; from < end && *from != '\n' && *from != '\r'; ++from) {
    }
    return from;
}

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
        size_t scanned = at;  // no line break lies in [at, scanned)
        for (;;) {
            const size_t end = static_cast<size_t>(
                findLineBreak(buffer.data() + scanned, buffer.data() + filled) - buffer.data());
            if (end < filled && (buffer[end] == '\n' || end + 1 < filled || ended)) {
                // Step over the line break: CR LF, or a lone LF or CR.
                const bool crLf =
                    buffer[end] == '\r' && end + 1 < filled && buffer[end + 1] == '\n';
                return take(end, end + (crLf ? 2 : 1));
            }
            if (end == filled && ended) {
                if (at == filled) {
                    throw Failure("Input past end of file");
                }
                return take(filled, filled);
            }
            // No line break yet, or a CR that may be followed by an LF in the next chunk.
            const size_t shift = at;
            fill();
            scanned = end - shift;
        }
    }

    // Where the first "}" stands in the line that next() returned last, or npos.
    size_t brace() const { return lineBrace; }

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
            at = filled;
            fill();
        }
    }

private:
    static constexpr size_t kChunk = size_t{1} << 16;

    // The line [at, end), the reading going on at next. Its first "}" comes from a search kept
    // from line to line: a brace stands on few lines, so the search runs seldom.
    std::string_view take(size_t end, size_t next) {
        if (!braceKnown || nextBrace < at) {
            const void* hit = std::memchr(buffer.data() + at, '}', filled - at);
            nextBrace = hit != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(hit) - buffer.data())
                            : filled;
            braceKnown = true;
        }
        lineBrace = nextBrace < end ? nextBrace - at : std::string_view::npos;
        const std::string_view line(buffer.data() + at, end - at);
        ++lineNumber;
        at = next;
        return line;
    }

    // Moves the unread characters to the front, makes room and reads the next chunk behind them.
    void fill() {
        // A brace found ahead stays found, moved with the characters; where none was found, the
        // search runs again over what comes in.
        if (braceKnown && nextBrace >= at && nextBrace < filled) {
            nextBrace -= at;
        } else {
            braceKnown = false;
        }
        if (filled > at) {
            // Before the first chunk the buffer has no storage at all, and memmove may not be
            // handed a null pointer even for nothing to move.
            std::memmove(buffer.data(), buffer.data() + at, filled - at);
        }
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
    // The buffer is kept from one reader to the next, as the other working lists of the program
    // are: a load allocates only for the mesh it reads.
    static inline std::vector<char> buffer;
    size_t at = 0;      // the start of the next line in buffer
    size_t filled = 0;  // the characters read into buffer
    size_t passed = 0;  // the characters of the stream moved out of buffer
    bool ended = false;
    long long lineNumber = 0;
    size_t lineBrace = std::string_view::npos;
    // When braceKnown: the first "}" from where the last search started on, or filled when the
    // buffer held none from there on.
    size_t nextBrace = 0;
    bool braceKnown = false;
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
    size_t brace = lines.brace();
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
        brace = lines.brace();
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
        if (lines.brace() != std::string_view::npos) {
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
