#include "serial_link.h"

#include "logging.h"

#include <QFileInfo>

#include <QtGlobal>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/ioctl.h>
#endif

namespace halvo::port {

SerialLink::SerialLink(QObject *parent) : Link(parent), m_driverQueue(Driver_Output_Queue)
{
    // Connected before any open(), so no error of the port goes unseen.
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::bytesReceived);
    // At 38400 baud a 43-byte frame takes 11 ms to leave; the queue is looked at
    // every 2 ms until it is empty.
    m_draining.setInterval(2);
    m_draining.setTimerType(Qt::PreciseTimer);
    connect(&m_draining, &QTimer::timeout, this, [this] {
        if (bytesToWrite() > 0)
            return;
        m_draining.stop();
        emit writtenOut();
    });
}

SerialLink::~SerialLink()
{
    close();
}

bool SerialLink::open(const QString &path, OpenError *error, QString *errorText)
{
    auto fail = [&](OpenError e, const QString &text) {
        qCInfo(lcPort).noquote() << "cannot open" << path << ":" << text;
        if (m_port.isOpen())
            m_port.close();
        if (error)
            *error = e;
        if (errorText)
            *errorText = text;
        return false;
    };
    close();
    m_port.setPortName(path);
    m_path = path;
    m_lostReported = false;
    if (!m_port.open(QIODevice::ReadWrite)) {
        switch (m_port.error()) {
        case QSerialPort::PermissionError:
#ifdef Q_OS_WIN
            // Windows opens a COM port for one program at a time: "access denied"
            // means another program holds it.
            return fail(OpenError::Busy, m_port.errorString());
#else
            return fail(QFileInfo::exists(path) ? OpenError::Permission : OpenError::NotFound,
                        m_port.errorString());
#endif
        case QSerialPort::DeviceNotFoundError:
            return fail(OpenError::NotFound, m_port.errorString());
        case QSerialPort::OpenError:
            return fail(OpenError::Busy, m_port.errorString());
        default:
            return fail(OpenError::Other, m_port.errorString());
        }
    }
    const bool settingsOk = m_port.setBaudRate(38400) && m_port.setDataBits(QSerialPort::Data8) &&
                            m_port.setParity(QSerialPort::NoParity) &&
                            m_port.setStopBits(QSerialPort::OneStop) &&
                            m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!settingsOk)
        return fail(OpenError::Settings, m_port.errorString());
    if (error)
        *error = OpenError::None;
    return true;
}

void SerialLink::close()
{
    m_draining.stop();
    if (m_port.isOpen())
        m_port.close();
}

bool SerialLink::isOpen() const
{
    return m_port.isOpen();
}

qint64 SerialLink::bytesWaiting() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray SerialLink::read(qint64 maxBytes)
{
    return m_port.isOpen() ? m_port.read(maxBytes) : QByteArray();
}

void SerialLink::clearInput()
{
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::Input);
        m_port.readAll();
    }
}

bool SerialLink::write(const QByteArray &frame)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(frame) != frame.size())
        return false;
    m_port.flush();
    if (bytesToWrite() > 0)
        m_draining.start();
    return m_port.isOpen();
}

qint64 SerialLink::bytesToWrite() const
{
    if (!m_port.isOpen())
        return 0;
    return m_port.bytesToWrite() + m_driverQueue(m_port);
}

qint64 Driver_Output_Queue(const QSerialPort &port)
{
#ifdef Q_OS_WIN
    DWORD errors = 0;
    COMSTAT status{}; // cbOutQue: still in the driver, not yet on the wire
    if (ClearCommError(port.handle(), &errors, &status))
        return status.cbOutQue;
#else
    int queued = 0; // still in the driver, not yet on the wire
    if (::ioctl(port.handle(), TIOCOUTQ, &queued) == 0)
        return queued;
#endif
    return 0;
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError: {
        // An unplugged adapter (or a pty whose unit went away) reports errors in a
        // burst; close once and say it once.
        const QString reason = m_port.errorString();
        m_draining.stop();
        if (m_port.isOpen())
            m_port.close();
        if (!m_lostReported) {
            m_lostReported = true;
            qCInfo(lcPort).noquote() << "link to" << m_path << "lost:" << reason;
            emit linkLost(reason);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace halvo::port
