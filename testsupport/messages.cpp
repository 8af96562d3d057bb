#include "messages.h"

namespace testsupport {

MessageAnswerer::MessageAnswerer()
{
    m_previous = instrument::setMessageHook([this](const instrument::Message& m) {
        m_messages.append(m);
        return m_answers.isEmpty() ? QMessageBox::Ok : m_answers.takeFirst();
    });
}

MessageAnswerer::~MessageAnswerer()
{
    instrument::setMessageHook(m_previous);
}

QStringList MessageAnswerer::texts() const
{
    QStringList out;
    for (const auto& m : m_messages)
        out << m.text;
    return out;
}

} // namespace testsupport
