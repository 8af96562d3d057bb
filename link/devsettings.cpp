// The settings file "dev.dat", the start-up that reads the link keys and the
// exchange log file.

#include "linkcore.h"

#include "inifile.h"
#include "numbers.h"
#include "programfolder.h"
#include "systemfile.h"

#include <QDir>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace instrument {

namespace {

// Opens the log file for writing, emptied; on failure *reason holds the
// system's reason.
bool openLog(QFile& log, const QString& path, QString* reason)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *reason = systemReason(errno);
        return false;
    }
    if (!log.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *reason = log.errorString();
        return false;
    }
    return true;
}

} // namespace

QString LinkCore::sGetINI(const QString& sSection, const QString& sKey, const QString& sDefault) const
{
    return ini::read(programFile(QStringLiteral("dev.dat")), sSection, sKey, sDefault);
}

qint32 LinkCore::iGetINI(const QString& sSection, const QString& sKey, qint32 iDefault) const
{
    double v = 0;
    if (!toSettingNumber(sGetINI(sSection, sKey, QString::number(iDefault)), sFloatingPointSeparator, &v)
        || v < -2147483648.0 || v > 2147483647.0)
        return iDefault;
    return qint32(std::nearbyint(v));
}

QString LinkCore::sGetINIA(const QString& sFileName, const QString& sSection, const QString& sKey,
                      const QString& sDefault) const
{
    return ini::read(sFileName, sSection, sKey, sDefault);
}

bool LinkCore::sWriteINI(const QString& sSection, const QString& sKey, const QString& sValue) const
{
    if (!sWriteINIA(programFile(QStringLiteral("dev.dat")), sSection, sKey, sValue))
        return false;
    // The program's own choice of a port holds at once.
    if (sSection.trimmed().compare(QLatin1String("PORTS"), Qt::CaseInsensitive) == 0)
        m_ports.insert(sKey.trimmed().toUpper(), sValue.trimmed().left(ini::kMaxValueLength));
    return true;
}

bool LinkCore::sWriteINIA(const QString& sFileName, const QString& sSection, const QString& sKey,
                     const QString& sValue) const
{
    return ini::write(sFileName, sSection, sKey, sValue, &m_iniWriteError);
}

bool LinkCore::Form_Load()
{
    m_loadError.clear();
    sFloatingPointSeparator = localeDecimalSeparator();
    const QString datPath = programFile(QStringLiteral("dev.dat"));

    bool ok = true;
    // The value of a numeric key from lo to hi (whole numbers rounded first
    // when whole; above lo only when lo is excluded); else the start-up stops
    // with a message naming the file, section, key and value.
    enum Bound { Inclusive, AboveLow };
    auto checked = [&](const QString& section, const QString& key, const QString& fallback, double lo, double hi,
                       bool whole, Bound bound) {
        if (!ok)
            return 0.0;
        const QString text = sGetINI(section, key, fallback);
        double v = 0;
        const bool isNum = toSettingNumber(text, sFloatingPointSeparator, &v);
        // Whole numbers round to even, as the conversion to a byte does.
        if (isNum && whole)
            v = std::nearbyint(v);
        const bool inRange = bound == Inclusive ? v >= lo && v <= hi : v > lo && v <= hi;
        if (!isNum || !inRange) {
            ok = false;
            const QString range = bound == Inclusive
                ? QStringLiteral("вне допустимого диапазона от %1 до %2")
                : QStringLiteral("вне допустимого диапазона: больше %1 и не больше %2");
            m_loadError = QStringLiteral("Файл настроек \"%1\", раздел [%2], ключ %3: значение \"%4\" %5.")
                              .arg(QDir::toNativeSeparators(datPath), section, key, text,
                                   isNum ? range.arg(numberText(lo, sFloatingPointSeparator),
                                                     numberText(hi, sFloatingPointSeparator))
                                         : QStringLiteral("не является числом"));
            return 0.0;
        }
        return v;
    };
    auto number = [&](const QString& section, const QString& key, const QString& fallback, double lo, double hi) {
        return checked(section, key, fallback, lo, hi, false, Inclusive);
    };
    auto byte = [&](const QString& section, const QString& key, const QString& fallback) {
        return quint8(checked(section, key, fallback, 0, 255, true, Inclusive));
    };
    constexpr double kAny = 1e300;

    Number = byte(QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("1"));
    Settings = sGetINI(QStringLiteral("COMport"), QStringLiteral("settings"), QStringLiteral("4800,N,8,2"));
    EnableNetAdrr = number(QStringLiteral("DEVICE"), QStringLiteral("EnableNetAdrr"), QStringLiteral("1"), -kAny, kAny) != 0;
    bModuleNumber = byte(QStringLiteral("DEVICE"), QStringLiteral("ModuleNum"), QStringLiteral("0"));
    NofRereadings = byte(QStringLiteral("SETTINGS"), QStringLiteral("NOfRereadings"), QStringLiteral("2"));
    NOfDigits = byte(QStringLiteral("SETTINGS"), QStringLiteral("NOfDigits"), QStringLiteral("8"));
    // With no time at all to wait every exchange would fail, however the
    // instrument answers.
    TimeOut = checked(QStringLiteral("SETTINGS"), QStringLiteral("TimeOut"), QStringLiteral("3"), 0, 86400, false, AboveLow);
    if (ok) {
        // The delay is kept but no exchange waits on it. Where the locale's
        // separator is "." the default "0,2" reads with "," as a group
        // separator, as the locale's own number conversion takes it.
        QString delayText = sGetINI(QStringLiteral("SETTINGS"), QStringLiteral("Delay"), QStringLiteral("0,2"));
        if (sFloatingPointSeparator == QLatin1String(".") && !isNumber(delayText, sFloatingPointSeparator))
            delayText.remove(QLatin1Char(','));
        double d = 0;
        if (toNumber(delayText, sFloatingPointSeparator, &d))
            m_delay = d;
        else
            number(QStringLiteral("SETTINGS"), QStringLiteral("Delay"), QStringLiteral("0,2"), -kAny, kAny);
    }
    bolShow = number(QStringLiteral("SETTINGS"), QStringLiteral("Visible"), QStringLiteral("0"), -kAny, kAny) != 0;
    bolUseLogFile = number(QStringLiteral("LOG"), QStringLiteral("UseLogFile"), QStringLiteral("1"), -kAny, kAny) != 0;
    sLogFileName = sGetINI(QStringLiteral("LOG"), QStringLiteral("LogFileName"), QStringLiteral("COM.log"));
    // The port devices, read here once rather than at every opening.
    m_ports.clear();
    m_portsRead = true;
    for (const auto& [key, value] : ini::readSection(datPath, QStringLiteral("PORTS")))
        if (!m_ports.contains(key.toUpper()))
            m_ports.insert(key.toUpper(), value);
    if (!ok)
        return false;

    m_log.close();
    m_logPath = programFile(QString(sLogFileName).replace(QLatin1Char('\\'), QLatin1Char('/')));
    QString reason;
    if (!openLog(m_log, m_logPath, &reason)) {
        m_loadError = QStringLiteral("Не удалось открыть файл журнала обмена \"%1\": %2.")
                          .arg(QDir::toNativeSeparators(m_logPath), reason);
        return false;
    }
    if (sGetINI(QStringLiteral("LOG"), QStringLiteral("ClearLog"), QStringLiteral("Yes")) == QLatin1String("Yes"))
        ClearLogFile();

    COMError = 0;
    sErrorMsg.clear();
    bNetAdrr = 0;
    return true;
}

void LinkCore::Form_Unload()
{
    if (m_log.isOpen())
        m_log.close();
}

void LinkCore::ClearLogFile()
{
    m_log.close();
    QString reason;
    if (!m_logPath.isEmpty())
        openLog(m_log, m_logPath, &reason);
}

} // namespace instrument
