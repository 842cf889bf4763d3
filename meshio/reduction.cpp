// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/reduction.h"

#include <string>
#include <vector>

#include "meshio/numtext.h"
#include "meshio/stopping.h"
#include "meshio/writer.h"
#include "model/store.h"

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

std::vector<std::string> pointItemsWithMarks() {
    std::vector<std::string> items;
    const long long spare = spareSlot();
    items.reserve(static_cast<size_t>(spare + 1));
    for (long long i = 0; i <= spare; ++i) {
        items.push_back(pointListItem(i));
    }
    return items;
}

}  // namespace

void removePointsBelow(double threshold, const std::function<void(long long)>& progress) {
    const long long lastPoint = lastLoadedPoint();
    for (long long i = 0; i <= lastPoint; ++i) {
        if (i % 100 == 0) {
            progress(i);
        }
        Point& point = Points(i);
        // Removing a point twice would append a second rebuilt face over the same hole.
        if (!point.removed() && point.getValue() < threshold) {
            logMessage("Points(", std::to_string(i), ") being removed");
            point.remove();
        }
    }
}

std::string pointListItem(long long i) {
    return Points(i).removed() ? std::to_string(i) + " GONE" : std::to_string(i);
}

std::string progressCaption(long long i, long long upper) {
    const double percent =
        upper > 0 ? static_cast<double>(i) / static_cast<double>(upper) * 100 : 0;
    return "removing points" + numtext::generalForm(numtext::roundHalfEven(percent, 0), '.') + "%";
}

bool Command1_Click(Window& window, RunState& state, const std::function<void()>& FillLists,
                    const std::function<void()>& beforeWalk) {
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
        WindowCheckpoints checkpoints(window);
        window.setButtonCaption("removing points");
        // The percentage is of the walk over every slot, the spare included.
        const long long upper = spareSlot();
        removePointsBelow(threshold,
                          [&](long long i) { window.setButtonCaption(progressCaption(i, upper)); });
        window.setButtonCaption("points removed");
        window.setButtonCaption("populating listbox");
        window.addListItems(ListBox::List1, pointItemsWithMarks());

        window.setButtonCaption("writing file...");
        WriteMesh(window, [&] { checkpoints(); });
        window.setButtonCaption("Done");
        FillLists();
    } catch (const RunStopped&) {
        // The window is going away: nothing more is shown and nothing is written.
        return false;
    } catch (const std::exception& thrown) {
        window.messageBox(std::string(kWriteErrorPrefix) + describe(thrown));
    }
    return true;
}

}  // namespace meshthin
