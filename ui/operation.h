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

#include "link.h"

#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QMap>
#include <QPair>
#include <functional>
#include <optional>

class QProgressBar;
class QPushButton;

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
    // A pair of verified writes (sWriteAndRead) of value at address (the
    // link's hexadecimal text): first, then second, each answered "OK";
    // stops at the first that is not, failing with failText(answer) when
    // failText is given, else with the answer.
    bool writeVerifiedPair(quint8 first, quint8 second, const QString& address, const QString& value,
                           const std::function<QString(const QString&)>& failText = {});
    // A request on the command path (sSendCommand); a failure (COMError not
    // 0) ends the operation with sErrorMsg.
    std::optional<QString> command(qint16 command, const QString& parameter, const QString& checked = QString());

    // ---- the instrument map's parameters --------------------------------------------
    // One call of the map, made on the window's link; its answer (nothing
    // when the operation is over).
    std::optional<QString> perform(const instrument::map::Call& call);
    // A read of p (its read calls); the last answer, when it passes good.
    std::optional<QString> readParam(const instrument::map::Param& p, const std::function<bool(const QString&)>& good);
    // A write of p with wire (map::parseValue's): its write calls, each
    // answered "OK" (a call whose answer the map ignores is not examined);
    // stops at the first that is not.
    bool writeParam(const instrument::map::Param& p, const QString& wire);

    // Ends the operation with "Ошибка: " + text (the controls enabled first);
    // nothing is shown when the window was closed meanwhile.
    void fail(const QString& text);
    // Ends the operation now (the controls enabled); what the handler shows
    // next is shown on an enabled window. False when the window was closed.
    bool finish();
    // For a window whose failure message belongs to the sequence: fail()
    // shows it while the controls are still disabled, and enables them when
    // it has been closed.
    void holdControlsOnFailure() { m_holdOnFailure = true; }

    // ---- progress ---------------------------------------------------------------
    // bar counts the operation's steps: 0 of count now, one more at each
    // advance(), back to 0 when the operation ends.
    void showProgress(QProgressBar* bar, int count);
    void advance();

    // ---- a stop ----------------------------------------------------------------------
    // stop (a button the window keeps out of the controls an operation
    // disables) is enabled until the operation ends or fails; a click on it
    // disables it and asks the operation to stop after the exchange in
    // progress.
    void allowStop(QPushButton* stop);
    // Whether the stop was clicked.
    bool stopClicked() const { return m_stopClicked; }
    // Whether a long job goes on to its next exchange: not when the stop
    // was clicked or the operation is over.
    bool goOn() const { return !m_stopClicked && ok(); }

    // ---- what a write changes, for the report of a close --------------------------
    // The items the operation writes, in order ("реле 1", "перезапуск").
    void plan(const QStringList& items);
    // An item has been written.
    void done(const QString& item);
    // Part of an item has been written: the report names written among what
    // was written and rest, in place of item, among what was not
    // ("текст канала 1 (символы 1–3)", "текст канала 1 (символы 4–13)").
    void donePart(const QString& item, const QString& written, const QString& rest);
    // The text of the report: what was written and what was not.
    QString closeReport() const;

private:
    void end();
    void releaseStop();

    ProgramWindow* m_window;
    Kind m_kind;
    bool m_over = false;
    bool m_ended = false;
    bool m_holdOnFailure = false;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_stop = nullptr;
    bool m_stopClicked = false;
    QMetaObject::Connection m_stopClick;
    QStringList m_plan;
    QStringList m_done;
    QMap<QString, QPair<QString, QString>> m_parts;
};

// The instrument map's link whose every call goes through an operation
// (Operation::call): for code that drives the map's Link itself (a
// snapshot's read and restore). Once the operation is over no call is made:
// each answers an empty text, and over() is true.
class OperationLink : public instrument::map::Link {
public:
    explicit OperationLink(Operation& op) : m_op(op) {}
    bool over() const { return !m_op.ok(); }

    QString sCOMPort(quint8 command, const QString& adrr, const QString& value) override;
    QString sSendCommand(qint16 command, const QString& par1, const QString& par2, QString* error) override;
    QString sWriteAndRead(quint8 command, const QString& adrr, const QString& value) override;
    QString sWriteToFlash(quint8 command, qint16 adrr, const QString& value) override;
    void setModule(quint8 module) override;
    QString decimalSeparator() const override;
    int exponentDigits() const override;

private:
    QString pass(const std::function<QString(instrument::map::Link&)>& linkCall);

    Operation& m_op;
};

} // namespace ui
