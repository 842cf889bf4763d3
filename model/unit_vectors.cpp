// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/unit_vectors.h"

#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "model/failure.h"
#include "model/mesh.h"
#include "model/vector.h"

namespace meshthin {

void addUnitVectorsOneByOne(const SlotArray<Point>& Points, double x, double y, double z,
                            std::span<const PointNumber> entries, VectorSum& sum) {
    for (const PointNumber entry : entries) {
        const Point& neighbour = Points(entry);
        const double dx = x - neighbour.getX();
        const double dy = y - neighbour.getY();
        const double dz = z - neighbour.getZ();
        if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) {
            throw overflowFailure();
        }
        Vector towardsThis;
        towardsThis.Start(dx, dy, dz);
        sum.x += towardsThis.gX();
        sum.y += towardsThis.gY();
        sum.z += towardsThis.gZ();
    }
}

size_t addUnitVectorsInPairs(const SlotArray<Point>& Points, double x, double y, double z,
                             std::span<const PointNumber> entries, VectorSum& sum) {
#if defined(__SSE2__)
    const PointNumber* const first = entries.data();
    const PointNumber* const last = first + entries.size();
    const PointNumber* entry = first;
    const __m128d ownX = _mm_set1_pd(x);
    const __m128d ownY = _mm_set1_pd(y);
    const __m128d ownZ = _mm_set1_pd(z);
    const __m128d zero = _mm_setzero_pd();
    const __m128d infinity = _mm_set1_pd(std::numeric_limits<double>::infinity());
    for (; last - entry >= 2; entry += 2) {
        if (!Points.holds(entry[0]) || !Points.holds(entry[1])) {
            break;
        }
        const Point& a = Points(entry[0]);
        const Point& b = Points(entry[1]);
        const __m128d dx = _mm_sub_pd(ownX, _mm_set_pd(b.getX(), a.getX()));
        const __m128d dy = _mm_sub_pd(ownY, _mm_set_pd(b.getY(), a.getY()));
        const __m128d dz = _mm_sub_pd(ownZ, _mm_set_pd(b.getZ(), a.getZ()));
        const __m128d sumOfSquares =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)), _mm_mul_pd(dz, dz));
        // |v| < infinity is false for an infinity and for a NaN. A difference that is not
        // finite makes the sum of squares not finite too.
        const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), sumOfSquares);
        if (_mm_movemask_pd(_mm_cmplt_pd(magnitude, infinity)) != 0b11) {
            break;
        }
        const __m128d length = _mm_sqrt_pd(sumOfSquares);
        // A length of exactly 0 leaves the components as they are.
        const __m128d scaled = _mm_cmpneq_pd(length, zero);
        const __m128d ux =
            _mm_or_pd(_mm_and_pd(scaled, _mm_div_pd(dx, length)), _mm_andnot_pd(scaled, dx));
        const __m128d uy =
            _mm_or_pd(_mm_and_pd(scaled, _mm_div_pd(dy, length)), _mm_andnot_pd(scaled, dy));
        const __m128d uz =
            _mm_or_pd(_mm_and_pd(scaled, _mm_div_pd(dz, length)), _mm_andnot_pd(scaled, dz));
        sum.x += _mm_cvtsd_f64(ux);
        sum.y += _mm_cvtsd_f64(uy);
        sum.z += _mm_cvtsd_f64(uz);
        sum.x += _mm_cvtsd_f64(_mm_unpackhi_pd(ux, ux));
        sum.y += _mm_cvtsd_f64(_mm_unpackhi_pd(uy, uy));
        sum.z += _mm_cvtsd_f64(_mm_unpackhi_pd(uz, uz));
    }
    return static_cast<size_t>(entry - first);
#else
    (void)x;
    (void)y;
    (void)z;
    (void)entries;
    (void)sum;
    return 0;
#endif
}

}  // namespace meshthin
