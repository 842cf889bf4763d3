// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/store.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <utility>

#include "model/expect.h"
#include "model/scratch.h"

namespace meshthin {

SlotArray<Point> Points;
SlotArray<Face> Faces;
int32_t NextPtOrder = 0;
long long stepsUntilCheckpoint = kStepsPerCheckpoint;

namespace {

std::function<void(const std::string&)> logObserver;
std::function<void(const std::string&)> messageHook;
std::function<void()> checkpointHook;
// The faces that have held one point, ascending, in a block of the index's memory. Sixteen
// bytes a point, so that the table of a large mesh stays in the cache while faces are indexed.
struct FacesOfPoint {
    int32_t* faces = nullptr;
    uint32_t count = 0;
    uint32_t room = 0;
};

// facesOfPoint[p] lists the faces that have held point p. The lists take their memory from
// memory, declared first so that it outlives them.
class FaceIndex {
public:
    FaceIndex() = default;
    FaceIndex(const FaceIndex&) = delete;
    FaceIndex& operator=(const FaceIndex&) = delete;
    ~FaceIndex() { clear(); }

    void clear() {
        memory.releaseAfter([this] {
            for (FacesOfPoint& list : lists) {
                if (list.room != 0) {
                    memory.deallocate(list.faces, list.room * sizeof(int32_t));
                }
            }
            lists.clear();
        });
        built = false;
    }

    // A list for every point number up to and including point, and for every point slot.
    void makeListsUpTo(int16_t point) {
        // A list for every point slot at once, rather than one more at every higher number.
        const size_t slots = Points.exists() ? static_cast<size_t>(Points.upperBound()) + 1 : 0;
        lists.resize(std::max(static_cast<size_t>(point) + 1, slots));
    }

    // Doubles the room of a list (eight faces to start with: a point of a triangle mesh lies
    // in about six).
    void grow(FacesOfPoint& list) {
        const uint32_t room = list.room == 0 ? 8 : 2 * list.room;
        auto* faces = static_cast<int32_t*>(memory.allocate(room * sizeof(int32_t)));
        std::copy_n(list.faces, list.count, faces);
        if (list.room != 0) {
            memory.deallocate(list.faces, list.room * sizeof(int32_t));
        }
        list.faces = faces;
        list.room = room;
    }

    ListMemory memory;
    std::vector<FacesOfPoint> lists;
    // The index is made when a removal first asks it, from the faces as they are then, and kept
    // up to date from there on. A mesh that is loaded and looked at never needs it, so loading
    // does not pay for it.
    bool built = false;
};

FaceIndex facesOfPoint;
Scratch scratchLists;
bool farCoordinates = false;

// Below this size, the squares of three coordinate differences add up to less than the largest
// double: 3 * (2 * 1e153)^2 = 1.2e307 < 1.79e308.
constexpr double kSafeCoordinate = 1e153;

}  // namespace

void setLogObserver(std::function<void(const std::string&)> observer) {
    logObserver = std::move(observer);
}

bool logObserved() {
    return static_cast<bool>(logObserver);
}

void logText(const std::string& text) {
    if (logObserver) {
        logObserver(text);
    }
}

void setMessageHook(std::function<void(const std::string&)> hook) {
    messageHook = std::move(hook);
}

void showMessage(const std::string& text) {
    if (messageHook) {
        messageHook(text);
    }
}

void setCheckpoint(std::function<void()> hook) {
    checkpointHook = std::move(hook);
}

void reachCheckpoint() {
    stepsUntilCheckpoint = kStepsPerCheckpoint;
    if (checkpointHook) {
        checkpointHook();
    }
}

void noteCoordinates(double x, double y, double z) {
    if (!(std::abs(x) < kSafeCoordinate && std::abs(y) < kSafeCoordinate &&
          std::abs(z) < kSafeCoordinate)) {
        farCoordinates = true;
    }
}

bool farApartPointsLoaded() {
    return farCoordinates;
}

namespace {

void indexInto(FacesOfPoint& list, int32_t face) {
    // Faces are nearly always indexed in ascending order (the index being made, appended rebuilt
    // faces), so the common case is an append; fixOrder on an older face inserts in place.
    if (list.count == 0 || list.faces[list.count - 1] < face) {
        if (list.count == list.room) {
            facesOfPoint.grow(list);
        }
        list.faces[list.count++] = face;
        return;
    }
    int32_t* const end = list.faces + list.count;
    const int32_t* const place = std::lower_bound(list.faces, end, face);
    if (place != end && *place == face) {
        return;
    }
    const ptrdiff_t at = place - list.faces;
    if (list.count == list.room) {
        facesOfPoint.grow(list);
    }
    std::copy_backward(list.faces + at, list.faces + list.count, list.faces + list.count + 1);
    list.faces[at] = face;
    ++list.count;
}

}  // namespace

void indexFacePoints(int32_t face, const int16_t* first, const int16_t* last) {
    if (!facesOfPoint.built) {
        return;  // the faces are indexed as they are when the index is made
    }
    for (; first != last; ++first) {
        const int16_t point = *first;
        if (point < 0) {
            continue;
        }
        if (static_cast<size_t>(point) >= facesOfPoint.lists.size()) {
            facesOfPoint.makeListsUpTo(point);
        }
        indexInto(facesOfPoint.lists[static_cast<size_t>(point)], face);
    }
}

void facesHolding(int16_t point, long long lastFace, FaceList& found) {
    found.clear();
    if (!facesOfPoint.built) {
        facesOfPoint.built = true;
        if (Faces.exists()) {
            for (long long f = 0; f <= Faces.upperBound(); ++f) {
                Faces(f).indexPoints();
            }
        }
    }
    if (point < 0 || static_cast<size_t>(point) >= facesOfPoint.lists.size()) {
        return;
    }
    // A face indexed with a point that is not removed still holds it, unless the ring walk has
    // taken points out of it since: shrink takes out only removed points, and every other change
    // of a face's points indexes them again. So the face need not be asked.
    const bool stillHeld = Points.holds(point) && !Points(point).removed();
    const FacesOfPoint& list = facesOfPoint.lists[static_cast<size_t>(point)];
    for (const int32_t f : std::span(list.faces, list.count)) {
        if (f > lastFace) {
            break;
        }
        const Face& face = Faces(f);
        if (stillHeld && !face.mayHaveLostPoints()) {
            MESHTHIN_EXPECT(face.getNum() >= 64 || face.hasPoint(point),
                            "a face indexed with a point keeps it until shrink or the ring walk");
            found.push_back(f);
        } else if (face.hasPoint(point)) {
            found.push_back(f);
        }
    }
}

void resetStore() {
    Points.clear();
    Faces.clear();
    NextPtOrder = 0;
    facesOfPoint.clear();
    scratchLists.clear();
    farCoordinates = false;
}

Scratch& scratch() {
    return scratchLists;
}

StoreSnapshot takeSnapshot() {
    StoreSnapshot snapshot;
    snapshot.pointsExist = Points.exists();
    snapshot.facesExist = Faces.exists();
    snapshot.points = Points.copyRecords();
    snapshot.faces = Faces.copyRecords();
    snapshot.nextPtOrder = NextPtOrder;
    snapshot.farCoordinates = farCoordinates;
    return snapshot;
}

void restoreSnapshot(const StoreSnapshot& snapshot) {
    facesOfPoint.clear();
    scratchLists.groups.clear();
    Points.restoreRecords(snapshot.points, snapshot.pointsExist);
    Faces.restoreRecords(snapshot.faces, snapshot.facesExist);
    NextPtOrder = snapshot.nextPtOrder;
    farCoordinates = snapshot.farCoordinates;
}

bool storeIsEmpty() {
    return !Points.exists() && !Faces.exists() && facesOfPoint.lists.empty() && !farCoordinates;
}

}  // namespace meshthin
