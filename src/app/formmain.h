#pragma once

#include "config/configuration.h"
#include "help_text.h"
#include "operator_dialogs.h"
#include "port/port_catalogue.h"
#include "port/port_watcher.h"
#include "received_lines.h"
#include "session/unit_session.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTabWidget;
class QTimer;

namespace halvo::app {

class EventLogTab;
class LocationTab;
class PassTab;
class SettingsTab;
class TextBox;

// Waits the window uses; tests shorten them.
struct Timing
{
    double pauseScale = 1.0; // the pauses between a store's frames
    double scanListen = 6.2; // seconds of listening on each port during a scan
};

struct FormOptions
{
    QStringList extraPorts; // listed first in the port list (--port, the demo unit)
    QString preferredPort;  // selected after start-up when listed
    QStringList portDirs;   // folders whose devices are ports too, watched (--port-dir)
};

// The window: the port box, the instructions, the received-data list, the link
// indicators, READ and STORE for the visible tab, the progress frame and the File
// menu, around four tabs. It owns the operator's configuration and the session to
// the unit; the tabs are views over the one and senders through the other.
class FormMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FormMain(const FormOptions &options = {}, QWidget *parent = nullptr);
    ~FormMain() override;

    void setDialogs(std::unique_ptr<OperatorDialogs> dialogs) { m_dialogs.replace(std::move(dialogs)); }
    void setTiming(const Timing &t);
    Tab visibleTab() const;
    port::PortCatalogue &portCatalogue() { return m_catalogue; }
    config::Configuration &configuration() { return m_config; }
    session::UnitSession &session() { return m_session; }
    const ReceivedLines &receivedLines() const { return m_lines; }
    PassTab &passTab() { return *m_passTab; }
    EventLogTab &eventLogTab() { return *m_eventLogTab; }
    // What the port box shows, "Select Com Port" when nothing is selected.
    QString comPortText() const;
    bool isConnectedShown() const { return m_session.connectedShown(); }
    // Waits while the window's events keep running; returns at once for 0 or less.
    void Pause(double seconds);

public slots:
    void Build_Help_Message();
    void CommandClearRecievedData_Click();
    void Command_Read_Config_Click();
    void Command_Store_Config_Click();
    void Build_Port_Table();
    // The list as the devices are now, the selection on its device; not while a port is open.
    void refreshPortList();
    void CommandRescanPorts_Click();
    void Cmd_ComPort_Click();
    void TimerDisconnect_Timer();
    void Menu_Save_Config_Data_Click();
    void Menu_Load_Config_Data_Click();
    // Help > "Check This Computer...": what stands between this user and the ports.
    void Menu_Check_Computer_Click();
    // "Review Changes": what differs from the unit, stored item by item as chosen.
    void CommandReviewChanges_Click();
    // Marks every control that differs from what the unit holds, and counts them.
    void refreshMarks();

signals:
    // The window is closing: waits end early and stores stop.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    QWidget *buildTopRow();
    QWidget *buildBottomRow();
    void listenToTheUnit();
    void tell(const QString &text) { m_dialogs.message(text); }
    bool askToOpenThePort();
    void Scan_For_Units();
    void showConnected(bool connected);
    void listPorts(const QList<port::PortEntry> &ports);
    // Then runs after: with how it ended.
    void startStore(config::StorePlan plan, int range, std::function<void(session::StoreOutcome)> then = {});
    std::vector<config::Difference> changesNotStored() const;
    bool anyPartRead() const;
    void storePasses();
    void storeSettings();
    void storeLocations();

    FormOptions m_options;
    Timing m_timing;
    SilencedOnClose m_dialogs;
    config::Configuration m_config;
    session::UnitSession m_session;
    port::PortCatalogue m_catalogue;
    port::PortWatcher m_portWatcher;
    QHash<QString, QString> m_heardOn; // device -> the identification a scan heard on it
    ReceivedLines m_lines;
    int m_selectedPort = 0;
    bool m_closing = false;
    bool m_scanning = false;
    bool m_marksDue = false;
    std::function<void(session::StoreOutcome)> m_afterStore;

    QComboBox *portBox = nullptr;
    TextBox *helpText = nullptr;
    QTabWidget *tabs = nullptr;
    QLineEdit *disconnectedIndicator = nullptr;
    QLineEdit *connectedIndicator = nullptr;
    QCheckBox *halvoStBox = nullptr;
    QLabel *changesLine = nullptr;
    QGroupBox *savingFrame = nullptr;
    QProgressBar *savingProgress = nullptr;
    QTimer *watchdogTimer = nullptr;
    PassTab *m_passTab = nullptr;
    SettingsTab *m_settingsTab = nullptr;
    LocationTab *m_locationTab = nullptr;
    EventLogTab *m_eventLogTab = nullptr;
};

} // namespace halvo::app
