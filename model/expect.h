// SPDX-License-Identifier: GPL-3.0-or-later
// Two kinds of things go wrong, and they are told apart. A user's file can be malformed, name a
// point that does not exist or pass a 16-bit limit: that is a Failure with a plain description,
// which the window shows in a message box. Our own code can break what one unit expects of
// another (reInit handed faces that are not marked removed yet): that is a fault of ours, and
// MESHTHIN_EXPECT stops the program at its cause instead of letting it surface later as a wrong
// mesh. The checks are cheap and on in every build but a Release one (CMake option
// MESHTHIN_CHECKS), so the tests, the sanitizer runs and the fuzzer all see them.
#pragma once

namespace meshthin {

// Reports the broken expectation on standard error and aborts.
[[noreturn]] void brokenExpectation(const char* expectation, const char* file, int line);

}  // namespace meshthin

#if MESHTHIN_CHECKS
#define MESHTHIN_EXPECT(condition, expectation) \
    ((condition) ? static_cast<void>(0)         \
                 : ::meshthin::brokenExpectation(expectation, __FILE__, __LINE__))
#else
#define MESHTHIN_EXPECT(condition, expectation) static_cast<void>(0)
#endif
