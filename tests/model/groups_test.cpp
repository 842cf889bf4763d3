// SPDX-License-Identifier: GPL-3.0-or-later
// What the removals know about large neighbourhoods: which points belong to which group, the
// questions a group leaves open, and that knowledge is dropped, never kept wrongly.
#include "model/groups.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <numeric>
#include <vector>

namespace meshthin::testing {
namespace {

std::vector<PointNumber> numbers(PointNumber first, size_t count) {
    std::vector<PointNumber> list(count);
    std::iota(list.begin(), list.end(), first);
    return list;
}

TEST(NeighbourGroups, APointBelongsToItsLastGroupUntilItsListMayHaveLostAMember) {
    NeighbourGroups groups;
    const int32_t first = groups.make(numbers(0, 40));
    const int32_t second = groups.make(numbers(20, 40));
    EXPECT_NE(first, second);
    EXPECT_EQ(groups.groupOf(5), 0);
    groups.join(5, first);
    groups.join(6, first);
    EXPECT_EQ(groups.groupOf(5), first);
    groups.join(5, second);
    EXPECT_EQ(groups.groupOf(5), second);
    groups.forget(6);  // the last point of the first group: its members go
    EXPECT_EQ(groups.groupOf(6), 0);
    groups.join(6, first);  // a group given back is known to no point again
    EXPECT_EQ(groups.groupOf(6), 0);
    groups.clear();
    EXPECT_EQ(groups.groupOf(5), 0);
}

TEST(NeighbourGroups, OnlyPointsOutsideTheGroupOrRemovedAreLeftToAsk) {
    NeighbourGroups groups;
    const int32_t known = groups.make(std::vector<PointNumber>{1, 2, 3, 4, 5});
    groups.join(9, known);
    const std::vector<PointNumber> others{3, 7, 5, 4, 900, 1};
    const auto holds = [](PointNumber p) { return p < 100; };
    const auto removed = [](PointNumber p) { return p == 4; };
    EXPECT_EQ(groups.outside(known, 50, others, holds, removed), (std::vector<uint32_t>{1, 3, 4}));
    // Worked out once per removal: asked again for the same removal, the answer stands.
    const auto nothingRemoved = [](PointNumber) { return false; };
    EXPECT_EQ(groups.outside(known, 50, others, holds, nothingRemoved),
              (std::vector<uint32_t>{1, 3, 4}));
    EXPECT_EQ(groups.outside(known, 51, others, holds, nothingRemoved),
              (std::vector<uint32_t>{1, 4}));
}

TEST(NeighbourGroups, BeyondTheirShareOfMemoryTheOldestGroupsAreForgotten) {
    NeighbourGroups groups;
    const std::vector<PointNumber> members = numbers(0, 4096);
    std::vector<int32_t> made;
    for (size_t i = 0; i * members.size() <= 2 * NeighbourGroups::kMostMembers; ++i) {
        made.push_back(groups.make(members));
        groups.join(static_cast<PointNumber>(i), made.back());
    }
    EXPECT_EQ(groups.groupOf(0), 0);
    const auto last = static_cast<PointNumber>(made.size() - 1);
    EXPECT_EQ(groups.groupOf(last), made.back());
    // Faces keep their tags; a tag only ever matches a group a point still knows.
    groups.tag(7, made.front());
    EXPECT_EQ(groups.tagOf(7), made.front());
    groups.untag(7);
    EXPECT_EQ(groups.tagOf(7), 0);
}

TEST(NeighbourGroups, AGroupGivenBackFreesItsMembers) {
    // A point moving from group to group leaves one group alive at a time; the members of the
    // groups given back must not stay allocated (a thousand groups of 4,096 members are 8 MB).
    NeighbourGroups groups;
    const std::vector<PointNumber> members = numbers(0, 4096);
    const auto inUse = [] { return static_cast<long long>(mallinfo2().uordblks); };
    const long long before = inUse();
    for (int i = 0; i < 1000; ++i) {
        groups.join(1, groups.make(members));
    }
    EXPECT_LT(inUse() - before, 1LL << 20);
    EXPECT_NE(groups.groupOf(1), 0);
}

}  // namespace
}  // namespace meshthin::testing
