#pragma once
// The serial port as the link sees it: open and close per call, write a frame,
// read whatever has arrived, and wait (blocking, never spinning) for more.

#include <QByteArray>
#include <QString>
#include <functional>

namespace instrument {

// A settings text such as "4800,N,8,2" taken apart.
struct PortSettings {
    int baud = 4800;
    char parity = 'N';      // N, E, O, M or S
    int dataBits = 8;       // 5 to 8
    int stopBitsTimesTwo = 4; // 2 = one, 3 = one and a half, 4 = two

    // Parses "baud,parity,data,stop" (parity in either case). On a bad text
    // returns false and says why in *why (Russian, for the user).
    static bool parse(const QString& text, PortSettings* out, QString* why);
};

class SerialPort {
public:
    enum class Wait { Data, Timeout, Lost };

    virtual ~SerialPort() = default;
    // How long an opening may wait for a port reached over the network (a
    // connection to make, line settings to confirm); a local device opens at
    // once and ignores it. The link sets its TimeOut here before each opening.
    virtual void setOpenTimeout(int msecs) { (void)msecs; }
    // Opens the device at path with the settings, raises RTS and lowers DTR
    // (a device without modem lines is not an error) and drops any input that
    // arrived while the port was closed. On failure returns false with the
    // reason in *error.
    virtual bool open(const QString& path, const PortSettings& settings, QString* error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool write(const QByteArray& bytes, QString* error) = 0;
    // Everything received so far; empty when nothing is pending. Never blocks.
    virtual QByteArray readAll() = 0;
    // Blocks until input is pending, msecs have passed, or the device is lost.
    // With processEvents the window system runs its events while waiting.
    virtual Wait waitForData(int msecs, bool processEvents, QString* error) = 0;

    // What the reader of an answer wants after it has taken some input.
    struct Want {
        bool done = false;          // the answer is whole, or its time is over
        int waitMs = 0;             // else how long more may come (0: read again now)
        bool processEvents = true;  // whether the window system runs meanwhile
        bool gather = false;        // only the sum counts, not how the input is cut
    };
    using Take = std::function<Want(const QByteArray& input)>;
    // Reads one answer: take is given what is pending now (maybe nothing) and
    // then the input as it comes, until it says done. Lost (with *error) when
    // the device goes meanwhile, else Data. This one waits with waitForData
    // between reads; a port whose waits cost more than a read does it in one.
    virtual Wait receive(const Take& take, QString* error);
};

} // namespace instrument
