// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file durably: the order of the disk calls, and what each failure leaves behind.
#include "meshio/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "model/failure.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

// Passes every call through to the system, and records it with what the target held then.
class RecordingCalls : public DiskCalls {
public:
    explicit RecordingCalls(std::filesystem::path target) : target(std::move(target)) {}

    int syncFile(int descriptor) override {
        struct stat status {};
        fstat(descriptor, &status);
        calls.push_back("sync file of " + std::to_string(status.st_size) + " bytes, target " +
                        readFile(target));
        return failSyncFile != 0 ? fail(failSyncFile) : DiskCalls::syncFile(descriptor);
    }
    int rename(const char* from, const char* to) override {
        calls.push_back("rename, target " + readFile(target));
        return DiskCalls::rename(from, to);
    }
    int syncFolder(int descriptor) override {
        calls.push_back("sync folder, target " + readFile(target));
        return failSyncFolder != 0 ? fail(failSyncFolder) : DiskCalls::syncFolder(descriptor);
    }

    std::vector<std::string> calls;
    int failSyncFile = 0;
    int failSyncFolder = 0;

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
    std::filesystem::path target;
};

void writeNew(std::ostream& out) {
    out << "new!";
}

// A target holding "old" in a folder of its own, replaced through recording calls.
class ReplaceFileTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(target, "old"); }

    // The description of the Failure that replacing the target throws; empty on success.
    std::string failureReplacing() {
        try {
            replaceFile(target.string(), writeNew, calls);
        } catch (const Failure& failure) {
            return failure.what();
        }
        return "";
    }

    TempDir dir;
    const std::filesystem::path target = dir.path("mesh.txt");
    RecordingCalls calls{target};
};

TEST_F(ReplaceFileTest, TheDataReachesTheDiskBeforeTheRenameAndTheFolderAfterIt) {
    EXPECT_EQ(failureReplacing(), "");
    EXPECT_EQ(calls.calls,
              (std::vector<std::string>{"sync file of 4 bytes, target old", "rename, target old",
                                        "sync folder, target new!"}));
    EXPECT_EQ(namesIn(dir.folder()), (std::vector<std::string>{"mesh.txt"}));
}

TEST_F(ReplaceFileTest, AFailedSyncLeavesTheOldFileAndNothingElse) {
    calls.failSyncFile = EIO;
    EXPECT_EQ(failureReplacing(), "Writing the file failed: Input/output error");
    EXPECT_EQ(calls.calls.size(), 1u);  // never renamed
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(namesIn(dir.folder()), (std::vector<std::string>{"mesh.txt"}));
}

TEST_F(ReplaceFileTest, AFolderThatCannotBeSavedIsReportedUnlessItsFileSystemCannotDoIt) {
    // A file system that cannot flush folders at all: nothing to report.
    calls.failSyncFolder = EINVAL;
    EXPECT_EQ(failureReplacing(), "");
    EXPECT_EQ(readFile(target), "new!");

    // A disk error: the file is new, and the message says so rather than claim the old one.
    writeFile(target, "old");
    calls.failSyncFolder = EIO;
    EXPECT_EQ(failureReplacing(),
              "The file was replaced, but its folder could not be saved to the disk: "
              "Input/output error");
    EXPECT_EQ(readFile(target), "new!");
    EXPECT_EQ(namesIn(dir.folder()), (std::vector<std::string>{"mesh.txt"}));
}

}  // namespace
}  // namespace meshthin::testing
