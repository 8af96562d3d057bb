#include "operation.h"

#include "dev.h"
#include "numbers.h"
#include "programwindow.h"

namespace ui {

namespace {
const QString kOK = QStringLiteral("OK");
}

Operation::Operation(ProgramWindow* window, Kind kind, const QString& step) : m_window(window), m_kind(kind)
{
    m_window->guard().begin(step);
}

Operation::~Operation()
{
    end();
}

instrument::Dev& Operation::dev()
{
    return *m_window->dev();
}

void Operation::step(const QString& text)
{
    m_window->guard().showStep(text);
}

bool Operation::ok() const
{
    return !m_over && !m_window->isClosing();
}

std::optional<QString> Operation::call(const std::function<QString(instrument::Dev&)>& linkCall)
{
    if (!ok()) {
        end();
        return std::nullopt;
    }
    return linkCall(dev());
}

std::optional<QString> Operation::expect(const std::function<QString(instrument::Dev&)>& linkCall,
                                         const std::function<bool(const QString&)>& good)
{
    const std::optional<QString> answer = call(linkCall);
    if (!answer)
        return std::nullopt;
    if (!good(*answer)) {
        fail(*answer);
        return std::nullopt;
    }
    return answer;
}

std::optional<QString> Operation::read(quint8 command, const QString& address, const QString& value,
                                       const std::function<bool(const QString&)>& good)
{
    return expect([&](instrument::Dev& d) { return d.sCOMPort(command, address, value); }, good);
}

bool Operation::write(const std::function<QString(instrument::Dev&)>& linkCall)
{
    return expect(linkCall, [](const QString& a) { return a == kOK; }).has_value();
}

bool Operation::writePair(quint8 flashCommand, quint8 verifiedCommand, qint16 address, const QString& value)
{
    return write([&](instrument::Dev& d) { return d.sWriteToFlash(flashCommand, address, value); })
           && write([&](instrument::Dev& d) {
                  return d.sWriteAndRead(verifiedCommand, instrument::hexText16(address), value);
              });
}

void Operation::fail(const QString& text)
{
    const bool closing = m_window->isClosing();
    end();
    if (!closing)
        m_window->showError(text);
}

bool Operation::finish()
{
    const bool closing = m_window->isClosing();
    end();
    return !closing;
}

void Operation::plan(const QStringList& items)
{
    m_plan = items;
}

void Operation::done(const QString& item)
{
    m_done.append(item);
}

QString Operation::closeReport() const
{
    QStringList notWritten;
    for (const QString& item : m_plan)
        if (!m_done.contains(item))
            notWritten.append(item);
    QString text = QStringLiteral("Окно закрыто во время записи.");
    text += QStringLiteral("\nЗаписано: ") + (m_done.isEmpty() ? QStringLiteral("ничего") : m_done.join(QStringLiteral(", ")))
            + QLatin1Char('.');
    if (!notWritten.isEmpty())
        text += QStringLiteral("\nНе записано: ") + notWritten.join(QStringLiteral(", ")) + QLatin1Char('.');
    return text;
}

void Operation::end()
{
    m_over = true;
    if (m_ended)
        return;
    m_ended = true;
    ExchangeGuard& guard = m_window->guard();
    // The window closed during a write: before it goes, say what the
    // instrument got and what it did not.
    if (m_kind == Write && m_window->isClosing() && guard.depth() == 1 && !(m_plan.isEmpty() && m_done.isEmpty()))
        m_window->showNotice(closeReport());
    (void)guard.end();
}

} // namespace ui
