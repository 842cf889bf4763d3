// SPDX-License-Identifier: GPL-3.0-or-later
// Many files at once on the command line: every FILE is thinned by the same runs into
// DIR/<FILE's own name>, several files at a time. Each file goes through exactly the single-file
// job (runBatch) on a mesh of its own, so that each output holds the bytes that a run on that
// file alone writes, whatever the number of jobs and whatever the other files do.
//
// What is printed does not depend on the number of jobs either: each file's lines are printed
// together, in the order the files were named, as soon as that file and every file before it
// have finished. A run line reads "FILE: threshold 0.5: removed 120, 380 left", FILE as the user
// named it, so that the files can be told apart; a failure reads exactly as in the single-file
// job, "meshthin: FILE: " and the window's message, and the other files go on.
//
// The files are taken largest first, so that a worker left alone at the end holds a quick one.
//
// Threads: runBatchFiles starts up to `jobs` std::jthreads, which take the files one after the
// other through an atomic index. A worker owns the mesh it works on and the text it gathers for
// its file; it hands the text over under a mutex once the file is done, and from then on the
// text belongs to the calling thread, which alone prints to out and err. The request is shared
// read-only. All workers have ended when runBatchFiles returns.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace meshthin {

struct FilesRequest {
    std::vector<std::string> files;           // the mesh files, as the user named them, in order
    std::vector<std::string> thresholdTexts;  // one run each, in order, on every file
    std::string outputDir;                    // an existing folder that receives the results
    unsigned jobs = 0;                        // files worked on at once; 0: one per core
    bool quiet = false;                       // print nothing but failures
    bool progress = false;  // keep a line "done/all files" on err while working (a terminal)
    char separator = '.';   // the user's decimal separator
    // Instead of thresholds: how much of every file to keep, each file at the threshold found
    // for it, its line "FILE: keep N: threshold T" before its run line.
    std::optional<std::string> keepText = std::nullopt;
};

// Where the result of file goes: outputDir joined with the file's own name.
std::string outputPathFor(const std::string& outputDir, const std::string& file);

// What rules the request out before any file is read, worded for the command line's usage
// error, or nothing when it can run: no file, a DIR that is not an existing folder, a FILE that
// names no file, two files of the same name (both results would go to one path), or a result
// that would be written over one of the files (DIR being the folder of a FILE, or a link or a
// second name of it).
std::optional<std::string> filesRequestProblem(const FilesRequest& request);

// The number of workers runBatchFiles starts for request.
unsigned workersFor(const FilesRequest& request);

// Runs every file of a request that filesRequestProblem accepted. Returns 0 when every file was
// written, 1 when any failed, kStoppedStatus (meshio/batch.h) when stopped.
// stopRequested is asked by every worker, from their threads at the same time, so it must be
// safe to call from any thread; once it answers true every worker stops at its next checkpoint
// and nothing more is printed. A result is written whole or not at all: the files finished
// before the stop keep theirs, the others are left as they were, with no temporary file behind.
int runBatchFiles(const FilesRequest& request, std::ostream& out, std::ostream& err,
                  const std::function<bool()>& stopRequested = {});

}  // namespace meshthin
