#pragma once

#include "link.h"

#include <QByteArray>
#include <QTimer>

#include <memory>

namespace halvo::port {

// The serial port to the unit on Windows, straight on Win32: the COM port opened for
// overlapped I/O at "38400,N,8,1", a read always pending whose completion the event
// loop hears of, and a frame counted as gone when its write has completed and the
// driver's output queue is empty.
class WinSerialLink : public Link
{
    Q_OBJECT
public:
    explicit WinSerialLink(QObject *parent = nullptr);
    ~WinSerialLink() override;

    bool open(const QString &path, OpenError *error = nullptr, QString *errorText = nullptr) override;
    void close() override;
    bool isOpen() const override;
    QString path() const override { return m_path; }

    qint64 bytesWaiting() const override { return m_received.size(); }
    QByteArray read(qint64 maxBytes) override;
    void clearInput() override;

    bool write(const QByteArray &frame) override;
    qint64 bytesToWrite() const override;

private:
    struct Handles;
    void startRead();
    void readDone();
    void startWrite();
    void writeDone();
    void lost(quint32 code);
    // The driver's output queue; false (with the error) when the driver cannot say,
    // which means the adapter has gone.
    bool outQueue(quint32 *queued, quint32 *errorCode) const;

    std::unique_ptr<Handles> m_h;
    QString m_path;
    QByteArray m_received; // arrived, not read yet
    QByteArray m_writing;  // handed to the driver, write pending
    QByteArray m_waiting;  // handed over while a write was pending
    bool m_lostReported = false;
    QTimer m_draining; // looks at the output queue while bytes are on their way
};

} // namespace halvo::port
