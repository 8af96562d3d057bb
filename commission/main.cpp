#include "commission_window.h"
#include "program.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(commission::Main::version());
    ui::prepareProgram();
    commission::Main w;
    if (!w.Form_Load())
        return 1;
    w.show();
    return app.exec();
}
