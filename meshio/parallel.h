// SPDX-License-Identifier: GPL-3.0-or-later
// Work shared out over threads, for the steps that are parallel by nature: reading a file's
// numbers, computing the start-up values, formatting the output. Each share is owned by the
// thread that works on it until that thread is joined; whatever the shares have in common must be
// left unchanged meanwhile.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace meshthin {

// The threads asked for: threads, or every core for 0.
inline size_t threadsAsked(unsigned threads) {
    return threads != 0 ? threads : std::max(1U, std::thread::hardware_concurrency());
}

// Runs share(0) to share(count - 1), share(0) on the calling thread and each other on a thread of
// its own, and returns when all have ended. What the shares throw is thrown then, the lowest
// share's.
template <class Share>
void onThreads(size_t count, const Share& share) {
    if (count <= 1) {
        share(0);
        return;
    }
    std::vector<std::exception_ptr> thrown(count);
    const auto run = [&](size_t t) {
        try {
            share(t);
        } catch (...) {
            thrown[t] = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        helpers.reserve(count - 1);
        for (size_t t = 1; t < count; ++t) {
            helpers.emplace_back(run, t);
        }
        run(0);
    }
    for (const std::exception_ptr& failure : thrown) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

// Runs range(first, end) over 0..count cut into equal shares, one a thread, on up to threads
// threads (0: every core) and no more than one for every perThread; on the calling thread alone
// where that makes one share. What a share throws is thrown here, the first share's first.
template <class Range>
void inShares(long long count, unsigned threads, long long perThread, const Range& range) {
    const auto useful = static_cast<size_t>(
        std::min<long long>(static_cast<long long>(threadsAsked(threads)), count / perThread));
    if (useful <= 1) {
        range(0LL, count);
        return;
    }
    const long long share =
        (count + static_cast<long long>(useful) - 1) / static_cast<long long>(useful);
    onThreads(useful, [&](size_t t) {
        const auto first = static_cast<long long>(t) * share;
        range(first, std::min(count, first + share));
    });
}

}  // namespace meshthin
