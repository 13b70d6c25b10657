// Renders the window offscreen against the simulated unit, for the README:
//   QT_QPA_PLATFORM=offscreen build/tools/halvo-screenshot docs/tab0.png [tab 0..3]
//   QT_QPA_PLATFORM=offscreen build/tools/halvo-screenshot docs/history.png history
//   QT_QPA_PLATFORM=offscreen build/tools/halvo-screenshot docs/who.png who
#include "formmain.h"
#include "operator_dialogs.h"
#include "port/link_switch.h"
#include "session/event_download.h"
#include "sim_link.h"
#include "sim_unit.h"

#ifdef HALVO_HAS_RECORDS
#include "history_window.h"
#include "recorder/records_place.h"
#include "recorder/unit_recorder.h"
#include "records_menu.h"
#endif

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

// Answers as an operator would, and keeps the last message to draw it.
struct Answers : halvo::app::OperatorDialogs
{
    QString last;
    void message(const QString &text) override { last = text; }
    bool question(const QString &) override { return true; }
    bool askYesNo(const QString &) override { return true; }
    int choose(const QString &, const QStringList &) override { return -1; }
    std::optional<QString> askText(const QString &title, const QString &, const QString &offered) override
    {
        return title == QLatin1String("Name this unit") ? QStringLiteral("Engine 3")
               : title == QLatin1String("Your name")    ? QStringLiteral("Ann Operator")
                                                        : offered;
    }
    QString chooseFolder(const QString &, const QString &) override { return {}; }
    QString saveFileName(const halvo::app::FileChoice &) override { return {}; }
    QString openFileName(const halvo::app::FileChoice &) override { return {}; }
    std::optional<std::vector<int>> reviewChanges(const std::vector<halvo::app::ReviewRow> &,
                                                  const QString &) override
    {
        return std::nullopt;
    }
    bool compareWithFile(const QString &, const std::vector<halvo::app::ComparisonRow> &) override
    {
        return false;
    }
    void report(const QString &, const QString &) override {}
    bool choosePrinter(QPrinter &) override { return false; }
    std::optional<bool> supportFileChoice() override { return std::nullopt; }
};

#ifdef HALVO_HAS_RECORDS
// Three versions of Engine 3 (a read, two stores), then its history or "Who Changed This?".
int Records_Picture(halvo::app::FormMain &w, halvo::sim::SimUnit &unit, const QString &out, bool who)
{
    auto *answers = new Answers;
    w.setDialogs(std::unique_ptr<halvo::app::OperatorDialogs>(answers));
    halvo::session::SessionTiming timing;
    timing.pauseScale = 0.02;
    w.setTiming(timing);
    (void)QTest::qWaitFor([&] { return !w.session().identification().isEmpty() && !w.session().busy(); },
                          5000);
    auto recorded = [&w](int n) {
        const bool ok = QTest::qWaitFor(
            [&] {
                return w.findChild<QLabel *>(QStringLiteral("LabelRecorded"))
                    ->text()
                    .startsWith(QStringLiteral("recorded as version %1").arg(n));
            },
            20000);
        if (!ok)
            std::fprintf(stderr, "version %d: %s\n", n,
                         qPrintable(w.findChild<QLabel *>(QStringLiteral("LabelRecorded"))->text()));
        return ok;
    };
    w.findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentIndex(0);
    w.Command_Read_Config_Click();
    recorded(1);
    auto row = w.configuration().passRow(3);
    row[1] = QStringLiteral("Night Porter    ");
    w.configuration().setPassRow(3, row);
    w.Command_Store_Config_Click();
    recorded(2);
    w.findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentIndex(2);
    w.Command_Read_Config_Click();
    recorded(3);
    w.configuration().setAlias(6, QStringLiteral("Boiler Room     "));
    w.Command_Store_Config_Click();
    recorded(4);
    (void)unit;
    if (who) {
        w.records().whoChanged(halvo::config::Part::Passes, 3);
        QMessageBox box(QMessageBox::Information, QStringLiteral("Halvo Configuration Tool"), answers->last);
        box.show();
        QTest::qWait(200);
        return box.grab().save(out) ? 0 : 2;
    }
    w.records().Menu_Unit_History_Click();
    halvo::app::HistoryWindow *h = w.records().history();
    if (!h)
        return 2;
    h->resize(900, 520);
    QTest::qWait(300);
    return h->grab().save(out) ? 0 : 2;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window.png");
    const QString what = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const int tab = what.toInt();
#ifdef HALVO_HAS_RECORDS
    // The records go to a folder of their own (HALVO_RECORDS, else one that goes with
    // the run), and nothing the tool keeps is touched.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir records;
    const bool history = what == QLatin1String("history") || what == QLatin1String("who");
    halvo::recorder::Keep_Records(history);
    const QString given = qEnvironmentVariable("HALVO_RECORDS"); // kept, to be read afterwards
    halvo::recorder::Keep_Records_Folder(given.isEmpty() ? records.filePath(QStringLiteral("Halvo Records"))
                                                         : given);
#endif
    // The demo unit inside the tool: the same on every system.
    halvo::sim::SimUnit unit;
    unit.setBannerInterval(200);
    halvo::app::FormOptions options;
    options.demoLink = [&unit] { return std::make_unique<halvo::sim::SimLink>(unit); };
    options.preferredPort = halvo::port::Demo_Port(); // Windows may list a COM1 before it
    halvo::app::FormMain w(options);
    w.show();
    w.resize(1023, 736); // the designed size; the offscreen screen is smaller
    w.ports().Cmd_ComPort_Click();
#ifdef HALVO_HAS_RECORDS
    if (history)
        return Records_Picture(w, unit, out, what == QLatin1String("who"));
#endif
    w.findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentIndex(tab);
    if (tab == static_cast<int>(halvo::config::Part::EventLog)) {
        // The last 12 pages read, then the lines of alarms found among them.
        halvo::session::SessionTiming timing;
        timing.eventScale = 0.25;
        w.setTiming(timing);
        w.findChild<QLineEdit *>(QStringLiteral("TxtEventLogPagesToDownload"))->setText(QStringLiteral("12"));
        w.findChild<QPushButton *>(QStringLiteral("CmdReadLastEventLogPages"))->click();
        (void)QTest::qWaitFor([&] { return !w.session().busy(); }, 20000);
        w.findChild<QLineEdit *>(QStringLiteral("TxtFilterEventLines"))
            ->setText(QStringLiteral("pass alarm"));
    } else {
        w.Command_Read_Config_Click();
        unit.sendRaw("Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r");
    }
    QTest::qWait(800);
    return w.grab().save(out) ? 0 : 2;
}
