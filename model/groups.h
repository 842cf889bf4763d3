// SPDX-License-Identifier: GPL-3.0-or-later
// What a run knows about large neighbourhoods, so that a deep run does not ask again what it has
// just made true.
//
// Removing a point connects every one of its neighbours to all the others, so right after it
// each rewired neighbour's list holds the whole group. The next removal inside that group would
// ask every neighbour, for every other neighbour, whether its list holds it; within the group
// the answer is yes. A group here is the neighbour list of one removal, and a point belongs to
// at most one group, the last one its list is known to hold:
//
//   A point p whose group is g holds in its list every member of g other than p that is not
//   removed.
//
// Lists only lose entries to rule 2 (the one entry overwritten), to remPoint, and to a reload of
// the point; a point's group is forgotten when any of these takes out a point that is not
// removed. Entries appended never break it.
//
// Faces carry a tag: a face tagged g holds no point (other than -1) that is not a member of g.
// Every change of a face's points after it is tagged only takes points out (shrink, the ring
// walk), but for a reload, which forgets the tag. A rebuilt face whose points are exactly a
// removal's group is tagged with it, and so are the faces it replaces.
//
// Knowing that, a removal whose point belongs to g takes nothing from a face tagged g (its
// points are all in the list the rebuilt face starts from), and a neighbour in g asks only about
// the points of the removal's group that are not members of g or are removed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/point_number.h"
#include "model/pointset.h"

namespace meshthin {

class NeighbourGroups {
public:
    // Below this many neighbours a removal is cheap either way, and keeps no group.
    static constexpr size_t kSmallestGroup = 32;

    // The members of all groups kept at once, at most: about 4 MB. A deep run makes a group at
    // nearly every removal, and a group lasts while one point belongs to it; beyond this the
    // oldest groups are forgotten, as what a point knows can always be dropped.
    static constexpr size_t kMostMembers = size_t{1} << 20;

    // A new group of the given points, with no point belonging to it yet. Its number is never
    // given again until clear.
    int32_t make(std::span<const PointNumber> members) {
        memberLists.emplace_back(members.begin(), members.end());
        belonging.push_back(0);
        keptMembers += members.size();
        const auto made = static_cast<int32_t>(memberLists.size() - 1);
        for (; keptMembers > kMostMembers && oldest < made; ++oldest) {
            release(oldest);
        }
        return made;
    }

    // The group of point p, 0 for none (or for a group forgotten).
    int32_t groupOf(PointNumber p) const {
        // A negative number names no point, and so belongs to no group.
        const auto slot = static_cast<size_t>(static_cast<uint32_t>(p));
        const int32_t g = p >= 0 && slot < groups.size() ? groups[slot] : 0;
        return g != 0 && !memberLists[static_cast<size_t>(g)].empty() ? g : 0;
    }
    // p's list holds every member of g but p that is not removed: p now belongs to g.
    void join(PointNumber p, int32_t g) {
        if (p < 0) {
            return;
        }
        const auto slot = static_cast<size_t>(p);
        if (slot >= groups.size()) {
            groups.resize(slot + 1, 0);
        }
        leave(groups[slot]);
        groups[slot] = g;
        ++belonging[static_cast<size_t>(g)];
    }
    // p's list may have lost a member that is not removed.
    void forget(PointNumber p) {
        const auto slot = static_cast<size_t>(static_cast<uint32_t>(p));
        if (p >= 0 && slot < groups.size() && groups[slot] != 0) {
            leave(groups[slot]);
            groups[slot] = 0;
        }
    }
    // Gives back the members of g if no point belongs to it (its number stays used).
    void dropIfEmpty(int32_t g) {
        if (belonging[static_cast<size_t>(g)] == 0) {
            release(g);
        }
    }

    // The positions in others of the points that a point of group g is not known to hold: those
    // that are not members of g, that are removed (removed(p) answers), or for which Points has
    // no slot (holds(p) answers). Worked out once for each group and removal (a removal being
    // known by the number of the group it makes).
    template <class Holds, class Removed>
    const std::vector<uint32_t>& outside(int32_t g, int32_t removal,
                                         std::span<const PointNumber> others, const Holds& holds,
                                         const Removed& removed) {
        if (g != outsideGroup || removal != outsideRemoval) {
            members.assign(memberLists[static_cast<size_t>(g)]);
            outsidePositions.clear();
            for (size_t j = 0; j < others.size(); ++j) {
                const PointNumber p = others[j];
                if (!members.contains(p) || !holds(p) || removed(p)) {
                    outsidePositions.push_back(static_cast<uint32_t>(j));
                }
            }
            outsideGroup = g;
            outsideRemoval = removal;
        }
        return outsidePositions;
    }

    // The tag of face f, 0 for none.
    int32_t tagOf(long long f) const {
        return f >= 0 && static_cast<size_t>(f) < tags.size() ? tags[static_cast<size_t>(f)] : 0;
    }
    void tag(long long f, int32_t g) {
        if (static_cast<size_t>(f) >= tags.size()) {
            tags.resize(static_cast<size_t>(f) + 1, 0);
        }
        tags[static_cast<size_t>(f)] = g;
    }
    void untag(long long f) {
        if (f >= 0 && static_cast<size_t>(f) < tags.size()) {
            tags[static_cast<size_t>(f)] = 0;
        }
    }

    // No groups, no tags.
    void clear() {
        memberLists.assign(1, {});  // number 0 stands for no group
        belonging.assign(1, 0);
        groups = std::vector<int32_t>();
        tags = std::vector<int32_t>();
        outsideGroup = 0;
        outsideRemoval = 0;
        outsidePositions = std::vector<uint32_t>();
        keptMembers = 0;
        oldest = 1;
    }

private:
    void leave(int32_t g) {
        if (g != 0 && --belonging[static_cast<size_t>(g)] == 0) {
            release(g);
        }
    }
    // Gives back the members of g: no point knows anything of it from here on.
    void release(int32_t g) {
        std::vector<PointNumber>& list = memberLists[static_cast<size_t>(g)];
        keptMembers -= list.size();
        // Assigning {} would keep the block: it empties the list and leaves its capacity.
        list = std::vector<PointNumber>();
    }

    std::vector<std::vector<PointNumber>> memberLists = std::vector<std::vector<PointNumber>>(1);
    std::vector<int32_t> belonging = std::vector<int32_t>(1, 0);  // points in each group
    std::vector<int32_t> groups;                                  // by point number
    std::vector<int32_t> tags;                                    // by face number
    PointSet members;                                             // the members of outsideGroup
    int32_t outsideGroup = 0;
    int32_t outsideRemoval = 0;
    std::vector<uint32_t> outsidePositions;
    size_t keptMembers = 0;  // in memberLists
    int32_t oldest = 1;      // the oldest group that may still be kept
};

}  // namespace meshthin
