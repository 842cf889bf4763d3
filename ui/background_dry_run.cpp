// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/background_dry_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "meshio/dry_run.h"
#include "model/store.h"

namespace meshthin {

namespace {

// Writes all of data, however the pipe splits it; false when the reader has gone.
bool writeAll(int fd, const void* data, size_t size) {
    const char* from = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, from, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        from += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The child's whole life: the walk on its copy of the store, one message, _exit.
[[noreturn]] void runChild(int writeEnd, double threshold) {
    // A child whose window has gone has nobody to tell.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setCheckpoint(nullptr);  // the window's checkpoints belong to the parent's run
    int64_t count = -1;
    std::vector<int16_t> removed;
    try {
        removed = removeAndListPointsBelow(threshold);
        count = static_cast<int64_t>(removed.size());
    } catch (...) {
        count = -1;  // a failing walk: the window shows no marks rather than wrong ones
    }
    const bool sent = writeAll(writeEnd, &count, sizeof count) &&
                      writeAll(writeEnd, removed.data(), removed.size() * sizeof(int16_t));
    _exit(sent ? 0 : 1);
}

}  // namespace

BackgroundDryRun::~BackgroundDryRun() {
    cancel();
}

bool BackgroundDryRun::start(double threshold) {
    cancel();
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return false;
    }
    if (pid == 0) {
        ::close(ends[0]);
        runChild(ends[1], threshold);
    }
    ::close(ends[1]);
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    child = pid;
    readEnd = ends[0];
    startedAt = threshold;
    received.clear();
    return true;
}

void BackgroundDryRun::cancel() {
    reap(true);
}

void BackgroundDryRun::reap(bool kill) {
    if (child > 0) {
        if (kill) {
            ::kill(child, SIGKILL);
        }
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        child = -1;
    }
    if (readEnd >= 0) {
        ::close(readEnd);
        readEnd = -1;
    }
}

BackgroundDryRun::Outcome BackgroundDryRun::collect() {
    Outcome outcome;
    if (readEnd < 0) {
        return outcome;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(readEnd, buffer, sizeof buffer);
        if (got > 0) {
            received.insert(received.end(), buffer, buffer + got);
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return outcome;  // nothing more yet: the child is still walking
        }
        break;  // end of file: the child has ended
    }
    reap(false);
    outcome.finished = true;
    int64_t count = -1;
    if (received.size() >= sizeof count) {
        std::memcpy(&count, received.data(), sizeof count);
    }
    if (count >= 0 && received.size() == sizeof count + static_cast<size_t>(count) * 2) {
        std::vector<int16_t> removed(static_cast<size_t>(count));
        if (!removed.empty()) {  // an empty vector may have no storage to copy into
            std::memcpy(removed.data(), received.data() + sizeof count, removed.size() * 2);
        }
        outcome.removed = std::move(removed);
    }
    received.clear();
    return outcome;
}

BackgroundDryRun::Outcome BackgroundDryRun::wait() {
    for (;;) {
        Outcome outcome = collect();
        if (outcome.finished || readEnd < 0) {
            return outcome;
        }
        pollfd watched{readEnd, POLLIN, 0};
        poll(&watched, 1, -1);
    }
}

}  // namespace meshthin
