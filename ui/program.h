#pragma once
// What every program does before its window opens, and the few lines of its
// main().

#include <QApplication>

namespace ui {

// Qt's own dialogs and buttons in Russian (Qt's translations of the
// system), and a file-size limit that ends a write with a message instead
// of killing the program (SIGXFSZ ignored: the write then fails with
// "файл слишком большой" and is reported).
void prepareProgram();

// main() of a program: the window Window, its Form_Load, then the event loop.
template <class Window>
int runProgram(int argc, char* argv[])
{
    QApplication app(argc, argv);
    prepareProgram();
    Window w;
    if (!w.Form_Load())
        return 1;
    w.show();
    return app.exec();
}

} // namespace ui
