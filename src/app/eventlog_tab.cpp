#include "eventlog_tab.h"

#include "collection_panel.h"
#include "event_view.h"
#include "eventlog/event_requests.h"
#include "operator_dialogs.h"
#include "session/archive_questions.h"
#include "session/event_download.h"
#include "session/messages.h"
#include "session/run.h"
#include "session/unit_memory.h"
#include "session/unit_session.h"
#include "settings/config_params.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

namespace halvo::app {

namespace Msg = session::Msg;
using ui::describes;
using ui::named;

// What a read of new events asks, asked through the window's dialogs.
class EventLogTab::Questions final : public session::ArchiveQuestions
{
public:
    explicit Questions(OperatorDialogs &dialogs) : m_dialogs(dialogs) {}
    QString chooseArchive() override { return app::chooseArchive(m_dialogs); }
    OnMismatch anotherUnitsArchive(const QString &text) override
    {
        switch (m_dialogs.choose(
            text, {QStringLiteral("Choose Another Archive..."), QStringLiteral("Append Anyway")})) {
        case 0:
            return OnMismatch::ChooseAnother;
        case 1:
            return OnMismatch::AppendAnyway;
        default:
            return OnMismatch::Cancel;
        }
    }

private:
    OperatorDialogs &m_dialogs;
};

EventLogTab::EventLogTab(const TabContext &context, const ReceivedLines &lines, QWidget *parent)
    : TabPage(config::Part::EventLog, context, parent), m_questions(std::make_unique<Questions>(m_dialogs))
{
    auto *g = new QGridLayout(this);
    auto button = [&](const QString &text, const QString &name, void (EventLogTab::*handler)()) {
        auto *b = named(new QPushButton(text), name);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    pointerCaption =
        describes(named(new QLabel(QStringLiteral("0")), QStringLiteral("LabelEventLogPointerData")),
                  QStringLiteral("Event log pointer"));
    storeBox =
        named(new QCheckBox(QStringLiteral("Store Event Log Data")), QStringLiteral("Check_Store_Event_Log"));
    connect(storeBox, &QCheckBox::clicked, this, &EventLogTab::Check_Store_Event_Log_Click);
    startField = named(new QLineEdit(QStringLiteral("0")), QStringLiteral("TxtEventLogPageStart"),
                       QStringLiteral("Start Page (0-32,480)"));
    countField = named(new QLineEdit(QStringLiteral("1")), QStringLiteral("TxtEventLogPagesToDownload"),
                       QStringLiteral("Pages to Download (1-32480)"));
    m_focusChecks.add(countField, [this] { TxtEventLogPagesToDownload_LostFocus(); });
    g->addWidget(button(QStringLiteral("Read Event Log Pointer Page"),
                        QStringLiteral("CommandReadEventLogPointer"),
                        &EventLogTab::CommandReadEventLogPointer_Click),
                 0, 0);
    g->addWidget(pointerCaption, 0, 1);
    g->addWidget(button(QStringLiteral("Read Last # of Pages of Events"),
                        QStringLiteral("CmdReadLastEventLogPages"),
                        &EventLogTab::CmdReadLastEventLogPages_Click),
                 1, 0);
    g->addWidget(storeBox, 1, 1);
    g->addWidget(
        new QLabel(QStringLiteral("Start Page (0-32,480)                 Pages to Download (1-32480)")), 2, 0,
        1, 2);
    g->addWidget(startField, 3, 0);
    g->addWidget(countField, 3, 1);
    g->addWidget(button(QStringLiteral("Read Event From selected Start"),
                        QStringLiteral("CmdReadEventLogPage"), &EventLogTab::CmdReadEventLogPage_Click),
                 4, 0);
    g->addWidget(button(QStringLiteral("Clear Event Log"), QStringLiteral("CmdClearEventLog"),
                        &EventLogTab::CmdClearEventLog_Click),
                 5, 0);
    g->addWidget(button(QStringLiteral("Read New Events"), QStringLiteral("CmdReadNewEvents"),
                        &EventLogTab::CmdReadNewEvents_Click),
                 1, 2);
    archiveCaption = describes(
        named(new QLabel(QStringLiteral("Archive: none chosen yet")), QStringLiteral("LabelEventArchive")),
        QStringLiteral("Event archive of this unit"));
    g->addWidget(archiveCaption, 0, 2, 1, 2);
    g->addWidget(buildDownloadPanel(), 2, 2, 3, 2);
    g->addWidget(new CollectionPanel(m_unit, m_dialogs, [this] { return pageCount(); }), 5, 2, 1, 2);
    eventView = new EventView(lines, m_dialogs);
    g->addWidget(eventView, 6, 0, 1, 4);
    g->setRowStretch(6, 1);
    g->setColumnStretch(3, 1);

    connect(&m_unit, &session::UnitSession::pointerReceived, this,
            [this](int shown) { pointerCaption->setText(QString::number(shown)); });
    // Every event download is shown here, the operator's and the collection's alike:
    // at once, then at most every 150 ms while lines come.
    auto *progress = new ui::Throttle(
        150, [this] { showProgress(); }, this);
    connect(&m_unit, &session::UnitSession::runStarted, this, [this, progress](session::Run *run) {
        if (run->kind() != session::Run::Kind::DownloadPages &&
            run->kind() != session::Run::Kind::DownloadNewEvents)
            return;
        m_download = run;
        m_note.clear();
        m_endText.clear();
        connect(run, &session::Run::progressed, progress, &ui::Throttle::request);
        connect(run, &session::Run::noted, this, [this](const QString &text) {
            m_note = text;
            showProgress();
        });
        connect(run, &session::Run::finished, this, [this, run](const session::RunResult &result) {
            downloadEnded(result, run == m_ownDownload);
        });
        showProgress();
    });
}

EventLogTab::~EventLogTab() = default;

// A paced read's progress: a bar, "Page 120 of 250, about 1 min 40 s left" once a
// chunk has come, and Stop.
QWidget *EventLogTab::buildDownloadPanel()
{
    auto *panel = new QWidget;
    auto *v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    downloadBar = named(new QProgressBar, QStringLiteral("ProgressBarEventDownload"),
                        QStringLiteral("Event pages read"));
    downloadLine = describes(
        named(new QLabel(QStringLiteral("No event download yet")), QStringLiteral("LabelEventDownload")),
        QStringLiteral("Event download progress"));
    downloadLine->setWordWrap(true);
    downloadLine->setMinimumWidth(ui::px(6000));
    stopButton = named(new QPushButton(QStringLiteral("Stop")), QStringLiteral("CmdStopEventDownload"),
                       QStringLiteral("Stop the event download"));
    connect(stopButton, &QPushButton::clicked, this, &EventLogTab::CmdStopEventDownload_Click);
    auto *row = new QHBoxLayout;
    row->addWidget(downloadBar, 1);
    row->addWidget(stopButton);
    v->addLayout(row);
    v->addWidget(downloadLine);
    v->addStretch(1);
    downloadBar->hide();
    stopButton->hide();
    return panel;
}

void EventLogTab::showProgress()
{
    const bool running = m_download && m_download->running();
    QStringList text;
    if (!m_note.isEmpty())
        text << m_note;
    if (running) {
        text << session::Download_Line(m_download->done(), m_download->total(), m_download->msLeft());
        downloadBar->setRange(0, std::max(1, m_download->total()));
        downloadBar->setValue(std::min(m_download->done(), m_download->total()));
        if (m_download == m_ownDownload) {
            archiveCaption->setText(QStringLiteral("Archive: ") +
                                    QFileInfo(m_download->subject()).fileName());
            archiveCaption->setToolTip(QDir::toNativeSeparators(m_download->subject()));
        }
    } else if (!m_endText.isEmpty()) {
        text << m_endText;
    }
    downloadBar->setVisible(running);
    stopButton->setVisible(running);
    downloadLine->setText(text.join(QStringLiteral("\n")));
}

// Told once the archive being filled has recorded what it took.
void EventLogTab::downloadEnded(const session::RunResult &result, bool own)
{
    const session::DownloadEnd &end = result.download;
    using How = session::DownloadEnd::How;
    if (result.status == session::RunResult::Status::Refused) {
        m_endText.clear();
    } else if (end.archive && end.mismatch && own) {
        m_endText = end.why;
    } else if (end.archive) {
        m_endText =
            end.appendedAll
                ? QStringLiteral("%1 new lines appended to %2")
                      .arg(end.appended)
                      .arg(QDir::toNativeSeparators(result.file))
                : QStringLiteral("%1 lines appended (whole pages only): %2").arg(end.appended).arg(end.why);
    } else {
        const QString pages =
            QStringLiteral("%1 of %2 pages arrived").arg(result.pagesArrived).arg(result.pagesExpected);
        m_endText = end.how == How::Complete  ? QStringLiteral("Done: ") + pages
                    : end.how == How::Stopped ? QStringLiteral("Stopped: ") + pages
                                              : QStringLiteral("Broken off (%1): %2").arg(end.why, pages);
    }
    showProgress();
}

void EventLogTab::CommandReadEventLogPointer_Click()
{
    if (m_portReady())
        m_unit.readPointer();
}

void EventLogTab::CmdReadEventLogPage_Click()
{
    // Text that is no number is refused before anything is sent.
    const auto start = settings::Param_Value(startField->text());
    const auto count = settings::Param_Value(countField->text());
    if (!start || !count) {
        m_dialogs.message(Msg::InvalidValue);
        if (!start)
            startField->setText(QStringLiteral("0"));
        if (!count)
            countField->setText(QStringLiteral("1"));
        return;
    }
    if (m_portReady())
        m_unit.readPages(*start, *count);
}

void EventLogTab::CmdClearEventLog_Click()
{
    if (m_portReady())
        m_unit.clearLog();
}

void EventLogTab::TxtEventLogPagesToDownload_LostFocus()
{
    if (!eventlog::Page_Count_Ok(countField->text()))
        countField->setText(QStringLiteral("1"));
}

// ---------------------------------------------------------------- the paced read

// The read is planned with a page count the unit can serve.
int EventLogTab::pageCount()
{
    TxtEventLogPagesToDownload_LostFocus();
    return settings::Param_Value(countField->text()).value_or(1);
}

void EventLogTab::CmdReadLastEventLogPages_Click()
{
    // Asked here once: the read's requests on a closed port fail with their reason.
    if (!m_portReady())
        return;
    if (m_download)
        m_download->stop(); // asked again: it starts again from the pointer request
    m_unit.downloadPages(pageCount());
}

void EventLogTab::CmdStopEventDownload_Click()
{
    if (m_download)
        m_download->stop();
}

// Only the pages the unit's archive does not hold yet. The archive is chosen once
// for each unit, known by its banner and its adapter; a first download reads the page
// count's pages.
void EventLogTab::CmdReadNewEvents_Click()
{
    if (!m_portReady())
        return;
    session::Run *run = m_unit.readNewEvents(*m_questions, pageCount());
    if (!run->running() && !run->result().why.isEmpty())
        m_dialogs.message(run->result().why);
    if (run->running())
        m_ownDownload = run;
    showProgress();
}

// ---------------------------------------------------------------- the event log file

void EventLogTab::Check_Store_Event_Log_Click()
{
    if (!storeBox->isChecked()) {
        stopFiling();
        return;
    }
    m_dialogs.message(Msg::ChooseEventLogFile);
    m_unit.holdEventLines(); // lines that arrive while the file is chosen go to it
    const QString path =
        m_dialogs.saveFileName({QStringLiteral("txt"), documentsFolder(), QStringLiteral("Txt Files (*.txt)"),
                                QStringLiteral("Halvo_Event_Log.txt")});
    session::Run *filing = m_unit.fileEvents(path); // none chosen: what was held goes
    if (path.isEmpty()) {
        stopFiling(); // cancelled: no file, and the box says so
        return;
    }
    if (!filing->running()) {
        stopFiling();
        m_dialogs.message(Msg::SaveFileError);
        return;
    }
    m_filing = filing;
    connect(filing, &session::Run::finished, this, [this](const session::RunResult &end) {
        storeBox->setChecked(false);
        if (end.status == session::RunResult::Status::Failed)
            m_dialogs.message(Msg::SaveFileError);
    });
}

void EventLogTab::stopFiling()
{
    if (m_filing)
        m_filing->stop();
    storeBox->setChecked(false);
}

} // namespace halvo::app
