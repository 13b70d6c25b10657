#pragma once
// Test helper: a window wired to a simulated unit on a pty, with fast waits and
// scripted dialogs.

#include "cpu_time.h"
#include "fake_dialogs.h"
#include "formmain.h"
#include "sim_unit.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace halvo::test {

// A file's whole content, or nothing when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct WindowFixture
{
    std::unique_ptr<sim::SimUnit> unit;
    std::unique_ptr<app::FormMain> w;
    FakeDialogs::Log dialogs;

    // Starts a silent unit (tests send banners themselves) and a window that lists it
    // as port 1; the port is not opened.
    void start(int bannerMs = 0, app::Timing timing = fastTiming())
    {
        unit = std::make_unique<sim::SimUnit>();
        unit->setBannerInterval(bannerMs);
        QVERIFY(unit->start());
        app::FormOptions options;
        options.extraPorts = {unit->devicePath()};
        options.preferredPort = unit->devicePath();
        w = std::make_unique<app::FormMain>(options);
        w->setDialogs(std::make_unique<FakeDialogs>(dialogs));
        w->setTiming(timing);
    }
    void connectPort()
    {
        w->Cmd_ComPort_Click();
        QVERIFY(w->MSComm1 && dialogs.messages.isEmpty());
    }
    static app::Timing fastTiming()
    {
        app::Timing t;
        t.passFramePause = 0.002;
        t.locationFramePause = 0.002;
        t.scanListen = 0.4;
        return t;
    }
};

// A test class whose every case starts with a fresh simulated unit and window;
// setUp() adds what a suite needs on top.
class WindowTest : public QObject
{
    Q_OBJECT
protected:
    WindowFixture f;
    virtual void setUp() {}

private slots:
    void init()
    {
        f = WindowFixture{};
        f.start();
        setUp();
    }
    void cleanup()
    {
        f.w.reset();
        f.unit.reset();
    }
};

} // namespace halvo::test
