// SPDX-License-Identifier: GPL-3.0-or-later
// Long runs keep the window alive and stop when the user asks: closing the window, or a signal
// on the command line. A stopped run writes nothing and leaves no temporary file.
#include "meshio/stopping.h"

#include <gtest/gtest.h>

#include "meshio/batch.h"
#include "meshio/loader.h"
#include "meshio/reduction.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/lists.h"

namespace meshthin::testing {
namespace {

// Removing every point of this fan takes about a second: long enough for many event rounds,
// and a test that waited for its end would show a stop that does not work.
const std::string kLongFan = generate::fan(4000);
constexpr const char* kAboveEveryValue = "1E+300";

class StoppingTest : public StoreTest {
protected:
    void SetUp() override { writeFile(dir.path("fan.mesh"), kLongFan); }

    bool everyPointRemoved() const {
        for (long long i = 0; i <= mesh.lastLoadedPoint(); ++i) {
            if (!mesh.Points(i).removed()) {
                return false;
            }
        }
        return true;
    }

    TempDir dir;
};

TEST_F(StoppingTest, ClosingTheWindowDuringARunStopsItWithNothingWrittenOrShown) {
    FakeWindow window;
    window.openAnswer = dir.path("fan.mesh").string();
    RunState state;
    state.meshLoaded = Form_Load(window, mesh, [&] { FillLists(window, mesh); });
    ASSERT_TRUE(state.meshLoaded);
    const std::vector<std::string> listedBefore = window.list(ListBox::List1);
    const size_t captionsBefore = window.captions.size();

    window.text1Text = kAboveEveryValue;
    window.closeInEventRound = 2;
    Command1_Click(window, state, mesh, [&] { FillLists(window, mesh); });

    // The walk let the window's events run, and stopped in the round in which it was closed.
    EXPECT_TRUE(window.closed);
    EXPECT_EQ(window.eventRounds, 2);
    EXPECT_FALSE(everyPointRemoved());
    EXPECT_FALSE(state.running);
    // No message, no save dialog, no interim or refilled lists: the window is going away.
    EXPECT_EQ(window.messages.size(), 1u);  // the load notice
    EXPECT_EQ(window.list(ListBox::List1), listedBefore);
    const std::vector<std::string> captions(window.captions.begin() + captionsBefore,
                                            window.captions.end());
    ASSERT_GE(captions.size(), 3u);
    EXPECT_EQ(captions[0], "beginning...");
    EXPECT_EQ(captions[1], "removing points");
    EXPECT_EQ(captions.back().rfind("removing points", 0), 0u) << captions.back();
    // The user's file is as it was, and nothing else appeared beside it.
    EXPECT_EQ(readFile(dir.path("fan.mesh")), kLongFan);
    EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{"fan.mesh"});
}

TEST_F(StoppingTest, ASignalStopsTheBatchInTheWalkOrInTheWriteLeavingNoFileBehind) {
    const std::string in = dir.path("fan.mesh").string();
    const std::string out = dir.path("out.mesh").string();
    for (int stopAtQuestion : {1, 2, 40}) {
        SCOPED_TRACE(stopAtQuestion);
        int questions = 0;
        std::ostringstream printed;
        std::ostringstream errors;
        // Question 1 comes before the run; the first checkpoints of the walk come soon after.
        const int status = runBatch({in, {kAboveEveryValue}, out}, printed, errors,
                                    [&] { return ++questions >= stopAtQuestion; });
        EXPECT_EQ(status, kStoppedStatus);
        EXPECT_EQ(questions, stopAtQuestion);
        EXPECT_EQ(printed.str(), "");
        EXPECT_EQ(errors.str(), "");
        EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{"fan.mesh"});
    }
    // The walk alone asks more than 40 times, so every stop above came before the walk or
    // inside it, with points still to remove.
    Mesh fan = loadMesh(in, dotNumbers);
    int walkQuestions = 0;
    {
        const StopCheckpoints counting(fan, [&] { return ++walkQuestions > 40; });
        EXPECT_THROW(removePointsBelow(fan, 1e300, [](long long) {}), RunStopped);
    }
    EXPECT_EQ(walkQuestions, 41);

    // A run short enough to reach the writer: the stop comes while the temporary file is being
    // filled, and takes it away again.
    const std::string cube = generate::cube();
    writeFile(in, cube);
    int questions = 0;
    std::ostringstream printed;
    std::ostringstream errors;
    const int status = runBatch({in, {"0"}, in}, printed, errors, [&] { return ++questions > 5; });
    EXPECT_EQ(status, kStoppedStatus);
    EXPECT_EQ(questions, 6);
    EXPECT_EQ(readFile(in), cube);
    EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{"fan.mesh"});
    EXPECT_EQ(printed.str(), "");
}

// Waits until the event interval has passed.
void waitOneInterval() {
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < kEventInterval) {
    }
}

TEST_F(StoppingTest, CheckpointsLetEventsRunOnlyAfterTheInterval) {
    FakeWindow window;
    WindowCheckpoints checkpoints(window, mesh);
    mesh.reachCheckpoint();            // the model's checkpoint, as a removal reaches it
    EXPECT_EQ(window.eventRounds, 0);  // just begun: no round yet
    waitOneInterval();
    mesh.reachCheckpoint();
    EXPECT_EQ(window.eventRounds, 1);

    // The writer's lines share the pump: it looks at the clock at the first of every
    // kItemsPerLook lines.
    waitOneInterval();
    checkpoints();
    EXPECT_EQ(window.eventRounds, 2);
    waitOneInterval();
    for (unsigned line = 1; line < WindowCheckpoints::kItemsPerLook; ++line) {
        checkpoints();
    }
    EXPECT_EQ(window.eventRounds, 2);
    checkpoints();
    EXPECT_EQ(window.eventRounds, 3);

    // Once the window is closing, the next round ends the work.
    window.closeInEventRound = 4;
    waitOneInterval();
    EXPECT_THROW(mesh.reachCheckpoint(), RunStopped);
}

}  // namespace
}  // namespace meshthin::testing
