#include "operation.h"

#include "dev.h"
#include "devlink.h"
#include "link.h"
#include "numbers.h"
#include "programwindow.h"

#include <QProgressBar>
#include <QPushButton>

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

bool Operation::writeVerifiedPair(quint8 first, quint8 second, const QString& address, const QString& value,
                                  const std::function<QString(const QString&)>& failText)
{
    for (quint8 c : {first, second}) {
        const std::optional<QString> answer =
            call([&](instrument::Dev& d) { return d.sWriteAndRead(c, address, value); });
        if (!answer)
            return false;
        if (*answer != kOK) {
            fail(failText ? failText(*answer) : *answer);
            return false;
        }
    }
    return true;
}

std::optional<QString> Operation::command(qint16 command, const QString& parameter, const QString& checked)
{
    const std::optional<QString> answer =
        call([&](instrument::Dev& d) { return d.sSendCommand(command, parameter, checked); });
    if (answer && dev().COMError != 0) {
        fail(dev().sErrorMsg);
        return std::nullopt;
    }
    return answer;
}

void Operation::fail(const QString& text)
{
    releaseStop();
    const bool closing = m_window->isClosing();
    if (m_holdOnFailure && !closing)
        m_window->showError(text);
    end();
    if (!closing && !m_holdOnFailure)
        m_window->showError(text);
}

void Operation::showProgress(QProgressBar* bar, int count)
{
    m_bar = bar;
    m_bar->setRange(0, count);
    m_bar->setValue(0);
}

void Operation::advance()
{
    if (!m_bar)
        return;
    m_bar->setValue(m_bar->value() + 1);
    // The bar paints itself only when a chunk's worth has been added: a
    // narrow bar over thousands of steps would stand still for minutes.
    m_bar->update();
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
    m_parts.remove(item);
}

void Operation::donePart(const QString& item, const QString& written, const QString& rest)
{
    m_parts.insert(item, qMakePair(written, rest));
}

QString Operation::closeReport() const
{
    QStringList written = m_done;
    QStringList notWritten;
    for (const QString& item : m_plan) {
        if (m_done.contains(item))
            continue;
        const auto part = m_parts.constFind(item);
        if (part != m_parts.constEnd())
            written.append(part->first);
        notWritten.append(part != m_parts.constEnd() ? part->second : item);
    }
    QString text = QStringLiteral("Окно закрыто во время записи.");
    text += QStringLiteral("\nЗаписано: ") + (written.isEmpty() ? QStringLiteral("ничего") : written.join(QStringLiteral(", ")))
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
    releaseStop();
    ExchangeGuard& guard = m_window->guard();
    // The window closed during a write: before it goes, say what the
    // instrument got and what it did not.
    if (m_kind == Write && m_window->isClosing() && guard.depth() == 1 && !(m_plan.isEmpty() && m_done.isEmpty()))
        m_window->showNotice(closeReport());
    if (m_bar)
        m_bar->setValue(0);
    (void)guard.end();
}

void Operation::allowStop(QPushButton* stop)
{
    releaseStop();
    m_stop = stop;
    m_stopClicked = false;
    m_stop->setEnabled(true);
    m_stopClick = QObject::connect(m_stop, &QPushButton::clicked, [this] {
        m_stopClicked = true;
        m_stop->setEnabled(false);
    });
}

void Operation::releaseStop()
{
    if (!m_stop)
        return;
    QObject::disconnect(m_stopClick);
    m_stop->setEnabled(false);
    m_stop = nullptr;
}

std::optional<QString> Operation::perform(const instrument::map::Call& call)
{
    return this->call([&](instrument::Dev& d) {
        instrument::map::DevLink link(d);
        return instrument::map::perform(link, call);
    });
}

std::optional<QString> Operation::readParam(const instrument::map::Param& p,
                                            const std::function<bool(const QString&)>& good)
{
    std::optional<QString> answer;
    for (const instrument::map::Call& c : instrument::map::readCalls(p)) {
        answer = perform(c);
        if (!answer)
            return std::nullopt;
    }
    if (!answer || !good(*answer)) {
        if (answer)
            fail(*answer);
        return std::nullopt;
    }
    return answer;
}

bool Operation::writeParam(const instrument::map::Param& p, const QString& wire)
{
    for (const instrument::map::Call& c : instrument::map::writeCalls(p, wire)) {
        const std::optional<QString> answer = perform(c);
        if (!answer)
            return false;
        if (!c.answerIgnored && *answer != QLatin1String("OK")) {
            fail(*answer);
            return false;
        }
    }
    return true;
}

// ---- OperationLink ------------------------------------------------------------------

QString OperationLink::pass(const std::function<QString(instrument::map::Link&)>& linkCall)
{
    return m_op
        .call([&](instrument::Dev& d) {
            instrument::map::DevLink link(d);
            return linkCall(link);
        })
        .value_or(QString());
}

QString OperationLink::sCOMPort(quint8 command, const QString& adrr, const QString& value)
{
    return pass([&](instrument::map::Link& l) { return l.sCOMPort(command, adrr, value); });
}

QString OperationLink::sSendCommand(qint16 command, const QString& par1, const QString& par2, QString* error)
{
    return pass([&](instrument::map::Link& l) { return l.sSendCommand(command, par1, par2, error); });
}

QString OperationLink::sWriteAndRead(quint8 command, const QString& adrr, const QString& value)
{
    return pass([&](instrument::map::Link& l) { return l.sWriteAndRead(command, adrr, value); });
}

QString OperationLink::sWriteToFlash(quint8 command, qint16 adrr, const QString& value)
{
    return pass([&](instrument::map::Link& l) { return l.sWriteToFlash(command, adrr, value); });
}

void OperationLink::setModule(quint8 module)
{
    instrument::map::DevLink(m_op.dev()).setModule(module);
}

QString OperationLink::decimalSeparator() const
{
    return instrument::map::DevLink(m_op.dev()).decimalSeparator();
}

int OperationLink::exponentDigits() const
{
    return instrument::map::DevLink(m_op.dev()).exponentDigits();
}

} // namespace ui
