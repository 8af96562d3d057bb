#pragma once
// The operations on the map's parameters, as the sequence of link calls the
// windows make, against a small interface to the link: Dev (the windows,
// devlink.h), a core-only link (a command-line program), or a fake (tests).

#include "map.h"

#include <QList>
#include <QString>

namespace instrument::map {

// The link's calls the map uses. Each returns what the link's call of the
// same name returns: "OK", a value as text (reals in the link's locale
// notation), or a Russian message.
class Link {
public:
    virtual ~Link() = default;
    virtual QString sCOMPort(quint8 command, const QString& adrr, const QString& value) = 0;
    // The command path: the answer after "!"; *error gets the link's message
    // when the exchange failed (COMError not 0) and is left empty otherwise.
    virtual QString sSendCommand(qint16 command, const QString& par1, const QString& par2, QString* error) = 0;
    virtual QString sWriteAndRead(quint8 command, const QString& adrr, const QString& value) = 0;
    virtual QString sWriteToFlash(quint8 command, qint16 adrr, const QString& value) = 0;
    // The input module the module commands (19, 20, 26 to 28) address.
    virtual void setModule(quint8 module) = 0;
    // The decimal separator of the reals the link answers with.
    virtual QString decimalSeparator() const = 0;
    // The characters of mantissa of the exponent form (NOfDigits).
    virtual int exponentDigits() const = 0;
};

// One call of the link.
struct Call {
    enum Function { COMPort, SendCommand, WriteAndRead, WriteToFlash };
    Function function = COMPort;
    int command = 0;
    QString address;           // hexadecimal text; sPar1 of SendCommand
    qint16 flashAddress = 0;   // the address of WriteToFlash
    QString value;             // Value; sPar2 of SendCommand
    int module = -1;           // >= 0: the module is set before the call
    bool answerIgnored = false;
    // The call as written in the code: "sWriteToFlash(5, 208, \"13\")".
    QString text() const;
    bool operator==(const Call& other) const;
};

// Calls one call; *error gets the command path's message.
QString perform(Link& link, const Call& call, QString* error = nullptr);

// What an operation came to: ok with the value text (reads), or the text of
// the failure (the link's message, or the map's refusal).
struct Result {
    bool ok = false;
    QString value;
    QString error;
};

// The restart of the instrument's logic, which makes it take what was
// written to it (its answer is not examined).
Call restartCall();

// The readings request on the command path: the state, flags and value of
// all kChannels channels, the relays, the mains and the inputs in one answer
// (its layout is the reader's to take apart).
Call readingsCall();

// The calls a read makes.
QList<Call> readCalls(const Param& p);
// The calls a write of the wire value (parseValue's) makes.
QList<Call> writeCalls(const Param& p, const QString& wire);

// The restart of the converter of input module 0 or 1: command 17 on the
// command path with the byte 1 for address 44B.
Call moduleRestartCall(int module);

// Reads the parameter: its value text.
Result read(const Param& p, Link& link);
// Checks text against the parameter's rules and writes it; nothing is sent
// for a refused value or an unknown address. Stops at the first call that is
// not answered "OK" (the restart's answer is not examined).
Result write(const Param& p, Link& link, const QString& text);

} // namespace instrument::map
