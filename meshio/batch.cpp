// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/batch.h"

#include <charconv>
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

int runBatch(const BatchRequest& request, std::ostream& out, std::ostream& err,
             const std::function<bool()>& stopRequested) {
    const std::string failurePrefix = std::string(kProgramName) + ": " + request.file + ": ";
    std::optional<std::vector<double>> runs = thresholds(request, err);
    if (!runs) {
        return 1;
    }
    std::optional<KeepAmount> keep;
    if (request.keepText) {
        keep = parseKeepAmount(*request.keepText, request.separator);
        if (!keep) {
            err << failurePrefix << kNotKeepAmountMessage << '\n';
            return 1;
        }
    }
    const numtext::LocaleNumbers numbers(request.separator);
    Mesh mesh;
    MeshSource source;
    try {
        mesh = loadAnyMesh(request.file, numbers, &source);
    } catch (const std::exception& thrown) {
        err << failurePrefix << kLoadErrorPrefix << describe(thrown) << '\n';
        return 1;
    }
    const StopCheckpoints checkpoint(mesh, stopRequested);
    try {
        DiscardingBuffer discarded;
        std::ostream sink(&discarded);
        if (keep) {
            // The count is known only now that the file is read; a count beyond it is the
            // file's problem, not the command's.
            const long long points = pointsLeft(mesh);
            const long long target = keep->of(points);
            if (target > points) {
                err << failurePrefix << tooFewPointsMessage(target, points) << '\n';
                return 1;
            }
            const KeepSearch found = findKeepThreshold(mesh, target, stopRequested);
            runs->push_back(found.threshold);
            if (!request.values) {
                out << keepLine(target, found.threshold) << '\n';
            }
        }
        for (size_t r = 0; r < runs->size(); ++r) {
            checkpoint();
            const double threshold = (*runs)[r];
            RunCount count;
            if (r + 1 == runs->size() && request.output) {
                // The file replaces the target only once it is complete, so a failure in the
                // last run or its write leaves the target, and so also FILE, as it was. The
                // target's extension picks its format.
                const long long leftBefore = pointsLeft(mesh);
                removePointsBelow(mesh, threshold, [](long long) {});
                writeMeshAs(
                    *request.output, mesh, numbers, [&] { checkpoint(); },
                    [](const std::string&) {}, &source);
                const long long left = pointsLeft(mesh);
                count = RunCount{threshold, leftBefore - left, left};
                if (cornerNoteDue(&source)) {
                    err << failurePrefix << kCornerDataNote << '\n';
                }
            } else {
                count = reduce(mesh, threshold, numbers, sink, [&] { checkpoint(); });
            }
            if (!request.values) {
                out << runLine(count) << '\n';
            }
        }
        if (request.values) {
            checkpoint();
            writeValues(mesh, out);
        }
    } catch (const RunStopped&) {
        out.flush();
        return kStoppedStatus;
    } catch (const std::exception& thrown) {
        err << failurePrefix << kWriteErrorPrefix << describe(thrown) << '\n';
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace meshthin
