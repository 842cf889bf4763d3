// SPDX-License-Identifier: GPL-3.0-or-later
// Whole reduction runs on small meshes, with the expected files derived by hand.
#include <gtest/gtest.h>

#include <sstream>

#include "meshio/reduction.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/lists.h"

namespace meshthin::testing {
namespace {

//   3(-1,1)-------2(1,1)         a flat square fanned around its centre P (4), and a triangle
//      |  \     /  |  \          (1 E 2) hanging off its right side with E (5) lifted in z.
//      |    P(4)   |  E(5) at (3,0,0.5)
//      |  /     \  |  /
//   0(-1,-1)------1(1,-1)
// P's directions cancel (value 0); every other point lies on the border (value above 1).
const std::string kSquare =
    meshText({"(-1 -1 0)", "(1 -1 0)", "(1 1 0)", "(-1 1 0)", "(0 0 0)", "(3 0 0.5)"},
             {"3 ( (4) (0) (1) )", "3 ( (4) (1) (2) )", "3 ( (4) (2) (3) )", "3 ( (4) (3) (0) )",
              "3 ( (1) (5) (2) )"});

std::string expectedSquareFile() {
    return meshHeader() + "\r\n" +
           "(-1 -1 0)\r\n(1 -1 0)\r\n(1 1 0)\r\n(-1 1 0)\r\n(3 0 0.5)\r\n"
           "(0 0 0)\r\n"  // the spare slot, last
           "}faces {\r\n"
           // E was point 5 and is written as number 4.
           "3 0 0 -1 (  ( 1 )  ( 4 )  ( 2 )   ) \r\n"
           // The rebuilt face in the ring order of the walk 0 -> 1 -> 2 -> 3.
           "4 0 0 -1 (  ( 0 )  ( 1 )  ( 2 )  ( 3 )   ) \r\n"
           " } \r\n } \r\n } \r\n";
}

class ReductionTest : public StoreTest {
protected:
    void SetUp() override {
        target = dir.path("square.mesh");
        writeFile(target, kSquare);
        loadAndAnalyze(kSquare);
        state.meshLoaded = true;
        window.dialogFileName = target.string();  // the name kept from the open dialog
        window.text1Text = "0.5";
    }

    void run() {
        Command1_Click(window, state, mesh, [this] {
            interimList1 = window.list(ListBox::List1);
            FillLists(window, mesh);
        });
    }

    TempDir dir;
    std::filesystem::path target;
    FakeWindow window;
    RunState state;
    std::vector<std::string> interimList1;
};

TEST_F(ReductionTest, ARunRemovesTheFlatPointAndWritesTheRebuiltMesh) {
    ASSERT_LT(mesh.Points(4).getValue(), 1e-12);
    run();
    EXPECT_TRUE(window.messages.empty()) << window.messages.front();
    EXPECT_EQ(readFile(target), expectedSquareFile());
    EXPECT_EQ(window.captions,
              (std::vector<std::string>{"beginning...", "removing points", "removing points0%",
                                        "points removed", "populating listbox", "writing file...",
                                        "Writing file header", "writing points", "writing faces",
                                        "Done"}));
    // The interim list holds every slot, the spare included, with the marks.
    EXPECT_EQ(interimList1, (std::vector<std::string>{"0", "1", "2", "3", "4 GONE", "5", "6"}));
    EXPECT_EQ(window.list(ListBox::List1).size(), 6u);  // then rebuilt without the spare
    EXPECT_EQ(window.text1(), "0");
    // A run this short never keeps the window waiting: the one round of events is the walk's
    // progress caption, shown while it works; the writer's pump never found the interval passed.
    EXPECT_EQ(window.eventRounds, 1);
    EXPECT_FALSE(state.running);
}

TEST_F(ReductionTest, ASecondRunAtTheSameThresholdRemovesNothingTwice) {
    run();
    const long long facesAfterFirst = mesh.Faces.upperBound();
    window.text1Text = "0.5";
    run();
    EXPECT_EQ(mesh.Faces.upperBound(), facesAfterFirst);
    EXPECT_EQ(readFile(target), expectedSquareFile());
}

TEST_F(ReductionTest, AValueEqualToTheThresholdStays) {
    // Thresholds are read from the text: the exact value of P written out keeps P.
    window.text1Text = "0";
    run();
    EXPECT_FALSE(mesh.Points(4).removed());
    window.text1Text = "1e-300";
    run();
    EXPECT_TRUE(mesh.Points(4).removed());
}

TEST_F(ReductionTest, AThresholdThatIsNotANumberStopsTheRun) {
    window.text1Text = "Enter Threshold";
    const std::string before = readFile(target);
    run();
    EXPECT_EQ(window.messages, (std::vector<std::string>{kNotNumericMessage}));
    EXPECT_EQ(window.captions, (std::vector<std::string>{"beginning..."}));
    EXPECT_FALSE(mesh.Points(4).removed());
    EXPECT_EQ(readFile(target), before);

    // Under "," a text with both marks is not a number either; "0.5", with one kind, is.
    window.separator = ',';
    window.text1Text = "0.5,";
    run();
    EXPECT_EQ(window.messages.size(), 2u);
    window.text1Text = "0.5";
    run();
    EXPECT_TRUE(mesh.Points(4).removed());
    EXPECT_EQ(window.text1(), "0");
}

TEST_F(ReductionTest, CancellingTheSaveDialogLeavesTheFileAlone) {
    const std::string before = readFile(target);
    window.saveAnswers.push_back(std::nullopt);
    run();
    EXPECT_TRUE(mesh.Points(4).removed());
    EXPECT_EQ(readFile(target), before);
    EXPECT_EQ(window.captions.back(), "Done");
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(ReductionTest, TheJobDoesNotDependOnAnybodyListening) {
    // Two runs on a bumpy grid, each written: the files and the mesh come out the same
    // whether the diagnostics are read or not.
    auto twoRunsOnAGrid = [this] {
        freshMesh();
        loadAndAnalyze(generate::grid(14, 11, 1.5, 5));
        std::string written;
        for (double threshold : {0.3, 0.8}) {
            removePointsBelow(mesh, threshold, [](long long) {});
            std::ostringstream out;
            writeMeshText(
                mesh, out, dotNumbers, [] {}, [](const std::string&) {});
            written += out.str();
        }
        return written + meshSummary(mesh);
    };
    const std::string listened = twoRunsOnAGrid();
    ASSERT_FALSE(logged.empty());
    stopListening();
    logged.clear();
    EXPECT_EQ(twoRunsOnAGrid(), listened);
    EXPECT_TRUE(logged.empty());
}

TEST_F(ReductionTest, ProgressIsAPercentageOfTheWalk) {
    EXPECT_EQ(progressCaption(0, 350), "removing points0%");
    EXPECT_EQ(progressCaption(100, 350), "removing points29%");
    EXPECT_EQ(progressCaption(300, 350), "removing points86%");
    EXPECT_EQ(progressCaption(1, 8), "removing points12%");  // 12.5 goes to the even 12
}

// On a large mesh the walk's percentage is sent once per change, in order, from the first to
// the last: the same text again would only keep the window repainting it.
TEST_F(ReductionTest, EachProgressCaptionIsSentOnceInOrder) {
    mesh = Mesh();
    loadAndAnalyze(generate::grid(150, 150, 0.3, 5));  // 22,500 points: 225 steps of 100
    run();
    std::vector<std::string> progress;
    for (const std::string& caption : window.captions) {
        if (caption.starts_with("removing points") && caption != "removing points") {
            progress.push_back(caption);
        }
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), "removing points0%");
    EXPECT_EQ(progress.back(), progressCaption(22'400, 22'500));
    for (size_t k = 1; k < progress.size(); ++k) {
        EXPECT_NE(progress[k], progress[k - 1]) << "caption " << k;
    }
}

TEST_F(ReductionTest, NoMeshNoRunAndNoSecondRunDuringAWrite) {
    state.meshLoaded = false;
    run();
    EXPECT_EQ(window.messages, (std::vector<std::string>{kNoMeshMessage}));
    EXPECT_TRUE(window.captions.empty());

    state.meshLoaded = true;
    state.running = true;  // a click that arrives while a run writes
    window.messages.clear();
    run();
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.captions.empty());
    EXPECT_FALSE(mesh.Points(4).removed());
}

}  // namespace
}  // namespace meshthin::testing
