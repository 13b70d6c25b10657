#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace halvo::port {

// The byte pipe to the unit. SerialLink is the real one; tests put a fake in its
// place to hold written bytes back or to break the link on cue.
class Link : public QObject
{
    Q_OBJECT
public:
    enum class OpenError { None, Permission, NotFound, Busy, Settings, Other };

    using QObject::QObject;

    // Opens the device. On failure the link is closed and error/errorText say why.
    virtual bool open(const QString &path, OpenError *error = nullptr, QString *errorText = nullptr) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString path() const = 0;

    virtual qint64 bytesWaiting() const = 0;
    // At most maxBytes of what is waiting.
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Drops what arrived before now.
    virtual void clearInput() = 0;

    // Hands the whole frame over in one write. False when the link is closed or
    // refuses it.
    virtual bool write(const QByteArray &frame) = 0;
    // Bytes handed over that have not gone out yet.
    virtual qint64 bytesToWrite() const = 0;

signals:
    void bytesReceived();
    // Every byte handed over has gone out.
    void writtenOut();
    // The link broke (unplugged adapter, hung-up pty): it is closed already. Emitted
    // once per opening.
    void linkLost(const QString &reason);
};

} // namespace halvo::port
