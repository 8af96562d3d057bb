#pragma once
// The instrument link: one per program. It owns the settings file access, the
// link state, the serial exchange with its time-outs and repetitions, the
// answer checking, the verified writes, the exchange log and the small status
// window that shows the last command and answer while an exchange runs.

#include "clock.h"
#include "serialport.h"

#include <QFile>
#include <QString>
#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;

namespace instrument {

class Dev : public QWidget {
    Q_OBJECT
public:
    explicit Dev(QWidget* parent = nullptr);
    ~Dev() override;

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

    // ---- the status window's controls -----------------------------------------
    QLabel* Label = nullptr;
    QLineEdit* COMIn = nullptr;
    QLineEdit* COMOut = nullptr;

    // The device path that port number n stands for: "COMn" on Windows; on
    // other systems key COMn of section PORTS of "dev.dat", else /dev/ttyS(n-1).
    QString portPath(int number) const;
    // The address-path frame of Command, without CR LF.
    QString addressFrame(quint8 Command, const QString& Adrr, const QString& Value) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

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
        explicit Running(Dev& dev) : m_dev(dev) { m_dev.m_running = true; }
        ~Running() { m_dev.m_running = false; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        Dev& m_dev;
    };
    // True (and the assertion) when an exchange is already running.
    bool secondExchange() const;
    QString portSR(const QString& Command);
    QString comPort(quint8 Command, const QString& Adrr, const QString& Value);
    QString writeAndRead(quint8 Command, const QString& Adrr, const QString& Value);
    void buildStatusWindow();
    bool openPort(QString* error);
    void closePort();
    Attempt exchange(const QString& frameWithCrLf, Phase1Events phase1);
    QString interpretAddressAnswer(quint8 Command, const QString& answer, bool* retry, bool* systemError);
    void logLine(const QString& kind, const QString& text);
    void showText(QLineEdit* box, const QString& text);
    void showStatus();
    void paintNow();
    void beginBusy();
    void endBusy();
    int msLeft(qint64 deadline) const;

    std::unique_ptr<SerialPort> m_port;
    std::shared_ptr<Clock> m_clock;
    QFile m_log;
    QString m_logPath;
    QString m_loadError;
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
