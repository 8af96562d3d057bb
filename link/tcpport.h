#pragma once
// The serial line behind a serial device server, reached over TCP:
//   tcp://HOST:PORT      a raw TCP port (the server's line is set up on the
//                        server; the bytes pass through unchanged);
//   rfc2217://HOST:PORT  a telnet port with the COM-PORT-OPTION of RFC 2217:
//                        at each opening the link's settings (speed, data
//                        bits, parity, stop bits) are set on the far line and
//                        the opening waits until the server confirms them.
// Every opening makes a new connection and every closing ends it, as the link
// opens and closes a serial port.

#include "serialport.h"

#include <QTcpSocket>
#include <functional>

namespace instrument {

class TcpPort : public SerialPort {
public:
    // Whether path names a port reached over the network.
    static bool isNetworkPath(const QString& path);

    TcpPort();
    ~TcpPort() override;
    void setOpenTimeout(int msecs) override { m_openTimeoutMs = msecs; }
    bool open(const QString& path, const PortSettings& settings, QString* error) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray& bytes, QString* error) override;
    QByteArray readAll() override;
    Wait waitForData(int msecs, bool processEvents, QString* error) override;

private:
    struct Telnet;

    bool connectTo(const QString& host, quint16 port, QString* error);
    bool setLine(const PortSettings& settings, QString* error);
    // Takes what the socket holds: data for the caller, telnet commands
    // answered or noted.
    void pump();
    // Waits until done() holds, the connection fails or msecs pass; true
    // when done() holds. With processEvents the window system runs meanwhile.
    bool waitUntil(const std::function<bool()>& done, int msecs, bool processEvents);
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QString lostText() const;
    void sendRaw(const QByteArray& bytes);

    QTcpSocket m_socket;
    std::unique_ptr<Telnet> m_telnet; // null on a raw port
    QByteArray m_data;                // received, not yet read
    QString m_path;
    int m_openTimeoutMs = 3000;
    bool m_open = false;
};

} // namespace instrument
