// The System Settings and Location Name tabs in the window, against the simulated
// unit on a pty: reading, the focus-loss checks, editing, storing and reading back.
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

using halvo::sim::SimUnit;
using halvo::test::cpuMs;
using halvo::test::WindowFixture;

namespace {
const QString CommError = QStringLiteral("Communications Error Please correct and retry");
const QString InvalidValue =
    QStringLiteral("The value you entered is invalid parameter as been set to default value  ");

QByteArray settingsPage(char page, QByteArray bytes)
{
    return "D$" + QByteArray(1, page) + bytes + "   \n\r";
}
} // namespace

class TestSettingsTabs : public halvo::test::WindowTest
{
    Q_OBJECT

    void read(int tab, const std::function<bool()> &done)
    {
        f.w->SSTab1->setCurrentIndex(tab);
        f.w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor(done, 5000));
    }
    QLineEdit *param(int i) { return f.w->Text_Config_Parameters[size_t(i)]; }
    QLineEdit *alias(int slot) { return f.w->Text_Location_Name[size_t(slot)]; }

private slots:

    void typedValuesAreCheckedWhenTheFieldIsLeft()
    {
        auto &w = *f.w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.SSTab1->setCurrentIndex(1);
        f.connectPort();
        // Before any read every limit is 0: only 0 passes.
        param(1)->setFocus();
        param(1)->setText("5");
        param(2)->setFocus();
        QCOMPARE(param(1)->text(), QStringLiteral("0"));
        QCOMPARE(f.dialogs.messages, QStringList{InvalidValue});

        // A value above a maximum that arrives later stays until its field is left.
        QByteArray maxima(32, char(255)), values(32, '\0');
        maxima[2] = 30;
        values[2] = 45;
        f.unit->sendRaw(settingsPage('0', maxima) + settingsPage('3', values));
        QVERIFY(QTest::qWaitFor([&] { return param(2)->text() == "45"; }, 3000));
        QCOMPARE(f.dialogs.messages.size(), 1);
        // The default is read once the message is answered: a defaults page that
        // arrives while it shows is the one the field gets.
        QByteArray defaults(32, '\0');
        defaults[2] = 33;
        f.dialogs.onMessage = [&](const QString &) {
            f.unit->sendRaw(settingsPage('2', defaults));
            QVERIFY(
                QTest::qWaitFor([&] { return w.Label_Config_Parameters_Default[2]->text() == "33"; }, 3000));
        };
        param(4)->setFocus();
        QCOMPARE(param(2)->text(), QStringLiteral("33"));
        QCOMPARE(f.dialogs.messages.size(), 2);
    }

    // After a read the unit's limits hold: for "Backlight Timeout (sec)", 5..120 and
    // default 30, a value between them stays and one below the minimum does not.
    void typedValuesAreCheckedAgainstTheUnitsLimits()
    {
        auto &w = *f.w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        f.connectPort();
        read(1, [&] { return w.Label_Config_Parameters_Default[2]->text() == "30"; });
        for (const auto &[typed, kept] :
             {std::pair{"60", "60"}, {"3", "30"}, {"120", "120"}, {"121", "30"}}) {
            param(2)->setFocus();
            param(2)->setText(typed);
            param(4)->setFocus();
            QCOMPARE(param(2)->text(), QString(kept));
        }
        QCOMPARE(f.dialogs.messages, QStringList(2, InvalidValue));
    }

    void readEditStoreAndReadBackBothTabs()
    {
        auto &w = *f.w;
        f.connectPort();
        read(1,
             [&] { return w.Label_Config_Parameters_Default[22]->text() == "2" && param(8)->text() == "1"; });
        QCOMPARE(f.unit->receivedFrames(), QStringList{"44 24 00 04 00 6C 0A 0D"});
        QCOMPARE(param(2)->text() + "|" + w.Label_Config_Parameters_Max[2]->text() + "|" +
                     w.Label_Config_Parameters_Min[2]->text(),
                 QStringLiteral("45|120|5"));
        QVERIFY(w.CheckConfigParameters[3]->isChecked() && !w.CheckConfigParameters[9]->isChecked());
        QCOMPARE(w.LabelPassDisplayPriority[6]->text(), QStringLiteral("No Pass Data Priority"));

        // Edit: a value, a switch, and the priority order (position 3 up).
        param(2)->setText("60");
        w.CheckConfigParameters[3]->click();
        QCOMPARE(param(3)->text(), QStringLiteral("0"));
        w.OptionPassDisplayPriority[3]->setChecked(true);
        w.CommandDisplayPriorityUp->click();
        QVERIFY(w.OptionPassDisplayPriority[2]->isChecked());
        QCOMPARE(w.LabelPassDisplayPriority[2]->text(), QStringLiteral("Signal Timeout Priority"));
        QByteArray expected = f.unit->settingsPage(3);
        expected[2] = 60;
        expected[3] = 0;
        expected[21] = 2;
        expected[22] = 3;
        f.unit->clearRecord();
        w.Command_Store_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return f.unit->receivedFrames().size() == 1; }, 3000));
        QCOMPARE(f.unit->receivedFrames().first().left(12), QStringLiteral("44 23 00 23 "));
        QCOMPARE(f.unit->settingsPage(3), expected);

        // Locations: read, edit two names, store all 50, and the unit holds exactly the edits.
        read(2, [&] { return alias(49)->text() == "Zone 50         "; });
        alias(4)->setText("Boiler Room");
        alias(9)->setText(QString::fromLatin1("Caf\xe9 #2 and a long tail"));
        f.unit->clearRecord();
        w.Command_Store_Config_Click();
        QVERIFY(w.FrameSavingData->isHidden());
        QVERIFY(QTest::qWaitFor([&] { return f.unit->receivedFrames().size() == 50; }, 3000));
        for (int slot = 0; slot < 50; ++slot) {
            QCOMPARE(f.unit->receivedFrames().at(slot).mid(12, 2).toInt(nullptr, 16), slot);
            const QByteArray want = slot == 4   ? QByteArray("Boiler Room     ")
                                    : slot == 9 ? QByteArray("Caf\xe9 #2 and a lo")
                                                : ("Zone " + QByteArray::number(slot + 1)).leftJustified(16);
            QCOMPARE(f.unit->locationName(slot), want);
        }
        QCOMPARE(alias(4)->text(), QStringLiteral("Boiler Room     ")); // normalised as on leaving it

        // Read back into changed fields.
        alias(9)->setText("x");
        param(2)->setText("1");
        read(2, [&] { return alias(9)->text() == QString::fromLatin1("Caf\xe9 #2 and a lo"); });
        read(1, [&] { return param(2)->text() == "60"; });
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void aValuePageTheListCannotShowIsReported()
    {
        auto &w = *f.w;
        f.connectPort();
        QByteArray values(32, '\0');
        values[16] = 9; // position 1 names class 9, which does not exist
        values[22] = 4;
        f.unit->sendRaw(settingsPage('3', values) + settingsPage('9', QByteArray(32, 'x')));
        QVERIFY(QTest::qWaitFor([&] { return f.dialogs.messages == QStringList{CommError}; }, 3000));
        QCOMPARE(w.LabelPassDisplayPriority[1]->text(), QStringLiteral("Alarm Priority")); // kept
        QCOMPARE(param(16)->text(), QStringLiteral("9"));
    }

    void locationStoreSendsAllOrNothing()
    {
        auto &w = *f.w;
        f.connectPort();
        w.SSTab1->setCurrentIndex(2);
        alias(30)->setText(QString::fromUtf8("Gate \u20ac"));
        w.Command_Store_Config_Click();
        QTest::qWait(100);
        QCOMPARE(f.dialogs.messages, QStringList{CommError});
        QVERIFY(f.unit->receivedFrames().isEmpty() && w.FrameSavingData->isHidden());
    }

    void locationStoreAtRealPacing()
    {
        auto &w = *f.w;
        w.setTiming(halvo::app::Timing{});
        f.connectPort();
        w.SSTab1->setCurrentIndex(2);
        QList<qint64> arrivals;
        QList<int> progress;
        QElapsedTimer clock;
        clock.start();
        connect(f.unit.get(), &SimUnit::frameReceived, this, [&] {
            arrivals << clock.nsecsElapsed();
            progress << w.ProgressBarSavingData->value();
        });
        const double cpuBefore = cpuMs();
        w.Command_Store_Config_Click();
        const qint64 total = clock.elapsed();
        const double cpu = cpuMs() - cpuBefore;
        QTest::qWait(50);
        QCOMPARE(arrivals.size(), 50);
        QCOMPARE(progress.first(), 0);
        QCOMPARE(progress.last(), 49);
        qint64 minGap = std::numeric_limits<qint64>::max();
        for (int i = 1; i < arrivals.size(); ++i)
            minGap = std::min(minGap, arrivals[i] - arrivals[i - 1]);
        QVERIFY(minGap >= 290'000'000); // 0.3 s, measured where the unit sees it
        qInfo("50-location store: %lld ms total, smallest gap %.1f ms, tool CPU %.0f ms", total,
              double(minGap) / 1e6, cpu);
    }
};

QTEST_MAIN(TestSettingsTabs)
#include "test_settings_tabs.moc"
