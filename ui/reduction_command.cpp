// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/reduction_command.h"

#include <QCoreApplication>
#include <utility>

#include "ui/document.h"

namespace meshthin {

ReductionCommand::ReductionCommand(Document& document, std::shared_ptr<const Mesh> before,
                                   const QString& threshold)
    : document(document), other(std::move(before)) {
    setText(QCoreApplication::translate("meshthin::Form1", "at %1").arg(threshold));
}

void ReductionCommand::undo() {
    other = document.step(std::move(other));
    done = false;
}

void ReductionCommand::redo() {
    if (done) {
        return;
    }
    other = document.step(std::move(other));
    done = true;
}

}  // namespace meshthin
