#include "framereader.h"

#include "datafile.h"
#include "dev.h"
#include "messagebox.h"
#include "numbers.h"
#include "operation.h"
#include "protocol.h"

#include <QProgressBar>

namespace memory {

namespace {

const QString kProgram = QStringLiteral("Memory");
const QString kErrorPrefix = QStringLiteral("Ошибка: ");
// The run's own register reads answer in English, as they always have.
const QString kRegisterPrefix = QStringLiteral("Error: ");

constexpr int kFirstFrameRegister = 0x2;
constexpr int kLengthRegister = 0x4;
constexpr int kCurrentFrameRegister = 0x20;
// The number of value fields the link checks in a frame answer, in hexadecimal.
const QString kCheckedValues = QStringLiteral("c");

} // namespace

FrameReader::FrameReader(QWidget* window) : m_window(window) {}

bool FrameReader::stopRequested() const
{
    return m_stop || (m_op && !m_op->ok());
}

bool FrameReader::readRegister(int address, const QString& prefix, qint64* value, QString* message)
{
    const std::optional<QString> a = m_op->call([&](instrument::Dev& d) {
        return d.sCOMPort(instrument::cmd::ReadRegister, instrument::hexText(quint32(address)), QStringLiteral("0"));
    });
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
    Result result;
    auto end = [&](Outcome outcome, const QString& message = QString()) {
        m_running = false;
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
    qint64 count = request.count;
    QString message;
    if (request.wholeBuffer) {
        if (!readRegister(kLengthRegister + i, kErrorPrefix, &count, &message))
            return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
        if (stopRequested())
            return end(Outcome::Stopped);
    }

    qint64 current = 0;
    qint64 start = 0;
    qint64 length = 0;
    if (!readRegister(kCurrentFrameRegister + i, kRegisterPrefix, &current, &message))
        return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
    if (stopRequested())
        return end(Outcome::Stopped);
    if (!readRegister(kFirstFrameRegister + i, kRegisterPrefix, &start, &message))
        return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
    if (stopRequested())
        return end(Outcome::Stopped);
    if (!readRegister(kLengthRegister + i, kRegisterPrefix, &length, &message))
        return end(message.isEmpty() ? Outcome::Stopped : Outcome::Refused, message);
    if (stopRequested())
        return end(Outcome::Stopped);

    m_list = frameList(i, current, start, length, count, request.step);
    if (!m_list.valid)
        return end(Outcome::Refused, kErrorPrefix + m_list.refusal);

    if (m_bar) {
        m_bar->setMinimum(0);
        m_bar->setMaximum(std::max(0, m_list.count - 1));
        m_bar->setValue(0);
    }
    for (qint32 k = 0; k < m_list.count; ++k) {
        if (stopRequested())
            return end(Outcome::Stopped);
        if (!readFrame(m_list.at(k), request.file, &result.framesWritten))
            return end(Outcome::Aborted);
    }
    return end(Outcome::Finished);
}

bool FrameReader::readFrame(qint32 frame, const QString& file, int* written)
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
                        ++*written;
                        break;
                    }
                    const Answer a = ask(why);
                    if (a == Answer::Abort)
                        return false;
                    if (a == Answer::Ignore)
                        break;
                }
                advance();
                return true;
            }
        }
        const Answer a = ask(failure);
        if (a == Answer::Abort)
            return false;
        if (a == Answer::Ignore) {
            advance();
            return true;
        }
    }
}

FrameReader::Answer FrameReader::ask(const QString& text)
{
    const QMessageBox::StandardButton b
        = instrument::showMessage(m_window, QMessageBox::NoIcon, kProgram, kErrorPrefix + text,
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
}

} // namespace memory
