// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh store: the one mesh of a program run. Points and Faces own every record; records
// refer to each other by number only. Both arrays start absent (no slots, no upper bound);
// the loader creates and fills them once, the reduction run changes them in place, the writer
// reads them. Nothing here touches a file or a window.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/expect.h"
#include "model/face.h"
#include "model/failure.h"
#include "model/list_memory.h"
#include "model/point.h"

namespace meshthin {

// A growable array indexed from 0 whose every slot within the bounds holds an object (slots are
// filled with default records as the array grows). Reading outside 0..upper bound is a Failure
// (a face may name any number); asking an array that was never created for its bound is a fault
// of the caller, as every caller runs only once a mesh is loaded. A record that keeps a list takes
// its list's memory from the array (ListMemory), which gives it all back when it is cleared.
template <class T>
class SlotArray {
public:
    bool exists() const { return created; }

    long long upperBound() const {
        MESHTHIN_EXPECT(created, "the bounds are asked for only once a mesh is loaded");
        return static_cast<long long>(items.size()) - 1;
    }

    // Grows (or creates) the array so that its upper bound is newUpper, keeping every slot.
    void growTo(long long newUpper) {
        created = true;
        while (static_cast<long long>(items.size()) <= newUpper) {
            if constexpr (std::is_constructible_v<T, ListMemory*>) {
                items.emplace_back(&lists);
            } else {
                items.emplace_back();
            }
            if constexpr (requires(T & t) { t.attachSlot(0LL); }) {
                items.back().attachSlot(static_cast<long long>(items.size()) - 1);
            }
        }
    }

    // Whether index names a slot, so that reading it is not a Failure.
    bool holds(long long index) const {
        return index >= 0 && index < static_cast<long long>(items.size());
    }

    T& operator()(long long index) {
        if (index < 0 || index >= static_cast<long long>(items.size())) {
            throw indexFailure();
        }
        return items[static_cast<size_t>(index)];
    }

    void clear() {
        lists.releaseAfter([this] { items.clear(); });
        created = false;
    }

    void reserve(size_t count) { items.reserve(count); }

    // Copies of every record, their lists on the heap: what a snapshot keeps.
    std::vector<T> copyRecords() const { return std::vector<T>(items.begin(), items.end()); }
    // Makes the array what copyRecords gave (absent when created is false); the records' lists
    // go back into this array's memory.
    void restoreRecords(const std::vector<T>& records, bool wasCreated) {
        clear();
        if (!wasCreated) {
            return;
        }
        growTo(static_cast<long long>(records.size()) - 1);
        std::copy(records.begin(), records.end(), items.begin());
    }

private:
    ListMemory lists;  // declared before items: the records go first
    std::vector<T> items;
    bool created = false;
};

extern SlotArray<Point> Points;
extern SlotArray<Face> Faces;

// Points holds the points read from the file at 0 to lastLoadedPoint() and, behind them, the
// spare slot: the slot of the loader's last attempt, which found no further point group. It
// keeps the origin as its coordinates and is never tested by a run, analysed, plotted or given
// a value in the lists; the writer writes it and the run's interim point list shows it.
// Both expect a mesh to be loaded.
inline long long spareSlot() {
    return Points.upperBound();
}
inline long long lastLoadedPoint() {
    return spareSlot() - 1;
}
// Whether the analysis can fail: it fails only for two points so far apart that the square of
// their distance passes the double range, which needs a coordinate beyond 1e153 in size.
// Loading a point notes its coordinates; resetStore forgets them.
void noteCoordinates(double x, double y, double z);
bool farApartPointsLoaded();

// The number that the next point written to the output file receives.
extern int32_t NextPtOrder;

// The diagnostic sink. It discards what it is given; the texts are still fixed, and a test may
// install an observer to read them. The text is only assembled when somebody listens.
void setLogObserver(std::function<void(const std::string&)> observer);
bool logObserved();
void logText(const std::string& text);
template <class... Parts>
void logMessage(const Parts&... parts) {
    if (logObserved()) {
        std::string text;
        ((text += parts), ...);
        logText(text);
    }
}

// The window's modal message box (OK only), installed by the window; Face::getX uses it. Without
// a hook the message goes nowhere.
void setMessageHook(std::function<void(const std::string&)> hook);
void showMessage(const std::string& text);

// Checkpoints in long work. A removal that rewires a large neighbourhood can take seconds, and
// the program above the model needs to keep its window painting and to stop the work when the
// user asks. The work reports its steps; about every kStepsPerCheckpoint steps (a fraction of a
// millisecond) the installed hook runs. The hook may let window events run, or throw to abandon
// the work: the mesh is then half changed and must not be written.
inline constexpr long long kStepsPerCheckpoint = 1 << 15;
void setCheckpoint(std::function<void()> hook);
extern long long stepsUntilCheckpoint;
void reachCheckpoint();
inline void stepsDone(long long steps) {
    stepsUntilCheckpoint -= steps;
    if (stepsUntilCheckpoint <= 0) {
        reachCheckpoint();
    }
}

// The point-to-face index: for every point, the faces whose positions 0..lastPos have held it,
// in ascending face order. Entries may be stale (a point shrunk out of a face); the lookup
// confirms each with hasPoint, so it answers exactly what a scan of every face would. It is made
// from every face at the first lookup after a load; indexing before that does nothing.
// Records that face holds each of the points in [first, last), in order.
void indexFacePoints(int32_t face, const int16_t* first, const int16_t* last);
// Every face up to lastFace that holds point at one of its positions 0..lastPos, ascending, into
// found, whose storage is reused. A removal asks it before it marks its point removed.
void facesHolding(int16_t point, long long lastFace, FaceList& found);

// Returns the store to its start: both arrays absent, NextPtOrder 0, index and scratch lists
// empty.
void resetStore();

// The whole mesh as it is at one moment, to be put back later exactly: points, faces, values
// (due ones included), marks, output numbers. Undo keeps one from before every run, and a trial
// run starts from one and returns to it. The point-to-face index is not kept: restoring leaves
// it to be made again at the next removal, which answers the same as the index kept up to date.
struct StoreSnapshot {
    std::vector<Point> points;
    std::vector<Face> faces;
    bool pointsExist = false;
    bool facesExist = false;
    int32_t nextPtOrder = 0;
    bool farCoordinates = false;
};
StoreSnapshot takeSnapshot();
void restoreSnapshot(const StoreSnapshot& snapshot);
// Whether the store is as resetStore leaves it, NextPtOrder aside: both arrays absent, no face
// indexed, no coordinates noted.
bool storeIsEmpty();

}  // namespace meshthin
