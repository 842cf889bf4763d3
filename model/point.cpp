// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/point.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <span>

#include "model/expect.h"
#include "model/linetext.h"
#include "model/list_search.h"
#include "model/mesh.h"
#include "model/pointset.h"
#include "model/scratch.h"
#include "model/unit_vectors.h"

namespace meshthin {

static_assert(sizeof(Point) <= 64, "a point's record stays within 64 bytes");

Point::Point(const Point& other, ListMemory* lists)
    : ptOrder(other.ptOrder),
      xPos(other.xPos),
      yPos(other.yPos),
      zPos(other.zPos),
      myValue(other.myValue),
      myNum(other.myNum),
      isRemoved(other.isRemoved),
      slot1Used(other.slot1Used),
      connectionAdded(other.connectionAdded),
      valueDue(other.valueDue) {
    conns.copyFrom(other.conns, lists);
}

ListMemory* Point::listMemory(const Mesh& mesh) const {
    return mesh.Points.listMemoryOf(this);
}

namespace {

Failure malformedGroup() {
    return Failure("Malformed point group (expected \"(x y z)\")");
}

// The usual group "(x y z)" whose "(" stands at open, read in one pass: three plainly written
// numbers, the first two followed by a blank and the last by ")". The numbers hold no blank and
// no ")", so these are the blanks and the ")" that the searches of the format find, and the
// numbers are what toDouble gives for the texts between them. Returns the position of the ")",
// or nothing when the group has to be read the long way.
struct PlainGroup {
    double coordinates[3];
    size_t close;
};

std::optional<PlainGroup> readPlainGroup(std::string_view line, size_t open,
                                         const NumberCodec& numbers) {
    PlainGroup group{};
    size_t at = open + 1;
    const char ends[3] = {' ', ' ', ')'};
    for (int i = 0; i < 3; ++i) {
        const size_t taken = numbers.readPlainDouble(line.substr(at), group.coordinates[i]);
        at += taken;
        if (taken == 0 || at >= line.size() || line[at] != ends[i]) {
            return std::nullopt;
        }
        ++at;
    }
    group.close = at - 1;
    return group;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading and writing

int16_t Point::loadme(Mesh& mesh, std::string_view inputstring, int16_t Start, PointNumber myPtNum,
                      const NumberCodec& numbers) {
    setAsSpare(mesh, myPtNum);

    // Within a line shorter than 32767 characters no position passes the 16-bit range, and the
    // usual group is read in one pass; anything else takes the searches below.
    if (inputstring.size() < INT16_MAX) {
        const size_t from = Start > 1 ? static_cast<size_t>(Start) - 1 : 0;
        const size_t open = findNear(inputstring, from, '(');
        if (open == std::string_view::npos) {
            return -1;
        }
        if (const auto group = readPlainGroup(inputstring, open, numbers)) {
            xPos = group->coordinates[0];
            yPos = group->coordinates[1];
            zPos = group->coordinates[2];
            mesh.noteCoordinates(xPos, yPos, zPos);
            return static_cast<int16_t>(group->close + 1);
        }
    }

    const int16_t a = find(inputstring, Start, "(");
    if (a == 0) {
        return -1;
    }
    const int16_t b = find(inputstring, checked16(a + 1LL), " ");
    if (b == 0) {
        throw malformedGroup();
    }
    const int16_t c = find(inputstring, checked16(b + 1LL), " ");
    if (c == 0) {
        throw malformedGroup();
    }
    const int16_t d = find(inputstring, checked16(c + 1LL), ")");
    if (d == 0) {
        throw malformedGroup();
    }
    xPos = numbers.toDouble(between(inputstring, a, b));
    yPos = numbers.toDouble(between(inputstring, b, c));
    zPos = numbers.toDouble(between(inputstring, c, d));
    mesh.noteCoordinates(xPos, yPos, zPos);
    return d;
}

void Point::setAsSpare(Mesh& mesh, PointNumber myPtNum) {
    myNum = myPtNum;
    mesh.scratch().groups.forget(myNum);
    // Room for the neighbours of a point of a triangle mesh (six, and two to spare) from the start,
    // in a 32-byte block: registering them does not grow the list step by step.
    ListMemory* const lists = listMemory(mesh);
    conns.reserve(lists, 8);
    conns.assign(lists, 1, 0);
    connectionAdded = false;
}

void Point::setFromFile(Mesh& mesh, PointNumber myPtNum, double x, double y, double z) {
    setAsSpare(mesh, myPtNum);
    xPos = x;
    yPos = y;
    zPos = z;
    mesh.noteCoordinates(xPos, yPos, zPos);
}

int32_t Point::takeOutputNumber(Mesh& mesh) {
    ptOrder = mesh.NextPtOrder;
    mesh.NextPtOrder = checked32(mesh.NextPtOrder + 1LL);
    return ptOrder;
}

void Point::writeOut(Mesh& mesh, std::ostream& txtfile, const NumberCodec& numbers) {
    if (isRemoved) {
        return;
    }
    takeOutputNumber(mesh);
    // The line is made in a buffer and handed to the stream in one piece: a stream insertion per
    // piece costs more than the number texts themselves.
    char line[3 * NumberCodec::kCoordinateRoom + 8];
    char* end = line;
    *end++ = '(';
    end = numbers.writeCoordinate(end, xPos);
    *end++ = ' ';
    end = numbers.writeCoordinate(end, yPos);
    *end++ = ' ';
    end = numbers.writeCoordinate(end, zPos);
    end = std::copy_n(")\r\n", 3, end);
    txtfile.write(line, end - line);
}

// ---------------------------------------------------------------------------------------------
// Connection list

void Point::addConn(Mesh& mesh, PointNumber whichPoint) {
    addConnAsking(mesh, whichPoint, [this](PointNumber p) { return alreadyConn(p); });
}

template <class Holds>
void Point::addConnAsking(Mesh& mesh, PointNumber whichPoint, const Holds& holds) {
    MESHTHIN_EXPECT(!conns.empty(), "a point gains connections only after loadme");
    if (conns.size() >= 2 && holds(whichPoint)) {
        return;  // rule 1
    }
    connectionAdded = true;
    if (conns.size() == 1) {
        if (conns[0] != whichPoint) {
            mesh.scratch().groups.forget(myNum);  // the entry overwritten may have been a member
        }
        conns[0] = whichPoint;  // rule 2
        conns.push_back(listMemory(mesh), -1);
        return;
    }
    if (conns.size() == 2 && !slot1Used) {
        conns[1] = whichPoint;  // rule 3
        slot1Used = true;
        return;
    }
    appendConn(mesh, whichPoint);  // rule 4
}

void Point::appendConn(const Mesh& mesh, PointNumber whichPoint) {
    connectionAdded = true;
    mesh.checkedPosition(static_cast<long long>(conns.size()));  // the new last index
    conns.push_back(listMemory(mesh), whichPoint);
}

void Point::appendConns(const Mesh& mesh, const PointNumber* first, size_t count) {
    // The last index stays within the limit up to limit + 1 entries; beyond, appendConn puts in
    // the entries one by one up to the one that fails, as each addition would.
    const size_t mostEntries = static_cast<size_t>(mesh.positionLimit()) + 1;
    const size_t room = conns.size() < mostEntries ? mostEntries - conns.size() : 0;
    if (count > room) {
        for (size_t k = 0; k < count; ++k) {
            appendConn(mesh, first[k]);
        }
        return;
    }
    if (count != 0) {
        connectionAdded = true;
        conns.append(listMemory(mesh), first, count);
    }
}

void Point::addNeighbours(Mesh& mesh, PointNumber first, PointNumber second) {
    if (!appendOnly()) {
        addConn(mesh, first);
        addConn(mesh, second);
        doneAdd();
        return;
    }
    // Rule 1 or rule 4 for each; second, when it is first, finds it in the list either way.
    const HeldPair held = holdsEither(conns, conns.capacity(), first, second);
    if (!held.first) {
        appendConn(mesh, first);
    }
    if (!held.second && second != first) {
        appendConn(mesh, second);
    }
    doneAdd();
}

void Point::connectToAllBut(Mesh& mesh, const std::vector<PointNumber>& others, size_t skip) {
    // In a large fan every neighbour gains as many entries as the fan has; a scan of the list
    // for each would make a removal cubic, so held mirrors the list for rule 1.
    PointSet& held = mesh.scratch().heldByNeighbour;
    held.assign(conns);
    const auto heldAlready = [&held](PointNumber p) { return held.contains(p); };
    size_t j = 0;
    // While rules 2 and 3 can apply, they overwrite entries and doneAdd drops the open slot they
    // leave, so the short list is simply mirrored again after every step.
    for (; j < others.size() && !appendOnly(); ++j) {
        if (j != skip) {
            addConnAsking(mesh, others[j], heldAlready);
            held.insert(others[j]);
        }
        doneAdd();
        if (conns.size() <= 2) {
            held.assign(conns);
        }
    }
    // From here on only rules 1 and 4 apply: nothing is overwritten and no open slot is left
    // behind, so doneAdd has nothing to drop. Whether a point is held decides nothing but
    // whether it is appended, so the points to append are gathered first, in their order,
    // without a branch on the answer (which a processor guesses wrong about half the time in a
    // run removing half of the points), and appended after.
    std::vector<PointNumber>& gained = mesh.scratch().gained;
    if (gained.size() < others.size()) {
        gained.resize(others.size());
    }
    size_t count = 0;
    const auto gather = [&](size_t from, size_t to) {
        count += held.keepMissing(others.data() + from, to - from, gained.data() + count);
    };
    if (j <= skip && skip < others.size()) {
        gather(j, skip);
        gather(skip + 1, others.size());
    } else {
        gather(j, others.size());
    }
    appendConns(mesh, gained.data(), count);
}

void Point::doneAdd() {
    if (!conns.empty() && conns.back() == -1) {
        conns.pop_back();
    }
}

bool Point::alreadyConn(PointNumber whichPoint) const {
    for (const PointNumber entry : conns) {
        if (entry == whichPoint) {
            return true;
        }
    }
    return false;
}

PointNumber Point::connOutOfRange(const Mesh& mesh, PointNumber whichOne) const {
    if (whichOne < 0) {
        throw indexFailure();
    }
    mesh.logMessage("error: getconn called with ", std::to_string(whichOne));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Value

void Point::analyze(const Mesh& mesh) {
    myValue = sumOfUnitVectors(mesh);
    valueDue = false;
}

void Point::reanalyze(const Mesh& mesh) {
    if (mesh.farApartPointsLoaded()) {
        // Only here can the analysis fail, and a failure must stop the run at this point.
        analyze(mesh);
    } else {
        valueDue = true;
    }
}

double Point::sumOfUnitVectors(const Mesh& mesh) const {
    MESHTHIN_EXPECT(!conns.empty(), "a point is analysed only after loadme gave it its list");
    // One unit vector per connection, from the connected point towards this one, summed in
    // list order. Neighbours at the same position contribute the zero vector.
    VectorSum sum;
    const std::span<const PointNumber> entries(conns);
    const size_t paired = addUnitVectorsInPairs(mesh.Points, xPos, yPos, zPos, entries, sum);
    addUnitVectorsOneByOne(mesh.Points, xPos, yPos, zPos, entries.subspan(paired), sum);
    return std::sqrt((sum.x * sum.x + sum.y * sum.y) + sum.z * sum.z);
}

// ---------------------------------------------------------------------------------------------
// Removal

void Point::remove(Mesh& mesh) {
    MESHTHIN_EXPECT(!isRemoved,
                    "a point is removed once: a second rebuilt face would cover the same hole");
    Scratch& work = mesh.scratch();
    FaceList& FacesToReplace = work.facesToReplace;
    std::vector<PointNumber>& neighbours = work.neighbours;
    PointList& newpts = work.newPoints;
    NeighbourGroups& groups = work.groups;

    // 2. (asked first, as the point-to-face index answers it faster for a point not removed yet;
    //    nothing in it reads the mark) Every face that holds the point, in ascending order. Face
    //    numbers are not limited to 16 bits: a mesh may have more faces than points.
    mesh.facesHolding(myNum, mesh.Faces.upperBound(), FacesToReplace);

    // 1. Mark: reInit leaves marked points out, so this point never enters its own replacement
    //    face.
    isRemoved = true;

    // 2. The faces found are marked removed.
    for (int32_t f : FacesToReplace) {
        mesh.Faces(f).remove();
    }

    // 3. Each neighbour drops this point and is connected to this point's other neighbours,
    //    then re-valued at once. The loops walk a copy of the list: a point that is its own
    //    neighbour (a face naming it twice) changes its list inside the loop.
    neighbours.assign(conns.begin(), conns.end());
    // A large neighbourhood of distinct points other than this one becomes a group: every
    // neighbour rewired will hold all the others.
    const int32_t newGroup = formsGroup(mesh, neighbours) ? groups.make(neighbours) : 0;
    // A small neighbourhood of distinct points other than this one is rewired from where each
    // stands; they are taken out of the table again however the rewiring ends.
    NeighbourPlaces& places = work.neighbourPlaces;
    struct TakeOut {
        NeighbourPlaces* places;
        const std::vector<PointNumber>& neighbours;
        ~TakeOut() {
            if (places != nullptr) {
                places->takeOut(neighbours);
            }
        }
    } placed{newGroup == 0 && places.putIn(neighbours, myNum) ? &places : nullptr, neighbours};
    for (size_t i = 0; i < neighbours.size(); ++i) {
        Point& neighbour = mesh.Points(neighbours[i]);
        neighbour.remPoint(mesh, myNum);
        if (newGroup != 0) {
            neighbour.connectWithinGroup(mesh, neighbours, i, newGroup);
        } else if (placed.places != nullptr && neighbour.appendOnly()) {
            neighbour.connectByPlaces(mesh, neighbours, i, places);
        } else {
            neighbour.connectToAllBut(mesh, neighbours, i);
        }
        neighbour.reanalyze(mesh);
        mesh.stepsDone(static_cast<long long>(neighbours.size() + neighbour.conns.size()));
    }

    // 4. The rebuilt face starts from this point's list as step 3 left it: unchanged, as the
    //    point is not among its neighbours when they form a group.
    newpts.assign(conns.begin(), conns.end());

    // 5. One new face at the end of Faces replaces the faces found in step 2. Its points are
    //    this point's list and what the replaced faces add: a replaced face tagged with this
    //    point's group adds nothing.
    const long long newFace = mesh.Faces.upperBound() + 1;
    mesh.Faces.growTo(newFace);
    // Placed neighbours are this point's list, which step 3 left as it was: newpts' points.
    mesh.Faces(newFace).reInit(mesh, newpts, FacesToReplace, groups.groupOf(myNum), placed.places);
    if (newGroup != 0) {
        if (newpts.size() == neighbours.size()) {
            // Nothing was added: the new face holds exactly the group's points, and so every
            // point of a replaced face that is not removed is a member.
            groups.tag(newFace, newGroup);
            for (int32_t f : FacesToReplace) {
                groups.tag(f, newGroup);
            }
        }
        groups.dropIfEmpty(newGroup);
    }
    // A removed point is not asked about again, and its group's members need not be kept for it.
    groups.forget(myNum);
}

void Point::connectByPlaces(Mesh& mesh, const std::vector<PointNumber>& others, size_t skip,
                            const NeighbourPlaces& places) {
    // Distinct others: one that the list lacks is appended, and no later one is the same.
    const uint32_t held = places.maskOf(conns) | uint32_t{1} << skip;
    // places holds at most kMostPlaces others, so the gains fit on the stack.
    std::array<PointNumber, NeighbourPlaces::kMostPlaces> gained;
    size_t count = 0;
    for (uint32_t lacking = ~held & static_cast<uint32_t>((uint64_t{1} << others.size()) - 1);
         lacking != 0; lacking &= lacking - 1) {
        gained[count++] = others[static_cast<size_t>(std::countr_zero(lacking))];
    }
    appendConns(mesh, gained.data(), count);
}

bool Point::formsGroup(Mesh& mesh, const std::vector<PointNumber>& neighbours) const {
    if (neighbours.size() < NeighbourGroups::kSmallestGroup) {
        return false;
    }
    PointSet& seen = mesh.scratch().distinctNeighbours;
    seen.clear();
    seen.insert(myNum);
    for (const PointNumber p : neighbours) {
        if (seen.contains(p)) {
            return false;
        }
        seen.insert(p);
    }
    return true;
}

void Point::connectWithinGroup(Mesh& mesh, const std::vector<PointNumber>& others, size_t skip,
                               int32_t newGroup) {
    MESHTHIN_EXPECT(others[skip] == myNum, "a neighbour is rewired at its own place in the list");
    NeighbourGroups& groups = mesh.scratch().groups;
    const int32_t known = groups.groupOf(myNum);
    if (known != 0 && appendOnly()) {
        // Every member of the known group but this point that is not removed is in the list,
        // so rule 1 applies to it and nothing changes: only the others are asked about, in
        // their order, and with only rules 1 and 4 left, each is appended if the list lacks it.
        const std::vector<uint32_t>& unknown = groups.outside(
            known, newGroup, others, [&mesh](PointNumber p) { return mesh.Points.holds(p); },
            [&mesh](PointNumber p) { return mesh.Points(p).removed(); });
        MESHTHIN_EXPECT((conns.size() > kCheckedLength && myNum % kCheckedEvery != 0) ||
                            holdsFirstKnown(others, unknown, skip),
                        "a point holds every member of its group that is not removed");
        if (unknown.size() <= kSearchedQuestions) {
            for (const uint32_t j : unknown) {
                const PointNumber p = others[j];
                if (j != skip && findEntry(conns, 0, p) == conns.size()) {
                    appendConn(mesh, p);
                }
            }
        } else {
            // Many questions: the list is mirrored in a set once, as connectToAllBut does.
            PointSet& held = mesh.scratch().heldByNeighbour;
            held.assign(conns);
            for (const uint32_t j : unknown) {
                const PointNumber p = others[j];
                if (j != skip && !held.contains(p)) {
                    appendConn(mesh, p);
                    held.insert(p);
                }
            }
        }
    } else {
        connectToAllBut(mesh, others, skip);
        // The rules may have overwritten an entry on the way: the list is asked, through the set
        // that mirrors it, whether it holds the whole group.
        const PointSet& held = mesh.scratch().heldByNeighbour;
        for (size_t j = 0; j < others.size(); ++j) {
            if (j != skip && !held.contains(others[j])) {
                return;
            }
        }
    }
    groups.join(myNum, newGroup);
}

bool Point::holdsFirstKnown(const std::vector<PointNumber>& others,
                            const std::vector<uint32_t>& unknown, size_t skip) const {
    size_t j = 0;  // the first position neither unknown (ascending) nor skip
    for (size_t u = 0; j < others.size(); ++j) {
        if (u < unknown.size() && unknown[u] == j) {
            ++u;
        } else if (j != skip) {
            break;
        }
    }
    return j >= others.size() || findOnlyEntry(conns, others[j]) < conns.size();
}

void Point::remPoint(Mesh& mesh, PointNumber whichOne) {
    if (!mesh.Points.holds(whichOne) || !mesh.Points(whichOne).removed()) {
        mesh.scratch().groups.forget(myNum);  // a member that is not removed may leave the list
    }
    if (whichOne >= 0) {
        // The rules add a point only to a list that lacks it, so a point is in a list once at
        // most: a long list is searched from both ends, and a short one, which is checked, from
        // the front, so that only the entries behind the one found are left to check.
        const bool checked = conns.size() <= kCheckedLength;
        const size_t i = checked ? findEntry(conns, 0, whichOne) : findOnlyEntry(conns, whichOne);
        bool kept = false;
        if (i < conns.size()) {
            if (conns.size() > 1) {
                conns.erase(i);
            } else {
                kept = true;  // a list never shrinks below one entry
            }
        }
        MESHTHIN_EXPECT(!checked || kept || findEntry(conns, i, whichOne) == conns.size(),
                        "the rules never put a point in a list twice");
        return;
    }
    // A negative number, such as the open-slot marker, may stand more than once. Every entry that
    // holds it is taken out, front to back; the entry that moves into the place of one taken out
    // is not examined again. A list never shrinks below one entry.
    size_t i = findEntry(conns, 0, whichOne);
    while (i < conns.size()) {
        if (conns.size() > 1) {
            conns.erase(i);
        }
        i = findEntry(conns, i + 1, whichOne);
    }
}

}  // namespace meshthin
