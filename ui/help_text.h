// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of Help > meshthin Help and Help > About meshthin.
#pragma once

#include <QString>

namespace meshthin {

// The workflow, the value, the shortcuts and the command line, as rich text.
QString helpHtml();
// The program's name and version, what it does, its copyright and licence, as rich text.
QString aboutHtml();

}  // namespace meshthin
