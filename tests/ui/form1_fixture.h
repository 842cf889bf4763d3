// SPDX-License-Identifier: GPL-3.0-or-later
// The ground of the window tests: the real Form1 on the offscreen platform, its dialogs answered
// by a script, its controls found by name and worked with the mouse and the keyboard.
#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <set>
#include <sstream>
#include <vector>

#include "meshio/batch.h"
#include "meshio/loader.h"
#include "meshio/reduction.h"
#include "meshio/writer.h"
#include "model/mesh.h"
#include "support/fake_window.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/form1.h"
#include "ui/lists.h"
#include "ui/preview.h"

// Readable texts in the failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace meshthin {

// What the dialogs answer, and what they were shown.
struct DialogScript {
    QString openAnswer;
    std::deque<std::optional<QString>> saveAnswers;
    std::function<void()> duringSave;

    std::vector<QString> messages;
    std::vector<QString> openProposals;
    std::vector<QString> saveProposals;
    std::vector<QString> abouts;  // the texts of the About boxes shown
};

class ScriptedDialogs : public Dialogs {
public:
    explicit ScriptedDialogs(DialogScript& script) : script(script) {}

    void message(QWidget*, const QString& text) override { script.messages.push_back(text); }

    QString openFileName(QWidget*, const QString& proposed) override {
        script.openProposals.push_back(proposed);
        return script.openAnswer;
    }

    std::optional<QString> saveFileName(QWidget*, const QString& proposed) override {
        script.saveProposals.push_back(proposed);
        if (script.duringSave) {
            script.duringSave();
        }
        std::optional<QString> answer;
        if (!script.saveAnswers.empty()) {
            answer = script.saveAnswers.front();
            script.saveAnswers.pop_front();
        }
        return answer;
    }

    void about(QWidget*, const QString& title, const QString& text) override {
        script.abouts.push_back(title + "\n" + text);
    }
    void aboutQt(QWidget*) override { script.abouts.push_back(QStringLiteral("Qt")); }

private:
    DialogScript& script;
};

// Records every caption that Command1 actually paints, each change once.
class PaintedCaptions : public QObject {
public:
    explicit PaintedCaptions(QPushButton* button) : button(button), last(button->text()) {
        button->installEventFilter(this);
    }
    std::vector<QString> captions;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button && event->type() == QEvent::Paint && button->text() != last) {
            last = button->text();
            captions.push_back(last);
        }
        return false;
    }

private:
    QPushButton* button;
    QString last;
};

using Coordinates = std::array<double, 3>;

// A flat square fan: four ring points around a centre, the centre last so that the value list
// is not in point order.
//
//         1
//       / | \    the ring 0 1 2 3,
//     2 - 4 - 0   the centre 4
//       \ | /
//         3
const std::vector<Coordinates> kFanPoints = {
    {-10, -20, 0}, {-20, -10, 0}, {-30, -20, 0}, {-20, -30, 0}, {-20, -20, 0}};
const std::vector<std::vector<int>> kFanFaces = {{4, 0, 1}, {4, 1, 2}, {4, 2, 3}, {4, 3, 0}};

// The triangle of the preview, with z not 0 on one point, and a lone point in no face.
const std::vector<Coordinates> kTrianglePoints = {
    {0, 0, 0}, {10, 0, 0}, {0, -10, 5}, {-30, -45, 0}};
const std::vector<std::vector<int>> kTriangleFaces = {{0, 1, 2}};

inline QString number(double value) {
    return QString::number(value, 'g', 15);
}

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        form = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(script));
    }

    void TearDown() override { form.reset(); }

    QString writeMeshFile(const QString& name, const std::vector<Coordinates>& points,
                          const std::vector<std::vector<int>>& faces) {
        std::vector<std::string> groups;
        for (const Coordinates& p : points) {
            groups.push_back(
                ("(" + number(p[0]) + " " + number(p[1]) + " " + number(p[2]) + ")").toStdString());
        }
        std::vector<std::string> faceLines;
        for (const std::vector<int>& face : faces) {
            std::string line = std::to_string(face.size()) + " (";
            for (int point : face) {
                line += " (" + std::to_string(point) + ")";
            }
            faceLines.push_back(line + " )");
        }
        const std::string text = testing::meshText(groups, faceLines);
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }

    void loadMesh(const std::vector<Coordinates>& points,
                  const std::vector<std::vector<int>>& faces) {
        script.openAnswer = writeMeshFile("input.mesh", points, faces);
        form->load();
        ASSERT_EQ(script.messages, std::vector<QString>{kLoadNotice});
        script.messages.clear();
    }

    void showForm() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    template <class Control>
    Control* control(const char* name) {
        Control* found = form->findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // A list's lines as its view shows them: the display texts of its model's rows.
    QStringList items(const char* listName) {
        QStringList texts;
        const QAbstractItemModel* lines = control<QListView>(listName)->model();
        for (int row = 0; row < lines->rowCount(); ++row) {
            texts.append(lines->index(row, 0).data(Qt::DisplayRole).toString());
        }
        return texts;
    }

    QString text(const char* name) {
        if (auto* label = form->findChild<QLabel*>(QString::fromLatin1(name))) {
            return label->text();
        }
        return control<QLineEdit>(name)->text();
    }

    QStringList selectedItems(const char* listName) {
        QStringList texts;
        for (const QModelIndex& index :
             control<QListView>(listName)->selectionModel()->selectedIndexes()) {
            texts.append(index.data(Qt::DisplayRole).toString());
        }
        return texts;
    }

    void clickItem(const char* listName, const QString& itemText,
                   Qt::KeyboardModifiers modifiers = {}) {
        QListView* list = control<QListView>(listName);
        const QAbstractItemModel* lines = list->model();
        const QModelIndexList found =
            lines->match(lines->index(0, 0), Qt::DisplayRole, itemText, -1, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << itemText.toStdString();
        list->scrollTo(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualRect(found.first()).center());
    }

    QImage clickPicture() {
        QWidget* picture = control<QWidget>("Picture1");
        QTest::mouseClick(picture, Qt::LeftButton, {}, picture->rect().center());
        return picture->grab().toImage();
    }

    DialogScript script;
    QTemporaryDir folder;
    std::unique_ptr<Form1> form;
};

}  // namespace meshthin
