// SPDX-License-Identifier: GPL-3.0-or-later
// Each hand-written fast form of the model gives exactly what its plain twin gives: the
// two-number list search, the search from both ends, the paired unit vectors, and the checks that
// guard the shared memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <iomanip>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/list_memory.h"
#include "model/list_search.h"
#include "model/mesh.h"
#include "model/unit_vectors.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

// A small number, or one that agrees with it in its low 16 bits: a search that compared only
// those would find the one for the other.
PointNumber wide(int small, std::mt19937& random) {
    return small >= 0 && random() % 2 == 0 ? small + 0x10000 : small;
}

TEST(ListSearch, HoldsEitherAnswersAsThePlainScan) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> number(-1, 12);
    for (int round = 0; round < 20000; ++round) {
        // Lists of every length around the register's eight entries, with room to spare or not;
        // what lies behind the list is filled with the numbers sought, which must not count.
        const size_t size = static_cast<size_t>(round % 12);
        const size_t room = size + static_cast<size_t>(round % 3 == 0 ? 0 : round % 9);
        std::vector<PointNumber> storage(std::max<size_t>(room, 1));
        for (PointNumber& entry : storage) {
            entry = wide(number(random), random);
        }
        const std::span<const PointNumber> list(storage.data(), size);
        const auto first = wide(number(random), random);
        const auto second = wide(number(random), random);
        const HeldPair fast = holdsEither(list, room, first, second);
        const HeldPair plain = holdsEitherPlain(list, first, second);
        ASSERT_EQ(fast.first, plain.first) << "round " << round;
        ASSERT_EQ(fast.second, plain.second) << "round " << round;
    }
}

TEST(ListSearch, FindEntryFindsWhatThePlainScanFinds) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> number(0, 40);
    for (int round = 0; round < 20000; ++round) {
        // Lists of every length around the blocks of eight and thirty-two, searched from every
        // place, with repeated numbers: the first match at or after the start counts.
        const size_t size = static_cast<size_t>(round % 80);
        std::vector<PointNumber> list(size);
        for (PointNumber& entry : list) {
            entry = wide(number(random), random);
        }
        const size_t from = size == 0 ? 0 : static_cast<size_t>(random()) % (size + 1);
        const auto sought = wide(number(random), random);
        ASSERT_EQ(findEntry(list, from, sought), findEntryPlain(list, from, sought))
            << "round " << round;
    }
}

TEST(ListSearch, FindOnlyEntryFindsWhatTheScanFromTheFrontFinds) {
    std::mt19937 random(5);
    for (int round = 0; round < 20000; ++round) {
        // Distinct entries, as a connection list holds them, at every length around the blocks
        // of eight and thirty-two taken from either end; the number sought is at every place, or
        // nowhere.
        const size_t size = static_cast<size_t>(round % 160);
        std::vector<PointNumber> list(size);
        std::iota(list.begin(), list.end(), PointNumber{100});
        std::shuffle(list.begin(), list.end(), random);
        const auto sought = static_cast<PointNumber>(99 + static_cast<int>(random() % (size + 2)));
        ASSERT_EQ(findOnlyEntry(list, sought), findEntryPlain(list, 0, sought))
            << "round " << round;
    }
}

class UnitVectorTest : public StoreTest {
protected:
    // The sum over entries, paired as far as the paired form goes and one by one for the rest.
    VectorSum paired(const Point& p, std::span<const PointNumber> entries) const {
        VectorSum sum;
        const size_t done =
            addUnitVectorsInPairs(mesh.Points, p.getX(), p.getY(), p.getZ(), entries, sum);
        addUnitVectorsOneByOne(mesh.Points, p.getX(), p.getY(), p.getZ(), entries.subspan(done),
                               sum);
        return sum;
    }
    VectorSum oneByOne(const Point& p, std::span<const PointNumber> entries) const {
        VectorSum sum;
        addUnitVectorsOneByOne(mesh.Points, p.getX(), p.getY(), p.getZ(), entries, sum);
        return sum;
    }
    static void expectSameBits(const VectorSum& a, const VectorSum& b) {
        EXPECT_EQ(std::bit_cast<uint64_t>(a.x), std::bit_cast<uint64_t>(b.x));
        EXPECT_EQ(std::bit_cast<uint64_t>(a.y), std::bit_cast<uint64_t>(b.y));
        EXPECT_EQ(std::bit_cast<uint64_t>(a.z), std::bit_cast<uint64_t>(b.z));
    }
};

TEST_F(UnitVectorTest, PairedVectorsAddWhatOneByOneAdds) {
    // Points on a coarse lattice, so that many coincide (the zero vector) and many differences
    // are exact, with tiny and huge scales among them.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> cell(-3, 3);
    const double scales[] = {1e-300, 1e-5, 1, 3.7, 1e150};
    std::vector<std::string> groups;
    for (int i = 0; i < 60; ++i) {
        const double scale = scales[i % 5];
        std::ostringstream group;
        group << std::setprecision(17) << '(' << cell(random) * scale << ' ' << cell(random) * scale
              << ' ' << cell(random) * scale << ')';
        groups.push_back(group.str());
    }
    load(meshText(groups, {}));
    std::uniform_int_distribution<int> pick(0, 59);
    for (int round = 0; round < 3000; ++round) {
        std::vector<PointNumber> entries(static_cast<size_t>(round % 17));
        for (PointNumber& entry : entries) {
            entry = static_cast<PointNumber>(pick(random));
        }
        const Point& p = mesh.Points(pick(random));
        expectSameBits(paired(p, entries), oneByOne(p, entries));
    }
}

TEST_F(UnitVectorTest, PairedVectorsStopWhereTheOneByOneSumFails) {
    load(meshText({"(0 0 0)", "(1 2 3)", "(-4 5 0.5)", "(1E+300 0 0)", "(-1E+300 0 0)"}, {}));
    const Point& origin = mesh.Points(0);
    // A number with no slot: the pairs stop before its pair, the plain sum fails at it.
    const std::vector<PointNumber> missing{1, 2, 1, 999, 2, 2};
    VectorSum sum;
    EXPECT_LE(addUnitVectorsInPairs(mesh.Points, 0, 0, 0, missing, sum), 2u);
    EXPECT_THROW(paired(origin, missing), Failure);
    // Points so far apart that the square of their distance overflows.
    const std::vector<PointNumber> far{1, 2, 4, 2};
    EXPECT_THROW(paired(mesh.Points(3), far), Failure);
    EXPECT_THROW(oneByOne(mesh.Points(3), far), Failure);
    const std::vector<PointNumber> near{1, 2, 2, 1, 0};
    expectSameBits(paired(origin, near), oneByOne(origin, near));
}

#if MESHTHIN_CHECKS
TEST(MeshChecks, AskingTheBoundsOfAnAbsentArrayIsAFaultOfOurs) {
    const Mesh mesh;
    EXPECT_DEATH(mesh.Points.upperBound(), "only once a mesh is loaded");
}
#endif

}  // namespace
}  // namespace meshthin::testing
