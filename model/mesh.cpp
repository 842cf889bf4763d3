// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/mesh.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <utility>

#include "model/expect.h"
#include "model/scratch.h"

namespace meshthin {

// The faces that have held one point, ascending, in a block of the index's memory. Sixteen
// bytes a point, so that the table of a large mesh stays in the cache while faces are indexed.
using FacesOfPoint = ShortList<int32_t>;

// lists[p] lists the faces that have held point p. The lists take their memory from memory,
// declared first so that it outlives them.
class FaceIndex {
public:
    FaceIndex() = default;
    FaceIndex(const FaceIndex&) = delete;
    FaceIndex& operator=(const FaceIndex&) = delete;
    ~FaceIndex() { clear(); }

    void clear() {
        memory.releaseAfter([this] { lists.clear(); });
        built = false;
    }

    // A list for every point number up to and including point, and for every one of slots.
    void makeListsUpTo(PointNumber point, size_t slots) {
        // A list for every point slot at once, rather than one more at every higher number.
        lists.resize(std::max(static_cast<size_t>(point) + 1, slots));
    }

    // Appends face to list; a new list has room for eight faces (a point of a triangle mesh
    // lies in about six).
    void append(FacesOfPoint& list, int32_t face) {
        if (list.capacity() == 0) {
            list.reserve(&memory, 8);
        }
        list.push_back(&memory, face);
    }

    ListMemory memory;
    std::vector<FacesOfPoint> lists;
    // The index is made when a removal first asks it, from the faces as they are then, and kept
    // up to date from there on. A mesh that is loaded and looked at never needs it, so loading
    // does not pay for it.
    bool built = false;
};

namespace {

// Below this size, the squares of three coordinate differences add up to less than the largest
// double: 3 * (2 * 1e153)^2 = 1.2e307 < 1.79e308.
constexpr double kSafeCoordinate = 1e153;

}  // namespace

Mesh::Mesh() noexcept = default;

Mesh::~Mesh() = default;

Mesh::Mesh(const Mesh& other)
    : Points(other.Points),
      Faces(other.Faces),
      NextPtOrder(other.NextPtOrder),
      farCoordinates(other.farCoordinates),
      positions(other.positions) {
}

Mesh& Mesh::operator=(const Mesh& other) {
    if (this != &other) {
        Mesh copy(other);
        swapKeepingObserver(copy);
    }
    return *this;
}

Mesh::Mesh(Mesh&& other) noexcept : Mesh() {
    swap(other);
}

Mesh& Mesh::operator=(Mesh&& other) noexcept {
    Mesh gone(std::move(other));
    swapKeepingObserver(gone);
    return *this;
}

void Mesh::swapKeepingObserver(Mesh& other) noexcept {
    RunObserver* const observer = runObserver;
    swap(other);
    setObserver(observer);
}

void Mesh::swap(Mesh& other) noexcept {
    Points.swap(other.Points);
    Faces.swap(other.Faces);
    std::swap(NextPtOrder, other.NextPtOrder);
    std::swap(faceIndex, other.faceIndex);
    std::swap(scratchLists, other.scratchLists);
    std::swap(farCoordinates, other.farCoordinates);
    std::swap(positions, other.positions);
    std::swap(runObserver, other.runObserver);
    std::swap(stepsUntilCheckpoint, other.stepsUntilCheckpoint);
}

void Mesh::makeScratch() {
    scratchLists = std::make_unique<Scratch>();
}

void Mesh::reachCheckpoint() {
    stepsUntilCheckpoint = kStepsPerCheckpoint;
    if (runObserver != nullptr) {
        runObserver->checkpoint();
    }
}

void Mesh::noteCoordinates(double x, double y, double z) {
    if (!(std::abs(x) < kSafeCoordinate && std::abs(y) < kSafeCoordinate &&
          std::abs(z) < kSafeCoordinate)) {
        farCoordinates = true;
    }
}

namespace {

void indexInto(FaceIndex& index, FacesOfPoint& list, int32_t face) {
    // Faces are nearly always indexed in ascending order (the index being made, appended rebuilt
    // faces), so the common case is an append; fixOrder on an older face inserts in place.
    if (list.empty() || list.back() < face) {
        index.append(list, face);
        return;
    }
    const int32_t* const place = std::lower_bound(list.begin(), list.end(), face);
    if (place != list.end() && *place == face) {
        return;
    }
    const ptrdiff_t at = place - list.begin();
    index.append(list, face);
    std::rotate(list.begin() + at, list.end() - 1, list.end());
}

}  // namespace

bool Mesh::indexesFaces() const {
    return faceIndex && faceIndex->built;
}

void Mesh::indexFacePoints(int32_t face, const PointNumber* first, const PointNumber* last) {
    if (!indexesFaces()) {
        return;  // the faces are indexed as they are when the index is made
    }
    FaceIndex& index = *faceIndex;
    for (; first != last; ++first) {
        const PointNumber point = *first;
        if (point < 0) {
            continue;
        }
        if (static_cast<size_t>(point) >= index.lists.size()) {
            index.makeListsUpTo(point, Points.exists() ? static_cast<size_t>(spareSlot()) + 1 : 0);
        }
        indexInto(index, index.lists[static_cast<size_t>(point)], face);
    }
}

void Mesh::facesHolding(PointNumber point, long long lastFace, FaceList& found) {
    found.clear();
    if (!faceIndex) {
        faceIndex = std::make_unique<FaceIndex>();
    }
    FaceIndex& index = *faceIndex;
    if (!index.built) {
        index.built = true;
        if (Faces.exists()) {
            for (long long f = 0; f <= Faces.upperBound(); ++f) {
                Faces(f).indexPoints(*this);
            }
        }
    }
    if (point < 0 || static_cast<size_t>(point) >= index.lists.size()) {
        return;
    }
    // A face indexed with a point that is not removed still holds it, unless the ring walk has
    // taken points out of it since: shrink takes out only removed points, and every other change
    // of a face's points indexes them again. So the face need not be asked.
    const bool stillHeld = Points.holds(point) && !Points(point).removed();
    const FacesOfPoint& list = index.lists[static_cast<size_t>(point)];
    for (const int32_t f : list) {
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

bool Mesh::isEmpty() const {
    return !Points.exists() && !Faces.exists() && (!faceIndex || faceIndex->lists.empty()) &&
           !farCoordinates;
}

}  // namespace meshthin
