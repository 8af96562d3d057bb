#pragma once
// One download of recorded frames into a data file: the buffer registers are
// read, the frame list worked out, and the frames read one by one with the
// frame command and appended to the file, oldest first.
//
// The run is synchronous, inside the button's handler, and every exchange goes
// through the handler's operation; the link lets window events run while it
// waits, so the stop button and a close of the window reach the run during
// any exchange, and take effect at its next step (after the frame in
// progress has been written, or its question answered). A
// frame that fails (no answer, a refused or broken answer, a file write that
// fails) asks Abort / Retry / Ignore; Abort ends the run, Retry does the
// failed step again, Ignore goes on without that frame. What has been
// written stays in the file whatever ends the run.

#include "framelist.h"

#include <QString>
#include <functional>

class QProgressBar;
class QWidget;

namespace ui {
class Operation;
}
namespace instrument::map {
class Map;
struct Param;
}

namespace memory {

class FrameReader {
public:
    // window: the parent of the question boxes.
    explicit FrameReader(QWidget* window);

    // The progress bar the run advances (none when null).
    void setProgressBar(QProgressBar* bar) { m_bar = bar; }

    struct Request {
        int buffer = 0;            // 0 or 1
        qint64 count = 100;        // frames asked for (not used for the whole buffer)
        int step = 1;
        bool wholeBuffer = false;  // read the length first and take all of it
        QString file;
        // The buffer registers' parameters (buffer1.current and the like).
        const instrument::map::Map* map = nullptr;
    };

    enum class Outcome { Finished, Stopped, Aborted, Refused };
    struct Result {
        Outcome outcome = Outcome::Finished;
        // A run that could not start: the whole text of the message to show
        // ("Ошибка: ..." or "Error: ..."), once the controls are enabled again.
        QString message;
        int framesWritten = 0;
        int framesSkipped = 0;   // ignored after a failure
        int frames = 0;          // of the run; 0 when it ended before its frames
        qint32 abortedAt = -1;   // the frame whose question was answered Abort
    };

    // Where a run is: frames written and handled (written or skipped) of
    // the frames of the run; no frames yet while the registers are read.
    struct Progress {
        int written = 0;
        int handled = 0;
        int frames = 0;
    };
    const Progress& progress() const { return m_progress; }
    // Called when the frames of the run are known and after each frame.
    void setProgressCallback(std::function<void()> callback) { m_onProgress = std::move(callback); }

    // Clears the stop request, then runs its exchanges through op (a close
    // of the window ends the run at its next step). The question on a failed
    // frame is asked here; a message that ends the run is handed back instead.
    Result run(ui::Operation& op, const Request& request);

    // Asks the running download to end at its next step.
    void requestStop() { m_stop = true; }
    bool stopRequested() const;
    bool isRunning() const { return m_running; }

    // The frames of the last run, as worked out from the registers.
    const FrameList& frames() const { return m_list; }

private:
    enum class Answer { Abort, Retry, Ignore };
    // One frame; false when the user chose to abort.
    bool readFrame(qint32 frame, const QString& file, Result* result);
    // Lets a click that came while the link held the window's events (the
    // register reads) reach the stop button; true when a stop was asked for.
    bool stopAfterHeldEvents();
    Answer ask(const QString& text);
    // A register of the buffer read as a whole number; false with the
    // message in *message when the answer is not a number, false with no
    // message when the window was closed meanwhile.
    bool readRegister(const instrument::map::Param& p, const QString& prefix, qint64* value, QString* message);
    void advance();
    void reportProgress();

    QWidget* m_window;
    QProgressBar* m_bar = nullptr;
    ui::Operation* m_op = nullptr;
    FrameList m_list;
    Progress m_progress;
    std::function<void()> m_onProgress;
    bool m_stop = false;
    bool m_running = false;
};

} // namespace memory
