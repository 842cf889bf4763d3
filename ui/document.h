// SPDX-License-Identifier: GPL-3.0-or-later
// The window's document: the mesh on screen, the file it belongs to, and the history of runs
// that undo and redo walk. Every view of the mesh (the lists, the statistics, the preview, the
// mesh view) reads it from here and follows its one signal, meshChanged.
//
// The mesh is immutable once it is the document's (std::shared_ptr<const Mesh>): a run works on
// a copy of it and the copy becomes the document's mesh when the run has changed it; undo
// entries keep the meshes before and after as they are, and the mesh view's trial runs read it
// from their own threads. The document itself lives on the window's thread.
#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <memory>

#include "model/mesh.h"

namespace meshthin {

class Document : public QObject {
    Q_OBJECT

public:
    // Why the mesh changed: what the views keep and what they make again.
    enum class Change {
        Opened,  // another file: nothing of the old mesh applies (selection, camera, history)
        Ran,     // a run changed it: the run has filled the lists itself, in its own order
        Stepped  // undo or redo put back a mesh the document had before
    };

    explicit Document(QObject* parent = nullptr);

    const std::shared_ptr<const Mesh>& mesh() const { return current; }
    // Whether a mesh was loaded; the empty mesh before the first load is not one.
    bool loaded() const { return isLoaded; }
    // The file the mesh on screen belongs to: the one loaded, or the one last written. The open
    // and save dialogs propose it.
    const QString& fileName() const { return file; }
    QUndoStack& history() { return runs; }

    // A file was loaded: mesh and file replace the document's, and the history starts afresh.
    void open(std::shared_ptr<const Mesh> mesh, const QString& fileName);
    // A run at the threshold text changed the mesh to after: one entry in the history.
    void ran(std::shared_ptr<const Mesh> after, const QString& threshold);
    // The mesh was written to fileName (a run's write, Save As): the file is now the document's.
    void written(std::shared_ptr<const Mesh> mesh, const QString& fileName);

signals:
    void meshChanged(meshthin::Document::Change change);
    void fileNameChanged(const QString& fileName);

private:
    friend class ReductionCommand;
    // Undo and redo: mesh goes on screen, and the one it replaces is returned.
    std::shared_ptr<const Mesh> step(std::shared_ptr<const Mesh> mesh);
    void setFileName(const QString& fileName);

    std::shared_ptr<const Mesh> current = std::make_shared<const Mesh>();
    bool isLoaded = false;
    QString file;
    QUndoStack runs;
};

}  // namespace meshthin
