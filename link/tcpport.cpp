#include "tcpport.h"

#include "systemfile.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QStringList>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include <array>
#include <bitset>
#include <cerrno>

namespace instrument {

namespace {

const QString kRaw = QStringLiteral("tcp");
const QString kRfc2217 = QStringLiteral("rfc2217");

// Telnet (RFC 854) and its COM-PORT-OPTION (RFC 2217).
constexpr quint8 kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr quint8 kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
// Client-to-server commands; the server confirms with the same plus 100.
constexpr quint8 kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5, kPurge = 12;
constexpr quint8 kNoFlowControl = 1, kDtrOff = 9, kRtsOn = 11, kPurgeReceived = 1;

quint8 parityCode(char parity)
{
    switch (parity) {
    case 'O': return 2;
    case 'E': return 3;
    case 'M': return 4;
    case 'S': return 5;
    default: return 1;
    }
}

quint8 stopCode(int timesTwo)
{
    switch (timesTwo) {
    case 3: return 3;
    case 4: return 2;
    default: return 1;
    }
}

QByteArray bytesOf(std::initializer_list<quint8> values)
{
    QByteArray out;
    for (const quint8 v : values)
        out += char(v);
    return out;
}

QByteArray escaped(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        out += c;
        if (quint8(c) == kIac)
            out += c;
    }
    return out;
}

QByteArray subnegotiation(quint8 command, const QByteArray& value)
{
    return bytesOf({kIac, kSb, kComPort, command}) + escaped(value)
        + bytesOf({kIac, kSe});
}

QByteArray oneByte(quint8 v)
{
    return QByteArray(1, char(v));
}

QString socketReason(const QTcpSocket& socket, const QString& host)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError: return systemReason(ECONNREFUSED);
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("сервер закрыл соединение");
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("узел %1 не найден").arg(host);
    case QAbstractSocket::SocketAccessError: return systemReason(EACCES);
    case QAbstractSocket::NetworkError: return QStringLiteral("сеть или узел недоступны");
    case QAbstractSocket::SocketTimeoutError: return QStringLiteral("узел не отвечает");
    default: return QStringLiteral("ошибка сети");
    }
}

} // namespace

// The client side of a telnet connection with the COM-PORT-OPTION: takes
// the server's bytes apart into data and commands, answers its negotiation,
// and keeps what the server confirmed of the line's settings.
struct TcpPort::Telnet {
    enum class State { Data, Iac, Option, Sub, SubIac };
    State state = State::Data;
    quint8 verb = 0;
    QByteArray sub;
    bool lastWasCr = false;
    bool remoteBinary = false;  // the server sends 8-bit data as it is
    bool localBinary = false;   // the server takes our 8-bit data as it is
    bool comPortAgreed = false;
    bool comPortRefused = false;
    std::bitset<256> willSent, doSent, refused;
    std::array<qint64, 5> confirmed{{-1, -1, -1, -1, -1}}; // by command 1..4

    static QByteArray command(quint8 v, quint8 option) { return bytesOf({kIac, v, option}); }

    void take(const QByteArray& in, QByteArray* data, QByteArray* reply)
    {
        for (const char ch : in) {
            const quint8 c = quint8(ch);
            switch (state) {
            case State::Data:
                if (c == kIac) {
                    state = State::Iac;
                } else if (!remoteBinary && lastWasCr && c == 0) {
                    lastWasCr = false; // CR NUL stands for a lone CR
                } else {
                    *data += ch;
                    lastWasCr = c == '\r';
                }
                break;
            case State::Iac:
                state = State::Data;
                if (c == kIac) {
                    *data += ch;
                    lastWasCr = false;
                } else if (c >= kWill && c <= kDont) {
                    verb = c;
                    state = State::Option;
                } else if (c == kSb) {
                    sub.clear();
                    state = State::Sub;
                }
                break;
            case State::Option:
                negotiate(verb, c, reply);
                state = State::Data;
                break;
            case State::Sub:
                if (c == kIac)
                    state = State::SubIac;
                else if (sub.size() < 64)
                    sub += ch;
                break;
            case State::SubIac:
                if (c == kIac) {
                    if (sub.size() < 64)
                        sub += ch;
                    state = State::Sub;
                } else {
                    if (c == kSe)
                        subnegotiated();
                    state = State::Data;
                }
                break;
            }
        }
    }

    void negotiate(quint8 v, quint8 option, QByteArray* reply)
    {
        const bool ours = option == kBinary || option == kSuppressGoAhead || option == kComPort;
        switch (v) {
        case kWill: // the server offers to do something
            if (option == kBinary || option == kSuppressGoAhead) {
                if (option == kBinary)
                    remoteBinary = true;
                if (!doSent[option]) {
                    doSent.set(option);
                    *reply += command(kDo, option);
                }
            } else if (!refused[option]) {
                refused.set(option);
                *reply += command(kDont, option);
            }
            break;
        case kWont:
            if (option == kBinary)
                remoteBinary = false;
            break;
        case kDo: // the server asks us to do something
            if (ours) {
                if (option == kBinary)
                    localBinary = true;
                if (option == kComPort)
                    comPortAgreed = true;
                if (!willSent[option]) {
                    willSent.set(option);
                    *reply += command(kWill, option);
                }
            } else if (!refused[option]) {
                refused.set(option);
                *reply += command(kWont, option);
            }
            break;
        case kDont:
            if (option == kBinary)
                localBinary = false;
            if (option == kComPort)
                comPortRefused = true;
            break;
        default:
            break;
        }
    }

    void subnegotiated()
    {
        if (sub.size() < 3 || quint8(sub[0]) != kComPort)
            return;
        const int cmd = quint8(sub[1]) - 100;
        if (cmd < kSetBaud || cmd > kSetStopSize)
            return;
        const QByteArray value = sub.mid(2);
        if (cmd == kSetBaud) {
            if (value.size() == 4)
                confirmed[kSetBaud] = (qint64(quint8(value[0])) << 24) | (quint8(value[1]) << 16)
                    | (quint8(value[2]) << 8) | quint8(value[3]);
        } else {
            confirmed[size_t(cmd)] = quint8(value[0]);
        }
    }

    bool lineConfirmed() const
    {
        return confirmed[kSetBaud] >= 0 && confirmed[kSetDataSize] >= 0 && confirmed[kSetParity] >= 0
            && confirmed[kSetStopSize] >= 0;
    }

    // Data as the server must receive it: IAC doubled, and a lone CR followed
    // by NUL while the server has not agreed to binary data.
    QByteArray encode(const QByteArray& bytes) const
    {
        QByteArray out;
        for (int i = 0; i < bytes.size(); ++i) {
            out += bytes[i];
            if (quint8(bytes[i]) == kIac)
                out += bytes[i];
            else if (bytes[i] == '\r' && !localBinary && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))
                out += '\0';
        }
        return out;
    }
};

bool TcpPort::isNetworkPath(const QString& path)
{
    return path.startsWith(kRaw + QStringLiteral("://"), Qt::CaseInsensitive)
        || path.startsWith(kRfc2217 + QStringLiteral("://"), Qt::CaseInsensitive);
}

TcpPort::TcpPort() = default;

TcpPort::~TcpPort()
{
    close();
}

bool TcpPort::open(const QString& path, const PortSettings& settings, QString* error)
{
    close();
    m_path = path;
    const QUrl url(path, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0 || (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        || (scheme != kRaw && scheme != kRfc2217)) {
        *error = QStringLiteral("адрес порта %1 неверен: нужен вид tcp://узел:порт или rfc2217://узел:порт").arg(path);
        return false;
    }
    if (scheme == kRfc2217)
        m_telnet = std::make_unique<Telnet>();
    if (!connectTo(url.host(), quint16(url.port()), error)) {
        close();
        return false;
    }
    m_open = true;
    if (m_telnet && !setLine(settings, error)) {
        close();
        return false;
    }
    return true;
}

bool TcpPort::connectTo(const QString& host, quint16 port, QString* error)
{
    m_socket.connectToHost(host, port);
    if (waitUntil([this] { return connected(); }, m_openTimeoutMs, true))
        return true;
    const bool stillTrying = m_socket.state() == QAbstractSocket::HostLookupState
        || m_socket.state() == QAbstractSocket::ConnectingState;
    const QString reason = stillTrying
        ? QStringLiteral("узел не ответил за %1 с").arg(QLocale().toString(m_openTimeoutMs / 1000.0))
        : socketReason(m_socket, host);
    m_socket.abort();
    *error = QStringLiteral("не удалось соединиться с %1: %2").arg(m_path, reason);
    return false;
}

bool TcpPort::setLine(const PortSettings& s, QString* error)
{
    Telnet& t = *m_telnet;
    t.willSent.set(kComPort);
    t.willSent.set(kBinary);
    t.doSent.set(kBinary);
    sendRaw(Telnet::command(kWill, kComPort) + Telnet::command(kWill, kBinary) + Telnet::command(kDo, kBinary));

    QElapsedTimer since;
    since.start();
    const auto left = [&] { return int(qMax<qint64>(0, m_openTimeoutMs - since.elapsed())); };
    const auto unconfirmed = [&] {
        *error = connected()
            ? QStringLiteral("сервер %1 не подтвердил настройки линии за %2 с (это порт telnet с RFC 2217?)")
                  .arg(m_path, QLocale().toString(m_openTimeoutMs / 1000.0))
            : lostText();
        return false;
    };
    if (!waitUntil([&] { return t.comPortAgreed || t.comPortRefused; }, left(), true))
        return unconfirmed();
    if (t.comPortRefused) {
        *error = QStringLiteral("сервер %1 не управляет линией по RFC 2217").arg(m_path);
        return false;
    }
    const quint32 baud = quint32(s.baud);
    const QByteArray baudBytes = bytesOf({quint8(baud >> 24), quint8(baud >> 16), quint8(baud >> 8), quint8(baud)});
    sendRaw(subnegotiation(kSetBaud, baudBytes) + subnegotiation(kSetDataSize, oneByte(quint8(s.dataBits)))
            + subnegotiation(kSetParity, oneByte(parityCode(s.parity)))
            + subnegotiation(kSetStopSize, oneByte(stopCode(s.stopBitsTimesTwo)))
            + subnegotiation(kSetControl, oneByte(kNoFlowControl)) + subnegotiation(kSetControl, oneByte(kRtsOn))
            + subnegotiation(kSetControl, oneByte(kDtrOff)) + subnegotiation(kPurge, oneByte(kPurgeReceived)));
    if (!waitUntil([&] { return t.lineConfirmed(); }, left(), true))
        return unconfirmed();
    QStringList differ;
    if (t.confirmed[kSetBaud] != s.baud)
        differ << QStringLiteral("скорость %1 вместо %2").arg(t.confirmed[kSetBaud]).arg(s.baud);
    if (t.confirmed[kSetDataSize] != s.dataBits)
        differ << QStringLiteral("%1 бит данных вместо %2").arg(t.confirmed[kSetDataSize]).arg(s.dataBits);
    if (t.confirmed[kSetParity] != parityCode(s.parity))
        differ << QStringLiteral("другая чётность");
    if (t.confirmed[kSetStopSize] != stopCode(s.stopBitsTimesTwo))
        differ << QStringLiteral("другое число стоповых битов");
    if (!differ.isEmpty()) {
        *error = QStringLiteral("сервер %1 установил на линии не то, что задано: %2")
                     .arg(m_path, differ.join(QStringLiteral(", ")));
        return false;
    }
    return true;
}

void TcpPort::close()
{
    m_open = false;
    m_data.clear();
    m_telnet.reset();
    if (m_socket.state() != QAbstractSocket::UnconnectedState) {
        m_socket.disconnectFromHost();
        if (m_socket.state() != QAbstractSocket::UnconnectedState)
            m_socket.abort();
    }
}

void TcpPort::sendRaw(const QByteArray& bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

bool TcpPort::write(const QByteArray& bytes, QString* error)
{
    if (!connected()) {
        *error = lostText();
        return false;
    }
    const QByteArray wire = m_telnet ? m_telnet->encode(bytes) : bytes;
    if (m_socket.write(wire) != wire.size()) {
        *error = QStringLiteral("не удалось передать в %1: %2").arg(m_path, socketReason(m_socket, m_path));
        return false;
    }
    m_socket.flush();
    return true;
}

void TcpPort::pump()
{
    const QByteArray in = m_socket.readAll();
    if (in.isEmpty())
        return;
    if (!m_telnet) {
        m_data += in;
        return;
    }
    QByteArray reply;
    m_telnet->take(in, &m_data, &reply);
    if (!reply.isEmpty())
        sendRaw(reply);
}

QByteArray TcpPort::readAll()
{
    pump();
    QByteArray out;
    out.swap(m_data);
    return out;
}

bool TcpPort::waitUntil(const std::function<bool()>& done, int msecs, bool processEvents)
{
    QElapsedTimer since;
    since.start();
    for (;;) {
        pump();
        if (done())
            return true;
        const QAbstractSocket::SocketState state = m_socket.state();
        const bool alive = state == QAbstractSocket::ConnectedState || state == QAbstractSocket::HostLookupState
            || state == QAbstractSocket::ConnectingState;
        const int left = int(msecs - since.elapsed());
        if (!alive || left <= 0)
            return false;
        if (processEvents) {
            // The window system runs while the server is silent; the wait
            // wakes on input, on a change of the connection, or at the deadline.
            QEventLoop loop;
            QTimer deadline;
            deadline.setSingleShot(true);
            QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
            QObject::connect(&m_socket, &QIODevice::readyRead, &loop, &QEventLoop::quit);
            QObject::connect(&m_socket, &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
            QObject::connect(&m_socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
            deadline.start(left);
            loop.exec();
        } else if (state == QAbstractSocket::ConnectedState) {
            m_socket.waitForReadyRead(left);
        } else {
            m_socket.waitForConnected(left);
        }
    }
}

QString TcpPort::lostText() const
{
    return QStringLiteral("соединение с %1 разорвано: %2").arg(m_path, socketReason(m_socket, m_path));
}

SerialPort::Wait TcpPort::waitForData(int msecs, bool processEvents, QString* error)
{
    pump();
    if (!m_data.isEmpty())
        return Wait::Data;
    if (!connected()) {
        *error = lostText();
        return Wait::Lost;
    }
    if (msecs <= 0)
        return Wait::Timeout;
    if (waitUntil([this] { return !m_data.isEmpty(); }, msecs, processEvents))
        return Wait::Data;
    if (!connected()) {
        *error = lostText();
        return Wait::Lost;
    }
    return Wait::Timeout;
}

} // namespace instrument
