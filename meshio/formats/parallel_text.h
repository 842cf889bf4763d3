// SPDX-License-Identifier: GPL-3.0-or-later
// Text made of many independent lines, made on every core. Formatting the numbers of a
// million-point OBJ file is most of its writing time (about 0.4 s of 0.65 s on one core), and
// each line depends on nothing but its own point or face, so ranges of lines are formatted on
// threads of their own into texts of their own and appended in order: the bytes are those of one
// thread. The ranges and their texts are each owned by one thread until it is joined; the
// caller's text takes the first range, on the calling thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "meshio/parallel.h"

namespace meshthin::formats::detail {

// Below this many lines a thread costs more than it saves.
inline constexpr size_t kLinesPerThread = 50'000;

// The threads worth starting for count lines: up to threads (0: every core), but at least
// kLinesPerThread lines each.
inline size_t textThreadsFor(size_t count, unsigned threads) {
    return std::max<size_t>(1, std::min(threadsAsked(threads), count / kLinesPerThread));
}

// Appends to out the text of lines 0 to count - 1, which format(text, first, end) appends for
// lines first to end - 1, on up to threads threads (0: every core). format runs on several
// threads at once, on separate ranges and texts; what one of them throws is thrown here, after
// every thread has ended.
template <class Format>
void appendLines(std::string& out, size_t count, unsigned threads, const Format& format) {
    const size_t used = textThreadsFor(count, threads);
    // The first range goes straight into out; the others into texts of their own.
    std::vector<std::string> texts(used);
    const size_t share = (count + used - 1) / used;
    onThreads(used, [&](size_t t) {
        format(t == 0 ? out : texts[t], std::min(count, t * share),
               std::min(count, (t + 1) * share));
    });
    size_t total = out.size();
    for (const std::string& text : texts) {
        total += text.size();
    }
    out.reserve(total);
    for (std::string& text : texts) {
        out += text;
        std::string().swap(text);  // each part is let go as soon as it is in place
    }
}

}  // namespace meshthin::formats::detail
