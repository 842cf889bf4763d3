// SPDX-License-Identifier: GPL-3.0-or-later
// The lists, statistics and selected-point texts, on a fake window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/lists.h"

namespace meshthin::testing {
namespace {

class ListsTest : public StoreTest {
protected:
    FakeWindow window;
};

// Eight points in no face: each is measured against point 0, so point 0 has the value 0 and
// the others the value 1.
const std::vector<std::string> kEight = {"(0 0 0)", "(1 0 0)", "(2 0 0)", "(3 0 0)",
                                         "(4 0 0)", "(5 0 0)", "(6 0 0)", "(7 0 0)"};

TEST_F(ListsTest, StatisticsCountValuesStrictlyBelowTheThreshold) {
    loadAndAnalyze(meshText(kEight, {}));
    window.text1Text = "0.5";
    RefreshStatistics(window, mesh);
    EXPECT_EQ(window.label(Caption::lblPBefore), "Points: 8");
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 1 (12.5%)");

    window.text1Text = "1";  // values equal to the threshold are not counted
    RefreshStatistics(window, mesh);
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 1 (12.5%)");
    window.text1Text = "1.5";
    RefreshStatistics(window, mesh);
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 8 (100%)");
    window.text1Text = "0";
    RefreshStatistics(window, mesh);
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 0 (0%)");

    mesh = Mesh();
    loadAndAnalyze(meshText({"(0 0 0)", "(1 0 0)", "(2 0 0)"}, {}));
    window.text1Text = "0.5";
    RefreshStatistics(window, mesh);
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 1 (33.3%)");
    window.text1Text = "0,5";  // read with the window's separator
    window.separator = ',';
    RefreshStatistics(window, mesh);
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 1 (33,3%)");
}

TEST_F(ListsTest, ThreeOfEightBelowTheThreshold) {
    //  A triangle of three points at one place gives them value 0, the rest keep 1.
    std::vector<std::string> points = kEight;
    points[5] = "(2 0 0)";
    points[6] = "(2 0 0)";
    loadAndAnalyze(meshText(points, {"3 ( (2) (5) (6) )"}));
    window.text1Text = "0.5";
    RefreshStatistics(window, mesh);
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 4 (50%)");  // 0, 2, 5, 6
}

TEST_F(ListsTest, FillListsWritesEveryListAndTheThreshold) {
    // A square fan: the centre 4 has value 0, each corner 1 + sqrt(2), listed as 2.41.
    loadAndAnalyze(meshText(
        {"(-1 -1 0)", "(1 -1 0)", "(1 1 0)", "(-1 1 0)", "(0 0 0)"},
        {"3 ( (4) (0) (1) )", "3 ( (4) (1) (2) )", "3 ( (4) (2) (3) )", "3 ( (4) (3) (0) )"}));
    window.slider = 16313;
    window.text1Text = "something typed";
    FillLists(window, mesh);
    EXPECT_EQ(window.list(ListBox::List1), (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    // Sorted by text; each corner has three connections, the centre four.
    EXPECT_EQ(window.list(ListBox::List2),
              (std::vector<std::string>{"0 - 4 conns: 3", "2.41 - 0 conns: 2", "2.41 - 1 conns: 2",
                                        "2.41 - 2 conns: 2", "2.41 - 3 conns: 2"}));
    EXPECT_EQ(window.list(ListBox::List4).front(), "0 (4)(0)(1)");
    EXPECT_EQ(window.list(ListBox::List4).size(), 4u);
    EXPECT_EQ(window.text1(), "0.499984675268949");
    EXPECT_EQ(window.label(Caption::lblPBefore), "Points: 5");
    EXPECT_EQ(window.label(Caption::lblPAfter), "Reduced: 1 (20%)");

    mesh.Points(4).remove(mesh);
    settleValues(mesh);  // as a run does before anything reads the values
    FillLists(window, mesh);
    EXPECT_EQ(window.list(ListBox::List1)[4], "4 GONE");
    EXPECT_EQ(window.list(ListBox::List4).back(), "4 (0)(1)(2)(3) NEW ");
    EXPECT_EQ(window.list(ListBox::List4)[0], "0 (4)(0)(1) GONE ");
}

TEST_F(ListsTest, AFaceListLongerThanThePointListIsCompleteAndInOrder) {
    // A 40 x 30 grid: 1,200 points, 2,262 triangles, more faces than the lines made for the
    // points.
    loadAndAnalyze(generate::grid(40, 30, 1.5, 3));
    FillLists(window, mesh);
    ASSERT_EQ(window.list(ListBox::List1).size(), 1200u);
    const std::vector<std::string>& faces = window.list(ListBox::List4);
    ASSERT_EQ(faces.size(), 2262u);
    for (size_t f = 0; f < faces.size(); ++f) {
        const std::string number = std::to_string(f) + " (";
        EXPECT_EQ(faces[f].substr(0, number.size()), number) << faces[f];
        EXPECT_EQ(std::count(faces[f].begin(), faces[f].end(), '('), 3) << faces[f];
    }
    // The value list is not disturbed by the face lines that follow it.
    EXPECT_EQ(window.list(ListBox::List2).size(), 1200u);
    EXPECT_TRUE(
        std::is_sorted(window.list(ListBox::List2).begin(), window.list(ListBox::List2).end()));
}

TEST_F(ListsTest, SortedValueTextsUseCharacterOrder) {
    window.addListItems(ListBox::List2, {"2 - 2 conns: 0", "10.5 - 3 conns: 9", "2 - 10 conns: 0"});
    EXPECT_EQ(window.list(ListBox::List2),
              (std::vector<std::string>{"10.5 - 3 conns: 9", "2 - 10 conns: 0", "2 - 2 conns: 0"}));
}

TEST_F(ListsTest, SelectingAPointShowsItsDetails) {
    loadAndAnalyze(
        meshText({"(1.5 -2 0)", "(2 0 0)", "(0 3 0)", "(9 9 9)"}, {"3 ( (0) (1) (2) )"}));
    PointNumber selectedPoint = 3;
    showSelectedPoint(window, mesh, "0", selectedPoint);
    EXPECT_EQ(selectedPoint, 0);
    EXPECT_EQ(window.label(Caption::Label1), "Point 0 x: 1.5 y: -2 z: 0");
    EXPECT_EQ(window.list(ListBox::List3), (std::vector<std::string>{"1", "2"}));

    showSelectedPoint(window, mesh, "3", selectedPoint);  // in no face: (0)
    EXPECT_EQ(selectedPoint, 3);
    EXPECT_EQ(window.list(ListBox::List3), (std::vector<std::string>{"0"}));

    showSelectedPoint(window, mesh, "1 GONE", selectedPoint);
    showSelectedPoint(window, mesh, "", selectedPoint);
    EXPECT_EQ(selectedPoint, 3);
    EXPECT_EQ(window.label(Caption::Label1), "Point 3 x: 9 y: 9 z: 9");

    // A mesh past the brace format's 32,767 points selects its points past them too.
    freshMesh();
    mesh.setPositionLimit(kWidePositionLimit);
    mesh.Points.growTo(40001);
    for (PointNumber p = 0; p <= 40001; ++p) {
        mesh.Points(p).loadme(mesh, "(" + std::to_string(p) + " 1 2)", 1, p, dotNumbers);
    }
    showSelectedPoint(window, mesh, "40000", selectedPoint);
    EXPECT_EQ(selectedPoint, 40000);
    EXPECT_EQ(window.label(Caption::Label1), "Point 40000 x: 40000 y: 1 z: 2");
}

// Every line as the lists were formatted whole before they were written on demand.
std::vector<std::string> wholeList(const ListLines& lines) {
    std::vector<std::string> texts(static_cast<size_t>(lines.size()));
    for (size_t row = 0; row < texts.size(); ++row) {
        lines.write(static_cast<long long>(row), texts[row]);
    }
    return texts;
}

TEST_F(ListsTest, LinesWrittenOnDemandAreTheWholeFormattedListsInTheirOrder) {
    // Meshes with many equal rounded values and point numbers of every length, some run so that
    // removed points and rebuilt faces are listed too, under both separators.
    const std::string meshes[] = {generate::grid(40, 30, 1.5, 3), generate::sphere(14, 23, 0.3, 5),
                                  generate::fan(150)};
    for (const std::string& text : meshes) {
        for (const double threshold : {0.0, 0.4}) {
            for (const char separator : {'.', ','}) {
                freshMesh();
                loadAndAnalyze(text);
                removePointsBelow(mesh, threshold, [](long long) {});
                const auto lists = makeMeshLists(
                    std::shared_ptr<const Mesh>(std::shared_ptr<const Mesh>(), &mesh), separator);
                const long long points = mesh.lastLoadedPoint() + 1;
                std::vector<std::string> values;
                std::vector<std::string> numbers;
                for (long long i = 0; i < points; ++i) {
                    const Point& point = mesh.Points(i);
                    values.push_back(numtext::generalForm(
                                         numtext::roundHalfEven(point.getValue(), 2), separator) +
                                     " - " + std::to_string(i) +
                                     " conns: " + std::to_string(point.getNumConns()));
                    numbers.push_back(pointListItem(mesh, i));
                }
                std::sort(values.begin(), values.end());
                EXPECT_EQ(wholeList(*lists->valueLines()), values);
                EXPECT_EQ(wholeList(*lists->pointLines()), numbers);
                const std::vector<std::string> faces = wholeList(*lists->faceLines());
                ASSERT_EQ(faces.size(), static_cast<size_t>(mesh.Faces.upperBound() + 1));
                for (size_t f = 0; f < faces.size(); ++f) {
                    std::string report = std::to_string(f) + " ";
                    mesh.Faces(static_cast<long long>(f)).appendReport(report);
                    EXPECT_EQ(faces[f], report);
                }
                // The statistics from the sorted values are those of a look at every point.
                for (const char* shown : {"0", "0.2", "1", "2.5", "1e9"}) {
                    window.text1Text = shown;
                    RefreshStatistics(window, mesh);
                    const std::string scanned = window.label(Caption::lblPAfter);
                    RefreshStatistics(window, *lists);
                    EXPECT_EQ(window.label(Caption::lblPAfter), scanned) << shown;
                }
            }
        }
    }
}

TEST(SortedValuesTest, CountsBelowAThresholdAsALookAtEveryValue) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> hundredths(-300, 300);
    std::vector<double> values;
    for (int i = 0; i < 5000; ++i) {
        values.push_back(hundredths(random) / 100.0);  // many equal values, both signs
    }
    values.insert(values.end(), {-0.0, 0.0, std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(), -1e300, 1e-300});
    const SortedValues sorted(values);
    EXPECT_TRUE(std::is_sorted(sorted.ascending().begin(), sorted.ascending().end()));
    EXPECT_EQ(sorted.ascending().size(), values.size() - 1);  // the NaN left out
    const std::vector<uint8_t> shown(values.size(), 1);
    for (double threshold = -3.5; threshold <= 3.5; threshold += 0.005) {
        EXPECT_EQ(sorted.countBelow(threshold), countBelow(values, shown, threshold)) << threshold;
    }
    for (const double threshold : {0.0, -0.0, std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(), 1e-300}) {
        EXPECT_EQ(sorted.countBelow(threshold), countBelow(values, shown, threshold)) << threshold;
    }
}

}  // namespace
}  // namespace meshthin::testing
