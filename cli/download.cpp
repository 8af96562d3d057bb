// download: the frames of a recording buffer into a data file, as Memory's
// reading buttons take them and write them.

#include "commands.h"
#include "datafile.h"
#include "framelist.h"
#include "help.h"
#include "interrupt.h"
#include "link.h"
#include "numbers.h"
#include "protocol.h"
#include "scan.h"
#include "session.h"

#include <QElapsedTimer>

namespace cli {

namespace map = instrument::map;

namespace {

// The number of fields of value the link checks in a frame answer, in hexadecimal.
const QString kCheckedValues = QStringLiteral("c");

// A buffer register through the map; false with the message in *error.
bool readRegister(Session& s, const QString& name, qint64* value, QString* error)
{
    const map::Param* p = s.map->find(name);
    const map::Result r = map::read(*p, s.mapLink);
    if (!r.ok || !instrument::toWholeNumber(r.value, QStringLiteral("."), -32768, 65535, value)) {
        *error = QStringLiteral("%1: %2").arg(p->title(), r.ok ? r.value : r.error);
        return false;
    }
    return true;
}

} // namespace

int download(const QStringList& args)
{
    Arguments a;
    const QList<OptionSpec> own = {{QStringLiteral("buffer"), true, {}}, {QStringLiteral("last"), true, {}},
                                   {QStringLiteral("every"), true, {}},  {QStringLiteral("count"), true, {}},
                                   {QStringLiteral("all"), false, {}},   {QStringLiteral("out"), true, QStringLiteral("o")}};
    if (const int status = parseCommand(QStringLiteral("download"), args, own, &a); status >= 0)
        return status;
    const auto usage = [](const QString& text) { return badUsage(QStringLiteral("download"), text); };
    if (!a.positional.isEmpty())
        return usage(QStringLiteral("лишний аргумент «%1»").arg(a.positional.first()));

    qint64 buffer = 1;
    if (a.has(QStringLiteral("buffer")) && !wholeNumber(a.value(QStringLiteral("buffer")), 1, 2, &buffer))
        return usage(QStringLiteral("--buffer: «%1» — буфер бывает 1 или 2").arg(a.value(QStringLiteral("buffer"))));
    const int ways = int(a.has(QStringLiteral("last"))) + int(a.has(QStringLiteral("every")) || a.has(QStringLiteral("count")))
                     + int(a.has(QStringLiteral("all")));
    if (ways != 1)
        return usage(QStringLiteral("укажите одно из: --last N, --every ШАГ --count N, --all"));
    qint64 count = 0;
    qint64 step = 1;
    if (a.has(QStringLiteral("last")) && !wholeNumber(a.value(QStringLiteral("last")), 1, 32767, &count))
        return usage(QStringLiteral("--last: «%1» не число кадров от 1 до 32767").arg(a.value(QStringLiteral("last"))));
    if (a.has(QStringLiteral("every")) || a.has(QStringLiteral("count"))) {
        if (!a.has(QStringLiteral("every")) || !a.has(QStringLiteral("count")))
            return usage(QStringLiteral("--every и --count задаются вместе"));
        if (!wholeNumber(a.value(QStringLiteral("every")), 1, 255, &step))
            return usage(QStringLiteral("--every: «%1» не шаг от 1 до 255").arg(a.value(QStringLiteral("every"))));
        if (!wholeNumber(a.value(QStringLiteral("count")), 1, 32767, &count))
            return usage(QStringLiteral("--count: «%1» не число кадров от 1 до 32767").arg(a.value(QStringLiteral("count"))));
    }
    const QString out = a.value(QStringLiteral("out"));
    if (out.isEmpty())
        return usage(QStringLiteral("укажите файл данных: --out ФАЙЛ.dtl"));
    // The file first: nothing goes over the line for a file that cannot be written.
    const QString fileProblem = memory::checkDataFile(out);
    if (!fileProblem.isEmpty()) {
        complain(fileProblem);
        return BadUsage;
    }

    Session s;
    if (!s.open(a))
        return BadUsage;
    QString error;
    const QString prefix = QStringLiteral("buffer%1.").arg(buffer);
    if (a.has(QStringLiteral("all")) && !readRegister(s, prefix + QStringLiteral("length"), &count, &error)) {
        complain(error);
        return Failed;
    }
    qint64 current = 0;
    qint64 first = 0;
    qint64 length = 0;
    if (!readRegister(s, prefix + QStringLiteral("current"), &current, &error)
        || !readRegister(s, prefix + QStringLiteral("first"), &first, &error)
        || !readRegister(s, prefix + QStringLiteral("length"), &length, &error)) {
        complain(error);
        return Failed;
    }
    const memory::FrameList list = memory::frameList(int(buffer - 1), current, first, length, count, step);
    if (!list.valid) {
        complain(list.refusal);
        return Failed;
    }

    InterruptGuard guard;
    const bool progress = errorIsTerminal();
    QElapsedTimer clock;
    clock.start();
    int written = 0;
    auto showProgress = [&] {
        if (!progress)
            return;
        const qint64 left = written > 0 ? clock.elapsed() * (list.count - written) / written : 0;
        printError(QStringLiteral("\rкадров %1 из %2, осталось %3   ")
                       .arg(written)
                       .arg(list.count)
                       .arg(written > 0 ? scan::durationText(left) : QStringLiteral("?")));
    };
    auto endProgress = [&] {
        if (progress)
            printError(QStringLiteral("\n"));
    };
    showProgress();
    for (qint32 k = 0; k < list.count; ++k) {
        if (InterruptGuard::interrupted()) {
            endProgress();
            complain(QStringLiteral("прервано: записано кадров %1 из %2 в %3").arg(written).arg(list.count).arg(out));
            return Interrupted;
        }
        const qint32 frame = list.at(k);
        const QString answer
            = s.link.sSendCommand(instrument::cmd::ReadFrame, memory::frameNumberText(frame), kCheckedValues);
        QString failure;
        if (s.link.COMError != 0) {
            failure = s.link.sErrorMsg;
        } else {
            const memory::FrameLines lines = memory::frameLines(answer, s.link.sFloatingPointSeparator);
            if (!lines.valid)
                failure = lines.error;
            else if (QString why; !memory::appendToDataFile(out, memory::fileBytes(lines.lines), &why))
                failure = why;
        }
        if (!failure.isEmpty()) {
            endProgress();
            complain(QStringLiteral("кадр %1: %2").arg(frame).arg(failure));
            complain(QStringLiteral("записано кадров %1 из %2 в %3").arg(written).arg(list.count).arg(out));
            return Failed;
        }
        ++written;
        showProgress();
    }
    endProgress();
    printError(QStringLiteral("Записано кадров: %1 в %2\n").arg(written).arg(out));
    return Done;
}

} // namespace cli
