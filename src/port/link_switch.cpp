#include "link_switch.h"

#include "logging.h"

#include "serial_link.h"

Q_LOGGING_CATEGORY(lcPort, "halvo.port", QtWarningMsg)

namespace halvo::port {

std::unique_ptr<Link> Make_Serial_Link()
{
    return std::make_unique<SerialLink>();
}

LinkSwitch::LinkSwitch(std::unique_ptr<Link> serial, QObject *parent)
    : Link(parent), m_serial(std::move(serial)), m_current(m_serial.get())
{
    follow(m_serial.get());
}

LinkSwitch::~LinkSwitch() = default;

void LinkSwitch::add(const QString &path, std::unique_ptr<Link> link)
{
    follow(link.get());
    m_own[path] = std::move(link);
}

// Only the link in use speaks for the switch.
void LinkSwitch::follow(Link *link)
{
    connect(link, &Link::bytesReceived, this, [this, link] {
        if (link == m_current)
            emit bytesReceived();
    });
    connect(link, &Link::writtenOut, this, [this, link] {
        if (link == m_current)
            emit writtenOut();
    });
    connect(link, &Link::linkLost, this, [this, link](const QString &reason) {
        if (link == m_current)
            emit linkLost(reason);
    });
}

bool LinkSwitch::open(const QString &path, OpenError *error, QString *errorText)
{
    m_current->close();
    const auto own = m_own.find(path);
    m_current = own != m_own.end() ? own->second.get() : m_serial.get();
    return m_current->open(path, error, errorText);
}

} // namespace halvo::port
