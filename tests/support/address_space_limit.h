// SPDX-License-Identifier: GPL-3.0-or-later
// A lowered limit of the process's address space (RLIMIT_AS, what `ulimit -v` sets), so that a
// test runs out of memory for real, in the allocation where it happens; the limit is restored
// when the object goes. The sanitizers reserve terabytes of address space for their shadow
// memory, which no such limit leaves them: available() is false in their builds.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>

namespace meshthin {

class AddressSpaceLimit {
public:
    static constexpr bool available() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
        return false;
#else
        return true;
#endif
#else
        return true;
#endif
    }

    // Leaves the process room bytes of address space beyond what it takes now.
    explicit AddressSpaceLimit(size_t room) {
        ::getrlimit(RLIMIT_AS, &before);
        size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlimit lowered{pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE)) + room,
                             before.rlim_max};
        ::setrlimit(RLIMIT_AS, &lowered);
    }
    ~AddressSpaceLimit() {
        ::setrlimit(RLIMIT_AS, &before);
    }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

private:
    rlimit before{};
};

}  // namespace meshthin
