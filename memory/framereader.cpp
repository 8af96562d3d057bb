#include "framereader.h"

#include "datafile.h"
#include "dev.h"
#include "link.h"
#include "map.h"
#include "messagebox.h"
#include "numbers.h"
#include "operation.h"
#include "protocol.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace memory {

namespace {

const QString kProgram = QStringLiteral("Memory");
const QString kErrorPrefix = QStringLiteral("Ошибка: ");
// The run's own register reads answer in English, as they always have.
const QString kRegisterPrefix = QStringLiteral("Error: ");

// The number of value fields the link checks in a frame answer, in hexadecimal.
const QString kCheckedValues = QStringLiteral("c");

} // namespace

FrameReader::FrameReader(QWidget* window) : m_window(window) {}

bool FrameReader::stopRequested() const
{
    return m_stop || (m_op && !m_op->ok());
}

bool FrameReader::readRegister(const instrument::map::Param& p, const QString& prefix, qint64* value, QString* message)
{
    std::optional<QString> a;
    for (const instrument::map::Call& c : instrument::map::readCalls(p))
        if (!(a = m_op->perform(c)))
            return false;
    if (!a)
        return false;
    if (instrument::toWholeNumber(*a, m_op->dev().sFloatingPointSeparator, -2147483647LL, 2147483647LL, value))
        return true;
    *message = prefix + *a;
    return false;
}

FrameReader::Result FrameReader::run(ui::Operation& op, const Request& request)
{
    m_stop = false;
    m_running = true;
    m_op = &op;
    m_list = FrameList();
    m_progress = Progress();
    Result result;
    auto end = [&](Outcome outcome, const QString& message = QString()) {
        m_running = false;
        result.frames = m_progress.frames;
        m_op = nullptr;
        result.outcome = outcome;
        result.message = message;
        return result;
    };

    // The file first: nothing goes over the line for a file that cannot be written.
    const QString fileProblem = checkDataFile(request.file);
    if (!fileProblem.isEmpty())
        return end(Outcome::Refused, kErrorPrefix + fileProblem);

    const int i = request.buffer;
    const auto reg = [&](const char* key) -> const instrument::map::Param& {
        return *request.map->find(QStringLiteral("buffer%1.%2").arg(i + 1).arg(QLatin1String(key)));
    };
    qint64 count = request.count;
    QString message;
    if (request.wholeBuffer) {
        if (!readRegister(reg("length"), kErrorPrefix, &count, &message))
            return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
        if (stopAfterHeldEvents())
            return end(Outcome::Stopped);
    }

    qint64 current = 0;
    qint64 start = 0;
    qint64 length = 0;
    if (!readRegister(reg("current"), kRegisterPrefix, &current, &message))
        return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
    if (stopAfterHeldEvents())
        return end(Outcome::Stopped);
    if (!readRegister(reg("first"), kRegisterPrefix, &start, &message))
        return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
    if (stopAfterHeldEvents())
        return end(Outcome::Stopped);
    if (!readRegister(reg("length"), kRegisterPrefix, &length, &message))
        return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
    if (stopAfterHeldEvents())
        return end(Outcome::Stopped);

    m_list = frameList(i, current, start, length, count, request.step);
    if (!m_list.valid)
        return end(Outcome::Refused, kErrorPrefix + m_list.refusal);

    if (m_bar) {
        m_bar->setMinimum(0);
        m_bar->setMaximum(std::max(0, m_list.count - 1));
        m_bar->setValue(0);
    }
    m_progress.frames = m_list.count;
    reportProgress();
    for (qint32 k = 0; k < m_list.count; ++k) {
        if (stopRequested())
            return end(Outcome::Stopped);
        if (!readFrame(m_list.at(k), request.file, &result)) {
            result.abortedAt = m_list.at(k);
            return end(Outcome::Aborted);
        }
    }
    return end(Outcome::Finished);
}

bool FrameReader::stopAfterHeldEvents()
{
    // The register reads wait with the window's input held; a stop clicked
    // meanwhile is in the queue now, and counts before the next exchange.
    if (!stopRequested())
        QCoreApplication::processEvents();
    return stopRequested();
}

bool FrameReader::readFrame(qint32 frame, const QString& file, Result* result)
{
    const QString number = frameNumberText(frame);
    instrument::Dev& dev = m_op->dev();
    for (;;) {
        const std::optional<QString> t = m_op->call(
            [&](instrument::Dev& d) { return d.sSendCommand(instrument::cmd::ReadFrame, number, kCheckedValues); });
        // The window was closed: the run ends at its next step.
        if (!t)
            return true;
        QString failure;
        if (dev.COMError != 0) {
            failure = dev.sErrorMsg;
        } else {
            const FrameLines lines = frameLines(*t, dev.sFloatingPointSeparator);
            if (!lines.valid)
                failure = lines.error;
            else {
                const QByteArray bytes = fileBytes(lines.lines);
                for (;;) {
                    QString why;
                    if (appendToDataFile(file, bytes, &why)) {
                        ++result->framesWritten;
                        ++m_progress.written;
                        break;
                    }
                    // The data file's reason says "кадр не записан в файл ...": it gets the number.
                    const QString lead = QStringLiteral("кадр ");
                    const Answer a = ask(why.startsWith(lead)
                                             ? QStringLiteral("Кадр %1 %2").arg(frame).arg(why.mid(lead.size()))
                                             : QStringLiteral("Кадр %1 не записан в файл: %2").arg(frame).arg(why));
                    if (a == Answer::Abort)
                        return false;
                    if (a == Answer::Ignore) {
                        ++result->framesSkipped;
                        break;
                    }
                }
                advance();
                return true;
            }
        }
        const Answer a = ask(QStringLiteral("Кадр %1 не прочитан: %2").arg(frame).arg(failure));
        if (a == Answer::Abort)
            return false;
        if (a == Answer::Ignore) {
            ++result->framesSkipped;
            advance();
            return true;
        }
    }
}

FrameReader::Answer FrameReader::ask(const QString& text)
{
    const QMessageBox::StandardButton b
        = instrument::showMessage(m_window, QMessageBox::NoIcon, kProgram, text,
                                  QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    if (b == QMessageBox::Retry)
        return Answer::Retry;
    if (b == QMessageBox::Ignore)
        return Answer::Ignore;
    return Answer::Abort;
}

void FrameReader::advance()
{
    if (m_bar && m_bar->maximum() > m_bar->value())
        m_bar->setValue(m_bar->value() + 1);
    ++m_progress.handled;
    reportProgress();
}

void FrameReader::reportProgress()
{
    if (m_onProgress)
        m_onProgress();
}

} // namespace memory
