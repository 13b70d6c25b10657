#pragma once
// Test helper: a unit session on a fake link whose jobs' clocks are fake too, with
// the replies a unit sends written out byte by byte, and every notice kept.

#include "config/configuration.h"
#include "config/store_plan.h"
#include "session/paced_store.h"
#include "session_probe.h"
#include "support/fake_link.h"

#include <QSignalSpy>
#include <QTest>

namespace halvo::test {

// A reply frame: "D", the code, 36 data bytes (blank-padded), LF, CR.
inline QByteArray reply(char code, const QByteArray &data)
{
    return "D" + QByteArray(1, code) + data.leftJustified(36, ' ') + "\n\r";
}
// A pass record reply for pass index (0..71) with a name and fixed other fields.
inline QByteArray passReply(int index, const QByteArray &name)
{
    QByteArray r(1, char(index));
    r += name.leftJustified(16, ' ') + " 0A" + char(3) + "0E" + char(60) + char(0x80) + char(1) + char(5) +
         char(15) + char(0) + char(2);
    return reply('!', r);
}
// A settings page of a kind ('0' maxima .. '3' values) with the bytes given.
inline QByteArray page(char kind, std::initializer_list<std::pair<int, int>> bytes)
{
    QByteArray p(32, '\0');
    for (auto [i, v] : bytes)
        p[i] = char(v);
    return reply('$', QByteArray(1, kind) + p);
}
// A pass record for pass 72, which has no row.
inline const QByteArray BadPass = passReply(72, "no row");

// A test class whose every case starts with a fresh session on a fake link, open.
class SessionTest : public QObject
{
    Q_OBJECT
protected:
    QStringList log;
    config::Configuration config;
    std::unique_ptr<FakeSession> fake;
    session::UnitSession *s = nullptr;
    FakeLink *link = nullptr;
    FakeClock *clock = nullptr; // the store's
    QList<QString> notices;

    // Frames of no item ("D200"), each with the pause after it.
    static config::StorePlan plan(std::initializer_list<int> pauses)
    {
        config::StorePlan p;
        for (int ms : pauses)
            p.frames.push_back({"D" + QByteArray::number(ms), ms, {}});
        return p;
    }

private slots:
    void init()
    {
        log.clear();
        notices.clear();
        config = config::Configuration();
        fake = std::make_unique<FakeSession>(log);
        s = fake->session.get();
        link = fake->link;
        clock = fake->store;
        s->setConfiguration(&config);
        connect(s, &session::UnitSession::notice, this, [this](session::Notice what, const QString &detail) {
            notices << (what == session::Notice::CommError ? "comm: " : "terminator: ") + detail;
        });
        QVERIFY(Probe::channel(*s).open("/dev/fake"));
    }
};

} // namespace halvo::test

Q_DECLARE_METATYPE(halvo::session::StoreOutcome)
