// SPDX-License-Identifier: GPL-3.0-or-later
// Many files at once: on a folder of the examples and generated meshes with one file that fails
// among them, every result holds the bytes a run on that file alone writes and every line what
// that run prints, whatever the number of jobs; the files really run side by side; a stop ends
// every worker without a partial file; the progress line never mixes into the printed lines.
#include "meshio/run/batch_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "meshio/batch.h"
#include "support/temp_files.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

namespace fs = std::filesystem;

struct Printed {
    int status = -1;
    std::string out;
    std::string err;
};

Printed runFiles(const FilesRequest& request, const std::function<bool()>& stop = {}) {
    std::ostringstream out;
    std::ostringstream err;
    Printed printed;
    printed.status = runBatchFiles(request, out, err, stop);
    printed.out = out.str();
    printed.err = err.str();
    return printed;
}

// A folder of inputs: the bundled examples, generated spheres and grids and one file that fails
// to load, in a random order and split between two folders; and what the single-file job does
// with each of them on its own, its written bytes and its lines.
class ManyFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(20261208);
        fs::create_directory(dir.path("a"));
        fs::create_directory(dir.path("b"));
        std::vector<std::pair<std::string, std::string>> named;  // name, content
        for (const auto& example : fs::directory_iterator(MESHTHIN_EXAMPLES)) {
            named.emplace_back(example.path().filename().string(), readFile(example.path()));
        }
        for (int i = 0; i < 6; ++i) {
            const unsigned seed = random();
            if (i % 2 == 0) {
                const int rings = std::uniform_int_distribution(4, 16)(random);
                const int segments = std::uniform_int_distribution(5, 24)(random);
                named.emplace_back("sphere-" + std::to_string(i) + ".mesh",
                                   generate::sphere(rings, segments, 0.3, seed));
            } else {
                const int columns = std::uniform_int_distribution(3, 30)(random);
                const int rows = std::uniform_int_distribution(3, 30)(random);
                named.emplace_back("grid-" + std::to_string(i) + ".mesh",
                                   generate::grid(columns, rows, 0.4, seed));
            }
        }
        // The first point's y holds both decimal marks: not a number.
        std::string broken = generate::cube();
        const size_t group = broken.find('(', broken.find("points {"));
        const size_t y = broken.find(' ', group) + 1;
        broken.replace(y, broken.find(' ', y) - y, "2,5.");
        named.emplace_back("broken.mesh", broken);
        std::shuffle(named.begin(), named.end(), random);

        request.thresholdTexts = {"0.3", "0.55"};
        request.separator = '.';
        request.outputDir = dir.path("out").string();
        fs::create_directory(request.outputDir);
        for (size_t i = 0; i < named.size(); ++i) {
            const std::string file =
                dir.path(i % 2 == 0 ? "a" : "b").string() + "/" + named[i].first;
            writeFile(file, named[i].second);
            request.files.push_back(file);
        }
        single = dir.path("single");
        fs::create_directory(single);
        for (const std::string& file : request.files) {
            BatchRequest alone;
            alone.file = file;
            alone.thresholdTexts = request.thresholdTexts;
            alone.output = (single / fs::path(file).filename()).string();
            std::ostringstream out;
            std::ostringstream err;
            const int status = runBatch(alone, out, err);
            failing += status != 0 ? 1 : 0;
            std::istringstream lines(out.str());
            for (std::string line; std::getline(lines, line);) {
                expectedOut += file + ": " + line + '\n';
            }
            expectedErr += err.str();
        }
    }

    // The result of every file in folder is the single run's, and no other file is there.
    void expectSingleRunsWritten(const fs::path& folder) {
        std::set<std::string> written;
        for (const auto& entry : fs::directory_iterator(folder)) {
            written.insert(entry.path().filename().string());
        }
        std::set<std::string> expected;
        for (const auto& entry : fs::directory_iterator(single)) {
            expected.insert(entry.path().filename().string());
            EXPECT_EQ(readFile(folder / entry.path().filename()), readFile(entry.path()))
                << entry.path().filename();
        }
        EXPECT_EQ(written, expected);
    }

    TempDir dir;
    FilesRequest request;
    fs::path single;
    int failing = 0;
    std::string expectedOut;
    std::string expectedErr;
};

TEST_F(ManyFiles, WriteAndPrintWhatSingleRunsDoWhateverTheNumberOfJobs) {
    ASSERT_EQ(failing, 1);  // the broken file, and it alone
    for (unsigned jobs : {1u, 2u, 3u, 0u, 64u}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        const fs::path folder = dir.path("out-" + std::to_string(jobs));
        fs::create_directory(folder);
        request.outputDir = folder.string();
        request.jobs = jobs;
        const Printed printed = runFiles(request);
        EXPECT_EQ(printed.status, 1);
        EXPECT_EQ(printed.out, expectedOut);
        EXPECT_EQ(printed.err, expectedErr);
        expectSingleRunsWritten(folder);
    }
}

TEST_F(ManyFiles, QuietPrintsNothingButFailures) {
    request.quiet = true;
    request.progress = true;
    request.jobs = 2;
    const Printed printed = runFiles(request);
    EXPECT_EQ(printed.status, 1);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, expectedErr);
    expectSingleRunsWritten(request.outputDir);
}

// What a terminal shows after text: the finished lines, and the line the cursor is on. A
// carriage return takes the cursor back to the line's start, where the text that follows
// overwrites the line.
struct Screen {
    std::vector<std::string> lines;
    std::string current;
};

Screen shownOnATerminal(const std::string& text) {
    Screen screen;
    size_t column = 0;
    for (const char c : text) {
        if (c == '\n') {
            screen.lines.push_back(screen.current);
            screen.current.clear();
            column = 0;
        } else if (c == '\r') {
            column = 0;
        } else {
            if (column < screen.current.size()) {
                screen.current[column] = c;
            } else {
                screen.current += c;
            }
            ++column;
        }
    }
    return screen;
}

TEST_F(ManyFiles, TheProgressLineCountsUpAndLeavesThePrintedLinesAlone) {
    const std::string all = std::to_string(request.files.size());
    for (unsigned jobs : {1u, 2u, 4u}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        request.progress = true;
        request.jobs = jobs;
        // Standard output and standard error on one terminal, as a user sees them.
        std::ostringstream both;
        const int status = runBatchFiles(request, both, both);
        EXPECT_EQ(status, 1);
        const Screen screen = shownOnATerminal(both.str());
        // Every line holds what it holds without the progress line, and that is wiped at the
        // end.
        std::vector<std::string> expected;
        std::istringstream lines(expectedOut + expectedErr);
        for (std::string line; std::getline(lines, line);) {
            expected.push_back(line);
        }
        std::vector<std::string> shown = screen.lines;
        std::sort(expected.begin(), expected.end());
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(screen.current.find_first_not_of(' '), std::string::npos) << screen.current;
        // Each count drawn is one more file done, or more, up to all of them, from 0.
        std::vector<long> counts;
        const std::string text = both.str();
        for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1)) {
            const size_t slash = text.find('/', at);
            const size_t end = text.find(" files", at);
            if (end == std::string::npos || text.find('\r', at + 1) < end) {
                continue;  // the line wiped, not drawn
            }
            EXPECT_EQ(text.substr(slash + 1, end - slash - 1), all);
            counts.push_back(std::stol(text.substr(at + 1, slash - at - 1)));
        }
        ASSERT_FALSE(counts.empty());
        EXPECT_EQ(counts.front(), 0);
        EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
        EXPECT_LT(counts.back(), static_cast<long>(request.files.size()));
    }
    // Not on a terminal: no progress at all.
    request.progress = false;
    EXPECT_EQ(runFiles(request).err.find('\r'), std::string::npos);
}

TEST_F(ManyFiles, RunsTheFilesSideBySide) {
    // The first worker to ask whether to stop waits there for a second thread to ask too, which
    // happens only if another file is worked on at the same time.
    for (unsigned jobs : {1u, 2u}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        std::mutex mutex;
        std::condition_variable arrived;
        std::set<std::thread::id> askers;
        bool waited = false;
        request.jobs = jobs;
        const Printed printed = runFiles(request, [&] {
            std::unique_lock lock(mutex);
            askers.insert(std::this_thread::get_id());
            arrived.notify_all();
            if (!waited) {
                waited = true;
                // Long enough for any loaded machine; the single job waits for a second thread
                // in vain, so it is not kept long.
                const auto patience =
                    jobs == 1 ? std::chrono::milliseconds(50) : std::chrono::milliseconds(30000);
                arrived.wait_for(lock, patience, [&] { return askers.size() >= 2; });
            }
            return false;
        });
        EXPECT_EQ(printed.out, expectedOut);
        EXPECT_EQ(askers.size(), jobs);
    }
}

TEST_F(ManyFiles, AStopEndsEveryWorkerAndLeavesNoPartialFile) {
    // A stop answered after a given number of questions, from none to more than the whole job
    // asks: the job is stopped exactly when an answer was yes, and then prints whole files only,
    // in order, and leaves each result written whole or not at all.
    std::mt19937 random(5);
    std::vector<long> afters = {0, 1, 40, 400, 4000, 40000, 400000, 4000000};
    for (int i = 0; i < 6; ++i) {
        afters.push_back(std::uniform_int_distribution<long>(0, 200000)(random));
    }
    for (const long after : afters) {
        for (unsigned jobs : {1u, 2u}) {
            SCOPED_TRACE("stop after " + std::to_string(after) + " questions, jobs " +
                         std::to_string(jobs));
            const fs::path folder =
                dir.path("stopped-" + std::to_string(after) + "-" + std::to_string(jobs));
            fs::create_directory(folder);
            request.outputDir = folder.string();
            request.jobs = jobs;
            std::atomic<long> asked{0};
            const Printed printed = runFiles(request, [&] { return asked++ >= after; });
            const bool saidYes = asked.load() > after;
            EXPECT_EQ(printed.status, saidYes ? kStoppedStatus : 1);
            EXPECT_EQ(expectedOut.substr(0, printed.out.size()), printed.out);
            EXPECT_TRUE(printed.out.empty() || printed.out.back() == '\n');
            for (const auto& entry : fs::directory_iterator(folder)) {
                EXPECT_EQ(readFile(entry.path()), readFile(single / entry.path().filename()))
                    << entry.path().filename();
            }
            if (after == 0) {
                EXPECT_TRUE(fs::is_empty(folder));
                EXPECT_EQ(printed.out, "");
            }
            if (!saidYes) {
                expectSingleRunsWritten(folder);
            }
        }
    }
}

TEST_F(ManyFiles, OneJobTakesTheLargestFilesFirst) {
    // Stopped at any point, a single job has written the largest files and no smaller one.
    // The files that have a result, largest first.
    std::vector<std::string> bySize;
    std::copy_if(
        request.files.begin(), request.files.end(), std::back_inserter(bySize),
        [&](const std::string& file) { return fs::exists(single / fs::path(file).filename()); });
    std::stable_sort(bySize.begin(), bySize.end(), [](const std::string& a, const std::string& b) {
        return fs::file_size(a) > fs::file_size(b);
    });
    request.jobs = 1;
    for (const long after : {2000L, 20000L, 60000L, 120000L}) {
        SCOPED_TRACE("stop after " + std::to_string(after) + " questions");
        const fs::path folder = dir.path("largest-" + std::to_string(after));
        fs::create_directory(folder);
        request.outputDir = folder.string();
        std::atomic<long> asked{0};
        runFiles(request, [&] { return asked++ >= after; });
        size_t written = 0;
        while (written < bySize.size() &&
               fs::exists(folder / fs::path(bySize[written]).filename())) {
            ++written;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
                  static_cast<long>(written));
    }
}

TEST(FilesRequestProblem, RefusesWhatCannotRunBeforeAnyFileIsRead) {
    TempDir dir;
    const fs::path a = dir.path("a");
    const fs::path b = dir.path("b");
    const fs::path out = dir.path("out");
    for (const fs::path& folder : {a, b, out}) {
        fs::create_directory(folder);
    }
    writeFile(a / "x.mesh", generate::cube());
    writeFile(b / "y.mesh", generate::cube());
    FilesRequest request;
    request.thresholdTexts = {"0.5"};
    request.outputDir = out.string();
    request.files = {(a / "x.mesh").string(), (b / "y.mesh").string()};
    EXPECT_EQ(filesRequestProblem(request), std::nullopt);
    // A file that does not exist is no reason to refuse the others: it fails on its own.
    request.files.push_back((a / "missing.mesh").string());
    EXPECT_EQ(filesRequestProblem(request), std::nullopt);

    FilesRequest twoOfAName = request;
    twoOfAName.files.push_back((b / "x.mesh").string());
    EXPECT_EQ(filesRequestProblem(twoOfAName),
              '"' + (a / "x.mesh").string() + "\" and \"" + (b / "x.mesh").string() +
                  "\" would both be written to " + (out / "x.mesh").string());

    FilesRequest intoItsOwnFolder = request;
    intoItsOwnFolder.outputDir = b.string();
    EXPECT_EQ(filesRequestProblem(intoItsOwnFolder), "--output-dir: " + (b / "y.mesh").string() +
                                                         " would be written over the input \"" +
                                                         (b / "y.mesh").string() + '"');

    // A link in DIR leads the result to the file it names.
    fs::create_symlink(a / "x.mesh", out / "y.mesh");
    EXPECT_EQ(filesRequestProblem(request), "--output-dir: " + (out / "y.mesh").string() +
                                                " would be written over the input \"" +
                                                (a / "x.mesh").string() + '"');
    fs::remove(out / "y.mesh");

    FilesRequest noFolder = request;
    noFolder.outputDir = (dir.path("none")).string();
    EXPECT_EQ(filesRequestProblem(noFolder),
              "--output-dir: \"" + noFolder.outputDir + "\" is not a folder");
    noFolder.outputDir = (a / "x.mesh").string();
    EXPECT_EQ(filesRequestProblem(noFolder),
              "--output-dir: \"" + noFolder.outputDir + "\" is not a folder");

    FilesRequest aFolder = request;
    aFolder.files.push_back(a.string() + "/");
    EXPECT_EQ(filesRequestProblem(aFolder), '"' + a.string() + "/\" names no file");

    FilesRequest none = request;
    none.files.clear();
    EXPECT_EQ(filesRequestProblem(none), "missing FILE");
}

TEST(WorkersFor, AsManyAsAskedButNoMoreThanFiles) {
    FilesRequest request;
    for (int files = 1; files <= 5; ++files) {
        request.files.push_back("f" + std::to_string(files) + ".mesh");
        for (unsigned jobs = 1; jobs <= 6; ++jobs) {
            request.jobs = jobs;
            EXPECT_EQ(workersFor(request), std::min<unsigned>(jobs, files));
        }
        request.jobs = 0;
        EXPECT_EQ(workersFor(request),
                  std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()), files));
    }
}

}  // namespace
}  // namespace meshthin::testing
