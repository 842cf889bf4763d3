// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts as the window and the file show them, under "." and under ",".
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "meshio/numtext.h"
#include "model/failure.h"
#include "ui/lists.h"

namespace meshthin::numtext {
namespace {

TEST(NumberText, TheSliderThresholdsComeOutExactly) {
    // position -> text, computed as position / 32627 in doubles
    const std::pair<int, const char*> table[] = {
        {0, "0"},
        {1, "3.06494621019401E-05"},
        {4, "0.00012259784840776"},
        {3263, "0.100009194838631"},
        {16313, "0.499984675268949"},
        {16314, "0.500015324731051"},
        {32626, "0.999969350537898"},
        {32627, "1"},
    };
    for (const auto& [position, text] : table) {
        EXPECT_EQ(thresholdText(position, '.'), text) << position;
    }
    EXPECT_EQ(thresholdText(16313, ','), "0,499984675268949");
    EXPECT_EQ(thresholdText(1, ','), "3,06494621019401E-05");
}

TEST(NumberText, GeneralForm) {
    EXPECT_EQ(generalForm(0.5, '.'), "0.5");
    EXPECT_EQ(generalForm(2, '.'), "2");
    EXPECT_EQ(generalForm(-2, '.'), "-2");
    EXPECT_EQ(generalForm(10, '.'), "10");
    EXPECT_EQ(generalForm(1.0 / 3, '.'), "0.333333333333333");
    EXPECT_EQ(generalForm(-0.0, '.'), "0");
    EXPECT_EQ(generalForm(1e-5, '.'), "1E-05");
    EXPECT_EQ(generalForm(0.0001, '.'), "0.0001");
    EXPECT_EQ(generalForm(1e15, '.'), "1E+15");
    EXPECT_EQ(generalForm(999999999999999.0, '.'), "999999999999999");
    // Rounded to 15 digits first, then the form is chosen: this one becomes 1E+15.
    EXPECT_EQ(generalForm(999999999999999.9, '.'), "1E+15");
    EXPECT_EQ(generalForm(1.5e-120, '.'), "1.5E-120");
    EXPECT_EQ(generalForm(-1234.5, ','), "-1234,5");
    EXPECT_EQ(generalForm(0.099999999999999999, '.'), "0.1");
}

TEST(NumberText, RoundingSendsExactHalvesToTheEvenNeighbour) {
    EXPECT_EQ(generalForm(roundHalfEven(0.125, 2), '.'), "0.12");
    EXPECT_EQ(generalForm(roundHalfEven(0.375, 2), '.'), "0.38");
    EXPECT_EQ(generalForm(roundHalfEven(0.123456, 5), '.'), "0.12346");
    EXPECT_EQ(generalForm(roundHalfEven(1.234567, 5), '.'), "1.23457");
    EXPECT_EQ(generalForm(roundHalfEven(2.5, 0), '.'), "2");
    EXPECT_EQ(generalForm(roundHalfEven(3.5, 0), '.'), "4");
    EXPECT_EQ(generalForm(roundHalfEven(37.5, 1), '.'), "37.5");
    EXPECT_EQ(generalForm(roundHalfEven(100.0 / 3, 1), '.'), "33.3");
    EXPECT_EQ(generalForm(roundHalfEven(200.0 / 3, 1), '.'), "66.7");
    // 1.005 is stored a little below the half, so it rounds down.
    EXPECT_EQ(generalForm(roundHalfEven(1.005, 2), '.'), "1");
    EXPECT_EQ(generalForm(roundHalfEven(-0.000001, 5), '.'), "0");
    EXPECT_EQ(generalForm(roundHalfEven(0.00001, 5), '.'), "1E-05");
}

TEST(NumberText, TheRoundedGeneralFormInOneStepEqualsRoundingThenTheGeneralForm) {
    // Exact halves, values that round to minus zero, to whole numbers and up to the next power
    // of ten, many-digit values on both sides of the one-step range's limit, and those that
    // leave it for E-notation: appended behind existing text, under both separators.
    std::vector<double> values = {0,
                                  -0.0,
                                  0.125,
                                  0.375,
                                  1.005,
                                  -0.004,
                                  -0.005,
                                  -0.0051,
                                  9.995,
                                  9.996,
                                  99.999,
                                  2.5,
                                  -1234.5678,
                                  0.01,
                                  0.00005,
                                  0.00004,
                                  1e-7,
                                  12345678.915,
                                  9999999999.995,
                                  1e10,
                                  -1e10,
                                  1.5e13,
                                  123456789012345.6,
                                  1e15,
                                  1e300,
                                  -1e300,
                                  5e-324};
    // Many values of the sizes the value list shows, and of every magnitude.
    for (int i = 1; i < 4000; ++i) {
        // Exact binary fractions: halves of every decimal place among them.
        values.push_back(i / 8.0);
        values.push_back(-i / 64.0);
        values.push_back(i / 1024.0 + 3.0);
        values.push_back(i * 0.0005);
        values.push_back(i / 997.0);
        values.push_back(-i * 1.37 / 89.0);
        values.push_back(static_cast<double>(i) * i * i * 2.9e3 / 7.0);
        values.push_back(1.0 / (static_cast<double>(i) * i * i));
    }
    values.push_back(std::numeric_limits<double>::infinity());
    values.push_back(std::numeric_limits<double>::quiet_NaN());
    for (char separator : {'.', ','}) {
        for (int decimals = 0; decimals <= 6; ++decimals) {
            for (double value : values) {
                std::string text = "v=";
                appendRoundedGeneralForm(text, value, decimals, separator);
                ASSERT_EQ(text, "v=" + generalForm(roundHalfEven(value, decimals), separator))
                    << value << " to " << decimals << " decimals";
            }
        }
    }
    std::string text;
    appendRoundedGeneralForm(text, 2.415, 2, ',');
    EXPECT_EQ(text, "2,42");
    text.clear();
    appendRoundedGeneralForm(text, -0.001, 2, '.');
    EXPECT_EQ(text, "0");
}

TEST(NumberText, ConversionFollowsTheSeparator) {
    EXPECT_EQ(toDouble("1.5", '.'), 1.5);
    EXPECT_EQ(toDouble("  -2  ", '.'), -2);
    EXPECT_EQ(toDouble("+3", '.'), 3);
    EXPECT_EQ(toDouble("1.", '.'), 1);
    EXPECT_EQ(toDouble(".5", '.'), 0.5);
    EXPECT_EQ(toDouble("1E-05", '.'), 1e-5);
    EXPECT_EQ(toDouble("2.5e+3", '.'), 2500);
    EXPECT_EQ(toDouble("1e-400", '.'), 0);  // too small to hold is zero, not a failure
    EXPECT_EQ(toDouble("1,5", ','), 1.5);
    EXPECT_EQ(toDouble("0,499984675268949", ','), 0.499984675268949);

    for (const char* bad : {"", "   ", "abc", "1.5.2", "1 5", "\t1", "1\t", "1,000.5", "inf", "nan",
                            "0x10", "&H10", "1e", "--1", ".", "-", "1.5x", "1,5,2"}) {
        EXPECT_FALSE(isNumeric(bad, '.')) << bad;
        EXPECT_THROW(toDouble(bad, '.'), Failure) << bad;
        EXPECT_FALSE(isNumeric(bad, ',')) << bad;
    }
    EXPECT_TRUE(isNumeric("7", '.'));

    try {
        toDouble("1e400", '.');
        FAIL() << "no overflow";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "Overflow");
    }
    EXPECT_THROW(toDouble("-1e400", '.'), Failure);
}

TEST(NumberText, IntegersRoundHalvesToEvenAndStaySixteenBit) {
    EXPECT_EQ(toInt16("12", '.'), 12);
    EXPECT_EQ(toInt16("2.5", '.'), 2);
    EXPECT_EQ(toInt16("3.5", '.'), 4);
    EXPECT_EQ(toInt16("-0.4", '.'), 0);
    EXPECT_EQ(toInt16("32767", '.'), 32767);
    EXPECT_EQ(toInt16("-32768", '.'), -32768);
    EXPECT_THROW(toInt16("32768", '.'), Failure);
    EXPECT_THROW(toInt16("1e6", '.'), Failure);
    EXPECT_THROW(toInt16("x", '.'), Failure);
}

TEST(NumberText, LeadingNumberReadsWhatTheTextStartsWith) {
    EXPECT_EQ(leadingNumber("0.5", '.'), 0.5);
    EXPECT_EQ(leadingNumber("3.06494621019401E-05", '.'), 3.06494621019401E-05);
    EXPECT_EQ(leadingNumber("  12abc", '.'), 12);
    EXPECT_EQ(leadingNumber("1e", '.'), 1);
    EXPECT_EQ(leadingNumber("Enter Threshold", '.'), 0);
    EXPECT_EQ(leadingNumber("0,5", ','), 0.5);
    EXPECT_EQ(leadingNumber("0,5", '.'), 0.5);  // one kind of mark: read with it
    EXPECT_EQ(leadingNumber("0.5", ','), 0.5);
    EXPECT_EQ(leadingNumber("1.5,3", '.'), 1.5);  // both kinds: the locale's, up to the other
    EXPECT_EQ(leadingNumber("1.5,3", ','), 1);
}

// A text with one kind of decimal mark reads with that mark under any locale; with both it is
// no number; with neither it reads with the locale's separator, whatever character that is.
TEST(NumberText, OneKindOfDecimalMarkReadsTheSameUnderEveryLocale) {
    for (char separator : {'.', ',', ';'}) {
        const std::string in = std::string("under '") + separator + "'";
        EXPECT_EQ(toDouble("130.1895", separator), 130.1895) << in;
        EXPECT_EQ(toDouble("130,1895", separator), 130.1895) << in;
        EXPECT_EQ(toDouble(" -1,5E-05 ", separator), -1.5e-5) << in;
        EXPECT_EQ(toDouble("+.25", separator), 0.25) << in;
        EXPECT_EQ(toDouble("1,000", separator), 1) << in;  // a decimal mark, never thousands
        EXPECT_EQ(toDouble("12e2", separator), 1200) << in;
        EXPECT_TRUE(isNumeric("0.3", separator)) << in;
        EXPECT_TRUE(isNumeric("0,3", separator)) << in;
        for (const char* both : {"1.234,5", "1,234.5", "1.5,", ",1.", "1.5 ,"}) {
            EXPECT_FALSE(isNumeric(both, separator)) << both << " " << in;
            EXPECT_THROW(toDouble(both, separator), Failure) << both << " " << in;
        }
        // Integers take the same marks, then round halves to even and stay 16-bit.
        EXPECT_EQ(toInt16("2,5", separator), 2) << in;
        EXPECT_EQ(toInt16("3.5", separator), 4) << in;
        EXPECT_EQ(toInt16("32767,4", separator), 32767) << in;
        EXPECT_THROW(toInt16("32767.5", separator), Failure) << in;
        EXPECT_THROW(toInt16("1.0,0", separator), Failure) << in;
    }
    EXPECT_EQ(toDouble("1;5", ';'), 1.5);  // the locale's own, when the text has no other
    EXPECT_FALSE(isNumeric("1;5", '.'));
    EXPECT_FALSE(isNumeric("1;5.0", ';'));  // a "." makes "." the mark, and ";" is no digit
}

// ---------------------------------------------------------------------------------------------
// The coordinate text of a written point line takes a shortcut for the usual values; every text
// it writes must be the two-step text, character for character, under either separator.

std::string shortcutText(double value, char separator) {
    char buffer[NumberCodec::kCoordinateRoom];
    return std::string(buffer, writeCoordinate(buffer, value, separator));
}

// Counts the values whose shortcut text differs from the two-step text and shows the first few.
class CoordinateTexts {
public:
    void check(double value) {
        for (char separator : {'.', ','}) {
            const std::string expected = generalForm(roundHalfEven(value, 5), separator);
            const std::string written = shortcutText(value, separator);
            ++checked;
            if (written != expected && ++differences <= 10) {
                ADD_FAILURE() << "value " << std::hexfloat << value << std::defaultfloat << " ("
                              << value << "), separator '" << separator << "': wrote \"" << written
                              << "\", the two steps give \"" << expected << "\"";
            }
        }
    }
    // The value and its neighbours up to two ulps either side.
    void checkAround(double value) {
        double below = value;
        double above = value;
        check(value);
        for (int i = 0; i < 2; ++i) {
            below = std::nextafter(below, -INFINITY);
            above = std::nextafter(above, INFINITY);
            check(below);
            check(above);
        }
    }
    ~CoordinateTexts() { EXPECT_EQ(differences, 0) << "of " << checked << " texts"; }

private:
    long long checked = 0;
    long long differences = 0;
};

TEST(CoordinateText, TheShortcutWritesTheTwoStepTextAtTheEdges) {
    CoordinateTexts texts;
    const double limits[] = {0.0,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (double limit : limits) {
        texts.check(limit);
        texts.check(-limit);
    }
    for (double sign : {1.0, -1.0}) {
        // The E-05 texts, the first one without, and halves between them and zero.
        for (double v : {1e-5, 2e-5, 9e-5, 9.5e-5, 1e-4, 1.5e-4, 0.5e-5, 1.5e-5, 0.4999e-5,
                         0.0001234, 0.1, 0.5, 1.0, 1.5, 10.0, 100.0, 12.345675, 0.000015}) {
            texts.checkAround(sign * v);
        }
        // Near 1e10, where the shortcut ends, and beyond it.
        for (double v :
             {1e10, 9999999999.99999, 9999999999.999995, 9999999999.999996, 9999999999.99998,
              9999999999.5, 1e10 + 0.5, 1e11, 1e15, 1e16, 123456789012345.6, 999999999999999.9}) {
            texts.checkAround(sign * v);
        }
        // Exact halves at the fifth decimal: odd multiples of 1/64 (k * 1562.5 / 10^5).
        for (int k = 1; k < 4000; k += 2) {
            texts.check(sign * k / 64.0);
            texts.check(sign * (1e6 + k / 64.0));
            texts.check(sign * (1e9 + k / 64.0));
        }
        // The doubles nearest to the halves n + 0.5 of the fifth decimal, and their neighbours.
        for (long long n : {0LL, 1LL, 9LL, 10LL, 99LL, 12345LL, 99999LL, 100000LL, 123456789LL,
                            999999999999999LL, 99999999999999LL, 100000000000000LL}) {
            texts.checkAround(sign * (static_cast<double>(n) + 0.5) / 1e5);
        }
    }
}

TEST(CoordinateText, TheShortcutWritesTheTwoStepTextForRandomValues) {
    CoordinateTexts texts;
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<int> exponent(-9, 12);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 100000; ++i) {
        const double sign = (random() & 1) != 0 ? -1.0 : 1.0;
        // Any size from 1e-9 to 1e12.
        texts.check(sign * unit(random) * std::pow(10.0, exponent(random)));
        // Decimals of up to 15 digits, as files and earlier writes hold them.
        const auto digits = static_cast<double>(random() % 1000000000000000ULL);
        texts.check(sign * digits / std::pow(10.0, random() % 16));
        // Halves at the fifth decimal and next to them.
        const auto n = static_cast<double>(random() % 100000000000000ULL);
        texts.checkAround(sign * (n + 0.5) / 1e5);
        // Any bit pattern at all: sub-normal values, huge ones, NaNs.
        texts.check(std::bit_cast<double>(random()));
    }
}

// A codec that only knows the string form still writes its texts into a line's buffer.
TEST(CoordinateText, ACodecWithoutItsOwnBufferFormCopiesItsText) {
    class StringOnly : public NumberCodec {
    public:
        double toDouble(std::string_view text) const override { return numbers.toDouble(text); }
        int16_t toInt16(std::string_view text) const override { return numbers.toInt16(text); }
        std::string coordinateText(double value) const override {
            return "<" + numbers.coordinateText(value) + ">";
        }

    private:
        LocaleNumbers numbers{','};
    };
    const StringOnly codec;
    for (double v : {0.0, -1234.567891, 3e-5, 1.5e300}) {
        char buffer[NumberCodec::kCoordinateRoom];
        const std::string written(buffer, codec.writeCoordinate(buffer, v));
        EXPECT_EQ(written, codec.coordinateText(v));
        EXPECT_EQ(written, "<" + generalForm(roundHalfEven(v, 5), ',') + ">");
    }
    EXPECT_EQ(shortcutText(-1234.567891, ','), "-1234,56789");
}

// ---------------------------------------------------------------------------------------------
// Reading a line in one pass: a plainly written number is read where it starts, and whatever it
// reads must be what toDouble and toInt16 make of exactly the characters it took.

// Checks one text under one separator; counts the texts read plainly.
class PlainReading {
public:
    void checkDouble(const std::string& text, char separator) {
        double value = -12345.678;
        const size_t taken = readPlainDouble(text, separator, value);
        if (taken == 0) {
            return;
        }
        ++plainlyRead;
        ASSERT_LE(taken, text.size()) << text;
        const std::string number = text.substr(0, taken);
        double exact = 0;
        ASSERT_NO_THROW(exact = toDouble(number, separator)) << text << " took " << number;
        EXPECT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(exact))
            << text << " under '" << separator << "'";
        // And what std::from_chars gives for the same number written with ".", as the program
        // read numbers before the library took over: a file reads to the same doubles as ever.
        std::string dotted = number;
        std::replace(dotted.begin(), dotted.end(), ',', '.');
        double before = 0;
        const auto result = std::from_chars(dotted.data(), dotted.data() + dotted.size(), before);
        if (result.ec == std::errc()) {
            EXPECT_EQ(result.ptr, dotted.data() + dotted.size()) << text;
            EXPECT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(before)) << text;
        }
    }
    void checkInt16(const std::string& text) {
        const PlainInt16 plain = readPlainDigits(text);
        if (plain.length == 0) {
            return;
        }
        ++plainlyRead;
        ASSERT_LE(plain.length, text.size()) << text;
        int16_t exact = 0;
        ASSERT_NO_THROW(exact = toInt16(text.substr(0, plain.length), '.')) << text;
        EXPECT_EQ(plain.value, exact) << text;
    }
    long long plainlyRead = 0;
};

// A number as files write it, or as a hand may: sign, leading zeros, fraction, exponent.
std::string plainNumber(std::mt19937_64& random, char separator) {
    auto digits = [&](int most) {
        std::string text;
        const int count = static_cast<int>(random() % static_cast<uint64_t>(most + 1));
        for (int i = 0; i < count; ++i) {
            text += static_cast<char>('0' + random() % 10);
        }
        return text;
    };
    std::string text = (random() % 3 == 0) ? "-" : "";
    const std::string whole = digits(12);
    const std::string fraction = digits(10);
    text += whole.empty() && fraction.empty() ? "0" : whole;
    if (random() % 4 != 0) {
        text += separator + fraction;
    }
    if (random() % 4 == 0) {
        text += (random() % 2 == 0) ? 'e' : 'E';
        text += std::string(random() % 3 == 0 ? "-" : (random() % 2 == 0 ? "+" : ""));
        text += std::to_string(random() % 330);
    }
    return text;
}

TEST(PlainNumbers, TheUsualTextsAreReadPlainlyAndWhole) {
    for (char separator : {'.', ','}) {
        const std::string s(1, separator);
        for (const std::string& number : std::vector<std::string>{
                 "0", "-0", "12", "-12" + s + "34567", "1E-05", "3" + s + "06494621019401E-05",
                 s + "5", "-" + s + "5", "1" + s, "2" + s + "5e+3", "1e308", "0004" + s + "50",
                 "1e-400"}) {
            for (const char* after : {"", " 7)", ")", " "}) {
                double value = 0;
                EXPECT_EQ(readPlainDouble(number + after, separator, value), number.size())
                    << number << after;
                EXPECT_EQ(value, toDouble(number, separator)) << number;
            }
        }
        // What toDouble refuses, a "+", a blank or a failure in converting: not read plainly.
        for (const std::string& text :
             std::vector<std::string>{"", " 1", "+1", "-", s, "-" + s, "inf", "-inf", "nan", "e5",
                                      "1e400", "-1e400", "x1"}) {
            double value = 0;
            EXPECT_EQ(readPlainDouble(text, separator, value), 0u) << text;
        }
    }
    // The mark behind the whole digits is the number's, under any locale; a second mark ends
    // the number, and the record then finds no blank behind it and leaves the text to toDouble.
    for (char separator : {'.', ',', ';'}) {
        double value = 0;
        EXPECT_EQ(readPlainDouble("1,5 2", separator, value), 3u) << separator;
        EXPECT_EQ(value, 1.5);
        EXPECT_EQ(readPlainDouble("-1.5e1)", separator, value), 6u) << separator;
        EXPECT_EQ(value, -15);
        EXPECT_EQ(readPlainDouble("1.5,2 2", separator, value), 3u) << separator;
        EXPECT_EQ(readPlainDouble("1e3,5 2", separator, value), 3u) << separator;
        EXPECT_EQ(value, 1000);
    }
    double value = 0;
    EXPECT_EQ(readPlainDouble("1;5 2", ';', value), 3u);
    EXPECT_EQ(readPlainDouble("1;5 2", '.', value), 1u);

    // The records read plain point numbers with readPlainDigits; it must take what toInt16 reads.
    for (const std::string text : {"0", "7", "00042", "32767"}) {
        const PlainInt16 plain = readPlainDigits(text + ")");
        EXPECT_EQ(plain.length, text.size()) << text;
        EXPECT_EQ(plain.value, toInt16(text, '.')) << text;
    }
    for (const char* text : {"", "32768", "99999", "000001", "-1", "+1", " 1", "x"}) {
        EXPECT_EQ(readPlainDigits(text).length, 0u) << text;
    }
    // Every number of up to five digits, leading zeros too, short and with a line behind it: the
    // digits are taken when there are at most five and they fit 16 bits.
    for (int n = 0; n < 100000; ++n) {
        const std::string digits = std::to_string(n);
        for (const std::string& written :
             {digits, std::string(5 - digits.size(), '0') + digits, "0" + digits}) {
            // The characters next to the digits in the character table too: "/", ":" and "?".
            for (const char* after : {"", ")", ") (12) (7) )", "5", "57)", "x9999999", "\r\n",
                                      ":1234567", "/2345678", "?  "}) {
                const std::string text = written + after;
                const size_t run = text.find_first_not_of("0123456789");
                const std::string allDigits = text.substr(0, run);
                const bool plain = allDigits.size() <= 5 && std::stoi(allDigits) <= INT16_MAX;
                const PlainInt16 read = readPlainDigits(text);
                ASSERT_EQ(read.length, plain ? allDigits.size() : 0u) << text;
                if (plain) {
                    ASSERT_EQ(read.value, std::stoi(allDigits)) << text;
                }
            }
        }
    }
}

TEST(PlainNumbers, WhatIsReadPlainlyIsWhatTheExactConversionGives) {
    PlainReading reading;
    std::mt19937_64 random(7);
    const std::string alphabet = "0123456789012345678901234567890.,-+eE )x/:?";
    for (int i = 0; i < 200000; ++i) {
        for (char separator : {'.', ','}) {
            // Plain numbers with something behind them, and random texts of number characters.
            const std::string after(1, alphabet[random() % alphabet.size()]);
            reading.checkDouble(plainNumber(random, separator) + after, separator);
            std::string text;
            for (size_t n = random() % 14; n > 0; --n) {
                text += alphabet[random() % alphabet.size()];
            }
            reading.checkDouble(text, separator);
            reading.checkInt16(text);
        }
        reading.checkInt16(std::to_string(random() % 40000) + (random() % 2 == 0 ? ")" : " 5"));
    }
    // Most of the texts above start plainly: the checks were not left empty.
    EXPECT_GT(reading.plainlyRead, 400000);
}

// Numbers of up to 15 significant digits, near the edges of the powers of ten that a double holds
// exactly: every one must come out as from_chars reads it, bit for bit, sign of zero and length
// included.
TEST(PlainNumbers, ShortDecimalsAreReadAsFromCharsReadsThem) {
    PlainReading reading;
    std::mt19937_64 random(11);
    for (char separator : {'.', ','}) {
        const std::string s(1, separator);
        for (const std::string& text : std::vector<std::string>{"0" + s + "1",
                                                                "0" + s + "3",
                                                                "-0" + s + "0",
                                                                "-0",
                                                                "1e22",
                                                                "1e23",
                                                                "1e-22",
                                                                "1e-23",
                                                                "123456789012345e-22",
                                                                "999999999999999e22",
                                                                "9007199254740993",
                                                                "900719925474099" + s + "3",
                                                                "0" + s + "000000000000001",
                                                                "1" + s + "00000000000000",
                                                                "1" + s + "000000000000000",
                                                                "00000000000000000000012" + s + "5",
                                                                "4" + s + "35",
                                                                "2e-0",
                                                                "7" + s + "e5",
                                                                "12" + s + "34567E+3"}) {
            reading.checkDouble(text, separator);
            reading.checkDouble(text + " 1", separator);
        }
        for (int i = 0; i < 300000; ++i) {
            // 1 to 17 digits with the separator somewhere in them or not at all, a sign and an
            // exponent near the edges of the exact powers of ten.
            std::string digits = std::to_string(random() % 100000000000000000ULL);
            digits = digits.substr(0, 1 + random() % digits.size());
            const size_t point = random() % (digits.size() + 2);
            if (point <= digits.size()) {
                digits.insert(point, s);
            }
            std::string text = (random() % 2 == 0 ? "-" : "") + digits;
            if (random() % 2 == 0) {
                text += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
            }
            reading.checkDouble(text + (random() % 2 == 0 ? ")" : " "), separator);
        }
    }
    EXPECT_GT(reading.plainlyRead, 500000);
}

// Files written at full precision carry 16 to 19 digits. The decimals closest to the halfway
// points between two doubles are where a reading that rounds twice would go wrong.
TEST(PlainNumbers, FullPrecisionDecimalsAreReadAsFromCharsReadsThem) {
    PlainReading reading;
    std::mt19937_64 random(12);
    for (char separator : {'.', ','}) {
        for (int i = 0; i < 150000; ++i) {
            // 16 to 20 digits, the first not 0, the separator anywhere, an exponent within 35.
            std::string digits(1, static_cast<char>('1' + random() % 9));
            for (size_t n = 15 + random() % 5; n > 0; --n) {
                digits += static_cast<char>('0' + random() % 10);
            }
            digits.insert(1 + random() % digits.size(), 1, separator);
            if (digits.back() == separator) {
                digits += '5';
            }
            const int exponent = static_cast<int>(random() % 71) - 35;
            reading.checkDouble(digits + "e" + std::to_string(exponent) + " ", separator);
            reading.checkDouble(digits + ")", separator);
        }
        // The halfway point between a double and the next, which a long double holds exactly,
        // written with 17 to 19 digits, and its last digit one up and one down.
        std::uniform_real_distribution<double> magnitude(-8, 40);
        for (int i = 0; i < 60000; ++i) {
            const double below = std::pow(10.0, magnitude(random));
            const long double halfway =
                (static_cast<long double>(below) +
                 static_cast<long double>(std::nextafter(below, HUGE_VAL))) /
                2;
            char text[64];
            std::snprintf(text, sizeof text, "%.*Le", 16 + static_cast<int>(random() % 3), halfway);
            std::string written = text;
            std::replace(written.begin(), written.end(), '.', separator);
            const size_t last = written.find('e') - 1;
            for (const int change : {0, 1, -1}) {
                std::string near = written;
                near[last] = static_cast<char>('0' + (near[last] - '0' + 10 + change) % 10);
                reading.checkDouble(near + " ", separator);
            }
        }
    }
    EXPECT_GT(reading.plainlyRead, 900000);
}

}  // namespace
}  // namespace meshthin::numtext
