// The System Settings and Location Name tabs in the window, against the simulated
// unit on a pty: reading, the focus-loss checks, editing, storing and reading back.
#include "support/messages.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

using halvo::config::Part;
using namespace halvo::test::text;

namespace {
QByteArray settingsPage(char page, QByteArray bytes)
{
    return "D$" + QByteArray(1, page) + bytes + "   \n\r";
}
} // namespace

class TestSettingsTabs : public halvo::test::WindowTest
{
    Q_OBJECT

    void read(Part tab, const std::function<bool()> &done)
    {
        f.showTab(tab);
        f.w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor(done, 5000));
    }
    QLineEdit *param(int i) { return f.ctl<QLineEdit>(QStringLiteral("Text_Config_Parameters(%1)").arg(i)); }
    QString caption(const char *name, int i)
    {
        return f.ctl<QLabel>(QStringLiteral("%1(%2)").arg(name).arg(i))->text();
    }
    QCheckBox *box(int i) { return f.ctl<QCheckBox>(QStringLiteral("CheckConfigParameters(%1)").arg(i)); }
    QLineEdit *alias(int slot)
    {
        return f.ctl<QLineEdit>(QStringLiteral("Text_Location_Name(%1)").arg(slot));
    }
    void activeOnSettings()
    {
        f.w->show();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        f.showTab(Part::Settings);
        f.connectPort();
    }

private slots:

    void typedValuesAreCheckedWhenTheFieldIsLeft()
    {
        activeOnSettings();
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
                QTest::qWaitFor([&] { return caption("Label_Config_Parameters_Default", 2) == "33"; }, 3000));
        };
        param(4)->setFocus();
        QCOMPARE(param(2)->text(), QStringLiteral("33"));
        QCOMPARE(f.w->configuration().param(2), QStringLiteral("33"));
        QCOMPARE(f.dialogs.messages.size(), 2);
    }

    // After a read the unit's limits hold: for "Backlight Timeout (sec)", 5..120 and
    // default 30, a value between them stays and one below the minimum does not.
    void typedValuesAreCheckedAgainstTheUnitsLimits()
    {
        activeOnSettings();
        read(Part::Settings, [&] { return caption("Label_Config_Parameters_Default", 2) == "30"; });
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
        read(Part::Settings, [&] {
            return w.configuration().limit(halvo::config::Limit::Default, 22) == "2" &&
                   param(8)->text() == "1";
        });
        QCOMPARE(f.unit->receivedFrames(), QStringList{"44 24 00 04 00 6C 0A 0D"});
        QCOMPARE(param(2)->text() + "|" + caption("Label_Config_Parameters_Max", 2) + "|" +
                     caption("Label_Config_Parameters_Min", 2),
                 QStringLiteral("45|120|5"));
        QVERIFY(box(3)->isChecked() && !box(9)->isChecked());
        QCOMPARE(caption("LabelPassDisplayPriority", 6), QStringLiteral("No Pass Data Priority"));

        // Edit: a value, a switch, and the priority order (position 3 up).
        param(2)->setText("60");
        box(3)->click();
        QCOMPARE(w.configuration().param(3), QStringLiteral("0"));
        f.ctl<QRadioButton>("OptionPassDisplayPriority(3)")->setChecked(true);
        f.click("CommandDisplayPriorityUp");
        QVERIFY(f.ctl<QRadioButton>("OptionPassDisplayPriority(2)")->isChecked());
        QCOMPARE(caption("LabelPassDisplayPriority", 2), QStringLiteral("Signal Timeout Priority"));
        QByteArray expected = f.unit->settingsPage(3);
        expected[2] = 60;
        expected[3] = 0;
        expected[21] = 2;
        expected[22] = 3;
        f.unit->clearRecord();
        w.Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        // The one frame, no progress frame, then the settings read back.
        QCOMPARE(f.unit->receivedFrames(), (QStringList{f.unit->receivedFrames().first(), "44 24 00 04 00 6C 0A 0D"}));
        QCOMPARE(f.unit->receivedFrames().first().left(12), QStringLiteral("44 23 00 23 "));
        QCOMPARE(f.unit->settingsPage(3), expected);

        // Locations: read, edit two names, store all 50, and the unit holds exactly the edits.
        read(Part::Locations, [&] { return alias(49)->text() == "Zone 50         "; });
        alias(4)->setText("Boiler Room");
        alias(9)->setText(QString::fromLatin1("Caf\xe9 #2 and a long tail"));
        f.unit->clearRecord();
        w.Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QVERIFY(f.ctl("FrameSavingData")->isHidden());
        QCOMPARE(f.unit->receivedFrames().size(), 51); // the 50 names, then their read back
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
        read(Part::Locations, [&] { return alias(9)->text() == QString::fromLatin1("Caf\xe9 #2 and a lo"); });
        read(Part::Settings, [&] { return param(2)->text() == "60"; });
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void aValuePageTheListCannotShowIsReported()
    {
        f.connectPort();
        QByteArray values(32, '\0');
        values[16] = 9; // position 1 names class 9, which does not exist
        values[22] = 4;
        f.unit->sendRaw(settingsPage('3', values) + settingsPage('9', QByteArray(32, 'x')));
        QVERIFY(QTest::qWaitFor([&] { return f.dialogs.messages == QStringList{CommError}; }, 3000));
        QCOMPARE(caption("LabelPassDisplayPriority", 1), QStringLiteral("Alarm Priority")); // kept
        QCOMPARE(f.w->configuration().param(16), QStringLiteral("9"));
    }

    void locationStoreSendsAllOrNothing()
    {
        f.connectPort();
        f.showTab(Part::Locations);
        alias(30)->setText(QString::fromUtf8("Gate \u20ac"));
        f.w->Command_Store_Config_Click();
        QCOMPARE(f.dialogs.messages, QStringList{CommError});
        QVERIFY(f.framesSettled().isEmpty() && f.ctl("FrameSavingData")->isHidden());
    }
};

QTEST_MAIN(TestSettingsTabs)
#include "test_settings_tabs.moc"
