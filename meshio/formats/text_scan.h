// SPDX-License-Identifier: GPL-3.0-or-later
// What the readers of this folder share: a cursor over a text file's bytes that reads blanks,
// words and numbers by hand (fast_float for real numbers, std::from_chars for whole ones), and
// the failures that name the file with a line or a byte offset. Lines are counted only when a
// reader fails, so reading pays nothing for them. The cursor borrows the caller's bytes, which
// must outlive it; it belongs to one reader on one thread.
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <fast_float/fast_float.h>

#include "meshio/formats/polygon_mesh.h"

namespace meshthin::formats::detail {

// "name: line 12: expected ..., found ..." with the line holding offset (1-based).
[[noreturn]] void failAtLine(std::string_view fileName, std::string_view bytes, size_t offset,
                             std::string_view expected);
// "name: byte 345: expected ..." for binary data.
[[noreturn]] void failAtByte(std::string_view fileName, size_t offset, std::string_view expected);

// A count from the file made safe to reserve: no more items than the bytes left could hold at
// the given least size each, so that a lying header cannot ask for gigabytes.
inline size_t reservable(uint64_t count, size_t bytesLeft, size_t leastItemSize) {
    const uint64_t most = bytesLeft / (leastItemSize == 0 ? 1 : leastItemSize);
    return static_cast<size_t>(count < most ? count : most);
}

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

class TextCursor {
public:
    TextCursor(std::string_view bytes, std::string_view fileName)
        : bytes(bytes), fileName(fileName), p(bytes.data()), end(bytes.data() + bytes.size()) {
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            p += 3;  // a byte order mark some editors put before UTF-8 text
        }
    }

    // With continuation on, a backslash at the end of a line joins it to the next (OBJ).
    void allowContinuation() { continuation = true; }

    size_t offset() const { return static_cast<size_t>(p - bytes.data()); }
    bool atEnd() const { return p == end; }
    char peek() const { return p == end ? '\0' : *p; }
    char bytesAt(size_t offset) const { return bytes[offset]; }
    void advance() { ++p; }
    void moveTo(size_t offset) { p = bytes.data() + offset; }

    // Skips blanks within the line (and joined line ends).
    void skipBlanks() {
        while (p != end) {
            const char c = *p;
            if (isBlank(c)) {
                ++p;
            } else if (c == '\\' && continuation && joinsLine()) {
                p += p + 1 != end && p[1] == '\r' ? 3 : 2;
            } else {
                break;
            }
        }
    }
    // Whether the line ends here (after skipBlanks): a line break, the end or a '#' comment.
    bool atLineEnd() const { return p == end || *p == '\n' || *p == '#'; }
    // Moves past the end of the current line (past joined line ends too).
    void skipLine() {
        for (;;) {
            const void* found = std::memchr(p, '\n', static_cast<size_t>(end - p));
            if (found == nullptr) {
                p = end;
                return;
            }
            const char* lineEnd = static_cast<const char*>(found);
            p = lineEnd + 1;
            if (!continuation || !endsJoined(lineEnd)) {
                return;
            }
        }
    }
    // Skips blanks, line breaks and '#' comments up to the next word.
    void skipSpaceAndComments() {
        for (;;) {
            skipBlanks();
            if (p == end) {
                return;
            }
            if (*p == '\n') {
                ++p;
            } else if (*p == '#') {
                skipLine();
            } else {
                return;
            }
        }
    }
    // Ends a line: after blanks there must be a line end; moves past it.
    void endLine(std::string_view expected) {
        skipBlanks();
        if (!atLineEnd()) {
            fail(expected);
        }
        skipLine();
    }

    // The word at the cursor, up to a blank or a line break; moves past it.
    std::string_view word() {
        const char* start = p;
        while (p != end && !isBlank(*p) && *p != '\n') {
            ++p;
        }
        return {start, static_cast<size_t>(p - start)};
    }

    // A finite real number after blanks, or a failure naming what was expected. Read as the
    // type asked for: a float written in its shortest text reads back to the same float.
    template <typename Real = double>
    Real real(std::string_view expected) {
        skipBlanks();
        Real value = 0;
        const char* start = p;
        if (start != end && *start == '+') {
            ++start;  // fast_float, like from_chars, takes no "+"
        }
        const auto [stop, error] = fast_float::from_chars(start, end, value);
        if (error != std::errc() || !endsNumber(stop)) {
            fail(expected);
        }
        if (!std::isfinite(value)) {
            fail(std::string(expected) + " (a finite number)");
        }
        p = stop;
        return value;
    }
    // Like real, but reports a missing number (at the line's end) as false instead.
    bool optionalReal(double& value, std::string_view expected) {
        skipBlanks();
        if (atLineEnd()) {
            return false;
        }
        value = real(expected);
        return true;
    }
    // A whole number after blanks, up to a blank, a line end or one of the stop characters.
    int64_t whole(std::string_view expected, char stop = '\n') {
        skipBlanks();
        int64_t value = 0;
        const char* start = p != end && *p == '+' ? p + 1 : p;
        const auto [last, error] = std::from_chars(start, end, value);
        if (error != std::errc() || (!endsNumber(last) && (last == end || *last != stop))) {
            fail(expected);
        }
        p = last;
        return value;
    }

    [[noreturn]] void fail(std::string_view expected) const {
        failAtLine(fileName, bytes, offset(), expected);
    }
    [[noreturn]] void failAt(size_t at, std::string_view expected) const {
        failAtLine(fileName, bytes, at, expected);
    }

private:
    bool endsNumber(const char* q) const {
        return q == end || isBlank(*q) || *q == '\n' || *q == '#' || (continuation && *q == '\\');
    }
    // At a backslash: whether only a line break follows it.
    bool joinsLine() const {
        const char* q = p + 1;
        if (q != end && *q == '\r') {
            ++q;
        }
        return q != end && *q == '\n';
    }
    // Whether the line ending at lineEnd (its '\n') ends in a backslash.
    bool endsJoined(const char* lineEnd) const {
        const char* q = lineEnd;
        if (q != bytes.data() && q[-1] == '\r') {
            --q;
        }
        return q != bytes.data() && q[-1] == '\\';
    }

    std::string_view bytes;
    std::string_view fileName;
    const char* p;
    const char* end;
    bool continuation = false;
};

// Appends a number's shortest text that reads back to the same value ("." always).
template <typename Number>
void appendNumber(std::string& out, Number value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// Every face of mesh as a line of its corner count and its corners, as OFF and ascii PLY write
// them.
inline void appendCountedFaces(std::string& out, const PolygonMesh& mesh) {
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        appendNumber(out, mesh.faceStarts[f + 1] - mesh.faceStarts[f]);
        for (const uint32_t corner : mesh.face(f)) {
            out += ' ';
            appendNumber(out, corner);
        }
        out += '\n';
    }
}

// A colour channel given as a real number from 0 to 1, as a byte.
inline uint8_t colourByte(double fraction) {
    const double scaled = std::round(fraction * 255.0);
    return static_cast<uint8_t>(scaled > 255 ? 255 : scaled >= 0 ? scaled : 0);  // NaN gives 0
}

}  // namespace meshthin::formats::detail
