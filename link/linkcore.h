#pragma once
// The instrument link without windows: the settings file access, the link
// state, the serial exchange with its time-outs and repetitions, the answer
// checking, the verified writes and the exchange log. Qt Core only, so a
// command-line program uses the very link the windows use; Dev (dev.h) adds
// the status window on top of it through the hooks below.

#include "clock.h"
#include "serialport.h"

#include <QFile>
#include <QHash>
#include <QString>
#include <memory>

namespace instrument {

class LinkCore {
public:
    LinkCore();
    virtual ~LinkCore();
    LinkCore(const LinkCore&) = delete;
    LinkCore& operator=(const LinkCore&) = delete;

    // Test seams: replace the serial port or the clock before the first exchange.
    void setPort(std::unique_ptr<SerialPort> port);
    SerialPort* port() const { return m_port.get(); }
    void setClock(std::shared_ptr<Clock> clock);

    // ---- public link state --------------------------------------------------
    QString Settings = QStringLiteral("4800,N,8,2");
    quint8 Number = 1;
    quint8 COMError = 0;
    quint8 NofRereadings = 2;
    quint8 NOfDigits = 8;
    bool EnableNetAdrr = true;
    quint8 bNetAdrr = 0;
    quint8 bModuleNumber = 0;
    double TimeOut = 3;
    bool bolShow = false;
    bool bolUseLogFile = true;
    QString sLogFileName = QStringLiteral("COM.log");
    QString sFloatingPointSeparator = QStringLiteral(",");
    QString sErrorMsg;

    // ---- settings file ------------------------------------------------------
    QString sGetINI(const QString& sSection, const QString& sKey, const QString& sDefault) const;
    qint32 iGetINI(const QString& sSection, const QString& sKey, qint32 iDefault) const;
    QString sGetINIA(const QString& sFileName, const QString& sSection, const QString& sKey,
                     const QString& sDefault) const;
    // True when the key was written; on false the file is left as it was and
    // iniWriteError() says why, naming the file (for "Ошибка: " + it).
    bool sWriteINI(const QString& sSection, const QString& sKey, const QString& sValue) const;
    bool sWriteINIA(const QString& sFileName, const QString& sSection, const QString& sKey,
                    const QString& sValue) const;
    // The reason the last write of a key failed; empty after one that worked.
    QString iniWriteError() const { return m_iniWriteError; }

    // ---- life cycle -----------------------------------------------------------
    // Reads the link keys of "dev.dat" and opens the exchange log. Returns false
    // when the start-up cannot go on; loadError() then says why, naming the
    // file, section, key and value, or the path and the system's reason.
    bool Form_Load();
    QString loadError() const { return m_loadError; }
    // Closes the log.
    void Form_Unload();
    void ClearLogFile();
    double delay() const { return m_delay; }

    // ---- frames and answers ---------------------------------------------------
    QString sBuildCommand(qint16 iCommand, const QString& sPar1, const QString& sPar2);
    void CheckAnswer(qint16 iCommand, const QString& sAnswer, const QString& sPar);
    QString sExpConvection(double Value) const;
    QString sExpConvection1(double Value) const;

    // ---- exchanges ------------------------------------------------------------
    // One exchange at a time: an exchange started while another waits for its
    // answer (from a handler or timer that ran meanwhile) sends nothing. The
    // address path and the verified writes return kMsgExchangeRunning; the
    // command path returns the empty text with COMError kExchangeRunning and
    // sErrorMsg kMsgExchangeRunning. In a debug build the refusal also fails
    // an assertion, since the program should have prevented it.
    QString sPortSR(const QString& Command);
    QString sSendCommand(qint16 iCommand, const QString& sPar1, const QString& sPar2);
    QString sCOMPort(quint8 Command, const QString& Adrr, const QString& Value);

    // ---- verified writes ------------------------------------------------------
    QString sWriteAndRead(quint8 Command, const QString& Adrr, const QString& Value);
    QString sWriteToFlash(quint8 Command, qint16 AdrrDecInt, const QString& Value);

    // Whether a refused second exchange fails an assertion (debug builds; on
    // by default). Returns the previous setting.
    static bool setAssertOnSecondExchange(bool on);

    // The device path that port number n stands for: "COMn" on Windows; on
    // other systems key COMn of section PORTS of "dev.dat" as Form_Load read
    // it (or as sWriteINI wrote it since; before Form_Load, as the file says
    // now), else /dev/ttyS(n-1).
    QString portPath(int number) const;
    // A device path that every exchange opens instead of port Number's (a
    // command-line choice); empty: the port of Number, as portPath says.
    void setDevicePath(const QString& path) { m_devicePath = path; }
    QString devicePath() const { return m_devicePath; }
    // The address-path frame of Command, without CR LF.
    QString addressFrame(quint8 Command, const QString& Adrr, const QString& Value) const;

protected:
    // What an exchange shows on the way; a link without windows shows nothing.
    // The status window comes up (when bolShow asks for it) as an exchange starts.
    virtual void statusShow() {}
    // The frame sent (command) or the answer received (answer), with CR LF.
    virtual void statusCommand(const QString& text) { Q_UNUSED(text); }
    virtual void statusAnswer(const QString& text) { Q_UNUSED(text); }
    // The exchange ended well: the status window goes away.
    virtual void statusDone() {}
    // An exchange runs (on) or the last one ended (off): the busy pointer.
    virtual void busyChanged(bool on) { Q_UNUSED(on); }
    // Ends every busy mark still held; a subclass that shows them calls it
    // from its own destructor, while its busyChanged still runs.
    void releaseBusy();

private:
    enum class Phase1Events { Process, Hold };
    struct Attempt {
        QString answer;
        bool failed = false;   // the system error path was taken
        QString error;         // kSystemErrorPrefix + description
    };

    // Marks the whole of one exchange entry, from its start to its return.
    class Running {
    public:
        explicit Running(LinkCore& dev) : m_dev(dev) { m_dev.m_running = true; }
        ~Running() { m_dev.m_running = false; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        LinkCore& m_dev;
    };
    // True (and the assertion) when an exchange is already running.
    bool secondExchange() const;
    QString portSR(const QString& Command);
    QString comPort(quint8 Command, const QString& Adrr, const QString& Value);
    QString writeAndRead(quint8 Command, const QString& Adrr, const QString& Value);
    bool openPort(QString* error);
    void closePort();
    Attempt exchange(const QString& frameWithCrLf, Phase1Events phase1);
    QString interpretAddressAnswer(quint8 Command, const QString& answer, bool* retry, bool* systemError);
    void logLine(const QString& kind, const QString& text);
    void beginBusy();
    void endBusy();
    int msLeft(qint64 deadline) const;

    std::unique_ptr<SerialPort> m_port;
    std::shared_ptr<Clock> m_clock;
    QFile m_log;
    QString m_logPath;
    QString m_loadError;
    QString m_devicePath;
    // Section PORTS of "dev.dat": the keys in capitals, the values.
    mutable QHash<QString, QString> m_ports;
    bool m_portsRead = false;
    mutable QString m_iniWriteError;
    double m_delay = 0.2;
    int m_busy = 0;
    bool m_running = false;
    static bool s_assertOnSecondExchange;
};

// The refusal of a second exchange, and its COMError code.
extern const QString kMsgExchangeRunning;
constexpr quint8 kExchangeRunning = 7;

// The prefix of every system error the link reports: "Ошибка Windows" on
// Windows (the description follows it directly), "Ошибка системы: " elsewhere.
extern const QString kSystemErrorPrefix;

} // namespace instrument
