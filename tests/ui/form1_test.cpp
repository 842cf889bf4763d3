// SPDX-License-Identifier: GPL-3.0-or-later
// The real Form1 on the offscreen platform: its dialogs are answered by a script, its controls
// are worked with the mouse and the keyboard as a user would.
#include "ui/form1_fixture.h"

namespace meshthin {
namespace {

TEST_F(Form1Test, EveryControlLiesInsideAWindowThatDoesNotResize) {
    showForm();
    EXPECT_EQ(form->windowTitle(), "Form1");
    const QRect client = form->rect();
    for (const char* name : {"Picture1", "List1", "List2", "Text1", "Command1", "Label1", "List3",
                             "List4", "List5", "HScroll1", "lblPBefore", "lblPAfter"}) {
        const QRect place = control<QWidget>(name)->geometry();
        EXPECT_FALSE(place.isEmpty()) << name;
        EXPECT_TRUE(client.contains(place)) << name << " leaves the client area";
    }

    // Enlarging the window leaves it, and so every control, as it was.
    const QSize size = form->size();
    const QRect list5 = control<QWidget>("List5")->geometry();
    form->resize(size.width() + 300, size.height() + 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->size(), size);
    EXPECT_EQ(control<QWidget>("List5")->geometry(), list5);

    // The labels wrap long text inside their fixed size.
    for (const char* name : {"Label1", "lblPBefore", "lblPAfter"}) {
        EXPECT_TRUE(control<QLabel>(name)->wordWrap()) << name;
        EXPECT_EQ(control<QLabel>(name)->focusPolicy(), Qt::NoFocus) << name;
    }
}

TEST_F(Form1Test, StartsWithItsInitialContentsAndALoadFillsThem) {
    const auto expectInitialContents = [&] {
        EXPECT_EQ(text("Text1"), "Enter Threshold");
        EXPECT_EQ(control<QPushButton>("Command1")->text(), "Attempt Reduction");
        EXPECT_EQ(text("Label1"), "Label1");
        EXPECT_EQ(text("lblPBefore"), "Label2");
        EXPECT_EQ(text("lblPAfter"), "Label2");
        for (const char* list : {"List1", "List2", "List3", "List4", "List5"}) {
            EXPECT_TRUE(items(list).isEmpty()) << list;
        }
        EXPECT_EQ(control<QScrollBar>("HScroll1")->value(), 0);
    };
    expectInitialContents();

    loadMesh(kFanPoints, kFanFaces);
    EXPECT_FALSE(form->isVisible()) << "the load step runs before the window is shown";
    EXPECT_EQ(script.openProposals, std::vector<QString>{QString()});

    EXPECT_EQ(text("Text1"), "0");
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Attempt Reduction");
    EXPECT_EQ(items("List1"), QStringList({"0", "1", "2", "3", "4"}));
    // The centre's value is 0 and every ring point's is higher, so the centre's item comes first
    // although it was added last.
    const QStringList values = items("List2");
    ASSERT_EQ(values.size(), 5);
    EXPECT_TRUE(values.first().startsWith("0 - 4 conns: ")) << values.first().toStdString();
    QStringList sorted = values;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(values, sorted);
    EXPECT_EQ(items("List4").size(), 4);
    EXPECT_TRUE(items("List4").first().startsWith("0 "));
    EXPECT_EQ(text("lblPBefore"), "Points: 5");
    EXPECT_EQ(text("lblPAfter"), "Reduced: 0 (0%)");
    // A load selects nothing.
    EXPECT_EQ(text("Label1"), "Label1");
    EXPECT_TRUE(items("List3").isEmpty());
    EXPECT_TRUE(items("List5").isEmpty());
}

TEST_F(Form1Test, AWindowWithoutAMeshStaysUsable) {
    script.openAnswer = folder.filePath("missing.mesh");
    form->load();
    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(script.messages[0], kLoadNotice);
    EXPECT_TRUE(script.messages[1].startsWith(kLoadErrorPrefix));
    script.messages.clear();
    showForm();

    // Nothing was filled.
    EXPECT_EQ(text("Text1"), "Enter Threshold");
    EXPECT_EQ(text("lblPBefore"), "Label2");
    EXPECT_EQ(text("lblPAfter"), "Label2");
    for (const char* list : {"List1", "List2", "List3", "List4", "List5"}) {
        EXPECT_TRUE(items(list).isEmpty()) << list;
    }

    // The button says once why it cannot run.
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(script.messages, std::vector<QString>{kNoMeshMessage});
    EXPECT_TRUE(script.saveProposals.empty());
    script.messages.clear();

    // The picture stays blank, the slider only writes its threshold.
    QWidget* picture = control<QWidget>("Picture1");
    const QImage blank = picture->grab().toImage();
    EXPECT_EQ(clickPicture(), blank);
    QScrollBar* slider = control<QScrollBar>("HScroll1");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(text("Text1"), "1");
    EXPECT_EQ(text("lblPAfter"), "Label2");
    EXPECT_TRUE(script.messages.empty());

    // A cancelled open dialog ends the same way.
    form.reset();
    script = DialogScript{};
    form = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(script));
    form->load();
    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_TRUE(script.messages[1].startsWith(kLoadErrorPrefix));
    EXPECT_EQ(text("Text1"), "Enter Threshold");
}

TEST_F(Form1Test, AFileNamedAtStartOpensWithoutNoticeOrDialogAndIsProposedForSaving) {
    const QString path = writeMeshFile(QString::fromUtf8("mesh äöü ü.mesh"), kFanPoints, kFanFaces);
    QFile input(path);
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));
    const QByteArray original = input.readAll();
    input.close();

    form->load(path);
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(script.openProposals.empty());
    EXPECT_EQ(items("List1"), QStringList({"0", "1", "2", "3", "4"}));
    EXPECT_EQ(text("lblPBefore"), "Points: 5");

    // Two runs, each saved over the proposed file, as the command line does them.
    for (const char* threshold : {"0.5", "2"}) {
        script.saveAnswers.push_back(path);
        control<QLineEdit>("Text1")->setText(QString::fromLatin1(threshold));
        QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    }
    EXPECT_EQ(script.saveProposals, std::vector<QString>({path, path}));
    EXPECT_TRUE(script.messages.empty());
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));
    const std::string written = input.readAll().toStdString();
    input.close();
    EXPECT_NE(written, original.toStdString());

    // The batch writes the same bytes for the same file and thresholds.
    const QString copy = folder.filePath("copy of the input.mesh");
    QFile copyFile(copy);
    ASSERT_TRUE(copyFile.open(QIODevice::WriteOnly));
    copyFile.write(original);
    copyFile.close();
    std::ostringstream out;
    std::ostringstream err;
    const std::string batchTarget = QFile::encodeName(folder.filePath("batch.mesh")).toStdString();
    ASSERT_EQ(
        runBatch({QFile::encodeName(copy).toStdString(), {"0.5", "2"}, batchTarget}, out, err), 0)
        << err.str();
    QFile batchFile(folder.filePath("batch.mesh"));
    ASSERT_TRUE(batchFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(batchFile.readAll().toStdString(), written);
}

TEST_F(Form1Test, AFileNamedAtStartThatFailsShowsTheLineAndLeavesTheWindowAsAfterAFailedLoad) {
    // Line 1 the title, 2 "points {", 3 to 5 the points.
    const QString path =
        writeMeshFile(QString::fromUtf8("broken ü.mesh"), {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray content = file.readAll();
    content.replace("(1 0 0)", "(1 0,5. 0)");  // both decimal marks
    file.resize(0);
    file.write(content);
    file.close();

    form->load(path);
    EXPECT_EQ(script.messages,
              std::vector<QString>{QString(kLoadErrorPrefix) + "Not a number: \"0,5.\" (line 4)"});
    EXPECT_TRUE(script.openProposals.empty());
    script.messages.clear();
    showForm();
    EXPECT_EQ(text("Text1"), "Enter Threshold");
    EXPECT_TRUE(items("List1").isEmpty());
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(script.messages, std::vector<QString>{kNoMeshMessage});
    EXPECT_TRUE(script.saveProposals.empty());
}

// The face line of a rebuilt face: its point numbers, in the order written.
std::vector<int> facePoints(const QString& line) {
    std::vector<int> points;
    static const QRegularExpression group(R"( \( (\d+) \) )");
    for (auto match = group.globalMatch(line); match.hasNext();) {
        points.push_back(match.next().captured(1).toInt());
    }
    return points;
}

TEST_F(Form1Test, TheButtonRunsAReductionShowingItsProgressAndWritesTheResult) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    QPushButton* button = control<QPushButton>("Command1");
    PaintedCaptions painted(button);

    const QString output = folder.filePath("output.mesh");
    script.saveAnswers.push_back(output);
    // A second click while the run is in progress (its save dialog open) is ignored.
    bool secondClickArrived = false;
    script.duringSave = [&] {
        button->click();
        secondClickArrived = true;
    };
    control<QLineEdit>("Text1")->setText("0.5");
    QTest::mouseClick(button, Qt::LeftButton);

    EXPECT_TRUE(secondClickArrived);
    EXPECT_TRUE(script.messages.empty());
    // The save dialog proposes the loaded file, and was shown once.
    EXPECT_EQ(script.saveProposals, std::vector<QString>{script.openAnswer});
    const std::vector<QString> expectedCaptions = {"beginning...",
                                                   "removing points",
                                                   QString::fromStdString(progressCaption(0, 5)),
                                                   "points removed",
                                                   "populating listbox",
                                                   "writing file...",
                                                   "Writing file header",
                                                   "writing points",
                                                   "writing faces",
                                                   "Done"};
    EXPECT_EQ(painted.captions, expectedCaptions);
    EXPECT_EQ(button->text(), "Done");

    // Only the centre lay below 0.5; the lists show the result and the slider's threshold.
    EXPECT_EQ(items("List1"), QStringList({"0", "1", "2", "3", "4 GONE"}));
    EXPECT_EQ(text("Text1"), "0");
    EXPECT_EQ(items("List4").size(), 5);

    QFile written(output);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    // Eleven lines, each ended by CR LF, and nothing after the last.
    ASSERT_EQ(lines.size(), 12);
    EXPECT_TRUE(lines[11].isEmpty());
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].endsWith('\r')) << i;
    }
    EXPECT_EQ(lines[0].chopped(1).toStdString(), meshHeader());
    const char* keptPoints[] = {"(-10 -20 0)", "(-20 -10 0)", "(-30 -20 0)", "(-20 -30 0)",
                                "(0 0 0)"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[1 + i].chopped(1), keptPoints[i]);
    }
    EXPECT_EQ(lines[6].chopped(1), "}faces {");
    // The four triangles became one face around the hole, its points in ring order.
    const QString face = QString::fromLatin1(lines[7].chopped(1));
    EXPECT_TRUE(QRegularExpression(R"(^\d+ 0 0 -1 \( )").match(face).hasMatch())
        << face.toStdString();
    EXPECT_TRUE(face.endsWith("   ) ")) << face.toStdString();
    const std::vector<int> ring = facePoints(face);
    ASSERT_EQ(ring.size(), 4u) << face.toStdString();
    EXPECT_EQ(std::set<int>(ring.begin(), ring.end()), (std::set<int>{0, 1, 2, 3}));
    for (size_t k = 0; k < ring.size(); ++k) {
        const int step = (ring[k] - ring[(k + 1) % ring.size()] + 4) % 4;
        EXPECT_TRUE(step == 1 || step == 3) << face.toStdString();
    }
    for (int i = 8; i < 11; ++i) {
        EXPECT_EQ(lines[i], " } \r");
    }

    // Selecting the removed point changes nothing; point 0 is shown.
    clickItem("List1", "1");
    const QString pointOne = text("Label1");
    const QStringList connectionsOfOne = items("List3");
    EXPECT_EQ(pointOne, "Point 1 x: -20 y: -10 z: 0");
    clickItem("List1", "4 GONE");
    EXPECT_EQ(text("Label1"), pointOne);
    EXPECT_EQ(items("List3"), connectionsOfOne);
}

TEST_F(Form1Test, ANotNumericThresholdStopsTheRunWithOneMessage) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    control<QLineEdit>("Text1")->setText("Enter Threshold");
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(script.messages, std::vector<QString>{kNotNumericMessage});
    EXPECT_TRUE(script.saveProposals.empty());
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "beginning...");
    EXPECT_EQ(items("List1"), QStringList({"0", "1", "2", "3", "4"}));
}

QPoint centreOf(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    if (bar->orientation() == Qt::Horizontal) {
        option.state |= QStyle::State_Horizontal;
    }
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

// Drags the thumb by dx pixels in three movements.
void dragThumb(QScrollBar* bar, int dx) {
    const QPoint start = centreOf(bar, QStyle::SC_ScrollBarSlider);
    QTest::mousePress(bar, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 3; ++step) {
        const QPointF to = start + QPoint(dx * step / 3, 0);
        QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, start + QPoint(dx, 0));
}

TEST_F(Form1Test, TheSliderWritesItsThresholdAndADragRefreshesTheStatistics) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    QScrollBar* slider = control<QScrollBar>("HScroll1");
    slider->setFocus();

    // Keys, the arrow button and the trough set the position without refreshing the statistics.
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(slider->value(), 1);
    EXPECT_EQ(text("Text1"), "3.06494621019401E-05");
    QTest::mouseClick(slider, Qt::LeftButton, {}, centreOf(slider, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(slider->value(), 2);
    QTest::mouseClick(slider, Qt::LeftButton, {}, centreOf(slider, QStyle::SC_ScrollBarAddPage));
    EXPECT_EQ(slider->value(), 3);
    EXPECT_EQ(text("Text1").toStdString(), thresholdText(3, '.'));
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(slider->value(), 2);
    EXPECT_EQ(text("lblPAfter"), "Reduced: 0 (0%)");

    QTest::keyClick(slider, Qt::Key_Home);
    QTest::keyClick(slider, Qt::Key_PageDown);
    EXPECT_EQ(slider->value(), 3263);
    EXPECT_EQ(text("Text1"), "0.100009194838631");
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(text("Text1"), "1");
    QTest::keyClick(slider, Qt::Key_PageDown);
    EXPECT_EQ(slider->value(), 32627);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(slider->value(), 32627 - 3263);
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(text("Text1"), "0");
    EXPECT_EQ(text("lblPAfter"), "Reduced: 0 (0%)");

    // A drag counts the centre, whose value 0 lies below any threshold but 0.
    dragThumb(slider, 60);
    EXPECT_GT(slider->value(), 0);
    EXPECT_LT(slider->value(), 32627);
    EXPECT_EQ(text("Text1").toStdString(), thresholdText(slider->value(), '.'));
    EXPECT_EQ(text("lblPBefore"), "Points: 5");
    EXPECT_EQ(text("lblPAfter"), "Reduced: 1 (20%)");

    // A key step afterwards leaves the figures of the drag.
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(text("Text1"), "0");
    EXPECT_EQ(text("lblPAfter"), "Reduced: 1 (20%)");

    // Dragging back to the left end counts nothing.
    dragThumb(slider, 60);
    dragThumb(slider, -200);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(text("lblPAfter"), "Reduced: 0 (0%)");
}

TEST_F(Form1Test, SelectingAPointShowsItWithTheMouseAndTheKeyboard) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    const auto connectionsOf = [this](PointNumber point) {
        QStringList texts;
        const Mesh& mesh = form->mesh();
        for (PointNumber j = 0; j <= mesh.Points(point).getNumConns(); ++j) {
            texts.append(QString::number(mesh.Points(point).getConn(mesh, j)));
        }
        return texts;
    };

    clickItem("List1", "2");
    EXPECT_EQ(text("Label1"), "Point 2 x: -30 y: -20 z: 0");
    EXPECT_EQ(items("List3"), connectionsOf(2));
    EXPECT_EQ(items("List3").size(), 3);

    QTest::keyClick(control<QListView>("List1"), Qt::Key_Down);
    EXPECT_EQ(text("Label1"), "Point 3 x: -20 y: -30 z: 0");
    EXPECT_EQ(items("List3"), connectionsOf(3));

    QTest::keyClick(control<QListView>("List1"), Qt::Key_Home);
    EXPECT_EQ(text("Label1"), "Point 0 x: -10 y: -20 z: 0");
    EXPECT_EQ(items("List3"), connectionsOf(0));

    // One line at a time: Shift and Control do not add to the selection.
    EXPECT_EQ(selectedItems("List1"), QStringList({"0"}));
    clickItem("List1", "3", Qt::ShiftModifier);
    EXPECT_EQ(selectedItems("List1"), QStringList({"3"}));
    EXPECT_EQ(text("Label1"), "Point 3 x: -20 y: -30 z: 0");
    clickItem("List1", "1", Qt::ControlModifier);
    EXPECT_EQ(selectedItems("List1"), QStringList({"1"}));
    QTest::keyClick(control<QListView>("List1"), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selectedItems("List1"), QStringList({"2"}));
    EXPECT_EQ(items("List3"), connectionsOf(2));

    // The lines are not edited in place.
    QTest::keyClick(control<QListView>("List1"), Qt::Key_F2);
    QTest::mouseDClick(control<QListView>("List1")->viewport(), Qt::LeftButton, {},
                       control<QListView>("List1")
                           ->visualRect(control<QListView>("List1")->model()->index(2, 0))
                           .center());
    EXPECT_EQ(items("List1"), QStringList({"0", "1", "2", "3", "4"}));
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("List1"));
}

TEST_F(Form1Test, TheListsHoldExactlyTheTextsTheListLogicWrites) {
    // A bumpy grid of 1,200 points and 2,262 triangles: many points share a rounded value, so
    // that the value list's order rests on the point numbers' texts too ("V - 1000 ..." before
    // "V - 2 ..."), and the face list is longer than one batch of lines.
    const std::string mesh = generate::grid(40, 30, 1.5, 3);
    script.openAnswer = folder.filePath("grid.mesh");
    QFile file(script.openAnswer);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(mesh.data(), static_cast<qint64>(mesh.size()));
    file.close();
    form->load();
    ASSERT_EQ(script.messages, std::vector<QString>{kLoadNotice});

    testing::FakeWindow reference;
    FillLists(reference, form->mesh());
    const auto lines = [&](ListBox list) {
        QStringList texts;
        for (const std::string& item : reference.list(list)) {
            texts.append(QString::fromStdString(item));
        }
        return texts;
    };
    EXPECT_EQ(items("List1").size(), 1200);
    EXPECT_EQ(items("List1"), lines(ListBox::List1));
    EXPECT_EQ(items("List2"), lines(ListBox::List2));
    EXPECT_EQ(items("List4").size(), 2262);
    EXPECT_EQ(items("List4"), lines(ListBox::List4));
}

// What assistive technology reads of a list through Qt's accessibility for item views: in Qt
// 6.4 a list view is a List whose children are its rows, ListItem cells named by their text.
QStringList accessibleLines(QWidget* list) {
    QStringList texts;
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
    EXPECT_NE(view, nullptr);
    if (view == nullptr) {
        return texts;
    }
    EXPECT_EQ(view->role(), QAccessible::List) << list->objectName().toStdString();
    for (int i = 0; i < view->childCount(); ++i) {
        QAccessibleInterface* line = view->child(i);
        EXPECT_EQ(line->role(), QAccessible::ListItem) << i;
        texts.append(line->text(QAccessible::Name));
    }
    return texts;
}

TEST_F(Form1Test, AssistiveTechnologyReadsEveryLineOfTheLists) {
    loadMesh(kFanPoints, kFanFaces);
    showForm();
    EXPECT_EQ(accessibleLines(control<QWidget>("List1")), QStringList({"0", "1", "2", "3", "4"}));
    for (const char* name : {"List2", "List4"}) {
        EXPECT_EQ(accessibleLines(control<QWidget>(name)), items(name)) << name;
        EXPECT_EQ(accessibleLines(control<QWidget>(name)).size(), QStringList(items(name)).size());
    }
    EXPECT_EQ(accessibleLines(control<QWidget>("List2")).size(), 5);
    EXPECT_TRUE(accessibleLines(control<QWidget>("List3")).isEmpty());
    EXPECT_TRUE(accessibleLines(control<QWidget>("List5")).isEmpty());

    // The rows and the selection are told through the table interface too.
    clickItem("List1", "2");
    QAccessibleInterface* points = QAccessible::queryAccessibleInterface(control<QWidget>("List1"));
    QAccessibleTableInterface* table = points->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 5);
    EXPECT_EQ(table->columnCount(), 1);
    EXPECT_EQ(table->selectedCellCount(), 1);
    QAccessibleInterface* selected = table->cellAt(2, 0);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->text(QAccessible::Name), "2");
    EXPECT_TRUE(selected->tableCellInterface()->isSelected());
    EXPECT_FALSE(table->cellAt(3, 0)->tableCellInterface()->isSelected());
    EXPECT_EQ(accessibleLines(control<QWidget>("List3")), items("List3"));
    EXPECT_EQ(accessibleLines(control<QWidget>("List3")).size(), 3);

    // A run refills the lists; what is read follows. Qt tells a view's accessible table of a
    // model reset only while assistive technology listens (QAccessible::isActive()), which
    // never happens on the offscreen platform: the notice is delivered here as Qt would.
    script.saveAnswers.push_back(folder.filePath("output.mesh"));
    control<QLineEdit>("Text1")->setText("0.5");
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_TRUE(script.messages.empty());
    ASSERT_FALSE(QAccessible::isActive());
    for (const char* name : {"List1", "List4"}) {
        QAccessibleTableModelChangeEvent reset(control<QWidget>(name),
                                               QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::queryAccessibleInterface(control<QWidget>(name))
            ->tableInterface()
            ->modelChange(&reset);
    }
    EXPECT_EQ(accessibleLines(control<QWidget>("List1")),
              QStringList({"0", "1", "2", "3", "4 GONE"}));
    EXPECT_EQ(accessibleLines(control<QWidget>("List4")), items("List4"));
    EXPECT_EQ(accessibleLines(control<QWidget>("List4")).size(), 5);
}

class PreviewTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        loadMesh(kTrianglePoints, kTriangleFaces);
        showForm();
        picture = control<QFrame>("Picture1");
        inside = picture->contentsRect();
        foreground = picture->palette().color(QPalette::WindowText).rgb();
        background = picture->palette().color(QPalette::Window).rgb();
    }

    QPoint pixel(double x, double y) const {
        return inside.topLeft() +
               QPoint(static_cast<int>((x - kPreviewLeft) / kPreviewWidth * inside.width()),
                      static_cast<int>((y - kPreviewTop) / kPreviewHeight * inside.height()));
    }

    // Whether the colour is at the pixel of (x, y) or one pixel beside it.
    bool near(const QImage& image, double x, double y, QRgb colour) const {
        const QPoint centre = pixel(x, y);
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (image.pixel(centre + QPoint(dx, dy)) == colour) {
                    return true;
                }
            }
        }
        return false;
    }

    int columnOf(const QImage& image, int row, QRgb colour) const {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (image.pixel(x, row) == colour) {
                return x;
            }
        }
        return -1;
    }

    int rowOf(const QImage& image, int column, QRgb colour) const {
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            if (image.pixel(column, y) == colour) {
                return y;
            }
        }
        return -1;
    }

    QFrame* picture = nullptr;
    QRect inside;
    QRgb foreground = 0;
    QRgb background = 0;
    const QRgb red = qRgb(255, 0, 0);
};

TEST_F(PreviewTest, ATriangleIsDrawnFlatAndOnlyWhenClicked) {
    const QImage blank = picture->grab().toImage();
    EXPECT_EQ(blank.pixel(pixel(5, 0)), background) << "blank until clicked";

    const QImage drawn = clickPicture();
    // The face asked for the x of point 0 says so, as faces do, in a real message box.
    EXPECT_EQ(script.messages, std::vector<QString>{"x = 0"});
    // The three edges, at their midpoints; z plays no part, so the third edge is vertical.
    EXPECT_TRUE(near(drawn, 5, 0, foreground));
    EXPECT_TRUE(near(drawn, 5, -5, foreground));
    EXPECT_TRUE(near(drawn, 0, -5, foreground));
    EXPECT_NEAR(columnOf(drawn, pixel(0, -8).y(), foreground), pixel(0, -8).x(), 1);
    // Points are red dots.
    EXPECT_EQ(drawn.pixel(pixel(-30, -45)), red);
    // Inside the triangle and far away from it there is nothing.
    EXPECT_EQ(drawn.pixel(pixel(2.5, -2.5)), background);
    EXPECT_EQ(drawn.pixel(pixel(-40, -40)), background);
    EXPECT_EQ(columnOf(drawn, pixel(0, -40).y(), red), -1) << "no crosshair without a selection";

    // The drawing survives being repainted.
    picture->repaint();
    EXPECT_EQ(picture->grab().toImage(), drawn);
}

TEST_F(Form1Test, ThePreviewMapsItsAreaOntoThePicturesEdges) {
    // Points at the corners of the preview's area, a hair inside, land on the picture's corner
    // pixels: the area fills the picture exactly.
    const double right = kPreviewLeft + kPreviewWidth * 0.999;
    const double bottom = kPreviewTop + kPreviewHeight * 0.999;
    // The corners are in no face, so that no outline is drawn over them.
    loadMesh({{kPreviewLeft, kPreviewTop, 0},
              {right, kPreviewTop, 0},
              {kPreviewLeft, bottom, 0},
              {right, bottom, 0},
              {-30, -30, 0},
              {-20, -30, 0},
              {-30, -20, 0}},
             {{4, 5, 6}});
    showForm();
    QWidget* picture = control<QWidget>("Picture1");
    QTest::mouseClick(picture, Qt::LeftButton, {}, picture->rect().center());
    const QImage drawn = picture->grab().toImage();
    const QRect inside = control<QFrame>("Picture1")->contentsRect();
    const QRgb red = qRgb(255, 0, 0);
    for (const QPoint corner :
         {inside.topLeft(), inside.topRight(), inside.bottomLeft(), inside.bottomRight()}) {
        EXPECT_EQ(drawn.pixel(corner), red) << corner.x() << "," << corner.y();
    }
}

TEST_F(PreviewTest, TheSelectedPointGetsARedCrosshairDrawnLast) {
    clickItem("List1", "2");
    const QImage drawn = clickPicture();

    // Crosshairs through the connections (0, 0) and (10, 0) in the foreground colour ...
    const int connectionRow = rowOf(drawn, pixel(-40, 0).x(), foreground);
    EXPECT_NEAR(connectionRow, pixel(-40, 0).y(), 1);
    const int connectionColumn = columnOf(drawn, pixel(10, -40).y(), foreground);
    EXPECT_NEAR(connectionColumn, pixel(10, -40).x(), 1);
    // ... and a red one through (0, -10), on top of everything else.
    const int redRow = rowOf(drawn, pixel(-40, -10).x(), red);
    const int redColumn = columnOf(drawn, pixel(-40, -40).y(), red);
    EXPECT_NEAR(redRow, pixel(-40, -10).y(), 1);
    EXPECT_NEAR(redColumn, pixel(0, -40).x(), 1);
    EXPECT_EQ(drawn.pixel(redColumn, connectionRow), red);
    EXPECT_EQ(drawn.pixel(connectionColumn, redRow), red);

    // Point 0 also stands for "nothing selected": it is shown, but gets no crosshair.
    clickItem("List1", "0");
    EXPECT_EQ(text("Label1"), "Point 0 x: 0 y: 0 z: 0");
    const QImage unmarked = clickPicture();
    EXPECT_EQ(columnOf(unmarked, pixel(-40, -40).y(), red), -1);
    EXPECT_EQ(rowOf(unmarked, pixel(-40, -40).x(), foreground), -1);
}

TEST_F(Form1Test, TabVisitsTheControlsInTheirOrder) {
    showForm();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // The window opens with the focus on the first control of the order.
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("Picture1"));
    control<QWidget>("Picture1")->setFocus();
    QStringList visited;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(visited, QStringList({"List1", "List2", "Text1", "Command1", "List3", "List4",
                                    "List5", "HScroll1", "Picture1"}));
}

// Counts the paint events a widget receives.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST_F(Form1Test, ALongRunKeepsPaintingIgnoresTheUserAndStopsWhenTheWindowIsClosed) {
    // Removing every point of this fan takes seconds.
    const std::string fan = generate::fan(4000);
    const QString input = folder.filePath("fan.mesh");
    {
        QFile file(input);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(fan.data(), static_cast<qint64>(fan.size()));
    }
    script.openAnswer = input;
    form->load();
    script.messages.clear();
    showForm();
    clickItem("List1", "1");
    const QString shownPoint = text("Label1");
    QScrollBar* slider = control<QScrollBar>("HScroll1");
    const int sliderPosition = slider->value();
    QListView* faces = control<QListView>("List4");
    PaintCount painted(faces->viewport());

    // Once the walk lets events run: the user clicks another point, moves the slider and asks
    // for a repaint; in the next round the window is closed.
    bool walkLetEventsRun = false;
    int paintsBeforeClose = -1;
    QTimer::singleShot(0, form.get(), [&] {
        walkLetEventsRun = true;
        clickItem("List1", "2");
        QTest::keyClick(slider, Qt::Key_Right);
        faces->viewport()->update();
        QTimer::singleShot(0, form.get(), [&] {
            paintsBeforeClose = painted.paints;
            form->close();
        });
    });
    control<QLineEdit>("Text1")->setText("1E+300");
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);

    EXPECT_TRUE(walkLetEventsRun);
    EXPECT_GT(paintsBeforeClose, 0);
    EXPECT_FALSE(form->isVisible());
    // The user's input waited out the run and was dropped.
    EXPECT_EQ(text("Label1"), shownPoint);
    EXPECT_EQ(slider->value(), sliderPosition);
    // Stopped early, with no dialog and no message, and nothing written.
    EXPECT_FALSE(form->mesh().Points(form->mesh().lastLoadedPoint()).removed());
    EXPECT_TRUE(script.saveProposals.empty());
    EXPECT_TRUE(script.messages.empty());
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), fan);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"fan.mesh"});
}

}  // namespace
}  // namespace meshthin

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // The expected number texts use "." as the decimal separator.
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
