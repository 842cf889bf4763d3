// SPDX-License-Identifier: GPL-3.0-or-later
// Connection lists, values and the unit vectors behind them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "model/mesh.h"
#include "model/vector.h"
#include "support/store_fixture.h"

namespace meshthin::testing {
namespace {

class ConnectionTest : public StoreTest {
protected:
    // Points 0..count-1 at the given places, no faces, each with its initial list (0).
    void places(const std::vector<std::string>& groups) { load(meshText(groups, {})); }
};

TEST_F(ConnectionTest, AFreshPointHoldsTheSingleEntryZero) {
    places({"(1 2 3)"});
    const Point& p = mesh.Points(0);
    EXPECT_EQ(p.getNumConns(), 0);
    EXPECT_EQ(p.getConn(mesh, 0), 0);
    EXPECT_TRUE(p.alreadyConn(0));
    EXPECT_FALSE(p.removed());
    EXPECT_EQ(p.getPtOrder(), 0);
}

TEST_F(ConnectionTest, AdditionsFollowTheFourRules) {
    places({"(0 0 0)", "(0 0 0)", "(0 0 0)"});
    Point& p = mesh.Points(0);
    p.addConn(mesh, 5);
    p.addConn(mesh, 9);
    p.doneAdd();
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{5, 9}));
    EXPECT_EQ(p.getNumConns(), 1);
    p.addConn(mesh, 9);  // already held: ignored
    p.doneAdd();
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{5, 9}));
    p.addConn(mesh, 3);
    p.doneAdd();
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{5, 9, 3}));

    // A one-entry list is overwritten, not extended.
    Point& q = mesh.Points(1);
    q.addConn(mesh, 5);
    q.doneAdd();
    EXPECT_EQ(listOf(mesh, 1), (std::vector<PointNumber>{5}));
    q.addConn(mesh, 9);
    q.doneAdd();
    EXPECT_EQ(listOf(mesh, 1), (std::vector<PointNumber>{9}));

    // The same number twice leaves one entry, and the second slot stays unused.
    Point& r = mesh.Points(2);
    r.addConn(mesh, 5);
    r.addConn(mesh, 5);
    r.doneAdd();
    EXPECT_EQ(listOf(mesh, 2), (std::vector<PointNumber>{5}));
    r.addConn(mesh, 7);
    r.doneAdd();
    EXPECT_EQ(listOf(mesh, 2), (std::vector<PointNumber>{7}));
}

TEST_F(ConnectionTest, AFaceRegistersBothNeighboursAsTwoAdditionsWould) {
    // Two points take the same random steps, one by single additions and one by pairs: open
    // slots, repeats, the pair's own twin and lists cut back to one entry included.
    places({"(0 0 0)", "(0 0 0)"});
    std::mt19937 random(5);
    std::uniform_int_distribution<int> number(-1, 9);
    for (int step = 0; step < 4000; ++step) {
        const auto first = static_cast<PointNumber>(number(random));
        const auto second = random() % 4 == 0 ? first : static_cast<PointNumber>(number(random));
        if (random() % 6 == 0) {
            for (PointNumber p : {0, 1}) {
                for (const PointNumber entry : listOf(mesh, p)) {
                    mesh.Points(p).remPoint(mesh, entry);
                }
            }
        }
        mesh.Points(0).addConn(mesh, first);
        mesh.Points(0).addConn(mesh, second);
        mesh.Points(0).doneAdd();
        mesh.Points(1).addNeighbours(mesh, first, second);
        ASSERT_EQ(listOf(mesh, 1), listOf(mesh, 0)) << "step " << step;
        ASSERT_EQ(mesh.Points(1).everConnected(), mesh.Points(0).everConnected());
    }
}

TEST_F(ConnectionTest, ReadingPastTheEndIsLoggedAndReadsAsZero) {
    places({"(0 0 0)"});
    Point& p = mesh.Points(0);
    p.addConn(mesh, 5);
    p.addConn(mesh, 9);
    p.doneAdd();
    EXPECT_EQ(p.getConn(mesh, 1), 9);
    EXPECT_EQ(p.getConn(mesh, 2), 0);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "error: getconn called with 2");
    EXPECT_THROW(p.getConn(mesh, -1), Failure);
}

TEST_F(ConnectionTest, RemovingANumberFromTheList) {
    places({"(0 0 0)"});
    Point& p = mesh.Points(0);
    for (PointNumber n : {3, 7, 9}) {
        p.addConn(mesh, n);
    }
    p.doneAdd();
    p.remPoint(mesh, 7);
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{3, 9}));
    p.remPoint(mesh, 7);
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{3, 9}));
    p.remPoint(mesh, 3);
    p.remPoint(mesh, 9);  // the last entry stays: a list is never empty
    EXPECT_EQ(listOf(mesh, 0), (std::vector<PointNumber>{9}));
}

TEST_F(ConnectionTest, UnitVectorsScaleOnlyWhenTheyHaveALength) {
    Vector v;
    v.Start(3, 0, 4);
    EXPECT_DOUBLE_EQ(v.gX(), 0.6);
    EXPECT_DOUBLE_EQ(v.gY(), 0);
    EXPECT_DOUBLE_EQ(v.gZ(), 0.8);
    EXPECT_DOUBLE_EQ(v.gM(), 5);
    v.Start(0, -2, 0);
    EXPECT_EQ(v.gY(), -1);
    EXPECT_EQ(v.gX(), 0);
    v.Start(0, 0, 0);
    EXPECT_EQ(v.gX(), 0);
    EXPECT_EQ(v.gY(), 0);
    EXPECT_EQ(v.gZ(), 0);
    EXPECT_THROW(v.Start(1e200, 0, 0), Failure);
    EXPECT_EQ(v.gX(), 1e200);  // the stored components stay as given
}

TEST_F(ConnectionTest, ValueIsTheLengthOfTheSumOfDirections) {
    stopListening();  // as in the program
    // 0 at the origin; its neighbours around it in the plane.
    places(
        {"(0 0 0)", "(1 0 0)", "(-1 0 0)", "(0 1 0)", "(0 -1 0)", "(5 0 0)", "(0 0 0)", "(7 7 7)"});
    connect(mesh, 0, {1, 2, 3, 4});
    mesh.Points(0).analyze(mesh);
    EXPECT_NEAR(mesh.Points(0).getValue(), 0, 1e-15);

    connect(mesh, 6, {1, 3});  // point 6 is at the origin too
    mesh.Points(6).analyze(mesh);
    EXPECT_DOUBLE_EQ(mesh.Points(6).getValue(), std::sqrt(2.0));

    // Two neighbours in one direction count twice, whatever their distance.
    connect(mesh, 3, {6, 0});  // point 3 at (0,1,0) sees 0 and 6 both at the origin
    mesh.Points(3).analyze(mesh);
    EXPECT_DOUBLE_EQ(mesh.Points(3).getValue(), 2);

    // A point in no face keeps (0) and is measured against point 0.
    mesh.Points(7).analyze(mesh);
    EXPECT_DOUBLE_EQ(mesh.Points(7).getValue(), 1);
    mesh.Points(6).remPoint(mesh, 1);
    mesh.Points(6).remPoint(mesh, 3);  // back to a single entry
    mesh.Points(6).addConn(mesh, 0);
    mesh.Points(6).doneAdd();
    mesh.Points(6).analyze(mesh);  // its only neighbour lies where it lies
    EXPECT_EQ(mesh.Points(6).getValue(), 0);
}

TEST_F(ConnectionTest, CoordinatesThatOverflowFailTheAnalysis) {
    places({"(1E200 0 0)", "(-1E200 0 0)", "(1.7E308 0 0)", "(-1.7E308 0 0)"});
    mesh.Points(0).addConn(mesh, 1);
    mesh.Points(0).doneAdd();
    EXPECT_THROW(mesh.Points(0).analyze(mesh), Failure);  // the square of 2e200 overflows
    mesh.Points(2).addConn(mesh, 3);
    mesh.Points(2).doneAdd();
    EXPECT_THROW(mesh.Points(2).analyze(mesh), Failure);  // the difference itself overflows
}

TEST_F(ConnectionTest, EveryDirectionCountsInListOrderWhereverTheListIsCut) {
    stopListening();
    // Lists of every length up to seven, with a neighbour at the point's own place at the start,
    // in the middle and at the end: each value equals the directions summed one by one.
    const std::vector<std::string> groups = {"(0.3 -1.7 2.9)",   "(1.1 0.25 -3)", "(0.3 -1.7 2.9)",
                                             "(-7 4.5 0.125)",   "(2e-3 9 1)",    "(1e10 -1e-10 3)",
                                             "(-0.5 -0.5 -0.5)", "(6 6 -6)"};
    const std::vector<PointNumber> order = {2, 1, 3, 4, 5, 6, 7};
    for (size_t length = 1; length <= order.size(); ++length) {
        for (size_t shift = 0; shift < length; ++shift) {
            std::vector<PointNumber> to(order.begin(), order.begin() + static_cast<long>(length));
            std::rotate(to.begin(), to.begin() + static_cast<long>(shift), to.end());
            freshMesh();
            places(groups);
            connect(mesh, 0, to);
            mesh.Points(0).analyze(mesh);
            double sumX = 0;
            double sumY = 0;
            double sumZ = 0;
            for (const PointNumber n : to) {
                Vector v;
                v.Start(0.3 - mesh.Points(n).getX(), -1.7 - mesh.Points(n).getY(),
                        2.9 - mesh.Points(n).getZ());
                sumX += v.gX();
                sumY += v.gY();
                sumZ += v.gZ();
            }
            EXPECT_EQ(mesh.Points(0).getValue(), std::sqrt(sumX * sumX + sumY * sumY + sumZ * sumZ))
                << "list of " << length << " turned by " << shift;
        }
    }

    // A pair too far apart fails the analysis wherever it stands in the list, and a number with
    // no slot fails it too; whichever comes first is what the user is told.
    const std::string overflow = overflowFailure().what();
    const std::string missing = indexFailure().what();
    for (const auto& [to, expected] :
         std::vector<std::pair<std::vector<PointNumber>, std::string>>{{{1, 3}, overflow},
                                                                       {{3, 1}, overflow},
                                                                       {{1, 2, 3}, overflow},
                                                                       {{3, 500}, overflow},
                                                                       {{1, 3, 500}, overflow},
                                                                       {{1, 500, 3}, missing},
                                                                       {{500, 3}, missing}}) {
        freshMesh();
        places({"(1 2 3)", "(4 5 6)", "(7 8 9)", "(1.7E308 0 1)"});
        connect(mesh, 0, to);
        try {
            mesh.Points(0).analyze(mesh);
            ADD_FAILURE() << "no failure for a list of " << to.size();
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.what(), expected) << "list of " << to.size() << " from " << to[0];
        }
    }
}

TEST_F(ConnectionTest, AListPassesSixteenBitsOnlyInAMeshWithoutTheBraceLimit) {
    // One point gains 34,000 connections, one at a time: in a mesh read from the
    // brace format the entry that makes the last index pass 32,767 is the overflow, in any other
    // the list simply grows.
    constexpr PointNumber kOthers = 34000;
    for (const long long limit : {kBracePositionLimit, kWidePositionLimit}) {
        freshMesh();
        mesh.setPositionLimit(limit);
        mesh.Points.growTo(kOthers);
        for (PointNumber p = 0; p <= kOthers; ++p) {
            mesh.Points(p).loadme(mesh, "(0 0 0)", 1, p, dotNumbers);
        }
        Point& hub = mesh.Points(0);
        try {
            for (PointNumber p = 1; p <= kOthers; ++p) {
                hub.addConn(mesh, p);
            }
            hub.doneAdd();
            EXPECT_EQ(limit, kWidePositionLimit) << "no overflow in a brace mesh";
            EXPECT_EQ(hub.getNumConns(), kOthers - 1);
            EXPECT_EQ(hub.getConn(mesh, kOthers - 1), kOthers);
        } catch (const Failure& failure) {
            EXPECT_EQ(limit, kBracePositionLimit) << failure.what();
            EXPECT_EQ(failure.what(), std::string(overflowFailure().what()));
            EXPECT_EQ(hub.getNumConns(), INT16_MAX) << "the list stops at the entry that fails";
        }
    }
}

}  // namespace
}  // namespace meshthin::testing
