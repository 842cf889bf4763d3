// How a record turns the number texts of its line into numbers and back. The file layer
// supplies the locale-aware implementation; the records only find the texts in a line.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace meshthin {

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

    // A record reads its line in one pass with these: each reads the number a text starts with
    // when it is written plainly, returns how many characters it took and stores in value what
    // toDouble (toInt16) gives for exactly those characters. 0 means the text does not start
    // with such a number (or the codec does not read plainly); the record then delimits the
    // number text as the format says and asks toDouble (toInt16), which gives the value or the
    // failure. Neither ever throws.
    virtual size_t readPlainDouble(std::string_view /*text*/, double& /*value*/) const { return 0; }
    // Digits only, within 16 bits.
    virtual size_t readPlainInt16(std::string_view /*text*/, int16_t& /*value*/) const { return 0; }

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
