// SPDX-License-Identifier: GPL-3.0-or-later
// The working lists of the removal, the rebuild, the ring walk and the face writer, kept from one
// call to the next so that a run allocates only for what it adds to the mesh. They hold nothing
// between calls that a later call reads (every user fills what it uses before it reads it), but
// for the groups, which say what the lists of the mesh are known to hold. Each mesh owns one, made
// at its first use; a copy of a mesh starts without.
//
// No user of a list here starts another user of the same list: a removal never starts another
// removal, and the writer's ring walk runs outside any removal.
#pragma once

#include <cstdint>
#include <vector>

#include "model/face.h"
#include "model/groups.h"
#include "model/neighbour_places.h"
#include "model/pointset.h"

namespace meshthin {

struct Scratch {
    // Point::remove: the faces it replaces, a copy of its list, and the start of the new face.
    FaceList facesToReplace;
    std::vector<PointNumber> neighbours;
    PointList newPoints;
    // Point::remove: where each of a small neighbourhood stands; empty between removals.
    NeighbourPlaces neighbourPlaces;
    // Point::connectToAllBut: the rewired neighbour's list, mirrored for rule 1, and the points
    // it gains.
    PointSet heldByNeighbour;
    std::vector<PointNumber> gained;
    // Face::reInit: the rebuilt face's points so far.
    PointSet heldByNewFace;
    // Face::fixOrder: the walk as it is stored, the face's points, and the points walked.
    PointList walkOrder;
    PointSet faceCollection;
    PointSet walked;
    // Face::writeOut: the line being made.
    std::vector<char> line;
    // The points of the face the writer is at.
    PointList written;
    // Point::remove: whether its neighbours are distinct, asked of large neighbourhoods only.
    PointSet distinctNeighbours;
    // What the removals know about large neighbourhoods (model/groups.h). Unlike the lists above
    // it lasts from one removal to the next, and it is true of the mesh it belongs to, so a copy
    // of the mesh starts without it.
    NeighbourGroups groups;

    // Empties every list and gives its memory back; the sets keep their tables. (A list assigned
    // {} would keep its block: that empties it and leaves its capacity.)
    void clear() {
        facesToReplace = FaceList();
        neighbours = std::vector<PointNumber>();
        newPoints = PointList();
        walkOrder = PointList();
        line = std::vector<char>();
        written = PointList();
        gained = std::vector<PointNumber>();
        heldByNeighbour.clear();
        heldByNewFace.clear();
        faceCollection.clear();
        walked.clear();
        distinctNeighbours.clear();
        groups.clear();
    }
};

}  // namespace meshthin
