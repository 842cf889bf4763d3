// SPDX-License-Identifier: GPL-3.0-or-later
// The modal boxes the window opens: the message box and the open and save dialogs. Form1 asks
// for them through this interface so that a test or a scripted tool can answer them without a
// person at the screen; QtDialogs is what the program itself uses.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace meshthin {

// The title of every message box.
inline constexpr const char* kApplicationTitle = "meshthin";

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal box with the text and an OK button only; returns when it is closed.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // The file chosen to open, or an empty name when the dialog was cancelled. proposed is the
    // name kept from the last dialog.
    virtual QString openFileName(QWidget* parent, const QString& proposed) = 0;
    // The file chosen to save to, or nothing when the dialog was cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& proposed) = 0;
    // The About boxes, modal; Qt's own unless a script answers them.
    virtual void about(QWidget* parent, const QString& title, const QString& text);
    virtual void aboutQt(QWidget* parent);
};

// Qt's own message box and its widget-based file dialog, which looks and behaves the same on
// every desktop. The save dialog keeps Qt's question before an existing file is replaced.
class QtDialogs : public Dialogs {
public:
    void message(QWidget* parent, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& proposed) override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& proposed) override;
};

}  // namespace meshthin
