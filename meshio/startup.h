// The start-up passes that finish loading: every face registers its ring neighbours as
// connections, then every point below the upper bound of Points computes its value. Expects the
// store just filled by the loader; a failure stops at once with the passes done so far kept.
#pragma once

namespace meshthin {

void connectPoints();
void analyzePoints();
// Both passes, in that order: a value is computed from a complete connection list.
void runStartupPasses();

}  // namespace meshthin
