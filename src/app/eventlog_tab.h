#pragma once

#include "received_lines.h"
#include "session/run.h"

#include "tab_page.h"
#include <QPointer>
#include <QTimer>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace halvo::app {

class EventView;

// "Event Recorder/Logger": the event log pointer, page reads from a chosen start,
// the paced read of the last pages with its progress and Stop, "Read New Events" into
// an archive, clearing, filing the event lines, and a view to find lines in.
class EventLogTab : public TabPage
{
    Q_OBJECT
public:
    EventLogTab(const TabContext &context, const ReceivedLines &lines, QWidget *parent = nullptr);
    ~EventLogTab() override;
    EventView &view() { return *eventView; }

public slots:
    void CommandReadEventLogPointer_Click();
    void CmdReadEventLogPage_Click();
    void CmdReadLastEventLogPages_Click();
    void CmdReadNewEvents_Click();
    void CmdStopEventDownload_Click();
    void CmdClearEventLog_Click();
    void Check_Store_Event_Log_Click();
    void TxtEventLogPagesToDownload_LostFocus();

private:
    QWidget *buildDownloadPanel();
    void stopFiling();
    void showProgress();
    // own: the operator's read of new events, not a collection's.
    void downloadEnded(const session::RunResult &result, bool own);
    int pageCount();

    QLabel *pointerCaption = nullptr;
    QLabel *archiveCaption = nullptr;
    QCheckBox *storeBox = nullptr;
    QLineEdit *startField = nullptr;
    QLineEdit *countField = nullptr;
    QProgressBar *downloadBar = nullptr;
    QLabel *downloadLine = nullptr;
    QPushButton *stopButton = nullptr;
    EventView *eventView = nullptr;
    class Questions;
    std::unique_ptr<Questions> m_questions;
    QPointer<session::Run> m_download;    // the event download shown
    QPointer<session::Run> m_ownDownload; // the operator's read of new events
    QPointer<session::Run> m_filing;
    QString m_note; // what a read of new events was told before it began
    QString m_endText;
};

} // namespace halvo::app
