#pragma once
// Test helper: a window wired to a simulated unit on a pty, with fast waits and
// scripted dialogs; controls are found by their object names.

#include "bytes.h"
#include "fake_dialogs.h"
#include "formmain.h"
#include "port_panel.h"
#include "session/store_job.h"
#include "session_probe.h"
#include "sim_unit.h"
#include "support/warnings.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QFile>
#include <QSettings>
#ifdef HALVO_HAS_RECORDS
#include "recorder/records_place.h"
#endif
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace halvo::test {

struct WindowFixture
{
    std::unique_ptr<sim::SimUnit> unit;
    std::unique_ptr<app::FormMain> w;
    FakeDialogs::Log dialogs;

    // Starts a silent unit (tests send banners themselves) and a window that lists it
    // as port 1; the port is not opened.
    void start(int bannerMs = 0)
    {
        unit = std::make_unique<sim::SimUnit>();
        unit->setBannerInterval(bannerMs);
        QVERIFY(unit->start());
        app::FormOptions options;
        options.extraPorts = {unit->devicePath()};
        options.preferredPort = unit->devicePath();
        w = std::make_unique<app::FormMain>(options);
        w->setDialogs(std::make_unique<FakeDialogs>(dialogs));
        w->setTiming(fastTiming());
    }
    void connectPort()
    {
        w->ports().Cmd_ComPort_Click();
        QVERIFY(w->session().isOpen() && dialogs.messages.isEmpty());
    }
    static session::SessionTiming fastTiming()
    {
        session::SessionTiming t;
        t.pauseScale = 0.01;
        t.eventScale = 0.1;
        t.scanListenMs = 400;
        t.collectMinuteMs = 30; // a minute of collection in 30 ms
        return t;
    }

    // A control by its object name; the test stops when there is none.
    template <class T = QWidget> T *ctl(const QString &name) const
    {
        T *c = w->findChild<T *>(name);
        if (!c)
            qFatal("no control %s", qPrintable(name));
        return c;
    }
    void click(const QString &name) const { ctl<QAbstractButton>(name)->click(); }
    // The pass table as a screen reader or a test reads it: a cell of rows 1..72, its
    // text, and whether it is drawn bold (marked as changed).
    QModelIndex cellAt(int row, int column) const
    {
        return ctl<QAbstractItemView>(QStringLiteral("ListView1"))->model()->index(row - 1, column);
    }
    QString cell(int row, int column) const { return cellAt(row, column).data().toString(); }
    bool bold(int row, int column) const
    {
        return cellAt(row, column).data(Qt::FontRole).value<QFont>().bold();
    }
    void showTab(config::Part part) const
    {
        ctl<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(static_cast<int>(part));
    }
    // The frames the unit has received once everything sent so far has reached it: a
    // pointer request goes last and is waited for (the link keeps the order).
    QStringList framesSettled() const
    {
        const int before = static_cast<int>(unit->receivedFrames().size());
        w->session().readPointer();
        const QString marker = QStringLiteral("44 2E 00 04 00 76 0A 0D");
        if (!QTest::qWaitFor(
                [&] {
                    return unit->receivedFrames().size() > before && unit->receivedFrames().last() == marker;
                },
                10000))
            return {QStringLiteral("the unit never got the marker")};
        return unit->receivedFrames().mid(0, unit->receivedFrames().size() - 1);
    }
    // Waits until a store under way has sent its last frame and paused after it.
    bool waitStored(int ms = 10000) const
    {
        return QTest::qWaitFor([&] { return !Probe::stores(w->session()).running(); }, ms);
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
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // what the window remembers stays the test's own
        QSettings().clear();
#ifdef HALVO_HAS_RECORDS
        // No records unless a suite keeps them, and then in a folder of its own.
        QSettings(QSettings::UserScope, QStringLiteral("halvo"), QStringLiteral("records")).clear();
        recorder::Keep_Records(false);
#endif
    }
    void init()
    {
        halvo::test::failOnAnyWarning();
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
