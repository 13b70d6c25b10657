// What the operator changed: marks against the unit image, the count beside STORE,
// "Review Changes" storing only the chosen items and reading them back, and the
// question on closing, against the simulated unit on a pty.
#include "change_marks.h"
#include "changes_panel.h"
#include "file_menu.h"
#include "pass_tab.h"
#include "pass_table_model.h"
#include "session/changes_not_stored.h"
#include "session/unit_image.h"
#include "support/messages.h"
#include "support/session_probe.h"
#include "support/window_fixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

using halvo::config::Part;

class TestChanges : public halvo::test::WindowTest
{
    Q_OBJECT
    QTemporaryDir dir;

    QString line() { return f.ctl<QLabel>("LabelChanges")->text(); }
    QLineEdit *alias(int slot)
    {
        return f.ctl<QLineEdit>(QStringLiteral("Text_Location_Name(%1)").arg(slot));
    }
    void read(Part tab, int replies)
    {
        f.showTab(tab);
        f.w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return f.w->session().image().arrived(tab) == replies; }, 5000));
        QVERIFY(f.w->session().image().read(tab));
    }
    QWidget *box(const char *name, int k) { return f.ctl(QStringLiteral("%1(%2)").arg(name).arg(k)); }
    QLabel *priority(int p) { return f.ctl<QLabel>(QStringLiteral("LabelPassDisplayPriority(%1)").arg(p)); }
    void editPass(int row, const QString &name)
    {
        f.w->passTab().ListView1_ItemClick(f.cellAt(row, 0));
        f.ctl<QLineEdit>("TextCurrentPassUsername")->setText(name);
        f.click("CommandCurrentPassSave");
    }
    QStringList storeFrames() const
    {
        QStringList out;
        for (const QString &frame : f.unit->receivedFrames())
            if (frame.startsWith("44 22") || frame.startsWith("44 2B") || frame.startsWith("44 23"))
                out << frame.left(14);
        return out;
    }

protected:
    void setUp() override { f.connectPort(); }

private slots:
    // STORE on the location tab while the unit misses a frame: the line says the unit
    // matches only once the read back agreed; a name it never takes stays marked, is
    // counted and is named in one message; a unit that does not answer the read back
    // is told once.
    void aStoreIsCalledStoredOnlyOnceTheUnitHoldsIt()
    {
        read(Part::Locations, 50);
        alias(4)->setText("Gate West");
        alias(7)->setText("Boiler Room");
        alias(9)->setText("Loading Dock");
        QCOMPARE(line(), QStringLiteral("3 changes not stored"));
        QStringList seen;
        connect(&Probe::stores(f.w->session()), &halvo::session::StoreJob::checkingStarted, this,
                [&] { seen << line(); });
        f.unit->faults().dropStores = {4};
        f.w->Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QCOMPARE(seen, (QStringList{"Checking what the unit holds...", "Checking what the unit holds..."}));
        QCOMPARE(line(), QStringLiteral("Unit matches the window"));
        QVERIFY(f.dialogs.messages.isEmpty());
        QCOMPARE(f.unit->locationName(4), QByteArray("Gate West       "));

        alias(4)->setText("Gate East"); // stores 51..100 carry the names; 55 is slot 4's
        f.unit->faults().dropStores = {55, 101, 102};
        f.w->Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QCOMPARE(f.dialogs.messages,
                 QStringList{"The unit did not take: location 5 name \"Gate East\" (sent 3 times)."});
        QCOMPARE(line(), QStringLiteral("1 change not stored"));
        QVERIFY(halvo::app::marks::isMarked(alias(4)));
        QVERIFY(!halvo::app::marks::isMarked(alias(7)));

        f.dialogs.messages.clear();
        auto timing = halvo::test::WindowFixture::fastTiming();
        timing.readBackMs = 200;
        f.w->setTiming(timing);
        f.unit->faults().deafAfterFrames = static_cast<int>(f.unit->receivedFrames().size()) + 50;
        f.unit->faults().deafFrames = 10;
        f.w->Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages.first().startsWith("The unit did not answer when its location names"));
        QCOMPARE(line(), QStringLiteral("1 change not stored"));
    }

    void editsAreMarkedCountedReviewedAndStoredAlone()
    {
        auto &w = *f.w;
        QCOMPARE(line(), QStringLiteral("Unit not read yet"));
        editPass(3, "Before any read");
        QCOMPARE(line(), QStringLiteral("Unit not read yet")); // nothing is marked before a read
        QVERIFY(!f.cellAt(3, 1).data(Qt::BackgroundRole).isValid());
        read(Part::Passes, 72);
        read(Part::Locations, 50);
        QCOMPARE(line(), QStringLiteral("Unit matches the window"));

        editPass(3, "Night Porter");
        editPass(9, "Day Porter");
        alias(4)->setText("Boiler Room");
        QCOMPARE(line(), QStringLiteral("3 changes not stored"));
        // The changed cell and the editor field showing its row are marked, and say
        // what the unit holds.
        QVERIFY(f.bold(9, 1) && f.cellAt(9, 1).data(Qt::BackgroundRole).isValid());
        QCOMPARE(f.cellAt(9, 1).data(Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("changed, unit has Pass Device 09  "));
        QVERIFY(!f.bold(9, 2));
        {
            // A table made now shows the marks there are already; only the boxes take a tick.
            halvo::session::ChangesNotStored changes(f.w->configuration(), f.w->session().image());
            halvo::app::PassTableModel model(f.w->configuration(), changes);
            QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
            QVERIFY(model.index(8, 1).data(Qt::FontRole).value<QFont>().bold());
            QVERIFY(!model.setData(model.index(8, 1), Qt::Checked, Qt::CheckStateRole));
            QVERIFY(!model.setData(model.index(8, 0), Qt::Checked, Qt::EditRole));
            QVERIFY(!model.setData({}, Qt::Checked, Qt::CheckStateRole));
            QVERIFY(model.setData(model.index(8, 0), Qt::Checked, Qt::CheckStateRole));
        }
        QVERIFY(f.ctl<QLineEdit>("TextCurrentPassUsername")->font().bold());
        QVERIFY(alias(4)->font().bold());
        QVERIFY(alias(4)->accessibleDescription().endsWith("changed, unit has \"Zone 5          \""));
        // Back to the unit's value: the mark goes, and its cell is redrawn without it.
        const QAbstractItemModel *table = f.cellAt(9, 1).model();
        QSignalSpy redrawn(table, &QAbstractItemModel::dataChanged);
        editPass(9, "Pass Device 09");
        auto redrew = [&](int row, int column) {
            for (const QList<QVariant> &r : redrawn) {
                const auto from = r.at(0).toModelIndex(), to = r.at(1).toModelIndex();
                const auto roles = r.at(2).value<QList<int>>();
                if (from.row() <= row - 1 && to.row() >= row - 1 && from.column() <= column &&
                    to.column() >= column && roles.contains(Qt::FontRole) &&
                    roles.contains(Qt::BackgroundRole))
                    return true;
            }
            return false;
        };
        QVERIFY(redrew(9, 1) && !f.bold(9, 1) && !f.cellAt(9, 1).data(Qt::BackgroundRole).isValid());
        QVERIFY(!redrew(3, 1)); // a mark that stays is not redrawn
        editPass(9, "Day Porter");
        alias(4)->setText("Zone 5");
        QCOMPARE(line(), QStringLiteral("2 changes not stored"));
        QVERIFY(!alias(4)->font().bold() && alias(4)->accessibleDescription().isEmpty());
        alias(4)->setText("Boiler Room");

        // The review: pass 3 unticked; pass 9 and location 0x05 go, nothing else.
        f.unit->clearRecord();
        f.dialogs.untick = {0};
        w.changes().CommandReviewChanges_Click();
        QCOMPARE(f.dialogs.reviews.size(), 1);
        const auto &rows = f.dialogs.reviews.first();
        QCOMPARE(int(rows.size()), 3);
        QCOMPARE(rows[0].item + "|" + rows[1].item + "|" + rows[2].item,
                 QStringLiteral("pass 3|pass 9|location 0x05"));
        QCOMPARE(rows[1].window, QStringList{"User Names: \"Day Porter      \""});
        QCOMPARE(rows[1].unit, QStringList{"User Names: \"Pass Device 09  \""});
        QCOMPARE(rows[2].tab, QStringLiteral("Location Name Configuration"));
        QVERIFY(QTest::qWaitFor([&] { return line() == QStringLiteral("1 change not stored"); }, 5000));
        QCOMPARE(storeFrames(), (QStringList{"44 22 00 27 08", "44 2B 00 27 04"}));
        QCOMPARE(f.unit->locationName(4), QByteArray("Boiler Room     "));
        QVERIFY(f.bold(3, 1) && !f.bold(9, 1));
        QCOMPARE(w.configuration().passRow(3)[1],
                 QStringLiteral("Night Porter    ")); // the unstored edit stays
    }

    // Counted field by field, under the part each belongs to; the editor marks the
    // fields, and the boxes bit by bit, of the row it shows.
    void passFieldsAreCountedAndMarkedOneByOne()
    {
        read(Part::Passes, 72);
        auto &tab = f.w->passTab();
        tab.ListView1_ItemClick(f.cellAt(3, 0)); // the unit has flags 0000 0010, port 2
        f.ctl<QLineEdit>("TextCurrentPassUsername")->setText("Night Porter");
        f.ctl<QLineEdit>("TextPassCurrentUserId")->setText("40");
        qobject_cast<QCheckBox *>(box("CheckCurrentPassOption", 0))->setChecked(true);
        qobject_cast<QCheckBox *>(box("CheckCurrentPassAlarmPortSteering", 15))->setChecked(true);
        f.click("CommandCurrentPassSave");
        QCOMPARE(line(), QStringLiteral("4 changes not stored"));
        auto bold = [&](const char *name) { return f.ctl(name)->font().bold(); };
        QVERIFY(bold("TextCurrentPassUsername") && bold("TextPassCurrentUserId"));
        QVERIFY(!bold("TextPassCurrentSysId") && !bold("TextPassCurrentSignalTimeout"));
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(box("CheckCurrentPassAlarmPortSteering", k)->font().bold(), k == 15);
            if (k < 8)
                QCOMPARE(box("CheckCurrentPassOption", k)->font().bold(), k == 0);
        }
        QVERIFY(box("CheckCurrentPassOption", 0)->accessibleDescription().endsWith("changed, unit has off"));
        tab.ListView1_ItemClick(f.cellAt(5, 0)); // a row the unit holds: nothing marked
        QVERIFY(!bold("TextCurrentPassUsername") && !box("CheckCurrentPassOption", 0)->font().bold());
        tab.ListView1_ItemClick(f.cellAt(3, 0));
        QVERIFY(bold("TextCurrentPassUsername") && box("CheckCurrentPassOption", 0)->font().bold());
    }

    // Only System Settings read: a setting is counted there. A priority caption is
    // marked by the parameter behind it. STORE CONFIGURATION leaves the unit matching.
    void settingsAreCountedMarkedAndStoredUnderTheirOwnTab()
    {
        read(Part::Settings, 4);
        QTRY_COMPARE(line(), QStringLiteral("Unit matches the window"));
        auto *timeout = f.ctl<QLineEdit>("Text_Config_Parameters(2)");
        timeout->setText("60");
        QCOMPARE(line(), QStringLiteral("1 change not stored"));
        for (int p = 1; p <= 6; ++p)
            QVERIFY(!priority(p)->font().bold());
        f.ctl<QAbstractButton>("OptionPassDisplayPriority(3)")->click();
        f.click("CommandDisplayPriorityUp");
        QCOMPARE(line(), QStringLiteral("3 changes not stored"));
        for (int p = 1; p <= 6; ++p)
            QCOMPARE(priority(p)->font().bold(), p == 2 || p == 3);
        QVERIFY(priority(2)->accessibleDescription().endsWith("changed, unit has 3"));
        // A switch is heard as its box, and its value field as the value.
        auto *logger = f.ctl<QCheckBox>("CheckConfigParameters(26)");
        logger->click();
        QVERIFY2(logger->accessibleDescription().endsWith(logger->isChecked() ? "changed, unit has clear"
                                                                              : "changed, unit has ticked"),
                 qPrintable(logger->accessibleDescription()));
        logger->click();
        f.w->Command_Store_Config_Click();
        QTRY_COMPARE(line(), QStringLiteral("Unit matches the window"));
        QVERIFY(!timeout->font().bold() && !priority(2)->font().bold());
        QTRY_COMPARE(f.unit->settingsPage(3).at(2), char(60));
    }

    // A mark shows what the unit has now, tinted, and goes without a trace.
    void aMarkSaysWhatTheUnitHasNow()
    {
        QLineEdit e;
        e.setAccessibleDescription("Gate name");
        const QColor plain = e.palette().color(QPalette::Base);
        halvo::app::marks::mark(&e, QStringLiteral("A"));
        halvo::app::marks::mark(&e, QStringLiteral("B"));
        QCOMPARE(e.accessibleDescription(), QStringLiteral("Gate name, changed, unit has B"));
        QVERIFY(e.font().bold() && e.palette().color(QPalette::Base) != plain);
        halvo::app::marks::mark(&e, std::nullopt);
        QCOMPARE(e.accessibleDescription(), QStringLiteral("Gate name"));
        QVERIFY(!e.font().bold() && e.palette().color(QPalette::Base) == plain);
    }

    void aLoadedFileIsMarkedAndNothingIsSent()
    {
        auto &w = *f.w;
        read(Part::Passes, 72);
        w.changes().CommandReviewChanges_Click(); // nothing differs: the dialog says so, nothing goes
        QVERIFY(f.dialogs.reviews.last().empty());
        const QString path = dir.filePath("config.csv");
        f.dialogs.fileNames = {path};
        w.fileMenu().Menu_Save_Config_Data_Click();
        QByteArray file = halvo::test::readFile(path);
        file.replace("Pass Device 01  ", "From the file   ");
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        out.close();
        f.unit->clearRecord();
        f.dialogs.fileNames = {path};
        w.fileMenu().Menu_Load_Config_Data_Click();
        QCOMPARE(line(), QStringLiteral("1 change not stored"));
        QVERIFY(f.bold(1, 1));
        f.dialogs.cancelReview = true;
        w.changes().CommandReviewChanges_Click();
        QVERIFY(f.framesSettled().isEmpty());
    }

    // The dialog an operator sees: titled, a row per item ticked to start with, and
    // the rows still ticked when "Store Selected" is pressed.
    void theReviewDialogReturnsTheRowsLeftTicked()
    {
        halvo::app::QtOperatorDialogs real(f.w.get());
        const std::vector<halvo::app::ReviewRow> rows = {
            {"Pass Device Configuration ",
             "pass 3",
             {"User ID: 4", "Signal Timeout: 9"},
             {"User ID: 3", "Signal Timeout: 8"}},
            {"Location Name Configuration", "location 0x05", {"alias: \"Gate\""}, {"alias: \"Zone 5\""}}};
        QString title;
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            title = d->windowTitle();
            auto *table = d->findChild<QTableWidget *>("TableReviewChanges");
            QCOMPARE(table->rowCount(), 2);
            // Each value under its own header.
            for (int c = 1; c < 5; ++c)
                seen << table->horizontalHeaderItem(c)->text() + "=" + table->item(0, c)->text();
            QCOMPARE(table->item(1, 2)->text(), QStringLiteral("location 0x05"));
            auto *first = qobject_cast<QCheckBox *>(table->cellWidget(0, 0));
            QVERIFY(first->isChecked() && qobject_cast<QCheckBox *>(table->cellWidget(1, 0))->isChecked());
            first->setChecked(false);
            for (QPushButton *b : d->findChildren<QPushButton *>())
                if (b->text() == QStringLiteral("Store Selected"))
                    b->click();
        });
        QCOMPARE(real.reviewChanges(rows, {}), std::optional<std::vector<int>>(std::vector<int>{1}));
        QCOMPARE(title, QStringLiteral("Review Changes"));
        QCOMPARE(seen,
                 (QStringList{"Tab=Pass Device Configuration", "Item=pass 3",
                              "Window=User ID: 4\nSignal Timeout: 9", "Unit=User ID: 3\nSignal Timeout: 8"}));
        // Cancel closes it and chooses nothing.
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            for (QPushButton *b : d->findChildren<QPushButton *>())
                if (b->text() == QStringLiteral("Cancel"))
                    b->click();
        });
        QVERIFY(!real.reviewChanges(rows, {}));
        QVERIFY(!QApplication::activeModalWidget());
        // Nothing to store: it says so, and only closes.
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d && d->findChild<QLabel *>()->text() == QStringLiteral("Nothing here"));
            for (QPushButton *b : d->findChildren<QPushButton *>())
                QCOMPARE(b->isEnabled(), b->text() == QStringLiteral("Cancel"));
            d->reject();
        });
        QVERIFY(!real.reviewChanges({}, QStringLiteral("Nothing here")));
    }

    void closingAsksNothingBeforeARead()
    {
        f.w->show();
        alias(1)->setText("Never read");
        QVERIFY(f.w->close());
        QVERIFY(f.dialogs.questions.isEmpty());
    }

    void closingAsksWhileChangesAreNotStored()
    {
        auto &w = *f.w;
        w.show();
        read(Part::Locations, 50);
        alias(1)->setText("Gate");
        f.dialogs.answers = {false};
        QVERIFY(!w.close());
        alias(2)->setText("Dock");
        f.dialogs.answers = {false};
        QVERIFY(!w.close());
        QCOMPARE(f.dialogs.questions, (QStringList{"1 change is not stored to the unit. Close anyway?",
                                                   "2 changes are not stored to the unit. Close anyway?"}));
        QVERIFY(w.session().isOpen());
        f.dialogs.answers = {true};
        QVERIFY(w.close());
    }
};

QTEST_MAIN(TestChanges)
#include "test_changes.moc"
