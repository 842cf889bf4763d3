// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/numtext.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include <fast_float/fast_float.h>

#include "model/failure.h"

namespace meshthin::numtext {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isDecimalMark(char c) {
    return c == '.' || c == ',';
}

// The decimal mark a number text is read with: the one kind of mark it holds, "." or ",",
// whatever the locale; the locale's separator when it holds neither; nothing when it holds both
// ("1.234,5" is not a number anyone means).
std::optional<char> decimalMarkOf(std::string_view text, char separator) {
    const bool dot = text.find('.') != std::string_view::npos;
    const bool comma = text.find(',') != std::string_view::npos;
    if (dot && comma) {
        return std::nullopt;
    }
    return dot ? '.' : comma ? ',' : separator;
}

// Where a number stands in a text, as scan finds it.
struct Scanned {
    size_t begin;  // the first character fast_float reads (after a "+" sign, which it does not)
    size_t end;    // one past the last character of the number
};

// Scans a number at the start of text (no leading blanks): sign, digits, separator, digits,
// exponent. Stops at the first character that cannot continue the number.
std::optional<Scanned> scan(std::string_view text, char separator) {
    Scanned s{0, 0};
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        s.begin = text[i] == '+' ? 1 : 0;
        ++i;
    }
    size_t digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
    }
    if (i < text.size() && text[i] == separator) {
        size_t j = i + 1;
        for (; j < text.size() && isDigit(text[j]); ++j, ++digits) {
        }
        if (digits > 0) {
            i = j;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            for (; j < text.size() && isDigit(text[j]); ++j) {
            }
            i = j;
        }
    }
    s.end = i;
    return s;
}

double convert(std::string_view text, const Scanned& s, char separator) {
    const char* const first = text.data() + s.begin;
    const char* const last = text.data() + s.end;
    double value = 0;
    const auto result = fast_float::from_chars_advanced(
        first, last, value,
        fast_float::parse_options(fast_float::chars_format::general, separator));
    if (result.ec != std::errc() || result.ptr != last) {
        throw Failure("Not a number");
    }
    if (std::isinf(value)) {
        throw overflowFailure();  // beyond the double range; what is too small to hold is 0
    }
    return value;
}

// The number a whole text holds, blanks around allowed: the core text and where it stands.
std::optional<std::pair<std::string_view, Scanned>> scanWhole(std::string_view text,
                                                              char separator) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const size_t last = text.find_last_not_of(' ');
    const std::string_view core = text.substr(first, last - first + 1);
    auto s = scan(core, separator);
    if (!s || s->end != core.size()) {
        return std::nullopt;
    }
    return std::make_pair(core, *s);
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
    std::string out;
    appendGeneralForm(out, value, separator);
    return out;
}

void appendGeneralForm(std::string& out, double value, char separator) {
    if (value == 0 || !std::isfinite(value)) {
        out += '0';  // minus zero is written as 0 too
        return;
    }
    // 15 significant digits, correctly rounded: "d.dddddddddddddde+XX".
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const bool negative = text.front() == '-';
    const size_t ePos = text.find('e');
    // The significant digits without the point and without trailing zeros (at least one).
    char digitBuffer[16];
    size_t digitCount = 0;
    for (size_t i = negative ? 1 : 0; i < ePos; ++i) {
        if (text[i] != '.') {
            digitBuffer[digitCount++] = text[i];
        }
    }
    while (digitCount > 1 && digitBuffer[digitCount - 1] == '0') {
        --digitCount;
    }
    const std::string_view digits(digitBuffer, digitCount);
    const char* exponentText = text.data() + ePos + 1;
    if (*exponentText == '+') {
        ++exponentText;  // from_chars reads a minus sign only
    }
    int exponent = 0;
    std::from_chars(exponentText, text.data() + text.size(), exponent);

    if (negative) {
        out += '-';
    }
    if (exponent < -4 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) {
            out += separator;
            out += digits.substr(1);
        }
        out += 'E';
        out += exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) {
            out += '0';
        }
        char exponentDigits[8];
        const auto written =
            std::to_chars(exponentDigits, exponentDigits + sizeof exponentDigits, magnitude);
        out.append(exponentDigits, static_cast<size_t>(written.ptr - exponentDigits));
    } else if (exponent >= 0) {
        const size_t wholeDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= wholeDigits) {
            out += digits;
            out.append(wholeDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, wholeDigits);
            out += separator;
            out += digits.substr(wholeDigits);
        }
    } else {
        out += '0';
        out += separator;
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
    }
}

namespace {

__extension__ using Unsigned128 = unsigned __int128;  // GCC and Clang

// magnitude * 10^decimals rounded to a whole number, exact halves to the even one, worked out
// exactly from the double's binary digits: magnitude = m * 2^e, so the product is
// m * 5^decimals * 2^(e + decimals), with m * 5^decimals below 2^65. Expects a finite magnitude
// below 1e10 and 1 to 5 decimals (and so a product below 2^50).
uint64_t scaledHalfEven(double magnitude, int decimals) {
    constexpr uint64_t kFives[] = {1, 5, 25, 125, 625, 3125};
    const auto bits = std::bit_cast<uint64_t>(magnitude);
    const auto biasedExponent = static_cast<int>(bits >> 52);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int exponent = -1074;  // subnormal
    if (biasedExponent != 0) {
        mantissa |= uint64_t{1} << 52;
        exponent = biasedExponent - 1075;
    }
    const Unsigned128 scaled = Unsigned128{mantissa} * kFives[decimals];
    const int shift = -(exponent + decimals);
    if (shift <= 0) {
        return static_cast<uint64_t>(scaled << -shift);
    }
    if (shift >= 80) {
        return 0;  // scaled < 2^65: less than half of 2^shift
    }
    const auto whole = static_cast<uint64_t>(scaled >> shift);
    const Unsigned128 rest = scaled & ((Unsigned128{1} << shift) - 1);
    const Unsigned128 half = Unsigned128{1} << (shift - 1);
    return whole + ((rest > half || (rest == half && (whole & 1) != 0)) ? 1 : 0);
}

}  // namespace

namespace {

// writeRoundedGeneralForm, taken whole into each caller, so that a caller with a constant number
// of decimals (every coordinate has 5) divides by a constant power of ten.
[[gnu::always_inline]] inline char* writeRounded(char* out, double value, int decimals,
                                                 char separator) {
    // With 1 to 5 decimals and a value below 1e10 the rounded decimal D = N / 10^decimals (N
    // whole, exact halves to the even one) has at most 15 significant digits. The double nearest
    // to D then reads back as D to 15 digits (10^15 < 2^52), and the general form of that is D
    // written out in full without trailing zeros, in E-notation only below 1e-4 (0.00001 to
    // 0.00009): no conversion of a double to text. Larger values, NaN and the infinities take
    // the two steps.
    if (decimals < 1 || decimals > 5 || !(std::fabs(value) < 1e10)) {
        std::string text;
        appendGeneralForm(text, roundHalfEven(value, decimals), separator);
        return std::copy_n(text.data(), std::min(text.size(), NumberCodec::kCoordinateRoom), out);
    }
    // N from one product: the computed product lies within half an ulp (at most 2^-53 of
    // itself) of the exact one, so rounding it rounds the exact value, unless its fraction is
    // that close to a half; then the exact product decides. (The exact product alone measured
    // about a quarter slower per coordinate, in the writer's busiest loop.)
    constexpr uint64_t kTens[] = {1, 10, 100, 1000, 10000, 100000};
    const double size = std::fabs(value);
    const double product = size * static_cast<double>(kTens[decimals]);
    const double whole = std::floor(product);
    const double part = product - whole;
    const uint64_t scaled = std::fabs(part - 0.5) <= product * 0x1p-52
                                ? scaledHalfEven(size, decimals)
                                : static_cast<uint64_t>(whole) + (part > 0.5 ? 1 : 0);
    if (scaled == 0) {
        *out = '0';  // also for a value rounded to minus zero
        return out + 1;
    }
    if (std::signbit(value)) {
        *out++ = '-';
    }
    const uint64_t integral = scaled / kTens[decimals];
    uint64_t fraction = scaled % kTens[decimals];
    if (integral == 0 && decimals == 5 && fraction < 10) {
        *out++ = static_cast<char>('0' + fraction);
        return std::copy_n("E-05", 4, out);
    }
    out = std::to_chars(out, out + 20, integral).ptr;  // a 0 before the separator below 1
    if (fraction != 0) {
        int digits = decimals;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        *out++ = separator;
        for (int i = digits - 1; i >= 0; --i) {
            out[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        out += digits;
    }
    return out;
}

}  // namespace

char* writeRoundedGeneralForm(char* out, double value, int decimals, char separator) {
    return writeRounded(out, value, decimals, separator);
}

void appendRoundedGeneralForm(std::string& out, double value, int decimals, char separator) {
    char text[NumberCodec::kCoordinateRoom];
    out.append(text, static_cast<size_t>(writeRoundedGeneralForm(text, value, decimals, separator) -
                                         text));
}

double roundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) {
        return value;
    }
    // Formatting to a fixed number of decimals rounds the exact binary value, ties to even.
    // The largest double has 309 whole digits.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    double rounded = 0;
    std::from_chars(buffer, result.ptr, rounded);
    return rounded;
}

char* writeCoordinate(char* out, double value, char separator) {
    return writeRounded(out, value, 5, separator);
}

// The powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The usual coordinate: at most 15 digits (so its digits make a whole number w below 2^53) and a
// decimal exponent within 22 of its last digit. w and its power of ten are then both exact
// doubles, and one IEEE multiplication or division gives the double nearest to the decimal
// value, as fast_float and from_chars give it (the fast path of both). Taking that path before
// the library saves its general scan of the text (see numtext.h for the figures). The decimal
// mark is "." or "," or the locale's separator, whichever stands behind the whole digits.
// Returns the characters taken, or 0 when the number is not such a one.
size_t readShortDecimal(std::string_view text, char separator, double& value) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const bool negative = *begin == '-';
    const char* p = begin + (negative ? 1 : 0);
    const auto digitAt = [end](const char* at) {
        return at < end && static_cast<unsigned>(*at - '0') <= 9;
    };
    uint64_t digits = 0;  // wraps harmlessly past 19 digits; more than 15 are refused below
    const char* const wholeStart = p;
    for (; digitAt(p); ++p) {
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
    }
    ptrdiff_t count = p - wholeStart;
    ptrdiff_t fractionDigits = 0;
    if (p < end && (*p == separator || isDecimalMark(*p))) {
        const char* const fractionStart = ++p;
        for (; digitAt(p); ++p) {
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
        }
        fractionDigits = p - fractionStart;
        count += fractionDigits;
    }
    if (count == 0 || count > 15) {
        return 0;
    }
    int exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negativeExponent = q < end && *q == '-';
        q += q < end && (*q == '-' || *q == '+') ? 1 : 0;
        if (digitAt(q)) {
            for (; digitAt(q); ++q) {
                if (exponent > 9999) {
                    return 0;  // far out of range: the library decides
                }
                exponent = exponent * 10 + (*q - '0');
            }
            exponent = negativeExponent ? -exponent : exponent;
            p = q;
        }
    }
    const ptrdiff_t power = exponent - fractionDigits;
    double magnitude = 0;
    if (digits == 0) {
        magnitude = 0;
    } else if (power >= 0 && power <= 22) {
        magnitude = static_cast<double>(digits) * kExactPowersOfTen[power];
    } else if (power < 0 && power >= -22) {
        magnitude = static_cast<double>(digits) / kExactPowersOfTen[-power];
    } else {
        return 0;
    }
    value = negative ? -magnitude : magnitude;
    return static_cast<size_t>(p - begin);
}

size_t readPlainDouble(std::string_view text, char separator, double& value) {
    // The number's decimal mark is the character behind its whole digits when that is "." or
    // ",", else the locale's separator: toDouble picks the same mark for exactly the characters
    // taken, as they hold no other mark. Starting with a digit or a mark, after a "-" at most,
    // the number is one that scan reads as fast_float does: the same signs, digits, fraction and
    // exponent ("inf" and "nan", which fast_float would read, cannot start so).
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* const lead = begin + (begin != end && *begin == '-' ? 1 : 0);
    if (lead == end || !(isDigit(*lead) || *lead == separator || isDecimalMark(*lead))) {
        return 0;
    }
    if (const size_t taken = readShortDecimal(text, separator, value)) {
        return taken;
    }
    // Read with the locale's separator first, as files mostly are; a number that stops at the
    // other mark right behind its whole digits has that mark, and is read again with it. (One
    // call of the library in a loop, not two: the compiler then takes it into this function.)
    double read = 0;
    char mark = separator;
    fast_float::from_chars_result result;
    for (;;) {
        result = fast_float::from_chars_advanced(
            begin, end, read, fast_float::parse_options(fast_float::chars_format::general, mark));
        const char* const stop = result.ec == std::errc() ? result.ptr : lead;
        if (mark == separator && stop != end && isDecimalMark(*stop) && *stop != separator &&
            std::all_of(lead, stop, isDigit)) {
            mark = *stop;
            continue;
        }
        break;
    }
    if (result.ec != std::errc() || std::isinf(read)) {
        return 0;  // an overflow: toDouble tells it
    }
    value = read;
    return static_cast<size_t>(result.ptr - begin);
}

double toDouble(std::string_view text, char separator) {
    const std::optional<char> mark = decimalMarkOf(text, separator);
    const auto whole = mark ? scanWhole(text, *mark) : std::nullopt;
    if (!whole) {
        throw notANumber(text);
    }
    return convert(whole->first, whole->second, *mark);
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
    // Plain digits, as every point number in a face line is, need no floating-point detour.
    if (!text.empty() && text.size() <= 5 &&
        std::all_of(text.begin(), text.end(), [](char c) { return isDigit(c); })) {
        int value = 0;
        for (char c : text) {
            value = value * 10 + (c - '0');
        }
        if (value > INT16_MAX) {
            throw overflowFailure();
        }
        return static_cast<int16_t>(value);
    }
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
    // A text with both marks reads up to the second kind, with the locale's separator, as ever.
    const char mark = decimalMarkOf(text, separator).value_or(separator);
    const std::string_view rest = text.substr(first);
    const auto s = scan(rest, mark);
    if (!s) {
        return 0;
    }
    try {
        return convert(rest, *s, mark);
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

char* LocaleNumbers::writeCoordinate(char* out, double value) const {
    return numtext::writeCoordinate(out, value, separator);
}

size_t LocaleNumbers::readPlainDouble(std::string_view text, double& value) const {
    return numtext::readPlainDouble(text, separator, value);
}

}  // namespace meshthin::numtext
