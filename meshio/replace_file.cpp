// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <string_view>

#include "model/failure.h"

namespace meshthin {

namespace fs = std::filesystem;

int DiskCalls::syncFile(int descriptor) {
    return ::fsync(descriptor);
}

int DiskCalls::rename(const char* from, const char* to) {
    return std::rename(from, to);
}

int DiskCalls::syncFolder(int descriptor) {
    return ::fsync(descriptor);
}

namespace {

std::string lastError() {
    return std::strerror(errno);
}

bool anyWriteBit(fs::perms permissions) {
    return (permissions & (fs::perms::owner_write | fs::perms::group_write |
                           fs::perms::others_write)) != fs::perms::none;
}

// Refuses, before anything is written, the targets that a direct write would have refused.
// The permission bits are checked as such, so that the refusal does not depend on who runs
// the program. Answers the path to write to (a link resolved) and the target's status.
fs::path checkedTarget(const std::string& target, fs::file_status& previous) {
    std::error_code error;
    fs::path path(target);
    previous = fs::status(path, error);
    if (fs::exists(previous)) {
        if (!fs::is_regular_file(previous)) {
            throw Failure("Not a regular file: " + target);
        }
        path = fs::canonical(path, error);  // write through a link to the file it names
        if (error) {
            throw Failure("Cannot resolve " + target + ": " + error.message());
        }
        if (!anyWriteBit(previous.permissions())) {
            throw Failure("Permission denied: " + target + " is read-only");
        }
    }
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const fs::file_status folderStatus = fs::status(folder, error);
    if (!fs::is_directory(folderStatus)) {
        throw Failure("Path not found: " + folder.string());
    }
    if (!anyWriteBit(folderStatus.permissions())) {
        throw Failure("Permission denied: the folder " + folder.string() + " is read-only");
    }
    if (!path.has_parent_path()) {
        path = fs::path(".") / path;
    }
    return path;
}

// A file next to the target that takes the new content; removed again unless committed.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path& target) {
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
            path = target.parent_path() / ("." + target.filename().string() + ".meshthin-" +
                                           std::to_string(random() % 1000000) + ".tmp");
            // Exclusive: a stray file of the same name is never reused.
            descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (descriptor < 0 && errno != EEXIST) {
                break;
            }
        }
        if (descriptor < 0) {
            throw Failure("Cannot create a file in " + target.parent_path().string() + ": " +
                          lastError());
        }
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    ~TemporaryFile() {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        if (!committed) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }

    // Writes the whole content, gives it the target's permissions and flushes it to the disk.
    void write(std::string_view content, const fs::file_status& previous, DiskCalls& calls) {
        while (!content.empty()) {
            const ssize_t written = ::write(descriptor, content.data(), content.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                throw Failure("Writing the file failed: " + lastError());
            }
            content.remove_prefix(static_cast<size_t>(written));
        }
        if (fs::exists(previous)) {
            // Keep the file's permissions; a failure here leaves the temporary file's own.
            ::fchmod(descriptor, static_cast<mode_t>(previous.permissions() & fs::perms::mask));
        }
        if (calls.syncFile(descriptor) != 0) {
            throw Failure("Writing the file failed: " + lastError());
        }
        const int closed = ::close(descriptor);
        descriptor = -1;
        if (closed != 0) {
            throw Failure("Writing the file failed: " + lastError());
        }
    }

    void commitAs(const fs::path& target, DiskCalls& calls) {
        if (calls.rename(path.c_str(), target.c_str()) != 0) {
            throw Failure("Cannot replace " + target.string() + ": " + lastError());
        }
        committed = true;
    }

private:
    fs::path path;
    int descriptor = -1;
    bool committed = false;
};

// Puts the folder's new entry on the disk. A file system that cannot flush a folder (some
// network and FUSE file systems answer EINVAL) keeps its entries as it keeps them.
void syncFolderOf(const fs::path& target, DiskCalls& calls) {
    const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        throw Failure("The file was replaced, but its folder could not be opened to save it: " +
                      lastError());
    }
    const int synced = calls.syncFolder(folder);
    const int error = errno;
    ::close(folder);
    if (synced != 0 && error != EINVAL && error != ENOTSUP) {
        throw Failure("The file was replaced, but its folder could not be saved to the disk: " +
                      std::string(std::strerror(error)));
    }
}

}  // namespace

void replaceFile(const std::string& target, const std::function<void(std::ostream&)>& produce) {
    DiskCalls system;
    replaceFile(target, produce, system);
}

void replaceFile(const std::string& target, const std::function<void(std::ostream&)>& produce,
                 DiskCalls& calls) {
    if (target.empty()) {
        throw Failure("No file name was given");
    }
    fs::file_status previous;
    const fs::path path = checkedTarget(target, previous);
    TemporaryFile temporary(path);
    std::ostringstream content;
    produce(content);
    temporary.write(content.view(), previous, calls);
    temporary.commitAs(path, calls);
    syncFolderOf(path, calls);
}

}  // namespace meshthin
