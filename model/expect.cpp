// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/expect.h"

#include <cstdio>
#include <cstdlib>

namespace meshthin {

void brokenExpectation(const char* expectation, const char* file, int line) {
    std::fprintf(stderr, "meshthin: internal fault at %s:%d: expected that %s\n", file, line,
                 expectation);
    std::abort();
}

}  // namespace meshthin
