#include "meshio/numtext.h"

#include <charconv>
#include <cmath>

#include "model/failure.h"

namespace meshthin::numtext {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The parts of a number text, copied into C-locale form ("." as separator) for from_chars.
struct Scanned {
    std::string plain;    // e.g. "-12.5e3"
    long long magnitude;  // decimal exponent of the leading digit, to tell underflow from overflow
    bool allZero;
    size_t end;  // one past the last character used
};

// Scans a number at the start of text (no leading blanks): sign, digits, separator, digits,
// exponent. Stops at the first character that cannot continue the number.
std::optional<Scanned> scan(std::string_view text, char separator) {
    Scanned s{"", 0, true, 0};
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            s.plain += '-';
        }
        ++i;
    }
    long long integerDigits = 0;
    long long leadingFractionZeros = 0;
    bool seenNonZero = false;
    size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        s.plain += text[i];
        if (text[i] != '0') {
            seenNonZero = true;
        }
        if (seenNonZero) {
            ++integerDigits;
        }
        ++digits;
        ++i;
    }
    if (i < text.size() && text[i] == separator) {
        size_t fractionStart = i + 1;
        size_t j = fractionStart;
        std::string fraction;
        while (j < text.size() && isDigit(text[j])) {
            fraction += text[j];
            if (text[j] != '0') {
                seenNonZero = true;
            } else if (!seenNonZero) {
                ++leadingFractionZeros;
            }
            ++j;
        }
        if (digits + fraction.size() > 0) {
            s.plain += '.';
            s.plain += fraction;
            digits += fraction.size();
            i = j;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    s.allZero = !seenNonZero;
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool negative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            std::string expText;
            while (j < text.size() && isDigit(text[j])) {
                // Leading zeros say nothing; beyond nine digits the value is out of range
                // either way, so the exponent is capped there.
                if ((!expText.empty() || text[j] != '0') && expText.size() < 9) {
                    expText += text[j];
                }
                ++j;
            }
            if (expText.empty()) {
                expText = "0";
            }
            exponent = std::stoll(expText) * (negative ? -1 : 1);
            s.plain += 'e';
            s.plain += negative ? "-" : "";
            s.plain += expText;
            i = j;
        }
    }
    s.magnitude = (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
    s.end = i;
    return s;
}

double convert(const Scanned& s) {
    double value = 0;
    const char* first = s.plain.data();
    const char* last = first + s.plain.size();
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        if (s.allZero || s.magnitude <= 0) {
            return s.plain.front() == '-' ? -0.0 : 0.0;  // too small to hold: it is zero
        }
        throw overflowFailure();
    }
    if (result.ec != std::errc() || result.ptr != last) {
        throw Failure("Not a number");
    }
    return value;
}

std::optional<Scanned> scanWhole(std::string_view text, char separator) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    size_t last = text.find_last_not_of(' ');
    const std::string_view core = text.substr(first, last - first + 1);
    auto s = scan(core, separator);
    if (!s || s->end != core.size()) {
        return std::nullopt;
    }
    return s;
}

Failure notANumber(std::string_view text) {
    std::string shown(text.substr(0, 40));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) {
            c = '?';  // the description must stay plain text whatever the file held
        }
    }
    return Failure("Not a number: \"" + shown + (text.size() > 40 ? "...\"" : "\""));
}

}  // namespace

std::string generalForm(double value, char separator) {
    if (value == 0 || !std::isfinite(value)) {
        return "0";  // minus zero is written as 0 too
    }
    // 15 significant digits, correctly rounded: "d.dddddddddddddde+XX".
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const bool negative = text.front() == '-';
    const size_t mantissaStart = negative ? 1 : 0;
    const size_t ePos = text.find('e');
    std::string digits;
    for (size_t i = mantissaStart; i < ePos; ++i) {
        if (text[i] != '.') {
            digits += text[i];
        }
    }
    const int exponent = std::stoi(std::string(text.substr(ePos + 1)));
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    std::string out = negative ? "-" : "";
    if (exponent < -4 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) {
            out += separator;
            out += digits.substr(1);
        }
        out += 'E';
        out += exponent < 0 ? '-' : '+';
        const std::string expDigits = std::to_string(std::abs(exponent));
        out += expDigits.size() < 2 ? "0" + expDigits : expDigits;
    } else if (exponent >= 0) {
        const size_t wholeDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= wholeDigits) {
            out += digits + std::string(wholeDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, wholeDigits);
            out += separator;
            out += digits.substr(wholeDigits);
        }
    } else {
        out += '0';
        out += separator;
        out += std::string(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

double roundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) {
        return value;
    }
    // Formatting to a fixed number of decimals rounds the exact binary value, ties to even.
    std::string buffer(400, '\0');
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    double rounded = 0;
    std::from_chars(buffer.data(), result.ptr, rounded);
    return rounded;
}

double toDouble(std::string_view text, char separator) {
    const auto s = scanWhole(text, separator);
    if (!s) {
        throw notANumber(text);
    }
    return convert(*s);
}

bool isNumeric(std::string_view text, char separator) {
    try {
        toDouble(text, separator);
        return true;
    } catch (const Failure&) {
        return false;
    }
}

int16_t toInt16(std::string_view text, char separator) {
    const double value = std::nearbyint(toDouble(text, separator));  // halves to even
    if (!(value >= INT16_MIN && value <= INT16_MAX)) {
        throw overflowFailure();
    }
    return static_cast<int16_t>(value);
}

double leadingNumber(std::string_view text, char separator) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return 0;
    }
    const auto s = scan(text.substr(first), separator);
    if (!s) {
        return 0;
    }
    try {
        return convert(*s);
    } catch (const Failure&) {
        return 0;
    }
}

double LocaleNumbers::toDouble(std::string_view text) const {
    return numtext::toDouble(text, separator);
}

int16_t LocaleNumbers::toInt16(std::string_view text) const {
    return numtext::toInt16(text, separator);
}

std::string LocaleNumbers::coordinateText(double value) const {
    return generalForm(roundHalfEven(value, 5), separator);
}

}  // namespace meshthin::numtext
