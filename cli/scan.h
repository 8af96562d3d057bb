#pragma once
// The search for an instrument whose speed or network number nobody wrote
// down: the link test frame (":" + number + ";0;", raw) at each speed of the
// suite's list and each network number, an answer holding "!" counting as
// found. Qt Core only, so a window can run it as well as the command line.

#include "linkcore.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace scan {

// One try: the port settings ("19200,N,8,2") and the network number.
struct Try {
    QString settings;
    int netnum = 0;
};

// The baud rate of port settings ("19200,N,8,2" gives 19200); 0 when the
// first field is no number.
int baudOf(const QString& settings);

// The suite's port settings in the order of its list (300 ... 57600).
QStringList suiteSettings();

// The tries in their order: the first settings with the first number, then
// the first settings with every other number, then each other settings over
// every number. A first settings not in the list, or a first number not in
// the numbers, is not tried.
QList<Try> tryOrder(const QStringList& settings, const QList<int>& netnums, const QString& firstSettings,
                    int firstNetnum);
// The same with several firsts, most likely first: the settings in the order
// of firstSettings, then the others of the list; each over the numbers in
// the order of firstNetnums, then the others. Every try is made once.
QList<Try> tryOrder(const QStringList& settings, const QList<int>& netnums, const QStringList& firstSettings,
                    const QList<int>& firstNetnums);

// What a try may wait at a baud rate, in seconds: the longer of the request
// (up to its "!") and the answer's rest in 11-bit characters, plus the margin
// the instrument and the computer take to turn round.
double tryTimeOut(int baud);

// A time left for a progress line, "m:ss", whole seconds rounded up (the
// scan's and the command line's download).
QString durationText(qint64 ms);

class Scanner {
public:
    explicit Scanner(instrument::LinkCore& link) : m_link(link) {}

    // Called after each try with the tries made and their total; returning
    // false stops the scan there.
    std::function<bool(int tried, int total)> onProgress;
    // Called for each instrument that answered.
    std::function<void(const Try&)> onFound;

    // Runs the tries, stopping at the first found unless all is set. The
    // link's settings, number, time-out and rereadings are as before after
    // it. Returns the instruments found.
    QList<Try> run(const QList<Try>& tries, bool all);
    // Whether the last run ended through onProgress before its end.
    bool stopped() const { return m_stopped; }
    // The link's message when the last run ended because the port could not
    // be used (it ends there: no other try would reach the line either).
    QString portError() const { return m_portError; }

private:
    bool answers(const Try& t);

    instrument::LinkCore& m_link;
    bool m_stopped = false;
    QString m_portError;
};

} // namespace scan
