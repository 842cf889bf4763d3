// SPDX-License-Identifier: GPL-3.0-or-later
// meshthin: thins out a polygon mesh. One window, which opens on the file named on the command
// line or asks for one; or, with the batch options, the same job without a window, on one file or
// on many at once.
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <csignal>
#include <iostream>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "meshio/batch.h"
#include "meshio/run/batch_files.h"
#include "model/failure.h"
#include "ui/form1.h"

namespace {

std::string fileBytes(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

// The signal that asked the batch to stop, 0 while none has. Atomic, as the many-files job asks
// it from several threads; lock-free, so that the handler may set it.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void askToStop(int signal) {
    stopSignal.store(signal);
}

bool stopAsked() {
    return stopSignal.load() != 0;
}

// Ends the program by the signal that stopped the job, as a shell expects of it.
int endedBy(int status) {
    if (status == meshthin::kStoppedStatus && stopAsked()) {
        const int signal = stopSignal.load();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return status;
}

int usageError(const std::string& problem) {
    std::cerr << meshthin::kProgramName << ": " << problem << '\n'
              << "Try '" << meshthin::kProgramName << " --help' for more information.\n";
    return 2;
}

// A core application only: the batch path needs no display and must not ask for one. It is
// created all the same so that the user's locale is read exactly as the window reads it.
// Ctrl+C and SIGTERM stop the job at its next checkpoint, which removes any temporary file and
// leaves every file as it was; the program then ends by the same signal, as a shell expects.
int runWithoutWindow(int argc, char* argv[], const meshthin::CommandLine& line) {
    std::signal(SIGINT, askToStop);
    std::signal(SIGTERM, askToStop);
    QCoreApplication app(argc, argv);
    meshthin::BatchRequest request;
    request.file = fileBytes(line.file);
    for (const QString& threshold : line.thresholds) {
        request.thresholdTexts.push_back(threshold.toStdString());
    }
    if (!line.keep.isEmpty()) {
        request.keepText = line.keep.toStdString();
    }
    if (!line.output.isEmpty()) {
        request.output = fileBytes(line.output);
    }
    request.values = line.values;
    request.separator = meshthin::userDecimalSeparator();
    request.progress = ::isatty(STDERR_FILENO) == 1;
    return endedBy(meshthin::runBatch(request, std::cout, std::cerr, stopAsked));
}

// Many files into one folder, as runWithoutWindow does one. The checks that look at the files
// and the folder come before any file is read and are usage errors like the others. The
// progress line is for a person watching a terminal, never for a log or a pipe.
int runFilesWithoutWindow(int argc, char* argv[], const meshthin::CommandLine& line) {
    std::signal(SIGINT, askToStop);
    std::signal(SIGTERM, askToStop);
    QCoreApplication app(argc, argv);
    meshthin::FilesRequest request;
    for (const QString& file : line.files) {
        request.files.push_back(fileBytes(file));
    }
    for (const QString& threshold : line.thresholds) {
        request.thresholdTexts.push_back(threshold.toStdString());
    }
    if (!line.keep.isEmpty()) {
        request.keepText = line.keep.toStdString();
    }
    request.outputDir = fileBytes(line.outputDir);
    request.jobs = line.jobs;
    request.quiet = line.quiet;
    request.progress = ::isatty(STDERR_FILENO) == 1;
    request.separator = meshthin::userDecimalSeparator();
    if (const std::optional<std::string> problem = meshthin::filesRequestProblem(request)) {
        return usageError(*problem);
    }
    return endedBy(meshthin::runBatchFiles(request, std::cout, std::cerr, stopAsked));
}

// Qt would abort with a message about platform plugins when there is no display to show the
// window on; a user started from a terminal or a script is better told what to do instead.
bool noDisplay() {
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int runWindow(int argc, char* argv[], const QString& file) {
    if (noDisplay()) {
        std::cerr << meshthin::kProgramName
                  << ": there is no display to open the window on; --threshold and --values work "
                     "without one (see 'meshthin --help')\n";
        return 1;
    }
    QApplication app(argc, argv);
    // Docks and Wayland compositors group the window with its launcher by this name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(meshthin::kDesktopFileName));
    meshthin::Form1 form;
    QApplication::setWindowIcon(form.windowIcon());
    if (file.isEmpty()) {
        form.load();
    } else {
        form.load(QFileInfo(file).absoluteFilePath());
    }
    form.show();
    return app.exec();
}

// --help needs an application object for the name in its usage line; a core one, named as the
// program is, whatever path it was started by.
void printHelp() {
    char name[] = "meshthin";
    char* arguments[] = {name, nullptr};
    int count = 1;
    QCoreApplication app(count, arguments);
    std::cout << meshthin::helpText().toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Only the name: a display name would be appended to the window's caption "Form1".
    QCoreApplication::setApplicationName(QString::fromLatin1(meshthin::kProgramName));

    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const meshthin::CommandLine line = meshthin::parseCommandLine(arguments);
    switch (line.mode) {
        case meshthin::CommandLine::Mode::Help:
            printHelp();
            return 0;
        case meshthin::CommandLine::Mode::Version:
            std::cout << meshthin::kProgramName << ' ' << MESHTHIN_VERSION << '\n';
            return 0;
        case meshthin::CommandLine::Mode::UsageError:
            return usageError(line.problem.toStdString());
        case meshthin::CommandLine::Mode::Batch:
        case meshthin::CommandLine::Mode::BatchFiles:
            // The jobs report every failure of a file themselves; this is the rest, such as
            // memory running out while the many-files job prints, which must end in a message
            // and status 1 rather than in std::terminate.
            try {
                return line.mode == meshthin::CommandLine::Mode::Batch
                           ? runWithoutWindow(argc, argv, line)
                           : runFilesWithoutWindow(argc, argv, line);
            } catch (const std::exception& thrown) {
                std::cerr << meshthin::kProgramName << ": " << meshthin::describe(thrown) << '\n';
                return 1;
            }
        case meshthin::CommandLine::Mode::Window:
            break;
    }
    return runWindow(argc, argv, line.file);
}
