// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the window's picture for the README: loads a mesh with the dialogs answered by this
// program, selects a point, clicks the preview and saves what the window shows as a PNG.
// Usage: meshthin_screenshot MESH_FILE POINT_NUMBER OUTPUT_PNG
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QMouseEvent>
#include <QTextStream>
#include <cstdio>

#include "ui/form1.h"

namespace {

// Answers the open dialog with the given file and keeps the messages, so that a load that went
// wrong does not end in a picture of an empty window unnoticed.
class AnsweringDialogs : public meshthin::Dialogs {
public:
    explicit AnsweringDialogs(QString mesh) : mesh(std::move(mesh)) {}

    void message(QWidget*, const QString& text) override { messages.append(text); }
    QString openFileName(QWidget*, const QString&) override { return mesh; }
    std::optional<QString> saveFileName(QWidget*, const QString&) override { return std::nullopt; }

    QStringList messages;

private:
    QString mesh;
};

void click(QWidget* widget) {
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s MESH_FILE POINT_NUMBER OUTPUT_PNG\n", argv[0]);
        return 2;
    }
    auto dialogs = std::make_unique<AnsweringDialogs>(QString::fromLocal8Bit(argv[1]));
    AnsweringDialogs& answers = *dialogs;
    meshthin::Form1 form(std::move(dialogs));
    form.load();
    if (answers.messages.size() != 1) {  // only the notice before the open dialog is expected
        QTextStream(stderr) << answers.messages.join(QLatin1Char('\n')) << '\n';
        return 1;
    }
    form.show();
    QApplication::processEvents();

    auto* points = form.findChild<QListView*>(QStringLiteral("List1"));
    QAbstractItemModel* lines = points->model();
    const QModelIndexList found = lines->match(
        lines->index(0, 0), Qt::DisplayRole, QString::fromLocal8Bit(argv[2]), 1, Qt::MatchExactly);
    if (found.isEmpty()) {
        std::fprintf(stderr, "no point %s in the list\n", argv[2]);
        return 1;
    }
    points->setCurrentIndex(found.first());
    points->scrollTo(found.first(), QAbstractItemView::PositionAtCenter);
    click(form.findChild<QWidget*>(QStringLiteral("Picture1")));
    // A large mesh's lists lay out their rows over several rounds of events.
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    if (!form.grab().save(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
