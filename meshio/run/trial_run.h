// SPDX-License-Identifier: GPL-3.0-or-later
// What a reduction run at a threshold would remove, found off the caller's thread: the run's own
// walk (removeAndListPointsBelow) on a copy of the mesh, on a thread of its own, so that the
// window goes on painting and answering however long the walk takes. A newer trial stops the
// one still going at its next checkpoint (a fraction of a millisecond of work), and a stopped
// trial reports nothing.
//
// Threads: start, cancel, running and wait are called from one thread (the window's). The mesh
// a trial reads is shared and immutable (std::shared_ptr<const Mesh>); the trial's copy and its
// result belong to the trial's thread until the result is handed over, by value, to done.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "model/mesh.h"

namespace meshthin {

class TrialRun {
public:
    struct Outcome {
        uint64_t trial = 0;  // the number start gave the trial
        double threshold = 0;
        // The points the run would remove, ascending; nothing when the walk failed.
        std::optional<std::vector<int32_t>> removed;
        // Why the walk failed: its Failure's text, or "Not enough memory to run at this
        // threshold" when the memory ran out.
        std::string failure;
    };
    // Called on the trial's thread with the outcome of a trial that was not stopped.
    using Done = std::function<void(const Outcome&)>;

    TrialRun() = default;
    // Stops every trial and waits for its thread.
    ~TrialRun();
    TrialRun(const TrialRun&) = delete;
    TrialRun& operator=(const TrialRun&) = delete;

    // Starts a trial at threshold on mesh, stopping the one still going, and returns its number.
    // Never waits for the trial stopped.
    uint64_t start(std::shared_ptr<const Mesh> mesh, double threshold, Done done = {});
    // Stops the trial in progress, if any; it reports nothing.
    void cancel();
    // The number of the latest trial started: an outcome of any other is out of date.
    uint64_t latest() const { return started; }
    bool running() const;

    // Blocks until the latest trial has ended and returns its outcome: for tests, benchmarks and
    // tools, never for the window. A cancelled trial gives an outcome without removed points.
    Outcome wait();

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable ended;
        uint64_t finished = 0;  // the latest trial that has ended, stopped or not
        Outcome outcome;        // of the latest trial that ended unstopped
    };
    // A trial's thread, and whether it has ended (set last thing on the thread).
    struct Thread {
        std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
        std::jthread thread;
    };
    static void work(std::stop_token stop, const std::shared_ptr<Shared>& shared, uint64_t trial,
                     const std::shared_ptr<const Mesh>& mesh, double threshold,
                     const Done& done) noexcept;
    // Keeps the outcome for wait, marks the trial ended and calls done, unless it was stopped.
    static void handOver(const std::shared_ptr<Shared>& shared, const Outcome& outcome,
                         bool wasStopped, const Done& done);
    // Joins the threads of stopped trials that have ended: none is waited for.
    void reapStopped();

    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    Thread current;
    std::vector<Thread> stopped;  // asked to stop, perhaps still ending
    uint64_t started = 0;
};

}  // namespace meshthin
