#include "model/face.h"

#include <ostream>

#include "model/linetext.h"
#include "model/pointset.h"
#include "model/store.h"

namespace meshthin {

namespace {

const char* trueFalse(bool answer) {
    return answer ? "True" : "False";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Flags and summary

std::string Face::report() const {
    std::string text;
    for (long long i = 0; i <= lastPos; ++i) {
        text += '(';
        text += std::to_string(at(i));
        text += ')';
    }
    if (isNew) {
        text += " NEW ";
    }
    if (isRemoved) {
        text += " GONE ";
    }
    return text;
}

int16_t Face::at(long long position) const {
    if (position < 0 || position >= static_cast<long long>(pts.size())) {
        throw indexFailure();
    }
    return pts[static_cast<size_t>(position)];
}

// ---------------------------------------------------------------------------------------------
// Reading and writing

void Face::loadme(std::string_view inputstring, const NumberCodec& numbers) {
    const std::string_view line = trimBlanks(inputstring);

    const int16_t s = find(line, 1, " ");
    if (s != 0) {
        const int16_t count = numbers.toInt16(line.substr(0, static_cast<size_t>(s - 1)));
        if (count < 0) {
            throw Failure("Negative point count in a face line");
        }
        lastPos = count;
        // N+1 positions: the points at 0..N-1 and one extra position holding 0.
        pts.resize(static_cast<size_t>(count) + 1, 0);
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
    indexPoints();
}

void Face::writeOut(std::ostream& txtfile) {
    if (isRemoved || lastPos < 2) {
        return;
    }
    shrink();
    fixOrder();

    std::vector<int32_t> references;
    for (long long j = 0; j <= lastPos; ++j) {
        const int16_t p = at(j);
        if (p != -1) {
            references.push_back(Points(p).getPtOrder());
        }
    }
    // A line of one or two references is not a polygon; the count written is the number of
    // references that follow, so that a reader trusting it reads exactly these points.
    if (references.size() < 3) {
        return;
    }
    txtfile << references.size() << " 0 0 -1 ( ";
    for (int32_t k : references) {
        txtfile << " ( " << k << " ) ";
    }
    txtfile << "  ) \r\n";
}

// ---------------------------------------------------------------------------------------------
// Queries

double Face::getX(int16_t x) const {
    const int16_t p = at(x);
    if (p == 0) {
        showMessage("x = " + std::to_string(x));
    }
    return Points(p).getX();
}

double Face::getY(int16_t x) const {
    return Points(at(x)).getY();
}

double Face::getZ(int16_t x) const {
    return Points(at(x)).getZ();
}

int16_t Face::getPNum(int16_t x) const {
    return at(x);
}

bool Face::hasPoint(int16_t x) const {
    for (long long i = 0; i <= lastPos; ++i) {
        if (at(i) == x) {
            return true;
        }
    }
    return false;
}

void Face::addValue(PointList& newpts, int16_t newValue) {
    if (!AlreadyIn(newpts, newValue)) {
        checked16(static_cast<long long>(newpts.size()));  // the new upper position is 16-bit
        newpts.push_back(newValue);
    }
}

bool Face::AlreadyIn(const PointList& someArray, int16_t someNum) {
    for (int16_t entry : someArray) {
        if (entry == someNum) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Rebuild

void Face::registerPts() const {
    for (long long i = 0; i <= lastPos; ++i) {
        Point& p = Points(at(i));
        if (i > 0 && i < lastPos) {
            p.addConn(at(i - 1));
            p.addConn(at(i + 1));
        } else if (i == 0) {
            // Next neighbour first, then the last point of the ring. With lastPos 0 this reads
            // position 1, the extra position of a face read from the file.
            p.addConn(at(1));
            p.addConn(at(lastPos));
        } else {
            p.addConn(at(0));
            p.addConn(at(lastPos - 1));
        }
        p.doneAdd();
    }
}

void Face::reInit(PointList& newpts, const FaceList& FacesToReplace) {
    // addValue's rule, with a set of the numbers newpts holds instead of a scan of newpts for
    // every point: a large polygon makes every face rebuilt around it large.
    PointSet held;
    held.insertAll(newpts);
    for (int32_t f : FacesToReplace) {
        const Face& replaced = Faces(f);
        const int16_t last = replaced.getNum();
        for (long long j = 0; j <= last; ++j) {
            const int16_t p = replaced.getPNum(static_cast<int16_t>(j));
            if (p == -1 || Points(p).removed() || held.contains(p)) {
                continue;
            }
            checked16(static_cast<long long>(newpts.size()));  // the new upper position is 16-bit
            newpts.push_back(p);
            held.insert(p);
        }
    }
    pts = newpts;
    lastPos = checked16(static_cast<long long>(newpts.size()) - 1);
    isRemoved = false;
    isNew = true;
    indexPoints();
}

void Face::shrink() {
    long long i = 0;
    while (i <= lastPos) {
        const int16_t p = at(i);
        if (p != -1 && Points(p).removed()) {
            logMessage("point ", std::to_string(p), " removed... shrinking face");
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

void Face::fixOrder() {
    // A face read from the file keeps its order: for it the walk only produces the diagnostic
    // texts, so when nobody listens there is nothing to walk for.
    if (!getIsNew() && !logObserved()) {
        return;
    }
    logMessage("****************************NEW FACE ", report());

    PointList newOrder(pts.size(), -1);
    int16_t current = at(0);
    newOrder[0] = current;
    size_t fill = 1;
    // AlreadyIn(pts, q) and AlreadyIn(newOrder, q), answered from sets: the walk asks them once
    // per connection of every walked point. q comes from a connection list and is never -1, so
    // the -1 positions of newOrder need no place in the walked set.
    PointSet collection;
    collection.insertAll(pts);
    PointSet walked;
    walked.insert(current);

    // Greedy walk: from the current point, go to the first connection (in list order) that
    // belongs to the face and is not walked yet; stop when a point has none. No backtracking.
    for (bool moved = true; moved;) {
        moved = false;
        logMessage("restarting for loop");
        const Point& here = Points(current);
        const int16_t n = here.getNumConns();
        for (int16_t c = 0; c <= n; ++c) {
            const int16_t q = here.getConn(c);
            const bool inFace = collection.contains(q);
            const bool alreadyWalked = walked.contains(q);
            if (logObserved()) {
                const std::string from = std::to_string(current);
                logMessage("looking at points(", from, ").getconn(", std::to_string(c), ")");
                logMessage("...connection goes to ", std::to_string(q));
                logMessage("...This is in this face's collection: ", trueFalse(inFace),
                           " Already been added: ", trueFalse(alreadyWalked));
                if (inFace && !alreadyWalked) {
                    logMessage("-x-x-x- gone from points(", from, ") to points(", std::to_string(q),
                               ") ", std::string(39, '*'));
                }
            }
            if (inFace && !alreadyWalked) {
                // Every walked point is a distinct entry of pts, so the walk fits in newOrder.
                if (fill >= newOrder.size()) {
                    throw indexFailure();
                }
                newOrder[fill] = q;
                ++fill;
                walked.insert(q);
                current = q;
                moved = true;
                break;
            }
        }
    }

    if (getIsNew()) {
        pts = newOrder;
        indexPoints();
    }
}

void Face::indexPoints() const {
    if (mySlot < 0) {
        return;  // a face outside Faces (a test's own record) has no slot to index
    }
    for (long long i = 0; i <= lastPos && i < static_cast<long long>(pts.size()); ++i) {
        indexFacePoint(mySlot, pts[static_cast<size_t>(i)]);
    }
}

}  // namespace meshthin
