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

// "Not enough memory to " and what could not be done: "load bunny.mesh", "run at threshold 0.5".
inline std::string notEnoughMemoryTo(const std::string& what) {
    return "Not enough memory to " + what;
}

// A failure for want of memory, thrown in place of a failed allocation where what could not be
// done is known ("write thin.mesh") but the message is shown further up, by a caller that drops
// what the work had half changed.
class NotEnoughMemory : public Failure {
public:
    explicit NotEnoughMemory(const std::string& what) : Failure(notEnoughMemoryTo(what)) {}
};

// Whether thrown says that the memory ran out: a failed allocation, a container asked for more
// room than it can ever have (a count read from a file, say), or a NotEnoughMemory. Any of them
// ends the work it met like any other failure, never the program; the work's caller drops what
// it had half changed.
inline bool outOfMemory(const std::exception& thrown) {
    return dynamic_cast<const std::bad_alloc*>(&thrown) != nullptr ||
           dynamic_cast<const std::length_error*>(&thrown) != nullptr ||
           dynamic_cast<const NotEnoughMemory*>(&thrown) != nullptr;
}

// The plain description of anything thrown: a Failure's own, "Not enough memory to go on" when
// the memory ran out, the library's text otherwise. The message boxes show it after their prefix.
inline std::string describe(const std::exception& thrown) {
    if (outOfMemory(thrown) && dynamic_cast<const Failure*>(&thrown) == nullptr) {
        return notEnoughMemoryTo("go on");
    }
    return thrown.what();
}

// The same, saying what could not be done when the memory ran out (a NotEnoughMemory says it
// itself).
inline std::string describe(const std::exception& thrown, const std::string& what) {
    if (outOfMemory(thrown) && dynamic_cast<const Failure*>(&thrown) == nullptr) {
        return notEnoughMemoryTo(what);
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
