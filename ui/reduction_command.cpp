// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/reduction_command.h"

#include <QCoreApplication>
#include <utility>

namespace meshthin {

ReductionCommand::ReductionCommand(StoreSnapshot before, const QString& threshold,
                                   std::function<void()> shown)
    : other(std::move(before)), shown(std::move(shown)) {
    setText(QCoreApplication::translate("meshthin::Form1", "at %1").arg(threshold));
}

void ReductionCommand::undo() {
    StoreSnapshot current = takeSnapshot();
    restoreSnapshot(other);
    other = std::move(current);
    done = false;
    shown();
}

void ReductionCommand::redo() {
    if (done) {
        return;
    }
    StoreSnapshot current = takeSnapshot();
    restoreSnapshot(other);
    other = std::move(current);
    done = true;
    shown();
}

}  // namespace meshthin
