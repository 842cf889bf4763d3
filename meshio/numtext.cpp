// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/numtext.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "model/failure.h"

namespace meshthin::numtext {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where a number stands in a text, as scan finds it.
struct Scanned {
    size_t begin;         // the first character from_chars reads (after a "+" sign)
    size_t end;           // one past the last character of the number
    size_t separatorAt;   // position of the decimal separator, npos when there is none
    long long magnitude;  // decimal exponent of the leading digit: tells underflow from overflow
    bool negative;
    bool allZero;
};

// Scans a number at the start of text (no leading blanks): sign, digits, separator, digits,
// exponent. Stops at the first character that cannot continue the number.
std::optional<Scanned> scan(std::string_view text, char separator) {
    Scanned s{0, 0, std::string_view::npos, 0, false, true};
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        s.negative = text[i] == '-';
        s.begin = s.negative ? 0 : 1;  // from_chars takes "-" but not "+"
        ++i;
    }
    long long integerDigits = 0;
    long long leadingFractionZeros = 0;
    size_t digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
        s.allZero = s.allZero && text[i] == '0';
        integerDigits += s.allZero ? 0 : 1;
    }
    if (i < text.size() && text[i] == separator) {
        size_t j = i + 1;
        size_t fractionDigits = 0;
        for (; j < text.size() && isDigit(text[j]); ++j, ++fractionDigits) {
            if (text[j] != '0') {
                s.allZero = false;
            } else if (s.allZero) {
                ++leadingFractionZeros;
            }
        }
        if (digits + fractionDigits > 0) {
            s.separatorAt = i;
            digits += fractionDigits;
            i = j;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool negative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            for (; j < text.size() && isDigit(text[j]); ++j) {
                // Beyond nine digits the value is out of range either way: cap the exponent.
                exponent = std::min(exponent * 10 + (text[j] - '0'), 999999999LL);
            }
            exponent = negative ? -exponent : exponent;
            i = j;
        }
    }
    s.magnitude = (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
    s.end = i;
    return s;
}

double convert(std::string_view text, const Scanned& s, char separator) {
    std::string_view number = text.substr(s.begin, s.end - s.begin);
    std::string copy;
    if (separator != '.' && s.separatorAt != std::string_view::npos) {
        copy.assign(number);  // from_chars reads "." only
        copy[s.separatorAt - s.begin] = '.';
        number = copy;
    }
    double value = 0;
    const char* last = number.data() + number.size();
    const auto result = std::from_chars(number.data(), last, value);
    if (result.ec == std::errc::result_out_of_range) {
        if (s.allZero || s.magnitude <= 0) {
            return s.negative ? -0.0 : 0.0;  // too small to hold: it is zero
        }
        throw overflowFailure();
    }
    if (result.ec != std::errc() || result.ptr != last) {
        throw Failure("Not a number");
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

// The coordinate text the long way: round, read the rounded text back, write it in general form.
char* writeCoordinateInTwoSteps(char* out, double value, char separator) {
    const std::string text = generalForm(roundHalfEven(value, 5), separator);
    return std::copy_n(text.data(), std::min(text.size(), NumberCodec::kCoordinateRoom), out);
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

// magnitude * 10^decimals rounded to a whole number, exact halves to the even one, worked out
// exactly from the double's binary digits: magnitude = m * 2^e, so the product is
// m * 5^decimals * 2^(e + decimals), and m * 5^decimals fits 64 bits for up to 4 decimals.
// Expects a finite magnitude below 1e10 (and so a product below 2^47).
uint64_t scaledHalfEven(double magnitude, int decimals) {
    constexpr uint64_t kFives[] = {1, 5, 25, 125, 625};
    const auto bits = std::bit_cast<uint64_t>(magnitude);
    const auto biasedExponent = static_cast<int>(bits >> 52);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int exponent = -1074;  // subnormal
    if (biasedExponent != 0) {
        mantissa |= uint64_t{1} << 52;
        exponent = biasedExponent - 1075;
    }
    const uint64_t scaled = mantissa * kFives[decimals];
    const int shift = -(exponent + decimals);
    if (shift <= 0) {
        return scaled << -shift;
    }
    if (shift >= 64) {
        return 0;  // scaled < 2^63: less than half of 2^shift
    }
    const uint64_t whole = scaled >> shift;
    const uint64_t rest = scaled & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    return whole + ((rest > half || (rest == half && (whole & 1) != 0)) ? 1 : 0);
}

}  // namespace

void appendRoundedGeneralForm(std::string& out, double value, int decimals, char separator) {
    // With 1 to 4 decimals and a value below 1e10 the rounded decimal D has at most 15
    // significant digits and lies at 0.0001 or above unless it is 0. The double nearest to D
    // then reads back as D to 15 digits, and the general form of that is D written out in
    // full without trailing zeros: no E-notation, and no conversion of a double to text.
    if (decimals < 1 || decimals > 4 || !(std::fabs(value) < 1e10)) {
        appendGeneralForm(out, roundHalfEven(value, decimals), separator);
        return;
    }
    constexpr uint64_t kTens[] = {1, 10, 100, 1000, 10000};
    const uint64_t scaled = scaledHalfEven(std::fabs(value), decimals);
    if (scaled == 0) {
        out += '0';  // also for a value rounded to minus zero
        return;
    }
    // Sign, whole part and the fraction's digits, without its trailing zeros.
    char buffer[32];
    char* end = buffer;
    if (std::signbit(value)) {
        *end++ = '-';
    }
    end = std::to_chars(end, buffer + sizeof buffer, scaled / kTens[decimals]).ptr;
    uint64_t fraction = scaled % kTens[decimals];
    if (fraction != 0) {
        int digits = decimals;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        *end++ = separator;
        for (int i = digits - 1; i >= 0; --i) {
            end[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        end += digits;
    }
    out.append(buffer, static_cast<size_t>(end - buffer));
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
    // roundHalfEven makes the decimal N / 10^5 nearest to the value (N whole, exact halves to
    // the even one) and generalForm writes the double nearest to that decimal with 15
    // significant digits. Below 1e10 in size N has at most 15 digits, and a decimal of at most
    // 15 significant digits comes back unchanged from its nearest double (10^15 < 2^52): the
    // text is N itself, the separator five places from the right, trailing zeros dropped, in
    // generalForm's layout. N comes from one product: the computed product lies within half an
    // ulp (at most 2^-53 of itself) of the exact one, so rounding it rounds the exact value,
    // unless its fraction is that close to a half. Those values, and the large ones, go the
    // long way.
    const double size = std::abs(value);
    if (!(size < 1e10)) {
        return writeCoordinateInTwoSteps(out, value, separator);  // NaN and infinities too
    }
    const double product = size * 1e5;
    const double whole = std::floor(product);
    const double fraction = product - whole;
    if (std::abs(fraction - 0.5) <= product * 0x1p-52) {
        return writeCoordinateInTwoSteps(out, value, separator);
    }
    const uint64_t n = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    if (n == 0) {
        *out = '0';  // what rounds to zero, minus zero included, is written as 0
        return out + 1;
    }
    if (value < 0) {
        *out++ = '-';
    }
    const uint64_t integral = n / 100000;
    auto decimals = static_cast<unsigned>(n % 100000);
    if (integral == 0 && decimals < 10) {
        // 0.00001 to 0.00009: generalForm writes a value below 1e-4 in E-notation.
        *out++ = static_cast<char>('0' + decimals);
        return std::copy_n("E-05", 4, out);
    }
    out = std::to_chars(out, out + 20, integral).ptr;  // a 0 before the separator below 1
    if (decimals != 0) {
        *out++ = separator;
        char digits[5];
        for (int i = 4; i >= 0; --i) {
            digits[i] = static_cast<char>('0' + decimals % 10);
            decimals /= 10;
        }
        int count = 5;
        while (digits[count - 1] == '0') {
            --count;
        }
        out = std::copy_n(digits, count, out);
    }
    return out;
}

// The powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The powers of ten up to 10^27, which a 64-bit significand holds exactly (5^27 < 2^63).
constexpr long double kExactLongPowersOfTen[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                                 1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                                 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                                 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

// The double nearest to w * 10^power for 16 to 19 digits w (below 2^64) and |power| <= 27, or
// nothing. Files written at full precision carry 17 digits, one or two more than a double's
// product can take exactly. Where long double has a 64-bit significand, w and 10^|power| are
// exact in it and one multiplication or division rounds the value once, to 64 bits; rounding that
// to 53 bits gives the nearest double unless the 64-bit result lies exactly halfway between two
// doubles (a halfway point has 54 bits, so none can lie between the value and its 64-bit
// rounding). Then, and where long double is not the x87 extended format, from_chars decides.
std::optional<double> longDecimal(uint64_t w, ptrdiff_t power) {
#if defined(__x86_64__) || defined(__i386__)
    constexpr bool kExtended = std::numeric_limits<long double>::digits == 64;
#else
    constexpr bool kExtended = false;  // the halfway test below reads the x87 layout
#endif
    if constexpr (kExtended) {
        if (power < -27 || power > 27) {
            return std::nullopt;
        }
        const long double wide = static_cast<long double>(w);
        const long double rounded =
            power >= 0 ? wide * kExactLongPowersOfTen[power] : wide / kExactLongPowersOfTen[-power];
        // The significand is the first 8 bytes of the x87 format, its lowest bit first; the
        // 11 bits below a double's significand are 0x400 exactly at a halfway point.
        uint64_t significand = 0;
        std::memcpy(&significand, &rounded, sizeof significand);
        if ((significand & 0x7FF) == 0x400) {
            return std::nullopt;
        }
        return static_cast<double>(rounded);  // between 1e-12 and 1e46: a normal double
    } else {
        return std::nullopt;
    }
}

// A plain number of at most 19 digits whose decimal exponent lies within 22 of its last digit,
// read without from_chars. When its digits make a whole number w below 2^53 (every number of up
// to 15 digits), w and its power of ten are doubles, both exact, so one IEEE multiplication or
// division gives the double nearest to the decimal value: what from_chars gives, as it rounds
// correctly. A larger w goes through longDecimal. Returns the characters taken, as from_chars
// takes them, or 0 when the number is not such a one.
size_t readShortDecimal(std::string_view text, char separator, double& value) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const bool negative = *begin == '-';
    const char* p = begin + (negative ? 1 : 0);
    const auto digitAt = [end](const char* at) {
        return at < end && static_cast<unsigned>(*at - '0') <= 9;
    };
    uint64_t digits = 0;  // wraps harmlessly past 19 digits, which are refused below
    const char* const wholeStart = p;
    for (; digitAt(p); ++p) {
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
    }
    ptrdiff_t count = p - wholeStart;
    ptrdiff_t fractionDigits = 0;
    if (p < end && *p == separator) {
        const char* const fractionStart = ++p;
        for (; digitAt(p); ++p) {
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
        }
        fractionDigits = p - fractionStart;
        count += fractionDigits;
    }
    if (count == 0 || count > 19) {
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
                    return 0;  // far out of range: from_chars decides
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
    } else if (digits >= uint64_t{1} << 53) {
        const std::optional<double> wide = longDecimal(digits, power);
        if (!wide) {
            return 0;
        }
        magnitude = *wide;
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
    // Starting with a digit or the separator, after a "-" at most, the number is one that scan
    // reads as from_chars does: the same signs, digits, fraction and exponent ("inf" and "nan",
    // which from_chars would read, cannot start so). When from_chars succeeds, toDouble would
    // have handed it the same characters.
    const size_t lead = !text.empty() && text[0] == '-' ? 1 : 0;
    if (lead >= text.size() || !(isDigit(text[lead]) || text[lead] == separator)) {
        return 0;
    }
    if (separator == '.' || separator == ',') {
        if (const size_t taken = readShortDecimal(text, separator, value)) {
            return taken;
        }
    }
    if (separator == '.') {
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        return result.ec == std::errc() ? static_cast<size_t>(result.ptr - text.data()) : 0;
    }
    if (separator != ',') {
        return 0;
    }
    // from_chars reads "." only: the characters that can belong to the number are copied with
    // "." for ",", as convert does, and must all be read.
    char copy[64];
    size_t length = 0;
    for (; length < text.size(); ++length) {
        const char c = text[length];
        if (!(isDigit(c) || c == ',' || c == '-' || c == '+' || c == 'e' || c == 'E')) {
            break;
        }
        if (length == sizeof copy) {
            return 0;
        }
        copy[length] = c == ',' ? '.' : c;
    }
    const auto result = std::from_chars(copy, copy + length, value);
    return result.ec == std::errc() && result.ptr == copy + length ? length : 0;
}

size_t readPlainInt16(std::string_view text, int16_t& value) {
    const PlainInt16 plain = readPlainDigits(text);
    if (plain.length != 0) {
        value = plain.value;
    }
    return plain.length;
}

double toDouble(std::string_view text, char separator) {
    const auto whole = scanWhole(text, separator);
    if (!whole) {
        throw notANumber(text);
    }
    return convert(whole->first, whole->second, separator);
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
    const std::string_view rest = text.substr(first);
    const auto s = scan(rest, separator);
    if (!s) {
        return 0;
    }
    try {
        return convert(rest, *s, separator);
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
