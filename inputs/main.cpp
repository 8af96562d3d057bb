#include "inputs_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    inputs::frmMain w;
    if (!w.Form_Load())
        return 1;
    w.show();
    return app.exec();
}
