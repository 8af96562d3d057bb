#include "program.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <csignal>

namespace ui {

void prepareProgram()
{
    std::signal(SIGXFSZ, SIG_IGN);
    static bool loaded = false;
    if (loaded || !QCoreApplication::instance())
        return;
    loaded = true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ru", "qtserialport_ru"}) {
        auto* t = new QTranslator(QCoreApplication::instance());
        if (t->load(QLatin1String(name), folder))
            QCoreApplication::installTranslator(t);
        else
            delete t;
    }
}

} // namespace ui
