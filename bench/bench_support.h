#pragma once
// What the window benchmark's parts share: the figures of this process (CPU, memory),
// the row they print, a patient wait in the event loop, the simulated unit in a
// process of its own, and dialogs that answer everything.

#include "changes_panel.h"
#include "event_view.h"
#include "eventlog_tab.h"
#include "file_menu.h"
#include "formmain.h"
#include "operator_dialogs.h"
#include "port_panel.h"
#include "session/store_job.h"
#include "session/unit_image.h"
#include "sim_unit.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sched.h>
#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace halvo::bench {

using namespace halvo;

double cpuMs();
long rssKb();
void row(const char *what, const QString &value, const char *goal = "");
// Sleeps in the event loop for ms milliseconds.
void idle(int ms);
// The simulated unit in a process of its own. A real unit takes bytes as they come;
// where the machine allows it (root), the simulated one runs at real-time priority so
// that its own scheduling on a busy machine does not count against the tool.
bool startUnit(QProcess &unit, const QStringList &args);

// Answers every question OK and every file choice with one path.
struct Dialogs : app::OperatorDialogs
{
    QString file;
    void message(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool question(const QString &) override { return true; }
    bool askYesNo(const QString &) override { return true; }
    int choose(const QString &, const QStringList &) override { return -1; }
    std::optional<std::vector<int>> reviewChanges(const std::vector<app::ReviewRow> &rows,
                                                  const QString &) override
    {
        std::vector<int> all;
        for (int r = 0; r < static_cast<int>(rows.size()); ++r)
            all.push_back(r);
        return all;
    }
    QString saveFileName(const app::FileChoice &) override { return file; }
    QString chooseFolder(const QString &, const QString &) override { return {}; }
    std::optional<QString> askText(const QString &, const QString &, const QString &offered) override
    {
        return offered;
    }
    QString openFileName(const app::FileChoice &) override { return file; }
    bool compareWithFile(const QString &, const std::vector<app::ComparisonRow> &) override { return false; }
    void report(const QString &, const QString &) override {}
    bool choosePrinter(QPrinter &) override { return false; }
    std::optional<bool> supportFileChoice() override { return std::nullopt; }
};

// Runs the event loop until done() holds, woken by the signal or a timeout; unlike
// QTest::qWait it never polls, so it neither costs CPU nor delays a timer that is due.
template <class Sender, class Signal>
void waitFor(Sender *sender, Signal signal, const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    limit.start(ms);
    if (!done())
        loop.exec();
}

// The longest time the event loop went without running a 5 ms heartbeat.
struct StallMeter
{
    QTimer beat;
    QElapsedTimer since;
    qint64 longest = 0;
    StallMeter()
    {
        beat.setInterval(5);
        QObject::connect(&beat, &QTimer::timeout, [this] { longest = std::max(longest, since.restart()); });
        since.start();
        beat.start();
    }
};

// The longest an event posted to the window waited before the window ran it: what an
// operator's click could have waited at worst. A thread of its own posts one every
// millisecond, so the figure holds no heartbeat's own period.
class AnswerMeter
{
public:
    AnswerMeter()
    {
        m_thread.start();
        m_ticks.setInterval(1);
        m_ticks.setTimerType(Qt::PreciseTimer);
        m_ticks.moveToThread(&m_thread);
        QObject::connect(&m_ticks, &QTimer::timeout, [this] {
            const qint64 sent = m_clock.nsecsElapsed();
            QMetaObject::invokeMethod(
                &m_window, [this, sent] { m_longest = std::max(m_longest, m_clock.nsecsElapsed() - sent); },
                Qt::QueuedConnection);
        });
        m_clock.start();
        QMetaObject::invokeMethod(&m_ticks, qOverload<>(&QTimer::start), Qt::BlockingQueuedConnection);
    }
    ~AnswerMeter()
    {
        QMetaObject::invokeMethod(&m_ticks, &QTimer::stop, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        QCoreApplication::removePostedEvents(&m_window);
    }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QThread m_thread;
    QTimer m_ticks;
    QObject m_window; // lives on the window's thread
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

void measureIngest(app::FormMain &w, Dialogs &answers, const QTemporaryDir &dir, bool loaded, qint64 unitPid);
void measureChanges();
void measurePortWatch(const QTemporaryDir &dir);
void measureFilter(app::FormMain &w);
void measureNewEvents(const QTemporaryDir &dir);
void measureFiles(app::FormMain &w, Dialogs &answers, const QTemporaryDir &dir);

} // namespace halvo::bench
