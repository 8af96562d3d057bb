#include "program.h"
#include "text_window.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(text::Dialog::version());
    ui::prepareProgram();
    text::Dialog w;
    if (!w.Form_Load())
        return 1;
    w.show();
    return app.exec();
}
