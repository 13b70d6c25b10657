#pragma once
// Test helpers: a link and a pace clock the test drives by hand, both writing what
// happens into one log, so the order of writes, departures and pauses can be read.

#include "port/link.h"
#include "session/pace_clock.h"
#include "session/unit_session.h"

#include <QStringList>

#include <utility>

namespace halvo::test {

class FakeLink : public port::Link
{
public:
    explicit FakeLink(QStringList &log) : m_log(log) {}

    bool open(const QString &path, OpenError *error = nullptr, QString *text = nullptr) override
    {
        if (refuseOpen) {
            if (error)
                *error = refusal;
            if (text)
                *text = QStringLiteral("no such device");
            return false;
        }
        m_open = true;
        m_path = path;
        return true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QString path() const override { return m_path; }
    qint64 bytesWaiting() const override { return m_in.size(); }
    QByteArray read(qint64 maxBytes) override
    {
        const QByteArray taken = m_in.left(maxBytes);
        m_in.remove(0, taken.size());
        return taken;
    }
    void clearInput() override { m_in.clear(); }
    bool write(const QByteArray &frame) override
    {
        if (!m_open || refuseWrites)
            return false;
        written << frame;
        m_log << QStringLiteral("write %1").arg(written.size() - 1);
        m_pending += holdBytes ? frame.size() : 0;
        return true;
    }
    qint64 bytesToWrite() const override { return m_pending; }

    // The unit sends bytes; the bytes held back leave; the cable is pulled.
    void receive(const QByteArray &bytes)
    {
        m_in += bytes;
        emit bytesReceived();
    }
    void drain()
    {
        m_pending = 0;
        m_log << QStringLiteral("out");
        emit writtenOut();
    }
    void pull()
    {
        m_open = false;
        emit linkLost(QStringLiteral("the device went away"));
    }

    QList<QByteArray> written;
    bool holdBytes = false; // written bytes wait until drain()
    bool refuseWrites = false;
    bool refuseOpen = false;
    OpenError refusal = OpenError::NotFound; // why, when it refuses

private:
    QStringList &m_log;
    QByteArray m_in;
    qint64 m_pending = 0;
    bool m_open = false;
    QString m_path;
};

class FakeClock : public session::PaceClock
{
public:
    explicit FakeClock(QStringList &log) : m_log(log) {}
    void wait(int ms, std::function<void()> done) override
    {
        m_log << QStringLiteral("pause %1").arg(ms);
        m_done = std::move(done);
    }
    void cancel() override { m_done = nullptr; }
    bool waiting() const { return bool(m_done); }
    // The wait under way ends now.
    void fire()
    {
        if (auto done = std::exchange(m_done, nullptr))
            done();
    }

private:
    QStringList &m_log;
    std::function<void()> m_done;
};

// A session on a fake link whose jobs' clocks are fake too, all writing to one log.
struct FakeSession
{
    explicit FakeSession(QStringList &log)
    {
        auto l = std::make_unique<FakeLink>(log);
        link = l.get();
        session = std::make_unique<session::UnitSession>(
            session::SessionSeams{std::move(l), [this, &log](const char *job) {
                                      auto c = std::make_unique<FakeClock>(log);
                                      const QByteArray name(job);
                                      (name == "connect"   ? connect
                                       : name == "store"   ? store
                                       : name == "read"    ? read
                                       : name == "collect" ? collect
                                       : name == "archive" ? archive
                                                           : events) = c.get();
                                      return c;
                                  }});
    }
    std::unique_ptr<session::UnitSession> session;
    FakeLink *link = nullptr;
    FakeClock *store = nullptr;   // the store's pauses and read back's timeout
    FakeClock *read = nullptr;    // the timeout of a read
    FakeClock *connect = nullptr; // the wait for the unit's banner
    FakeClock *collect = nullptr; // the period of the collection of new events
    FakeClock *events = nullptr;  // the event download's ticks
    FakeClock *archive = nullptr; // the ticks of a download of new events
};

} // namespace halvo::test
