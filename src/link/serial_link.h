#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace halvo::link {

// The serial port to the unit: "38400,N,8,1", binary, no flow control, no modem
// lines. Hands received bytes up and reports a broken link once.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    enum class OpenError { None, Permission, NotFound, Busy, Settings, Other };

    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    // Opens the device with the link settings. On failure the port is closed and
    // error/errorText say why.
    bool open(const QString &path, OpenError *error = nullptr, QString *errorText = nullptr);
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }

    qint64 bytesWaiting() const;
    QByteArray readAll();
    void clearInput();

    // Writes the whole frame in one write. False when the port is closed or refuses it.
    bool write(const QByteArray &frame);

signals:
    void bytesReceived();
    // The link broke (unplugged adapter, hung-up pty): the port is already closed.
    // Emitted once per opening.
    void linkLost(const QString &reason);

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_path;
    bool m_lostReported = false;
};

// The group that owns a device node, for the permission message ("dialout" on Debian).
QString Device_Group(const QString &path);
// What the operator is told when the port may not be opened for lack of permission.
QString Permission_Message(const QString &path, const QString &group);

} // namespace halvo::link
