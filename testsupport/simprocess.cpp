#include "simprocess.h"

#include "numbers.h"
#include "programdir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace testsupport {

QString SimProcess::executable()
{
    const QString fromEnv = qEnvironmentVariable("INSTRUMENT_SIM");
    if (!fromEnv.isEmpty())
        return fromEnv;
    // Tests live in build/tests, programs in build/bin.
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/instrument-sim"));
}

SimProcess::SimProcess(const QStringList& extraArguments)
{
    QStringList args = {QStringLiteral("--link"), linkPath(), QStringLiteral("--transcript"), transcriptPath()};
    args += extraArguments;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(executable(), args);
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("%1: %2").arg(executable(), m_process.errorString());
        return;
    }
    QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    if (!m_process.canReadLine()) {
        m_process.waitForFinished(1000);
        m_error = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
        if (m_error.isEmpty())
            m_error = QStringLiteral("the simulator printed no slave path");
        return;
    }
    m_slave = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    m_started = QFileInfo(linkPath()).isSymLink();
    if (!m_started)
        m_error = QStringLiteral("no link at %1").arg(linkPath());
}

SimProcess::~SimProcess()
{
    stop();
}

int SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate(); // SIGTERM
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

bool SimProcess::linkPresent() const
{
    return QFileInfo(linkPath()).isSymLink();
}

QStringList SimProcess::transcript() const
{
    QFile f(transcriptPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList SimProcess::transcript(const QString& prefix) const
{
    QStringList out;
    for (const QString& line : transcript())
        if (line.startsWith(prefix))
            out << line.mid(prefix.size());
    return out;
}

void writeSimDevDat(const ProgramFolder& folder, const SimDevDat& s)
{
    const QString sep = instrument::localeDecimalSeparator();
    QString timeOut = QString::number(s.timeOut, 'f', 3);
    while (timeOut.endsWith(QLatin1Char('0')))
        timeOut.chop(1);
    if (timeOut.endsWith(QLatin1Char('.')))
        timeOut.chop(1);
    timeOut.replace(QLatin1Char('.'), sep);
    QString text;
    text += QStringLiteral("[COMport]\nnumber=1\nsettings=%1\n").arg(s.settings);
    text += QStringLiteral("[PORTS]\nCOM1=%1\n").arg(s.link);
    text += QStringLiteral("[DEVICE]\nEnableNetAdrr=%1\nModuleNum=0\n").arg(s.enableNetAdrr ? 1 : 0);
    text += QStringLiteral("[SETTINGS]\nNOfRereadings=%1\nNOfDigits=8\nTimeOut=%2\nVisible=0\n")
                .arg(s.rereadings)
                .arg(timeOut);
    text += QStringLiteral("[LOG]\nUseLogFile=1\nLogFileName=COM.log\nClearLog=Yes\n");
    text += s.extra;
    folder.writeDevDat(text);
}

} // namespace testsupport
