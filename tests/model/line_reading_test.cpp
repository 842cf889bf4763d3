// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a point group or a face line in one pass must come to what the format's searches come
// to: the same numbers, the same failure, the same record and face index afterwards, whatever
// the text. Every text here is read twice: with the file layer's codec, which reads plain
// numbers where they start, and with a codec that reads nothing plainly, which sends every
// record the long way through the searches and toDouble/toInt16.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "model/mesh.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

// The file layer's conversions without the plain reading.
class LongWay : public NumberCodec {
public:
    explicit LongWay(char separator) : numbers(separator) {}
    double toDouble(std::string_view text) const override { return numbers.toDouble(text); }
    int16_t toInt16(std::string_view text) const override { return numbers.toInt16(text); }
    std::string coordinateText(double value) const override {
        return numbers.coordinateText(value);
    }

private:
    numtext::LocaleNumbers numbers;
};

std::string bitsOf(double value) {
    return std::to_string(std::bit_cast<uint64_t>(value));
}

// A point's reading: what loadme returned or threw, and the point afterwards.
std::string readGroup(Mesh& mesh, Point& point, const std::string& line, int16_t start,
                      const NumberCodec& numbers) {
    std::string outcome;
    try {
        outcome = "returned " + std::to_string(point.loadme(mesh, line, start, 7, numbers));
    } catch (const Failure& failure) {
        outcome = std::string("failed: ") + failure.what();
    }
    return outcome + ", num " + std::to_string(point.getNum()) + ", conns " +
           std::to_string(point.getNumConns()) + ", x " + bitsOf(point.getX()) + ", y " +
           bitsOf(point.getY()) + ", z " + bitsOf(point.getZ());
}

// A face in Faces: lastPos, every position up to two past it, and for every number the face
// holds whether the index lists this face, and how many faces it lists.
std::string describeFace(Mesh& mesh, long long slot) {
    const Face& face = mesh.Faces(slot);
    std::string outcome = "lastPos " + std::to_string(face.getNum()) + ":";
    for (int i = 0; i <= face.getNum() + 2; ++i) {
        try {
            const int16_t p = face.getPNum(static_cast<int16_t>(i));
            outcome += " " + std::to_string(p);
            if (p >= 0) {
                FaceList listed;
                mesh.facesHolding(p, mesh.Faces.upperBound(), listed);
                const bool here = std::find(listed.begin(), listed.end(), slot) != listed.end();
                outcome += std::string(here ? "[this" : "[not this") + " of " +
                           std::to_string(listed.size()) + "]";
            }
        } catch (const Failure&) {
            outcome += " -";
        }
    }
    return outcome;
}

// A face's reading: what loadme threw.
std::string readFaceLine(Mesh& mesh, long long slot, const std::string& line,
                         const NumberCodec& numbers) {
    try {
        mesh.Faces(slot).loadme(mesh, line, numbers);
    } catch (const Failure& failure) {
        return std::string("failed: ") + failure.what();
    }
    return "read";
}

class Texts {
public:
    explicit Texts(uint64_t seed) : random(seed) {}

    size_t below(size_t n) { return static_cast<size_t>(random() % n); }
    template <class T>
    const T& pick(const std::vector<T>& choices) {
        return choices[below(choices.size())];
    }

    // A number as a file may hold it, plainly written or not.
    std::string number(char separator) {
        const std::string s(1, separator);
        if (below(4) == 0) {
            return pick(std::vector<std::string>{"",
                                                 " 1",
                                                 "1 ",
                                                 "+1",
                                                 "1,5",
                                                 "1.5",
                                                 "1e400",
                                                 "-1e400",
                                                 "1e-400",
                                                 "nan",
                                                 "inf",
                                                 "x",
                                                 "1e",
                                                 "-",
                                                 s,
                                                 "\t1",
                                                 "-0",
                                                 "0" + s + "00001",
                                                 "12" + s,
                                                 s + "5",
                                                 "1E+05",
                                                 "99999999999999999999",
                                                 "4" + s + "9e-324"});
        }
        std::string text = below(3) == 0 ? "-" : "";
        text += std::to_string(random() % 100000);
        if (below(3) != 0) {
            text += s + std::to_string(random() % 100000);
        }
        if (below(6) == 0) {
            text += (below(2) == 0 ? "e" : "E") + std::string(below(2) == 0 ? "-" : "") +
                    std::to_string(below(40));
        }
        return text;
    }

    // A point group, well formed or damaged, with something before and after it.
    std::string group(char separator) {
        const std::vector<std::string> gaps = {" ", " ", " ", "  ", "\t", ""};
        std::string text = pick(std::vector<std::string>{"", "", "  ", "} ", "x(", "points "});
        if (below(20) == 0) {
            text += std::string(32750 + below(30), '-');  // at the edge of 16-bit positions
        }
        text += "(" + number(separator) + pick(gaps) + number(separator) + pick(gaps) +
                number(separator) + pick(std::vector<std::string>{")", ")", ")", " )", "", "))"});
        text += pick(std::vector<std::string>{"", "", " (9 9 9)", " and (1 2 3)", "}", ")"});
        return text;
    }

    // A face line, well formed or damaged.
    std::string faceLine() {
        std::string text = pick(std::vector<std::string>{"", "", "  ", "\t"});
        const int groups = static_cast<int>(below(6));
        text += pick(std::vector<std::string>{
            std::to_string(groups), std::to_string(groups), std::to_string(groups + 1),
            std::to_string(groups - 1), "+3", "3.5", "1e1", "40000", "x", "", "-1", "00003"});
        text += pick(std::vector<std::string>{" 0 0 -1 (", " (", " (", "(", " ", " 0 0 -1"});
        for (int g = 0; g < groups; ++g) {
            text += pick(std::vector<std::string>{" (", " (", " (", "(", "  ("});
            text += pick(std::vector<std::string>{
                std::to_string(random() % 40), std::to_string(random() % 40),
                std::to_string(random() % 33000), "-1", "+2", " 4", "4 0.5 1", "70000", "", "x",
                "1.5", "007", "32767", "32768"});
            text += pick(std::vector<std::string>{")", ")", ")", " )", "", "("});
        }
        text += pick(std::vector<std::string>{" )", " )", ")", "", " ) ", " )  x"});
        if (below(25) == 0) {
            text += std::string(32760 + below(20), '.');
        }
        return text;
    }

    // Any characters the format gives a meaning to, in any order.
    std::string soup() {
        const std::string alphabet = "() 0123456789.,-+eE}x\t";
        std::string text;
        for (size_t n = below(32); n > 0; --n) {
            text += alphabet[below(alphabet.size())];
        }
        return text;
    }

private:
    std::mt19937_64 random;
};

using LineReadingTest = StoreTest;

TEST_F(LineReadingTest, APointGroupReadsAlikeBothWays) {
    stopListening();
    Texts texts(11);
    int compared = 0;
    for (int i = 0; i < 20000; ++i) {
        for (char separator : {'.', ','}) {
            const std::string line = i % 4 == 3 ? texts.soup() : texts.group(separator);
            const size_t open = line.find('(');
            const std::vector<long long> starts = {
                -1,
                0,
                1,
                2,
                static_cast<long long>(line.size()),
                static_cast<long long>(line.size()) + 1,
                open == std::string::npos ? 3 : static_cast<long long>(open) + 1,
                open == std::string::npos ? 4 : static_cast<long long>(open) + 2};
            const auto start = static_cast<int16_t>(
                std::min(starts[texts.below(starts.size())], static_cast<long long>(INT16_MAX)));
            Point plain;
            Point longWay;
            // Both start from the same earlier group, which a line without a group keeps.
            const numtext::LocaleNumbers numbers(separator);
            const LongWay slow(separator);
            const std::string earlier = separator == '.' ? "(1.5 -2.5 3.5)" : "(1,5 -2,5 3,5)";
            plain.loadme(mesh, earlier, 1, 3, numbers);
            longWay.loadme(mesh, earlier, 1, 3, slow);
            const std::string plainOutcome = readGroup(mesh, plain, line, start, numbers);
            ASSERT_EQ(plainOutcome, readGroup(mesh, longWay, line, start, slow))
                << "line \"" << line.substr(0, 200) << "\" from " << start << " under '"
                << separator << "'";
            ++compared;
        }
    }
    EXPECT_EQ(compared, 40000);

    // Groups whose "(", blanks or ")" stand at the last positions a 16-bit number can hold, and
    // just beyond.
    for (size_t close = 32760; close <= 32772; ++close) {
        for (const char* after : {"", " ", ")", " (1 2 3)"}) {
            const std::string line = std::string(close - 7, 'x') + "(1 2 3)" + after;
            for (const int16_t start : {1, 32760, INT16_MAX}) {
                Point plain;
                Point longWay;
                const std::string plainOutcome =
                    readGroup(mesh, plain, line, start, numtext::LocaleNumbers('.'));
                ASSERT_EQ(plainOutcome, readGroup(mesh, longWay, line, start, LongWay('.')))
                    << "\")\" at " << close << ", then \"" << after << "\", from " << start;
            }
        }
    }
}

TEST_F(LineReadingTest, AFaceLineReadsAlikeBothWays) {
    stopListening();
    Texts texts(12);
    const numtext::LocaleNumbers numbers('.');
    const LongWay slow('.');
    for (int i = 0; i < 20000; ++i) {
        freshMesh();
        mesh.Faces.growTo(1);
        // Two lines in a row into the same face: a line without a count builds on the one
        // before it.
        for (int line = 0; line < 2; ++line) {
            const std::string text = i % 4 == 3 ? texts.soup() : texts.faceLine();
            const std::string plain = readFaceLine(mesh, 0, text, numbers);
            const std::string longWay = readFaceLine(mesh, 1, text, slow);
            ASSERT_EQ(plain + ", " + describeFace(mesh, 0), longWay + ", " + describeFace(mesh, 1))
                << "line \"" << text.substr(0, 200) << "\" after " << line << " others";
        }
    }

    // Lines whose last groups stand at the last positions a 16-bit number can hold, and just
    // beyond.
    for (size_t length = 32755; length <= 32772; ++length) {
        for (const char* groups : {"( (1) (2) (3) )", "( (1) (2) (3 4) )", "( (1) (2) (3"}) {
            const std::string tail = groups;
            const std::string line = "3 " + std::string(length - tail.size() - 2, 'x') + tail;
            freshMesh();
            mesh.Faces.growTo(1);
            const std::string plain = readFaceLine(mesh, 0, line, numbers);
            const std::string longWay = readFaceLine(mesh, 1, line, slow);
            ASSERT_EQ(plain + ", " + describeFace(mesh, 0), longWay + ", " + describeFace(mesh, 1))
                << tail << " ending at " << length;
        }
    }
}

TEST_F(LineReadingTest, AWholeFileLoadsAlikeBothWays) {
    stopListening();
    Texts texts(13);
    for (int i = 0; i < 2000; ++i) {
        const char separator = i % 2 == 0 ? '.' : ',';
        std::string text = "title\npoints {\n";
        const size_t points = 1 + texts.below(12);
        for (size_t p = 0; p < points; ++p) {
            text += (i % 5 == 0 ? texts.group(separator)
                                : "(" + texts.number(separator) + " " + texts.number(separator) +
                                      " " + texts.number(separator) + ")") +
                    (texts.below(3) == 0 ? " " : "\n");
        }
        text += "}\nfaces {\n";
        for (size_t f = texts.below(8); f > 0; --f) {
            text += texts.faceLine() + (texts.below(10) == 0 ? "\r" : "\r\n");
        }
        text += "}\n}\n";

        std::string outcomes[2];
        const numtext::LocaleNumbers numbers(separator);
        const LongWay slow(separator);
        const NumberCodec* codecs[2] = {&numbers, &slow};
        for (int way = 0; way < 2; ++way) {
            freshMesh();
            std::istringstream in(text);
            try {
                const FaceLines lines = readMesh(mesh, in, *codecs[way]);
                outcomes[way] = "read " + std::to_string(lines.size()) + " faces";
            } catch (const Failure& failure) {
                outcomes[way] = std::string("failed: ") + failure.what();
            }
            if (mesh.Points.exists()) {
                for (long long p = 0; p <= mesh.Points.upperBound(); ++p) {
                    outcomes[way] += " (" + bitsOf(mesh.Points(p).getX()) + " " +
                                     bitsOf(mesh.Points(p).getY()) + " " +
                                     bitsOf(mesh.Points(p).getZ()) + ")";
                }
            }
            if (mesh.Faces.exists()) {
                for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
                    outcomes[way] += " " + describeFace(mesh, f);
                }
            }
        }
        ASSERT_EQ(outcomes[0], outcomes[1]) << text.substr(0, 2000);
    }
}

}  // namespace
}  // namespace meshthin::testing
