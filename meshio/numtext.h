// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts as the window and the mesh file show them. Never depends on the C library's
// global locale (the window toolkit changes it at start-up): the decimal separator is always
// passed in.
//
//  - generalForm: at most 15 significant digits, no trailing zeros, no separator for whole
//    values, a leading 0 below 1, E-notation ("3.06494621019401E-05") below 1e-4 and from 1e15.
//  - roundHalfEven: to d decimals, exact halves to the even neighbour, judged on the exact
//    binary value (0.125 -> 0.12, 0.375 -> 0.38).
//  - writeRoundedGeneralForm: generalForm(roundHalfEven(v, d)) in one step, for the coordinates
//    of a point line (writeCoordinate, 5 decimals) and the values of the lists (2 decimals).
//  - toDouble / isNumeric / toInt16: blanks around, optional sign, digits with an optional
//    fraction ("1." and ".5" too), optional exponent. No tabs, thousands separators, inf, nan or
//    hexadecimal. A value beyond the double range is an overflow, one too small to hold is 0.
//  - leadingNumber: the number a text starts with, 0 when it starts with none.
//  - readPlainDouble: the plainly written number a text starts with, for reading a line in one
//    pass; the rest is left to toDouble.
//
// Reading takes the decimal mark from the text: a text holding one kind of mark, "." or ",", is
// read with that mark whatever the locale, so that a mesh written under one desktop opens under
// any other and "--threshold 0.3" means the same everywhere. A text holding neither is read with
// the locale's separator (which may be another character), and one holding both is no number.
// A text that reads with the locale's separator holds no other mark, so it reads as it always
// did. Writing always uses the locale's separator.
//
// The digits are turned into the nearest double by fast_float (Debian's libfast-float-dev, the
// algorithm inside std::from_chars), which takes the decimal mark as a parameter: no copy of the
// text with "." for ",", and every number reads to the double that from_chars gives. One path of
// our own stays in front of it in readPlainDouble, which reads every coordinate of a file: a
// number of at most 15 digits within 22 powers of ten takes one exact multiplication or division
// (the fast path that fast_float itself takes, without its general scan of the text and the
// call). Measured on every coordinate of the benchmark meshes (about 98,000 numbers at 32,767
// points, best of 200 rounds on the 2-core development machine): fast_float alone 1.76-1.79 ms,
// with this path 1.31-1.34 ms, as fast as the hand-written reading it replaced (1.30-1.32 ms,
// which also read 16 to 19 digits through an x87 long double); std::from_chars 1.62-1.63 ms.
// In the load benchmark fast_float alone took loading from 1.85-1.95 to 1.98-2.15 times its
// from_chars floor, over the 2x that loading keeps to; with this path it stays at 1.8-1.95.
// Numbers of 16 digits and more (a file written at full precision) go to fast_float: 45 ns
// each against 35 ns before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/numbers.h"

namespace meshthin::numtext {

std::string generalForm(double value, char separator);
// generalForm appended to out, for texts built from several parts without temporaries.
void appendGeneralForm(std::string& out, double value, char separator);
// generalForm(roundHalfEven(value, decimals), separator) written at out, which has room for
// NumberCodec::kCoordinateRoom characters; returns the end of the text. With 1 to 5 decimals and
// a value below 1e10 in size, as every coordinate and value usually is, the rounded decimal comes
// from one product (the exact binary digits decide near a half) and is written as it is, without
// a round trip through a text; anything else takes the two steps. Writing a file spends most of
// its time here: on every coordinate of the 32,767-point benchmark meshes this one routine takes
// 1.36-1.41 ms against 1.62-1.68 ms for the coordinate shortcut it replaced.
char* writeRoundedGeneralForm(char* out, double value, int decimals, char separator);
// The same appended to out.
void appendRoundedGeneralForm(std::string& out, double value, int decimals, char separator);
double roundHalfEven(double value, int decimals);
double toDouble(std::string_view text, char separator);
bool isNumeric(std::string_view text, char separator);
int16_t toInt16(std::string_view text, char separator);
double leadingNumber(std::string_view text, char separator);

// A coordinate as a point line shows it: writeRoundedGeneralForm with 5 decimals.
char* writeCoordinate(char* out, double value, char separator);

// The plain number text starts with: digits with an optional separator and fraction, a leading
// "-", an exponent; no blanks, no "+" in front, nothing toDouble would not take. Returns the
// number of characters read and their value, which is toDouble's for exactly those characters;
// 0 when the text starts otherwise, or when its number would not convert without a failure.
// The decimal mark is the "." or "," behind the whole digits, else the locale's separator.
size_t readPlainDouble(std::string_view text, char separator, double& value);

// The number conversions the records use when they read and write their lines.
class LocaleNumbers : public NumberCodec {
public:
    explicit LocaleNumbers(char separator) : separator(separator) {}
    double toDouble(std::string_view text) const override;
    int16_t toInt16(std::string_view text) const override;
    std::string coordinateText(double value) const override;
    char* writeCoordinate(char* out, double value) const override;
    size_t readPlainDouble(std::string_view text, double& value) const override;
    bool readsDigitsPlainly() const override { return true; }

private:
    char separator;
};

}  // namespace meshthin::numtext
