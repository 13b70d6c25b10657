// The port layer against simulated units on ptys and folders of the test's own: the
// numbering, a device reached by two names, the frame that has left only once the
// driver's queue is empty, a broken link told once per opening, folders that appear
// late.
#include "port/port_catalogue.h"
#include "port/port_watcher.h"
#include "port/serial_link.h"
#include "sim_unit.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using halvo::port::PortCatalogue;
using halvo::port::PortEntry;
using halvo::port::SerialLink;
using halvo::sim::SimUnit;

class TestPort : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    static std::unique_ptr<SimUnit> unit()
    {
        auto u = std::make_unique<SimUnit>();
        u->setBannerInterval(0);
        return u->start() ? std::move(u) : nullptr;
    }

private slots:
    void portsAreNumberedNamedFirstThenAdaptersThenTheRest()
    {
        const QList<PortEntry> system = {
            {0, "/dev/ttyS0", {}}, {0, "/dev/ttyUSB1", {}}, {0, "/dev/ttyACM0", {}}, {0, "/dev/pts/7", {}}};
        QStringList got;
        for (const PortEntry &e : PortCatalogue::Number_Ports({"/dev/pts/7", "/dev/serial/x"}, system))
            got << QString::number(e.number) + "=" + e.path;
        QCOMPARE(got, (QStringList{"1=/dev/pts/7", "2=/dev/serial/x", "3=/dev/ttyACM0", "4=/dev/ttyUSB1",
                                   "5=/dev/ttyS0"}));
    }

    // Two udev names of one adapter are one port, listed under the folder's first name.
    void aDeviceReachedByTwoLinksIsListedOnce()
    {
        auto u = unit();
        QVERIFY(u);
        QVERIFY(QFile::link(u->devicePath(), dir.filePath("by-id-adapter")));
        QVERIFY(QFile::link(u->devicePath(), dir.filePath("by-path-adapter")));
        PortCatalogue c;
        c.setFolders({dir.path()});
        c.refresh();
        QStringList seen;
        for (const PortEntry &e : c.entries())
            if (QFileInfo(e.path).canonicalFilePath() == QFileInfo(u->devicePath()).canonicalFilePath())
                seen << QFileInfo(e.path).fileName();
        QCOMPARE(seen, QStringList{"by-id-adapter"});
    }

    // A frame has gone out when Qt's buffer and the driver's queue are both empty.
    void aFrameHasLeftOnlyOnceTheDriversQueueIsEmpty()
    {
        auto u = unit();
        QVERIFY(u);
        SerialLink link;
        qint64 queued = 7;
        link.setDriverQueueProbe([&](const QSerialPort &) { return queued; });
        QVERIFY(link.open(u->devicePath()));
        QSignalSpy out(&link, &SerialLink::writtenOut);
        QVERIFY(link.write(QByteArray("D!\0\4\0i\n\r", 8)));
        QVERIFY(QTest::qWaitFor([&] { return u->receivedFrames().size() == 1; }, 5000));
        QCOMPARE(link.bytesToWrite(), 7);
        QVERIFY(!out.wait(50));
        queued = 0;
        QVERIFY(out.wait(5000));
        QCOMPARE(link.bytesToWrite(), 0);
    }

    // Told once per opening: a second unplug after a reconnect is told again.
    void aBrokenLinkIsToldOncePerOpening()
    {
        SerialLink link;
        QSignalSpy lost(&link, &SerialLink::linkLost);
        for (int opening = 1; opening <= 2; ++opening) {
            auto u = unit();
            QVERIFY(u && link.open(u->devicePath()));
            u->hangUp();
            QVERIFY(QTest::qWaitFor([&] { return lost.size() == opening; }, 5000));
            QVERIFY(!link.isOpen());
            QVERIFY(!lost.wait(100)); // the burst of errors after an unplug says nothing more
        }
    }

    // /dev/serial/by-id appears with the first adapter, its parent with it.
    void aFolderThatAppearsLaterIsWatched()
    {
        const QString byId = dir.filePath("serial/by-id");
        halvo::port::PortWatcher watcher({}, nullptr, {byId});
        QSignalSpy changed(&watcher, &halvo::port::PortWatcher::devicesChanged);
        QVERIFY(watcher.folders().isEmpty());
        QVERIFY(QDir(dir.path()).mkpath("serial/by-id"));
        QVERIFY(changed.wait(5000));
        QCOMPARE(watcher.folders(), QStringList{byId});
        changed.clear();
        auto u = unit();
        QVERIFY(u && QFile::link(u->devicePath(), byId + "/usb-adapter"));
        QVERIFY(changed.wait(5000));
        QVERIFY(!watcher.polling());
    }
};

QTEST_GUILESS_MAIN(TestPort)
#include "test_port.moc"
