// meshthin: thins out a polygon mesh. One window; the mesh is chosen when it opens.
#include <QApplication>

#include "ui/form1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Only the name: a display name would be appended to the window's caption "Form1".
    QApplication::setApplicationName(QString::fromLatin1(meshthin::kApplicationTitle));

    meshthin::Form1 form;
    form.load();
    form.show();
    return app.exec();
}
