// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the program's main window: the point, value, face and connection lists, the threshold
// text, slider and button, the statistics and selection labels, and the preview picture, each at
// its fixed place in the client area, with a menu bar above it (open, save as, undo and redo of
// runs, stop, help). It is the real window behind the loader, the reduction run and the writer:
// they reach its controls through the Window interface. The handlers are short; the work is done
// in meshio/ and in the window logic of lists.h and preview.h. The mesh, its file and its history
// are the window's Document, whose one signal every view follows.
#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>

#include "meshio/any_mesh.h"
#include "meshio/loader.h"
#include "meshio/reduction.h"
#include "meshio/window.h"
#include "ui/dialogs.h"
#include "ui/document.h"
#include "ui/lists.h"

class QAction;
class QCloseEvent;
class QDialog;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QScrollBar;

namespace meshthin {

class MeshViewWindow;
class PreviewPicture;
class TextListModel;

inline constexpr const char* kWindowCaption = "Form1";
// The name of the desktop entry, which docks and Wayland compositors match the window with.
inline constexpr const char* kDesktopFileName = "io.github.meshthin.meshthin";
// Shown when more than one file, or a folder, is dropped on the window.
inline constexpr const char* kDropOneFileMessage =
    "Drop one mesh file on the window to open it. Nothing was changed.";

// The user's decimal separator, as every number text shown or written uses it.
char userDecimalSeparator();

class Form1 : public QMainWindow, private Window {
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

    // File > Open with a file already chosen (a drop, a test): the file replaces the mesh on
    // screen, loaded as a file named at start is. When it fails, its message is shown and the
    // mesh on screen, its lists, selection, threshold and undo history stay as they were.
    // Returns whether the file was loaded.
    bool openFile(const QString& file);

    // The window as the loader, the run and the lists see it, for tools that drive that logic
    // directly (the benchmarks).
    Window& window() { return *this; }
    // The mesh on screen, for tests and tools.
    const Mesh& mesh() const { return *document.mesh(); }

private:
    void createActions();
    void createMenus();
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
    void onOpen();
    void onSaveAs();
    // Edit > Stop Run (Escape): the run or write in progress stops, the mesh on screen stays as
    // it was before it, and nothing is written.
    void stopWork();
    // Every view follows the document's mesh.
    void onMeshChanged(Document::Change change);
    // The file the open and save dialogs propose: the document's, or before any, the one chosen.
    QString proposedFile() const;
    void showHelp();
    void showAbout();
    // View > Mesh View: opens the mesh view on the mesh on screen, or closes it.
    void showMeshView(bool shown);
    // The mesh view follows the document after a load, a run, undo or redo; fit for a new mesh.
    void meshChangedForView(bool fit);
    // The threshold Text1 holds, for the mesh view; nothing when it holds no number.
    void thresholdChangedForView();
    // A point clicked in the mesh view is selected in List1 as a user's click there would.
    void selectPointFromView(int point);
    // A threshold clicked on the histogram goes into Text1 as the slider puts its own there.
    void thresholdFromView(double threshold);
    // The point of the line selected in List1, -1 for none or a removed point's line.
    int selectedInList1() const;
    // Whether an action that changes the mesh may run now: a mesh is on screen (for those that
    // need one) and no run or write is in progress.
    void updateActions();
    // The same for an idle window, or for one with a run or write in progress.
    void enableActions(bool idle);
    // Closing the window during a run stops the run; the program then ends with nothing written.
    void closeEvent(QCloseEvent* event) override;
    // A file dragged from a file manager opens as File > Open does.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Text1 would take a dropped file as text; its file drops go to the window instead.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Runs a piece of window logic; a failure becomes one message box instead of a crash.
    template <class Action>
    void reportingFailures(Action action);

    // Sets and paints Command1's caption, on the window's thread.
    void showCaption(const QString& caption);

    // The load step's reader: files whose name names OBJ, PLY, OFF or STL (any size, no point
    // limit) are read on a thread of their own with a progress dialog; every other file, the
    // brace format above all (at most 32,767 points, read in milliseconds), keeps its load step
    // as it was, on the window's thread.
    MeshReader reader();
    // Reads the file on the loading thread while the window stays live and shows the progress,
    // and summarizes its values there too (kept in loadedSummary). Throws LoadStopped when the
    // user cancels.
    Mesh readOnThread(const std::string& path, MeshSource* source);
    // The load step's list filling: the loaded mesh becomes the one the lists show; moved out of
    // loaded into loadedLists, which the document then takes.
    void fillFromLoaded(Mesh& loaded);
    // Shows the lists of a mesh: made on the spot, or as the loading thread summarized it.
    void showMeshLists(std::shared_ptr<const MeshLists> lists);
    // The lists of a mesh that changed (a run, undo, redo). A mesh of many points has its value
    // list ordered and its values sorted on a thread of its own while the window stays live, as
    // at a million points that takes longer than a window may stall; a smaller one on the spot.
    std::shared_ptr<const MeshLists> listsOf(std::shared_ptr<const Mesh> mesh);
    // A copy of the document's mesh for a run or a write to work on: made the same way.
    std::shared_ptr<Mesh> copyOfMesh();
    // The lists of the document's mesh, for the statistics: those shown, or made again when a
    // run whose lists were not filled changed the mesh.
    const MeshLists& listsOnScreen();

    // Window
    void setButtonCaption(const std::string& text) override;
    std::string text1() const override;
    void setText1(const std::string& text) override;
    void setLabel(Caption label, const std::string& text) override;
    void clearList(ListBox list) override;
    void addListItems(ListBox list, const std::vector<std::string>& items) override;
    void showLines(ListBox list, std::shared_ptr<const ListLines> lines) override;
    void appendLines(ListBox list, std::shared_ptr<const ListLines> lines) override;
    int sliderPosition() const override;
    void messageBox(const std::string& text) override;
    std::string openDialog() override;
    std::optional<std::string> saveDialog() override;
    void processEvents() override;
    void whileWorking(const std::function<void(std::stop_token)>& work) override;
    bool closing() const override { return closeWanted || stopWanted; }
    char decimalSeparator() const override;

    QListView* listBox(ListBox list) const;
    TextListModel& texts(ListBox list) const;
    QLabel* label(Caption caption) const;

    // The area below the menu bar that holds the controls at their fixed places.
    QWidget* client = nullptr;
    QAction* openAction = nullptr;
    QAction* saveAsAction = nullptr;
    QAction* quitAction = nullptr;
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
    QAction* stopAction = nullptr;
    QAction* meshViewAction = nullptr;
    QAction* helpAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* aboutQtAction = nullptr;
    QDialog* helpWindow = nullptr;
    // Made when first opened; it then follows the mesh while it is shown.
    MeshViewWindow* meshView = nullptr;
    // The mesh changed while the view was closed: it is built again when it opens.
    bool meshViewStale = true;
    bool meshViewFit = true;
    // The mesh on screen, its file and one history entry per run since it was opened.
    Document document;
    // Where the mesh that was opened came from: what its writes carry over and say.
    MeshSource meshSource;

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

    // The file last chosen in the open dialog, or named at start: what the load step reads.
    QString chosenFile;
    std::unique_ptr<Dialogs> dialogs;
    RunState runState;
    // The user closed the window while a run was in progress.
    bool closeWanted = false;
    // The user asked to stop the run or write in progress.
    bool stopWanted = false;
    // The stop of the work running on its own thread, while it runs.
    std::stop_source* workStop = nullptr;
    // The point last selected in List1; 0 also stands for "none".
    PointNumber selectedPoint = 0;

    // The lists shown of the document's mesh (or of a run's mesh until the run ends).
    std::shared_ptr<const MeshLists> shownLists;
    // Between the load step's reading and its list filling: the summary the loading thread
    // made, and the mesh with its lists once they are filled.
    std::optional<ValueSummary> loadedSummary;
    std::shared_ptr<const MeshLists> loadedLists;
    // A file is being read on the loading thread; the window waits for it, live.
    bool loading = false;
    // The loading thread; its stop token asks the load to stop (Cancel, Escape, closing). A
    // cancelled load is left to end on its own (it stops at its next look, between stages), so that
    // Cancel answers at once; the next load or the window's end joins it.
    std::jthread loadThread;
};

}  // namespace meshthin
