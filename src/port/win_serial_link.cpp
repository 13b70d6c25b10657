#include "win_serial_link.h"

#include "logging.h"
#include "win_serial_rules.h"

#include <QWinEventNotifier>

#include <windows.h>

namespace halvo::port {

namespace {
constexpr DWORD ReadChunk = 4096;

QString systemText(DWORD code)
{
    return win::Error_Text(code, qt_error_string(static_cast<int>(code)));
}
} // namespace

struct WinSerialLink::Handles
{
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED readOv{}; // the one-byte read always pending
    OVERLAPPED takeOv{}; // the read of what came with it
    OVERLAPPED writeOv{};
    char firstByte = 0;
    char takeBuffer[ReadChunk];
    bool readPending = false;
    bool writePending = false;
    QWinEventNotifier readNotifier;
    QWinEventNotifier writeNotifier;

    Handles()
    {
        // Manual-reset events: each is reset before its next operation starts.
        readOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        takeOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        writeOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        readNotifier.setHandle(readOv.hEvent);
        writeNotifier.setHandle(writeOv.hEvent);
    }
    ~Handles()
    {
        readNotifier.setEnabled(false);
        writeNotifier.setEnabled(false);
        CloseHandle(readOv.hEvent);
        CloseHandle(takeOv.hEvent);
        CloseHandle(writeOv.hEvent);
    }
};

WinSerialLink::WinSerialLink(QObject *parent) : Link(parent), m_h(std::make_unique<Handles>())
{
    connect(&m_h->readNotifier, &QWinEventNotifier::activated, this, &WinSerialLink::readDone);
    connect(&m_h->writeNotifier, &QWinEventNotifier::activated, this, &WinSerialLink::writeDone);
    // At 38400 baud a 43-byte frame takes 11 ms to leave; the queue is looked at
    // every 2 ms until it is empty.
    m_draining.setInterval(2);
    m_draining.setTimerType(Qt::PreciseTimer);
    connect(&m_draining, &QTimer::timeout, this, [this] {
        quint32 queued = 0, code = 0;
        if (!outQueue(&queued, &code)) {
            lost(code);
            return;
        }
        if (bytesToWrite() > 0)
            return;
        m_draining.stop();
        emit writtenOut();
    });
}

WinSerialLink::~WinSerialLink()
{
    close();
}

bool WinSerialLink::isOpen() const
{
    return m_h->port != INVALID_HANDLE_VALUE;
}

bool WinSerialLink::open(const QString &path, OpenError *error, QString *errorText)
{
    close();
    m_path = path;
    m_lostReported = false;
    auto fail = [&](OpenError e, DWORD code) {
        const QString text = systemText(code);
        qCInfo(lcPort).noquote() << "cannot open" << path << ":" << text;
        close();
        if (error)
            *error = e;
        if (errorText)
            *errorText = text;
        return false;
    };
    const std::wstring device = win::Device_Path(path).toStdWString();
    m_h->port = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
    if (m_h->port == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return fail(win::Open_Error(code), code);
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(m_h->port, &dcb); // a driver that cannot say starts from nothing
    const win::LineSettings line = win::Unit_Line();
    dcb.BaudRate = line.baudRate;
    dcb.ByteSize = line.byteSize;
    dcb.Parity = line.parity;
    dcb.StopBits = line.stopBits;
    dcb.fBinary = line.binary;
    dcb.fParity = line.parityCheck;
    dcb.fOutxCtsFlow = line.ctsFlow;
    dcb.fOutxDsrFlow = line.dsrFlow;
    dcb.fDsrSensitivity = line.dsrSensitivity;
    dcb.fOutX = line.xonXoffOut;
    dcb.fInX = line.xonXoffIn;
    dcb.fDtrControl = line.dtrControl & 3u;
    dcb.fRtsControl = line.rtsControl & 3u;
    dcb.fAbortOnError = line.abortOnError;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    if (!SetCommState(m_h->port, &dcb))
        return fail(OpenError::Settings, GetLastError());
    const win::Timeouts t = win::Reads_Wait_For_Their_Bytes();
    COMMTIMEOUTS timeouts{t.readInterval, t.readMultiplier, t.readConstant, t.writeMultiplier,
                          t.writeConstant};
    if (!SetCommTimeouts(m_h->port, &timeouts))
        return fail(OpenError::Settings, GetLastError());
    PurgeComm(m_h->port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_h->readNotifier.setEnabled(true);
    m_h->writeNotifier.setEnabled(true);
    startRead();
    if (!isOpen()) // the first read failed: the port went at once
        return fail(OpenError::Other, ERROR_GEN_FAILURE);
    if (error)
        *error = OpenError::None;
    return true;
}

void WinSerialLink::close()
{
    m_draining.stop();
    if (!isOpen())
        return;
    // A frame on its way is let go out (as closing a tty does); the pending read is
    // cancelled and waited for, so the driver no longer writes into our buffer.
    DWORD n = 0;
    if (m_h->writePending)
        GetOverlappedResult(m_h->port, &m_h->writeOv, &n, TRUE);
    if (m_h->readPending) {
        CancelIoEx(m_h->port, &m_h->readOv);
        GetOverlappedResult(m_h->port, &m_h->readOv, &n, TRUE);
    }
    m_h->readPending = m_h->writePending = false;
    m_h->readNotifier.setEnabled(false);
    m_h->writeNotifier.setEnabled(false);
    ResetEvent(m_h->readOv.hEvent);
    ResetEvent(m_h->writeOv.hEvent);
    if (!m_waiting.isEmpty())
        qCWarning(lcPort) << "closed with" << m_waiting.size() << "bytes not sent";
    PurgeComm(m_h->port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    CloseHandle(m_h->port);
    m_h->port = INVALID_HANDLE_VALUE;
    m_writing.clear();
    m_waiting.clear();
    m_received.clear();
}

// A one-byte read is always pending; it completes with the first byte the unit sends.
void WinSerialLink::startRead()
{
    if (!isOpen() || m_h->readPending)
        return;
    ResetEvent(m_h->readOv.hEvent);
    m_h->readOv.Internal = m_h->readOv.InternalHigh = 0;
    m_h->readOv.Offset = m_h->readOv.OffsetHigh = 0;
    if (!ReadFile(m_h->port, &m_h->firstByte, 1, nullptr, &m_h->readOv)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            lost(code);
            return;
        }
    }
    m_h->readPending = true; // completed at once or not: the event says so
}

void WinSerialLink::readDone()
{
    if (!isOpen() || !m_h->readPending)
        return;
    DWORD n = 0;
    if (!GetOverlappedResult(m_h->port, &m_h->readOv, &n, FALSE)) {
        const DWORD code = GetLastError();
        if (code == ERROR_IO_INCOMPLETE)
            return;
        m_h->readPending = false;
        lost(code);
        return;
    }
    m_h->readPending = false;
    const qsizetype before = m_received.size();
    if (n == 1)
        m_received.append(m_h->firstByte);
    // The rest of what has come is in the driver already: a read of exactly that
    // many bytes completes at once.
    COMSTAT status{};
    DWORD errors = 0;
    if (!ClearCommError(m_h->port, &errors, &status)) {
        lost(GetLastError());
        return;
    }
    const DWORD take = win::Bytes_To_Take(status.cbInQue, ReadChunk);
    if (take > 0) {
        ResetEvent(m_h->takeOv.hEvent);
        m_h->takeOv.Internal = m_h->takeOv.InternalHigh = 0;
        m_h->takeOv.Offset = m_h->takeOv.OffsetHigh = 0;
        DWORD got = 0;
        const bool done = ReadFile(m_h->port, m_h->takeBuffer, take, nullptr, &m_h->takeOv) ||
                          GetLastError() == ERROR_IO_PENDING;
        if (!done || !GetOverlappedResult(m_h->port, &m_h->takeOv, &got, TRUE)) {
            lost(GetLastError());
            return;
        }
        m_received.append(m_h->takeBuffer, static_cast<qsizetype>(got));
    }
    startRead();
    if (m_received.size() > before)
        emit bytesReceived();
}

QByteArray WinSerialLink::read(qint64 maxBytes)
{
    const QByteArray out = m_received.left(maxBytes);
    m_received.remove(0, out.size());
    return out;
}

void WinSerialLink::clearInput()
{
    if (isOpen())
        PurgeComm(m_h->port, PURGE_RXCLEAR);
    m_received.clear();
}

bool WinSerialLink::write(const QByteArray &frame)
{
    if (!isOpen())
        return false;
    m_waiting.append(frame);
    if (!m_h->writePending)
        startWrite();
    return isOpen();
}

void WinSerialLink::startWrite()
{
    if (m_waiting.isEmpty() || !isOpen())
        return;
    m_writing = m_waiting;
    m_waiting.clear();
    ResetEvent(m_h->writeOv.hEvent);
    m_h->writeOv.Internal = m_h->writeOv.InternalHigh = 0;
    m_h->writeOv.Offset = m_h->writeOv.OffsetHigh = 0;
    if (!WriteFile(m_h->port, m_writing.constData(), static_cast<DWORD>(m_writing.size()), nullptr,
                   &m_h->writeOv)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            lost(code);
            return;
        }
    }
    m_h->writePending = true;
}

void WinSerialLink::writeDone()
{
    if (!isOpen() || !m_h->writePending)
        return;
    DWORD n = 0;
    if (!GetOverlappedResult(m_h->port, &m_h->writeOv, &n, FALSE)) {
        const DWORD code = GetLastError();
        if (code == ERROR_IO_INCOMPLETE)
            return;
        m_h->writePending = false;
        lost(code);
        return;
    }
    m_h->writePending = false;
    ResetEvent(m_h->writeOv.hEvent);
    if (n < static_cast<DWORD>(m_writing.size())) // the rest goes again, first
        m_waiting.prepend(m_writing.mid(n));
    m_writing.clear();
    if (!m_waiting.isEmpty()) {
        startWrite();
        return;
    }
    if (bytesToWrite() > 0)
        m_draining.start();
    else
        emit writtenOut();
}

bool WinSerialLink::outQueue(quint32 *queued, quint32 *errorCode) const
{
    COMSTAT status{};
    DWORD errors = 0;
    if (!ClearCommError(m_h->port, &errors, &status)) {
        *errorCode = GetLastError();
        return false;
    }
    *queued = status.cbOutQue;
    return true;
}

qint64 WinSerialLink::bytesToWrite() const
{
    if (!isOpen())
        return 0;
    quint32 queued = 0, code = 0;
    outQueue(&queued, &code); // a driver that cannot say is found out by the next read
    return win::Bytes_Not_Out(m_h->writePending, m_writing.size(), queued) + m_waiting.size();
}

void WinSerialLink::lost(quint32 code)
{
    if (!isOpen())
        return;
    // Any failed read, write or status query on an open port leaves it unusable: an
    // adapter pulled out answers "access denied" or "device not connected".
    const QString reason = systemText(code);
    close();
    if (!m_lostReported) {
        m_lostReported = true;
        qCInfo(lcPort).noquote() << "link to" << m_path << "lost:" << reason;
        emit linkLost(reason);
    }
}

} // namespace halvo::port
