// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the program's only window: the point, value, face and connection lists, the threshold
// text, slider and button, the statistics and selection labels, and the preview picture, each at
// its fixed place. It is the real window behind the loader, the reduction run and the writer:
// they reach its controls through the Window interface. The handlers are short; the work is
// done in meshio/ and in the window logic of lists.h and preview.h.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "meshio/reduction.h"
#include "meshio/window.h"
#include "ui/dialogs.h"

class QCloseEvent;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QScrollBar;

namespace meshthin {

class PreviewPicture;
class TextListModel;

inline constexpr const char* kWindowCaption = "Form1";

// The user's decimal separator, as every number text shown or written uses it.
char userDecimalSeparator();

class Form1 : public QWidget, private Window {
    Q_OBJECT

public:
    explicit Form1(std::unique_ptr<Dialogs> dialogs = std::make_unique<QtDialogs>(),
                   QWidget* parent = nullptr);
    ~Form1() override;

    // The load step: the notice, the open dialog, the mesh and the lists. Runs once, before the
    // window is first shown; the window is to be shown afterwards whether it succeeded or not.
    void load();
    // The load step for a file named when the program was started: no notice and no open
    // dialog; the dialogs keep the name, so that the save dialog proposes it.
    void load(const QString& file);

    // The window as the loader, the run and the lists see it, for tools that drive that logic
    // directly (the benchmarks).
    Window& window() { return *this; }

private:
    void createPicture();
    void createPointLists();
    void createThresholdControls();
    void createSelectedPointDetails();
    void createFaceLists();
    void createStatistics();
    void setFocusOrder();
    void connectActions();

    void onCommand1Click();
    void onList1SelectionChanged();
    void onHScroll1Change(int position);
    void onHScroll1Scroll(int position);
    void onPicture1Click();
    // Closing the window during a run stops the run; the program then ends with nothing written.
    void closeEvent(QCloseEvent* event) override;
    // Runs a piece of window logic; a failure becomes one message box instead of a crash.
    template <class Action>
    void reportingFailures(Action action);

    // Window
    void setButtonCaption(const std::string& text) override;
    std::string text1() const override;
    void setText1(const std::string& text) override;
    void setLabel(Caption label, const std::string& text) override;
    void clearList(ListBox list) override;
    void addListItems(ListBox list, const std::vector<std::string>& items) override;
    int sliderPosition() const override;
    void messageBox(const std::string& text) override;
    std::string openDialog() override;
    std::optional<std::string> saveDialog() override;
    void processEvents() override;
    bool closing() const override { return closeWanted; }
    char decimalSeparator() const override;

    QListView* listBox(ListBox list) const;
    TextListModel& texts(ListBox list) const;
    QLabel* label(Caption caption) const;

    PreviewPicture* Picture1 = nullptr;
    QListView* List1 = nullptr;
    QListView* List2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label1 = nullptr;
    QListView* List3 = nullptr;
    QListView* List4 = nullptr;
    QListView* List5 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QLabel* lblPBefore = nullptr;
    QLabel* lblPAfter = nullptr;

    // The file dialog's name, kept from one dialog to the next, so that the save dialog
    // proposes the file that was loaded.
    QString fileName;
    std::unique_ptr<Dialogs> dialogs;
    RunState runState;
    // The user closed the window while a run was in progress.
    bool closeWanted = false;
    // The point last selected in List1; 0 also stands for "none".
    int16_t selectedPoint = 0;
};

}  // namespace meshthin
