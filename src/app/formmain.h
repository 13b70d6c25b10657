#pragma once

#include "config/configuration.h"
#include "operator_dialogs.h"
#include "port_panel.h"
#include "received_lines.h"
#include "session/changes_not_stored.h"
#include "session/unit_session.h"
#include "tab_page.h"

#include <QMainWindow>
#include <QPointer>

class QCheckBox;
class QGroupBox;
class QProgressBar;
class QTabWidget;

namespace halvo::session {
class Run;
}

namespace halvo::app {

class ChangesPanel;
class EventLogTab;
class FileMenu;
class HelpMenu;
class PassTab;
class RecordsMenu;
class TabPage;
class TextBox;

// Waits the window uses; tests shorten them.
using FormOptions = PortOptions;

// The window: the ports, the instructions, the received-data list, the link
// indicators, READ and STORE for the visible tab, the progress frame and the menus,
// around four tabs. It owns the operator's configuration and the session to the
// unit; the tabs are views over the one that reach the unit through the other.
class FormMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FormMain(const FormOptions &options = {}, QWidget *parent = nullptr);
    ~FormMain() override;

    void setDialogs(std::unique_ptr<OperatorDialogs> dialogs) { m_dialogs.replace(std::move(dialogs)); }
    void setTiming(const session::SessionTiming &timing) { m_session.setTiming(timing); }
    config::Part visiblePart() const;
    config::Configuration &configuration() { return m_config; }
    session::UnitSession &session() { return m_session; }
    const ReceivedLines &receivedLines() const { return m_lines; }
    PortPanel &ports() { return *m_ports; }
    FileMenu &fileMenu() { return *m_fileMenu; }
    HelpMenu &helpMenu() { return *m_helpMenu; }
    ChangesPanel &changes() { return *m_changesPanel; }
#ifdef HALVO_HAS_RECORDS
    RecordsMenu &records()
    {
        return *m_records;
    }
#endif
    PassTab &passTab()
    {
        return *m_passTab;
    }
    EventLogTab &eventLogTab()
    {
        return *m_eventLogTab;
    }
    bool isConnectedShown() const;

public slots:
    void Build_Help_Message();
    void CommandClearRecievedData_Click();
    void Command_Read_Config_Click();
    void Command_Store_Config_Click();
    bool Ensure_Port_Open();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    QWidget *buildTopRow();
    QWidget *buildBottomRow();
    void listenToTheSession();
    TabContext tabContext();

    SilencedOnClose m_dialogs;
    config::Configuration m_config;
    session::UnitSession m_session;
    session::ChangesNotStored m_changes{m_config, m_session.image()};
    ReceivedLines m_lines;
    FormOptions m_options;
    bool m_closing = false;

    PortPanel *m_ports = nullptr;
    FileMenu *m_fileMenu = nullptr;
    HelpMenu *m_helpMenu = nullptr;
    ChangesPanel *m_changesPanel = nullptr;
#ifdef HALVO_HAS_RECORDS
    RecordsMenu *m_records = nullptr;
#endif
    TextBox *helpText = nullptr;
    QTabWidget *tabs = nullptr;
    QCheckBox *halvoStBox = nullptr;
    QGroupBox *savingFrame = nullptr;
    QProgressBar *savingProgress = nullptr;
    PassTab *m_passTab = nullptr;
    QPointer<session::Run> m_read; // READ CONFIGURATION under way
    EventLogTab *m_eventLogTab = nullptr;
};

} // namespace halvo::app
