// SPDX-License-Identifier: GPL-3.0-or-later
// One vertex of the mesh: position, own number, connection list, value, removed mark and its
// number in the file being written. Every point lives in its mesh's Points at the index equal to
// its number; points and faces refer to each other by number only, so every operation that
// reaches another record is handed the mesh it belongs to.
//
// Calling order: loadme first; then runs of addConn closed by doneAdd; queries at any time.
// The connection list never becomes empty once loadme has run, and sizes are reported as the
// index of the last entry, so every reader loops from 0 up to and including it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "model/conn_list.h"
#include "model/expect.h"
#include "model/failure.h"
#include "model/list_memory.h"
#include "model/neighbour_places.h"
#include "model/numbers.h"
#include "model/point_number.h"

namespace meshthin {

class Mesh;

class Point {
public:
    Point() = default;
    // A copy, its connection list on the heap.
    Point(const Point& other) = default;
    // A copy whose connection list takes its memory from lists: for the array of a mesh's copy.
    Point(const Point& other, ListMemory* lists);
    Point& operator=(const Point& other) = default;
    Point(Point&& other) noexcept = default;
    Point& operator=(Point&& other) noexcept = default;
    ~Point() = default;

    // --- reading and writing the point's own line ---

    // Sets myNum and the initial one-entry list (0), then parses the point group "(x y z)" that
    // starts at or after the 1-based position Start. Returns the 1-based position of its ")",
    // or -1 when the line holds no further "(" (the coordinates then stay as they were).
    // Throws a Failure on a malformed group or a number text that does not convert.
    int16_t loadme(Mesh& mesh, std::string_view inputstring, int16_t Start, PointNumber myPtNum,
                   const NumberCodec& numbers);
    // Writes "(x y z)" CR LF and takes the mesh's next output number, unless the point is
    // removed.
    void writeOut(Mesh& mesh, std::ostream& txtfile, const NumberCodec& numbers);
    // The point as loadme leaves it after reading the group "(x y z)", for a reader that has the
    // coordinates already as numbers.
    void setFromFile(Mesh& mesh, PointNumber myPtNum, double x, double y, double z);
    // The point as loadme leaves it when the line holds no further group: the spare slot.
    void setAsSpare(Mesh& mesh, PointNumber myPtNum);
    // Takes the mesh's next output number, as writeOut does for a point that is written.
    int32_t takeOutputNumber(Mesh& mesh);

    // --- coordinates and marks ---
    double getX() const { return xPos; }
    double getY() const { return yPos; }
    double getZ() const { return zPos; }
    PointNumber getNum() const { return myNum; }
    bool removed() const { return isRemoved; }
    int32_t getPtOrder() const { return ptOrder; }

    // --- connection list ---
    //
    // addConn(whichPoint) carries out the first of these rules that applies, and only that one:
    //   1. The list has two or more entries and already holds whichPoint (any entry, an open
    //      slot included): nothing changes.
    //   2. The list has exactly one entry: that entry is overwritten with whichPoint, whatever it
    //      held, and a second entry -1 (an open slot) is added. A one-entry list cannot tell a
    //      real connection from the initial 0, so it is always taken again.
    //   3. The list has exactly two entries and the second has not been used yet (slot1Used is
    //      false): the second entry becomes whichPoint and slot1Used is set.
    //   4. Otherwise whichPoint is appended.
    // doneAdd() closes a run of additions by dropping a trailing open slot. A -1 stays inside a
    // list only when rule 2 and then rule 4 act in one run, on a one-entry list whose second
    // entry was used once (a list cut back by remPoint, or a point read again).
    //
    // appendOnly(): whether every addition from here on takes rule 1 or rule 4 and doneAdd has
    // nothing to drop: three entries or more (too many for rules 2 and 3) and no open slot at
    // the end. An addition then never overwrites an entry, so a run of them may be answered
    // from a set mirroring the list. (A two-entry list whose second entry is used takes only
    // rules 1 and 4 too; it is left to the rules one by one, as it is met once per point.)
    bool appendOnly() const { return conns.size() >= 3 && conns.back() != -1; }
    void addConn(Mesh& mesh, PointNumber whichPoint);
    void doneAdd();
    // addConn(first), addConn(second), doneAdd(): the two ring neighbours a face registers.
    void addNeighbours(Mesh& mesh, PointNumber first, PointNumber second);
    bool alreadyConn(PointNumber whichPoint) const;
    // Within PointNumber: appending checks every new last index against the mesh's limit.
    PointNumber getNumConns() const { return static_cast<PointNumber>(conns.size()) - 1; }
    // Whether any connection was added since loadme. A point that no face names keeps the
    // initial list (0), which reads exactly like one connection to point 0.
    bool everConnected() const { return connectionAdded; }
    // The entry at whichOne; past the end it logs "error: getconn called with <n>" to the
    // mesh's observer and answers 0 (the empty result). A negative index is a Failure.
    // Defined here: the ring walk of every face written asks it once per examined connection.
    PointNumber getConn(const Mesh& mesh, PointNumber whichOne) const {
        if (whichOne < 0 || whichOne > getNumConns()) {
            return connOutOfRange(mesh, whichOne);
        }
        return conns[static_cast<size_t>(whichOne)];
    }

    // --- value ---
    // Recomputes myValue: the length of the sum of the unit vectors from each connected point
    // towards this one.
    void analyze(const Mesh& mesh);
    // The value analyze gave. A removal re-values the neighbours it rewires by marking them
    // (valueIsDue), and a marked value is computed when the walk first asks for it (valueNow) or
    // when the run settles the mesh's values at its end: a point rewired by many removals in a row
    // is computed once, from the same list and with the same operations as at once, so it is the
    // same number. Reading a value never computes one: it expects a settled mesh.
    double getValue() const {
        MESHTHIN_EXPECT(!valueDue, "values are read from a mesh whose run settled them");
        return myValue;
    }
    bool valueIsDue() const { return valueDue; }
    // The value, computed first when it is due: what the walk tests.
    double valueNow(const Mesh& mesh) {
        if (valueDue) {
            analyze(mesh);
        }
        return myValue;
    }

    // --- removal ---
    // Takes this point out of the mesh in five steps: mark, find and mark its faces, rewire
    // and re-value its neighbours, copy its list, append one rebuilt face. Expects a point that
    // is not removed yet: a second removal would cover the same hole twice.
    void remove(Mesh& mesh);
    // Takes whichOne out of the connection list; a list never shrinks below one entry.
    void remPoint(Mesh& mesh, PointNumber whichOne);

private:
    // Where an invariant lets a search of the list stop early, lists up to this length check it
    // in full; longer ones, where stopping early is the point, do not.
    static constexpr size_t kCheckedLength = 64;
    // A check that costs a search of a long list runs for the points whose number is a multiple
    // of this: in a deep run checking every neighbour took a tenth of the run, and a broken
    // invariant shows in any of them.
    static constexpr int kCheckedEvery = 8;
    // Up to this many questions about one list are answered by searching it; more, by a set
    // that mirrors it.
    static constexpr size_t kSearchedQuestions = 8;

    // addConn with rule 1's question, "does the list already hold it?", answered by holds:
    // a scan of the list for a single addition, a set beside the list for a long run of them.
    template <class Holds>
    void addConnAsking(Mesh& mesh, PointNumber whichPoint, const Holds& holds);
    // Rule 4: whichPoint becomes a new last entry; past the mesh's limit, the overflow Failure.
    void appendConn(const Mesh& mesh, PointNumber whichPoint);
    // appendConn for each of count points from first, in order.
    void appendConns(const Mesh& mesh, const PointNumber* first, size_t count);
    // For each entry of others but the one at skip: addConn, then doneAdd (doneAdd at skip too).
    void connectToAllBut(Mesh& mesh, const std::vector<PointNumber>& others, size_t skip);
    // connectToAllBut(others, skip) on a list that appendOnly, for others that places holds (a
    // removal's neighbours, distinct): the list's entries are looked up once, and the others it
    // lacks are appended in their order.
    void connectByPlaces(Mesh& mesh, const std::vector<PointNumber>& others, size_t skip,
                         const NeighbourPlaces& places);
    // Whether the neighbours of a removal form a group (model/groups.h): many, distinct, and
    // without this point.
    bool formsGroup(Mesh& mesh, const std::vector<PointNumber>& neighbours) const;
    // connectToAllBut for others that form the group newGroup, skipping the questions whose
    // answer this point's group gives; then this point belongs to newGroup, when its list is
    // known to hold every other member.
    void connectWithinGroup(Mesh& mesh, const std::vector<PointNumber>& others, size_t skip,
                            int32_t newGroup);
    // Whether the list holds the first entry of others that is not at one of the positions
    // unknown or skip: a check, as cheap as one search, of what the group says of all of them.
    bool holdsFirstKnown(const std::vector<PointNumber>& others,
                         const std::vector<uint32_t>& unknown, size_t skip) const;
    // getConn's answer for a position that is not in the list.
    PointNumber connOutOfRange(const Mesh& mesh, PointNumber whichOne) const;
    // What analyze computes; throws the overflow Failure for a pair of points too far apart.
    double sumOfUnitVectors(const Mesh& mesh) const;
    // analyze now, or, when the analysis cannot fail, when the value is next asked for.
    void reanalyze(const Mesh& mesh);

    // The memory of the connection list: the mesh's, when this point is one of its records.
    ListMemory* listMemory(const Mesh& mesh) const;

    // The list's header ends in four bytes of padding, which the output number fills: a point
    // takes 64 bytes rather than 72, 8 MB less at a million points.
    [[no_unique_address]] ConnList conns;
    int32_t ptOrder = 0;
    double xPos = 0;
    double yPos = 0;
    double zPos = 0;
    double myValue = 0;
    PointNumber myNum = 0;
    bool isRemoved = false;
    bool slot1Used = false;
    bool connectionAdded = false;
    bool valueDue = false;
};

}  // namespace meshthin
