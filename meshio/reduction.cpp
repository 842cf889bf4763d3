// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/reduction.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "meshio/numtext.h"
#include "meshio/parallel.h"
#include "meshio/stopping.h"
#include "meshio/writer.h"
#include "model/mesh.h"

namespace meshthin {

namespace {

// Clears the running mark however the run ends.
class RunningMark {
public:
    explicit RunningMark(bool& running) : running(running) { running = true; }
    ~RunningMark() { running = false; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    bool& running;
};

// The point items: the numbers of the removed points, in order, are all they need to know.
class PointLines : public ListLines {
public:
    PointLines(const Mesh& mesh, long long last) : count(last + 1) {
        for (long long i = 0; i <= last; ++i) {
            if (mesh.Points(i).removed()) {
                gone.push_back(i);
            }
        }
    }

    long long size() const override { return count; }

    void write(long long row, std::string& line) const override {
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, row);
        line.assign(digits, written.ptr);
        if (std::binary_search(gone.begin(), gone.end(), row)) {
            line += " GONE";
        }
    }

private:
    long long count;
    std::vector<long long> gone;
};

}  // namespace

namespace {

// The walk of walkPointsBelow, ending once it has removed more than mostRemovals points; the
// number it removed, or nothing when it ended early.
std::optional<long long> walk(Mesh& mesh, double threshold,
                              const std::function<void(long long)>& progress,
                              long long mostRemovals) {
    const long long lastPoint = mesh.lastLoadedPoint();
    // Every removal appends one face. Room for as many as there are points below the threshold
    // now spares the copies of every face that growing one at a time makes, which on a fresh
    // copy of a mesh are most of the time the run takes outside the removals.
    long long below = 0;
    for (long long i = 0; i <= lastPoint; ++i) {
        below += mesh.Points(i).valueNow(mesh) < threshold ? 1 : 0;
    }
    if (mesh.Faces.exists()) {
        mesh.Faces.reserve(static_cast<size_t>(mesh.Faces.upperBound() + 1 + below));
    }
    long long removed = 0;
    for (long long i = 0; i <= lastPoint; ++i) {
        if (progress && i % 100 == 0) {
            progress(i);
        }
        Point& point = mesh.Points(i);
        // Removing a point twice would append a second rebuilt face over the same hole.
        if (!point.removed() && point.valueNow(mesh) < threshold) {
            if (removed == mostRemovals) {
                return std::nullopt;
            }
            if (mesh.logObserved()) {
                // The number's text is made only for a listener: a run removes a million points.
                mesh.logMessage("Points(", std::to_string(i), ") being removed");
            }
            point.remove(mesh);
            ++removed;
        }
    }
    return removed;
}

}  // namespace

void walkPointsBelow(Mesh& mesh, double threshold, const std::function<void(long long)>& progress) {
    walk(mesh, threshold, progress, -1);
}

std::optional<long long> walkPointsBelowUpTo(Mesh& mesh, double threshold, long long mostRemovals) {
    return walk(mesh, threshold, {}, std::max(mostRemovals, 0LL));
}

void settleValues(Mesh& mesh, unsigned threads) {
    if (!mesh.Points.exists()) {
        return;
    }
    const long long points = mesh.spareSlot() + 1;
    const auto settleRange = [&mesh](long long first, long long end) {
        for (long long i = first; i < end; ++i) {
            mesh.Points(i).valueNow(mesh);
        }
    };
    // A run removing half of a million points leaves about a quarter of them due, a tenth of the
    // run to compute on one core. A due value cannot fail (a mesh whose analysis can fail has no
    // due values), and each thread owns the values of its own range of points, while the lists
    // and coordinates they read stay unchanged until all have ended.
    constexpr long long kPointsPerThread = 50'000;
    inShares(points, mesh.farApartPointsLoaded() ? 1 : threads, kPointsPerThread, settleRange);
}

void removePointsBelow(Mesh& mesh, double threshold,
                       const std::function<void(long long)>& progress) {
    try {
        walkPointsBelow(mesh, threshold, progress);
    } catch (const Failure&) {
        // The mesh a failed walk leaves is shown and may be written: its values are read.
        settleValues(mesh);
        throw;
    }
    settleValues(mesh);
}

std::string pointListItem(const Mesh& mesh, long long i) {
    return mesh.Points(i).removed() ? std::to_string(i) + " GONE" : std::to_string(i);
}

std::shared_ptr<const ListLines> pointListLines(const Mesh& mesh, long long last) {
    return std::make_shared<const PointLines>(mesh, last);
}

std::string progressCaption(long long i, long long upper) {
    const double percent =
        upper > 0 ? static_cast<double>(i) / static_cast<double>(upper) * 100 : 0;
    return "removing points" + numtext::generalForm(numtext::roundHalfEven(percent, 0), '.') + "%";
}

bool Command1_Click(Window& window, RunState& state, Mesh& mesh,
                    const std::function<void()>& FillLists, const std::function<void()>& beforeWalk,
                    const std::function<void(const std::string&)>& written, MeshSource* source) {
    if (state.running) {
        return false;
    }
    if (!state.meshLoaded) {
        window.messageBox(kNoMeshMessage);
        return false;
    }
    RunningMark mark(state.running);

    window.setButtonCaption("beginning...");
    const char separator = window.decimalSeparator();
    if (!numtext::isNumeric(window.text1(), separator)) {
        window.messageBox(kNotNumericMessage);
        return false;
    }
    const double threshold = numtext::toDouble(window.text1(), separator);
    if (beforeWalk) {
        beforeWalk();
    }

    try {
        // The walk and the writing keep the window alive and end when it is closed.
        window.setButtonCaption("removing points");
        // The percentage is of the walk over every slot, the spare included.
        const long long upper = mesh.spareSlot();
        window.whileWorking([&](const std::stop_token& stop) {
            const StopCheckpoints stopWhenAsked(mesh, [&stop] { return stop.stop_requested(); });
            // Only a caption that differs from the last is sent: the percentage changes once in
            // many steps, and at a million points sending each step's (10,000 of them, each
            // painted on arrival) kept the window's events waiting for a third of a second.
            std::string shown;
            removePointsBelow(mesh, threshold, [&](long long i) {
                stopWhenAsked();
                std::string caption = progressCaption(i, upper);
                if (caption != shown) {
                    window.setButtonCaption(caption);
                    shown = std::move(caption);
                }
            });
        });
        WindowCheckpoints checkpoints(window, mesh);
        window.setButtonCaption("points removed");
        window.setButtonCaption("populating listbox");
        // Behind the lines already there, as the items always went.
        window.appendLines(ListBox::List1, pointListLines(mesh, mesh.spareSlot()));

        window.setButtonCaption("writing file...");
        const std::optional<std::string> target = WriteMesh(
            window, mesh, [&] { checkpoints(); }, source);
        if (target && written) {
            written(*target);
        }
        window.setButtonCaption("Done");
        FillLists();
    } catch (const RunStopped&) {
        // The window is going away: nothing more is shown and nothing is written.
        return false;
    } catch (const std::exception& thrown) {
        if (outOfMemory(thrown)) {
            // What the run or its write had half changed is dropped, before anything is shown,
            // so that there is memory again to show it: the mesh on screen stays as it was.
            mesh = Mesh();
            window.messageBox(std::string(kWriteErrorPrefix) +
                              describe(thrown, "run at threshold " + window.text1()));
            return false;
        }
        window.messageBox(std::string(kWriteErrorPrefix) + describe(thrown));
    }
    return true;
}

}  // namespace meshthin
