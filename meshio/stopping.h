// SPDX-License-Identifier: GPL-3.0-or-later
// Long work that stays responsive and can be stopped. A removal run may take minutes (every
// removal rewires every pair of a neighbourhood that grows as the run goes), so while it runs
// the window keeps painting and answering the desktop, and the user can end it: closing the
// window, or Ctrl+C and SIGTERM on the command line. Stopping abandons the work where it is;
// the half-changed mesh is never written and the user's file stays as it was.
#pragma once

#include <chrono>
#include <functional>

#include "meshio/window.h"
#include "model/mesh.h"

namespace meshthin {

// Thrown through the run and the writer when the user stops them. Deliberately not a
// std::exception: no failure handler may catch it and report it, or write anything after it.
struct RunStopped {};

// The longest the window goes without a round of events while work runs, well within the
// 100 ms after which a user sees a window stall.
inline constexpr std::chrono::milliseconds kEventInterval{50};

// The window's one event pump. While alive it is the model's checkpoint: the model's long work
// (the removal walk, stepsDone in model/mesh.h) lets the window's pending events run at least
// every kEventInterval and throws RunStopped once the window is closing. The reduction run
// (Command1_Click) makes one for the run and hands it to the writer, which calls it before every
// line it writes.
class WindowCheckpoints : public RunObserver {
public:
    WindowCheckpoints(Window& window, Mesh& mesh);
    WindowCheckpoints(const WindowCheckpoints&) = delete;
    WindowCheckpoints& operator=(const WindowCheckpoints&) = delete;

    // The same check for work outside the model, called once per item (a line takes well under
    // a microsecond): the clock, which costs nearly as much, is read every kItemsPerLook items.
    void operator()();
    void checkpoint() override { look(); }

    static constexpr unsigned kItemsPerLook = 64;

private:
    // Lets events run when kEventInterval has passed since the last round.
    void look();

    ObservedRun observed;
    Window& window;
    std::chrono::steady_clock::time_point last;
    unsigned items = 0;
};

// While alive, the model's long work throws RunStopped as soon as stopRequested answers true.
class StopCheckpoints : public RunObserver {
public:
    StopCheckpoints(Mesh& mesh, std::function<bool()> stopRequested);
    StopCheckpoints(const StopCheckpoints&) = delete;
    StopCheckpoints& operator=(const StopCheckpoints&) = delete;

    // The same check, for work outside the model.
    void operator()() const;
    void checkpoint() override { (*this)(); }

private:
    ObservedRun observed;
    std::function<bool()> stopRequested;
};

}  // namespace meshthin
