#pragma once

#include "tab_page.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace halvo::app {

// "Event Recorder/Logger": the event log pointer, page reads from a chosen start,
// the paced read of the last pages, clearing, and filing the event lines.
class EventLogTab : public TabPage
{
    Q_OBJECT
public:
    explicit EventLogTab(const TabContext &context, QWidget *parent = nullptr);

public slots:
    void CommandReadEventLogPointer_Click();
    void CmdReadEventLogPage_Click();
    void CmdReadLastEventLogPages_Click();
    void CmdClearEventLog_Click();
    void Check_Store_Event_Log_Click();
    void TxtEventLogPagesToDownload_LostFocus();
    void Timer_Event_Logger_Timer();
    void Event_Logger_Tick();

private:
    void stopFiling();

    QLabel *pointerCaption = nullptr;
    QCheckBox *storeBox = nullptr;
    QLineEdit *startField = nullptr;
    QLineEdit *countField = nullptr;
    QTimer *loggerTimer = nullptr;
    bool m_inTick = false;
};

} // namespace halvo::app
