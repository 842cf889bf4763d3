// SPDX-License-Identifier: GPL-3.0-or-later
// A mesh as a value: its points and faces, the numbers the writer gives them, and what the
// removals keep to work fast (the point-to-face index, the neighbour groups, the working lists).
// Points and Faces own every record; records refer to each other by number only. Both arrays
// start absent (no slots, no upper bound); a reader creates and fills them once, the reduction
// run changes them in place, the writer numbers them. Nothing here touches a file or a window.
//
// A Mesh is owned by one thread at a time: nothing in it is shared with another mesh, and a copy
// shares nothing with its original. Two meshes may be worked on by two threads at once. (A new
// mesh's records may be filled by two threads, one owning Points, the working lists and the note
// of far coordinates, the other Faces: filling a fresh face reaches nothing else. And the values
// of the points may be computed by several threads, each owning the values of a range of points,
// while nothing else changes.)
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/big_blocks.h"
#include "model/expect.h"
#include "model/face.h"
#include "model/failure.h"
#include "model/list_memory.h"
#include "model/point.h"
#include "model/point_number.h"
#include "model/run_observer.h"

namespace meshthin {

// A growable array indexed from 0 whose every slot within the bounds holds an object (slots are
// filled with default records as the array grows). Reading outside 0..upper bound is a Failure
// (a face may name any number); asking an array that was never created for its bound is a fault
// of the caller, as every caller runs only once a mesh is loaded. A record that keeps a list takes
// its list's memory from the array (ListMemory), which gives it all back when it is cleared.
template <class T>
class SlotArray {
public:
    SlotArray() = default;
    // A copy holds copies of the records, their lists in the copy's own memory.
    SlotArray(const SlotArray& other) { copyFrom(other); }
    SlotArray& operator=(const SlotArray& other) {
        if (this != &other) {
            copyFrom(other);
        }
        return *this;
    }
    // Moving hands over the records with the memory their lists live in, which stays where it
    // is; the array moved from is left absent. Nothing is allocated: a move may come while
    // unwinding from a failed allocation, where another failure would end the program.
    SlotArray(SlotArray&& other) noexcept { swap(other); }
    SlotArray& operator=(SlotArray&& other) noexcept {
        SlotArray gone(std::move(other));
        swap(gone);
        return *this;
    }
    ~SlotArray() { clear(); }

    void swap(SlotArray& other) noexcept {
        std::swap(lists, other.lists);
        std::swap(items, other.items);
        std::swap(created, other.created);
    }

    bool exists() const { return created; }

    long long upperBound() const {
        MESHTHIN_EXPECT(created, "the bounds are asked for only once a mesh is loaded");
        return static_cast<long long>(items.size()) - 1;
    }

    // Grows (or creates) the array so that its upper bound is newUpper, keeping every slot.
    void growTo(long long newUpper) {
        if (!lists) {
            lists = std::make_unique<ListMemory>();
        }
        created = true;
        // Room for all of them at once, but never less than double: a reader grows the array by
        // one slot at a time.
        const auto wanted = static_cast<size_t>(std::max(newUpper + 1, 0LL));
        if (wanted > items.capacity()) {
            items.reserve(std::max(wanted, 2 * items.capacity()));
        }
        if (wanted > items.size()) {
            items.resize(wanted);
        }
    }

    // The index of the record at item when it is one of this array's, or -1.
    long long indexOf(const T* item) const {
        const std::less<const T*> before;
        if (items.empty() || before(item, items.data()) ||
            !before(item, items.data() + items.size())) {
            return -1;
        }
        return item - items.data();
    }

    // The memory of the lists of the record at item: this array's for one of its own records,
    // nullptr (the heap) for any other.
    ListMemory* listMemoryOf(const T* item) const {
        return indexOf(item) >= 0 ? lists.get() : nullptr;
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
    const T& operator()(long long index) const {
        if (index < 0 || index >= static_cast<long long>(items.size())) {
            throw indexFailure();
        }
        return items[static_cast<size_t>(index)];
    }

    void clear() {
        if (lists) {
            lists->releaseAfter([this] { items.clear(); });
        }
        created = false;
    }

    void reserve(size_t count) { items.reserve(count); }

private:
    // Makes this array hold copies of other's records; their lists go into this array's memory.
    void copyFrom(const SlotArray& other) {
        clear();
        if (!other.created) {
            return;
        }
        if (!lists) {
            lists = std::make_unique<ListMemory>();
        }
        created = true;
        // The same room as other: a copy is what a run works on, and the room kept for its faces
        // is what spares it growing the array.
        items.reserve(other.items.capacity());
        for (const T& item : other.items) {
            items.emplace_back(item, lists.get());
        }
    }

    // On the heap, so that the records' lists keep their memory when the array moves; declared
    // before items, so that the records go first. Made when the array is first grown.
    std::unique_ptr<ListMemory> lists;
    std::vector<T, BigBlockAllocator<T>> items;
    bool created = false;
};

class FaceIndex;
struct Scratch;

// The longest the model's work goes without a checkpoint, in steps (see RunObserver).
inline constexpr long long kStepsPerCheckpoint = 1 << 15;

class Mesh {
public:
    // An empty mesh allocates nothing until it is filled, so that making one, or moving one,
    // never fails.
    Mesh() noexcept;
    ~Mesh();
    // A copy is the mesh as it is at one moment, to be put back later exactly: points, faces,
    // values (due ones included), marks, output numbers. Undo keeps one from before every run,
    // and a trial run works on one. What only speeds up the removals (the point-to-face index,
    // the neighbour groups) is not copied: the copy makes it again at its first removal, and
    // answers the same as the original would. No observer is copied, and a mesh assigned to keeps
    // its own: the observer belongs to the run working on that mesh.
    Mesh(const Mesh& other);
    Mesh& operator=(const Mesh& other);
    Mesh(Mesh&& other) noexcept;
    Mesh& operator=(Mesh&& other) noexcept;
    void swap(Mesh& other) noexcept;

    SlotArray<Point> Points;
    SlotArray<Face> Faces;
    // The number that the next point written to the output file receives.
    int32_t NextPtOrder = 0;

    // The largest position a connection list or a face may gain (model/point_number.h): the
    // brace format's 16-bit rule unless the mesh came from a format without it.
    long long positionLimit() const { return positions; }
    void setPositionLimit(long long limit) { positions = limit; }
    // value as a position, or the overflow Failure where it passes the limit either way.
    PointNumber checkedPosition(long long value) const {
        if (value > positions || value < -positions - 1) {
            throw overflowFailure();
        }
        return static_cast<PointNumber>(value);
    }

    // Points holds the points read from the file at 0 to lastLoadedPoint() and, behind them,
    // the spare slot: the slot of the loader's last attempt, which found no further point group.
    // It keeps the origin as its coordinates and is never tested by a run, analysed, plotted or
    // given a value in the lists; the writer writes it and the run's interim point list shows
    // it. Both expect a mesh to be loaded.
    long long spareSlot() const { return Points.upperBound(); }
    long long lastLoadedPoint() const { return spareSlot() - 1; }

    // Whether the analysis can fail: it fails only for two points so far apart that the square
    // of their distance passes the double range, which needs a coordinate beyond 1e153 in size.
    // Loading a point notes its coordinates.
    void noteCoordinates(double x, double y, double z);
    bool farApartPointsLoaded() const { return farCoordinates; }

    // Whether the mesh is as a new one, NextPtOrder aside: both arrays absent, no face indexed,
    // no coordinates noted.
    bool isEmpty() const;

    // --- the point-to-face index ---
    // For every point, the faces whose positions 0..lastPos have held it, in ascending face
    // order. Entries may be stale (a point shrunk out of a face); the lookup confirms each with
    // hasPoint, so it answers exactly what a scan of every face would. It is made from every
    // face at the first lookup; indexing before that does nothing.
    // Records that face holds each of the points in [first, last), in order.
    void indexFacePoints(int32_t face, const PointNumber* first, const PointNumber* last);
    // Whether the point-to-face index has been made, and so indexFacePoints has work to do.
    bool indexesFaces() const;
    // Every face up to lastFace that holds point at one of its positions 0..lastPos, ascending,
    // into found, whose storage is reused. A removal asks it before it marks its point removed.
    void facesHolding(PointNumber point, long long lastFace, FaceList& found);

    // The working lists of the removals and the writer (model/scratch.h), made at the first use:
    // a copy kept for undo never needs them.
    Scratch& scratch() {
        if (!scratchLists) {
            makeScratch();
        }
        return *scratchLists;
    }

    // --- what a run reports (model/run_observer.h) ---
    // The observer of the run now working on the mesh, nullptr for none; set by ObservedRun.
    RunObserver* observer() const { return runObserver; }
    void setObserver(RunObserver* observer) {
        runObserver = observer;
        stepsUntilCheckpoint = kStepsPerCheckpoint;
    }
    bool logObserved() const { return runObserver != nullptr && runObserver->listening(); }
    void logText(const std::string& text) const {
        if (logObserved()) {
            runObserver->log(text);
        }
    }
    template <class... Parts>
    void logMessage(const Parts&... parts) const {
        if (logObserved()) {
            std::string text;
            ((text += parts), ...);
            runObserver->log(text);
        }
    }
    // The work reports its steps; about every kStepsPerCheckpoint steps the observer's
    // checkpoint runs.
    void stepsDone(long long steps) {
        stepsUntilCheckpoint -= steps;
        if (stepsUntilCheckpoint <= 0) {
            reachCheckpoint();
        }
    }
    void reachCheckpoint();

private:
    void makeScratch();
    void swapKeepingObserver(Mesh& other) noexcept;

    std::unique_ptr<FaceIndex> faceIndex;  // made at the first lookup
    std::unique_ptr<Scratch> scratchLists;
    bool farCoordinates = false;
    long long positions = kBracePositionLimit;
    RunObserver* runObserver = nullptr;
    long long stepsUntilCheckpoint = kStepsPerCheckpoint;
};

// While alive, observer watches the work on mesh: a run makes one for its duration.
class ObservedRun {
public:
    ObservedRun(Mesh& mesh, RunObserver& observer) : mesh(mesh), before(mesh.observer()) {
        mesh.setObserver(&observer);
    }
    ~ObservedRun() { mesh.setObserver(before); }
    ObservedRun(const ObservedRun&) = delete;
    ObservedRun& operator=(const ObservedRun&) = delete;

private:
    Mesh& mesh;
    RunObserver* before;
};

}  // namespace meshthin
