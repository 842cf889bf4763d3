// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/document.h"

#include <utility>

#include "ui/reduction_command.h"

namespace meshthin {

Document::Document(QObject* parent) : QObject(parent) {
}

void Document::open(std::shared_ptr<const Mesh> mesh, const QString& fileName) {
    current = std::move(mesh);
    isLoaded = true;
    runs.clear();
    setFileName(fileName);
    emit meshChanged(Change::Opened);
}

void Document::ran(std::shared_ptr<const Mesh> after, const QString& threshold) {
    std::shared_ptr<const Mesh> before = std::exchange(current, std::move(after));
    // Pushing runs the entry's redo, which knows the run has done its part.
    runs.push(new ReductionCommand(*this, std::move(before), threshold));
    emit meshChanged(Change::Ran);
}

void Document::written(std::shared_ptr<const Mesh> mesh, const QString& fileName) {
    // Writing numbers the points and prunes the rebuilt faces that a later run starts from: the
    // mesh written is the one the next run works on.
    current = std::move(mesh);
    setFileName(fileName);
}

std::shared_ptr<const Mesh> Document::step(std::shared_ptr<const Mesh> mesh) {
    std::shared_ptr<const Mesh> before = std::exchange(current, std::move(mesh));
    emit meshChanged(Change::Stepped);
    return before;
}

void Document::setFileName(const QString& fileName) {
    if (fileName != file) {
        file = fileName;
        emit fileNameChanged(file);
    }
}

}  // namespace meshthin
