// SPDX-License-Identifier: GPL-3.0-or-later
// The point-to-face index against a scan of every face: through random removal sequences,
// second runs and writes in between (which shrink and reorder faces), a removal must find
// exactly the faces a full scan finds, in the same order.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "meshio/reduction.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"

namespace meshthin::testing {
namespace {

FaceList fullScan(const Mesh& mesh, PointNumber point) {
    FaceList found;
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        if (mesh.Faces(f).hasPoint(point)) {
            found.push_back(static_cast<int32_t>(f));
        }
    }
    return found;
}

// What a removal of point finds through the index.
FaceList indexed(Mesh& mesh, PointNumber point) {
    FaceList found;
    mesh.facesHolding(point, mesh.Faces.upperBound(), found);
    return found;
}

class FaceIndexTest : public StoreTest {
protected:
    FaceIndexTest() { stopListening(); }  // the walk's diagnostics are not the subject here

    void writeAll() {
        std::ostringstream out;
        writeMeshText(
            mesh, out, dotNumbers, [] {}, [](const std::string&) {});
    }

    // Removes count random points that are not removed yet, checking the index before each.
    void removeRandomPoints(std::mt19937& random, int count) {
        const long long lastPoint = mesh.lastLoadedPoint();
        std::uniform_int_distribution<long long> pick(0, lastPoint);
        for (int n = 0; n < count; ++n) {
            const auto p = static_cast<PointNumber>(pick(random));
            if (mesh.Points(p).removed()) {
                continue;
            }
            ASSERT_EQ(indexed(mesh, p), fullScan(mesh, p)) << "point " << p;
            mesh.Points(p).remove(mesh);
        }
    }

    void checkEveryPoint() {
        for (long long p = 0; p <= mesh.lastLoadedPoint(); ++p) {
            ASSERT_EQ(indexed(mesh, static_cast<PointNumber>(p)),
                      fullScan(mesh, static_cast<PointNumber>(p)))
                << "point " << p;
        }
    }
};

TEST_F(FaceIndexTest, RandomRemovalsWithWritesInBetween) {
    for (unsigned seed : {1u, 2u, 3u}) {
        freshMesh();
        loadAndAnalyze(seed == 2 ? generate::grid(14, 11, 1.0, seed)
                                 : generate::sphere(9, 14, 0.08, seed));
        std::mt19937 random(seed);
        if (seed == 3) {
            writeAll();  // the index is then made from faces the writer has been through
        }
        for (int round = 0; round < 4; ++round) {
            removeRandomPoints(random, 12);
            writeAll();
            checkEveryPoint();
        }
    }
}

TEST_F(FaceIndexTest, SecondRunsAtRisingThresholds) {
    loadAndAnalyze(generate::sphere(12, 20, 0.1, 7));
    for (double threshold : {0.2, 0.2, 0.5, 0.9, 1.5}) {
        removePointsBelow(mesh, threshold, [](long long) {});
        writeAll();
        checkEveryPoint();
    }
}

}  // namespace
}  // namespace meshthin::testing
