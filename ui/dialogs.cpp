// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace meshthin {

void Dialogs::about(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::about(parent, title, text);
}

void Dialogs::aboutQt(QWidget* parent) {
    QMessageBox::aboutQt(parent);
}

void QtDialogs::message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text,
                    QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

// No caption and no filter of our own: the dialogs open with the toolkit's defaults.
QString QtDialogs::openFileName(QWidget* parent, const QString& proposed) {
    return QFileDialog::getOpenFileName(parent, QString(), proposed, QString(), nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

std::optional<QString> QtDialogs::saveFileName(QWidget* parent, const QString& proposed) {
    const QString chosen = QFileDialog::getSaveFileName(parent, QString(), proposed, QString(),
                                                        nullptr, QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen;
}

}  // namespace meshthin
