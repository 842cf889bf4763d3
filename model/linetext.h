// SPDX-License-Identifier: GPL-3.0-or-later
// Searching a line the way the file format describes it: 1-based character positions, 0 for
// "not found". Positions used while parsing point groups and face lines are 16-bit, so a search
// whose result would pass 32767 is an overflow.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/failure.h"

namespace meshthin {

// Position of the first occurrence of text that starts at or after position from, or 0.
inline int16_t find(std::string_view line, long long from, std::string_view text) {
    if (from < 1) {
        from = 1;
    }
    if (static_cast<size_t>(from) > line.size()) {
        return 0;
    }
    const size_t at = line.find(text, static_cast<size_t>(from - 1));
    if (at == std::string_view::npos) {
        return 0;
    }
    return checked16(static_cast<long long>(at) + 1);
}

// Whether the line contains text anywhere; not limited to 16-bit positions.
inline bool contains(std::string_view line, std::string_view text) {
    return line.find(text) != std::string_view::npos;
}

// The characters strictly between the 1-based positions open and close.
inline std::string_view between(std::string_view line, long long open, long long close) {
    if (close <= open + 1 || static_cast<size_t>(open) >= line.size()) {
        return {};
    }
    const size_t first = static_cast<size_t>(open);
    const size_t count = std::min(static_cast<size_t>(close - open - 1), line.size() - first);
    return line.substr(first, count);
}

// The 0-based position of the first c at or after from, or npos. A plain loop: the character
// sought while reading a line in one pass is nearly always a few places on, where a library
// search costs more to start than the loop to run.
inline size_t findNear(std::string_view line, size_t from, char c) {
    for (; from < line.size(); ++from) {
        if (line[from] == c) {
            return from;
        }
    }
    return std::string_view::npos;
}

// The line without leading and trailing blanks (spaces only; a tab is an ordinary character).
inline std::string_view trimBlanks(std::string_view text) {
    // Plain loops: a line has few blanks at either end, if any.
    size_t first = 0;
    while (first < text.size() && text[first] == ' ') {
        ++first;
    }
    size_t end = text.size();
    while (end > first && text[end - 1] == ' ') {
        --end;
    }
    return text.substr(first, end - first);
}

}  // namespace meshthin
