#pragma once

#include "link.h"

#include <QSerialPort>
#include <QTimer>

#include <functional>

namespace halvo::port {

// The serial port to the unit: "38400,N,8,1", binary, no flow control, no modem
// lines. Hands received bytes up and reports a broken link once.
class SerialLink : public Link
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    bool open(const QString &path, OpenError *error = nullptr, QString *errorText = nullptr) override;
    void close() override;
    bool isOpen() const override;
    QString path() const override { return m_path; }

    qint64 bytesWaiting() const override;
    QByteArray read(qint64 maxBytes) override;
    void clearInput() override;

    // The frame is handed to the driver at once (flushed), not left for the event
    // loop. bytesToWrite() counts what is still in Qt's buffer and in the driver's
    // output queue: a frame has gone out when the last of its bytes has left the
    // adapter, and writtenOut() says so.
    bool write(const QByteArray &frame) override;
    qint64 bytesToWrite() const override;

    // How many bytes the driver still holds for the wire. The real one asks the
    // driver; tests put their own in place (a pty's queue always reads 0).
    using QueueProbe = std::function<qint64(const QSerialPort &)>;
    void setDriverQueueProbe(QueueProbe probe) { m_driverQueue = std::move(probe); }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QTimer m_draining; // looks at the output queue while bytes are on their way
    QString m_path;
    bool m_lostReported = false;
    QueueProbe m_driverQueue;
};

// What the driver of an open port still holds for the wire (TIOCOUTQ on Linux,
// ClearCommError's cbOutQue on Windows; 0 where the system cannot say).
qint64 Driver_Output_Queue(const QSerialPort &port);

} // namespace halvo::port
