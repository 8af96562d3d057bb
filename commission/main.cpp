#include "commission_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(commission::Main::version());
    commission::Main w;
    if (!w.Form_Load())
        return 1;
    w.show();
    return app.exec();
}
