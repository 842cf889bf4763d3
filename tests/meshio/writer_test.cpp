// SPDX-License-Identifier: GPL-3.0-or-later
// The written file's fixed parts, and writing that fails without losing the user's file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "meshio/writer.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTriangle =
    meshText({"(0.123456 -2 10)", "(1.234567 -0.5 0.00001)", "(0 1 0)"}, {"3 ( (0) (1) (2) )"});

class WriterTest : public StoreTest {
protected:
    void SetUp() override { loadAndAnalyze(kTriangle); }
    // Writes through the window's save dialog answering with target.
    void writeTo(const fs::path& target) {
        window.saveAnswers.push_back(target.string());
        WriteMesh(window, mesh, [] {});
    }
    TempDir dir;
    FakeWindow window;
};

TEST_F(WriterTest, TheFileHasItsFixedPartsAndCrLfLineEnds) {
    const std::string header = meshHeader();
    EXPECT_EQ(header.size(), 237u);
    EXPECT_EQ(header.rfind("object { \"object01\"  mesh {    name { \"mesh01\" } base {", 0), 0u);
    EXPECT_NE(header.find("material { \"-- default --\" } smoothangle { 45 } /* 362 points, 360 "
                          "faces, 573 uvCoords */ materiallist { materialname { \" -- default "
                          "--\" } } points {"),
              std::string::npos);

    writeTo(dir.path("out.mesh"));
    ASSERT_TRUE(window.messages.empty()) << window.messages.front();
    const std::string content = readFile(dir.path("out.mesh"));
    EXPECT_EQ(content, header + "\r\n" +
                           "(0.12346 -2 10)\r\n"
                           "(1.23457 -0.5 1E-05)\r\n"
                           "(0 1 0)\r\n"
                           "(0 0 0)\r\n"
                           "}faces {\r\n"
                           "3 0 0 -1 (  ( 0 )  ( 1 )  ( 2 )   ) \r\n"
                           " } \r\n } \r\n } \r\n");
    // Every line break is CR LF.
    size_t lfCount = 0;
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\n') {
            ++lfCount;
            EXPECT_EQ(content[i - 1], '\r');
        }
    }
    EXPECT_EQ(lfCount, crlfLines(content).size());
    EXPECT_EQ(namesIn(dir.folder()), (std::vector<std::string>{"out.mesh"}));
}

TEST_F(WriterTest, CoordinatesUseTheDecimalSeparator) {
    window.separator = ',';
    writeTo(dir.path("comma.mesh"));
    const std::vector<std::string> lines = crlfLines(readFile(dir.path("comma.mesh")));
    EXPECT_EQ(lines[1], "(0,12346 -2 10)");
    EXPECT_EQ(lines[2], "(1,23457 -0,5 1E-05)");
}

TEST_F(WriterTest, TargetsThatCannotBeWrittenAreLeftAsTheyWere) {
    // A missing folder.
    writeTo(dir.path("nowhere") / "out.mesh");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("Error Occurred: ", 0), 0u);
    EXPECT_FALSE(fs::exists(dir.path("nowhere")));

    // A read-only file.
    writeFile(dir.path("locked.mesh"), "keep me");
    fs::permissions(dir.path("locked.mesh"), fs::perms::owner_read | fs::perms::group_read);
    writeTo(dir.path("locked.mesh"));
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[1].rfind("Error Occurred: Permission denied", 0), 0u);
    EXPECT_EQ(readFile(dir.path("locked.mesh")), "keep me");

    // A read-only folder.
    fs::create_directory(dir.path("shut"));
    writeFile(dir.path("shut") / "in.mesh", "old");
    fs::permissions(dir.path("shut"), fs::perms::owner_read | fs::perms::owner_exec);
    writeTo(dir.path("shut") / "in.mesh");
    ASSERT_EQ(window.messages.size(), 3u);
    EXPECT_EQ(window.messages[2].rfind("Error Occurred: Permission denied", 0), 0u);
    fs::permissions(dir.path("shut"), fs::perms::owner_all);
    EXPECT_EQ(readFile(dir.path("shut") / "in.mesh"), "old");
    EXPECT_EQ(namesIn(dir.path("shut")), (std::vector<std::string>{"in.mesh"}));

    // A folder is not a file.
    writeTo(dir.path("shut"));
    EXPECT_EQ(window.messages.size(), 4u);

    // And the writer still works afterwards.
    writeTo(dir.path("fine.mesh"));
    EXPECT_EQ(window.messages.size(), 4u);
    EXPECT_EQ(crlfLines(readFile(dir.path("fine.mesh"))).size(), 10u);
}

TEST_F(WriterTest, AWriteThatFailsHalfWayKeepsTheOldFile) {
    // The loaded file itself is the target, and the file system refuses more than 1000 bytes.
    const fs::path loaded = dir.path("loaded.mesh");
    writeFile(loaded, kTriangle);
    fs::permissions(loaded, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (int i = 0; i < 300; ++i) {
        PointList list{0, 1, 2};
        const long long f = mesh.Faces.upperBound() + 1;
        mesh.Faces.growTo(f);
        mesh.Faces(f).reInit(mesh, list, {});
    }
    struct rlimit previous {};
    getrlimit(RLIMIT_FSIZE, &previous);
    auto* previousHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    writeTo(loaded);
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);

    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("Error Occurred: Writing the file failed", 0), 0u)
        << window.messages[0];
    EXPECT_EQ(readFile(loaded), kTriangle);
    EXPECT_EQ(namesIn(dir.folder()), (std::vector<std::string>{"loaded.mesh"}));

    // Once space is back, the same target is replaced and keeps its permissions.
    writeTo(loaded);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(readFile(loaded).rfind(meshHeader(), 0), 0u);
    EXPECT_EQ(fs::status(loaded).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(WriterTest, TargetsThatAreNotRegularFilesAreRefused) {
    // A device that fails every write, and a pipe that would block the writer: both refused
    // before anything is written, and neither is replaced by a regular file.
    writeTo("/dev/full");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], "Error Occurred: Not a regular file: /dev/full");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));

    ASSERT_EQ(mkfifo(dir.path("pipe").c_str(), 0644), 0);
    writeTo(dir.path("pipe"));
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[1],
              "Error Occurred: Not a regular file: " + dir.path("pipe").string());
    EXPECT_TRUE(fs::is_fifo(dir.path("pipe")));
    EXPECT_EQ(namesIn(dir.folder()), (std::vector<std::string>{"pipe"}));

    // The writer still works afterwards.
    writeTo(dir.path("fine.mesh"));
    EXPECT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(readFile(dir.path("fine.mesh")).rfind(meshHeader() + "\r\n", 0), 0u);
}

TEST_F(WriterTest, ALinkedTargetIsReplacedWhereItLives) {
    // The user's link stays a link; the file it names gets the new content, and the temporary
    // file is made and removed next to that file.
    fs::create_directory(dir.path("real"));
    writeFile(dir.path("real") / "mesh.txt", "old");
    fs::create_symlink(dir.path("real") / "mesh.txt", dir.path("link.mesh"));
    writeTo(dir.path("link.mesh"));
    ASSERT_TRUE(window.messages.empty()) << window.messages.front();
    EXPECT_TRUE(fs::is_symlink(dir.path("link.mesh")));
    EXPECT_EQ(readFile(dir.path("real") / "mesh.txt").rfind(meshHeader() + "\r\n", 0), 0u);
    EXPECT_EQ(namesIn(dir.path("real")), (std::vector<std::string>{"mesh.txt"}));
    EXPECT_EQ(namesIn(dir.folder()), (std::vector<std::string>{"link.mesh", "real"}));
}

}  // namespace
}  // namespace meshthin::testing
