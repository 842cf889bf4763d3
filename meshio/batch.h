// SPDX-License-Identifier: GPL-3.0-or-later
// The job without a window: load a mesh file, run the start-up passes, do one reduction run per
// threshold and write the result, or print every point's value for other tools. It does what
// the window does for the same file, so that the written bytes are the window's: every run is
// followed by a pass through the writer (the window writes after every run, and writing prunes
// and reorders the rebuilt faces that a later run starts from). A run whose save dialog was
// cancelled writes nothing in the window; a batch equals the runs whose result was saved.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/mesh.h"
#include "model/numbers.h"

namespace meshthin {

inline constexpr const char* kProgramName = "meshthin";

// What one reduction run did.
struct RunCount {
    double threshold = 0;
    long long removed = 0;  // points this run removed
    long long left = 0;     // points not removed after it (the spare slot is not a point)
};

// The points read from the file (0 to lastLoadedPoint()) that are not removed.
long long pointsLeft(const Mesh& mesh);

// One run as a click does it, without the window: removes the points below threshold, then
// writes the mesh text to written (a file, or a sink that discards it).
// beforeItem runs before every item the writer writes.
RunCount reduce(
    Mesh& mesh, double threshold, const NumberCodec& numbers, std::ostream& written,
    const std::function<void()>& beforeItem = [] {});

// "threshold 0.5: removed 120, 380 left", the line printed after each run.
std::string runLine(const RunCount& count);

// "keep 380: threshold 0.5", the line printed before the run for a number of points to keep.
std::string keepLine(long long target, double threshold);

// The shortest text that reads back to the same double, with "." as decimal point.
std::string shortestText(double value);

// The number of other points that point i shares a face edge with and that are not removed; 0
// for a point no connection was ever given (its list still holds the initial 0).
long long connectionCount(const Mesh& mesh, long long i);

// "point,x,y,z,value,connections" and one line per point that is not removed.
void writeValues(const Mesh& mesh, std::ostream& out);

// What the command line asks for.
struct BatchRequest {
    std::string file;                         // the mesh file, as the user named it
    std::vector<std::string> thresholdTexts;  // one run each, in order
    std::optional<std::string> output;        // where to write the last run's result; needs a run
    bool values = false;                      // print the CSV instead of the run lines
    char separator = '.';                     // the user's decimal separator
    // Instead of thresholds: how much to keep (meshio/run/keep_amount.h), one run at the
    // threshold found for it, printed first as "keep N: threshold T".
    std::optional<std::string> keepText = std::nullopt;
    // Whether a run that takes long shows its progress on err, drawn over itself and wiped at
    // its end: only for a person watching a terminal, so that a log or a pipe never holds it.
    bool progress = false;
};

// runBatch's status when the job was stopped on request: the status a shell reports for a
// program ended by Ctrl+C.
inline constexpr int kStoppedStatus = 130;

// Runs the request. Prints the run lines or the CSV to out; a failure goes to err as
// "meshthin: FILE: " and the text the window's box would show. Returns the exit status: 0, 1
// after a failure, kStoppedStatus when stopped. A failed or stopped run never changes a file and
// leaves no temporary file behind. Memory running out is a failure like any other, told as "Not
// enough memory to " and what could not be done (load FILE, run at threshold T, write OUT); the
// mesh is dropped before it is told, and nothing of a run that failed is written.
// stopRequested is asked now and then while the job runs (whether Ctrl+C or SIGTERM have
// arrived, say); once it answers true the job stops where it is, and nothing is written or
// printed after that.
int runBatch(const BatchRequest& request, std::ostream& out, std::ostream& err,
             const std::function<bool()>& stopRequested = {});

}  // namespace meshthin
