// The port list follows the devices: symlinks to simulated units' ptys come and go in
// a folder of the test's own (--port-dir), as udev's links do for adapters.
#include "support/warnings.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QTemporaryDir>

using halvo::config::Part;
using halvo::sim::SimUnit;

class TestPortList : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::map<QString, std::unique_ptr<SimUnit>> units;
    halvo::test::WindowFixture f;

    // A unit behind the name in the folder.
    void plug(const QString &name)
    {
        auto unit = std::make_unique<SimUnit>();
        unit->setBannerInterval(100);
        QVERIFY(unit->start());
        QVERIFY(QFile::link(unit->devicePath(), dir->filePath(name)));
        units[name] = std::move(unit);
    }
    void unplug(const QString &name)
    {
        QVERIFY(QFile::remove(dir->filePath(name)));
        units.erase(name);
    }
    QComboBox *ports() { return f.ctl<QComboBox>("Combo_Com_Port"); }
    // The folder's devices as the list shows them: name and number, in order.
    QStringList listed()
    {
        QStringList out;
        for (int i = 0; i < ports()->count(); ++i) {
            const QString path = ports()->itemData(i, Qt::ToolTipRole).toString().section(' ', 0, 0);
            if (path.startsWith(dir->path()))
                out << QFileInfo(path).fileName() + '=' + ports()->itemText(i).section(' ', 1, 1);
        }
        return out;
    }
    QString selected()
    {
        return ports()->currentIndex() < 0
                   ? QString()
                   : QFileInfo(ports()
                                   ->itemData(ports()->currentIndex(), Qt::ToolTipRole)
                                   .toString()
                                   .section(' ', 0, 0))
                         .fileName();
    }
    // The list changes by itself; steady on a busy machine, however long it takes.
    bool becomes(const QStringList &names)
    {
        return QTest::qWaitFor(
            [&] {
                QStringList now;
                for (const QString &e : listed())
                    now << e.section('=', 0, 0);
                return now == names;
            },
            10000);
    }

private slots:
    void init()
    {
        halvo::test::failOnAnyWarning();
        dir = std::make_unique<QTemporaryDir>();
        f.dialogs = {};
        f.w = std::make_unique<halvo::app::FormMain>(halvo::app::FormOptions{{}, {}, {dir->path()}, {}});
        f.w->setDialogs(std::make_unique<halvo::test::FakeDialogs>(f.dialogs));
        f.w->setTiming(halvo::test::WindowFixture::fastTiming());
        ports()->setCurrentIndex(-1); // nothing chosen yet
    }
    void cleanup()
    {
        f.w.reset();
        units.clear();
        dir.reset();
    }

    void theListFollowsTheDevicesAndTheSelectionFollowsItsDevice()
    {
        plug("ttyUSB5");
        QVERIFY(becomes({"ttyUSB5"}));
        QCOMPARE(selected(), QStringLiteral("ttyUSB5")); // the one adapter that came is chosen
        const QString before = listed().first();
        plug("ttyACM1"); // an adapter ahead of it by name: the numbers shift
        QVERIFY(becomes({"ttyACM1", "ttyUSB5"}));
        QCOMPARE(selected(), QStringLiteral("ttyUSB5"));
        QCOMPARE(listed().at(0).section('=', 1), before.section('=', 1)); // it took the old number
        unplug("ttyACM1");
        QVERIFY(becomes({"ttyUSB5"}));
        QCOMPARE(selected(), QStringLiteral("ttyUSB5"));
        unplug("ttyUSB5");
        QVERIFY(becomes({}));
        QCOMPARE(f.w->ports().comPortText(), QStringLiteral("Select Com Port"));
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void nothingMovesWhileAPortIsOpenAndAListedUnitConnects()
    {
        plug("hall");
        QVERIFY(becomes({"hall"}));
        ports()->setCurrentIndex(ports()->findText(listed().first().section('=', 1), Qt::MatchContains));
        QCOMPARE(selected(), QStringLiteral("hall"));
        f.connectPort();
        plug("annex");
        f.w->ports().refreshPortList(); // as the watcher would
        QCOMPARE(listed().size(), 1);   // a list that shifts under an open link would mislead
        f.w->session().close();
        ports()->showPopup(); // opening the list refreshes it
        ports()->hidePopup();
        QCOMPARE(selected(), QStringLiteral("hall"));
        QVERIFY(becomes({"annex", "hall"}));
        // The unit that came is connected and read.
        ports()->setCurrentIndex(ports()->findText(listed().first().section('=', 1), Qt::MatchContains));
        f.connectPort();
        f.showTab(Part::Passes);
        f.w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return f.cell(72, 1) == "Pass Device 72  "; }, 5000));
        QCOMPARE(units["annex"]->receivedFrames(), QStringList{"44 21 00 04 00 69 0A 0D"});
    }
};

QTEST_MAIN(TestPortList)
#include "test_port_list.moc"
