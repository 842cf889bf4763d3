// Number texts as the window and the file show them, under "." and under ",".
#include <gtest/gtest.h>

#include <limits>
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

    for (const char* bad : {"", "   ", "abc", "1.5.2", "1 5", "\t1", "1\t", "1,000", "inf", "nan",
                            "0x10", "&H10", "1e", "--1", ".", "-", "1.5x"}) {
        EXPECT_FALSE(isNumeric(bad, '.')) << bad;
        EXPECT_THROW(toDouble(bad, '.'), Failure) << bad;
    }
    EXPECT_FALSE(isNumeric("1.5", ','));
    EXPECT_FALSE(isNumeric("1,5", '.'));
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
    EXPECT_EQ(leadingNumber("0,5", '.'), 0);
}

}  // namespace
}  // namespace meshthin::numtext
