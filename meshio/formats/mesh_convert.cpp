// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/mesh_convert.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "meshio/parallel.h"
#include "meshio/startup.h"

namespace meshthin::formats {

Mesh meshFromPolygons(const PolygonMesh& polygons) {
    Mesh mesh = meshRecordsFromPolygons(polygons);
    runStartupPasses(mesh);
    return mesh;
}

namespace {

// From this size on, the points' records and the faces' are made on two threads.
constexpr size_t kRecordsOnTwoThreads = 200'000;

// A mesh with a default record in the slot of every point, of the spare slot and of every face.
Mesh emptyRecords(const PolygonMesh& polygons) {
    const size_t pointCount = polygons.pointCount();
    if (pointCount >= static_cast<size_t>(kWidePositionLimit)) {
        throw FormatError("The mesh has " + std::to_string(pointCount) +
                          " points, more than meshthin can number");
    }
    Mesh mesh;
    mesh.setPositionLimit(kWidePositionLimit);
    mesh.Points.reserve(pointCount + 1);
    mesh.Points.growTo(static_cast<long long>(pointCount));
    const size_t faceCount = polygons.faceCount();
    // Every removal appends one face: room for one a point spares a run the copy of every face
    // that growing the array takes (48 MB and as much fresh memory at a million points). Room
    // that is never written takes address space, not memory.
    mesh.Faces.reserve(faceCount + pointCount);
    mesh.Faces.growTo(static_cast<long long>(faceCount) - 1);
    // Made now, rather than by the first point while the faces are being made beside it.
    mesh.scratch();
    return mesh;
}

void fillPointRecords(Mesh& mesh, const PolygonMesh& polygons) {
    const auto spare = static_cast<long long>(polygons.pointCount());
    const double* xyz = polygons.positions.data();
    for (long long i = 0; i < spare; ++i, xyz += 3) {
        mesh.Points(i).setFromFile(mesh, static_cast<PointNumber>(i), xyz[0], xyz[1], xyz[2]);
    }
    // The brace reader's last attempt finds no further group; its slot stays at the origin.
    mesh.Points(spare).setAsSpare(mesh, static_cast<PointNumber>(spare));
}

void fillFaceRecords(Mesh& mesh, const PolygonMesh& polygons) {
    for (size_t f = 0; f < polygons.faceCount(); ++f) {
        mesh.Faces(static_cast<long long>(f)).setFromFile(mesh, polygons.face(f));
    }
}

// The records of meshRecordsFromPolygons; pointsMade is called once the points' are made. A
// large mesh's points and faces are made on two threads, which share the mesh but none of what
// they change: the points' thread owns Points (with the mesh's note of far coordinates and its
// working lists), the faces' thread owns Faces, and a face names points by number only. At a
// million points this takes the records from 95 to 60 ms on the triangle scan.
template <class PointsMade>
Mesh records(const PolygonMesh& polygons, unsigned threadsAllowed, const PointsMade& pointsMade) {
    Mesh mesh = emptyRecords(polygons);
    const size_t size = polygons.pointCount() + polygons.faceCount();
    const size_t threads =
        size >= kRecordsOnTwoThreads ? std::min<size_t>(2, threadsAsked(threadsAllowed)) : 1;
    onThreads(threads, [&](size_t share) {
        if (share == 0) {
            fillPointRecords(mesh, polygons);
            pointsMade();
        }
        if (share + 1 == threads) {
            fillFaceRecords(mesh, polygons);
        }
    });
    return mesh;
}

}  // namespace

Mesh meshRecordsFromPolygons(const PolygonMesh& polygons, unsigned threads) {
    return records(polygons, threads, [] {});
}

Mesh meshRecordsFromPolygons(PolygonMesh&& polygons, unsigned threads) {
    return records(polygons, threads,
                   [&polygons] { MeshArray<double>().swap(polygons.positions); });
}

PolygonMesh polygonsOf(Mesh& mesh, const PolygonMesh* original) {
    PolygonMesh result;
    const bool colours = original != nullptr && original->colourChannels > 0 &&
                         original->colours.size() ==
                             original->pointCount() * static_cast<size_t>(original->colourChannels);
    const bool normals =
        original != nullptr && original->normals.size() == original->pointCount() * 3;
    if (colours) {
        result.colourChannels = original->colourChannels;
    }
    const auto addPoint = [&](long long i) {
        const Point& point = mesh.Points(i);
        result.positions.insert(result.positions.end(), {point.getX(), point.getY(), point.getZ()});
        const auto from = static_cast<size_t>(i);
        const bool carried = from < (original != nullptr ? original->pointCount() : 0);
        if (colours) {
            const auto channels = static_cast<size_t>(original->colourChannels);
            for (size_t c = 0; c < channels; ++c) {
                result.colours.push_back(carried ? original->colours[from * channels + c] : 0);
            }
        }
        if (normals) {
            for (size_t c = 0; c < 3; ++c) {
                result.normals.push_back(carried ? original->normals[from * 3 + c] : 0.0F);
            }
        }
    };

    // Room for every array at once, at most what the faces not removed hold: an array grown
    // step by step would take fresh memory from the system at every step (model/big_blocks.h),
    // which at a million points made writing a third slower.
    const long long spare = mesh.spareSlot();
    const long long lastFace = mesh.Faces.exists() ? mesh.Faces.upperBound() : -1;
    size_t faces = 0;
    size_t cornersAtMost = 0;
    for (long long f = 0; f <= lastFace; ++f) {
        const Face& face = mesh.Faces(f);
        if (!face.removedz() && face.getNum() >= 2) {
            ++faces;
            cornersAtMost += static_cast<size_t>(face.getNum()) + 1;
        }
    }
    result.positions.reserve(3 * static_cast<size_t>(spare + 1));
    result.faceStarts.reserve(faces + 1);
    result.corners.reserve(cornersAtMost);

    // The writer's numbering: every point not removed, in order. The spare slot is numbered
    // last, as the writer does, but kept only when a face names it (a brace file's face may).
    mesh.NextPtOrder = 0;
    for (long long i = 0; i <= spare; ++i) {
        Point& point = mesh.Points(i);
        if (!point.removed()) {
            point.takeOutputNumber(mesh);
            if (i != spare) {
                addPoint(i);
            }
        }
    }
    bool spareNamed = false;
    PointList written;
    for (long long f = 0; f <= lastFace; ++f) {
        if (!mesh.Faces(f).writtenPoints(mesh, written)) {
            continue;
        }
        for (const PointNumber p : written) {
            spareNamed = spareNamed || p == spare;
            result.corners.push_back(static_cast<uint32_t>(mesh.Points(p).getPtOrder()));
        }
        result.faceStarts.push_back(static_cast<uint32_t>(result.corners.size()));
    }
    if (spareNamed) {
        addPoint(spare);
    }
    return result;
}

}  // namespace meshthin::formats
