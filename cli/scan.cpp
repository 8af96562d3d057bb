#include "scan.h"

#include "map.h"

#include <QtMath>

namespace scan {

namespace {

// The link test's request at the longest (":255;0;" CR LF) and its answer
// after the "!" ("OK;" CR LF, with some to spare), in characters. A silent
// try waits twice: once for the "!", once more for the line's end.
constexpr int kRequestChars = 9;
constexpr int kAnswerChars = 8;
// What the line, the instrument and the computer add to the characters'
// own time before an answer is in: on the simulator's pseudo-terminal at
// 57600 baud the whole exchange took 2.7 ms, about its characters' time; a
// real converter's buffering (a USB adapter holds bytes up to 16 ms) and
// the instrument's reaction get 30 ms.
constexpr double kMarginSeconds = 0.03;

// The firsts that the list holds, then the rest of the list, each once.
template <class List>
List firstsFirst(const List& list, const List& firsts)
{
    List out;
    for (const auto& item : firsts + list)
        if (list.contains(item) && !out.contains(item))
            out.append(item);
    return out;
}

} // namespace

int baudOf(const QString& settings)
{
    bool ok = false;
    const int baud = settings.section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
    return ok && baud > 0 ? baud : 0;
}

QStringList suiteSettings()
{
    static const QStringList list = [] {
        const instrument::map::Map defaults;
        QStringList texts;
        for (const instrument::map::Item& item : defaults.find(QStringLiteral("speed"))->items)
            texts << item.text;
        return texts;
    }();
    return list;
}

QList<Try> tryOrder(const QStringList& settings, const QList<int>& netnums, const QString& firstSettings,
                    int firstNetnum)
{
    return tryOrder(settings, netnums, QStringList{firstSettings}, QList<int>{firstNetnum});
}

QList<Try> tryOrder(const QStringList& settings, const QList<int>& netnums, const QStringList& firstSettings,
                    const QList<int>& firstNetnums)
{
    const QStringList speeds = firstsFirst(settings, firstSettings);
    const QList<int> numbers = firstsFirst(netnums, firstNetnums);
    QList<Try> tries;
    tries.reserve(speeds.size() * numbers.size());
    for (const QString& s : speeds)
        for (int n : numbers)
            tries.append({s, n});
    return tries;
}

double tryTimeOut(int baud)
{
    const int chars = qMax(kRequestChars + 1, kAnswerChars);
    return (baud > 0 ? chars * 11.0 / baud : 0.0) + kMarginSeconds;
}

QString durationText(qint64 ms)
{
    const qint64 s = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

bool Scanner::answers(const Try& t)
{
    m_link.Settings = t.settings;
    m_link.TimeOut = tryTimeOut(baudOf(t.settings));
    const QString answer = m_link.sPortSR(QLatin1Char(':') + QString::number(t.netnum) + QStringLiteral(";0;"));
    if (m_link.COMError != 0)
        m_portError = m_link.sErrorMsg;
    return m_link.COMError == 0 && answer.contains(QLatin1Char('!'));
}

QList<Try> Scanner::run(const QList<Try>& tries, bool all)
{
    struct Keep {
        instrument::LinkCore& link;
        const QString settings = link.Settings;
        const quint8 netnum = link.bNetAdrr;
        const double timeOut = link.TimeOut;
        const quint8 rereadings = link.NofRereadings;
        ~Keep()
        {
            link.Settings = settings;
            link.bNetAdrr = netnum;
            link.TimeOut = timeOut;
            link.NofRereadings = rereadings;
        }
    } keep{m_link};
    m_link.NofRereadings = 0;
    m_stopped = false;
    m_portError.clear();
    QList<Try> found;
    for (int i = 0; i < tries.size(); ++i) {
        const bool answered = answers(tries.at(i));
        if (!m_portError.isEmpty())
            break;
        if (answered) {
            found.append(tries.at(i));
            if (onFound)
                onFound(tries.at(i));
            if (!all)
                break;
        }
        if (onProgress && !onProgress(i + 1, int(tries.size()))) {
            m_stopped = i + 1 < tries.size();
            break;
        }
    }
    return found;
}

} // namespace scan
