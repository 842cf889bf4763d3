// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/face.h"

#include <algorithm>
#include <charconv>
#include <ostream>

#include "model/expect.h"
#include "model/linetext.h"
#include "model/mesh.h"
#include "model/pointset.h"
#include "model/scratch.h"

namespace meshthin {

namespace {

const char* trueFalse(bool answer) {
    return answer ? "True" : "False";
}

// Whether the written face line names the point at a position holding p. Neither an open
// position nor a removed point is named. The ring walk of a rebuilt face can put a removed point
// back in: shrink drops it from positions 0..lastPos but leaves its copy behind them, the walk
// looks at every position, and a connection list may still hold a removed point (a list can
// hold a neighbour that does not hold it, and that neighbour's removal then leaves it there).
// Its number would be that of an earlier write, or 0, and name another point or none.
bool names(const Mesh& mesh, PointNumber p) {
    return p != -1 && !mesh.Points(p).removed();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Flags and summary

std::string Face::report() const {
    std::string text;
    appendReport(text);
    return text;
}

void Face::appendReport(std::string& text) const {
    // Written in place into room for the longest report, "(-2147483648)" per position and both
    // marks, and cut to what was written: a face list of tens of thousands of lines is built
    // this way.
    const size_t start = text.size();
    const size_t positions = lastPos >= 0 ? static_cast<size_t>(lastPos) + 1 : 0;
    text.resize(start + positions * 13 + 11);
    char* out = text.data() + start;
    for (long long i = 0; i <= lastPos; ++i) {
        *out++ = '(';
        out = std::to_chars(out, out + 11, at(i)).ptr;
        *out++ = ')';
    }
    constexpr std::string_view newMark = " NEW ";
    constexpr std::string_view goneMark = " GONE ";
    if (isNew) {
        out = std::copy(newMark.begin(), newMark.end(), out);
    }
    if (isRemoved) {
        out = std::copy(goneMark.begin(), goneMark.end(), out);
    }
    text.resize(static_cast<size_t>(out - text.data()));
}

PointNumber Face::at(long long position) const {
    if (position < 0 || position >= static_cast<long long>(pts.size())) {
        throw indexFailure();
    }
    return pts[static_cast<size_t>(position)];
}

// ---------------------------------------------------------------------------------------------
// Reading and writing

void Face::loadme(Mesh& mesh, std::string_view inputstring, const NumberCodec& numbers) {
    if (!pts.empty()) {
        // Read again: what the face held before stays in the index, and its tag is no longer
        // true of it.
        lostPoints = true;
        mesh.scratch().groups.untag(slotIn(mesh));
    }
    setPoints(mesh, [&] { readLine(inputstring, numbers, listMemory(mesh)); });
}

void Face::setFromFile(Mesh& mesh, std::span<const uint32_t> points) {
    if (!pts.empty()) {
        lostPoints = true;
        mesh.scratch().groups.untag(slotIn(mesh));
    }
    setPoints(mesh, [&] {
        // As loadPlainly stores a line of these points.
        pts.assign(listMemory(mesh), points.size() + 1, 0);
        for (size_t k = 0; k < points.size(); ++k) {
            MESHTHIN_EXPECT(points[k] <= static_cast<uint32_t>(INT32_MAX),
                            "a face names point numbers that fit");
            pts[k] = static_cast<PointNumber>(points[k]);
        }
        lastPos = static_cast<PointNumber>(points.size()) - 1;
    });
}

void Face::readLine(std::string_view inputstring, const NumberCodec& numbers, ListMemory* lists) {
    const std::string_view line = trimBlanks(inputstring);
    // Within a line shorter than 32767 characters no position passes the 16-bit range, and the
    // usual line is read in one pass; what that pass leaves, the searches below read again from
    // the start, storing the same numbers in the same places first.
    if (line.size() < INT16_MAX && loadPlainly(line, numbers, lists)) {
        return;
    }

    const int16_t s = find(line, 1, " ");
    if (s != 0) {
        const int16_t count = numbers.toInt16(line.substr(0, static_cast<size_t>(s - 1)));
        if (count < 0) {
            throw Failure("Negative point count in a face line");
        }
        lastPos = count;
        // N+1 positions: the points at 0..N-1 and one extra position holding 0.
        pts.resize(lists, static_cast<size_t>(count) + 1, 0);
    }
    lastPos = checked16(lastPos - 1LL);

    int16_t q = find(line, 1, "(");  // the opening parenthesis of the list
    for (long long k = 0; k <= lastPos; ++k) {
        q = find(line, q + 1LL, "(");
        const int16_t e = find(line, q + 1LL, ")");
        if (e <= q) {
            // A missing ")" leaves no text to read the number from.
            throw Failure("Malformed face line (missing \")\")");
        }
        std::string_view content = between(line, q, e);
        const size_t blank = content.find(' ');
        content = blank != std::string_view::npos ? content.substr(0, blank) : trimBlanks(content);
        pts[static_cast<size_t>(k)] = numbers.toInt16(content);
    }
}

bool Face::loadPlainly(std::string_view line, const NumberCodec& numbers, ListMemory* lists) {
    if (!numbers.readsDigitsPlainly()) {
        return false;
    }
    // The count: plain digits up to the first blank (digits hold none).
    const auto [countDigits, count] = readPlainDigits(line);
    if (countDigits == 0 || countDigits >= line.size() || line[countDigits] != ' ') {
        return false;
    }
    lastPos = count;
    if (pts.empty()) {
        // A fresh face: the same as resizing, more directly.
        pts.assign(lists, static_cast<size_t>(count) + 1, 0);
    } else {
        pts.resize(lists, static_cast<size_t>(count) + 1, 0);
    }
    lastPos = count - 1;

    // Each point group: the next "(" after the one before, plain digits and then the group's
    // ")" or a blank; the digits hold neither, so they are the text up to the first blank of
    // what stands between that "(" and the first ")" after it. Nor do they hold a "(": the
    // search for the next one goes on behind them.
    const size_t list = findNear(line, 0, '(');  // the opening parenthesis of the list
    size_t searchFrom = list + 1;
    for (long long k = 0; k <= lastPos; ++k) {
        const size_t q = list == std::string_view::npos ? list : findNear(line, searchFrom, '(');
        if (q == std::string_view::npos) {
            return false;
        }
        const auto [digits, p] = readPlainDigits(line.substr(q + 1));
        const size_t after = q + 1 + digits;
        if (digits == 0 || after >= line.size()) {
            return false;
        }
        if (line[after] != ')' && (line[after] != ' ' || findNear(line, after, ')') == line.npos)) {
            return false;
        }
        pts[static_cast<size_t>(k)] = p;
        searchFrom = after;
    }
    return true;
}

bool Face::writtenPoints(Mesh& mesh, PointList& written) {
    written.clear();
    if (isRemoved || lastPos < 2) {
        return false;
    }
    shrink(mesh);
    fixOrder(mesh);
    // Nothing here fails: shrink has read every point at positions 0..lastPos that is not -1,
    // and fixOrder only puts -1 or points of the face in their places.
    for (long long j = 0; j <= lastPos; ++j) {
        const PointNumber p = pts[static_cast<size_t>(j)];
        if (names(mesh, p)) {
            written.push_back(p);
        }
    }
    // A line of one or two references is not a polygon.
    return written.size() >= 3;
}

void Face::writeOut(Mesh& mesh, std::ostream& txtfile) {
    PointList& written = mesh.scratch().written;
    if (!writtenPoints(mesh, written)) {
        return;
    }
    // The count written is the number of references that follow, so that a reader trusting it
    // reads exactly these points.
    const auto references = static_cast<long long>(written.size());
    // The line is made in a buffer and handed to the stream in one piece: a stream insertion per
    // piece costs more than the numbers. The buffer is kept from face to face.
    std::vector<char>& line = mesh.scratch().line;
    constexpr size_t kReferenceRoom = 16;  // " ( " and " ) " around at most 10 digits
    line.resize(written.size() * kReferenceRoom + 40);
    char* const start = line.data();
    char* end = std::to_chars(start, start + 20, references).ptr;
    end = std::copy_n(" 0 0 -1 ( ", 10, end);
    for (const PointNumber p : written) {
        const int32_t order = mesh.Points(p).getPtOrder();
        end = std::copy_n(" ( ", 3, end);
        end = std::to_chars(end, end + 10, order).ptr;
        end = std::copy_n(" ) ", 3, end);
    }
    end = std::copy_n("  ) \r\n", 6, end);
    txtfile.write(start, end - start);
}

// ---------------------------------------------------------------------------------------------
// Queries

double Face::getX(const Mesh& mesh, PointNumber x,
                  const std::function<void(const std::string&)>& message) const {
    const PointNumber p = at(x);
    if (p == 0 && message) {
        message("x = " + std::to_string(x));
    }
    return mesh.Points(p).getX();
}

double Face::getY(const Mesh& mesh, PointNumber x) const {
    return mesh.Points(at(x)).getY();
}

double Face::getZ(const Mesh& mesh, PointNumber x) const {
    return mesh.Points(at(x)).getZ();
}

PointNumber Face::getPNum(PointNumber x) const {
    return at(x);
}

bool Face::hasPoint(PointNumber x) const {
    // As asking at(i) for every position 0..lastPos, with one bound check: the positions within
    // the list are searched, and a lastPos behind it fails where at() would, unless x came first.
    const size_t within = positionsWithin();
    if (std::find(pts.data(), pts.data() + within, x) != pts.data() + within) {
        return true;
    }
    if (positionsReachBehind()) {
        throw indexFailure();
    }
    return false;
}

template <class Holds>
void Face::addValueAsking(const Mesh& mesh, PointList& newpts, PointNumber newValue,
                          const Holds& holds) {
    if (!holds(newValue)) {
        // The new upper position is within the mesh's limit: 16-bit for a brace mesh.
        mesh.checkedPosition(static_cast<long long>(newpts.size()));
        newpts.push_back(newValue);
    }
}

// ---------------------------------------------------------------------------------------------
// Rebuild

namespace {

// Faces up to this many positions have their tags checked where a rebuild relies on them.
constexpr PointNumber kCheckedFace = 64;

// Whether every point at positions 0..lastPos of face is -1, removed or in held.
template <class Held>
bool addsNothing(const Mesh& mesh, const Face& face, const Held& held) {
    for (PointNumber j = 0; j <= face.getNum(); ++j) {
        const PointNumber p = face.getPNum(j);
        if (p != -1 && !mesh.Points(p).removed() && !held(p)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void Face::registerPts(Mesh& mesh) const {
    // With lastPos 1 or more every position read below lies within 0..lastPos: checked once
    // here instead of at every read. The additions and their order are those of the loop below.
    if (lastPos >= 1 && static_cast<size_t>(lastPos) < pts.size()) {
        const PointNumber* const ring = pts.data();
        const long long last = lastPos;
        for (long long i = 0; i <= last; ++i) {
            Point& p = mesh.Points(ring[i]);
            const PointNumber before = ring[i == 0 ? last : i - 1];
            const PointNumber after = ring[i == last ? 0 : i + 1];
            if (i > 0 && i < last) {
                p.addNeighbours(mesh, before, after);
            } else {
                p.addNeighbours(mesh, after, before);
            }
        }
        return;
    }
    for (long long i = 0; i <= lastPos; ++i) {
        Point& p = mesh.Points(at(i));
        if (i > 0 && i < lastPos) {
            p.addConn(mesh, at(i - 1));
            p.addConn(mesh, at(i + 1));
        } else if (i == 0) {
            // Next neighbour first, then the last point of the ring. With lastPos 0 this reads
            // position 1, the extra position of a face read from the file.
            p.addConn(mesh, at(1));
            p.addConn(mesh, at(lastPos));
        } else {
            p.addConn(mesh, at(0));
            p.addConn(mesh, at(lastPos - 1));
        }
        p.doneAdd();
    }
}

void Face::reInit(Mesh& mesh, PointList& newpts, const FaceList& FacesToReplace, int32_t heldGroup,
                  const NeighbourPlaces* placed) {
    MESHTHIN_EXPECT(!newpts.empty(), "a rebuilt face starts from the removed point's list");
    NeighbourGroups& groups = mesh.scratch().groups;
    groups.untag(slotIn(mesh));
    // A large polygon makes every face rebuilt around it large; held mirrors newpts so that
    // "already there" costs the same for every point. Where placed holds newpts' points already,
    // held keeps only the points added, and a point placed (nearly every one) is known to be
    // there at one lookup.
    PointSet& held = mesh.scratch().heldByNewFace;
    if (placed != nullptr) {
        held.clear();
    } else {
        held.assign(newpts);
    }
    const auto isHeld = [&held, placed](PointNumber q) {
        return (placed != nullptr && placed->holds(q)) || held.contains(q);
    };
    for (int32_t f : FacesToReplace) {
        const Face& replaced = mesh.Faces(f);
        MESHTHIN_EXPECT(replaced.removedz(), "the faces to replace are marked removed first");
        if (heldGroup != 0 && groups.tagOf(f) == heldGroup) {
            // Every point of it is in newpts already, or removed (checked on small faces).
            MESHTHIN_EXPECT(
                replaced.getNum() >= kCheckedFace || addsNothing(mesh, replaced, isHeld),
                "a face tagged with a group holds only its members");
            continue;
        }
        // Positions 0..lastPos, read as getPNum reads them: those behind the list fail there.
        for (const PointNumber p : std::span(replaced.pts.data(), replaced.positionsWithin())) {
            // A point of newpts is skipped whether removed or not.
            if ((placed != nullptr && placed->holds(p)) || p == -1 || mesh.Points(p).removed()) {
                continue;
            }
            addValueAsking(mesh, newpts, p, isHeld);
            held.insert(p);
        }
        if (replaced.positionsReachBehind()) {
            throw indexFailure();
        }
    }
    setPoints(mesh, [&] {
        pts.assign(listMemory(mesh), newpts.data(), newpts.data() + newpts.size());
        lastPos = mesh.checkedPosition(static_cast<long long>(newpts.size()) - 1);
    });
    isRemoved = false;
    isNew = true;
}

void Face::shrink(Mesh& mesh) {
    long long i = 0;
    while (i <= lastPos) {
        const PointNumber p = at(i);
        if (p != -1 && mesh.Points(p).removed()) {
            if (mesh.logObserved()) {
                mesh.logMessage("point ", std::to_string(p), " removed... shrinking face");
            }
            for (long long k = i; k < lastPos; ++k) {
                pts[static_cast<size_t>(k)] = pts[static_cast<size_t>(k + 1)];
            }
            --lastPos;
            continue;  // position i now holds the next point
        }
        ++i;
    }
    if (lastPos < 2) {
        isRemoved = true;
    }
}

void Face::fixOrder(Mesh& mesh) {
    // The walk runs for every face, listened to or not, so that the program takes the steps its
    // tests take: the ring order of a rebuilt face needs it; a face read from the file keeps its
    // order, and for it the walk yields only the diagnostic texts, so its steps need no place to
    // be stored.
    const bool storesWalk = getIsNew();
    const bool observed = mesh.logObserved();  // nobody starts or stops listening during a walk
    if (observed) {
        mesh.logMessage("****************************NEW FACE ", report());  // report() is not free
    }

    Scratch& work = mesh.scratch();
    PointList& newOrder = work.walkOrder;  // writing allocates nothing per face
    newOrder.assign(storesWalk ? pts.size() : 0, -1);
    const size_t fill =
        walkRing(mesh, work.faceCollection, work.walked, storesWalk ? &newOrder : nullptr);

    if (storesWalk) {
        // Positions the walk did not reach become -1, and after shrink the walk also orders the
        // positions behind lastPos, which may move a point out of 0..lastPos: a point may leave
        // the face here, unless the walk only put the face's points in another order.
        lostPoints = lostPoints || fill < newOrder.size() ||
                     static_cast<size_t>(lastPos) + 1 != newOrder.size();
        setPoints(mesh, [&] {
            pts.assign(listMemory(mesh), newOrder.data(), newOrder.data() + newOrder.size());
        });
    }
}

void Face::ringOrder(const Mesh& mesh, PointSet& collection, PointSet& walked,
                     PointList& order) const {
    order.assign(pts.size(), -1);
    walkRing(mesh, collection, walked, &order);
}

size_t Face::walkRing(const Mesh& mesh, PointSet& collection, PointSet& walked,
                      PointList* newOrder) const {
    const bool observed = mesh.logObserved();  // nobody starts or stops listening during a walk
    PointNumber current = at(0);
    if (newOrder != nullptr) {
        (*newOrder)[0] = current;
    }
    size_t fill = 1;
    // Whether pts holds q and whether newOrder does, answered from sets: the walk asks both once
    // per connection of every walked point. q comes from a connection list and is never -1, so
    // the -1 positions of newOrder need no place in the walked set.
    collection.assign(pts);
    walked.clear();
    walked.insert(current);

    // Greedy walk: from the current point, go to the first connection (in list order) that
    // belongs to the face and is not walked yet; stop when a point has none. No backtracking.
    for (bool moved = true; moved;) {
        moved = false;
        mesh.logMessage("restarting for loop");
        const Point& here = mesh.Points(current);
        const PointNumber n = here.getNumConns();
        for (PointNumber c = 0; c <= n; ++c) {
            const PointNumber q = here.getConn(mesh, c);
            const bool inFace = collection.contains(q);
            const bool alreadyWalked = walked.contains(q);
            if (observed) {
                logWalkStep(mesh, current, c, q, inFace, alreadyWalked);
            }
            if (inFace && !alreadyWalked) {
                // Every walked point is a distinct entry of pts, so the walk fits in newOrder.
                MESHTHIN_EXPECT(fill < pts.size(), "the walk visits each entry at most once");
                if (newOrder != nullptr) {
                    (*newOrder)[fill] = q;
                }
                ++fill;
                walked.insert(q);
                current = q;
                moved = true;
                break;
            }
        }
    }

    return fill;
}

void Face::logWalkStep(const Mesh& mesh, PointNumber current, PointNumber c, PointNumber q,
                       bool inFace, bool alreadyWalked) {
    const std::string from = std::to_string(current);
    mesh.logMessage("looking at points(", from, ").getconn(", std::to_string(c), ")");
    mesh.logMessage("...connection goes to ", std::to_string(q));
    mesh.logMessage("...This is in this face's collection: ", trueFalse(inFace),
                    " Already been added: ", trueFalse(alreadyWalked));
    if (inFace && !alreadyWalked) {
        mesh.logMessage("-x-x-x- gone from points(", from, ") to points(", std::to_string(q), ") ",
                        std::string(39, '*'));
    }
}

void Face::indexPoints(Mesh& mesh) const {
    if (!mesh.indexesFaces()) {
        return;  // the faces are indexed as they are when the index is made
    }
    const long long slot = slotIn(mesh);
    if (slot < 0) {
        return;  // a face outside Faces (a test's own record) has no slot to index
    }
    mesh.indexFacePoints(static_cast<int32_t>(slot), pts.data(), pts.data() + positionsWithin());
}

long long Face::slotIn(const Mesh& mesh) const {
    return mesh.Faces.exists() ? mesh.Faces.indexOf(this) : -1;
}

ListMemory* Face::listMemory(const Mesh& mesh) const {
    return mesh.Faces.listMemoryOf(this);
}

Face::Face(const Face& other, ListMemory* lists)
    : lastPos(other.lastPos),
      isRemoved(other.isRemoved),
      isNew(other.isNew),
      lostPoints(other.lostPoints) {
    pts.copyFrom(other.pts, lists);
}

static_assert(sizeof(Face) <= 24, "a face's record stays within 24 bytes");

}  // namespace meshthin
