#pragma once
// Answers the suite's message boxes in tests: every message is recorded, and
// answered with the next queued button (Ok when none is queued).

#include "messagebox.h"

#include <QList>

namespace testsupport {

class MessageAnswerer {
public:
    MessageAnswerer();
    ~MessageAnswerer();
    MessageAnswerer(const MessageAnswerer&) = delete;
    MessageAnswerer& operator=(const MessageAnswerer&) = delete;

    void answerNext(QMessageBox::StandardButton button) { m_answers.append(button); }
    const QList<instrument::Message>& messages() const { return m_messages; }
    QStringList texts() const;
    void clear() { m_messages.clear(); }

private:
    QList<instrument::Message> m_messages;
    QList<QMessageBox::StandardButton> m_answers;
    instrument::MessageHook m_previous;
};

} // namespace testsupport
