// SPDX-License-Identifier: GPL-3.0-or-later
// Many files at once: the wall time of the many-files job on 8 generated meshes with one job and
// with two, and the speed-up beside its goal. Each file is loaded, run and written whole (the
// written file flushed to the disk, as the program does), so the time is what a user waits for.
// The two are measured in turns, so that a change in the machine's load falls on both.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "meshio/batch.h"
#include "meshio/run/batch_files.h"
#include "tests/support/temp_files.h"
#include "tools/mesh_generators.h"

namespace {

using namespace meshthin;

constexpr int kFiles = 8;
constexpr int kPoints = 16000;
constexpr int kRepetitions = 11;
constexpr double kGoal = 1.7;  // two jobs on two cores against one

// The process's processor time so far, all threads, in seconds.
double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

struct Took {
    double wall = 0;
    double processor = 0;  // of every thread together
};

Took timeOf(const FilesRequest& request) {
    std::ostringstream out;
    std::ostringstream err;
    const double processorBefore = processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int status = runBatchFiles(request, out, err);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double processor = processorSeconds() - processorBefore;
    if (status != 0) {
        std::fprintf(stderr, "the batch failed: %s", err.str().c_str());
        std::exit(1);
    }
    return {wall.count(), processor};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    testing::TempDir dir;
    FilesRequest request;
    // Half spheres, half grids, each of its own seed: files that take somewhat different times,
    // as a real folder's do.
    for (int i = 0; i < kFiles; ++i) {
        const std::string file = dir.path("mesh-" + std::to_string(i) + ".mesh").string();
        testing::writeFile(file, i % 2 == 0 ? generate::selfSimilarSphere(kPoints, 11 + i)
                                            : generate::selfSimilarGrid(kPoints, 11 + i));
        request.files.push_back(file);
    }
    request.thresholdTexts = {"0.3", "0.6"};
    request.outputDir = dir.path("out").string();
    std::filesystem::create_directory(request.outputDir);

    std::vector<double> one;
    std::vector<double> two;
    std::vector<double> oneProcessor;
    std::vector<double> twoProcessor;
    for (int r = 0; r < kRepetitions; ++r) {
        request.jobs = 1;
        const Took byOne = timeOf(request);
        request.jobs = 2;
        const Took byTwo = timeOf(request);
        one.push_back(byOne.wall);
        two.push_back(byTwo.wall);
        oneProcessor.push_back(byOne.processor);
        twoProcessor.push_back(byTwo.processor);
    }
    const auto [oneLow, oneHigh] = std::minmax_element(one.begin(), one.end());
    const auto [twoLow, twoHigh] = std::minmax_element(two.begin(), two.end());
    const double speedUp = median(one) / median(two);
    // The processor time tells what a second job costs in work (near nothing, as the files share
    // nothing) apart from the share of the cores that the machine's other work leaves.
    std::printf(
        "The batch of %d files of about %d points, two runs each (wall time: median of "
        "%d, range; processor time of all threads: median):\n",
        kFiles, kPoints, kRepetitions);
    std::printf("  1 job:  %6.1f ms (%.1f-%.1f), processor %.1f ms\n", 1e3 * median(one),
                1e3 * *oneLow, 1e3 * *oneHigh, 1e3 * median(oneProcessor));
    std::printf("  2 jobs: %6.1f ms (%.1f-%.1f), processor %.1f ms\n", 1e3 * median(two),
                1e3 * *twoLow, 1e3 * *twoHigh, 1e3 * median(twoProcessor));
    // The best runs are those the other work on a shared machine disturbed least.
    std::printf("  speed-up %.2f (of the best runs %.2f), goal at least %.1f: %s\n", speedUp,
                *oneLow / *twoLow, kGoal, speedUp >= kGoal ? "met" : "not met");
    return 0;
}
