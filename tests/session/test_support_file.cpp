// The support file: its sections, the staff names it leaves out unless asked, and the
// run's log behind it (the last 2000 lines at debug level, the console as quiet as it
// was, a log file as it happens).
#include "session/support_file.h"
#include "session/support_log.h"
#include "session/unit_image.h"
#include "session/unit_session.h"
#include "support/session_fixture.h"
#include "support/session_probe.h"

#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

Q_LOGGING_CATEGORY(lcTest, "halvo.test", QtWarningMsg)

using namespace halvo;
using namespace halvo::test;

namespace {
QStringList console; // what reached the console (the test's own handler)
QtMessageHandler qtTest = nullptr;
void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    console << message;
    qtTest(type, context, message);
}
} // namespace

class TestSupportFile : public SessionTest
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qtTest = qInstallMessageHandler(capture);
        session::support_log::Install();
    }

    void sectionsAndNamesLeftOutUnlessIncluded()
    {
        passes::PassRow row = config.passRow(72); // the last pass and location count too
        row[passes::ColUserName] = "Maria Lopez";
        config.setPassRow(72, row);
        config.setAlias(4, "Kitchen West    ");
        config.setAlias(49, "Boiler Room     ");
        QVERIFY(Probe::channel(*s).read(config::Part::Passes));
        link->receive(passReply(0, "Omar Haddad")); // as the unit holds pass 1
        QTRY_COMPARE(s->image().lastReplies().passRow(1)[passes::ColUserName].trimmed(), "Omar Haddad");
        qCInfo(lcOperator).noquote() << "told"
                                     << "Pass 72 (Maria Lopez) was not stored in the Boiler Room";

        const session::SupportFacts facts{"halvo-config",
                                          "9.9",
                                          {"COM 1 : /dev/fake", "  driver: ftdi_sio"},
                                          {"Result: nothing wrong found."},
                                          &config,
                                          false};
        QString text = session::Support_File_Text(*s, facts);
        qsizetype at = 0;
        for (const char *title :
             {"== Tool", "== System", "== Ports", "== Computer check", "== Connection",
              "== Messages shown to the operator", "== Configuration", "== Log of this run"}) {
            const qsizetype next = text.indexOf(title, at);
            QVERIFY2(next > at, title);
            at = next;
        }
        for (const char *line :
             {"Program: halvo-config 9.9", "  driver: ftdi_sio", "Result: nothing wrong found.",
              "Port: open, /dev/fake", "Pass Device Configuration: not read from the unit",
              "told Pass 72 ([name left out]) was not stored in the [name left out]"})
            QVERIFY2(text.contains(line), line);
        QVERIFY(text.contains(QRegularExpression("Qt: running \\d+\\.\\d+")));
        for (const char *name : {"Maria", "Lopez", "Kitchen West", "Boiler", "Omar Haddad"})
            QVERIFY2(!text.contains(name), name);

        session::SupportFacts byDefault; // names stay out unless asked for
        byDefault.configuration = &config;
        QVERIFY(!session::Support_File_Text(*s, byDefault).contains("Maria"));
        text = session::Support_File_Text(*s, {"halvo-config", "9.9", {}, {}, &config, true});
        for (const char *line : {"was not stored", "Location 4: Kitchen West", "| Maria Lopez"})
            QVERIFY2(text.contains(line), line);
        QVERIFY(!text.contains("[name left out]"));
        // Without a configuration (halvo-cli) the names the unit sent still stay out.
        text = session::Support_File_Text(*s, {"halvo-cli", "9.9", {}, {}, nullptr, true});
        QVERIFY(text.contains("None held: halvo-cli keeps no configuration."));
        QVERIFY(!text.contains("Omar"));
        // The messages shown: the last 50.
        for (int i = 0; i < 60; ++i)
            qCInfo(lcOperator).noquote() << "told note" << i;
        text = session::Support_File_Text(*s, facts);
        const QString shown =
            text.section("== Messages shown to the operator", 1).section("== Configuration", 0, 0);
        QCOMPARE(shown.count("told "), 50);
        QVERIFY(shown.contains("told note 10\n") && shown.contains("told note 59\n"));

        QTemporaryDir dir;
        QVERIFY(session::Save_Support_File(dir.filePath("s.txt"), *s, facts));
        QString why;
        QVERIFY(!session::Save_Support_File(dir.filePath("no/such/folder/s.txt"), *s, facts, &why));
        QVERIFY(!why.isEmpty());
    }

    // Whole words only, the longest first; a name of one character is no name to hunt.
    void namesAreLeftOutAsWords()
    {
        QCOMPARE(
            session::Leave_Out_Names("Ann went to Annex; B. Ann Lee and Lee", {"Ann", "B", "Ann Lee", "Lee"}),
            "[name left out] went to Annex; B. [name left out] and [name left out]");
        QCOMPARE(session::Leave_Out_Names("José, Jos", {"José", ""}), "[name left out], Jos");
    }

    void theRingKeepsTheLastLinesAtDebugLevel()
    {
        console.clear();
        for (int i = 0; i < 2005; ++i)
            qCDebug(lcTest) << "line" << i;
        QStringList ring = session::support_log::Lines();
        QCOMPARE(ring.size(), 2000);
        QVERIFY2(ring.first().endsWith("halvo.test.debug: line 5"), qPrintable(ring.first()));
        QVERIFY(ring.last().endsWith("halvo.test.debug: line 2004"));
        // The console shows what it showed before: warnings, and what the rules turn on.
        QVERIFY(console.isEmpty());
        QTest::ignoreMessage(QtWarningMsg, "a warning");
        qCWarning(lcTest) << "a warning";
        QCOMPARE(console, QStringList{"a warning"});
        QLoggingCategory::setFilterRules("halvo.test.debug=true");
        qCDebug(lcTest) << "asked for";
        QLoggingCategory::setFilterRules({});
        qCDebug(lcTest) << "not asked for";
        QCOMPARE(console, (QStringList{"a warning", "asked for"}));
        QVERIFY(session::support_log::Lines().last().endsWith("not asked for"));
        // Rules that silence the tool's categories silence the console, never the ring.
        QLoggingCategory::setFilterRules("halvo.test=false");
        qCDebug(lcTest) << "quiet debug";
        qCInfo(lcTest) << "quiet info";
        qCWarning(lcTest) << "quiet warning";
        qCCritical(lcTest) << "quiet critical";
        QLoggingCategory::setFilterRules({});
        QCOMPARE(console, (QStringList{"a warning", "asked for"}));
        QStringList levels;
        for (const QString &line : session::support_log::Lines().mid(2000 - 4))
            levels << line.section(' ', 1);
        QCOMPARE(levels,
                 (QStringList{"halvo.test.debug: quiet debug", "halvo.test.info: quiet info",
                              "halvo.test.warning: quiet warning", "halvo.test.critical: quiet critical"}));
        // The operator's messages, oldest first, the last of them only.
        for (int i = 0; i < 3; ++i)
            qCInfo(lcOperator).noquote() << "told" << i;
        const QStringList shown = session::support_log::Operator_Lines(2);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).endsWith(" told 1") && shown.at(1).endsWith(" told 2"));
    }

    void aLogFileIsWrittenAsItHappens()
    {
        QTemporaryDir dir;
        QString why;
        QVERIFY(!session::support_log::Install(dir.filePath("none/run.log"), &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(session::support_log::Install(dir.filePath("run.log")));
        qCDebug(lcTest) << "into the file";
        // The log moves to the next file named, letting this one go (Windows keeps an
        // open file from being removed).
        QVERIFY(session::support_log::Install(QProcess::nullDevice()));
        qCDebug(lcTest) << "not into the first file";
        QFile f(dir.filePath("run.log"));
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text)); // lines end as the system's do
        const QByteArray written = f.readAll();
        QVERIFY(written.contains("halvo.test.debug: into the file\n"));
        QVERIFY(!written.contains("not into the first file"));
    }
};

QTEST_GUILESS_MAIN(TestSupportFile)
#include "test_support_file.moc"
