#include "eventlog_tab.h"

#include "collection_panel.h"
#include "event_view.h"
#include "eventlog/event_requests.h"
#include "operator_dialogs.h"
#include "session/archive_download.h"
#include "session/event_download.h"
#include "session/event_filing.h"
#include "session/messages.h"
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

EventLogTab::EventLogTab(const TabContext &context, const ReceivedLines &lines, QWidget *parent)
    : TabPage(config::Part::EventLog, context, parent)
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
    connect(&m_unit.filing(), &session::EventFiling::failed, this, [this] {
        stopFiling();
        m_dialogs.message(Msg::SaveFileError);
    });
    auto &download = m_unit.events();
    // Shown at once, then at most every 150 ms while lines come.
    auto *progress = new ui::Throttle(
        150, [this] { showProgress(); }, this);
    connect(&download, &session::EventDownload::progressed, progress, &ui::Throttle::request);
    connect(&m_unit, &session::UnitSession::downloadEnded, this, &EventLogTab::downloadEnded);
    connect(&m_unit.archive(), &session::ArchiveDownload::note, this, [this](const QString &text) {
        m_note = text;
        showProgress();
    });
}

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
    const auto &download = m_unit.events();
    const auto &p = download.progress();
    QStringList text;
    if (!m_note.isEmpty())
        text << m_note;
    if (download.running()) {
        text << session::Download_Line(p);
        downloadBar->setRange(0, std::max(1, p.pagesExpected));
        downloadBar->setValue(std::min(p.pagesArrived(), p.pagesExpected));
    } else if (!m_endText.isEmpty()) {
        text << m_endText;
    }
    downloadBar->setVisible(download.running());
    stopButton->setVisible(download.running());
    downloadLine->setText(text.join(QStringLiteral("\n")));
}

// Told once by the session, after an archive being filled has recorded what it took.
void EventLogTab::downloadEnded(const session::DownloadEnd &end)
{
    const auto &p = m_unit.events().progress();
    using How = session::DownloadEnd::How;
    if (end.archive && end.mismatch && !end.collected) {
        m_endText = end.why;
        // Asked once the download has ended, never from inside the receive path.
        QTimer::singleShot(0, this, [this, text = end.why] { askAboutAnotherUnitsArchive(text); });
    } else if (end.archive) {
        m_endText =
            end.appendedAll
                ? QStringLiteral("%1 new lines appended to %2")
                      .arg(end.appended)
                      .arg(QDir::toNativeSeparators(m_unit.archive().archive()))
                : QStringLiteral("%1 lines appended (whole pages only): %2").arg(end.appended).arg(end.why);
    } else {
        const QString pages =
            QStringLiteral("%1 of %2 pages arrived").arg(p.pagesArrived()).arg(p.pagesExpected);
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
    int first = *start;
    if (m_portReady())
        m_unit.readPages(first, *count);
}

void EventLogTab::CmdClearEventLog_Click()
{
    if (m_portReady())
        m_unit.clearEventLog();
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
    m_note.clear();
    m_endText.clear();
    m_unit.events().start(pageCount());
    showProgress();
}

void EventLogTab::CmdStopEventDownload_Click()
{
    m_unit.events().stop();
}

// Only the pages the unit's archive does not hold yet. The archive is chosen once
// for each unit, known by its banner and its adapter; a first download reads the page
// count's pages.
void EventLogTab::CmdReadNewEvents_Click()
{
    if (!m_portReady())
        return;
    QString archive = session::UnitMemory(m_unit).usableArchive();
    if (archive.isEmpty())
        archive = chooseArchive(m_dialogs);
    if (!archive.isEmpty())
        startArchive(archive, false);
}

// Remembered for the unit only once it has taken the archive.
void EventLogTab::startArchive(const QString &archive, bool appendAnyway)
{
    m_note.clear();
    m_endText.clear();
    QString why;
    if (m_unit.archive().start(archive, pageCount(), &why, appendAnyway)) {
        session::UnitMemory(m_unit).setArchive(archive);
        archiveCaption->setText(QStringLiteral("Archive: ") + QFileInfo(archive).fileName());
        archiveCaption->setToolTip(QDir::toNativeSeparators(archive));
    } else {
        m_dialogs.message(why);
    }
    showProgress();
}

void EventLogTab::askAboutAnotherUnitsArchive(const QString &text)
{
    const QString archive = m_unit.archive().archive();
    switch (m_dialogs.choose(
        text, {QStringLiteral("Choose Another Archive..."), QStringLiteral("Append Anyway")})) {
    case 0:
        if (const QString other = chooseArchive(m_dialogs); !other.isEmpty())
            startArchive(other, false);
        break;
    case 1:
        startArchive(archive, true);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- the event log file

void EventLogTab::Check_Store_Event_Log_Click()
{
    if (!storeBox->isChecked()) {
        stopFiling();
        return;
    }
    m_dialogs.message(Msg::ChooseEventLogFile);
    m_unit.filing().hold(); // lines that arrive while the file is chosen go to it
    const QString path =
        m_dialogs.saveFileName({QStringLiteral("txt"), documentsFolder(), QStringLiteral("Txt Files (*.txt)"),
                                QStringLiteral("Halvo_Event_Log.txt")});
    if (path.isEmpty()) {
        stopFiling(); // cancelled: no file, and the box says so
        return;
    }
    if (!m_unit.filing().start(path)) {
        stopFiling();
        m_dialogs.message(Msg::SaveFileError);
    }
}

void EventLogTab::stopFiling()
{
    m_unit.filing().stop();
    storeBox->setChecked(false);
}

} // namespace halvo::app
