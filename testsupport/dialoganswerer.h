#pragma once
// Answers the file dialog and the program's own modal windows in tests, the
// way MessageAnswerer answers message boxes: nothing modal ever blocks a test.

#include "dialogs.h"

#include <QList>
#include <functional>

namespace testsupport {

// Every file dialog asked for is recorded and answered with the next queued
// path (an empty path = Cancel; Cancel when none is queued).
class FileDialogAnswerer {
public:
    FileDialogAnswerer();
    ~FileDialogAnswerer();
    FileDialogAnswerer(const FileDialogAnswerer&) = delete;
    FileDialogAnswerer& operator=(const FileDialogAnswerer&) = delete;

    void answerNext(const QString& path) { m_answers.append(path); }
    const QList<ui::FileRequest>& requests() const { return m_requests; }

private:
    QList<ui::FileRequest> m_requests;
    QList<QString> m_answers;
    ui::FileDialogHook m_previous;
};

// Every modal window is handed to the next queued answer, which may use the
// window's controls and returns its result; with none queued it is rejected.
class DialogAnswerer {
public:
    using Answer = std::function<int(QDialog&)>;
    DialogAnswerer();
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    void answerNext(Answer answer) { m_answers.append(std::move(answer)); }
    int shown() const { return m_shown; }

private:
    QList<Answer> m_answers;
    int m_shown = 0;
    ui::DialogHook m_previous;
};

} // namespace testsupport
