// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a connection list holds either of two numbers, the question a face asks of each of its
// points for its two ring neighbours at every load. holdsEitherPlain is the rule as written;
// holdsEither must give exactly its answer and is the one the program calls.
//
// Why a fast form at all: a scan stops after a different number of entries at every face, and a
// processor that guesses that wrong pays more than the comparisons. Comparing the whole of a short
// list in one SSE2 register (eight entries) asks both questions without a branch per entry; on a
// triangle mesh almost every list has at most eight entries. The compiler does not turn the plain
// loop into this by itself, as it may not read behind the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace meshthin {

struct HeldPair {
    bool first = false;
    bool second = false;
};

// The plain scan: whether any entry of list equals first, and whether any equals second.
inline HeldPair holdsEitherPlain(std::span<const int16_t> list, int16_t first, int16_t second) {
    HeldPair held;
    for (const int16_t entry : list) {
        held.first |= entry == first;
        held.second |= entry == second;
    }
    return held;
}

// holdsEitherPlain's answer. room is how many entries may be read from list.data() on (the
// list's capacity): with eight of them and a list of at most eight entries, the list is compared
// in one register and what lies behind it is masked off.
inline HeldPair holdsEither(std::span<const int16_t> list, size_t room, int16_t first,
                            int16_t second) {
#if defined(__SSE2__)
    if (list.size() <= 8 && room >= 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(list.data()));
        const int inList = (1 << (2 * list.size())) - 1;
        HeldPair held;
        held.first =
            (_mm_movemask_epi8(_mm_cmpeq_epi16(block, _mm_set1_epi16(first))) & inList) != 0;
        held.second =
            (_mm_movemask_epi8(_mm_cmpeq_epi16(block, _mm_set1_epi16(second))) & inList) != 0;
        return held;
    }
#else
    (void)room;
#endif
    return holdsEitherPlain(list, first, second);
}

}  // namespace meshthin
