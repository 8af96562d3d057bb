#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace instrument {

QString programFolder()
{
    const QString fromEnv = qEnvironmentVariable("INSTRUMENT_SUITE_DIR");
    if (!fromEnv.isEmpty())
        return QDir(fromEnv).absolutePath();
    return QCoreApplication::applicationDirPath();
}

QString programFile(const QString& name)
{
    return QDir(programFolder()).filePath(name);
}

} // namespace instrument
