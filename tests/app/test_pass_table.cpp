// The pass table in the window: reading it from the unit, the pass editor, and
// storing it back, against the simulated unit on a pty.
#include "link/serial_link.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

using halvo::passes::PassRow;
using halvo::sim::SimUnit;
using halvo::test::WindowFixture;

namespace {
const QString CommError = QStringLiteral("Communications Error Please correct and retry");

// Counts how often a widget is shown.
struct ShowCounter : QObject
{
    int shows = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        shows += e->type() == QEvent::Show;
        return false;
    }
};

QString indexOf(const QString &frameHex)
{
    return frameHex.mid(12, 2);
}
QString hex2(int i)
{
    return QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

class TestPassTable : public halvo::test::WindowTest
{
    Q_OBJECT

    void readAll()
    {
        f.w->SSTab1->setCurrentIndex(0);
        f.w->setPassRow(72, halvo::passes::Default_Pass_Row(72)); // the last reply to come
        f.w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return f.w->passCell(72, 1) == QStringLiteral("Pass Device 72  "); },
                                5000));
    }
    void storeFast(double pause = 0.002)
    {
        halvo::app::Timing t = WindowFixture::fastTiming();
        t.passFramePause = pause;
        f.w->setTiming(t);
        f.w->SSTab1->setCurrentIndex(0);
    }

protected:
    void setUp() override
    {
        f.w->show(); // so showing FrameSavingData is an event the tests can count
    }

private slots:

    void readFillsEveryRowWithTheUnitsData()
    {
        auto &w = *f.w;
        f.connectPort();
        readAll();
        QCOMPARE(f.unit->receivedFrames(), QStringList{"44 21 00 04 00 69 0A 0D"});
        for (int r = 1; r <= 72; ++r) {
            const QByteArray rec = f.unit->passRecord(r - 1);
            QCOMPARE(w.passCell(r, 1) + w.passCell(r, 2),
                     QString::fromLatin1(rec.mid(1, 16) + rec.mid(18, 2)));
            QCOMPARE(w.passCell(r, 4).toInt(), int(quint8(rec.at(23))));
            QCOMPARE(w.passCell(r, 12).toInt(), int(quint8(rec.at(26))));
        }
        QCOMPARE(w.passCell(4, 9), QStringLiteral("0000 0011"));
        QCOMPARE(w.passCell(6, 6), QStringLiteral("Off  "));
        QCOMPARE(w.ComboOptionCurrentPassAlarmPortSteering->currentIndex(), 8); // the last reply's mode
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void leavingAFieldChecksIt()
    {
        auto &w = *f.w;
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.SSTab1->setCurrentIndex(0);
        w.TextPassCurrentSysId->setFocus();
        w.TextPassCurrentSysId->setText("ff");
        w.TextPassCurrentUserId->setFocus();
        QCOMPARE(w.TextPassCurrentSysId->text(), QStringLiteral("01"));
        w.TextPassCurrentUserId->setText("100");
        w.TextPassCurrentSignalTimeout->setFocus();
        QCOMPARE(w.TextPassCurrentUserId->text(), QStringLiteral("1"));
        w.TextPassCurrentSignalTimeout->setText("60");
        w.TextPassCurrentSysId->setFocus();
        QCOMPARE(w.TextPassCurrentSignalTimeout->text(), QStringLiteral("60"));
        QCOMPARE(f.dialogs.messages,
                 QStringList(2, "The value you entered is invalid parameter as been set to default value  "));
    }

    void editorLoadsAndWritesRows()
    {
        auto &w = *f.w;
        // Clicking a row loads it; bit texts check exactly the boxes of their "1"s.
        PassRow r9 = w.passRow(9);
        r9[halvo::passes::ColOptionFlags] = "0000 0011";
        r9[halvo::passes::ColAlarmSteering] = "1000 0000 0000 0010";
        r9[halvo::passes::ColOptionMode] = "3";
        w.setPassRow(9, r9);
        w.ListView1_ItemClick(w.ListView1->topLevelItem(8));
        QCOMPARE(w.LabelCurrentPassIndex->text(), QStringLiteral("9"));
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(w.CheckCurrentPassAlarmPortSteering[size_t(k)]->isChecked(), k == 15 || k == 1);
            if (k < 8)
                QCOMPARE(w.CheckCurrentPassOption[size_t(k)]->isChecked(), k < 2);
        }
        QCOMPARE(w.ComboOptionCurrentPassAlarmPortSteering->currentIndex(), 3);

        // SAVE writes the editor back, the user name cut to 16 in the field and the row.
        w.TextCurrentPassUsername->setText("ABCDEFGHIJKLMNOPQRST");
        w.CheckCurrentPassOption[7]->setChecked(true);
        w.CheckCurrentPassOptionPortSteering[0]->setChecked(true);
        w.CommandCurrentPassSave_Click();
        QCOMPARE(w.TextCurrentPassUsername->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(w.passCell(9, 1), QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(w.passCell(9, 9), QStringLiteral("1000 0011"));
        QCOMPARE(w.passCell(9, 8), QStringLiteral("0001 0000 0000 0001"));
        QCOMPARE(w.passCell(9, 6), QStringLiteral("In Location"));

        // Set Selected: nothing checked changes nothing; rows 3 and 7 change and end unchecked.
        QList<PassRow> before;
        for (int r = 1; r <= 72; ++r)
            before << w.passRow(r);
        w.TextCurrentPassUsername->setText("Bob");
        w.CommandSetSelectedPasses_Click();
        w.setPassRowChecked(3, true);
        w.setPassRowChecked(7, true);
        w.CommandSetSelectedPasses_Click();
        for (int r = 1; r <= 72; ++r) {
            QVERIFY(!w.isPassRowChecked(r));
            const bool changed = r == 3 || r == 7;
            QCOMPARE(w.passRow(r) == before.at(r - 1), !changed);
            if (changed)
                QCOMPARE(w.passCell(r, 1), QStringLiteral("Bob") + QString(13, ' '));
        }

        // Set All: every row gets the editor's name and IDs, and keeps its number.
        w.TextPassCurrentSysId->setText("2B");
        w.TextPassCurrentUserId->setText("42");
        w.CommandLoadAllPasses_Click();
        for (int r = 1; r <= 72; ++r)
            QCOMPARE(w.passRow(r)[0] + w.passCell(r, 1) + w.passCell(r, 2) + w.passCell(r, 3),
                     QString::number(r) + "Bob" + QString(13, ' ') + "2B42");

        // CLEAR on row 5.
        w.ListView1_ItemClick(w.ListView1->topLevelItem(4));
        w.CommandCurrentPassClear_Click();
        const auto cleared = w.passRow(5);
        QCOMPARE(QStringList(cleared.begin(), cleared.end()).join('|'),
                 "5|" + QString(16, ' ') +
                     "|01|01|0|0000 0000 0000 0000|None Selected|0|0000 0000 0000 0000|"
                     "0000 0000|    |    |0");
    }

    void storeSendsTheEditedRowAndNothingElseChanges()
    {
        auto &w = *f.w;
        storeFast();
        f.connectPort();
        readAll();
        w.ListView1_ItemClick(w.ListView1->topLevelItem(10));
        w.TextCurrentPassUsername->setText("Night Porter");
        w.TextPassCurrentSignalTimeout->setText("60");
        w.CheckCurrentPassAlarmPortSteering[3]->setChecked(true);
        w.ComboOptionCurrentPassAlarmPortSteering->setCurrentIndex(7);
        w.CommandCurrentPassSave_Click();
        f.unit->clearRecord();

        ShowCounter shows;
        w.FrameSavingData->installEventFilter(&shows);
        w.Command_Store_Config_Click();
        QCOMPARE(shows.shows, 1);
        QVERIFY(w.FrameSavingData->isHidden());
        QVERIFY(QTest::qWaitFor([&] { return f.unit->receivedFrames().size() == 72; }, 5000));
        for (int i = 0; i < 72; ++i) {
            QCOMPARE(indexOf(f.unit->receivedFrames().at(i)), hex2(i));
            if (i != 10)
                QCOMPARE(f.unit->passRecord(i), SimUnit::Default_Pass_Record(i));
        }
        // Pass 10 (row 11): the default record with the edited name, timeout, port 3 and mode 7.
        QByteArray rec = SimUnit::Default_Pass_Record(10);
        rec.replace(1, 16, "Night Porter    ");
        rec[23] = 60;
        rec[25] = char(rec.at(25) | 0x08);
        rec[26] = 7;
        QCOMPARE(f.unit->passRecord(10), rec);
        // Its frame, restated: "D", 34, 0, 39, record, checksum, LF, CR.
        QByteArray frame = QByteArray("D\x22\x00\x27", 4) + rec;
        int sum = 0;
        for (char c : frame)
            sum += quint8(c);
        frame += char(sum & 0xFF) + QByteArray("\n\r");
        QCOMPARE(f.unit->receivedFrames().at(10), QString::fromLatin1(frame.toHex(' ')).toUpper());
        QCOMPARE(w.passCount(), 72);
        QVERIFY(f.dialogs.messages.isEmpty());

        w.setPassRow(11, halvo::passes::Default_Pass_Row(11)); // read back: the unit kept the edit
        readAll();
        QCOMPARE(w.passCell(11, 1) + w.passCell(11, 6), QStringLiteral("Night Porter    EVAC Ack'd"));
    }

    void halvoStSendsThirtyTwoAndASecondStoreIsIgnored()
    {
        auto &w = *f.w;
        storeFast(0.01);
        f.connectPort();
        w.CheckHalvoType->setChecked(true);
        // A second click while the first store paces would interleave two stores' frames.
        QTimer::singleShot(100, &w, [&] { w.Command_Store_Config_Click(); });
        w.Command_Store_Config_Click();
        QTest::qWait(100);
        QCOMPARE(f.unit->receivedFrames().size(), 32);
        for (int i = 0; i < 32; ++i)
            QCOMPARE(indexOf(f.unit->receivedFrames().at(i)), hex2(i));
        QCOMPARE(w.passCount(), 72);
    }

    void aRowThatCannotBeBuiltStopsTheStore()
    {
        auto &w = *f.w;
        storeFast();
        f.connectPort();
        PassRow bad = w.passRow(5);
        bad[halvo::passes::ColOptionTrigger] = "300";
        w.setPassRow(5, bad);
        w.Command_Store_Config_Click();
        QCOMPARE(f.dialogs.messages, QStringList{CommError});
        QVERIFY(w.FrameSavingData->isHidden());
        QCOMPARE(w.passCount(), 72);
        QTest::qWait(100);
        QCOMPARE(f.unit->receivedFrames().size(), 4); // rows 1..4 went out
    }

    void closingTheWindowStopsAStore()
    {
        auto &w = *f.w;
        storeFast(0.2);
        f.connectPort();
        QTimer::singleShot(300, &w, [&] { w.close(); });
        QElapsedTimer t;
        t.start();
        w.Command_Store_Config_Click();
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(w.FrameSavingData->isHidden() && !w.MSComm1->isOpen() && f.dialogs.messages.isEmpty());
        QCOMPARE(w.passCount(), 72);
        QTest::qWait(100);
        QVERIFY(f.unit->receivedFrames().size() < 5);
    }
};

QTEST_MAIN(TestPassTable)
#include "test_pass_table.moc"
