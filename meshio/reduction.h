// SPDX-License-Identifier: GPL-3.0-or-later
// The reduction run behind "Attempt Reduction": read the threshold from Text1, remove every
// point whose value lies strictly below it (walking the points in index order, each tested on
// its current value), list the points with their marks, write the result and refill the lists.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "meshio/window.h"
#include "model/mesh.h"

namespace meshthin {

struct MeshSource;

inline constexpr const char* kNotNumericMessage = "You must enter a numeric value in that text box";
inline constexpr const char* kNoMeshMessage =
    "No mesh is loaded, so there is nothing to reduce. Use File > Open to load a mesh.";

// What the window knows about its mesh and its run.
struct RunState {
    bool meshLoaded = false;  // start-up read, connected, analysed and listed a mesh
    bool running = false;     // a run (and so a write) is in progress
};

// Removes every point below the upper bound of Points whose value is below threshold and that
// is not removed yet. progress(i) runs for every hundredth index, before that point is tested.
// The values of the points the walk rewired and did not test again are left due: for a mesh
// that is thrown away afterwards (a trial run).
void walkPointsBelow(Mesh& mesh, double threshold, const std::function<void(long long)>& progress);
// The same walk, ended once it has removed more than mostRemovals points (then the mesh is left
// part way). Returns how many it removed, or nothing when it ended early.
std::optional<long long> walkPointsBelowUpTo(Mesh& mesh, double threshold, long long mostRemovals);
// Computes every value left due, so that the mesh can be read, on threads threads (0: every
// core) when there are many points.
void settleValues(Mesh& mesh, unsigned threads = 0);
// walkPointsBelow, then settleValues, also when the walk fails.
void removePointsBelow(Mesh& mesh, double threshold,
                       const std::function<void(long long)>& progress);

// A point's item in List1: its number, with " GONE" behind it once it is removed.
std::string pointListItem(const Mesh& mesh, long long i);
// The items of points 0 to last, each written when asked for, from the removed points as they
// are now: a snapshot, which does not read the mesh again.
std::shared_ptr<const ListLines> pointListLines(const Mesh& mesh, long long last);

// The caption shown while the walk is at index i of a mesh whose upper bound is upper:
// "removing points" and the percentage of the walk done, as a whole number, then "%".
std::string progressCaption(long long i, long long upper);

// The click handler. A click while a run is in progress is ignored. Returns whether the run went
// as far as the removal walk, which may have changed the mesh (also when a failure ended it
// there): false for an ignored click, no mesh, a threshold that is not a number, or a run stopped
// because the window is closing. beforeWalk runs once the threshold is read, just before the
// walk changes anything: the moment to keep the mesh as it was. written runs with the name of
// the file once the result is written. source is where the mesh came from (WriteMesh).
// A run or a write that runs out of memory empties mesh (Mesh::isEmpty), dropping what it had
// half changed, then says "Not enough memory to run at threshold T" (or to write FILE) and
// returns false: the caller's mesh on screen, of which mesh is a copy, stays as it was.
bool Command1_Click(Window& window, RunState& state, Mesh& mesh,
                    const std::function<void()>& FillLists,
                    const std::function<void()>& beforeWalk = {},
                    const std::function<void(const std::string&)>& written = {},
                    MeshSource* source = nullptr);

}  // namespace meshthin
