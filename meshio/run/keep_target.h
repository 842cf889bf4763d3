// SPDX-License-Identifier: GPL-3.0-or-later
// The threshold whose run keeps a given number of points ("keep 1200", "keep 25%"). Users think
// in how much to keep, while a run takes a threshold: the search finds the threshold for them.
//
// What a run keeps is known only from its walk: the walk removes each point whose value is below
// the threshold when the walk reaches it, and every removal re-values its neighbours, so the
// count kept falls with the threshold nearly, but not strictly, and no rule of our own predicts
// it. The search therefore asks the run itself, through trial runs (the run's walk on a copy of
// the mesh, meshio/reduction.h), and tries only a few:
//
//  - Candidates. Every threshold between two consecutive distinct start values v < w removes the
//    same points when the walk begins; the candidate for that gap is the number of the fewest
//    significant digits in (v, w], at most 15, so that it prints short, and Text1 (15 digits)
//    and the run line show it exactly and read back to the same double. A wide gap (w more than
//    a quarter above v, or 0.25 below 1) gets a ladder of such numbers about a quarter apart
//    instead, as runs across it still remove more and more points (each removal re-values its
//    neighbours, mostly upwards); so does the range above the largest value, to beyond the
//    number of points. Below them all 0 (or the lowest value, were it negative), which removes
//    nothing. Gaps that no number of 15 digits separates are taken as one.
//  - Search. Bisection over the m candidates for the first one whose run keeps at most the
//    target, as if the count fell strictly; then the neighbours of the bracket, walking on from
//    the best while a neighbour is closer, up to kNeighbourTrials trial runs. The lowest
//    candidate keeps every point without a trial. In all at most ceil(log2 m) + kNeighbourTrials
//    trial runs, m being the number of distinct values and the ladders' rungs (a ladder from v to w
//    has about 3 log2(w / v) of them): 15 + 6 at 32,767 points.
//  - Result. The closest of the thresholds tried, a tie going to the one that keeps more (then
//    to the lower threshold); as the search ends only once the best one's neighbours are tried
//    (unless the walk's budget ran out), no adjacent candidate is closer.
//  - Trials that end early. A trial whose walk has left fewer points than the target less the
//    distance of the best count so far can only be farther than the best, now and later: its
//    walk ends there, and the search knows only that its count is below the target. The
//    thresholds tried and the one found are those of walks to the end; only the time and the
//    memory of such deep trials are spared. A walk that may fail (far-apart points) runs to its
//    end, so that its failure passes on.
//
// Threads: the search runs on the caller's thread and reads the mesh only (each trial copies
// it), so a mesh shared immutably (std::shared_ptr<const Mesh>) may be searched on a thread of
// its own while others read it. stopRequested is asked from that thread.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

#include "model/mesh.h"

namespace meshthin {

struct KeepTrial {
    double threshold = 0;
    long long kept = 0;  // the points a run at threshold leaves
};

struct KeepSearch {
    long long target = 0;
    double threshold = 0;  // the threshold found
    long long kept = 0;    // the points a run at it leaves, as the run line's "M left" counts
    int trialRuns = 0;     // the trial runs the search made
    std::vector<KeepTrial> tried;  // every candidate whose count is known, ascending (not the
                                   // trials that ended early)
};

inline constexpr int kNeighbourTrials = 6;

// The candidate thresholds of mesh, ascending (see above); at least one.
std::vector<double> keepCandidates(const Mesh& mesh);

// The number of fewest significant digits (at most 15) in (low, high], nothing when no such
// number lies there.
std::optional<double> fewestDigitsBetween(double low, double high);

// The threshold whose run on mesh keeps the number of points closest to target, which lies
// from 0 to pointsLeft(mesh). Throws RunStopped (meshio/stopping.h) once stopRequested answers
// true, within a fraction of a millisecond of work; a failure of a trial's walk passes on.
KeepSearch findKeepThreshold(const Mesh& mesh, long long target,
                             const std::function<bool()>& stopRequested = {});
KeepSearch findKeepThreshold(const Mesh& mesh, long long target, std::stop_token stop);

}  // namespace meshthin
