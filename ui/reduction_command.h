// SPDX-License-Identifier: GPL-3.0-or-later
// One reduction run as an entry of the document's history. The run has already happened when
// the entry is made; undo puts the mesh on screen back as it was just before it, redo as it was
// when it was undone. Neither touches a file: the file a run wrote stays as written.
#pragma once

#include <QString>
#include <QUndoCommand>
#include <memory>

#include "model/mesh.h"

namespace meshthin {

class Document;

class ReductionCommand : public QUndoCommand {
public:
    // before: the mesh just before the run; threshold: the threshold text the run read.
    ReductionCommand(Document& document, std::shared_ptr<const Mesh> before,
                     const QString& threshold);

    void undo() override;
    void redo() override;

private:
    Document& document;
    // The mesh to go to by the next undo or redo: the one not on screen. Both are kept as they
    // are, shared with whoever else reads them.
    std::shared_ptr<const Mesh> other;
    bool done = true;  // pushing calls redo once; the run itself did that part
};

}  // namespace meshthin
