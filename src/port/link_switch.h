#pragma once

#include "link.h"

#include <map>
#include <memory>

namespace halvo::port {

// The name the port list shows for the demo unit, a port of the tool's own.
inline QString Demo_Port()
{
    return QStringLiteral("demo");
}

// The system's serial link: QtSerialPort, or the Win32 one on Windows.
std::unique_ptr<Link> Make_Serial_Link();

// The link a session talks through: the serial link, or one the tool provides itself
// for a port of its own (the demo unit), chosen by the path that is opened.
class LinkSwitch : public Link
{
    Q_OBJECT
public:
    explicit LinkSwitch(std::unique_ptr<Link> serial, QObject *parent = nullptr);
    ~LinkSwitch() override;
    // Opening path reaches link from now on.
    void add(const QString &path, std::unique_ptr<Link> link);

    bool open(const QString &path, OpenError *error = nullptr, QString *errorText = nullptr) override;
    void close() override { m_current->close(); }
    bool isOpen() const override { return m_current->isOpen(); }
    QString path() const override { return m_current->path(); }
    qint64 bytesWaiting() const override { return m_current->bytesWaiting(); }
    QByteArray read(qint64 maxBytes) override { return m_current->read(maxBytes); }
    void clearInput() override { m_current->clearInput(); }
    bool write(const QByteArray &frame) override { return m_current->write(frame); }
    qint64 bytesToWrite() const override { return m_current->bytesToWrite(); }

private:
    void follow(Link *link);

    std::unique_ptr<Link> m_serial;
    std::map<QString, std::unique_ptr<Link>> m_own;
    Link *m_current;
};

} // namespace halvo::port
