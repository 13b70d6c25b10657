#pragma once

#include "config/part.h"
#include "notice.h"
#include "port/link.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace halvo::session {

class UnitImage;

// What a job hears of the unit. The session hands each of these to its jobs in one
// order, the order they were added in; a job overrides, privately, what it needs.
class UnitListener
{
public:
    virtual ~UnitListener() = default;
    // A reply is in the unit image.
    virtual void replyPlaced(config::Part) {}
    // An event line arrived.
    virtual void lineArrived(const QByteArray &) {}
    // The receive path has something for the operator (a bad terminator, a garbled reply).
    virtual void noticed(Notice, const QString &) {}
    // The unit announced itself.
    virtual void unitIdentified() {}
    // The link broke; the port is closed already.
    virtual void linkBroke(const QString &) {}
    // The port has written out what it was handed.
    virtual void writtenOut() {}
};

// A job's way to the unit: the one write path, the requests, and what the unit has
// said. Nothing here shows anything: a failure the operator is to hear of is told,
// and the session turns it into a notice.
class UnitChannel
{
public:
    enum class Tell { Always, UnlessLatched };

    virtual ~UnitChannel() = default;

    virtual bool isOpen() const = 0;
    virtual QString path() const = 0;
    // The link broke since it was last opened.
    virtual bool linkLost() const = 0;
    // Opening and closing, for the connection and the scan. A refusal says which
    // (error) and the system's words (why).
    virtual bool open(const QString &path, port::Link::OpenError *error = nullptr,
                      QString *why = nullptr) = 0;
    virtual void close() = 0;

    // False, and the operator told once, when the port is closed, the link broke or
    // the port refused the frame. A sender that stays quiet while the receive path's
    // message stands (the clock) says so.
    virtual bool send(const QByteArray &frame, Tell tell = Tell::Always) = 0;
    // Of the frames handed over, the bytes that have not left the port yet.
    virtual qint64 bytesToWrite() const = 0;
    // A job's failure the operator is to hear of, unless it is the broken link just told.
    virtual void tellFailure(const QString &why = {}) = 0;

    // Requests; each says whether it went out.
    virtual bool read(config::Part part) = 0;
    // Reads a part back into the unit image only: the operator's fields stay.
    virtual bool readBack(config::Part part) = 0;
    virtual bool readPointer() = 0;
    // Asks for count pages from firstPage on.
    virtual bool readPagesFrom(int firstPage, int count) = 0;

    // What the unit said: its image, its banner (the first 12 characters, and whole),
    // the pointer it last sent since it was asked.
    virtual const UnitImage &image() const = 0;
    virtual QString unitId() const = 0;
    virtual QString identification() const = 0;
    virtual std::optional<int> lastPointer() const = 0;
    // A new connection: the banner and the error latch of the one before are forgotten.
    virtual void forgetUnit() = 0;
    virtual void clearErrorLatch() = 0;
    // The link watchdog's indicator: the unit is there, or not.
    virtual void showConnected(bool connected) = 0;
};

} // namespace halvo::session
