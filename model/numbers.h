// SPDX-License-Identifier: GPL-3.0-or-later
// How a record turns the number texts of its line into numbers and back. The file layer
// supplies the locale-aware implementation; the records only find the texts in a line.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace meshthin {

// The plain integer a text starts with: 1 to 5 digits whose value fits 16 bits.
struct PlainInt16 {
    size_t length;  // the digits taken, 0 when the text does not start with such an integer
    int16_t value;
};

// Reads the plain integer a text starts with. Six characters at most are looked at: six digits
// or more are left to toInt16, as is everything else.
inline PlainInt16 readPlainDigits(std::string_view text) {
    const size_t end = std::min<size_t>(text.size(), 6);
    unsigned number = 0;
    size_t length = 0;
    for (; length < end; ++length) {
        const unsigned digit = static_cast<unsigned char>(text[length]) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        number = number * 10 + digit;
    }
    if (length == 0 || length == 6 || number > INT16_MAX) {
        return {0, 0};
    }
    return {length, static_cast<int16_t>(number)};
}

class NumberCodec {
public:
    virtual ~NumberCodec() = default;
    // A coordinate text to a double; throws a Failure when the text is not a number.
    virtual double toDouble(std::string_view text) const = 0;
    // An integer text to a 16-bit number (halves to even); throws a Failure when the text is
    // not a number or does not fit.
    virtual int16_t toInt16(std::string_view text) const = 0;
    // A coordinate as written in a point line: rounded to 5 decimals, general decimal form.
    virtual std::string coordinateText(double value) const = 0;

    // A record reads its line in one pass with these. readPlainDouble reads the number a text
    // starts with when it is written plainly, returns how many characters it took and stores in
    // value what toDouble gives for exactly those characters; 0 means the text does not start
    // with such a number (or the codec does not read plainly), and the record then delimits the
    // number text as the format says and asks toDouble, which gives the value or the failure.
    // It never throws.
    virtual size_t readPlainDouble(std::string_view /*text*/, double& /*value*/) const { return 0; }
    // Whether toInt16 gives readPlainDigits' value for the digits that function takes, so that a
    // record may read plain integers itself, without a call per number; when not, every integer
    // text goes to toInt16.
    virtual bool readsDigitsPlainly() const { return false; }

    // Room for the longest coordinate text ("-1.2345678901234E-308" and the like), to spare.
    static constexpr size_t kCoordinateRoom = 32;
    // coordinateText written at out, which has room for kCoordinateRoom characters; returns the
    // end of the text. A record builds its whole line in a buffer of its own with it.
    virtual char* writeCoordinate(char* out, double value) const {
        const std::string text = coordinateText(value);
        return std::copy_n(text.data(), std::min(text.size(), kCoordinateRoom), out);
    }
};

}  // namespace meshthin
