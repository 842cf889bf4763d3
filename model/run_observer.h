// SPDX-License-Identifier: GPL-3.0-or-later
// What long work on a mesh tells the program above it while it runs, and how that program stops
// it. A removal that rewires a large neighbourhood can take seconds, and the window needs to show
// progress and to stop the work when the user asks; the command line stops it on a signal. One
// observer belongs to one run: the run hands it to the mesh it works on for as long as it runs
// (ObservedRun), so two meshes on two threads never share one.
//
// An observer is called on the thread that runs the work; whatever it shares with another thread
// (a stop request, a progress figure) it reads and writes through atomics of its own.
#pragma once

#include <string>

namespace meshthin {

class RunObserver {
public:
    virtual ~RunObserver() = default;

    // Runs about every kStepsPerCheckpoint steps of the model's work (a fraction of a
    // millisecond). It may throw to abandon the work: the mesh is then half changed and must not
    // be written.
    virtual void checkpoint() {}
    // The diagnostic texts of the walk and the rebuild. They are assembled only while listening()
    // answers true; the work takes the same steps either way.
    virtual bool listening() const { return false; }
    virtual void log(const std::string& /*text*/) {}
};

}  // namespace meshthin
