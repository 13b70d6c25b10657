// FormMain, Event Recorder/Logger tab: the event log pointer, page reads, clearing
// and the event log file.
#include "formmain.h"

#include "eventlog/event_requests.h"
#include "link/field_text.h"
#include "ui_helpers.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <utility>

namespace halvo::app {

using ui::describes;
using ui::named;

QWidget *FormMain::buildEventLogTab()
{
    auto *tab = new QWidget;
    auto *g = new QGridLayout(tab);
    CommandReadEventLogPointer = named(new QPushButton(QStringLiteral("Read Event Log Pointer Page")),
                                       QStringLiteral("CommandReadEventLogPointer"));
    LabelEventLogPointerData =
        describes(named(new QLabel(QStringLiteral("0")), QStringLiteral("LabelEventLogPointerData")),
                  QStringLiteral("Event log pointer"));
    CmdReadLastEventLogPages = named(new QPushButton(QStringLiteral("Read Last # of Pages of Events")),
                                     QStringLiteral("CmdReadLastEventLogPages"));
    Check_Store_Event_Log =
        named(new QCheckBox(QStringLiteral("Store Event Log Data")), QStringLiteral("Check_Store_Event_Log"));
    TxtEventLogPageStart = named(new QLineEdit(QStringLiteral("0")), QStringLiteral("TxtEventLogPageStart"),
                                 QStringLiteral("Start Page (0-32,480)"));
    TxtEventLogPagesToDownload =
        named(new QLineEdit(QStringLiteral("1")), QStringLiteral("TxtEventLogPagesToDownload"),
              QStringLiteral("Pages to Download (1-32480)"));
    CmdReadEventLogPage = named(new QPushButton(QStringLiteral("Read Event From selected Start")),
                                QStringLiteral("CmdReadEventLogPage"));
    CmdClearEventLog =
        named(new QPushButton(QStringLiteral("Clear Event Log")), QStringLiteral("CmdClearEventLog"));
    g->addWidget(CommandReadEventLogPointer, 0, 0);
    g->addWidget(LabelEventLogPointerData, 0, 1);
    g->addWidget(CmdReadLastEventLogPages, 1, 0);
    g->addWidget(Check_Store_Event_Log, 1, 1);
    g->addWidget(
        new QLabel(QStringLiteral("Start Page (0-32,480)                 Pages to Download (1-32480)")), 2, 0,
        1, 2);
    g->addWidget(TxtEventLogPageStart, 3, 0);
    g->addWidget(TxtEventLogPagesToDownload, 3, 1);
    g->addWidget(CmdReadEventLogPage, 4, 0);
    g->addWidget(CmdClearEventLog, 5, 0);
    g->setRowStretch(6, 1);
    g->setColumnStretch(2, 1);
    connect(CommandReadEventLogPointer, &QPushButton::clicked, this,
            &FormMain::CommandReadEventLogPointer_Click);
    connect(CmdReadEventLogPage, &QPushButton::clicked, this, &FormMain::CmdReadEventLogPage_Click);
    connect(CmdReadLastEventLogPages, &QPushButton::clicked, this, &FormMain::CmdReadLastEventLogPages_Click);
    connect(CmdClearEventLog, &QPushButton::clicked, this, &FormMain::CmdClearEventLog_Click);
    connect(Check_Store_Event_Log, &QCheckBox::clicked, this, &FormMain::Check_Store_Event_Log_Click);
    onFocusLost(TxtEventLogPagesToDownload, [this] { TxtEventLogPagesToDownload_LostFocus(); });
    return tab;
}

// ---------------------------------------------------------------- requests

bool FormMain::Read_Event_Log_Pointer()
{
    if (!Ensure_Port_Open())
        return false;
    if (Write_Frame(eventlog::Build_Pointer_Request()))
        return true;
    reportSendFailure();
    return false;
}

// Asks for the count pages that end just before start and leaves the first of them
// in start.
bool FormMain::Read_Event_Log_Pages(int &start, int count)
{
    if (!Ensure_Port_Open())
        return false;
    start = eventlog::First_Page(start, count);
    const auto frame = eventlog::Build_Page_Request(start, count); // a count above 255 cannot be sent
    if (!frame || !Write_Frame(*frame)) {
        reportSendFailure();
        return false;
    }
    m_linkWatchdog = 0;
    return true;
}

void FormMain::CommandReadEventLogPointer_Click()
{
    Read_Event_Log_Pointer();
}

void FormMain::CmdReadEventLogPage_Click()
{
    // Text that is no number is refused before anything is sent.
    const auto start = link::Round_Int16(TxtEventLogPageStart->text());
    const auto count = link::Round_Int16(TxtEventLogPagesToDownload->text());
    if (!start || !count) {
        tell(Msg::InvalidValue);
        if (!start)
            TxtEventLogPageStart->setText(QStringLiteral("0"));
        if (!count)
            TxtEventLogPagesToDownload->setText(QStringLiteral("1"));
        return;
    }
    int first = *start;
    Read_Event_Log_Pages(first, *count);
}

void FormMain::CmdClearEventLog_Click()
{
    if (Ensure_Port_Open() && !Write_Frame(eventlog::Build_Clear_Request()))
        reportSendFailure();
}

void FormMain::TxtEventLogPagesToDownload_LostFocus()
{
    if (!eventlog::Page_Count_Ok(TxtEventLogPagesToDownload->text()))
        TxtEventLogPagesToDownload->setText(QStringLiteral("1"));
}

bool FormMain::Decode_Event_Log_Pointer(const QByteArray &reply)
{
    const auto pointer = eventlog::Decode_Event_Log_Pointer(reply);
    if (!pointer)
        return false;
    LabelEventLogPointerData->setText(QString::number(*pointer));
    return true;
}

// ---------------------------------------------------------------- the paced logger

void FormMain::CmdReadLastEventLogPages_Click()
{
    m_logger.Start();
    Timer_Event_Logger->setInterval(m_logger.intervalMs());
}

void FormMain::Timer_Event_Logger_Timer()
{
    Event_Logger_Tick();
}

void FormMain::Event_Logger_Tick()
{
    if (m_inLoggerTick || m_closing)
        return; // the previous tick is still asking the operator to open the port
    m_inLoggerTick = true;
    if (m_logger.state() == eventlog::EventLogger::State::Plan)
        TxtEventLogPagesToDownload_LostFocus(); // plan with a page count the unit can serve
    const auto action = m_logger.Tick(LabelEventLogPointerData->text().toInt(),
                                      link::Round_Int16(TxtEventLogPagesToDownload->text()).value_or(1));
    Timer_Event_Logger->setInterval(m_logger.intervalMs());
    using Kind = eventlog::EventLogger::Action::Kind;
    int start = action.start;
    const bool sent = action.kind == Kind::None ||
                      (action.kind == Kind::ReadPointer ? Read_Event_Log_Pointer()
                                                        : Read_Event_Log_Pages(start, action.count));
    if (!sent)
        m_logger.Stop(); // nothing went out: the read is abandoned rather than asked again and again
    m_inLoggerTick = false;
}

// ---------------------------------------------------------------- the event log file

void FormMain::Check_Store_Event_Log_Click()
{
    if (!Check_Store_Event_Log->isChecked()) {
        stopStoringEventLog();
        return;
    }
    tell(Msg::ChooseEventLogFile);
    const QString path = m_closing ? QString()
                                   : m_dialogs->saveFileName({QStringLiteral("txt"), QDir::homePath(),
                                                              QStringLiteral("Txt Files (*.txt)"),
                                                              QStringLiteral("Halvo_Event_Log.txt")});
    if (path.isEmpty()) {
        stopStoringEventLog(); // cancelled: no file, and the box says so
        return;
    }
    if (!m_eventLogFile.open(path)) {
        stopStoringEventLog();
        tell(Msg::SaveFileError);
        return;
    }
    QStringList messages;
    const QList<QByteArray> waiting = std::exchange(m_eventLinesWaiting, {});
    for (const QByteArray &line : waiting)
        storeEventLine(line, messages);
    for (const QString &m : messages)
        tell(m);
}

void FormMain::storeEventLine(const QByteArray &line, QStringList &messages)
{
    if (!Check_Store_Event_Log->isChecked())
        return;
    if (!m_eventLogFile.isOpen()) {
        m_eventLinesWaiting << line; // the file is being chosen: it gets the line when open
        return;
    }
    if (!m_eventLogFile.write(line)) {
        stopStoringEventLog(); // told once, not once per line
        messages << Msg::SaveFileError;
    }
}

void FormMain::stopStoringEventLog()
{
    m_eventLogFile.close();
    m_eventLinesWaiting.clear();
    Check_Store_Event_Log->setChecked(false);
}

// ---------------------------------------------------------------- the unit's clock

void FormMain::CommandSetSystemClock_Click()
{
    if (!Ensure_Port_Open())
        return;
    if (!Write_Frame(eventlog::Build_Clock_Request(QDateTime::currentDateTime())) && !m_receiveErrorLatch)
        reportSendFailure();
}

} // namespace halvo::app
