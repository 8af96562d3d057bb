#pragma once
// One download of recorded frames into a data file: the buffer registers are
// read, the frame list worked out, and the frames read one by one with the
// frame command and appended to the file, oldest first.
//
// The run is synchronous, inside the button's handler; the link lets window
// events run while it waits, so the stop button and a close of the window
// reach the run during any exchange, and take effect at its next step (after
// the frame in progress has been written, or its question answered). A
// frame that fails (no answer, a refused or broken answer, a file write that
// fails) asks Abort / Retry / Ignore; Abort ends the run, Retry does the
// failed step again, Ignore goes on without that frame. What has been
// written stays in the file whatever ends the run.

#include "framelist.h"

#include <QString>
#include <functional>

class QProgressBar;
class QWidget;

namespace instrument {
class Dev;
}

namespace memory {

class FrameReader {
public:
    // window: the parent of the question boxes.
    FrameReader(instrument::Dev& dev, QWidget* window);

    // The progress bar the run advances (none when null).
    void setProgressBar(QProgressBar* bar) { m_bar = bar; }
    // A further reason to end the run at its next step (the window closing).
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }

    struct Request {
        int buffer = 0;            // 0 or 1
        qint64 count = 100;        // frames asked for (not used for the whole buffer)
        int step = 1;
        bool wholeBuffer = false;  // read the length first and take all of it
        QString file;
    };

    enum class Outcome { Finished, Stopped, Aborted, Refused };
    struct Result {
        Outcome outcome = Outcome::Finished;
        // A run that could not start: the whole text of the message to show
        // ("Ошибка: ..." or "Error: ..."), once the controls are enabled again.
        QString message;
        int framesWritten = 0;
    };

    // Clears the stop request, then runs. The question on a failed frame is
    // asked here; a message that ends the run is handed back instead.
    Result run(const Request& request);

    // Asks the running download to end at its next step.
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop || (m_cancelled && m_cancelled()); }
    bool isRunning() const { return m_running; }

    // The frames of the last run, as worked out from the registers.
    const FrameList& frames() const { return m_list; }

private:
    enum class Answer { Abort, Retry, Ignore };
    // One frame; false when the user chose to abort.
    bool readFrame(qint32 frame, const QString& file, int* written);
    Answer ask(const QString& text);
    // A register of the buffer read as a whole number; false with the
    // message in *message when the answer is not a number.
    bool readRegister(int address, const QString& prefix, qint64* value, QString* message);
    void advance();

    instrument::Dev& m_dev;
    QWidget* m_window;
    QProgressBar* m_bar = nullptr;
    std::function<bool()> m_cancelled;
    FrameList m_list;
    bool m_stop = false;
    bool m_running = false;
};

} // namespace memory
