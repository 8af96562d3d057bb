#include "programdir.h"

#include "cp1251.h"

#include <QFile>

namespace testsupport {

ProgramFolder::ProgramFolder()
{
    m_hadPrevious = qEnvironmentVariableIsSet("INSTRUMENT_SUITE_DIR");
    m_previous = qgetenv("INSTRUMENT_SUITE_DIR");
    qputenv("INSTRUMENT_SUITE_DIR", m_dir.path().toLocal8Bit());
}

ProgramFolder::~ProgramFolder()
{
    if (m_hadPrevious)
        qputenv("INSTRUMENT_SUITE_DIR", m_previous);
    else
        qunsetenv("INSTRUMENT_SUITE_DIR");
}

void ProgramFolder::writeDevDat(const QString& text) const
{
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    writeFile(QStringLiteral("dev.dat"), instrument::toCp1251(crlf));
}

void ProgramFolder::writeFile(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray ProgramFolder::readFile(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace testsupport
