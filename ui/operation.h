#pragma once
// One operation of a handler: everything from the click to the handler's
// return. Made on the window, it disables the controls and shows the first
// step; each link call goes through it and answers whether the handler may
// go on; its end (however the handler returns) enables the controls and
// clears the step.
//
//     ui::Operation op(this, ui::Operation::Write, "Запись уставки");
//     if (!op.writePair(Cmd::FlashInteger, Cmd::WriteInteger, address, value))
//         return;   // failed and shown, or the window was closed meanwhile
//
// A failure shown through fail() enables the controls first, then shows
// "Ошибка: " + text. A close of the window during the operation is held
// until the exchange in progress returns; the operation is then over. For a
// read the window just closes; for a write one box first says what was
// written and what was not (the items given to plan() and done()).

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace instrument {
class Dev;
}

namespace ui {

class ProgramWindow;

class Operation {
public:
    enum Kind { Read, Write };

    Operation(ProgramWindow* window, Kind kind, const QString& step = QString());
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    instrument::Dev& dev();

    // Shows the next step in the status bar.
    void step(const QString& text);

    // False once the operation is over: it failed, or the window was closed
    // (the close waits for the operation's end).
    bool ok() const;

    // ---- link calls ------------------------------------------------------------
    // Each makes one call and returns its answer. A call that has returned
    // has reached the instrument, so its answer is given even when the window
    // was closed meanwhile (a write it confirmed counts as done); the next
    // call is then not made: it returns nothing, and the operation is over.
    std::optional<QString> call(const std::function<QString(instrument::Dev&)>& linkCall);
    // A call whose answer must pass good; otherwise the operation fails with
    // the answer (or, when not empty, failText(answer)) as its text.
    std::optional<QString> expect(const std::function<QString(instrument::Dev&)>& linkCall,
                                  const std::function<bool(const QString&)>& good);
    // sCOMPort on the address path; the answer must pass good.
    std::optional<QString> read(quint8 command, const QString& address, const QString& value,
                                const std::function<bool(const QString&)>& good);
    // A write whose answer must be "OK".
    bool write(const std::function<QString(instrument::Dev&)>& linkCall);
    // A write pair: value to the flash with flashCommand (sWriteToFlash),
    // then to the working copy with verifiedCommand (sWriteAndRead), each
    // answered "OK"; stops at the first that is not.
    bool writePair(quint8 flashCommand, quint8 verifiedCommand, qint16 address, const QString& value);

    // Ends the operation with "Ошибка: " + text (the controls enabled first);
    // nothing is shown when the window was closed meanwhile.
    void fail(const QString& text);
    // Ends the operation now (the controls enabled); what the handler shows
    // next is shown on an enabled window. False when the window was closed.
    bool finish();

    // ---- what a write changes, for the report of a close --------------------------
    // The items the operation writes, in order ("реле 1", "перезапуск").
    void plan(const QStringList& items);
    // An item has been written.
    void done(const QString& item);
    // The text of the report: what was written and what was not.
    QString closeReport() const;

private:
    void end();

    ProgramWindow* m_window;
    Kind m_kind;
    bool m_over = false;
    bool m_ended = false;
    QStringList m_plan;
    QStringList m_done;
};

} // namespace ui
