// SPDX-License-Identifier: GPL-3.0-or-later
// One reduction run as an entry of the window's undo history. The run has already happened when
// the entry is made; undo puts the mesh on screen back as it was just before it, redo as it was
// when it was undone. Neither touches a file: the file a run wrote stays as written.
#pragma once

#include <QString>
#include <QUndoCommand>
#include <functional>

#include "model/store.h"

namespace meshthin {

class ReductionCommand : public QUndoCommand {
public:
    // before: the store just before the run; threshold: the threshold text the run read;
    // shown: refreshes everything on screen from the store after undo or redo.
    ReductionCommand(StoreSnapshot before, const QString& threshold, std::function<void()> shown);

    void undo() override;
    void redo() override;

private:
    // The state to go to by the next undo or redo: the one not on screen. Swapping the two keeps
    // one copy of the mesh per entry.
    StoreSnapshot other;
    std::function<void()> shown;
    bool done = true;  // pushing calls redo once; the run itself did that part
};

}  // namespace meshthin
