// SPDX-License-Identifier: GPL-3.0-or-later
// The menu bar around the window: another mesh opened in place of the one on screen (and a
// failed open that loses nothing), Save As, undo and redo of runs, what stays enabled during a
// run, dropped files, help and about.
#include <QAction>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QTextBrowser>
#include <QUrl>
#include <sstream>

#include "meshio/formats/mesh_convert.h"
#include "meshio/formats/mesh_file.h"
#include "meshio/loader.h"
#include "meshio/numtext.h"
#include "support/address_space_limit.h"
#include "ui/form1_fixture.h"
#include "ui/mesh_view_window.h"

namespace meshthin {
namespace {

class MenusTest : public Form1Test {
protected:
    QAction* action(const char* name) { return control<QAction>(name); }

    QString writeText(const QString& name, const std::string& text) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }

    QByteArray readBytes(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    // One click on the button at threshold, its result saved to output (or the dialog cancelled).
    void run(const QString& threshold, const std::optional<QString>& output) {
        script.saveAnswers.push_back(output);
        control<QLineEdit>("Text1")->setText(threshold);
        QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    }

    // Everything the window shows of the mesh.
    QStringList onScreen() {
        QStringList shown;
        for (const char* list : {"List1", "List2", "List3", "List4"}) {
            shown << items(list) << QStringLiteral("--");
        }
        shown << text("Text1") << text("Label1") << text("lblPBefore") << text("lblPAfter");
        return shown;
    }

    void drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        // Where a file manager's drag comes in: the face list.
        QWidget* target = control<QListView>("List4")->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        QCoreApplication::processEvents();  // the drop opens once the drag has ended
    }
};

TEST_F(MenusTest, TheMenuBarSitsAboveTheClientAreaWithTheDesktopsShortcuts) {
    showForm();
    QMenuBar* bar = form->menuBar();
    QStringList menus;
    for (QAction* menu : bar->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&View", "&Help"}));
    // The window is the designed client area plus the menu bar, and the controls keep their
    // places within the area below it.
    QWidget* client = form->centralWidget();
    EXPECT_EQ(client->size(), QSize(742, 480));
    EXPECT_EQ(form->height(), 480 + bar->height());
    EXPECT_EQ(client->y(), bar->height());
    EXPECT_EQ(control<QWidget>("List5")->parentWidget(), client);
    EXPECT_EQ(control<QWidget>("List5")->geometry(), QRect(0, 176, 345, 290));
    EXPECT_EQ(control<QWidget>("Command1")->geometry(), QRect(456, 272, 185, 25));

    const auto keys = [&](const char* name) { return action(name)->shortcuts(); };
    EXPECT_TRUE(keys("fileOpen").contains(QKeySequence(QStringLiteral("Ctrl+O"))));
    EXPECT_TRUE(keys("fileSaveAs").contains(QKeySequence(QStringLiteral("Ctrl+Shift+S"))));
    EXPECT_TRUE(keys("fileQuit").contains(QKeySequence(QStringLiteral("Ctrl+Q"))));
    EXPECT_TRUE(keys("editUndo").contains(QKeySequence(QStringLiteral("Ctrl+Z"))));
    EXPECT_TRUE(keys("editRedo").contains(QKeySequence(QStringLiteral("Ctrl+Shift+Z"))));
    EXPECT_TRUE(keys("helpContents").contains(QKeySequence(QStringLiteral("F1"))));
    EXPECT_TRUE(keys("viewMeshView").contains(QKeySequence(QStringLiteral("F3"))));
    // Without a mesh there is nothing to save or undo; opening one is always possible.
    EXPECT_TRUE(action("fileOpen")->isEnabled());
    EXPECT_FALSE(action("fileSaveAs")->isEnabled());
    EXPECT_FALSE(action("editUndo")->isEnabled());
    EXPECT_EQ(action("editUndo")->text(), "Undo Reduction");
    EXPECT_TRUE(action("editUndo")->toolTip().contains("no file is changed"));
}

TEST_F(MenusTest, OpenReplacesTheMeshAndAFailedOpenLosesNothing) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    run(QStringLiteral("0.5"), std::nullopt);
    clickItem("List1", "1");
    control<QLineEdit>("Text1")->setText(QStringLiteral("0.25"));
    const QStringList before = onScreen();
    const std::string storeBefore = testing::meshSummary(form->mesh());
    ASSERT_TRUE(action("editUndo")->isEnabled());

    // A file that fails: its message, and everything as it was, the undo history included.
    script.openAnswer =
        writeText(QStringLiteral("broken.mesh"), "x\npoints {\n(0 0 0)\n(1 zz 0)\n}\nfaces {\n}\n");
    action("fileOpen")->trigger();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_TRUE(script.messages[0].startsWith(kLoadErrorPrefix));
    EXPECT_EQ(onScreen(), before);
    EXPECT_EQ(testing::meshSummary(form->mesh()), storeBefore);
    EXPECT_TRUE(action("editUndo")->isEnabled());
    EXPECT_EQ(script.openProposals.back(), folder.filePath("input.mesh"));
    // Nothing names the file that failed: Save As, the mesh view and the next Open name the
    // file on screen.
    script.saveAnswers.push_back(std::nullopt);
    action("fileSaveAs")->trigger();
    EXPECT_EQ(script.saveProposals.back(), folder.filePath("input.mesh"));
    action("viewMeshView")->trigger();
    auto* view = form->findChild<MeshViewWindow*>(QStringLiteral("meshView"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), "Mesh view - input.mesh");
    view->close();

    // A cancelled dialog changes nothing either.
    script.openAnswer.clear();
    action("fileOpen")->trigger();
    EXPECT_EQ(script.openProposals.back(), folder.filePath("input.mesh"));
    EXPECT_EQ(onScreen(), before);

    // A good file replaces the mesh, with no notice, and is proposed for saving.
    script.messages.clear();
    script.openAnswer =
        writeMeshFile(QStringLiteral("triangle.mesh"), kTrianglePoints, kTriangleFaces);
    action("fileOpen")->trigger();
    EXPECT_TRUE(script.messages.empty());
    EXPECT_EQ(items("List1"), QStringList({"0", "1", "2", "3"}));
    EXPECT_EQ(items("List4").size(), 1);
    EXPECT_EQ(text("Label1"), "Label1");
    EXPECT_TRUE(items("List3").isEmpty());
    EXPECT_FALSE(action("editUndo")->isEnabled());
    run(QStringLiteral("-1"), std::nullopt);
    EXPECT_EQ(script.saveProposals.back(), script.openAnswer);
}

TEST_F(MenusTest, SaveAsWritesTheBytesOfARunThatRemovesNothing) {
    const std::string mesh = generate::grid(9, 7, 0.5, 3);
    script.openAnswer = writeText(QStringLiteral("grid.mesh"), mesh);
    form->load();
    script.messages.clear();
    showForm();
    const QString caption = control<QPushButton>("Command1")->text();

    script.saveAnswers.push_back(std::nullopt);
    action("fileSaveAs")->trigger();
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files) == QStringList{"grid.mesh"});
    const QString saved = folder.filePath(QStringLiteral("saved.mesh"));
    script.saveAnswers.push_back(saved);
    action("fileSaveAs")->trigger();
    EXPECT_TRUE(script.messages.empty());
    EXPECT_EQ(control<QPushButton>("Command1")->text(), caption);
    EXPECT_FALSE(action("editUndo")->isEnabled()) << "a save is not a run";

    // The same file in a fresh window, run at a threshold below every value.
    form.reset();
    script = DialogScript{};
    script.openAnswer = folder.filePath(QStringLiteral("grid.mesh"));
    form = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(script));
    form->load();
    const QString ran = folder.filePath(QStringLiteral("ran.mesh"));
    run(QStringLiteral("-1"), ran);
    EXPECT_EQ(readBytes(saved), readBytes(ran));
}

TEST_F(MenusTest, UndoAndRedoRestoreTheMeshAndLaterRunsWriteAsIfTheUndoneRunsNeverHappened) {
    const std::string mesh = generate::sphere(7, 10, 0.1, 5);
    const QString input = writeText(QStringLiteral("sphere.mesh"), mesh);

    // The reference: runs at 0.3 and 0.9, nothing undone.
    script.openAnswer = input;
    form->load();
    run(QStringLiteral("0.3"), std::nullopt);
    const QString expected = folder.filePath(QStringLiteral("expected.mesh"));
    run(QStringLiteral("0.9"), expected);

    form.reset();
    script = DialogScript{};
    script.openAnswer = input;
    form = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(script));
    form->load();
    showForm();
    const QStringList loaded = onScreen();
    run(QStringLiteral("0.3"), folder.filePath(QStringLiteral("first.mesh")));
    const QStringList afterFirst = onScreen();
    const QString second = folder.filePath(QStringLiteral("second.mesh"));
    run(QStringLiteral("1.5"), second);
    const QByteArray secondBytes = readBytes(second);
    const QStringList afterSecond = onScreen();
    EXPECT_EQ(action("editUndo")->text(), "Undo Reduction at 1.5");

    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(onScreen(), afterFirst);
    EXPECT_EQ(action("editUndo")->text(), "Undo Reduction at 0.3");
    EXPECT_EQ(action("editRedo")->text(), "Redo Reduction at 1.5");
    EXPECT_EQ(readBytes(second), secondBytes) << "undo changes no file";
    action("editRedo")->trigger();
    EXPECT_EQ(onScreen(), afterSecond);
    action("editUndo")->trigger();
    action("editUndo")->trigger();
    EXPECT_EQ(onScreen(), loaded);
    EXPECT_FALSE(action("editUndo")->isEnabled());
    action("editRedo")->trigger();
    EXPECT_EQ(onScreen(), afterFirst);

    // A new run from here writes what it would have written had 1.5 never run, and clears redo.
    const QString third = folder.filePath(QStringLiteral("third.mesh"));
    run(QStringLiteral("0.9"), third);
    EXPECT_EQ(readBytes(third), readBytes(expected));
    EXPECT_FALSE(action("editRedo")->isEnabled());
    EXPECT_EQ(action("editRedo")->text(), "Redo Reduction");
}

TEST_F(MenusTest, DuringARunOnlyStopQuitAndHelpStayAvailableAndQuitStopsIt) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    std::map<QString, bool> enabledDuringWrite;
    script.duringSave = [&] {
        for (QAction* each : form->findChildren<QAction*>()) {
            if (!each->objectName().isEmpty()) {
                enabledDuringWrite[each->objectName()] = each->isEnabled();
            }
        }
    };
    run(QStringLiteral("0.5"), std::nullopt);
    const std::map<QString, bool> expected = {{"fileOpen", false},    {"fileSaveAs", false},
                                              {"fileQuit", true},     {"editUndo", false},
                                              {"editRedo", false},    {"editStop", true},
                                              {"helpContents", true}, {"helpAbout", false},
                                              {"helpAboutQt", false}, {"viewMeshView", false}};
    EXPECT_EQ(enabledDuringWrite, expected);
    EXPECT_TRUE(action("fileOpen")->isEnabled());
    EXPECT_TRUE(action("editUndo")->isEnabled());
    EXPECT_FALSE(action("editStop")->isEnabled()) << "nothing to stop";

    // Quit in the middle of a long run: the run stops and nothing is written.
    const std::string fan = generate::fan(4000);
    form.reset();
    script = DialogScript{};
    script.openAnswer = writeText(QStringLiteral("fan.mesh"), fan);
    form = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(script));
    form->load();
    showForm();
    bool quitWhileRunning = false;
    QTimer::singleShot(0, form.get(), [&] {
        quitWhileRunning = !action("fileOpen")->isEnabled();
        QTest::keyClick(control<QListView>("List1"), Qt::Key_Q, Qt::ControlModifier);
    });
    run(QStringLiteral("1E+300"), folder.filePath(QStringLiteral("never.mesh")));
    EXPECT_TRUE(quitWhileRunning);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(script.saveProposals.empty());
    EXPECT_EQ(readBytes(script.openAnswer).toStdString(), fan);
}

TEST_F(MenusTest, ADroppedFileOpensAndSeveralFilesOrAFolderChangeNothing) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    const QStringList before = onScreen();
    const QString triangle =
        writeMeshFile(QStringLiteral("triangle.mesh"), kTrianglePoints, kTriangleFaces);

    drop({QUrl::fromLocalFile(triangle), QUrl::fromLocalFile(triangle)});
    EXPECT_EQ(script.messages, std::vector<QString>{kDropOneFileMessage});
    drop({QUrl::fromLocalFile(folder.path())});
    EXPECT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(onScreen(), before);

    drop({QUrl::fromLocalFile(triangle)});
    EXPECT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(items("List1"), QStringList({"0", "1", "2", "3"}));
}

TEST_F(MenusTest, HelpExplainsTheWorkflowAndAboutNamesVersionAndLicence) {
    showForm();
    QTest::keyClick(form.get(), Qt::Key_F1);
    QWidget* help = form->findChild<QWidget*>(QStringLiteral("helpWindow"));
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    const QString helpText =
        form->findChild<QTextBrowser*>(QStringLiteral("helpText"))->toPlainText();
    for (const char* part :
         {"Attempt Reduction", "Undo Reduction", "Ctrl+Shift+Z", "Escape", "--threshold", "-O",
          "--keep", "Keep field", "may exceed 1", "OBJ, PLY", "32,767 points"}) {
        EXPECT_TRUE(helpText.contains(QString::fromLatin1(part))) << part;
    }
    action("helpAbout")->trigger();
    action("helpAboutQt")->trigger();
    ASSERT_EQ(script.abouts.size(), 2u);
    EXPECT_TRUE(script.abouts[0].contains("meshthin 1.0"));
    EXPECT_TRUE(script.abouts[0].contains("GNU General Public License"));
    EXPECT_EQ(script.abouts[1], "Qt");
}

TEST_F(MenusTest, TheMeshViewFollowsTheWindowAndPicksForIt) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    control<QLineEdit>("Text1")->setText(QStringLiteral("0.5"));
    QTest::keyClick(form.get(), Qt::Key_F3);
    auto* view = form->findChild<MeshViewWindow*>(QStringLiteral("meshView"));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(action("viewMeshView")->isChecked());
    EXPECT_EQ(view->windowTitle(), "Mesh view - input.mesh");
    // The threshold in Text1 reaches the view, and its trial run finds the centre.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->dryRunPending(); }, 30000));
    EXPECT_EQ(view->removesCount(), 1);
    EXPECT_TRUE(view->countsText().startsWith("1 below 0.5 now"))
        << view->countsText().toStdString();

    // A point picked in the view is selected in List1 as a click there would select it.
    emit view->pointPicked(2);
    EXPECT_EQ(selectedItems("List1"), QStringList{"2"});
    EXPECT_TRUE(text("Label1").startsWith("Point 2 ")) << text("Label1").toStdString();
    // A threshold picked on its histogram goes into Text1, and the statistics follow.
    // (The ring points' values are 1 + 2 cos 45 degrees, about 2.414.)
    emit view->thresholdPicked(2.5);
    EXPECT_EQ(text("Text1"), "2.5");
    EXPECT_EQ(text("lblPAfter"), "Reduced: 5 (100%)");

    // After a run and after undo the view shows the mesh on screen.
    run(QStringLiteral("0.5"), std::nullopt);
    control<QLineEdit>("Text1")->setText(QStringLiteral("0.5"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->dryRunPending(); }, 30000));
    EXPECT_EQ(view->removesCount(), 0);
    action("editUndo")->trigger();
    control<QLineEdit>("Text1")->setText(QStringLiteral("0.5"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->dryRunPending(); }, 30000));
    EXPECT_EQ(view->removesCount(), 1);

    // Closing its window unticks the menu entry; F3 opens it again.
    view->close();
    EXPECT_FALSE(action("viewMeshView")->isChecked());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_F3);
    EXPECT_TRUE(view->isVisible());
}

TEST_F(MenusTest, EscapeStopsALongRunLeavingTheMeshListsAndFilesAsTheyWere) {
    // Removing every point of this fan takes seconds; the walk runs off the window's thread.
    const QString input = writeText(QStringLiteral("fan.mesh"), generate::fan(4000));
    script.openAnswer = input;
    form->load();
    script.messages.clear();
    showForm();
    control<QLineEdit>("Text1")->setText(QStringLiteral("1E+300"));
    const Mesh* onScreenBefore = &form->mesh();
    std::ostringstream before;
    Mesh copy(form->mesh());
    writeMeshText(
        copy, before, numtext::LocaleNumbers('.'), [] {}, [](const std::string&) {});
    const QStringList shownBefore = onScreen();
    const QString caption = control<QPushButton>("Command1")->text();

    // While the walk runs the window answers: the controls that would change the mesh are
    // disabled, Stop Run is enabled, and Escape stops the run.
    bool answered = false;
    QTimer::singleShot(100, form.get(), [&] {
        answered = !control<QPushButton>("Command1")->isEnabled() &&
                   action("editStop")->isEnabled() && !action("fileOpen")->isEnabled();
        QTest::keyClick(form.get(), Qt::Key_Escape);
    });
    run(QStringLiteral("1E+300"), folder.filePath(QStringLiteral("never.mesh")));

    EXPECT_TRUE(answered);
    EXPECT_EQ(&form->mesh(), onScreenBefore) << "a stopped run leaves the document's mesh";
    std::ostringstream after;
    Mesh again(form->mesh());
    writeMeshText(
        again, after, numtext::LocaleNumbers('.'), [] {}, [](const std::string&) {});
    EXPECT_EQ(after.str(), before.str());
    EXPECT_EQ(onScreen(), shownBefore);
    EXPECT_EQ(control<QPushButton>("Command1")->text(), caption);
    EXPECT_TRUE(control<QPushButton>("Command1")->isEnabled());
    EXPECT_TRUE(script.saveProposals.empty());
    EXPECT_TRUE(script.messages.empty());
    EXPECT_FALSE(action("editUndo")->isEnabled()) << "a stopped run is no entry of the history";
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"fan.mesh"});

    // The window goes on as before: a run at a threshold below every value writes what the
    // file holds, renumbered.
    const QString output = folder.filePath(QStringLiteral("kept.mesh"));
    script.saveAnswers.clear();
    run(QStringLiteral("-1"), output);
    EXPECT_EQ(readBytes(output).toStdString(), before.str());
}

// A run that needs more memory than there is says so, and leaves the mesh on screen, its lists,
// its history and the files as they were; the window goes on.
TEST_F(MenusTest, ARunThatRunsOutOfMemoryLeavesTheMeshOnScreen) {
    if (!AddressSpaceLimit::available()) {
        GTEST_SKIP() << "a sanitizer's shadow memory fits under no address-space limit";
    }
    // Removing every point of this fan first connects every ring point with every other: 16
    // million connections, far beyond the room the limit below leaves.
    const QString input = writeText(QStringLiteral("fan.mesh"), generate::fan(4000));
    script.openAnswer = input;
    form->load();
    script.messages.clear();
    control<QLineEdit>("Text1")->setText(QStringLiteral("1E+300"));
    const Mesh* onScreenBefore = &form->mesh();
    const QStringList shownBefore = onScreen();
    const QString caption = control<QPushButton>("Command1")->text();
    {
        const AddressSpaceLimit limit(size_t{40} << 20);
        run(QStringLiteral("1E+300"), folder.filePath(QStringLiteral("never.mesh")));
    }
    EXPECT_EQ(script.messages,
              std::vector<QString>{"Error Occurred: Not enough memory to run at threshold 1E+300"});
    EXPECT_EQ(&form->mesh(), onScreenBefore);
    EXPECT_EQ(onScreen(), shownBefore);
    EXPECT_EQ(control<QPushButton>("Command1")->text(), caption);
    EXPECT_FALSE(action("editUndo")->isEnabled()) << "a run that failed is no entry of the history";
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"fan.mesh"});

    script.messages.clear();
    script.saveAnswers.clear();
    run(QStringLiteral("-1"), folder.filePath(QStringLiteral("kept.mesh")));
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("kept.mesh"))));
}

// An OBJ opened in the window and saved as PLY: the PLY holds the mesh of the OBJ, and the
// texture coordinates the OBJ had are mentioned once, at the first save only.
TEST_F(MenusTest, OpensAnObjAndSavesItAsPly) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    std::string obj = "vt 0 0\n";
    const std::string grid = generate::grid(6, 5, 0.5, 9);
    // The grid's points and triangles as OBJ statements, by way of its own brace mesh.
    Mesh gridMesh;
    std::istringstream in(grid);
    runStartupPasses(gridMesh, readMesh(gridMesh, in, numtext::LocaleNumbers('.')));
    const formats::PolygonMesh polygons = formats::polygonsOf(gridMesh);
    formats::writeMesh(obj, polygons, formats::MeshFormat::Obj);
    obj += "f 1/1 2/1 7/1\n";
    script.openAnswer = writeText(QStringLiteral("grid.obj"), obj);
    script.messages.clear();
    action("fileOpen")->trigger();
    ASSERT_TRUE(script.messages.empty()) << script.messages.front().toStdString();
    EXPECT_EQ(items("List1").size(), static_cast<qsizetype>(polygons.pointCount()));

    for (const char* name : {"saved.ply", "again.ply"}) {
        script.saveAnswers.push_back(folder.filePath(QString::fromLatin1(name)));
        action("fileSaveAs")->trigger();
    }
    ASSERT_EQ(script.messages, std::vector<QString>{QString::fromLatin1(kCornerDataNote)});
    const std::string path = folder.filePath(QStringLiteral("saved.ply")).toStdString();
    const formats::PolygonMesh saved =
        formats::readMesh(formats::readMeshFile(path), formats::MeshFormat::Ply, path);
    EXPECT_EQ(saved.positions, polygons.positions);
    formats::MeshArray<uint32_t> corners = polygons.corners;
    corners.insert(corners.end(), {0, 1, 6});
    EXPECT_EQ(saved.corners, corners);
    EXPECT_EQ(readBytes(folder.filePath(QStringLiteral("again.ply"))),
              readBytes(folder.filePath(QStringLiteral("saved.ply"))));
}

// Escape while another format's file loads on its thread: the load stops, the mesh on screen and
// everything shown of it stay as they were, and nothing is said; the file opens afterwards.
TEST_F(MenusTest, CancellingALoadKeepsTheMeshOnScreen) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    clickItem("List1", "1");
    const QStringList before = onScreen();
    Mesh gridMesh;
    std::istringstream in(generate::grid(6, 5, 0.5, 9));
    runStartupPasses(gridMesh, readMesh(gridMesh, in, numtext::LocaleNumbers('.')));
    std::string obj;
    formats::writeMesh(obj, formats::polygonsOf(gridMesh), formats::MeshFormat::Obj);
    const QString path = writeText(QStringLiteral("grid.obj"), obj);
    script.messages.clear();
    QTimer::singleShot(0, form.get(), [this] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    EXPECT_FALSE(form->openFile(path));
    EXPECT_EQ(onScreen(), before);
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(action("fileOpen")->isEnabled());

    EXPECT_TRUE(form->openFile(path));
    EXPECT_EQ(items("List1").size(), 30);
}

}  // namespace
}  // namespace meshthin
