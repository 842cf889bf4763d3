// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <QCommandLineParser>
#include <algorithm>
#include <optional>

#include "meshio/numtext.h"
#include "meshio/run/keep_amount.h"
#include "ui/form1.h"

namespace meshthin {

namespace {

const QCommandLineOption kThreshold(QStringList{QStringLiteral("t"), QStringLiteral("threshold")},
                                    QStringLiteral("Remove every point whose value lies below T, "
                                                   "as one click of \"Attempt Reduction\" does. "
                                                   "Repeat it for further runs, in order."),
                                    QStringLiteral("T"));
const QCommandLineOption kKeep(QStringLiteral("keep"),
                               QStringLiteral("Instead of --threshold: keep N points, or N% of "
                                              "them, in one run at the threshold whose run "
                                              "keeps the count closest to it, printed first."),
                               QStringLiteral("N"));
const QCommandLineOption kOutput(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                 QStringLiteral("Write the result of the last run to OUT."),
                                 QStringLiteral("OUT"));
const QCommandLineOption kInPlace(QStringLiteral("in-place"),
                                  QStringLiteral("Write the result of the last run over FILE."));
const QCommandLineOption kValues(QStringLiteral("values"),
                                 QStringLiteral("Print every point's value as CSV instead of the "
                                                "run lines (after the runs, if any)."));
const QCommandLineOption kOutputDir(QStringList{QStringLiteral("O"), QStringLiteral("output-dir")},
                                    QStringLiteral("Thin out every FILE into DIR, under the "
                                                   "FILE's own name, several files at once."),
                                    QStringLiteral("DIR"));
const QCommandLineOption kJobs(QStringLiteral("jobs"),
                               QStringLiteral("With --output-dir, work on N files at once "
                                              "(default: one per core)."),
                               QStringLiteral("N"));
const QCommandLineOption kQuiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                QStringLiteral("With --output-dir, print nothing but failures."));
const QCommandLineOption kHelp(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                               QStringLiteral("Display this help and exit."));
const QCommandLineOption kVersion(QStringLiteral("version"),
                                  QStringLiteral("Output version information and exit."));

void describeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Thin out a polygon mesh. Without options, open FILE in the window (or ask for a file).\n"
        "With --threshold, --keep or --values, work on FILE without a window.\n"
        "With --output-dir, thin out every FILE into DIR, several files at a time."));
    parser.addOptions({kThreshold, kKeep, kOutput, kInPlace, kValues, kOutputDir, kJobs, kQuiet,
                       kHelp, kVersion});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The mesh file (with --output-dir, one or more)."),
                                 QStringLiteral("[FILE...]"));
}

// --keep takes the place of the thresholds: once, alone, and N or P%. Nothing when it is
// absent or fine.
std::optional<QString> keepProblem(const QCommandLineParser& parser) {
    if (!parser.isSet(kKeep)) {
        return std::nullopt;
    }
    if (parser.values(kKeep).size() > 1) {
        return QStringLiteral("--keep may be given once");
    }
    if (parser.isSet(kThreshold)) {
        return QStringLiteral("--keep and --threshold exclude each other");
    }
    if (!parseKeepAmount(parser.value(kKeep).toStdString(), userDecimalSeparator())) {
        return QStringLiteral("--keep: \"%1\" is not a number of points or a percentage")
            .arg(parser.value(kKeep));
    }
    return std::nullopt;
}

CommandLine withMode(CommandLine::Mode mode) {
    CommandLine line;
    line.mode = mode;
    return line;
}

CommandLine usageError(const QString& problem) {
    CommandLine line = withMode(CommandLine::Mode::UsageError);
    line.problem = problem;
    return line;
}

// The combinations that make no sense: a batch needs one FILE, a write needs a run, and a run
// needs to be told where its result goes, so that no file is overwritten by accident.
CommandLine batchRequest(const QCommandLineParser& parser, const QString& file) {
    const bool writes = parser.isSet(kOutput) || parser.isSet(kInPlace);
    if (file.isEmpty()) {
        return usageError(QStringLiteral("missing FILE"));
    }
    if (parser.isSet(kOutput) && parser.isSet(kInPlace)) {
        return usageError(QStringLiteral("--output and --in-place exclude each other"));
    }
    if (parser.values(kOutput).size() > 1) {
        return usageError(QStringLiteral("--output may be given once"));
    }
    if (const std::optional<QString> problem = keepProblem(parser)) {
        return usageError(*problem);
    }
    if (writes && !parser.isSet(kThreshold) && !parser.isSet(kKeep)) {
        return usageError(QStringLiteral("--output and --in-place need --threshold or --keep"));
    }
    if (parser.isSet(kThreshold) && !writes && !parser.isSet(kValues)) {
        return usageError(QStringLiteral("--threshold needs --output OUT, --in-place or --values"));
    }
    if (parser.isSet(kKeep) && !writes && !parser.isSet(kValues)) {
        return usageError(QStringLiteral("--keep needs --output OUT, --in-place or --values"));
    }
    // A threshold that is not a number is a mistake in the command, told as such before any
    // file is read.
    const char separator = userDecimalSeparator();
    for (const QString& threshold : parser.values(kThreshold)) {
        if (!numtext::isNumeric(threshold.toStdString(), separator)) {
            return usageError(QStringLiteral("--threshold: \"%1\" is not a number").arg(threshold));
        }
    }
    CommandLine line = withMode(CommandLine::Mode::Batch);
    line.file = file;
    line.thresholds = parser.values(kThreshold);
    line.keep = parser.value(kKeep);
    line.output = parser.isSet(kInPlace) ? file : parser.value(kOutput);
    line.values = parser.isSet(kValues);
    return line;
}

// A number of jobs: a whole number from 1 up, in plain digits.
std::optional<unsigned> jobCount(const QString& text) {
    bool ok = false;
    const uint count = text.toUInt(&ok);
    const bool digitsOnly =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!ok || !digitsOnly || count == 0) {
        return std::nullopt;
    }
    return count;
}

// Many files into one folder: every run is applied to each file and each result goes to the
// folder, so the single-file ways of placing or listing a result make no sense beside it. The
// checks that need the file system (the folder, names that clash) follow in
// filesRequestProblem, still before any file is read.
CommandLine batchFilesRequest(const QCommandLineParser& parser, const QStringList& files) {
    if (parser.values(kOutputDir).size() > 1) {
        return usageError(QStringLiteral("--output-dir may be given once"));
    }
    if (parser.isSet(kOutput)) {
        return usageError(QStringLiteral("--output-dir and --output exclude each other"));
    }
    if (parser.isSet(kInPlace)) {
        return usageError(QStringLiteral("--output-dir and --in-place exclude each other"));
    }
    if (parser.isSet(kValues)) {
        return usageError(QStringLiteral("--output-dir and --values exclude each other"));
    }
    if (const std::optional<QString> problem = keepProblem(parser)) {
        return usageError(*problem);
    }
    if (!parser.isSet(kThreshold) && !parser.isSet(kKeep)) {
        return usageError(QStringLiteral("--output-dir needs --threshold or --keep"));
    }
    if (files.isEmpty()) {
        return usageError(QStringLiteral("missing FILE"));
    }
    const char separator = userDecimalSeparator();
    for (const QString& threshold : parser.values(kThreshold)) {
        if (!numtext::isNumeric(threshold.toStdString(), separator)) {
            return usageError(QStringLiteral("--threshold: \"%1\" is not a number").arg(threshold));
        }
    }
    CommandLine line = withMode(CommandLine::Mode::BatchFiles);
    if (parser.isSet(kJobs)) {
        if (parser.values(kJobs).size() > 1) {
            return usageError(QStringLiteral("--jobs may be given once"));
        }
        const std::optional<unsigned> jobs = jobCount(parser.value(kJobs));
        if (!jobs) {
            return usageError(QStringLiteral("--jobs: \"%1\" is not a whole number of 1 or more")
                                  .arg(parser.value(kJobs)));
        }
        line.jobs = *jobs;
    }
    line.files = files;
    line.thresholds = parser.values(kThreshold);
    line.keep = parser.value(kKeep);
    line.outputDir = parser.value(kOutputDir);
    line.quiet = parser.isSet(kQuiet);
    return line;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(kHelp)) {
        return withMode(CommandLine::Mode::Help);
    }
    if (parser.isSet(kVersion)) {
        return withMode(CommandLine::Mode::Version);
    }
    const QStringList files = parser.positionalArguments();
    if (parser.isSet(kOutputDir)) {
        return batchFilesRequest(parser, files);
    }
    if (parser.isSet(kJobs)) {
        return usageError(QStringLiteral("--jobs needs --output-dir"));
    }
    if (parser.isSet(kQuiet)) {
        return usageError(QStringLiteral("--quiet needs --output-dir"));
    }
    if (files.size() > 1) {
        return usageError(QStringLiteral("only one FILE can be given"));
    }
    const QString file = files.isEmpty() ? QString() : files.first();
    const bool batch = parser.isSet(kThreshold) || parser.isSet(kKeep) || parser.isSet(kOutput) ||
                       parser.isSet(kInPlace) || parser.isSet(kValues);
    if (batch) {
        return batchRequest(parser, file);
    }
    CommandLine line;
    line.file = file;
    return line;
}

QString helpText() {
    QCommandLineParser parser;
    describeOptions(parser);
    return parser.helpText() +
           QStringLiteral(
               "\nAfter each run a line \"threshold T: removed N, M left\" goes to standard "
               "output.\n"
               "With --output-dir it starts with the file's name: \"FILE: threshold T: removed "
               "N, M left\".\n"
               "With --keep a line \"keep N: threshold T\" comes first: the number of points "
               "to keep and the threshold found for it, whose run then keeps the count closest "
               "to N.\n"
               "FILE may be a brace mesh file, OBJ, PLY, OFF or STL (by its extension, else by "
               "its content).\n"
               "OUT is written as OBJ, PLY (binary; ascii for a name ending in .ascii.ply), OFF "
               "or STL when its name ends so, else in the brace format, which holds at most "
               "32,767 points.\n"
               "Texture coordinates and corner normals are not written; the points' colours and "
               "normals are.\n"
               "Exit status: 0 on success, 1 on a failure, 2 on a usage error.\n"
               "With --output-dir a file that fails is reported and the others go on; the "
               "status is 1 if any failed.\n");
}

}  // namespace meshthin
