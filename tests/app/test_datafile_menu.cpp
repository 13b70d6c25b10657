// File > Save Config Data and Load Config Data in the window: every field goes out
// and comes back, and a refused or failed file changes nothing. Help > Save Support
// File leaves staff names out.
#include "file_menu.h"
#include "help_menu.h"
#include "session/support_log.h"
#include "session/unit_image.h"
#include "support/earlier_release_file.h"
#include "support/messages.h"
#include "support/window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

using halvo::test::readFile;
using namespace halvo::test::text;

class TestDataFileMenu : public halvo::test::WindowTest
{
    Q_OBJECT
    QTemporaryDir dir;

    // Every field the file carries, as one list of texts, from the configuration the
    // window shows.
    QStringList fields() const
    {
        const auto &c = f.w->configuration();
        QStringList all;
        for (int r = 1; r <= 72; ++r)
            for (const QString &cell : c.passRow(r))
                all << cell;
        for (int s = 0; s < 50; ++s)
            all << c.alias(s);
        for (int i = 0; i < 32; ++i)
            all << c.param(i) + (c.ticked(i) ? " ticked" : "");
        return all;
    }
    void editRow(int row, std::initializer_list<std::pair<int, QString>> cells)
    {
        auto r = f.w->configuration().passRow(row);
        for (const auto &[c, text] : cells)
            r[size_t(c)] = text;
        f.w->configuration().setPassRow(row, r);
    }
    void write(const QString &path, const QByteArray &bytes)
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    }

private slots:

    void saveThenLoadIntoAChangedWindowGivesEveryFieldBack()
    {
        auto &w = *f.w;
        editRow(
            3,
            {{1, QString::fromLatin1("Night-Porter \xe9-!")}, {3, "99"}, {12, "8"}, {6, "EVAC Transmited"}});
        f.ctl<QLineEdit>("Text_Location_Name(5)")->setText("Loading-Dock #2 ");
        f.ctl<QLineEdit>("Text_Config_Parameters(5)")->setText("7");
        f.click("CheckConfigParameters(9)");
        w.configuration().typeParam(0, "9");
        const QString path = dir.filePath("Halvo_DataFile.csv");
        f.dialogs.fileNames = {path};
        w.fileMenu().Menu_Save_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{ChooseDataFile});
        // The dialog starts in Documents (home where there is none), named as ever.
        QCOMPARE(f.dialogs.offered, QStringList{halvo::app::documentsFolder() + "|Halvo_DataFile.csv"});
        QCOMPARE(readFile(path).count("\"\r\n"), 123);
        const QStringList saved = fields();

        // Change every kind of field, then load.
        for (int r = 1; r <= 72; ++r)
            w.configuration().setPassRow(r, halvo::passes::Default_Pass_Row(73 - r));
        for (int s = 0; s < 50; ++s)
            w.configuration().setAlias(s, "changed         ");
        w.configuration().clickSwitch(9, false);
        w.configuration().typeParam(5, "1");
        w.configuration().typeParam(0, "4");
        const QString captionBefore = f.ctl<QLabel>("LabelPassDisplayPriority(2)")->text();
        f.dialogs.fileNames = {path};
        w.fileMenu().Menu_Load_Config_Data_Click();
        QCOMPARE(f.dialogs.messages.size(), 1);
        QStringList expected = saved;
        for (int r = 1; r <= 72; ++r) {
            expected[(r - 1) * 13] = QString::number(73 - r);              // column 0 is never loaded
            expected[(r - 1) * 13 + 1] = saved[(r - 1) * 13 + 1].left(16); // 16 characters are kept
        }
        expected[72 * 13 + 50] = "4"; // nor is parameter 0
        QCOMPARE(fields(), expected);
        // The views show what was loaded; the priority captions are not refreshed.
        QCOMPARE(f.cell(3, 1), QString::fromLatin1("Night-Porter \xe9-!").left(16));
        QCOMPARE(f.ctl<QLineEdit>("Text_Location_Name(5)")->text(), "Loading-Dock #2 ");
        QVERIFY(f.ctl<QCheckBox>("CheckConfigParameters(9)")->isChecked());
        QCOMPARE(f.ctl<QComboBox>("ComboOptionCurrentPassAlarmPortSteering")->currentIndex(),
                 0); // pass 72's mode
        QCOMPARE(f.ctl<QLabel>("LabelPassDisplayPriority(2)")->text(), captionBefore);
    }

    void refusedFailedAndCancelledFilesChangeNothing()
    {
        auto &w = *f.w;
        const QString path = dir.filePath("config.csv");
        f.dialogs.fileNames = {path};
        w.fileMenu().Menu_Save_Config_Data_Click();
        const QByteArray good = readFile(path);

        // A record that cannot be placed anywhere in the file: no field changes.
        QByteArray bad = good;
        bad.replace(bad.indexOf("-!2747"), 6, "-!2748");
        write(dir.filePath("bad.csv"), bad);
        w.configuration().setAlias(0, "edited          ");
        const QStringList before = fields();
        f.dialogs.messages.clear();
        f.dialogs.fileNames = {dir.filePath("bad.csv")};
        w.fileMenu().Menu_Load_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{LoadError});
        QCOMPARE(fields(), before);

        // A row that cannot be written: the message, and nothing of the new file is written.
        f.dialogs.messages.clear();
        editRow(1, {{4, "300"}});
        f.dialogs.fileNames = {path};
        w.fileMenu().Menu_Save_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, (QStringList{ChooseDataFile, SaveError}));
        QCOMPARE(readFile(path), good);

        // A cancelled load: nothing happens and nothing is shown; a cancelled save shows
        // only the message before its dialog.
        f.dialogs.messages.clear();
        const QStringList now = fields();
        w.fileMenu().Menu_Load_Config_Data_Click();
        QVERIFY(f.dialogs.messages.isEmpty());
        QCOMPARE(fields(), now);
        w.fileMenu().Menu_Save_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{ChooseDataFile});
        QCOMPARE(readFile(path), good);
    }

    // A file an earlier release saved with aliases of 4, 20 and 0 characters loads:
    // they are normalised, and every other field is the file's.
    void anEarlierReleasesFileLoads()
    {
        auto &w = *f.w;
        const QString path = dir.filePath("earlier.csv");
        f.dialogs.fileNames = {path, path};
        w.fileMenu().Menu_Save_Config_Data_Click();
        w.fileMenu().Menu_Load_Config_Data_Click(); // what the current file gives
        const QStringList saved = fields();
        write(path, halvo::test::earlierReleaseFile(readFile(path)));
        f.dialogs.fileNames = {path};
        w.fileMenu().Menu_Load_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{ChooseDataFile});
        QStringList expected = saved;
        expected[72 * 13 + 3] = "Gate            ";
        expected[72 * 13 + 4] = "Loading-Dock-Are";
        expected[72 * 13 + 5] = QString(16, ' ');
        QCOMPARE(fields(), expected);
        QCOMPARE(f.ctl<QLineEdit>("Text_Location_Name(4)")->text(), "Loading-Dock-Are");
    }

    // What the window holds beside a data file, read only; "Load This File" marks what
    // the file would change, as Load Config Data does. Saving over a file asks first.
    void aDataFileIsComparedWithTheWindow()
    {
        auto &w = *f.w;
        const QString file = dir.filePath("earlier.csv");
        f.dialogs.fileNames = {file};
        w.fileMenu().Menu_Save_Config_Data_Click();
        editRow(3, {{1, "Night Porter    "}});
        w.configuration().setAlias(4, "Gate West");
        f.dialogs.fileNames = {file};
        w.fileMenu().Menu_Compare_Data_File_Click();
        QCOMPARE(f.dialogs.comparisons.size(), 1);
        const auto &rows = f.dialogs.comparisons.first();
        QCOMPARE(rows.size(), size_t(2));
        QCOMPARE(rows[0].item + "|" + rows[0].window + "|" + rows[0].file,
                 QStringLiteral("pass 3 User Names|\"Night Porter    \"|\"%1\"")
                     .arg(halvo::config::Configuration().passRow(3)[1].left(16)));
        QCOMPARE(rows[1].item + "|" + rows[1].window, QStringLiteral("location 0x05|\"Gate West       \""));
        QCOMPARE(w.configuration().passRow(3)[1], QStringLiteral("Night Porter    ")); // read only
        f.dialogs.loadCompared = true;
        f.dialogs.fileNames = {file};
        w.fileMenu().Menu_Compare_Data_File_Click();
        QCOMPARE(w.configuration().passRow(3)[1], halvo::config::Configuration().passRow(3)[1].left(16));
        QCOMPARE(w.configuration().alias(4), halvo::config::Configuration().alias(4));

        // Every file that replaces one asks first; the event archive, only appended to, does not.
        f.dialogs.overwriteAsked.clear();
        for (const char *name : {"a.csv", "a.pdf", "r.csv", "l.csv"})
            f.dialogs.fileNames << dir.filePath(name);
        w.fileMenu().Menu_Save_Config_Data_Click();
        w.fileMenu().Menu_Export_Sheet_Click();
        w.fileMenu().Menu_Export_Roster_Click();
        w.fileMenu().Menu_Export_Locations_Click();
        QCOMPARE(f.dialogs.overwriteAsked, (QList<bool>{true, true, true, true}));
        f.dialogs.messages.clear();
        f.connectPort();
        f.click("CmdReadNewEvents");
        QCOMPARE(f.dialogs.overwriteAsked.last(), false);
    }

    // The comparison itself: a row per field under Item, Window, File; "Load This File"
    // only when something differs.
    void theComparisonShowsEachFieldAndOffersTheFile()
    {
        halvo::app::QtOperatorDialogs real(f.w.get());
        const std::vector<halvo::app::ComparisonRow> rows = {{"pass 3 User Names", "\"Night\"", "\"Day\""},
                                                             {"location 0x05", "\"Gate\"", "\"Dock\""}};
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            auto *table = d->findChild<QTableWidget *>("TableCompareWithFile");
            QVERIFY(table);
            seen << d->windowTitle() << d->findChild<QLabel *>()->text() << table->accessibleName();
            for (int c = 0; c < 3; ++c)
                seen << table->horizontalHeaderItem(c)->text() + "=" + table->item(1, c)->text();
            for (QPushButton *b : d->findChildren<QPushButton *>())
                if (b->text() == QStringLiteral("Load This File"))
                    b->click();
        });
        QVERIFY(real.compareWithFile("earlier.csv", rows));
        QCOMPARE(seen,
                 (QStringList{"Compare With Data File", "2 fields differ between the window and earlier.csv.",
                              "Fields that differ from the file", "Item=location 0x05", "Window=\"Gate\"",
                              "File=\"Dock\""}));
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d && d->findChild<QLabel *>()->text() == "The window holds what earlier.csv holds.");
            for (QPushButton *b : d->findChildren<QPushButton *>())
                QCOMPARE(b->isEnabled(), b->text() != QStringLiteral("Load This File"));
            d->reject();
        });
        QVERIFY(!real.compareWithFile("earlier.csv", {}));
    }

    // The sheet of what the window holds says what is not stored; the roster goes out
    // to a spreadsheet and comes back as changes not stored; a bad one changes nothing.
    void theSheetAndTheRosterFromTheFileMenu()
    {
        auto &w = *f.w;
        f.connectPort();
        f.showTab(halvo::config::Part::Passes);
        w.Command_Read_Config_Click();
        QTRY_VERIFY(w.session().image().read(halvo::config::Part::Passes));
        editRow(3, {{1, "Night Porter    "}});
        const QString sheet = dir.filePath("sheet.pdf");
        f.dialogs.fileNames = {sheet};
        w.fileMenu().Menu_Export_Sheet_Click();
        QProcess text;
        text.start("pdftotext", {sheet, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(words.contains("1 change not stored to the unit") &&
                words.contains("Read from the unit on "));
        f.dialogs.printTo = dir.filePath("printed.pdf");
        w.fileMenu().Menu_Print_Configuration_Click();
        QVERIFY(readFile(f.dialogs.printTo).startsWith("%PDF"));

        const QString roster = dir.filePath("roster.csv");
        f.dialogs.fileNames = {roster};
        w.fileMenu().Menu_Export_Roster_Click();
        QByteArray csv = readFile(roster);
        csv.replace("\"Pass Device 05  \"", "\"Day Porter\"");
        write(roster, csv);
        f.dialogs.fileNames = {roster};
        w.fileMenu().Menu_Import_Roster_Click();
        QCOMPARE(w.configuration().passRow(5)[1], QStringLiteral("Day Porter      "));
        QCOMPARE(f.ctl<QLabel>("LabelChanges")->text(), QStringLiteral("2 changes not stored"));
        write(roster, csv.replace("\"5\",\"Day Porter\"", "\"5\",\"A name far too long to fit\""));
        f.dialogs.fileNames = {roster};
        w.fileMenu().Menu_Import_Roster_Click();
        QVERIFY(f.dialogs.messages.last().startsWith(
            "roster.csv is refused, nothing is changed:\n\nrow 6, User Name:"));
        QCOMPARE(w.configuration().passRow(5)[1], QStringLiteral("Day Porter      "));
        QVERIFY(f.framesSettled().size() == 1); // nothing was sent but the read
    }

    // halvo-config --log FILE writes the run's log to the file as it happens; a file
    // that cannot be written is said on standard error, and the window runs all the
    // same.
    void theWindowWritesItsLogWhereAsked()
    {
        const QString log = dir.filePath("window.log");
        QProcess window;
        const auto stop = qScopeGuard([&] {
            window.kill();
            window.waitForFinished();
        });
        const QString program = QStringLiteral(HALVO_CONFIG_EXE);
        window.start(program, {"-platform", "offscreen", "--demo", "--log", log});
        QTRY_VERIFY_WITH_TIMEOUT(readFile(log).contains("halvo.port.info: port list read: "), 20000);
        window.kill();
        window.waitForFinished();
        window.start(program,
                     {"-platform", "offscreen", "--demo", "--log", dir.filePath("no/such/folder/w.log")});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += window.readAllStandardError()).contains("halvo-config: cannot write the log to "),
            20000);
        QCOMPARE(window.state(), QProcess::Running);
    }

    // Help > "Save Support File...": the file says which port and program, and the
    // window's staff names stay out unless the operator ticks their box.
    void aSupportFileLeavesStaffNamesOutUnlessIncluded()
    {
        halvo::session::support_log::Install();
        const QString file = dir.filePath("support.txt");
        f.w->helpMenu().Menu_Save_Support_File_Click(); // cancelled: no file asked for
        QVERIFY(f.dialogs.offered.isEmpty());
        f.connectPort();
        f.dialogs.includeConfiguration = false;
        f.dialogs.fileNames = {file};
        f.w->helpMenu().Menu_Save_Support_File_Click();
        QTRY_COMPARE(f.dialogs.messages,
                     QStringList{"Support file saved: " + QDir::toNativeSeparators(file)});
        QVERIFY(f.dialogs.offered.value(0).endsWith(
            QDate::currentDate().toString("|'halvo-support-'yyyy-MM-dd'.txt'")));
        QString text = QString::fromUtf8(halvo::test::readFile(file));
        for (const QString &line : {"COM 1 : " + f.unit->devicePath(), "Port: open, " + f.unit->devicePath(),
                                    QStringLiteral("Program: halvo-config ")})
            QVERIFY2(text.contains(line), qPrintable(line));
        QVERIFY(!text.contains("Username"));
        // The port the window is connected through is held by it, which is no problem.
        QVERIFY(text.contains("  held by: this tool, connected through it; no other program"));
        QVERIFY(!text.contains("test_datafile_m"));

        f.dialogs.includeConfiguration = true;
        f.dialogs.fileNames = {file, dir.filePath("no/such/folder/s.txt")};
        f.w->helpMenu().Menu_Save_Support_File_Click();
        QTRY_COMPARE(f.dialogs.messages.size(), 2);
        text = QString::fromUtf8(halvo::test::readFile(file));
        QVERIFY(text.contains("| Username 12 ") && !text.contains("[name left out]"));
        f.w->helpMenu().Menu_Save_Support_File_Click();
        QTRY_COMPARE(f.dialogs.messages.size(), 3);
        QVERIFY(f.dialogs.messages.last().startsWith("The support file could not be saved: "));

        // The question itself: the box ticked is the answer; Cancel is no file.
        halvo::app::QtOperatorDialogs real(f.w.get());
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d && d->objectName() == "DialogSupportFile");
            auto *box = d->findChild<QCheckBox *>("CheckIncludeConfiguration");
            seen << d->windowTitle() << box->text() << box->accessibleDescription();
            box->setChecked(true);
            for (QPushButton *b : d->findChildren<QPushButton *>())
                if (b->text() == QStringLiteral("Save..."))
                    b->click();
        });
        QCOMPARE(real.supportFileChoice(), std::optional<bool>(true));
        QCOMPARE(seen, (QStringList{"Save Support File", "Include the configuration",
                                    "Adds the pass table, settings and location names"}));
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        QCOMPARE(real.supportFileChoice(), std::nullopt);

        // The file lists every question with its answer, a choice by its button.
        halvo::test::FakeDialogs::Log answers;
        answers.answers = {true};
        answers.choices = {1};
        halvo::app::SilencedOnClose asked(std::make_unique<halvo::test::FakeDialogs>(answers));
        QVERIFY(asked.question("Store it?"));
        QCOMPARE(asked.choose("Which?", {"Choose Another Archive...", "Append Anyway"}), 1);
        QVERIFY(!asked.askYesNo("Close?"));
        QStringList said;
        for (const QString &line : halvo::session::support_log::Operator_Lines(6))
            said << line.section(' ', 1);
        QCOMPARE(said, (QStringList{"asked Store it?", "answered OK",
                                    "asked Which? [Choose Another Archive...|Append Anyway]",
                                    "answered Append Anyway", "asked Close?", "answered No"}));
        // Once the window closes, nothing is asked: a choice is Cancel, not its first button.
        asked.silence();
        answers.choices = {0};
        QCOMPARE(asked.choose("Which?", {"Choose Another Archive...", "Append Anyway"}), -1);
        QCOMPARE(halvo::session::support_log::Operator_Lines(1).value(0).section(' ', 1), "answered No");
    }
};

QTEST_MAIN(TestDataFileMenu)
#include "test_datafile_menu.moc"
