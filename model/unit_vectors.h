// SPDX-License-Identifier: GPL-3.0-or-later
// The sum at the heart of a point's value: one unit vector per connection, from the connected
// point towards the point, added component by component in list order.
//
// addUnitVectorsOneByOne is the sum as the value is defined, one Vector::Start per connection.
// addUnitVectorsInPairs must give the same sums, bit for bit, for the entries it takes, and
// leaves the rest to the plain form; a change to Vector::Start is a change to both. Why a paired
// form: the analysis waits on the divider, and SSE2 divides two numbers in the time of one; a
// packed square root or quotient is rounded exactly as a single one, so each half of a register
// sees the operations of Vector::Start in their order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "model/mesh.h"

namespace meshthin {

struct VectorSum {
    double x = 0;
    double y = 0;
    double z = 0;
};

// Adds to sum the unit vectors from the points of Points numbered in entries towards (x, y, z), in
// order. A number Points has no slot for is an index Failure, and a difference that is not finite
// the overflow Failure: the sum then holds the vectors before it.
void addUnitVectorsOneByOne(const SlotArray<Point>& Points, double x, double y, double z,
                            std::span<const PointNumber> entries, VectorSum& sum);

// The same for the entries from the start, two at a time, stopping before a pair that names a
// point Points has no slot for or meets a number that is not finite (so that the plain form,
// taking over there, fails where it fails) and before a last single entry. Returns how many
// entries it added. Without SSE2 it adds none.
size_t addUnitVectorsInPairs(const SlotArray<Point>& Points, double x, double y, double z,
                             std::span<const PointNumber> entries, VectorSum& sum);

}  // namespace meshthin
