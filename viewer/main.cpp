#include "program.h"
#include "viewer_window.h"

#include <QApplication>

// Viewer [FILE]: the window, with FILE opened when one is given.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ui::prepareProgram();
    viewer::frmViewer w;
    w.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        w.openFile(args[1]);
    return app.exec();
}
