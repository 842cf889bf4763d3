// SPDX-License-Identifier: GPL-3.0-or-later
// Searches of a connection list, each a plain form that states the answer and a fast form that
// must give exactly that answer and is the one the program calls.
//
// holdsEither: whether a list holds either of two numbers, the question a face asks of each of
// its points for its two ring neighbours at every load.
// Why a fast form at all: a scan stops after a different number of entries at every face, and a
// processor that guesses that wrong pays more than the comparisons. Comparing the whole of a short
// list in two SSE2 registers (eight entries) asks both questions without a branch per entry; on
// a triangle mesh almost every list has at most eight entries. The compiler does not turn the plain
// loop into this by itself, as it may not read behind the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "model/point_number.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace meshthin {

struct HeldPair {
    bool first = false;
    bool second = false;
};

// The plain scan: whether any entry of list equals first, and whether any equals second.
inline HeldPair holdsEitherPlain(std::span<const PointNumber> list, PointNumber first,
                                 PointNumber second) {
    HeldPair held;
    for (const PointNumber entry : list) {
        held.first |= entry == first;
        held.second |= entry == second;
    }
    return held;
}

// holdsEitherPlain's answer. room is how many entries may be read from list.data() on (the
// list's capacity): with eight of them and a list of at most eight entries, the list is compared
// in one register and what lies behind it is masked off.
inline HeldPair holdsEither(std::span<const PointNumber> list, size_t room, PointNumber first,
                            PointNumber second) {
#if defined(__SSE2__)
    if (list.size() <= 8 && room >= 8) {
        const auto* blocks = reinterpret_cast<const __m128i*>(list.data());
        const __m128i low = _mm_loadu_si128(blocks);
        const __m128i high = _mm_loadu_si128(blocks + 1);
        // Four bits a 32-bit entry in each mask; the entries behind the list are masked off.
        const unsigned inList =
            list.size() == 8 ? ~0u : (1u << (4 * static_cast<unsigned>(list.size()))) - 1;
        const auto hits = [&](PointNumber number) {
            const __m128i sought = _mm_set1_epi32(number);
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi32(low, sought))) |
                   static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi32(high, sought))) << 16;
        };
        HeldPair held;
        held.first = (hits(first) & inList) != 0;
        held.second = (hits(second) & inList) != 0;
        return held;
    }
#else
    (void)room;
#endif
    return holdsEitherPlain(list, first, second);
}

#if defined(__SSE2__)
// Whether any of the 32 entries from entries on equals sought (the number in every lane), with
// one test.
inline bool anyOf32(const PointNumber* entries, __m128i sought) {
    const auto* blocks = reinterpret_cast<const __m128i*>(entries);
    __m128i any = _mm_setzero_si128();
    for (int k = 0; k < 8; ++k) {
        any = _mm_or_si128(any, _mm_cmpeq_epi32(_mm_loadu_si128(blocks + k), sought));
    }
    return _mm_movemask_epi8(any) != 0;
}
#endif

// The position of the first entry at or after from that equals number, or the list's size.
inline size_t findEntryPlain(std::span<const PointNumber> list, size_t from, PointNumber number) {
    for (; from < list.size(); ++from) {
        if (list[from] == number) {
            return from;
        }
    }
    return list.size();
}

// findEntryPlain's answer, four entries at a time. The lists of a deep run hold thousands of
// entries, and every rewired neighbour looks through its list for the removed point and for each
// point it may lack; the compiler keeps the plain loop to one entry at a time, as it may stop at
// any of them.
inline size_t findEntry(std::span<const PointNumber> list, size_t from, PointNumber number) {
#if defined(__SSE2__)
    const __m128i sought = _mm_set1_epi32(number);
    // Thirty-two entries at a time with one test and branch, as most long searches of a deep
    // run do not find what they look for; the block that holds a match is found below.
    for (; from + 32 <= list.size(); from += 32) {
        if (anyOf32(list.data() + from, sought)) {
            break;
        }
    }
    for (; from + 4 <= list.size(); from += 4) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(list.data() + from));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi32(block, sought));
        if (hits != 0) {
            return from + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits))) / 4;
        }
    }
#endif
    return findEntryPlain(list, from, number);
}

// findEntryPlain's answer from the start, for a list that holds number at most once, searched
// from both ends towards the middle, four entries at a time at each. A removal takes its point
// out of every neighbour's list, and where it sits depends on the run: near the front when the
// neighbours gained it long ago, near the back when they gained it from the removal just before.
inline size_t findOnlyEntry(std::span<const PointNumber> list, PointNumber number) {
#if defined(__SSE2__)
    const __m128i sought = _mm_set1_epi32(number);
    size_t front = 0;
    size_t back = list.size();
    // Thirty-two entries at a time at each end while the middle is long, with one test each.
    while (back - front >= 64) {
        if (anyOf32(list.data() + front, sought)) {
            return findEntry(list.first(front + 32), front, number);
        }
        back -= 32;
        if (anyOf32(list.data() + back, sought)) {
            return findEntry(list.first(back + 32), back, number);
        }
        front += 32;
    }
    while (back - front >= 8) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(list.data() + front));
        int hits = _mm_movemask_epi8(_mm_cmpeq_epi32(head, sought));
        if (hits != 0) {
            return front + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits))) / 4;
        }
        back -= 4;
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(list.data() + back));
        hits = _mm_movemask_epi8(_mm_cmpeq_epi32(tail, sought));
        if (hits != 0) {
            return back + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits))) / 4;
        }
        front += 4;
    }
    const size_t at = findEntry(list.first(back), front, number);
    return at < back ? at : list.size();
#else
    return findEntryPlain(list, 0, number);
#endif
}

}  // namespace meshthin
