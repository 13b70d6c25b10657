#include "eventlog_tab.h"

#include "eventlog/event_requests.h"
#include "operator_dialogs.h"
#include "session/event_download.h"
#include "session/event_filing.h"
#include "session/messages.h"
#include "session/receive_path.h"
#include "session/unit_session.h"
#include "settings/config_params.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace halvo::app {

namespace Msg = session::Msg;
using ui::describes;
using ui::named;

EventLogTab::EventLogTab(const TabContext &context, const ReceivedLines &lines, QWidget *parent)
    : TabPage(config::Part::EventLog, context, parent), m_lines(lines)
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
    g->setRowStretch(6, 1);
    g->setColumnStretch(2, 1);

    connect(&m_unit.receive(), &session::ReceivePath::pointerReceived, this,
            [this](int shown) { pointerCaption->setText(QString::number(shown)); });
    connect(&m_unit.filing(), &session::EventFiling::failed, this, [this] {
        stopFiling();
        m_dialogs.message(Msg::SaveFileError);
    });
}

void EventLogTab::CommandReadEventLogPointer_Click()
{
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
    m_unit.readPages(first, *count);
}

void EventLogTab::CmdClearEventLog_Click()
{
    m_unit.clearEventLog();
}

void EventLogTab::TxtEventLogPagesToDownload_LostFocus()
{
    if (!eventlog::Page_Count_Ok(countField->text()))
        countField->setText(QStringLiteral("1"));
}

// ---------------------------------------------------------------- the paced read

// The read is planned with a page count the unit can serve.
void EventLogTab::CmdReadLastEventLogPages_Click()
{
    TxtEventLogPagesToDownload_LostFocus();
    m_unit.events().start(settings::Param_Value(countField->text()).value_or(1));
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
        m_dialogs.saveFileName({QStringLiteral("txt"), QDir::homePath(), QStringLiteral("Txt Files (*.txt)"),
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
