// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line: no options opens the window (on FILE when one is named), the
// batch options reduce or list values without a window, and --output-dir thins many files at
// once. Parsed before any application object exists, so that the batch paths never need a
// display.
#pragma once

#include <QString>
#include <QStringList>

#include "meshio/batch.h"

namespace meshthin {

struct CommandLine {
    enum class Mode { Window, Batch, BatchFiles, Help, Version, UsageError };
    Mode mode = Mode::Window;
    QString file;            // the mesh file; empty in the window when none was named
    QStringList thresholds;  // --threshold, in order
    QString keep;            // --keep, instead of thresholds; empty when not given
    QString output;          // --output, or FILE for --in-place; empty when nothing is written
    bool values = false;     // --values
    QString problem;         // what is wrong with a usage error
    // With --output-dir (BatchFiles): every FILE, in order, the folder, --jobs (0 when not
    // given: one per core) and --quiet.
    QStringList files;
    QString outputDir;
    unsigned jobs = 0;
    bool quiet = false;
};

// arguments as main receives them, the program's own name first.
CommandLine parseCommandLine(const QStringList& arguments);

// The text of --help.
QString helpText();

}  // namespace meshthin
