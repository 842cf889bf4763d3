// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/loader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "meshio/any_mesh.h"
#include "meshio/numtext.h"
#include "meshio/startup.h"
#include "meshio/writer.h"
#include "model/expect.h"
#include "model/linetext.h"
#include "model/mesh.h"

namespace meshthin {

namespace {

// A read error of the stream, as the reader meets it; readMesh turns it into its failure.
struct ReadError {};

// The first CR or LF in [from, end), or end: the plain loop at its end is the rule, and the
// block before it must answer exactly what that loop would. Sixteen characters are compared at a
// time where the processor has registers for it; the loop takes the few behind the last whole
// block (a third tier, eight at a time in a word, measured no faster: loading took 1.78 to 2.02
// times its from_chars floor with it and 1.77 to 2.01 without, on the same quiet machine).
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
    for (; from < end && *from != '\n' && *from != '\r'; ++from) {
    }
    return from;
}

// What a file lacks when it ends while the reading still expects a line: the end-of-file
// failure names it, so that a user can tell a cut-off file from one that is not a mesh at all.
enum class Expecting { PointsMarker, Points, FacesMarker, Faces };

std::string endOfFileText(Expecting expecting) {
    const char* lacking = "";
    switch (expecting) {
        case Expecting::PointsMarker:
            lacking = "the file ends before its \"points {\" line";
            break;
        case Expecting::Points:
            lacking = "inside the points";
            break;
        case Expecting::FacesMarker:
            lacking = "before its \"faces {\" line";
            break;
        case Expecting::Faces:
            lacking = "inside the faces";
            break;
    }
    return std::string("Input past end of file (") + lacking + ")";
}

// Hands out the lines of a stream one at a time, without their line breaks; CR LF, LF and a lone
// CR all end a line. Asking for a line when none is left is the end-of-file failure, which says
// what the reading expected (expect()). Counts the lines as a text editor does, from 1, so that a
// failure can name the line it comes from.
//
// The stream is read in chunks into a buffer that grows only to hold the longest line: a file is
// never held whole, so its text takes neither the memory nor the time of a copy of its own. The
// buffer belongs to the reader, one load's working memory; allocating it costs about a
// microsecond against the milliseconds of a load.
// A read error is thrown as ReadError when the reader meets it.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in(in), expected(in.rdbuf()->in_avail()) {}

    // What the lines from here on are read for, which an end-of-file failure names.
    void expect(Expecting what) { expecting = what; }

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
                    throw Failure(endOfFileText(expecting));
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

    // The same, but false instead of the failure when the text ends first.
    bool skipPastIfAny(std::string_view marker) {
        for (;;) {
            try {
                if (contains(next(), marker)) {
                    return true;
                }
            } catch (const Failure&) {
                return false;  // next() fails only at the end of the text
            }
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
    Expecting expecting = Expecting::PointsMarker;
    std::vector<char> buffer;
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

void readPoints(Mesh& mesh, LineReader& lines, const NumberCodec& numbers) {
    // Room for every point at once: a group takes at least 7 characters, and no more than 32768
    // slots can be numbered.
    mesh.Points.reserve(std::min<size_t>(lines.remaining() / 7 + 2, size_t{INT16_MAX} + 1));
    std::string_view line = lines.next();
    // Only the part of a line before its first "}" belongs to the section; the line that holds
    // the brace ends the section once the groups before the brace are read.
    size_t brace = lines.brace();
    std::string_view groups = line.substr(0, brace);
    int16_t searchPosition = 1;
    int16_t pointCounter = 0;
    for (;;) {
        mesh.Points.growTo(pointCounter);
        int16_t closing = -1;
        try {
            closing = mesh.Points(pointCounter)
                          .loadme(mesh, groups, searchPosition, pointCounter, numbers);
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

FaceLines readFaces(Mesh& mesh, LineReader& lines, const NumberCodec& numbers) {
    FaceLines faceLines;
    std::string_view line = lines.next();
    // Room for as many faces as there are lines like the first in the rest of the text, counting
    // at least 12 characters a line: the arrays then seldom grow by doubling.
    const size_t expected = lines.remaining() / std::max<size_t>(line.size() + 1, 12) + 1;
    mesh.Faces.reserve(expected);
    faceLines.reserve(expected);
    long long faceCounter = 0;
    for (;;) {
        mesh.Faces.growTo(faceCounter);
        faceLines.push_back(lines.number());
        try {
            mesh.Faces(faceCounter).loadme(mesh, line, numbers);
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

// --- Files in the writer's own form ---
//
// The writer's file starts with its fixed header, which holds "points {" on line 1 where the
// reading above never looks; its points end on the line "}faces {" and its point numbers stand
// with blanks inside their groups, "( 4 )". A file whose first line is exactly that header is
// read as the writer wrote it instead: the points from line 2 up to the line that begins with
// "}" and holds "faces {", the faces from the line after it up to the first line holding "}" (the
// writer's " } "). The writer's last point line is that of the mesh's spare slot, so the last
// point read becomes the spare slot again; writing the mesh once more gives the same bytes.
//
// Every file that the reading above takes keeps its meaning: such a file with the header on
// line 1 holds "points {" on a later line, and from the first such line on it is read as any
// other file. A failure of the writer's form is therefore only reported once the rest of the
// file is known to hold no "points {" line.

// Thrown when a line holding "points {" shows that the file is not in the writer's form.
struct PointsMarkerFound {};

void throwIfPointsMarker(std::string_view line) {
    if (contains(line, "points {")) {
        throw PointsMarkerFound{};
    }
}

// The writer's point lines up to "}faces {". Every point read takes its slot; the last is the
// spare slot, and a section without any point gets a spare slot as the reading above makes it.
void readWrittenPoints(Mesh& mesh, LineReader& lines, const NumberCodec& numbers) {
    lines.expect(Expecting::Points);
    long long pointCounter = 0;
    for (;;) {
        const std::string_view line = lines.next();
        throwIfPointsMarker(line);
        if (!line.empty() && line.front() == '}' && contains(line, "faces {")) {
            break;
        }
        try {
            // The groups of the line one after another, as Point::loadme finds them; a slot is
            // made only for a group that is there.
            int16_t searchPosition = 1;
            while (find(line, searchPosition, "(") != 0) {
                const int16_t slot = checked16(pointCounter);
                mesh.Points.growTo(slot);
                const int16_t closing =
                    mesh.Points(slot).loadme(mesh, line, searchPosition, slot, numbers);
                MESHTHIN_EXPECT(closing > 0, "loadme reads the group that find saw");
                ++pointCounter;
                if (closing < 0) {
                    break;
                }
                searchPosition = closing;
            }
        } catch (const Failure& failure) {
            throw onLine(failure, lines.number());
        }
    }
    if (pointCounter == 0) {
        mesh.Points.growTo(0);
        // No group: the spare slot as a failed attempt.
        mesh.Points(0).loadme(mesh, {}, 1, 0, numbers);
    }
}

// The writer's groups hold blanks around the point number, "( 4 )"; the face's own reading takes
// the number right after "(". Moving the number's characters over the blanks before it keeps the
// line's length, so every position, and every 16-bit limit on one, stays where it was.
// The number's text ends where the face's reading ends it, at a blank or ")": a "(" inside it
// stays in it ("( 1(2 )" reads "1(2", as "(1(2 )" does), and the next group is looked for
// behind it.
void moveNumbersToTheirParentheses(std::string& line) {
    for (size_t open = line.find('('); open != std::string::npos; open = line.find('(', open + 1)) {
        size_t first = open + 1;
        while (first < line.size() && line[first] == ' ') {
            ++first;
        }
        if (first == open + 1 || first == line.size() || line[first] == '(') {
            continue;
        }
        size_t end = first;
        while (end < line.size() && line[end] != ' ' && line[end] != ')') {
            ++end;
        }
        const size_t blanks = first - open - 1;
        std::copy(line.begin() + static_cast<std::ptrdiff_t>(first),
                  line.begin() + static_cast<std::ptrdiff_t>(end),
                  line.begin() + static_cast<std::ptrdiff_t>(open + 1));
        std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(end - blanks), blanks, ' ');
        open = end - 1;
    }
}

FaceLines readWrittenFaces(Mesh& mesh, LineReader& lines, const NumberCodec& numbers) {
    lines.expect(Expecting::Faces);
    FaceLines faceLines;
    mesh.Faces.growTo(-1);  // the faces exist, even when the writer wrote none
    long long faceCounter = 0;
    std::string moved;
    for (;;) {
        const std::string_view line = lines.next();
        throwIfPointsMarker(line);
        if (lines.brace() != std::string_view::npos) {
            return faceLines;
        }
        mesh.Faces.growTo(faceCounter);
        faceLines.push_back(lines.number());
        moved.assign(line);
        moveNumbersToTheirParentheses(moved);
        try {
            mesh.Faces(faceCounter).loadme(mesh, moved, numbers);
        } catch (const Failure& failure) {
            throw onLine(failure, lines.number());
        }
        ++faceCounter;
    }
}

// Empties mesh again after a read that failed or starts over: what was read goes; the output
// number stays, as the caller had it (an assigned mesh keeps its observer by itself).
void emptyAgain(Mesh& mesh) {
    const int32_t nextOrder = mesh.NextPtOrder;
    mesh = Mesh();
    mesh.NextPtOrder = nextOrder;
}

// Reads a file whose line 1 was the writer's header. Returns nothing when a line holding
// "points {" turns up; the lines up to and including it are then read, and the mesh is empty.
std::optional<FaceLines> readWrittenForm(Mesh& mesh, LineReader& lines,
                                         const NumberCodec& numbers) {
    const auto startAfresh = [&] { emptyAgain(mesh); };
    try {
        readWrittenPoints(mesh, lines, numbers);
        FaceLines faceLines = readWrittenFaces(mesh, lines, numbers);
        // The reading above would look for "points {" in the lines after the faces too.
        if (lines.skipPastIfAny("points {")) {
            startAfresh();
            return std::nullopt;
        }
        return faceLines;
    } catch (const PointsMarkerFound&) {
        startAfresh();
        return std::nullopt;
    } catch (const Failure&) {
        if (lines.skipPastIfAny("points {")) {
            startAfresh();
            return std::nullopt;
        }
        throw;
    }
}

FaceLines readLines(Mesh& mesh, LineReader& lines, const NumberCodec& numbers) {
    lines.expect(Expecting::PointsMarker);
    // Line 1 is never examined for the markers; only the writer's own header changes the way
    // the file is read.
    if (lines.next() == meshHeader()) {
        if (std::optional<FaceLines> faceLines = readWrittenForm(mesh, lines, numbers)) {
            return *faceLines;
        }
    } else {
        lines.skipPast("points {");
    }
    lines.expect(Expecting::Points);
    readPoints(mesh, lines, numbers);
    lines.expect(Expecting::FacesMarker);
    lines.skipPast("faces {");
    lines.expect(Expecting::Faces);
    return readFaces(mesh, lines, numbers);
}

}  // namespace

FaceLines readMesh(Mesh& mesh, std::istream& in, const NumberCodec& numbers) {
    MESHTHIN_EXPECT(mesh.isEmpty(), "a mesh is read into an empty mesh");
    // A read error anywhere in the stream fails the load and wins over any other failure, and the
    // mesh is then empty again. The lines are read as the stream comes in: a read error empties
    // the mesh once met, and a failure of a line waits until the rest of the stream is read.
    try {
        LineReader lines(in);
        FaceLines faceLines;
        try {
            faceLines = readLines(mesh, lines, numbers);
        } catch (const Failure&) {
            lines.readToEnd();
            throw;
        }
        lines.readToEnd();
        return faceLines;
    } catch (const ReadError&) {
        emptyAgain(mesh);
        throw Failure("The file could not be read");
    }
}

FaceLines readMeshFile(Mesh& mesh, const std::string& path, const NumberCodec& numbers) {
    if (path.empty()) {
        throw Failure("No file was chosen");
    }
    const auto cannotOpen = [&path](int error) {
        return Failure("Cannot open file: " + path + " (" + std::generic_category().message(error) +
                       ")");
    };
    // A folder opens for reading as a file does, and fails only at the first read.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw cannotOpen(EISDIR);
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        // The stream opens the file through the C library, which leaves the reason in errno.
        throw cannotOpen(errno != 0 ? errno : ENOENT);
    }
    return readMesh(mesh, in, numbers);
}

Mesh loadMesh(const std::string& path, const NumberCodec& numbers) {
    Mesh mesh;
    runStartupPasses(mesh, readMeshFile(mesh, path, numbers));
    return mesh;
}

bool Form_Load(Window& window, Mesh& mesh, const std::function<void()>& FillLists,
               MeshSource* source, const MeshReader& read) {
    window.messageBox(kLoadNotice);
    return openMeshFile(window, mesh, window.openDialog(), FillLists, source, read);
}

bool openMeshFile(Window& window, Mesh& mesh, const std::string& fileName,
                  const std::function<void()>& FillLists, MeshSource* source,
                  const MeshReader& read) {
    try {
        const numtext::LocaleNumbers numbers(window.decimalSeparator());
        MeshSource loadedFrom;
        mesh = read ? read(fileName, numbers, &loadedFrom)
                    : loadAnyMesh(fileName, numbers, &loadedFrom);
        FillLists();
        if (source != nullptr) {
            *source = std::move(loadedFrom);
        }
        return true;
    } catch (const LoadStopped&) {
        // The user stopped the load: nothing to say, and nothing changed.
    } catch (const std::exception& thrown) {
        // The mesh being read is gone by now, so a load that ran out of memory can say so.
        window.messageBox(std::string(kLoadErrorPrefix) + describe(thrown, "load " + fileName));
    }
    return false;
}

}  // namespace meshthin
