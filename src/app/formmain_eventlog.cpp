// FormMain, Event Recorder/Logger tab: the event log pointer, page reads, clearing
// and the event log file.
#include "formmain.h"

#include "ui_helpers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
    // The event log commands come with their own change.
    for (QWidget *w :
         std::initializer_list<QWidget *>{CommandReadEventLogPointer, CmdReadLastEventLogPages,
                                          Check_Store_Event_Log, CmdReadEventLogPage, CmdClearEventLog})
        w->setEnabled(false);
    return tab;
}

// The event log pointer is read with its own change; until then its reply is taken
// and left alone.
bool FormMain::Decode_Event_Log_Pointer(const QByteArray &)
{
    return true;
}

} // namespace halvo::app
