// SPDX-License-Identifier: GPL-3.0-or-later
// The one failure type of the program. Every operation that cannot go on throws a Failure
// carrying a short, plain description; the window shows it after its fixed prefix
// ("Error Occured: " when loading, "Error Occurred: " when writing).
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

namespace meshthin {

class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& description) : std::runtime_error(description) {}
};

// The plain description of anything thrown: a Failure's own, "Out of memory" for a failed
// allocation, the library's text otherwise. The message boxes show it after their prefix.
inline std::string describe(const std::exception& thrown) {
    if (dynamic_cast<const std::bad_alloc*>(&thrown) != nullptr) {
        return "Out of memory";
    }
    return thrown.what();
}

// The descriptions shared by several units, so that the same fault reads the same everywhere.
inline Failure overflowFailure() {
    return Failure("Overflow");
}
inline Failure indexFailure() {
    return Failure("Index out of range");
}

// Point numbers, positions in point lists, character positions and slider positions are
// 16-bit signed numbers; a value beyond that range is an overflow, never a silent wrap.
inline int16_t checked16(long long value) {
    if (value < INT16_MIN || value > INT16_MAX) {
        throw overflowFailure();
    }
    return static_cast<int16_t>(value);
}

inline int32_t checked32(long long value) {
    if (value < INT32_MIN || value > INT32_MAX) {
        throw overflowFailure();
    }
    return static_cast<int32_t>(value);
}

}  // namespace meshthin
