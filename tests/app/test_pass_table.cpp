// The pass table in the window: reading it from the unit, the pass editor, and
// storing it back, against the simulated unit on a pty.
#include "pass_tab.h"
#include "support/messages.h"
#include "support/session_probe.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

using halvo::config::Part;
using halvo::passes::PassRow;
using halvo::sim::SimUnit;
using namespace halvo::test::text;

namespace {
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

    QString cell(int row, int column) { return f.cell(row, column); }
    // Ticks a row's box as a click on it does.
    void tick(int row)
    {
        f.ctl<QAbstractItemView>("ListView1")
            ->model()
            ->setData(f.cellAt(row, 0), Qt::Checked, Qt::CheckStateRole);
    }
    QLineEdit *field(const char *name) { return f.ctl<QLineEdit>(name); }
    QCheckBox *box(const char *name, int k)
    {
        return f.ctl<QCheckBox>(QStringLiteral("%1(%2)").arg(name).arg(k));
    }
    void setRow(int row, const PassRow &texts) { f.w->configuration().setPassRow(row, texts); }
    void readAll()
    {
        f.showTab(Part::Passes);
        setRow(72, halvo::passes::Default_Pass_Row(72)); // the last reply to come
        f.w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return cell(72, 1) == QStringLiteral("Pass Device 72  "); }, 5000));
    }

protected:
    void setUp() override
    {
        f.w->show(); // so showing FrameSavingData is an event the tests can count
        f.showTab(Part::Passes);
    }

private slots:

    void readFillsEveryRowWithTheUnitsData()
    {
        f.connectPort();
        readAll();
        QCOMPARE(f.unit->receivedFrames(), QStringList{"44 21 00 04 00 69 0A 0D"});
        for (int r = 1; r <= 72; ++r) {
            const QByteArray rec = f.unit->passRecord(r - 1);
            QCOMPARE(cell(r, 1) + cell(r, 2), QString::fromLatin1(rec.mid(1, 16) + rec.mid(18, 2)));
            QCOMPARE(cell(r, 4).toInt(), int(quint8(rec.at(23))));
            QCOMPARE(cell(r, 12).toInt(), int(quint8(rec.at(26))));
        }
        QCOMPARE(cell(4, 9), QStringLiteral("0000 0011"));
        QCOMPARE(cell(6, 6), QStringLiteral("Off  "));
        QCOMPARE(f.ctl<QComboBox>("ComboOptionCurrentPassAlarmPortSteering")->currentIndex(),
                 8); // the last reply's
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void leavingAFieldChecksIt()
    {
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        auto *sys = field("TextPassCurrentSysId"), *user = field("TextPassCurrentUserId"),
             *timeout = field("TextPassCurrentSignalTimeout");
        sys->setFocus();
        sys->setText("ff");
        user->setFocus();
        QCOMPARE(sys->text(), QStringLiteral("01"));
        user->setText("100");
        timeout->setFocus();
        QCOMPARE(user->text(), QStringLiteral("1"));
        timeout->setText("60");
        sys->setFocus();
        QCOMPARE(timeout->text(), QStringLiteral("60"));
        QCOMPARE(f.dialogs.messages, QStringList(2, InvalidValue));
    }

    void editorLoadsAndWritesRows()
    {
        auto &tab = f.w->passTab();
        const auto &config = f.w->configuration();
        // Clicking a row loads it; bit texts check exactly the boxes of their "1"s.
        PassRow r9 = config.passRow(9);
        r9[halvo::passes::ColOptionFlags] = "0000 0011";
        r9[halvo::passes::ColAlarmSteering] = "1000 0000 0000 0010";
        r9[halvo::passes::ColOptionMode] = "3";
        setRow(9, r9);
        tab.ListView1_ItemClick(f.cellAt(9, 0));
        QCOMPARE(f.ctl<QLabel>("LabelCurrentPassIndex")->text(), QStringLiteral("9"));
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(box("CheckCurrentPassAlarmPortSteering", k)->isChecked(), k == 15 || k == 1);
            if (k < 8)
                QCOMPARE(box("CheckCurrentPassOption", k)->isChecked(), k < 2);
        }
        QCOMPARE(f.ctl<QComboBox>("ComboOptionCurrentPassAlarmPortSteering")->currentIndex(), 3);

        // SAVE writes the editor back, the user name cut to 16 in the field and the row.
        field("TextCurrentPassUsername")->setText("ABCDEFGHIJKLMNOPQRST");
        box("CheckCurrentPassOption", 7)->setChecked(true);
        box("CheckCurrentPassOptionPortSteering", 0)->setChecked(true);
        f.click("CommandCurrentPassSave");
        QCOMPARE(field("TextCurrentPassUsername")->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(cell(9, 1) + "|" + cell(9, 9) + "|" + cell(9, 8) + "|" + cell(9, 6),
                 QStringLiteral("ABCDEFGHIJKLMNOP|1000 0011|0001 0000 0000 0001|In Location"));
        QCOMPARE(config.passRow(9)[1], QStringLiteral("ABCDEFGHIJKLMNOP")); // the view writes the model

        // Set Selected: nothing checked changes nothing; rows 3 and 7 change and end unchecked.
        QList<PassRow> before;
        for (int r = 1; r <= 72; ++r)
            before << config.passRow(r);
        field("TextCurrentPassUsername")->setText("Bob");
        f.click("CommandSetSelectedPasses");
        tick(3);
        tick(7);
        f.click("CommandSetSelectedPasses");
        for (int r = 1; r <= 72; ++r) {
            QVERIFY(f.cellAt(r, 0).flags() & Qt::ItemIsUserCheckable); // a box to tick
            QCOMPARE(f.cellAt(r, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
            const bool changed = r == 3 || r == 7;
            QCOMPARE(config.passRow(r) == before.at(r - 1), !changed);
            if (changed)
                QCOMPARE(cell(r, 1), QStringLiteral("Bob") + QString(13, ' '));
        }

        // Set All: every row gets the editor's name and IDs, and keeps its number.
        field("TextPassCurrentSysId")->setText("2B");
        field("TextPassCurrentUserId")->setText("42");
        f.click("CommandLoadAllPasses");
        for (int r = 1; r <= 72; ++r)
            QCOMPARE(cell(r, 0) + cell(r, 1) + cell(r, 2) + cell(r, 3),
                     QString::number(r) + "Bob" + QString(13, ' ') + "2B42");

        // CLEAR on row 5.
        tab.ListView1_ItemClick(f.cellAt(5, 0));
        f.click("CommandCurrentPassClear");
        const auto cleared = config.passRow(5);
        QCOMPARE(QStringList(cleared.begin(), cleared.end()).join('|'),
                 "5|" + QString(16, ' ') +
                     "|01|01|0|0000 0000 0000 0000|None Selected|0|0000 0000 0000 0000|"
                     "0000 0000|    |    |0");
    }

    void storeSendsTheEditedRowAndNothingElseChanges()
    {
        auto &w = *f.w;
        f.connectPort();
        readAll();
        w.passTab().ListView1_ItemClick(f.cellAt(11, 0));
        field("TextCurrentPassUsername")->setText("Night Porter");
        field("TextPassCurrentSignalTimeout")->setText("60");
        box("CheckCurrentPassAlarmPortSteering", 3)->setChecked(true);
        f.ctl<QComboBox>("ComboOptionCurrentPassAlarmPortSteering")->setCurrentIndex(7);
        f.click("CommandCurrentPassSave");
        f.unit->clearRecord();

        ShowCounter shows;
        f.ctl("FrameSavingData")->installEventFilter(&shows);
        w.Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QCOMPARE(shows.shows, 1);
        QVERIFY(f.ctl("FrameSavingData")->isHidden());
        // The 72 frames, then the table read back: the store is checked before it counts.
        QCOMPARE(f.unit->receivedFrames().size(), 73);
        QCOMPARE(f.unit->receivedFrames().last(), QStringLiteral("44 21 00 04 00 69 0A 0D"));
        QCOMPARE(f.ctl<QLabel>("LabelChanges")->text(), QStringLiteral("Unit matches the window"));
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
        QVERIFY(f.dialogs.messages.isEmpty());

        setRow(11, halvo::passes::Default_Pass_Row(11)); // read back: the unit kept the edit
        readAll();
        QCOMPARE(cell(11, 1) + cell(11, 6), QStringLiteral("Night Porter    EVAC Ack'd"));
    }

    void halvoStSendsThirtyTwoAndASecondStoreIsIgnored()
    {
        auto &w = *f.w;
        f.connectPort();
        f.ctl<QCheckBox>("CheckHalvoType")->setChecked(true);
        w.Command_Store_Config_Click();
        QCOMPARE(w.passTab().passCount(), 32); // whole-table operations cover the 32 while it runs
        w.Command_Store_Config_Click();        // it would interleave two stores' frames
        QVERIFY(f.waitStored());
        const QStringList frames = f.framesSettled();
        QCOMPARE(frames.size(), 33); // the 32 rows, then their read back
        for (int i = 0; i < 32; ++i)
            QCOMPARE(indexOf(frames.at(i)), hex2(i));
        QCOMPARE(frames.last(), QStringLiteral("44 21 00 04 00 69 0A 0D"));
        QCOMPARE(w.passTab().passCount(), 72);
    }

    void aRowThatCannotBeBuiltStopsTheStore()
    {
        auto &w = *f.w;
        f.connectPort();
        PassRow bad = w.configuration().passRow(5);
        bad[halvo::passes::ColOptionTrigger] = "300";
        setRow(5, bad);
        w.Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QCOMPARE(f.dialogs.messages, QStringList{CommError});
        QVERIFY(f.ctl("FrameSavingData")->isHidden());
        QCOMPARE(f.framesSettled().size(), 4); // rows 1..4 went out
    }

    void closingTheWindowStopsAStore()
    {
        auto &w = *f.w;
        w.setTiming(halvo::session::SessionTiming{}); // the unit's own pauses
        f.connectPort();
        w.Command_Store_Config_Click();
        QTRY_VERIFY(!f.unit->receivedFrames().isEmpty());
        w.close();
        QVERIFY(!Probe::stores(w.session()).running() && f.ctl("FrameSavingData")->isHidden() &&
                !w.session().isOpen());
        QVERIFY(f.unit->receivedFrames().size() < 72 && f.dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(TestPassTable)
#include "test_pass_table.moc"
