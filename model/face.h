// SPDX-License-Identifier: GPL-3.0-or-later
// One polygon of the mesh: its point numbers in ring order and two marks. A face's number is
// its index in its mesh's Faces; it refers to points by number only, so every operation that
// reaches a point is handed the mesh it belongs to.
//
// The length of pts and lastPos are not kept in step, and every operation says which bound it
// uses: a face read from the file keeps one extra position holding 0 behind its points, shrink
// lowers lastPos without resizing, and fixOrder may leave -1 ("no point") at positions its walk
// did not reach.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/list_memory.h"
#include "model/neighbour_places.h"
#include "model/numbers.h"
#include "model/point_number.h"
#include "model/pointset.h"
#include "model/short_list.h"

namespace meshthin {

class Mesh;

using PointList = std::vector<PointNumber>;
using FaceList = std::vector<int32_t>;

class Face {
public:
    Face() = default;
    // A copy, its point list on the heap.
    Face(const Face& other) = default;
    // A copy whose point list takes its memory from lists: for the array of a mesh's copy.
    Face(const Face& other, ListMemory* lists);
    Face& operator=(const Face& other) = default;
    Face(Face&& other) noexcept = default;
    Face& operator=(Face&& other) noexcept = default;
    ~Face() = default;

    // --- flags and summary ---
    bool getIsNew() const { return isNew; }
    bool removedz() const { return isRemoved; }
    // "(p0)(p1)..." over positions 0..lastPos, then " NEW " and " GONE " for the set flags.
    std::string report() const;
    // report() appended to text.
    void appendReport(std::string& text) const;

    // --- reading and writing the face's own line ---

    // Parses a face line "N ... ( (p0 ...) (p1 ...) ... )": pts gets N+1 positions (the last
    // holding 0) and lastPos N-1. A line without a blank reads no count and lowers lastPos by 1.
    void loadme(Mesh& mesh, std::string_view inputstring, const NumberCodec& numbers);
    // The face as loadme leaves it after reading a line of points.size() points: those points
    // at positions 0..N-1, one extra position holding 0, lastPos N-1. For a reader that has the
    // point numbers already as numbers; each must fit a PointNumber.
    void setFromFile(Mesh& mesh, std::span<const uint32_t> points);
    // Unless the face is removed or has fewer than three points: shrink, fixOrder, then write
    // "count 0 0 -1 ( " and " ( k ) " per point (k its output number), " ", " ) " CR LF.
    // Positions holding -1 or a removed point are left out, and a face left with fewer than
    // three point references after shrink and fixOrder is skipped.
    void writeOut(Mesh& mesh, std::ostream& txtfile);
    // The points writeOut names, in its order, into written (its storage reused): shrink and
    // fixOrder as writeOut does them, then every position 0..lastPos that holds neither -1 nor a
    // removed point. Returns false, and writeOut writes nothing, for a face that is removed, has
    // fewer than three positions or is left with fewer than three references.
    bool writtenPoints(Mesh& mesh, PointList& written);

    // --- queries ---
    // Coordinates of the point at position x. getX first shows "x = <x>" through message when
    // that point is 0. Positions and point numbers out of range are a Failure.
    double getX(const Mesh& mesh, PointNumber x,
                const std::function<void(const std::string&)>& message) const;
    double getY(const Mesh& mesh, PointNumber x) const;
    double getZ(const Mesh& mesh, PointNumber x) const;
    PointNumber getNum() const { return lastPos; }
    PointNumber getPNum(PointNumber x) const;
    bool hasPoint(PointNumber x) const;
    void remove() { isRemoved = true; }
    // Whether a point may have left positions 0..lastPos other than by shrink since the face was
    // last indexed: the ring walk did more than reorder them, or the face was read again.
    bool mayHaveLostPoints() const { return lostPoints; }

    // --- rebuild ---

    // Registers the ring neighbours of every position 0..lastPos as connections of its point.
    void registerPts(Mesh& mesh) const;
    // Makes this (fresh) face the replacement of the faces listed: newpts, followed by every
    // point of those faces that is neither -1 nor removed and not yet present. Expects the
    // listed faces already marked removed and newpts holding at least one entry. Grows newpts.
    // heldGroup, when not 0, is a group whose members newpts holds but the removed ones
    // (model/groups.h): a face tagged with it has nothing to add and is not looked at.
    // placed, when given, holds exactly newpts' points.
    void reInit(Mesh& mesh, PointList& newpts, const FaceList& FacesToReplace,
                int32_t heldGroup = 0, const NeighbourPlaces* placed = nullptr);
    // Walks the connections from pts(0) and, for a rebuilt face, stores the walk as the ring
    // order; positions the walk does not reach become -1. lastPos is kept.
    void fixOrder(Mesh& mesh);
    // The order fixOrder stores for a rebuilt face, into order (pts' size, -1 where the walk does
    // not reach), changing nothing: for a view of the mesh. collection and walked are the walk's
    // working sets.
    void ringOrder(const Mesh& mesh, PointSet& collection, PointSet& walked,
                   PointList& order) const;

    // Records in the mesh's point-to-face index that positions 0..lastPos hold their points. The
    // mesh calls it for every face when it makes the index; from then on setPoints keeps it
    // current.
    void indexPoints(Mesh& mesh) const;

private:
    // The one writer of the face's points: write sets pts and lastPos, then the point-to-face
    // index learns what the face now holds. Only shrink changes them otherwise, and it only
    // takes points out, which the index need not learn, as a lookup confirms every entry.
    template <class Write>
    void setPoints(Mesh& mesh, const Write& write) {
        write();
        indexPoints(mesh);
    }
    // loadme's reading of the line, without the index; the point list grows in lists.
    void readLine(std::string_view inputstring, const NumberCodec& numbers, ListMemory* lists);
    // readLine for the usual line (a count, then point groups of plain digits), in one pass.
    // Returns false, having stored only what readLine stores first, when the line is not usual.
    bool loadPlainly(std::string_view line, const NumberCodec& numbers, ListMemory* lists);
    // Appends newValue to newpts unless holds(newValue), the question "does newpts already hold
    // it anywhere?".
    template <class Holds>
    static void addValueAsking(const Mesh& mesh, PointList& newpts, PointNumber newValue,
                               const Holds& holds);
    // The greedy walk from position 0: from the current point to the first connection (in list
    // order) that belongs to the face and is not walked yet, until a point has none. Stores the
    // points walked in newOrder, when given, and returns how many there were.
    size_t walkRing(const Mesh& mesh, PointSet& collection, PointSet& walked,
                    PointList* newOrder) const;
    // The diagnostic texts of one examined connection of the ring walk; the walk calls it only
    // while somebody reads them, as the texts are not free to assemble.
    static void logWalkStep(const Mesh& mesh, PointNumber current, PointNumber c, PointNumber q,
                            bool inFace, bool alreadyWalked);
    // Drops removed points from positions 0..lastPos; marks the face removed when fewer than
    // three points remain.
    void shrink(Mesh& mesh);
    PointNumber at(long long position) const;
    // How many of positions 0..lastPos lie within pts: the ones a search reads without a check
    // each; at() fails at the first position behind them.
    size_t positionsWithin() const {
        return lastPos < 0 ? 0 : std::min(static_cast<size_t>(lastPos) + 1, pts.size());
    }
    // Whether positions 0..lastPos reach behind pts, so that reading them all fails as at() does.
    bool positionsReachBehind() const {
        return lastPos >= 0 && static_cast<size_t>(lastPos) >= pts.size();
    }
    // The face's slot in the mesh's Faces, which the point-to-face index and the groups' tags
    // are kept by, or -1 for a face outside it (a test's own record). Worked out from where the
    // face lies rather than kept in it: a face is 8 bytes smaller, 10 to 16 MB less at a
    // million points.
    long long slotIn(const Mesh& mesh) const;
    // The memory of the point list: the mesh's, when this face is one of its records.
    ListMemory* listMemory(const Mesh& mesh) const;

    ShortList<PointNumber> pts;
    PointNumber lastPos = 0;
    bool isRemoved = false;
    bool isNew = false;
    bool lostPoints = false;
};

}  // namespace meshthin
