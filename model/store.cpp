#include "model/store.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace meshthin {

SlotArray<Point> Points;
SlotArray<Face> Faces;
int32_t NextPtOrder = 0;

namespace {

std::function<void(const std::string&)> logObserver;
std::function<void(const std::string&)> messageHook;
// facesOfPoint[p] lists the faces that have held point p, ascending. The lists take their memory
// from indexMemory, declared first so that it outlives them.
ListMemory indexMemory;
std::vector<MemoryList<int32_t>> facesOfPoint;
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

// Makes a list for every point number up to and including point, and for every point slot.
void indexUpTo(int16_t point) {
    // A list for every point slot at once, rather than one more at every higher number.
    const size_t slots = Points.exists() ? static_cast<size_t>(Points.upperBound()) + 1 : 0;
    const size_t wanted = std::max(static_cast<size_t>(point) + 1, slots);
    facesOfPoint.reserve(wanted);
    while (facesOfPoint.size() < wanted) {
        facesOfPoint.emplace_back(ListAllocator<int32_t>(&indexMemory));
    }
}

void indexInto(MemoryList<int32_t>& faces, int32_t face) {
    if (faces.capacity() == 0) {
        faces.reserve(8);  // a point of a triangle mesh lies in about six faces
    }
    // Faces are nearly always indexed in ascending order (loading, appended rebuilt faces), so
    // the common case is a push at the end; fixOrder on an older face inserts in place.
    if (faces.empty() || faces.back() < face) {
        faces.push_back(face);
        return;
    }
    auto place = std::lower_bound(faces.begin(), faces.end(), face);
    if (place == faces.end() || *place != face) {
        faces.insert(place, face);
    }
}

}  // namespace

void indexFacePoint(int32_t face, int16_t point) {
    indexFacePoints(face, &point, &point + 1);
}

void indexFacePoints(int32_t face, const int16_t* first, const int16_t* last) {
    for (; first != last; ++first) {
        const int16_t point = *first;
        if (point < 0) {
            continue;
        }
        if (static_cast<size_t>(point) >= facesOfPoint.size()) {
            indexUpTo(point);
        }
        indexInto(facesOfPoint[static_cast<size_t>(point)], face);
    }
}

FaceList facesHolding(int16_t point, long long lastFace) {
    FaceList found;
    facesHolding(point, lastFace, found);
    return found;
}

void facesHolding(int16_t point, long long lastFace, FaceList& found) {
    found.clear();
    if (point < 0 || static_cast<size_t>(point) >= facesOfPoint.size()) {
        return;
    }
    for (int32_t f : facesOfPoint[static_cast<size_t>(point)]) {
        if (f > lastFace) {
            break;
        }
        if (Faces(f).hasPoint(point)) {
            found.push_back(f);
        }
    }
}

void resetStore() {
    Points.clear();
    Faces.clear();
    NextPtOrder = 0;
    indexMemory.releaseAfter([] { facesOfPoint.clear(); });
    farCoordinates = false;
}

bool storeIsEmpty() {
    return !Points.exists() && !Faces.exists() && facesOfPoint.empty() && !farCoordinates;
}

}  // namespace meshthin
