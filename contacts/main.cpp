#include "contacts_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    contacts::frmContacts w;
    if (!w.Form_Load())
        return 1;
    w.show();
    return app.exec();
}
