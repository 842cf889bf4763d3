// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's dry run, away from the window: what a run at a threshold would remove, found
// by the run's own walk in a child process that fork() gives a copy of the whole program.
//
// Why a process. The mesh store is one global mesh (Points, Faces), and the walk changes it as
// it goes. A dry run on the window's thread, with a snapshot taken and put back around it, holds
// the window for as long as the walk lasts, and one removal of a large neighbourhood can take
// seconds, so that neither painting nor dragging nor typing could go on; letting events run in
// the middle of it (as the real run does) would let a handler read the half-run store (the
// statistics read every value at every slider step). A thread would need a store of its own,
// and the store is global. A forked child has exactly that: its own copy of the store, copied
// page by page only as the walk writes it. So the store that the window and its handlers read is
// never changed at all, the window never waits, and a dry run that a newer threshold overtakes
// is stopped at once by a signal, wherever it is.
//
// The child runs only the model's code and writes one message into a pipe: the number of
// removed points, then their numbers, or -1 when the walk failed. It never returns into the
// program: it ends with _exit, so nothing of the window (no destructor, no display connection)
// runs in it. glibc keeps the allocator usable in the child of a threaded program.
//
// Expects to be driven from the one thread that changes the store, and started only between
// changes (never while a run is in progress), so that the child copies a whole mesh.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace meshthin {

class BackgroundDryRun {
public:
    BackgroundDryRun() = default;
    ~BackgroundDryRun();
    BackgroundDryRun(const BackgroundDryRun&) = delete;
    BackgroundDryRun& operator=(const BackgroundDryRun&) = delete;

    // Starts a dry run at threshold, stopping one still going. False when no process could be
    // made (the dry run has then not started).
    bool start(double threshold);
    // Stops the dry run in progress, if any; its result is never read.
    void cancel();
    bool running() const { return child > 0; }
    // The descriptor that becomes readable when the child has written or ended; -1 when none
    // runs. The window watches it.
    int resultDescriptor() const { return readEnd; }
    double threshold() const { return startedAt; }

    // Reads what the child has written so far without waiting. Once the child has ended: the
    // points it removed, or an empty optional when it failed (the dry run is then over either
    // way, and running() is false). Before that: nullopt, and running() stays true.
    struct Outcome {
        bool finished = false;
        std::optional<std::vector<int16_t>> removed;
    };
    Outcome collect();

    // Blocks until the dry run in progress has ended and returns what collect would: for tests,
    // benchmarks and tools, never for the window.
    Outcome wait();

private:
    void reap(bool kill);

    pid_t child = -1;
    int readEnd = -1;
    double startedAt = 0;
    std::vector<char> received;
};

}  // namespace meshthin
