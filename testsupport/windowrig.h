#pragma once
// Rigs that start a program's window for one test: ScriptedRig against
// scripted answers on a FakePort, SimRig against the instrument simulator on
// a pseudo-terminal. Each keeps what went over the line and prints it when
// the test fails. Window is any window of the suite with
// `instrument::Dev* dev()` and `bool Form_Load()`.

#include "fakeport.h"
#include "messages.h"
#include "programdir.h"
#include "simprocess.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <QtTest>
#include <memory>

namespace testsupport {

// Prints lines under a heading when the running test has failed.
void printOnFailure(const QString& heading, const QStringList& lines);

// Types text into an editable combo box's edit field, replacing what it shows.
void typeInto(QComboBox* box, const QString& text);
// Types text into a text box, replacing what it shows.
void typeInto(QLineEdit* box, const QString& text);

// The push button named name in window; null, with a warning, when there is none.
QPushButton* buttonNamed(const QObject* window, const QString& name);
// Clicks the push button named name in window with the left mouse button;
// the running test fails when there is none.
void click(const QObject* window, const QString& name);

template <class Window>
class ScriptedRig {
public:
    // Writes "dev.dat" (when devDat is not null), makes the window on a
    // scripted port and, when load is true, loads and shows it.
    explicit ScriptedRig(const QString& devDat = QString(), bool load = true)
    {
        if (!devDat.isNull())
            folder.writeDevDat(devDat);
        w = std::make_unique<Window>();
        auto p = std::make_unique<FakePort>(clock);
        port = p.get();
        w->dev()->setPort(std::move(p));
        w->dev()->setClock(clock);
        if (load)
            start();
    }
    ~ScriptedRig() { printOnFailure(QStringLiteral("frames written"), frames()); }
    ScriptedRig(const ScriptedRig&) = delete;
    ScriptedRig& operator=(const ScriptedRig&) = delete;

    // Loads and shows the window; false when the start-up failed.
    bool start()
    {
        loaded = w->Form_Load();
        if (loaded) {
            w->show();
            loaded = QTest::qWaitForWindowExposed(w.get());
        }
        return loaded;
    }

    // The frames written, as text (CR LF kept).
    QStringList frames() const
    {
        QStringList out;
        for (const QByteArray& f : port->written)
            out << QString::fromLatin1(f);
        return out;
    }
    // Queues answers, one for each next frame; an empty text is silence.
    void replies(const QStringList& answers)
    {
        for (const QString& a : answers)
            a.isEmpty() ? port->silence() : port->reply(a.toLatin1());
    }

    ProgramFolder folder;
    MessageAnswerer messages;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    FakePort* port = nullptr;
    std::unique_ptr<Window> w;
    bool loaded = false;
};

template <class Window>
class SimRig {
public:
    // Starts the simulator with simArguments and its memory in
    // "<folder>/sim-state.txt" (holding state at first, when state is not
    // empty), writes "dev.dat" bringing the link to it (settings.link is
    // filled in), and makes the window.
    explicit SimRig(const QStringList& simArguments = {}, const QString& state = QString(),
                    SimDevDat settings = SimDevDat())
        : statePath(folder.file(QStringLiteral("sim-state.txt")))
    {
        if (!state.isEmpty())
            folder.writeFile(QStringLiteral("sim-state.txt"), state.toLatin1());
        sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--state"), statePath} + simArguments);
        settings.link = sim->linkPath();
        writeSimDevDat(folder, settings);
        w = std::make_unique<Window>();
    }
    ~SimRig() { printOnFailure(QStringLiteral("simulator transcript"), sim->transcript()); }
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    // Loads and shows the window; false (with a warning) when the simulator
    // or the start-up failed.
    bool start()
    {
        if (!sim->isRunning()) {
            qWarning("simulator: %s", qPrintable(sim->startError()));
            return false;
        }
        if (!w->Form_Load())
            return false;
        w->show();
        return QTest::qWaitForWindowExposed(w.get());
    }

    // The frames the instrument received, in order ("> " lines of the transcript).
    QStringList received() const { return sim->transcript(QStringLiteral("> ")); }
    // The same frames without their line end (":1;14;1;").
    QStringList receivedFrames() const
    {
        QStringList out;
        for (QString f : received())
            out << f.remove(QStringLiteral("\\r")).remove(QStringLiteral("\\n"));
        return out;
    }
    // The instrument's memory as the simulator saves it when it stops.
    QStringList state()
    {
        sim->stop();
        QFile f(statePath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    ProgramFolder folder;
    MessageAnswerer messages;
    QString statePath;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Window> w;
};

} // namespace testsupport
