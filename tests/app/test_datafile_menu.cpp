// File > Save Config Data and Load Config Data in the window: every field goes out
// and comes back, and a refused or failed file changes nothing.
#include "support/earlier_release_file.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

using halvo::test::readFile;
using halvo::test::WindowFixture;

namespace {
const QString SaveError = QStringLiteral(
    "Saving File to archive has Encountered an error verify file path exists and drive operational");
const QString LoadError = QStringLiteral(
    "Load File Encountered an error verify file is a Brelt Recorder Data file and drive operational");
const QString ChooseFile =
    QStringLiteral("Please select were you would like your archived data stored, Note: "
                   "you must have permission to write to this location");
} // namespace

class TestDataFileMenu : public halvo::test::WindowTest
{
    Q_OBJECT
    QTemporaryDir dir;

    // Every field the file carries, as one list of texts.
    QStringList fields() const
    {
        QStringList all;
        for (int r = 1; r <= 72; ++r)
            for (int c = 0; c < 13; ++c)
                all << f.w->passCell(r, c);
        for (auto *e : f.w->Text_Location_Name)
            all << e->text();
        for (int i = 0; i < 33; ++i)
            all << f.w->Text_Config_Parameters[size_t(i)]->text();
        for (auto *b : f.w->CheckConfigParameters)
            if (b)
                all << (b->isChecked() ? "ticked" : "clear");
        return all;
    }

private slots:

    void saveThenLoadIntoAChangedWindowGivesEveryFieldBack()
    {
        auto &w = *f.w;
        auto row = w.passRow(3);
        row[1] = QString::fromLatin1("Night-Porter \xe9-!");
        row[3] = "99";
        row[12] = "8";
        row[6] = "EVAC Transmited";
        w.setPassRow(3, row);
        w.Text_Location_Name[5]->setText("Loading-Dock #2 ");
        w.Text_Config_Parameters[5]->setText("7");
        w.CheckConfigParameters[9]->click();
        w.Text_Config_Parameters[0]->setText("9");
        const QString path = dir.filePath("Halvo_DataFile.csv");
        f.dialogs.fileNames = {path};
        w.Menu_Save_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{ChooseFile});
        QCOMPARE(readFile(path).count("\"\r\n"), 123);
        const QStringList saved = fields();

        // Change every kind of field, then load.
        for (int r = 1; r <= 72; ++r)
            w.setPassRow(r, halvo::passes::Default_Pass_Row(73 - r));
        for (auto *e : w.Text_Location_Name)
            e->setText("changed         ");
        w.CheckConfigParameters[9]->click();
        w.Text_Config_Parameters[5]->setText("1");
        w.Text_Config_Parameters[0]->setText("4");
        const QString captionBefore = w.LabelPassDisplayPriority[2]->text();
        f.dialogs.fileNames = {path};
        w.Menu_Load_Config_Data_Click();
        QCOMPARE(f.dialogs.messages.size(), 1);
        QStringList expected = saved;
        for (int r = 1; r <= 72; ++r) {
            expected[(r - 1) * 13] = QString::number(73 - r);              // column 0 is never loaded
            expected[(r - 1) * 13 + 1] = saved[(r - 1) * 13 + 1].left(16); // 16 characters are kept
        }
        expected[72 * 13 + 50] = "4"; // nor is parameter 0
        QCOMPARE(fields(), expected);
        QCOMPARE(w.LabelPassDisplayPriority[2]->text(), captionBefore);
    }

    void refusedFailedAndCancelledFilesChangeNothing()
    {
        auto &w = *f.w;
        const QString path = dir.filePath("config.csv");
        f.dialogs.fileNames = {path};
        w.Menu_Save_Config_Data_Click();
        const QByteArray good = readFile(path);

        // A record that cannot be placed anywhere in the file: no field changes.
        QByteArray bad = good;
        bad.replace(bad.indexOf("-!2747"), 6, "-!2748");
        QFile out(dir.filePath("bad.csv"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bad) == bad.size());
        out.close();
        w.Text_Location_Name[0]->setText("edited          ");
        const QStringList before = fields();
        f.dialogs.messages.clear();
        f.dialogs.fileNames = {out.fileName()};
        w.Menu_Load_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{LoadError});
        QCOMPARE(fields(), before);

        // A row that cannot be written: the message, and nothing of the new file is written.
        f.dialogs.messages.clear();
        auto row = w.passRow(1);
        row[4] = "300";
        w.setPassRow(1, row);
        f.dialogs.fileNames = {path};
        w.Menu_Save_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, (QStringList{ChooseFile, SaveError}));
        QCOMPARE(readFile(path), good);

        // A cancelled load: nothing happens and nothing is shown; a cancelled save shows
        // only the message before its dialog.
        f.dialogs.messages.clear();
        const QStringList now = fields();
        w.Menu_Load_Config_Data_Click();
        QVERIFY(f.dialogs.messages.isEmpty());
        QCOMPARE(fields(), now);
        w.Menu_Save_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{ChooseFile});
        QCOMPARE(readFile(path), good);
    }

    // A file an earlier release saved with aliases of 4, 20 and 0 characters loads:
    // they are normalised, and every other field is the file's.
    void anEarlierReleasesFileLoads()
    {
        auto &w = *f.w;
        const QString path = dir.filePath("earlier.csv");
        f.dialogs.fileNames = {path};
        w.Menu_Save_Config_Data_Click();
        f.dialogs.fileNames = {path};
        w.Menu_Load_Config_Data_Click(); // what the current file gives
        const QStringList saved = fields();
        const QByteArray earlier = halvo::test::earlierReleaseFile(readFile(path));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(earlier) == earlier.size());
        out.close();
        f.dialogs.fileNames = {path};
        w.Menu_Load_Config_Data_Click();
        QCOMPARE(f.dialogs.messages, QStringList{ChooseFile});
        QStringList expected = saved;
        expected[72 * 13 + 3] = "Gate            ";
        expected[72 * 13 + 4] = "Loading-Dock-Are";
        expected[72 * 13 + 5] = QString(16, ' ');
        QCOMPARE(fields(), expected);
    }
};

QTEST_MAIN(TestDataFileMenu)
#include "test_datafile_menu.moc"
