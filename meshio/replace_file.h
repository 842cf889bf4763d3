// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file the way trusted savers do. The new content goes to a temporary file beside
// the target, is flushed to the disk, renamed over the target, and then the folder is flushed
// too, so that the rename itself is on the disk. A crash or a power loss at any moment leaves
// either the old file or the complete new one, never an empty or partial file; a failure at any
// step leaves the target as it was and no temporary file behind.
//
// Before anything is written, the targets that a direct write would have refused are refused:
// a missing folder, a read-only file or folder, something that is not a regular file. A link
// is written through, so the file it names is replaced and the link stays.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace meshthin {

// The system calls whose order makes a replacement durable. The program uses the real ones;
// a test puts a recording or failing stand-in in their place.
class DiskCalls {
public:
    virtual ~DiskCalls() = default;
    // Flushes an open file's data to the disk (fsync); 0 on success, -1 with errno set.
    virtual int syncFile(int descriptor);
    // Renames from over to in one step (rename); 0 on success, -1 with errno set.
    virtual int rename(const char* from, const char* to);
    // Flushes an open folder's entries to the disk (fsync); 0 on success, -1 with errno set.
    virtual int syncFolder(int descriptor);
};

// Replaces target with what produce writes, or leaves it untouched and throws a Failure.
void replaceFile(const std::string& target, const std::function<void(std::ostream&)>& produce);
void replaceFile(const std::string& target, const std::function<void(std::ostream&)>& produce,
                 DiskCalls& calls);

}  // namespace meshthin
