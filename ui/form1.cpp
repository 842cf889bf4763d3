// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include <atomic>
#include <exception>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "meshio/formats/mesh_file.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "meshio/stopping.h"
#include "meshio/writer.h"
#include "model/failure.h"
#include "model/mesh.h"
#include "ui/help_text.h"
#include "ui/lists.h"
#include "ui/mesh_view_window.h"
#include "ui/picture.h"
#include "ui/reduction_command.h"
#include "ui/text_list_model.h"

namespace meshthin {

namespace {

// The layout is kept in twips, as it was designed; 15 twips make one pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

struct Twips {
    int left;
    int top;
    int width;
    int height;
};

constexpr int kClientWidth = 11130;
constexpr int kClientHeight = 7200;

// The controls in focus order.
constexpr Twips kPicture1{5280, 3840, 1575, 2895};
constexpr Twips kList1{6720, 0, 855, 1620};
constexpr Twips kList2{7560, 0, 1935, 1620};
constexpr Twips kText1{6840, 3600, 2775, 375};
constexpr Twips kCommand1{6840, 4080, 2775, 375};
constexpr Twips kLabel1{6960, 4680, 1695, 735};
constexpr Twips kList3{8520, 4560, 1455, 2400};
constexpr Twips kList4{0, 0, 5175, 2400};
constexpr Twips kList5{0, 2640, 5175, 4350};
constexpr Twips kHScroll1{6840, 3240, 2775, 375};
constexpr Twips kLblPBefore{6840, 1800, 2775, 255};
constexpr Twips kLblPAfter{6840, 2160, 2775, 375};

constexpr const char* kText1Initial = "Enter Threshold";
constexpr const char* kCommand1Caption = "Attempt Reduction";
constexpr const char* kLabel1Initial = "Label1";
constexpr const char* kStatisticsInitial = "Label2";

// Page Up and Page Down move the slider by about a tenth of its range; arrows and clicks in the
// trough move it by 1, so that every threshold can be reached.
constexpr int kKeyPageStep = (kSliderMaximum + 5) / 10;

// The desktop's own keys for a standard action, with the key users of every desktop know added
// where the platform has other keys or none (Qt's offscreen and Windows-like bindings have no
// Save As or Quit key, and redo there is Ctrl+Y only).
QList<QKeySequence> standardKeys(QKeySequence::StandardKey key, const char* usual) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    const QKeySequence known(QString::fromLatin1(usual));
    if (!keys.contains(known)) {
        keys.append(known);
    }
    return keys;
}

QRect toPixels(const Twips& twips) {
    return QRect(twips.left / kTwipsPerPixel, twips.top / kTwipsPerPixel,
                 twips.width / kTwipsPerPixel, twips.height / kTwipsPerPixel);
}

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

template <class Control>
Control* place(Control* control, const char* name, const Twips& twips) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(toPixels(twips));
    return control;
}

constexpr int kListLayoutBatch = 65536;

// A list of texts: a view over a model that holds them, so that tens of thousands of lines cost
// no item object each. One line is selected at a time, and nothing is edited in place.
QListView* makeList(QWidget* parent, const char* name, const Twips& twips) {
    auto* list = place(new QListView(parent), name, twips);
    list->setModel(new TextListModel(list));
    // Equal item heights let the view lay out and scroll a long list without measuring every
    // line.
    list->setUniformItemSizes(true);
    // Even so the view lays out every row after each change of its lines, some 100 ms per list
    // of a million on the window's thread: in batches, with the window's events between them. A
    // list of a brace mesh (up to 32,767 points, twice as many faces) is laid out in one.
    list->setLayoutMode(QListView::Batched);
    list->setBatchSize(kListLayoutBatch);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

// Labels keep their size: long text wraps at word boundaries and what does not fit is cut off.
QLabel* makeLabel(QWidget* parent, const char* name, const Twips& twips, const char* text) {
    auto* label = place(new QLabel(QString::fromLatin1(text), parent), name, twips);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The threshold slider, with the keys a user expects of a horizontal scroll bar. QScrollBar
// inverts the arrow keys for the sake of vertical bars, which would make Left move a horizontal
// bar to the right; and its page step is 1 (a click in the trough moves it by one), so Page Up
// and Page Down get a larger step of their own. Page Up moves towards 0, like Left and Home.
class ThresholdScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool mirrored = isRightToLeft();
        switch (event->key()) {
            case Qt::Key_Left:
                triggerAction(mirrored ? SliderSingleStepAdd : SliderSingleStepSub);
                break;
            case Qt::Key_Right:
                triggerAction(mirrored ? SliderSingleStepSub : SliderSingleStepAdd);
                break;
            case Qt::Key_PageUp:
                setValue(value() - kKeyPageStep);
                break;
            case Qt::Key_PageDown:
                setValue(value() + kKeyPageStep);
                break;
            default:
                QScrollBar::keyPressEvent(event);
                return;
        }
        event->accept();
    }
};

}  // namespace

Form1::Form1(std::unique_ptr<Dialogs> dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs(std::move(dialogs)) {
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setWindowIcon(QIcon(QStringLiteral(":/icons/meshthin.png")));
    // The client area keeps its designed size; the window is that plus the menu bar, and the
    // layout's fixed-size constraint keeps the user from resizing it.
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    createActions();
    createMenus();
    createPicture();
    createPointLists();
    createThresholdControls();
    createSelectedPointDetails();
    createFaceLists();
    createStatistics();
    setFocusOrder();
    connectActions();
    setAcceptDrops(true);
    Text1->installEventFilter(this);
    connect(&document, &Document::meshChanged, this, &Form1::onMeshChanged);
    connect(&document, &Document::fileNameChanged, this, [this] { meshChangedForView(false); });
    updateActions();
}

Form1::~Form1() = default;

void Form1::createActions() {
    openAction = new QAction(tr("&Open..."), this);
    openAction->setObjectName(QStringLiteral("fileOpen"));
    openAction->setShortcuts(standardKeys(QKeySequence::Open, "Ctrl+O"));
    openAction->setStatusTip(tr("Open another mesh file in place of the one on screen"));
    connect(openAction, &QAction::triggered, this, &Form1::onOpen);

    saveAsAction = new QAction(tr("Save &As..."), this);
    saveAsAction->setObjectName(QStringLiteral("fileSaveAs"));
    saveAsAction->setShortcuts(standardKeys(QKeySequence::SaveAs, "Ctrl+Shift+S"));
    saveAsAction->setStatusTip(tr("Write the mesh on screen to a file you choose"));
    connect(saveAsAction, &QAction::triggered, this, &Form1::onSaveAs);

    quitAction = new QAction(tr("&Quit"), this);
    quitAction->setObjectName(QStringLiteral("fileQuit"));
    quitAction->setShortcuts(standardKeys(QKeySequence::Quit, "Ctrl+Q"));
    quitAction->setStatusTip(tr("Close the window; a run in progress stops and writes nothing"));
    connect(quitAction, &QAction::triggered, this, &QWidget::close);

    // The entries read "Undo Reduction at 0.3"; with nothing to undo, "Undo Reduction".
    const QString onScreenOnly =
        tr("Changes the mesh on screen only: no file is changed. Save the result with the next "
           "run or with File > Save As.");
    undoAction = document.history().createUndoAction(this, tr("Undo Reduction"));
    undoAction->setObjectName(QStringLiteral("editUndo"));
    undoAction->setShortcuts(standardKeys(QKeySequence::Undo, "Ctrl+Z"));
    undoAction->setToolTip(tr("Put the mesh back as it was before the last run. ") + onScreenOnly);
    undoAction->setStatusTip(undoAction->toolTip());
    redoAction = document.history().createRedoAction(this, tr("Redo Reduction"));
    redoAction->setObjectName(QStringLiteral("editRedo"));
    redoAction->setShortcuts(standardKeys(QKeySequence::Redo, "Ctrl+Shift+Z"));
    redoAction->setToolTip(tr("Put the mesh back as it was after the run that was undone. ") +
                           onScreenOnly);
    redoAction->setStatusTip(redoAction->toolTip());

    stopAction = new QAction(tr("&Stop Run"), this);
    stopAction->setObjectName(QStringLiteral("editStop"));
    stopAction->setShortcut(QKeySequence(Qt::Key_Escape));
    stopAction->setToolTip(
        tr("Stop the run in progress: the mesh stays as it was before it and nothing is written"));
    stopAction->setStatusTip(stopAction->toolTip());
    connect(stopAction, &QAction::triggered, this, &Form1::stopWork);

    meshViewAction = new QAction(tr("&Mesh View"), this);
    meshViewAction->setObjectName(QStringLiteral("viewMeshView"));
    meshViewAction->setShortcut(QKeySequence(Qt::Key_F3));
    meshViewAction->setCheckable(true);
    meshViewAction->setStatusTip(
        tr("Show the mesh in 3D, coloured by value, with the points a run would remove"));
    connect(meshViewAction, &QAction::toggled, this, &Form1::showMeshView);

    helpAction = new QAction(tr("meshthin &Help"), this);
    helpAction->setObjectName(QStringLiteral("helpContents"));
    helpAction->setShortcuts(standardKeys(QKeySequence::HelpContents, "F1"));
    connect(helpAction, &QAction::triggered, this, &Form1::showHelp);
    aboutAction = new QAction(tr("&About meshthin"), this);
    aboutAction->setObjectName(QStringLiteral("helpAbout"));
    connect(aboutAction, &QAction::triggered, this, &Form1::showAbout);
    aboutQtAction = new QAction(tr("About &Qt"), this);
    aboutQtAction->setObjectName(QStringLiteral("helpAboutQt"));
    connect(aboutQtAction, &QAction::triggered, this, [this] { dialogs->aboutQt(this); });
}

void Form1::createMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(openAction);
    file->addAction(saveAsAction);
    file->addSeparator();
    file->addAction(quitAction);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(undoAction);
    edit->addAction(redoAction);
    edit->addSeparator();
    edit->addAction(stopAction);
    // The tooltips say that undo leaves the files on disk alone.
    edit->setToolTipsVisible(true);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(meshViewAction);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(helpAction);
    help->addSeparator();
    help->addAction(aboutAction);
    help->addAction(aboutQtAction);
}

void Form1::createPicture() {
    Picture1 = place(new PreviewPicture(client), "Picture1", kPicture1);
    Picture1->setAccessibleName(tr("Preview"));
}

void Form1::createPointLists() {
    List1 = makeList(client, "List1", kList1);
    // List2 is a sorted list, kept in order by addListItems in character-code order. A
    // QSortFilterProxyModel would give the same order (it compares code units unless made
    // locale-aware), but filling and sorting 32,767 value lines through it over a string list
    // took 61 ms against 9 ms for the packed list sorting its own rows.
    List2 = makeList(client, "List2", kList2);
}

void Form1::createThresholdControls() {
    Text1 = place(new QLineEdit(QString::fromLatin1(kText1Initial), client), "Text1", kText1);
    Command1 = place(new QPushButton(QString::fromLatin1(kCommand1Caption), client), "Command1",
                     kCommand1);
    HScroll1 = place(new ThresholdScrollBar(Qt::Horizontal, client), "HScroll1", kHScroll1);
    HScroll1->setRange(0, kSliderMaximum);
    HScroll1->setSingleStep(1);
    HScroll1->setPageStep(1);
    // Without tracking, valueChanged comes once a position is set (an arrow, the trough, a key,
    // the end of a drag) and sliderMoved for each movement of a dragged thumb.
    HScroll1->setTracking(false);
    HScroll1->setFocusPolicy(Qt::StrongFocus);
    HScroll1->setAccessibleName(tr("Threshold"));
}

void Form1::createSelectedPointDetails() {
    Label1 = makeLabel(client, "Label1", kLabel1, kLabel1Initial);
    List3 = makeList(client, "List3", kList3);
}

void Form1::createFaceLists() {
    List4 = makeList(client, "List4", kList4);
    // Nothing ever fills List5; it is part of the layout all the same.
    List5 = makeList(client, "List5", kList5);
}

void Form1::createStatistics() {
    lblPBefore = makeLabel(client, "lblPBefore", kLblPBefore, kStatisticsInitial);
    lblPAfter = makeLabel(client, "lblPAfter", kLblPAfter, kStatisticsInitial);
}

void Form1::setFocusOrder() {
    // The labels between Command1 and List3 and after HScroll1 never take the focus.
    QWidget* const order[] = {Picture1, List1, List2, Text1,   Command1,
                              List3,    List4, List5, HScroll1};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
}

void Form1::connectActions() {
    connect(Command1, &QPushButton::clicked, this, &Form1::onCommand1Click);
    connect(List1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Form1::onList1SelectionChanged);
    connect(HScroll1, &QScrollBar::valueChanged, this, &Form1::onHScroll1Change);
    connect(HScroll1, &QScrollBar::sliderMoved, this, &Form1::onHScroll1Scroll);
    connect(Picture1, &PreviewPicture::clicked, this, &Form1::onPicture1Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::thresholdChangedForView);
}

void Form1::load() {
    Mesh loaded;
    if (Form_Load(
            *this, loaded, [&] { fillFromLoaded(loaded); }, &meshSource, reader())) {
        document.open(std::exchange(loadedLists, nullptr)->mesh(), chosenFile);
    }
    updateActions();
}

void Form1::load(const QString& file) {
    chosenFile = file;
    Mesh loaded;
    if (openMeshFile(
            *this, loaded, QFile::encodeName(file).toStdString(), [&] { fillFromLoaded(loaded); },
            &meshSource, reader())) {
        document.open(std::exchange(loadedLists, nullptr)->mesh(), file);
    }
    updateActions();
}

MeshReader Form1::reader() {
    loadedSummary.reset();
    return [this](const std::string& path, const NumberCodec& numbers, MeshSource* source) {
        if (formats::formatOfName(path)) {
            return readOnThread(path, source);
        }
        return loadAnyMesh(path, numbers, source);
    };
}

namespace {

// One load on the loading thread. What it reports is written there through atomics; what it
// made is written there before ended is set, and read on the window's thread after it is seen.
struct LoadJob {
    std::atomic<int> stage{static_cast<int>(LoadStage::ReadingFile)};
    std::atomic<long long> done{0};
    std::atomic<long long> total{0};
    std::atomic<bool> summarizing{false};
    std::atomic<bool> ended{false};
    std::optional<Mesh> mesh;
    MeshSource source;
    std::optional<ValueSummary> summary;
    std::exception_ptr thrown;
};

// How often the window looks at the loading thread's progress and end.
constexpr int kLoadLookMilliseconds = 15;
// A load that ends sooner shows no progress dialog at all.
constexpr int kLoadDialogAfterMilliseconds = 400;

}  // namespace

Mesh Form1::readOnThread(const std::string& path, MeshSource* source) {
    auto job = std::make_shared<LoadJob>();
    const char separator = decimalSeparator();
    // The thread of a load cancelled before is stopped already; it is joined here.
    loadThread = std::jthread([job, path, separator](const std::stop_token& stop) {
        try {
            const LoadProgress progress{stop,
                                        [&job](LoadStage stage, long long done, long long total) {
                                            job->stage = static_cast<int>(stage);
                                            job->done = done;
                                            job->total = total;
                                        }};
            const numtext::LocaleNumbers numbers(separator);
            Mesh mesh = loadAnyMesh(path, numbers, &job->source, &progress);
            job->summarizing = true;
            job->summary = summarizeValues(mesh, separator);
            job->mesh = std::move(mesh);
        } catch (...) {
            job->thrown = std::current_exception();
        }
        job->ended.store(true, std::memory_order_release);
    });

    const QString name = QFileInfo(QFile::decodeName(path.c_str())).fileName();
    QProgressDialog progress(tr("Reading %1").arg(name), tr("Cancel"), 0, 0, this);
    progress.setObjectName(QStringLiteral("loadProgress"));
    progress.setWindowTitle(tr("Opening %1").arg(name));
    progress.setAccessibleName(tr("Loading progress"));
    progress.setAccessibleDescription(
        tr("How much of the mesh file is read. Cancel or Escape stops reading it and keeps the "
           "mesh on screen as it is."));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(kLoadDialogAfterMilliseconds);

    loading = true;
    enableActions(false);  // Escape (Edit > Stop Run) stops the load too
    QEventLoop waiting;
    QTimer look;
    look.setInterval(kLoadLookMilliseconds);
    connect(&look, &QTimer::timeout, &waiting, [&] {
        if (job->ended.load(std::memory_order_acquire) ||
            loadThread.get_stop_token().stop_requested()) {
            waiting.quit();
            return;
        }
        const long long done = job->done;
        const long long total = job->total;
        if (job->summarizing) {
            progress.setLabelText(tr("Sorting the values of %1").arg(name));
            progress.setRange(0, 0);
        } else if (job->stage == static_cast<int>(LoadStage::ReadingFile) && total > 0) {
            progress.setLabelText(tr("Reading %1: %2 of %3 MB")
                                      .arg(name)
                                      .arg(static_cast<double>(done) / 1e6, 0, 'f', 1)
                                      .arg(static_cast<double>(total) / 1e6, 0, 'f', 1));
            progress.setRange(0, 1000);
            progress.setValue(static_cast<int>(done * 1000 / total));
            return;
        } else if (job->stage == static_cast<int>(LoadStage::ReadingMesh)) {
            progress.setLabelText(tr("Reading the points and faces of %1").arg(name));
            progress.setRange(0, 0);
        } else {
            progress.setLabelText(tr("Connecting the points of %1").arg(name));
            progress.setRange(0, 0);
        }
        // A busy bar: the dialog shows itself once its time has come when its value is set.
        progress.setValue(0);
    });
    connect(&progress, &QProgressDialog::canceled, &waiting, [&] {
        loadThread.request_stop();
        waiting.quit();
    });
    look.start();
    waiting.exec();
    look.stop();
    loading = false;
    // Cancelled, or the application is quitting (which ends every event loop): the load stops at
    // its next look, and nothing of it is shown.
    const bool stopped =
        !job->ended.load(std::memory_order_acquire) || loadThread.get_stop_token().stop_requested();
    // Hidden, not closed: closing a progress dialog reports a cancel.
    progress.hide();
    if (stopped) {
        loadThread.request_stop();
        throw LoadStopped{};
    }
    loadThread.join();
    if (job->thrown) {
        std::rethrow_exception(job->thrown);
    }
    *source = std::move(job->source);
    loadedSummary = std::move(job->summary);
    return std::move(*job->mesh);
}

void Form1::fillFromLoaded(Mesh& loaded) {
    auto mesh = std::make_shared<const Mesh>(std::move(loaded));
    std::shared_ptr<const MeshLists> lists;
    if (loadedSummary && loadedSummary->separator == decimalSeparator()) {
        lists = std::make_shared<const MeshLists>(mesh, std::move(*loadedSummary));
    } else {
        lists = makeMeshLists(mesh, decimalSeparator());
    }
    loadedSummary.reset();
    showMeshLists(lists);
    loadedLists = std::move(lists);
}

void Form1::showMeshLists(std::shared_ptr<const MeshLists> lists) {
    shownLists = std::move(lists);
    FillLists(*this, *shownLists);
}

namespace {

// From this many points on, a mesh is copied and its lists made on a thread of their own. Below
// it either takes a few milliseconds, and a brace mesh (at most 32,767 points) keeps the window's
// order of events as it was.
constexpr long long kWorkOnThreadFrom = 100000;

bool large(const Mesh& mesh) {
    return mesh.Points.exists() && mesh.lastLoadedPoint() + 1 >= kWorkOnThreadFrom;
}

}  // namespace

std::shared_ptr<const MeshLists> Form1::listsOf(std::shared_ptr<const Mesh> mesh) {
    const char separator = decimalSeparator();
    if (!large(*mesh)) {
        return makeMeshLists(std::move(mesh), separator);
    }
    enableActions(false);  // its caller enables them again once the lists are shown
    ValueSummary summary;
    whileWorking([&](const std::stop_token&) { summary = summarizeValues(*mesh, separator); });
    return std::make_shared<const MeshLists>(std::move(mesh), std::move(summary));
}

std::shared_ptr<Mesh> Form1::copyOfMesh() {
    const std::shared_ptr<const Mesh>& shown = document.mesh();
    if (!large(*shown)) {
        return std::make_shared<Mesh>(*shown);
    }
    std::shared_ptr<Mesh> copy;
    whileWorking([&](const std::stop_token&) { copy = std::make_shared<Mesh>(*shown); });
    return copy;
}

const MeshLists& Form1::listsOnScreen() {
    if (!shownLists || shownLists->mesh() != document.mesh()) {
        shownLists = makeMeshLists(document.mesh(), decimalSeparator());
    }
    return *shownLists;
}

bool Form1::openFile(const QString& file) {
    if (runState.running || loading) {
        return false;
    }
    const QString path = QFileInfo(file).absoluteFilePath();
    // The new mesh is loaded beside the one on screen and takes its place only once it has
    // loaded, so that a file that fails to load, or whose load is cancelled, changes nothing.
    Mesh loaded;
    const bool opened = openMeshFile(
        *this, loaded, QFile::encodeName(path).toStdString(), [&] { fillFromLoaded(loaded); },
        &meshSource, reader());
    updateActions();
    if (!opened) {
        return false;
    }
    document.open(std::exchange(loadedLists, nullptr)->mesh(), path);
    return true;
}

void Form1::onMeshChanged(Document::Change change) {
    runState.meshLoaded = document.loaded();
    if (change == Document::Change::Opened) {
        // The details of a point of the old mesh would describe a point it no longer has.
        selectedPoint = 0;
        Label1->setText(QString::fromLatin1(kLabel1Initial));
        clearList(ListBox::List3);
        Picture1->clear();
    } else if (change == Document::Change::Stepped) {
        reportingFailures([&] { showMeshLists(listsOf(document.mesh())); });
    }
    // A run filled the lists itself, in the order a run shows them.
    meshChangedForView(change == Document::Change::Opened);
    updateActions();
}

QString Form1::proposedFile() const {
    return document.fileName().isEmpty() ? chosenFile : document.fileName();
}

void Form1::onOpen() {
    if (runState.running || loading) {
        return;
    }
    const QString chosen = dialogs->openFileName(this, proposedFile());
    if (!chosen.isEmpty()) {  // Cancel keeps everything as it is
        openFile(chosen);
    }
}

void Form1::onSaveAs() {
    if (runState.running || !runState.meshLoaded) {
        return;
    }
    const QString caption = Command1->text();
    runState.running = true;
    stopWanted = false;
    updateActions();
    // Writing numbers the points and prunes the rebuilt faces: it works on a copy, which becomes
    // the document's mesh once it is written.
    std::shared_ptr<Mesh> working;
    std::optional<std::string> target;
    try {
        working = copyOfMesh();
        // The window stays alive while the file is written, and closing it stops the write.
        WindowCheckpoints checkpoints(*this, *working);
        target = WriteMesh(
            *this, *working, [&] { checkpoints(); }, &meshSource);
    } catch (const RunStopped&) {
        if (closeWanted) {
            return;  // the window is closing: nothing is written, nothing more is shown
        }
    } catch (const std::exception& thrown) {
        // Out of memory: the copy is dropped first, and the mesh on screen stays as it was.
        working.reset();
        messageBox(std::string(kWriteErrorPrefix) + describe(thrown, "write the mesh"));
    }
    runState.running = false;
    // The writer's stages showed on the button; it reads again as before the write.
    setButtonCaption(caption.toStdString());
    if (target) {
        document.written(std::move(working), QFile::decodeName(target->c_str()));
    }
    updateActions();
}

void Form1::stopWork() {
    if (loading) {
        loadThread.request_stop();
        return;
    }
    if (!runState.running) {
        return;
    }
    stopWanted = true;
    if (workStop != nullptr) {
        workStop->request_stop();
    }
}

void Form1::showHelp() {
    if (helpWindow == nullptr) {
        helpWindow = new QDialog(this);
        helpWindow->setObjectName(QStringLiteral("helpWindow"));
        helpWindow->setWindowTitle(tr("meshthin Help"));
        auto* text = new QTextBrowser(helpWindow);
        text->setObjectName(QStringLiteral("helpText"));
        text->setHtml(helpHtml());
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, helpWindow);
        connect(buttons, &QDialogButtonBox::rejected, helpWindow, &QDialog::close);
        auto* column = new QVBoxLayout(helpWindow);
        column->addWidget(text);
        column->addWidget(buttons);
        helpWindow->resize(560, 520);
    }
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
}

void Form1::showAbout() {
    dialogs->about(this, tr("About meshthin"), aboutHtml());
}

void Form1::showMeshView(bool shown) {
    if (!shown) {
        if (meshView != nullptr) {
            meshView->hide();
        }
        return;
    }
    if (meshView == nullptr) {
        meshView = new MeshViewWindow(this);
        meshView->setObjectName(QStringLiteral("meshView"));
        connect(meshView, &MeshViewWindow::pointPicked, this, &Form1::selectPointFromView);
        connect(meshView, &MeshViewWindow::thresholdPicked, this, &Form1::thresholdFromView);
        // Closing the view's window unticks the menu entry; F3 there closes it too.
        connect(meshView, &MeshViewWindow::closed, this,
                [this] { meshViewAction->setChecked(false); });
        meshView->addAction(meshViewAction);
        meshView->setBusy(runState.running);
    }
    if (meshViewStale && runState.meshLoaded) {
        meshView->meshChanged(document.mesh(), QFileInfo(document.fileName()).fileName(),
                              meshViewFit);
        meshViewStale = false;
        meshViewFit = false;
    }
    thresholdChangedForView();
    meshView->selectedPointChanged(selectedInList1());
    meshView->show();
    meshView->raise();
    meshView->activateWindow();
}

void Form1::meshChangedForView(bool fit) {
    meshViewStale = true;
    meshViewFit = meshViewFit || fit;
    if (meshView == nullptr || !meshView->isVisible() || !runState.meshLoaded) {
        return;
    }
    meshView->meshChanged(document.mesh(), QFileInfo(document.fileName()).fileName(), meshViewFit);
    meshViewStale = false;
    meshViewFit = false;
    thresholdChangedForView();
}

void Form1::thresholdChangedForView() {
    if (meshView == nullptr) {
        return;
    }
    const std::string text = text1();
    const char separator = decimalSeparator();
    meshView->thresholdChanged(numtext::isNumeric(text, separator)
                                   ? std::optional(numtext::toDouble(text, separator))
                                   : std::nullopt);
}

void Form1::selectPointFromView(int point) {
    if (runState.running || point < 0 || point >= texts(ListBox::List1).rowCount()) {
        return;
    }
    const QModelIndex row = List1->model()->index(point, 0);
    List1->setCurrentIndex(row);
    List1->scrollTo(row);
}

void Form1::thresholdFromView(double threshold) {
    if (runState.running) {
        return;
    }
    setText1(numtext::generalForm(threshold, decimalSeparator()));
    if (runState.meshLoaded) {
        reportingFailures([&] { RefreshStatistics(*this, listsOnScreen()); });
    }
}

int Form1::selectedInList1() const {
    const QModelIndexList selected = List1->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        return -1;
    }
    // A removed point's line reads "n GONE"; the view shows no removed point.
    bool number = false;
    const int point = selected.first().data().toString().toInt(&number);
    return number ? point : -1;
}

void Form1::updateActions() {
    enableActions(!runState.running);
}

void Form1::enableActions(bool idle) {
    openAction->setEnabled(idle);
    saveAsAction->setEnabled(idle && runState.meshLoaded);
    undoAction->setEnabled(idle && document.history().canUndo());
    redoAction->setEnabled(idle && document.history().canRedo());
    stopAction->setEnabled(!idle);
    // The button that changes the mesh (its caption goes on showing the progress), and the
    // controls whose threshold and selection the run's lists and marks would overtake.
    for (QWidget* control : {static_cast<QWidget*>(Command1), static_cast<QWidget*>(Text1),
                             static_cast<QWidget*>(HScroll1), static_cast<QWidget*>(List1)}) {
        control->setEnabled(idle);
    }
    // The About boxes are modal: opened during a run they would hold the run until closed.
    // The mesh view reads the mesh when it opens, which must not happen halfway through a run.
    meshViewAction->setEnabled(idle);
    aboutAction->setEnabled(idle);
    aboutQtAction->setEnabled(idle);
    if (meshView != nullptr) {
        meshView->setBusy(!idle);
    }
}

template <class Action>
void Form1::reportingFailures(Action action) {
    try {
        action();
    } catch (const std::exception& thrown) {
        messageBox(std::string(kWriteErrorPrefix) + describe(thrown));
    }
}

void Form1::onCommand1Click() {
    if (runState.running) {
        return;
    }
    const QString threshold = Text1->text().trimmed();
    const QString captionBefore = Command1->text();
    std::optional<QString> writtenTo;
    stopWanted = false;
    // The menus follow the run for its whole length; the run itself marks itself as running.
    enableActions(false);
    // The run works on a copy: the document's mesh stays as it was until the run has changed
    // the copy, and a run that is stopped, or runs out of memory, leaves it untouched.
    std::shared_ptr<Mesh> working;
    try {
        working = copyOfMesh();
    } catch (const std::exception& thrown) {
        updateActions();
        messageBox(std::string(kWriteErrorPrefix) +
                   describe(thrown, "run at threshold " + threshold.toStdString()));
        return;
    }
    const bool ran = Command1_Click(
        *this, runState, *working, [&] { showMeshLists(listsOf(working)); }, {},
        [&](const std::string& file) { writtenTo = QFile::decodeName(file.c_str()); }, &meshSource);
    if (closeWanted) {
        return;
    }
    if (ran) {
        document.ran(working, threshold);
        if (writtenTo) {
            document.written(working, *writtenTo);
        }
    } else if (stopWanted || (runState.meshLoaded && working->isEmpty())) {
        // The run may have listed its marks before it was stopped or ran out of memory (which
        // emptied its copy); the list shows the mesh on screen again, and the button reads as
        // before the click.
        reportingFailures([&] { fillPointList(*this, *document.mesh()); });
        setButtonCaption(captionBefore.toStdString());
    }
    updateActions();
}

void Form1::onList1SelectionChanged() {
    if (!runState.meshLoaded) {
        return;
    }
    const QModelIndexList selected = List1->selectionModel()->selectedIndexes();
    const std::string itemText =
        selected.isEmpty() ? "" : selected.first().data().toString().toStdString();
    reportingFailures([&] { showSelectedPoint(*this, *document.mesh(), itemText, selectedPoint); });
    if (meshView != nullptr) {
        meshView->selectedPointChanged(selectedInList1());
    }
}

void Form1::onHScroll1Change(int position) {
    setText1(thresholdText(position, decimalSeparator()));
}

void Form1::onHScroll1Scroll(int position) {
    setText1(thresholdText(position, decimalSeparator()));
    if (runState.meshLoaded) {
        reportingFailures([&] { RefreshStatistics(*this, listsOnScreen()); });
    }
}

void Form1::onPicture1Click() {
    if (!runState.meshLoaded) {
        Picture1->clear();
        return;
    }
    // A face asked for a position it does not have says so in a real message box.
    reportingFailures([&] {
        drawPreview(*Picture1, *document.mesh(), selectedPoint,
                    [this](const std::string& text) { messageBox(text); });
    });
}

// The Window side, through which the loader, the run and the writer drive the controls.

void Form1::setButtonCaption(const std::string& text) {
    if (QThread::currentThread() != thread()) {
        // The run's progress, from its own thread: shown in order on the window's.
        QMetaObject::invokeMethod(
            this, [this, caption = toQt(text)] { showCaption(caption); }, Qt::QueuedConnection);
        return;
    }
    showCaption(toQt(text));
}

void Form1::showCaption(const QString& caption) {
    Command1->setText(caption);
    // Painted right away: the writer lets events run only every 50 ms, and the run's last
    // progress caption would otherwise wait for a paint that its end overtakes.
    Command1->repaint();
}

std::string Form1::text1() const {
    return Text1->text().toStdString();
}

void Form1::setText1(const std::string& text) {
    Text1->setText(toQt(text));
}

void Form1::setLabel(Caption caption, const std::string& text) {
    label(caption)->setText(toQt(text));
}

void Form1::clearList(ListBox list) {
    // The selection goes first, as its own change: a selected List1 line that disappears is
    // reported as "nothing selected" before the list empties.
    listBox(list)->selectionModel()->clear();
    texts(list).clear();
}

void Form1::showLines(ListBox list, std::shared_ptr<const ListLines> lines) {
    clearList(list);
    texts(list).appendLines(std::move(lines));
}

void Form1::appendLines(ListBox list, std::shared_ptr<const ListLines> lines) {
    texts(list).appendLines(std::move(lines));
}

void Form1::addListItems(ListBox list, const std::vector<std::string>& items) {
    if (list == ListBox::List2) {
        // Each item goes to its sorted place, by UTF-16 code units ("2 - 10 conns: 0" before
        // "2 - 2 conns: 0").
        texts(list).insertSorted(items);
    } else {
        texts(list).append(items);
    }
}

int Form1::sliderPosition() const {
    return HScroll1->value();
}

void Form1::messageBox(const std::string& text) {
    dialogs->message(this, toQt(text));
}

std::string Form1::openDialog() {
    const QString chosen = dialogs->openFileName(this, proposedFile());
    if (!chosen.isEmpty()) {
        chosenFile = chosen;
    }
    return QFile::encodeName(chosen).toStdString();
}

std::optional<std::string> Form1::saveDialog() {
    // The document's file: the one loaded or last written, never one whose write failed.
    const std::optional<QString> chosen = dialogs->saveFileName(this, proposedFile());
    if (!chosen) {
        return std::nullopt;
    }
    return QFile::encodeName(*chosen).toStdString();
}

void Form1::whileWorking(const std::function<void(std::stop_token)>& work) {
    std::stop_source stop;
    if (closeWanted || stopWanted) {
        stop.request_stop();
    }
    std::exception_ptr thrown;
    QEventLoop waiting;
    // Made here, so that the work's end is told without an allocation on the work's thread:
    // work that ran out of memory still holds it, and a thread that throws ends the program.
    auto ended = std::make_unique<QEvent>(QEvent::Quit);
    workStop = &stop;
    {
        const std::jthread worker([&] {
            try {
                work(stop.get_token());
            } catch (...) {
                thrown = std::current_exception();
            }
            // Posted after every caption the work posted, so those are shown first; the loop
            // takes the event's ownership.
            QCoreApplication::postEvent(&waiting, ended.release());
        });
        // The window stays live meanwhile: it paints, answers the desktop, takes Escape and
        // File > Quit; its controls and menus that would change the mesh are disabled.
        waiting.exec();
    }
    workStop = nullptr;
    if (thrown) {
        std::rethrow_exception(thrown);
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (loading) {
        loadThread.request_stop();  // the load step ends as if cancelled
    }
    if (runState.running) {
        closeWanted = true;  // the run stops at its next checkpoint and writes nothing
        if (workStop != nullptr) {
            workStop->request_stop();
        }
    }
    QMainWindow::closeEvent(event);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!runState.running && !loading && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void Form1::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    const bool oneFile = urls.size() == 1 && urls.first().isLocalFile() &&
                         !QFileInfo(urls.first().toLocalFile()).isDir();
    const QString file = oneFile ? urls.first().toLocalFile() : QString();
    // The drag ends first: a message box or a long load inside the drop would hold the file
    // manager's side of it.
    QMetaObject::invokeMethod(
        this,
        [this, file] {
            if (file.isEmpty()) {
                messageBox(kDropOneFileMessage);
            } else {
                openFile(file);
            }
        },
        Qt::QueuedConnection);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove:
                if (static_cast<QDragMoveEvent*>(event)->mimeData()->hasUrls()) {
                    if (!runState.running) {
                        static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
                    }
                    return true;
                }
                break;
            case QEvent::Drop:
                if (static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
                    dropEvent(static_cast<QDropEvent*>(event));
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::processEvents() {
    // The run in progress stays the one sequence of changes to the mesh: what would change it
    // is disabled meanwhile (enableActions).
    QCoreApplication::processEvents();
}

char Form1::decimalSeparator() const {
    return userDecimalSeparator();
}

char userDecimalSeparator() {
    const QString separator = QLocale().decimalPoint();
    if (separator.size() == 1 && separator.at(0).unicode() < 0x80) {
        return separator.at(0).toLatin1();
    }
    return '.';  // the number texts are 8-bit; a separator beyond ASCII cannot be written
}

QListView* Form1::listBox(ListBox list) const {
    switch (list) {
        case ListBox::List1:
            return List1;
        case ListBox::List2:
            return List2;
        case ListBox::List3:
            return List3;
        case ListBox::List4:
            return List4;
        case ListBox::List5:
            return List5;
    }
    Q_UNREACHABLE();
}

TextListModel& Form1::texts(ListBox list) const {
    return *static_cast<TextListModel*>(listBox(list)->model());
}

QLabel* Form1::label(Caption caption) const {
    switch (caption) {
        case Caption::Label1:
            return Label1;
        case Caption::lblPBefore:
            return lblPBefore;
        case Caption::lblPAfter:
            return lblPAfter;
    }
    Q_UNREACHABLE();
}

}  // namespace meshthin
