// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/batch.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <set>
#include <sstream>

#include "meshio/any_mesh.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/run/keep_amount.h"
#include "meshio/run/keep_target.h"
#include "meshio/stopping.h"
#include "meshio/writer.h"
#include "model/mesh.h"

namespace meshthin {

namespace {

// Discards everything written to it: the writer's text after a run that is not the last.
class DiscardingBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// The thresholds in order, or the window's own message for the first text that is not a number.
std::optional<std::vector<double>> thresholds(const BatchRequest& request, std::ostream& err) {
    std::vector<double> values;
    for (const std::string& text : request.thresholdTexts) {
        if (!numtext::isNumeric(text, request.separator)) {
            err << kProgramName << ": " << request.file << ": " << kNotNumericMessage << '\n';
            return std::nullopt;
        }
        values.push_back(numtext::toDouble(text, request.separator));
    }
    return values;
}

}  // namespace

long long pointsLeft(const Mesh& mesh) {
    const long long lastPoint = mesh.lastLoadedPoint();
    long long left = 0;
    for (long long i = 0; i <= lastPoint; ++i) {
        left += mesh.Points(i).removed() ? 0 : 1;
    }
    return left;
}

RunCount reduce(Mesh& mesh, double threshold, const NumberCodec& numbers, std::ostream& written,
                const std::function<void()>& beforeItem) {
    const long long leftBefore = pointsLeft(mesh);
    removePointsBelow(mesh, threshold, [](long long) {});
    writeMeshText(mesh, written, numbers, beforeItem, [](const std::string&) {});
    const long long left = pointsLeft(mesh);
    return RunCount{threshold, leftBefore - left, left};
}

std::string runLine(const RunCount& count) {
    return "threshold " + shortestText(count.threshold) + ": removed " +
           std::to_string(count.removed) + ", " + std::to_string(count.left) + " left";
}

std::string keepLine(long long target, double threshold) {
    return "keep " + std::to_string(target) + ": threshold " + shortestText(threshold);
}

std::string shortestText(double value) {
    char text[32];
    const std::to_chars_result result = std::to_chars(std::begin(text), std::end(text), value);
    return std::string(text, result.ptr);
}

long long connectionCount(const Mesh& mesh, long long i) {
    const Point& point = mesh.Points(i);
    if (!point.everConnected()) {
        return 0;
    }
    std::set<PointNumber> others;
    for (PointNumber k = 0; k <= point.getNumConns(); ++k) {
        const PointNumber other = point.getConn(mesh, k);
        if (other != i && !mesh.Points(other).removed()) {
            others.insert(other);
        }
    }
    return static_cast<long long>(others.size());
}

void writeValues(const Mesh& mesh, std::ostream& out) {
    out << "point,x,y,z,value,connections\n";
    const long long lastPoint = mesh.lastLoadedPoint();
    for (long long i = 0; i <= lastPoint; ++i) {
        const Point& point = mesh.Points(i);
        if (point.removed()) {
            continue;
        }
        out << i << ',' << shortestText(point.getX()) << ',' << shortestText(point.getY()) << ','
            << shortestText(point.getZ()) << ',' << shortestText(point.getValue()) << ','
            << connectionCount(mesh, i) << '\n';
    }
}

namespace {

// What the job was doing, for the message when it fails: said once the job's mesh is gone, so
// that a job that ran out of memory has memory again to say what it could not do.
struct Doing {
    enum class Step { Load, Keep, Run, Write, Values };
    Step step = Step::Load;
    std::string threshold;  // the run's at work, as the user typed it or as the search found it
};

std::string failureText(const std::exception& thrown, const Doing& doing,
                        const BatchRequest& request) {
    switch (doing.step) {
        case Doing::Step::Load:
            return kLoadErrorPrefix + describe(thrown, "load " + request.file);
        case Doing::Step::Keep:
            return kWriteErrorPrefix + describe(thrown, "find the threshold that keeps " +
                                                            request.keepText.value_or(""));
        case Doing::Step::Run:
            return kWriteErrorPrefix + describe(thrown, "run at threshold " + doing.threshold);
        case Doing::Step::Write:
            return kWriteErrorPrefix + describe(thrown, "write " + request.output.value_or(""));
        case Doing::Step::Values:
            return kWriteErrorPrefix + describe(thrown, "list the values of " + request.file);
    }
    return describe(thrown);
}

// The number with a comma between every three digits: 16,001.
std::string grouped(long long number) {
    std::string digits = std::to_string(number);
    for (auto at = static_cast<long long>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), 1, ',');
    }
    return digits;
}

// "removing: 12,000 of 16,001 points", the walk's progress on a terminal: shown once a walk has
// taken kQuietTime (a quick run shows nothing), drawn over itself a few times a second and
// wiped when the walk ends, however it ends, so that it never stays in front of a printed line.
class WalkProgress {
public:
    static constexpr std::chrono::milliseconds kQuietTime{1000};
    static constexpr std::chrono::milliseconds kRedrawTime{200};

    WalkProgress(std::ostream& err, bool shown) : err(err), shown(shown) {}
    WalkProgress(const WalkProgress&) = delete;
    WalkProgress& operator=(const WalkProgress&) = delete;
    ~WalkProgress() { end(); }

    void begin(long long points) {
        all = points;
        walked = 0;
        walking = shown;
        drawn = std::chrono::steady_clock::now() + kQuietTime - kRedrawTime;
    }
    // The walk is at point i.
    void at(long long i) { walked = i; }
    // Draws the line when it is due; called at every checkpoint of the run.
    void look() {
        if (!walking) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - drawn < kRedrawTime || (width > 0 && walked == walkedDrawn)) {
            return;
        }
        drawn = now;
        walkedDrawn = walked;
        const std::string text = "removing: " + grouped(walked) + " of " + grouped(all) + " points";
        err << '\r' << text << std::string(width > text.size() ? width - text.size() : 0, ' ')
            << '\r' << std::flush;
        width = std::max(width, text.size());
    }
    // Allocates nothing: it also runs while a failed allocation unwinds.
    void end() noexcept {
        walking = false;
        if (width > 0) {
            err.put('\r');
            for (; width > 0; --width) {
                err.put(' ');
            }
            err.put('\r').flush();
        }
    }

private:
    std::ostream& err;
    bool shown;
    bool walking = false;
    long long all = 0;
    long long walked = 0;
    long long walkedDrawn = 0;
    std::chrono::steady_clock::time_point drawn;
    size_t width = 0;  // of the line on screen, 0 when none is
};

// The job on a mesh of its own, which is gone once it returns or throws; doing follows it.
// False after a failure it has reported itself.
bool runJob(const BatchRequest& request, std::vector<double> runs,
            const std::optional<KeepAmount>& keep, Doing& doing, std::ostream& out,
            std::ostream& err, const std::function<bool()>& stopRequested) {
    const std::string failurePrefix = std::string(kProgramName) + ": " + request.file + ": ";
    const numtext::LocaleNumbers numbers(request.separator);
    MeshSource source;
    Mesh mesh = loadAnyMesh(request.file, numbers, &source);
    WalkProgress progress(err, request.progress);
    const StopCheckpoints checkpoint(mesh, [&] {
        progress.look();
        return stopRequested && stopRequested();
    });
    std::vector<std::string> texts = request.thresholdTexts;
    if (keep) {
        // The count is known only now that the file is read; a count beyond it is the file's
        // problem, not the command's.
        doing.step = Doing::Step::Keep;
        const long long points = pointsLeft(mesh);
        const long long target = keep->of(points);
        if (target > points) {
            err << failurePrefix << tooFewPointsMessage(target, points) << '\n';
            return false;
        }
        const KeepSearch found = findKeepThreshold(mesh, target, stopRequested);
        runs.push_back(found.threshold);
        texts.push_back(numtext::generalForm(found.threshold, request.separator));
        if (!request.values) {
            out << keepLine(target, found.threshold) << '\n';
        }
    }
    DiscardingBuffer discarded;
    std::ostream sink(&discarded);
    for (size_t r = 0; r < runs.size(); ++r) {
        doing = Doing{Doing::Step::Run, r < texts.size() ? texts[r] : std::string()};
        checkpoint();
        const double threshold = runs[r];
        const long long leftBefore = pointsLeft(mesh);
        progress.begin(mesh.lastLoadedPoint() + 1);
        removePointsBelow(mesh, threshold, [&](long long i) { progress.at(i); });
        progress.end();
        if (r + 1 == runs.size() && request.output) {
            // The file replaces the target only once it is complete, so a failure in the last
            // run or its write leaves the target, and so also FILE, as it was. The target's
            // extension picks its format.
            doing.step = Doing::Step::Write;
            writeMeshAs(
                *request.output, mesh, numbers, [&] { checkpoint(); }, [](const std::string&) {},
                &source);
            if (cornerNoteDue(&source)) {
                err << failurePrefix << kCornerDataNote << '\n';
            }
        } else {
            // Every run is followed by the writer's pass, as the window writes after every run.
            writeMeshText(
                mesh, sink, numbers, [&] { checkpoint(); }, [](const std::string&) {});
        }
        const long long left = pointsLeft(mesh);
        if (!request.values) {
            out << runLine(RunCount{threshold, leftBefore - left, left}) << '\n';
        }
    }
    if (request.values) {
        doing.step = Doing::Step::Values;
        checkpoint();
        writeValues(mesh, out);
    }
    return true;
}

}  // namespace

int runBatch(const BatchRequest& request, std::ostream& out, std::ostream& err,
             const std::function<bool()>& stopRequested) {
    const std::optional<std::vector<double>> runs = thresholds(request, err);
    if (!runs) {
        return 1;
    }
    std::optional<KeepAmount> keep;
    if (request.keepText) {
        keep = parseKeepAmount(*request.keepText, request.separator);
        if (!keep) {
            err << kProgramName << ": " << request.file << ": " << kNotKeepAmountMessage << '\n';
            return 1;
        }
    }
    Doing doing;
    try {
        if (!runJob(request, *runs, keep, doing, out, err, stopRequested)) {
            return 1;
        }
    } catch (const RunStopped&) {
        out.flush();
        return kStoppedStatus;
    } catch (const std::exception& thrown) {
        // The mesh, and whatever a run or a write had half changed, is gone by now: a run that
        // failed is never written.
        err << kProgramName << ": " << request.file << ": " << failureText(thrown, doing, request)
            << '\n';
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace meshthin
