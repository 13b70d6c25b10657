#pragma once

#include "datafile/data_file.h"
#include "eventlog/event_log_file.h"
#include "eventlog/event_logger.h"
#include "link/messages.h"
#include "link/port_catalogue.h"
#include "link/receive_assembler.h"
#include "link/reply_router.h"
#include "link/serial_link.h"
#include "operator_dialogs.h"
#include "passes/pass_codec.h"
#include "settings/display_priority.h"
#include "text_box.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace halvo::app {

namespace Msg = link::Msg;

// Waits the tool uses, in seconds; tests shorten them.
struct Timing
{
    double passFramePause = 0.2;
    double locationFramePause = 0.3;
    double scanListen = 6.2;
};

struct FormOptions
{
    QStringList extraPorts; // listed first in the port list (--port, the demo unit)
    QString preferredPort;  // selected after start-up when listed
};

// The four tabs of SSTab1, in their order.
enum class Tab { Passes = 0, Settings = 1, Locations = 2, EventLog = 3 };

// The main window. It is the data model: every value read from or stored to the
// unit lives in one of its controls, held as text. Each tab's widgets and handlers
// live in a file of their own (formmain_passes.cpp, formmain_settings.cpp, ...).
class FormMain : public QMainWindow, public link::ReplyHandlers
{
    Q_OBJECT
public:
    explicit FormMain(const FormOptions &options = {}, QWidget *parent = nullptr);
    ~FormMain() override;

    void setDialogs(std::unique_ptr<OperatorDialogs> dialogs);
    OperatorDialogs &dialogs() { return *m_dialogs; }
    void setTiming(const Timing &t) { m_timing = t; }
    link::PortCatalogue &portCatalogue() { return m_catalogue; }
    Tab visibleTab() const;

    // ================================================================ window frame
    QGroupBox *Frame2 = nullptr;
    QComboBox *Combo_Com_Port = nullptr;
    QPushButton *Cmd_ComPort = nullptr;
    QPushButton *CommandRescanPorts = nullptr;
    TextBox *Text1 = nullptr;
    QGroupBox *Frame5 = nullptr;
    QListWidget *ListRawSerialData = nullptr;
    QTabWidget *SSTab1 = nullptr;
    QLineEdit *TextDisConnected = nullptr;
    QLineEdit *TextConnected = nullptr;
    QCheckBox *CheckHalvoType = nullptr;
    QPushButton *Command_Read_Config = nullptr;
    QPushButton *Command_Store_Config = nullptr;
    QPushButton *CommandClearRecievedData = nullptr;
    QGroupBox *FrameSavingData = nullptr;
    QProgressBar *ProgressBarSavingData = nullptr;
    QTimer *TimerDisconnect = nullptr;
    QTimer *Timer_Event_Logger = nullptr;
    link::SerialLink *MSComm1 = nullptr;
    QAction *Menu_Save_Config_Data = nullptr;
    QAction *Menu_Load_Config_Data = nullptr;
    QAction *Menu_Help_About = nullptr;

    // Waits while the window's events keep running; returns at once for 0 or less.
    void Pause(double seconds);

public slots:
    void Build_Help_Message();
    void CommandClearRecievedData_Click();
    void Command_Read_Config_Click();
    void Command_Store_Config_Click();

    // ================================================================ link (formmain_link.cpp)
public:
    int linkWatchdog() const { return m_linkWatchdog; }
    QString unitIdentification() const { return m_unitId; }
    int selectedPort() const { return m_selectedPort; }
    bool receiveErrorLatch() const { return m_receiveErrorLatch; }
    const link::ReceiveAssembler &receiveAssembler() const { return m_rx; }
    // What the combo box shows, "Select Com Port" when nothing is selected.
    QString comPortText() const;
    bool isConnectedShown() const;

    // Writes one whole frame to the open port. False when it could not be written.
    bool Write_Frame(const QByteArray &frame);
    // True when the port is open, after asking to open it if it was not.
    bool Ensure_Port_Open();

public slots:
    void Build_Port_Table();
    void CommandRescanPorts_Click();
    void Cmd_ComPort_Click();
    void TimerDisconnect_Timer();
    void MSComm1_OnComm();

    // ================================================================ pass tab (formmain_passes.cpp)
public:
    QTreeWidget *ListView1 = nullptr;
    QGroupBox *FrameCurrentRecord = nullptr;
    QLabel *LabelCurrentPassIndex = nullptr;
    QLineEdit *TextCurrentPassUsername = nullptr;
    QLineEdit *TextPassCurrentSysId = nullptr;
    QLineEdit *TextPassCurrentUserId = nullptr;
    QLineEdit *TextPassCurrentSignalTimeout = nullptr;
    std::array<QCheckBox *, 16> CheckCurrentPassAlarmPortSteering{};
    QComboBox *ComboOptionCurrentPassAlarmPortSteering = nullptr;
    QLineEdit *TextCurrentPassOptionPortSteering = nullptr;
    std::array<QCheckBox *, 16> CheckCurrentPassOptionPortSteering{};
    std::array<QCheckBox *, 8> CheckCurrentPassOption{};
    std::array<QLabel *, 8> LabelCurrentPassOption{};
    QPushButton *CommandCurrentPassSave = nullptr;
    QPushButton *CommandCurrentPassClear = nullptr;
    QPushButton *CommandSetSelectedPasses = nullptr;
    QPushButton *CommandLoadAllPasses = nullptr;

    qint16 passCount() const { return m_passCount; }
    // The text of one pass table cell, and a whole row (row 1..72).
    QString passCell(int row, int column) const;
    passes::PassRow passRow(int row) const;
    void setPassRow(int row, const passes::PassRow &texts);
    bool isPassRowChecked(int row) const;
    void setPassRowChecked(int row, bool checked);
    bool Decode_Pass_Record(const QByteArray &reply) override;

public slots:
    void Store_Pass_Data();
    void ListView1_ItemClick(QTreeWidgetItem *item);
    void CommandCurrentPassSave_Click();
    void CommandCurrentPassClear_Click();
    void CommandSetSelectedPasses_Click();
    void CommandLoadAllPasses_Click();
    void TextPassCurrentSysId_LostFocus();
    void TextPassCurrentUserId_LostFocus();
    void TextPassCurrentSignalTimeout_LostFocus();

    // ================================================================ settings tab (formmain_settings.cpp)
public:
    static constexpr int ConfigParams = 33; // index 32 exists but is never sent
    std::array<QLineEdit *, ConfigParams> Text_Config_Parameters{};
    std::array<QLabel *, ConfigParams> Label_Config_Parameters_Max{};
    std::array<QLabel *, ConfigParams> Label_Config_Parameters_Min{};
    std::array<QLabel *, ConfigParams> Label_Config_Parameters_Default{};
    std::array<QLabel *, ConfigParams> Label_Config_Parameters_Description{};
    std::array<QCheckBox *, ConfigParams> CheckConfigParameters{}; // only the on/off switches
    std::array<QRadioButton *, 7> OptionPassDisplayPriority{};     // positions 1..6
    std::array<QLabel *, 7> LabelPassDisplayPriority{};
    std::array<QLabel *, 7> LabelPassDisplayPriorityFixed{};
    QPushButton *CommandDisplayPriorityUp = nullptr;
    QPushButton *CommandDisplayPriorityDown = nullptr;
    QPushButton *CommandSetSystemClock = nullptr;
    QGroupBox *Frame7 = nullptr, *Frame8 = nullptr, *Frame13 = nullptr, *Frame14 = nullptr,
              *Frame15 = nullptr, *Frame16 = nullptr;

    // The texts of config parameters 0..31.
    settings::ParamTexts configTexts() const;
    // Writes a parameter's field as a reply or a loaded file does: a switch's box
    // follows the value.
    void setConfigValue(int index, const QString &text);
    bool Decode_Settings_Page(const QByteArray &reply) override;

public slots:
    void Text_Config_Parameters_LostFocus(int index);
    void CheckConfigParameters_Click(int index);
    void CommandDisplayPriorityUp_Click();
    void CommandDisplayPriorityDown_Click();
    void Store_Config_Parameters();

    // ================================================================ location tab (formmain_locations.cpp)
public:
    static constexpr int LocationSlots = 50;
    std::array<QLabel *, LocationSlots> Lbl_Location_Address{};
    std::array<QLineEdit *, LocationSlots> Text_Location_Name{};

    qint16 locationCount() const { return m_locationCount; }
    bool Decode_Location_Reply(const QByteArray &reply) override;

public slots:
    void Text_Location_Name_LostFocus(int index);
    void Store_Location_Names();

    // ================================================================ event recorder tab
    // (formmain_eventlog.cpp)
public:
    QPushButton *CommandReadEventLogPointer = nullptr;
    QLabel *LabelEventLogPointerData = nullptr;
    QPushButton *CmdReadLastEventLogPages = nullptr;
    QCheckBox *Check_Store_Event_Log = nullptr;
    QLineEdit *TxtEventLogPageStart = nullptr;
    QLineEdit *TxtEventLogPagesToDownload = nullptr;
    QPushButton *CmdReadEventLogPage = nullptr;
    QPushButton *CmdClearEventLog = nullptr;

    const eventlog::EventLogger &eventLogger() const { return m_logger; }
    bool eventLogFileOpen() const { return m_eventLogFile.isOpen(); }
    // The requests of the tab; false when nothing was sent.
    bool Read_Event_Log_Pointer();
    bool Read_Event_Log_Pages(int &start, int count);
    void Event_Logger_Tick();
    bool Decode_Event_Log_Pointer(const QByteArray &reply) override;

public slots:
    void CommandReadEventLogPointer_Click();
    void CmdReadEventLogPage_Click();
    void CmdReadLastEventLogPages_Click();
    void CmdClearEventLog_Click();
    void Check_Store_Event_Log_Click();
    void TxtEventLogPagesToDownload_LostFocus();
    void Timer_Event_Logger_Timer();
    // "Set Halvo Clock", on the System Settings tab.
    void CommandSetSystemClock_Click();

    // ================================================================ File menu (formmain_datafile.cpp)
public:
    // Everything the window holds of the unit's configuration, as field texts.
    datafile::Configuration configuration() const;

public slots:
    void Menu_Save_Config_Data_Click();
    void Menu_Load_Config_Data_Click();

signals:
    // The window is closing: waits end early and multi-frame sends stop.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // window frame (formmain.cpp)
    void buildUi();
    QWidget *buildTopRow();
    QWidget *buildBottomRow();
    void Form_Load();
    void tell(const QString &text);
    // Runs check when the operator moves the focus out of field.
    void onFocusLost(QWidget *field, std::function<void()> check);

    // link (formmain_link.cpp)
    void Scan_For_Units();
    void showConnected(bool connected);
    void onLinkLost(const QString &reason);
    QString portOpenFailureText(const QString &path, link::SerialLink::OpenError error) const;
    void reportSendFailure();
    // False, with the progress frame hidden, when the port is closed; false as well
    // while another store paces.
    bool storeCanStart();
    enum class StoreOutcome { Done, Failed, Ignored };
    // Sends count frames, frameAt(i) building frame i, one every pauseSeconds behind
    // the progress frame. Stops on a frame that cannot be built or written, and when
    // the window closes; a store started while another paces is ignored.
    StoreOutcome Paced_Store(int count, double pauseSeconds,
                             const std::function<std::optional<QByteArray>(int)> &frameAt);

    // pass tab
    QWidget *buildPassTab();
    void Write_Editor_Into_Row(int row);

    // settings tab
    QWidget *buildSettingsTab();
    void Init_Display_Priority();
    void movePriority(bool up);
    void setPriorityBytes(const settings::ParamTexts &values);
    void showPriorityCaptions(const settings::DisplayPriority::Captions &captions);

    // location tab
    QWidget *buildLocationTab();

    // event recorder tab
    QWidget *buildEventLogTab();
    // Every event line the unit sends goes to the event log file while the box is
    // checked; a failure is added to messages once.
    void storeEventLine(const QByteArray &line, QStringList &messages);
    void stopStoringEventLog();

    std::unique_ptr<OperatorDialogs> m_dialogs;
    Timing m_timing;
    FormOptions m_options;
    link::PortCatalogue m_catalogue;
    link::ReceiveAssembler m_rx;
    std::unordered_map<const QObject *, std::function<void()>> m_focusChecks;

    qint16 m_passCount = 72;
    qint16 m_locationCount = 50;
    bool m_receiveErrorLatch = false;
    int m_linkWatchdog = 0;
    QString m_unitId;
    int m_selectedPort = 0;
    settings::DisplayPriority m_priority;
    eventlog::EventLogger m_logger;
    eventlog::EventLogFile m_eventLogFile;
    QList<QByteArray> m_eventLinesWaiting; // arrived while the event log file was being chosen
    bool m_inLoggerTick = false;

    bool m_inReceive = false;    // a receive event is being processed
    bool m_linkLostTold = false; // the operator was told the link broke; senders stay quiet
    bool m_closing = false;
    bool m_storing = false;
    bool m_scanning = false;
};

} // namespace halvo::app
