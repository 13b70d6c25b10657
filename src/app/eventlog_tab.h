#pragma once

#include "received_lines.h"
#include "tab_page.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace halvo::app {

// "Event Recorder/Logger": the event log pointer, page reads from a chosen start,
// the paced read of the last pages, clearing, and filing the event lines.
class EventLogTab : public TabPage
{
    Q_OBJECT
public:
    EventLogTab(const TabContext &context, const ReceivedLines &lines, QWidget *parent = nullptr);

public slots:
    void CommandReadEventLogPointer_Click();
    void CmdReadEventLogPage_Click();
    void CmdReadLastEventLogPages_Click();
    void CmdClearEventLog_Click();
    void Check_Store_Event_Log_Click();
    void TxtEventLogPagesToDownload_LostFocus();

private:
    void stopFiling();

    QLabel *pointerCaption = nullptr;
    QCheckBox *storeBox = nullptr;
    QLineEdit *startField = nullptr;
    QLineEdit *countField = nullptr;
    const ReceivedLines &m_lines;
};

} // namespace halvo::app
