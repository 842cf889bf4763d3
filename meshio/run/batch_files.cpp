// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/run/batch_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <stop_token>
#include <thread>
#include <utility>

#include "meshio/batch.h"
#include "meshio/writer.h"
#include "model/failure.h"

namespace meshthin {

namespace fs = std::filesystem;

namespace {

std::string inQuotes(const std::string& text) {
    return '"' + text + '"';
}

// What one file's job printed, handed from its worker to the printing thread.
struct FileOutcome {
    bool done = false;
    int status = 0;
    std::string lines;     // the run lines, each starting with the file's name
    std::string failures;  // the failure lines, as the single-file job prints them
};

// Every line of text with prefix in front of it.
std::string prefixed(const std::string& text, const std::string& prefix) {
    std::string lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines += prefix + line + '\n';
    }
    return lines;
}

// One file through the single-file job, on a mesh of the worker's own. Throws nothing: a worker
// whose file threw would end the whole program (a std::jthread that throws calls
// std::terminate), and the printing thread would wait for that file for ever.
FileOutcome runOneFile(const FilesRequest& request, const std::string& file,
                       const std::function<bool()>& stopRequested) noexcept {
    FileOutcome outcome;
    outcome.done = true;
    outcome.status = 1;
    try {
        BatchRequest single;
        single.file = file;
        single.thresholdTexts = request.thresholdTexts;
        single.keepText = request.keepText;
        single.output = outputPathFor(request.outputDir, file);
        single.separator = request.separator;
        std::ostringstream out;
        std::ostringstream err;
        try {
            outcome.status = runBatch(single, out, err, stopRequested);
        } catch (const std::exception& thrown) {
            // runBatch reports what goes wrong with the file; this is the rest, such as memory
            // running out while its lines are gathered, which must not end the other files' work.
            err << kProgramName << ": " << file << ": " << describe(thrown) << '\n';
            outcome.status = 1;
        }
        outcome.lines = prefixed(out.str(), file + ": ");
        outcome.failures = err.str();
    } catch (...) {
        // Not even the lines could be kept: the file counts as failed, with the shortest report
        // there is, made once whatever the job held is gone.
        outcome.lines.clear();
        try {
            outcome.failures = std::string(kProgramName) + ": " + file + ": " + kWriteErrorPrefix +
                               notEnoughMemoryTo("go on") + '\n';
        } catch (...) {
            outcome.failures.clear();
        }
        outcome.status = 1;
    }
    return outcome;
}

// The line "done/all files" on a terminal, drawn over itself with a carriage return and wiped
// before anything else is printed, so that it never ends up in the middle of a printed line.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool shown, size_t all) : err(err), shown(shown), all(all) {}

    void show(size_t done) {
        if (!shown) {
            return;
        }
        const std::string text = std::to_string(done) + '/' + std::to_string(all) + " files";
        err << '\r' << text << std::flush;
        width = text.size();
    }

    void wipe() {
        if (width > 0) {
            err << '\r' << std::string(width, ' ') << '\r' << std::flush;
            width = 0;
        }
    }

private:
    std::ostream& err;
    bool shown;
    size_t all;
    size_t width = 0;  // of the line on screen, 0 when none is
};

// The indices of files, the largest file first; files of one size, and those that cannot be
// looked at (they fail at once), in the order they were named.
std::vector<size_t> largestFirst(const std::vector<std::string>& files) {
    std::vector<std::uintmax_t> sizes;
    for (const std::string& file : files) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file, error);
        sizes.push_back(error ? 0 : size);
    }
    std::vector<size_t> order(files.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });
    return order;
}

}  // namespace

std::string outputPathFor(const std::string& outputDir, const std::string& file) {
    return (fs::path(outputDir) / fs::path(file).filename()).string();
}

std::optional<std::string> filesRequestProblem(const FilesRequest& request) {
    if (request.files.empty()) {
        return "missing FILE";
    }
    std::error_code error;
    if (!fs::is_directory(request.outputDir, error)) {
        return "--output-dir: " + inQuotes(request.outputDir) + " is not a folder";
    }
    // A file is known by its device and inode, whatever name or link leads to it.
    std::map<std::pair<dev_t, ino_t>, std::string> inputs;
    std::map<std::string, std::string> byName;  // a file's own name, and the file named first
    for (const std::string& file : request.files) {
        const fs::path name = fs::path(file).filename();
        if (name.empty() || name == "." || name == "..") {
            return inQuotes(file) + " names no file";
        }
        const auto [first, isNew] = byName.emplace(name.string(), file);
        if (!isNew) {
            return inQuotes(first->second) + " and " + inQuotes(file) +
                   " would both be written to " + outputPathFor(request.outputDir, file);
        }
        struct stat status {};
        if (::stat(file.c_str(), &status) == 0) {
            inputs.emplace(std::pair(status.st_dev, status.st_ino), file);
        }
    }
    for (const std::string& file : request.files) {
        const std::string output = outputPathFor(request.outputDir, file);
        struct stat status {};
        if (::stat(output.c_str(), &status) != 0) {
            continue;
        }
        const auto input = inputs.find({status.st_dev, status.st_ino});
        if (input != inputs.end()) {
            return "--output-dir: " + output + " would be written over the input " +
                   inQuotes(input->second);
        }
    }
    return std::nullopt;
}

unsigned workersFor(const FilesRequest& request) {
    const unsigned wanted =
        request.jobs > 0 ? request.jobs : std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<size_t>(wanted, request.files.size()));
}

int runBatchFiles(const FilesRequest& request, std::ostream& out, std::ostream& err,
                  const std::function<bool()>& stopRequested) {
    const size_t all = request.files.size();
    // Shared between the workers and this thread, under the mutex.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<FileOutcome> outcomes(all);
    size_t finished = 0;
    bool stopped = false;
    // The files in the order they are taken: the largest first, so that the last files to be
    // taken, which one worker may finish while the others have nothing left, are the quick
    // ones. Read-only once the workers start.
    const std::vector<size_t> order = largestFirst(request.files);
    // Taken by the workers without the mutex: each place in the order goes to exactly one
    // worker.
    std::atomic<size_t> next{0};

    const auto work = [&](std::stop_token stop) {
        const std::function<bool()> asked = [&] {
            return stop.stop_requested() || (stopRequested && stopRequested());
        };
        for (;;) {
            // The file is taken before the question, so that the stop is asked for only while a
            // file is left to do: a stop that comes once every file is done changes nothing.
            const size_t taken = next.fetch_add(1);
            if (taken >= all) {
                return;
            }
            const size_t index = order[taken];
            if (asked()) {
                const std::lock_guard lock(mutex);
                stopped = true;
                changed.notify_all();
                return;
            }
            FileOutcome outcome = runOneFile(request, request.files[index], asked);
            const bool stoppedHere = outcome.status == kStoppedStatus;
            const std::lock_guard lock(mutex);
            outcomes[index] = std::move(outcome);
            ++finished;
            stopped = stopped || stoppedHere;
            changed.notify_all();
            if (stoppedHere) {
                return;
            }
        }
    };

    // Declared after everything the workers use, so that they are stopped and joined first
    // should printing throw.
    std::vector<std::jthread> workers;
    const unsigned count = workersFor(request);
    workers.reserve(count);
    for (unsigned w = 0; w < count; ++w) {
        workers.emplace_back(work);
    }

    ProgressLine progress(err, request.progress && !request.quiet, all);
    progress.show(0);
    bool failed = false;
    size_t printed = 0;
    size_t shownDone = 0;
    std::unique_lock lock(mutex);
    while (printed < all) {
        changed.wait(lock,
                     [&] { return stopped || outcomes[printed].done || finished != shownDone; });
        if (stopped) {
            break;
        }
        std::vector<FileOutcome> ready;
        for (; printed < all && outcomes[printed].done; ++printed) {
            ready.push_back(std::move(outcomes[printed]));
        }
        shownDone = finished;
        lock.unlock();
        if (!ready.empty()) {
            progress.wipe();
        }
        for (const FileOutcome& outcome : ready) {
            failed = failed || outcome.status != 0;
            if (!request.quiet) {
                out << outcome.lines;
            }
            // Flushed before the failures, so that a terminal shows the lines in their order.
            out.flush();
            err << outcome.failures << std::flush;
        }
        if (printed < all) {
            progress.show(shownDone);
        }
        lock.lock();
    }
    const bool wasStopped = stopped;
    lock.unlock();
    for (std::jthread& worker : workers) {
        worker.request_stop();
    }
    workers.clear();
    progress.wipe();
    if (wasStopped) {
        return kStoppedStatus;
    }
    return failed ? 1 : 0;
}

}  // namespace meshthin
