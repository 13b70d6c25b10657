// Records: the configuration sheet read back as text (pdftotext), and the roster and
// location names through a spreadsheet's CSV and back.
#include "config/configuration.h"
#include "datafile/data_file.h"
#include "report/config_sheet.h"
#include "report/csv.h"
#include "report/roster.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace halvo;
using config::Configuration;

namespace {
// A configuration no start-up or simulated unit holds: every name and value its own.
Configuration distinctive()
{
    Configuration c;
    for (int r = 1; r <= config::PassCount; ++r) {
        auto row = c.passRow(r);
        row[passes::ColUserName] = QStringLiteral("Crew%1-%2")
                                       .arg(r * 7919 % 1000, 3, 10, QLatin1Char('0'))
                                       .arg(r)
                                       .leftJustified(16);
        row[passes::ColUserId] = QString::number((r * 37) % 100);
        c.setPassRow(r, row);
    }
    for (int i = 0; i < config::ParamCount; ++i)
        c.typeParam(i, QString::number(100 + i * 3));
    for (int s = 0; s < config::LocationCount; ++s)
        c.setAlias(s, QStringLiteral("Spot%1#%2").arg(s * 97 % 500).arg(s).leftJustified(16));
    return c;
}
} // namespace

class TestReport : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    // The text of the sheet's pages, as a reader of the PDF gets it.
    QStringList pages(const QByteArray &pdf)
    {
        const QString path = dir.filePath("sheet.pdf");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(pdf) != pdf.size())
            return {};
        f.close();
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return {QStringLiteral("pdftotext (poppler-utils) did not run: ") + p.errorString()};
        return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    }

private slots:
    void theSheetHoldsTheWholeConfigurationOnNumberedPages()
    {
        const Configuration c = distinctive();
        const report::SheetSource source{report::SheetSource::Kind::File,
                                         QDateTime(QDate(2026, 12, 7), QTime(9, 30)),
                                         "unit.csv",
                                         " Halvo Base ",
                                         false,
                                         {},
                                         0};
        for (const QPageSize &size : {QPageSize(QPageSize::A4), QPageSize(QPageSize::Letter)}) {
            const QStringList text = pages(report::Sheet_Pdf({c, source, {}, "0.1"}, size));
            QCOMPARE(text.size(), 4); // two landscape pages of passes, two of the rest
            for (int n = 0; n < text.size(); ++n) {
                QVERIFY(text.at(n).startsWith("Halvo Configuration\n"));
                QVERIFY(text.at(n).contains("From file unit.csv, saved 2026-12-07 09:30"));
                QVERIFY(text.at(n).contains(
                    QRegularExpression("Unit: Halvo Base\\s+Halvo Configuration Tool 0.1")));
                QVERIFY2(text.at(n).contains(QStringLiteral("Page %1 of 4").arg(n + 1)),
                         qPrintable(text.at(n)));
            }
            const QString all = text.join(QString());
            for (int r = 1; r <= config::PassCount; ++r)
                QVERIFY2(all.contains(c.passRow(r)[passes::ColUserName].trimmed()),
                         qPrintable(QString::number(r)));
            for (int s = 0; s < config::LocationCount; ++s)
                QVERIFY(all.contains(settings::Location_Code_Caption(s) + " " + c.alias(s).trimmed()) ||
                        all.contains(QRegularExpression(settings::Location_Code_Caption(s) + "\\s+" +
                                                        QRegularExpression::escape(c.alias(s).trimmed()))));
            for (int i = 0; i < config::ParamCount; ++i)
                QVERIFY(all.contains(
                    QRegularExpression(QStringLiteral("\\n\\s*%1\\s+%2\\s+%3\\s+not read")
                                           .arg(i)
                                           .arg(QRegularExpression::escape(settings::Param_Description(i)))
                                           .arg(c.param(i)))));
            QVERIFY(all.contains("Configured by") && all.contains("Signature"));
            QVERIFY(!all.contains("not stored"));
        }
    }

    // Changes the window holds and the unit does not: said on the first page, marked
    // where they stand; a sheet without them says nothing of the kind.
    void changesNotStoredAreSaidAndMarked()
    {
        Configuration unit, window;
        auto row = window.passRow(5);
        row[passes::ColUserName] = "Night Porter    ";
        row[passes::ColUserId] = "42";
        window.setPassRow(5, row);
        window.setAlias(3, "Boiler Room     ");
        const report::SheetSource source{
            report::SheetSource::Kind::Unit, QDateTime::currentDateTime(), "/dev/ttyUSB0", {}, true, {}, 0};
        const QStringList text =
            pages(report::Sheet_Pdf({window, source, config::Differences(window, unit), "0.1"}));
        QVERIFY(text.first().contains("3 changes not stored to the unit"));
        QVERIFY(text.first().contains(QRegularExpression("Night Porter\\s+\\*")) &&
                text.first().contains("42 *"));
        QVERIFY(text.join("").contains(QRegularExpression("0x04\\s+Boiler Room\\s+\\*")));
        QCOMPARE(text.join("").count(" *"), 3);
        QVERIFY(text.at(1).contains("Read from the unit on ") && !text.at(1).contains("not stored"));
    }

    void aRosterGoesThroughASpreadsheetAndBack()
    {
        const Configuration c = distinctive();
        const QByteArray roster = report::Roster_Csv(c);
        QVERIFY(roster.startsWith(
            "\xEF\xBB\xBF\"Index\",\"User Name\",\"System ID\",\"User ID\",\"Signal Timeout\"\r\n"));
        QCOMPARE(roster.count("\r\n"), 73);
        Configuration back;
        report::ImportProblems problems;
        QVERIFY(report::Import_Roster(report::Roster_Csv(Configuration()), back,
                                      &problems)); // 17-long start-up names
        QVERIFY(report::Import_Roster(roster, back, &problems));
        QVERIFY(report::Import_Locations(report::Locations_Csv(c), back, &problems));
        QCOMPARE(report::Roster_Csv(back) + report::Locations_Csv(back), roster + report::Locations_Csv(c));

        // As a spreadsheet writes it: columns in another order, one more, quoting
        // where it must, a name with a comma and a quote, LF line ends.
        const QByteArray sheet = "\xEF\xBB\xBFUser ID,Notes,Index,Signal Timeout,User Name,System ID\n"
                                 "7,\"Floor 2, east\",3,60,\"O\"\"Brien, J\",0a\n"
                                 "\n";
        Configuration edited;
        QVERIFY2(report::Import_Roster(sheet, edited, &problems), qPrintable(problems.text()));
        const auto &r3 = edited.passRow(3);
        QCOMPARE(r3[passes::ColUserName] + "|" + r3[passes::ColSystemId] + "|" + r3[passes::ColUserId] + "|" +
                     r3[passes::ColSignalTimeout],
                 QStringLiteral("O\"Brien, J      |0A|7|60"));
        QCOMPARE(edited.passRow(4), Configuration().passRow(4)); // rows not in the file stay
    }

    // Exported, then imported unchanged: the same data file byte for byte, whatever the
    // file held (system IDs the unit sent but the editor would not take, names with
    // bytes above 127, a quote, trailing blanks). A changed cell still meets the rules.
    void aRosterComesBackAsItWentOut()
    {
        Configuration c;
        const char *ids[] = {"00", "FF", "0a"};
        const QString names[] = {QString::fromLatin1("Caf\xe9 Cr\xe8me \xd8\xff"), QStringLiteral("Ann"),
                                 QStringLiteral("O\"Neil \"Jr\"    "), QStringLiteral("  lead blanks   ")};
        for (int r = 1; r <= 4; ++r) {
            auto row = c.passRow(r);
            row[passes::ColSystemId] = QString::fromLatin1(ids[r % 3]);
            row[passes::ColUserName] = names[r - 1].leftJustified(16).left(16);
            c.setPassRow(r, row);
        }
        c.setAlias(0, QString::fromLatin1("Entr\xe9\x65 \"Nord\"   "));
        c.setAlias(1, QStringLiteral("Dock  "));
        const QByteArray file = *datafile::Build_Data_File(c);
        QVERIFY(datafile::Parse_Data_File(file)); // a quote in a name is no end of a record
        Configuration loaded;
        datafile::Apply_Records(*datafile::Parse_Data_File(file), loaded, datafile::Parameter0::Load);
        const QByteArray roster = report::Roster_Csv(loaded), locations = report::Locations_Csv(loaded);
        QVERIFY(roster.contains("\"O\"\"Neil \"\"Jr\"\"     \"")); // a quote is doubled, and the field quoted
        report::ImportProblems problems;
        QVERIFY2(report::Import_Roster(roster, loaded, &problems), qPrintable(problems.text()));
        QVERIFY2(report::Import_Locations(locations, loaded, &problems), qPrintable(problems.text()));
        QCOMPARE(*datafile::Build_Data_File(loaded), file);

        // One name changed in the spreadsheet: taken; the untouched FF beside it too.
        QByteArray edited = roster;
        edited.replace("\"  lead blanks   \"", "\"Lead\"");
        QVERIFY2(report::Import_Roster(edited, loaded, &problems), qPrintable(problems.text()));
        QCOMPARE(loaded.passRow(4)[passes::ColUserName], QStringLiteral("Lead            "));
        QCOMPARE(loaded.passRow(4)[passes::ColSystemId], QStringLiteral("FF"));
        // A system ID typed as FF is an edit, and the editor's rule holds for it.
        edited = roster;
        edited.replace("\"3\",\"O\"\"Neil \"\"Jr\"\"     \",\"00\"",
                       "\"3\",\"O\"\"Neil \"\"Jr\"\"     \",\"FF\"");
        QVERIFY(!report::Import_Roster(edited, loaded, &problems));
        QCOMPARE(problems.cells, QStringList{"row 4, System ID: \"FF\" is not 01 to FE"});
    }

    // A hostile file is refused before it is worked through, and a bad cell is quoted
    // cut short.
    void aHostileFileIsRefusedCheaply()
    {
        Configuration c;
        report::ImportProblems problems;
        QByteArray huge = "Index,User Name,System ID,User ID,Signal Timeout\r\n";
        huge += QByteArray("1,A,01,1,0\r\n").repeated(200000);
        QVERIFY(!report::Import_Roster(huge, c, &problems));
        QCOMPARE(problems.cells,
                 QStringList{"the file is 2400050 bytes, far more than any roster or location list"});
        const QByteArray longName =
            "Index,User Name,System ID,User ID,Signal Timeout\r\n1," + QByteArray(5000, 'x') + ",01,1,0\r\n";
        QVERIFY(!report::Import_Roster(longName, c, &problems));
        QCOMPARE(problems.cells,
                 QStringList{"row 2, User Name: \"" + QString(24, 'x') +
                             "...\" is more than 16 characters, or holds one the unit cannot show"});
        const QString path = dir.filePath("huge.csv");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(huge) == huge.size());
        f.close();
        QString why;
        QVERIFY(!report::Read_Import_File(path, &why));
        QCOMPARE(why, QStringLiteral("it is 2400050 bytes, far more than any roster or location list"));
        for (const qint64 size : {qint64(1) << 20, (qint64(1) << 20) + 1}) { // 1 MiB is the most there may be
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(huge.left(size)) == size);
            f.close();
            QCOMPARE(report::Read_Import_File(path, &why).has_value(), size == (qint64(1) << 20));
        }
    }

    // All or nothing, every bad cell named by row and column.
    void aBadFileChangesNothingAndSaysEveryBadCell()
    {
        const QByteArray bad = "Index,User Name,System ID,User ID,Signal Timeout\r\n"
                               "1,Seventeen letters,01,1,0\r\n"
                               "2,Caf\xc3\xa9 \xe2\x82\xac,FF,100,61\r\n"
                               "2,Twice,01,1,0\r\n"
                               "73,Nobody,01,1,0\r\n";
        Configuration c;
        const QByteArray before = report::Roster_Csv(c);
        report::ImportProblems problems;
        QVERIFY(!report::Import_Roster(bad, c, &problems));
        QCOMPARE(report::Roster_Csv(c), before);
        QCOMPARE(
            problems.cells,
            (QStringList{
                "row 2, User Name: \"Seventeen letters\" is more than 16 characters, or holds one the "
                "unit cannot show",
                QString::fromUtf8("row 3, User Name: \"Café €\" is more than 16 characters, or holds "
                                  "one the unit cannot show"),
                "row 3, System ID: \"FF\" is not 01 to FE", "row 3, User ID: \"100\" is not 0 to 99",
                "row 3, Signal Timeout: \"61\" is not 0 to 60", "row 4, Index: pass 2 is in the file twice",
                "row 5, Index: \"73\" is not a pass 1 to 72"}));
        QVERIFY(!report::Import_Roster("Index,User Name,System ID\r\n1,A,01\r\n", c, &problems));
        QCOMPARE(problems.text(),
                 QStringLiteral("the column \"User ID\" is missing\nthe column \"Signal Timeout\" is "
                                "missing"));
        QByteArray many = "Code,Location Name\r\n";
        for (int i = 0; i < 25; ++i)
            many += "0x33,Nowhere\r\n";
        QVERIFY(!report::Import_Locations(many, c, &problems));
        QVERIFY(problems.text().endsWith("\nand 5 more"));
        QVERIFY(!report::Parse_Csv("\"never ends\r\n"));
    }
};

QTEST_MAIN(TestReport)
#include "test_report.moc"
