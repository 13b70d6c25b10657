// FormMain: the window frame (menu, top row, bottom row), start-up, help text,
// Pause, closing, and the READ and STORE buttons that act on the visible tab.
#include "formmain.h"

#include "link/frame.h"
#include "link/serial_link.h"
#include "settings/locations.h"
#include "ui_helpers.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace halvo::app {

using ui::named;
using ui::px;

namespace {
const QString CRLF = QStringLiteral("\r\n");
} // namespace

FormMain::FormMain(const FormOptions &options, QWidget *parent)
    : QMainWindow(parent), m_dialogs(std::make_unique<QtOperatorDialogs>(this)), m_options(options)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Halvo Configuration Tool"));
    m_catalogue.setExtraPorts(options.extraPorts);
    MSComm1 = new link::SerialLink(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1, &link::SerialLink::bytesReceived, this, &FormMain::MSComm1_OnComm);
    connect(MSComm1, &link::SerialLink::linkLost, this, &FormMain::onLinkLost);
    buildUi();
    Form_Load();
}

FormMain::~FormMain()
{
    m_closing = true;
    MSComm1->close();
}

void FormMain::setDialogs(std::unique_ptr<OperatorDialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

void FormMain::tell(const QString &text)
{
    if (!m_closing)
        m_dialogs->message(text);
}

// ---------------------------------------------------------------- layout

void FormMain::buildUi()
{
    auto *fileMenu = menuBar()->addMenu(QStringLiteral("File"));
    Menu_Save_Config_Data = named(fileMenu->addAction(QStringLiteral("Save Config Data")),
                                  QStringLiteral("Menu_Save_Config_Data"));
    Menu_Load_Config_Data = named(fileMenu->addAction(QStringLiteral("Load Config Data")),
                                  QStringLiteral("Menu_Load_Config_Data"));
    connect(Menu_Save_Config_Data, &QAction::triggered, this, &FormMain::Menu_Save_Config_Data_Click);
    connect(Menu_Load_Config_Data, &QAction::triggered, this, &FormMain::Menu_Load_Config_Data_Click);
    menuBar()->addMenu(QStringLiteral("Options"));
    auto *helpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    Menu_Help_About = named(helpMenu->addAction(QStringLiteral("About")), QStringLiteral("Menu_Help_About"));

    auto *central = new QWidget;
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(px(120), px(120), px(120), px(120));
    v->setSpacing(px(105));
    v->addWidget(buildTopRow());

    SSTab1 = named(new QTabWidget(central), QStringLiteral("SSTab1"), QStringLiteral("Configuration tabs"));
    SSTab1->addTab(buildPassTab(), QStringLiteral("Pass Device Configuration "));
    SSTab1->addTab(buildSettingsTab(), QStringLiteral("System Settings"));
    SSTab1->addTab(buildLocationTab(), QStringLiteral("Location Name Configuration"));
    SSTab1->addTab(buildEventLogTab(), QStringLiteral("Event Recorder/Logger"));
    SSTab1->setMinimumWidth(px(14775));
    // The window opens on the event recorder tab, showing the general instructions.
    SSTab1->setCurrentIndex(static_cast<int>(Tab::EventLog));
    connect(SSTab1, &QTabWidget::currentChanged, this, &FormMain::Build_Help_Message);
    connect(SSTab1, &QTabWidget::tabBarClicked, this, &FormMain::Build_Help_Message);
    v->addWidget(SSTab1, 1);
    v->addWidget(buildBottomRow());
    // The content keeps its designed size and scrolls when the window is smaller (a
    // 1366x768 laptop, a display at 200%); the window never grows past the screen.
    auto *scroll = named(new QScrollArea, QStringLiteral("ScrollMain"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(central);
    setCentralWidget(scroll);

    // Enter on a focused button presses it, as Space does.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(true);

    TimerDisconnect = new QTimer(this);
    TimerDisconnect->setObjectName(QStringLiteral("TimerDisconnect"));
    TimerDisconnect->setInterval(1000);
    connect(TimerDisconnect, &QTimer::timeout, this, &FormMain::TimerDisconnect_Timer);
    TimerDisconnect->start();
    Timer_Event_Logger = new QTimer(this);
    Timer_Event_Logger->setObjectName(QStringLiteral("Timer_Event_Logger"));
    Timer_Event_Logger->setInterval(eventlog::EventLogger::StartIntervalMs);
    connect(Timer_Event_Logger, &QTimer::timeout, this, &FormMain::Timer_Event_Logger_Timer);
    Timer_Event_Logger->start();
}

QWidget *FormMain::buildTopRow()
{
    auto *row = new QWidget;
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);

    Frame2 = named(new QGroupBox(QStringLiteral("Base Communications")), QStringLiteral("Frame2"));
    Frame2->setFixedSize(px(2175), px(1815));
    auto *f2 = new QVBoxLayout(Frame2);
    Combo_Com_Port = named(new QComboBox, QStringLiteral("Combo_Com_Port"), QStringLiteral("Com port"));
    Combo_Com_Port->setPlaceholderText(QStringLiteral("Select Com Port"));
    Cmd_ComPort = named(new QPushButton(QStringLiteral("Connect to Base")), QStringLiteral("Cmd_ComPort"));
    CommandRescanPorts =
        named(new QPushButton(QStringLiteral("Scan For Halvo")), QStringLiteral("CommandRescanPorts"));
    f2->addWidget(Combo_Com_Port);
    f2->addWidget(Cmd_ComPort);
    f2->addWidget(CommandRescanPorts);
    connect(Cmd_ComPort, &QPushButton::clicked, this, &FormMain::Cmd_ComPort_Click);
    connect(CommandRescanPorts, &QPushButton::clicked, this, &FormMain::CommandRescanPorts_Click);
    h->addWidget(Frame2);

    Text1 = named(new TextBox, QStringLiteral("Text1"), QStringLiteral("Instructions"));
    Text1->setReadOnly(true);
    Text1->setFixedSize(px(4935), px(1815));
    h->addWidget(Text1);

    Frame5 = named(new QGroupBox(QStringLiteral("Recieved Data")), QStringLiteral("Frame5"));
    Frame5->setMinimumWidth(px(7455));
    Frame5->setFixedHeight(px(1935));
    Frame5->hide(); // shown by start-up
    auto *f5 = new QVBoxLayout(Frame5);
    ListRawSerialData =
        named(new QListWidget, QStringLiteral("ListRawSerialData"), QStringLiteral("Recieved Data"));
    QFont mono(QStringLiteral("Courier New"), 9);
    mono.setStyleHint(QFont::TypeWriter);
    ListRawSerialData->setFont(mono);
    // One line per entry in one font: the list need not measure every entry again
    // each time one is added (a full log download adds 130,000).
    ListRawSerialData->setUniformItemSizes(true);
    ListRawSerialData->hide();
    f5->addWidget(ListRawSerialData);
    h->addWidget(Frame5, 1);
    return row;
}

QWidget *FormMain::buildBottomRow()
{
    auto *row = new QWidget;
    auto *g = new QGridLayout(row);
    g->setContentsMargins(0, 0, 0, 0);

    auto indicator = [](const QString &text, const QString &name, const QColor &bg) {
        auto *e = named(new QLineEdit(text), name, QStringLiteral("Link state"));
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setFixedSize(px(2295), px(495));
        QFont f = e->font();
        f.setBold(true);
        f.setPointSize(12);
        e->setFont(f);
        e->setStyleSheet(QStringLiteral("QLineEdit { color: white; background-color: %1; }").arg(bg.name()));
        return e;
    };
    TextDisConnected =
        indicator(QStringLiteral("DISCONNECTED"), QStringLiteral("TextDisConnected"), QColor(64, 0, 0));
    TextConnected =
        indicator(QStringLiteral("   CONNECTED"), QStringLiteral("TextConnected"), QColor(0, 64, 0));
    TextConnected->hide();
    auto *ind = new QVBoxLayout;
    ind->setSpacing(0);
    ind->addWidget(TextDisConnected);
    ind->addWidget(TextConnected);
    g->addLayout(ind, 0, 0);

    CheckHalvoType = named(new QCheckBox(QStringLiteral("Halvo ST")), QStringLiteral("CheckHalvoType"));
    Command_Read_Config =
        named(new QPushButton(QStringLiteral("&READ CONFIGURATION")), QStringLiteral("Command_Read_Config"));
    Command_Read_Config->setFixedSize(px(3735), px(615));
    Command_Store_Config = named(new QPushButton(QStringLiteral("&STORE CONFIGURATION")),
                                 QStringLiteral("Command_Store_Config"));
    Command_Store_Config->setFixedSize(px(3495), px(615));
    CommandClearRecievedData =
        named(new QPushButton(QStringLiteral("Clear Recieved\nData")),
              QStringLiteral("CommandClearRecievedData"), QStringLiteral("Clear Recieved Data"));
    CommandClearRecievedData->setFixedSize(px(1455), px(855));
    g->addWidget(CheckHalvoType, 0, 1);
    g->addWidget(Command_Read_Config, 0, 2);
    g->addWidget(Command_Store_Config, 0, 3);
    g->addWidget(CommandClearRecievedData, 0, 4);
    connect(Command_Read_Config, &QPushButton::clicked, this, &FormMain::Command_Read_Config_Click);
    connect(Command_Store_Config, &QPushButton::clicked, this, &FormMain::Command_Store_Config_Click);
    connect(CommandClearRecievedData, &QPushButton::clicked, this, &FormMain::CommandClearRecievedData_Click);

    // Shown over the buttons while a multi-frame store runs.
    FrameSavingData =
        named(new QGroupBox, QStringLiteral("FrameSavingData"), QStringLiteral("Saving Data to Halvo"));
    FrameSavingData->setAutoFillBackground(true);
    auto *fs = new QHBoxLayout(FrameSavingData);
    auto *caption = new QLabel(QStringLiteral("Saving Data to Halvo"));
    QFont big = caption->font();
    big.setPointSize(18);
    caption->setFont(big);
    ProgressBarSavingData =
        named(new QProgressBar, QStringLiteral("ProgressBarSavingData"), QStringLiteral("Saving progress"));
    fs->addWidget(caption);
    fs->addWidget(ProgressBarSavingData, 1);
    g->addWidget(FrameSavingData, 0, 1, 1, 3);
    FrameSavingData->hide();
    g->setColumnStretch(5, 1);
    return row;
}

// ---------------------------------------------------------------- start-up

void FormMain::Form_Load()
{
    m_passCount = passes::PassCount;
    m_locationCount = LocationSlots;
    m_receiveErrorLatch = false;
    FrameSavingData->hide();
    m_logger = eventlog::EventLogger{};

    Build_Port_Table();
    if (!m_options.preferredPort.isEmpty()) {
        for (int i = 0; i < Combo_Com_Port->count(); ++i) {
            const auto *e = m_catalogue.find(Combo_Com_Port->itemData(i).toInt());
            if (e && e->path == m_options.preferredPort)
                Combo_Com_Port->setCurrentIndex(i);
        }
    }

    Frame5->show();
    ListRawSerialData->show();
    showConnected(false);
    for (QGroupBox *f : {Frame7, Frame8, Frame13, Frame14, Frame15, Frame16})
        f->hide();
    QSize size(px(15350), px(10695) + menuBar()->sizeHint().height());
    if (const QScreen *s = screen())
        size = size.boundedTo(s->availableGeometry().size() - frameGeometry().size() + geometry().size());
    resize(size);

    ListView1->setColumnCount(passes::ColumnCount);
    ListView1->setHeaderLabels(passes::Column_Headers());
    for (int c = 0; c < passes::ColumnCount; ++c)
        ListView1->setColumnWidth(c, passes::Column_Widths()[static_cast<size_t>(c)]);
    ListView1->setMinimumWidth(px(14100) - 40);

    Init_Display_Priority();

    m_rx = link::ReceiveAssembler{}; // write index 0, line buffer one NUL

    ComboOptionCurrentPassAlarmPortSteering->addItems(passes::Option_Mode_Names());
    ComboOptionCurrentPassAlarmPortSteering->setCurrentIndex(0);

    for (int i = 0; i < LocationSlots; ++i) {
        Text_Location_Name[static_cast<size_t>(i)]->setText(settings::Default_Location_Name(i));
        Lbl_Location_Address[static_cast<size_t>(i)]->setText(settings::Location_Code_Caption(i));
    }

    QList<QTreeWidgetItem *> rows;
    for (int r = 1; r <= m_passCount; ++r) {
        const passes::PassRow texts = passes::Default_Pass_Row(r);
        auto *item = new QTreeWidgetItem;
        for (int c = 0; c < passes::ColumnCount; ++c)
            item->setText(c, texts[static_cast<size_t>(c)]);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        rows.append(item);
    }
    ListView1->addTopLevelItems(rows);
    // The given widths assume the unit's small system font; a column is never
    // narrower than its text here.
    for (int c = 0; c <= passes::ColOptionFlags; ++c) {
        ListView1->resizeColumnToContents(c);
        ListView1->setColumnWidth(
            c, std::max(ListView1->columnWidth(c) + 8, passes::Column_Widths()[static_cast<size_t>(c)]));
    }

    QString help = QStringLiteral(" Halvo Configuration: ") + CRLF;
    for (const char *line :
         {"       - If USB cable to Halvo not connected, Connect it.  ",
          "       - click <Rebuilt Port Table> if USB cable connected after  ",
          "             program started ", "       - Select Halvo com port and click <Connect to Base>   ",
          "       - Click the tab of data you wish to update  "})
        help += QLatin1String(line) + CRLF;
    Text1->setText(help);
}

// ---------------------------------------------------------------- help text

void FormMain::Build_Help_Message()
{
    const int t = SSTab1->currentIndex();
    QString heading;
    QStringList lines;
    if (t <= 0) {
        heading = QStringLiteral("PASS DEVICE CONFIGURATION:  ");
        lines = {QStringLiteral("    - To edit 1 pass at a time:"),
                 QStringLiteral("         1. Select Pass index from list for device to edit  "),
                 QStringLiteral("         2. In the Current Pass index# edit data then click <SAVE> "),
                 QStringLiteral("    - To edit more than 1 pass at a time:"),
                 QStringLiteral("         1. Select checkboxes of  indexs to edit"),
                 QStringLiteral("         2. Edit data  "),
                 QStringLiteral("         3. Click the <Set Selected> Button "),
                 QStringLiteral("    - To store data to Halvo: Click <Store Configuration> ")};
    } else if (t == 1) {
        heading = QStringLiteral("SYSTEM SETTINGS CONFIGURATION:  ");
        lines = {QStringLiteral("    - Set system settings as desired "),
                 QStringLiteral("    - To set Halvo clock to PC clock: click <Set Halvo Clock>"),
                 QStringLiteral("    - To store data to Halvo: Click <Store Configuration> ")};
    } else if (t == 2) {
        heading = QStringLiteral("LOCATION NAME CONFIGURATION:  ");
        lines = {QStringLiteral("    - Enter Alias names for location codes 1-50 "),
                 QStringLiteral("    - Alias can be letter,number,#,Space"),
                 QStringLiteral("    - To store data to Halvo: Click <Store Configuration> ")};
    } else if (t == 3) {
        heading = QStringLiteral("EVENT RECORDER/LOGGER:  ");
        lines = {QStringLiteral("    - To read last event stack location: Click <Read Event Log Point>"),
                 QStringLiteral("    - To read event log: "),
                 QStringLiteral("         1. Select page of evenlog data to start with (0-32480)"),
                 QStringLiteral("         2. Select how many pages to read (up to 250) "),
                 QStringLiteral("         3. NOTE: Each page of data contains 4 events "),
                 QStringLiteral("    -    4. Click <Read Event Log Data> "),
                 QStringLiteral("    - To erase event log: Click <Clear Event Log> ")};
    } else {
        return;
    }
    QString text = heading + CRLF;
    for (const QString &l : lines)
        text += l + CRLF;
    Text1->setText(text);
}

void FormMain::CommandClearRecievedData_Click()
{
    ListRawSerialData->clear();
}

Tab FormMain::visibleTab() const
{
    return static_cast<Tab>(SSTab1->currentIndex());
}

// ---------------------------------------------------------------- read and store

void FormMain::Command_Read_Config_Click()
{
    if (!Ensure_Port_Open())
        return;
    quint8 code = 0;
    switch (visibleTab()) {
    case Tab::Passes:
        code = link::Cmd::ReadPassTable;
        break;
    case Tab::Settings:
        code = link::Cmd::ReadSettings;
        break;
    case Tab::Locations:
        code = link::Cmd::ReadLocations;
        break;
    case Tab::EventLog:
        return; // nothing to read here: the tab has its own buttons
    }
    if (!Write_Frame(link::Build_Short_Request(code)))
        reportSendFailure();
}

void FormMain::Command_Store_Config_Click()
{
    if (!Ensure_Port_Open())
        return;
    switch (visibleTab()) {
    case Tab::Passes:
        Store_Pass_Data();
        break;
    case Tab::Settings:
        Store_Config_Parameters();
        break;
    case Tab::Locations:
        Store_Location_Names();
        break;
    case Tab::EventLog:
        break;
    }
}

// ---------------------------------------------------------------- Pause, closing

void FormMain::Pause(double seconds)
{
    // Monotonic time, so a wait across midnight is as long as any other. The window's
    // events run meanwhile; the thread sleeps in the event loop instead of spinning.
    QElapsedTimer clock;
    clock.start();
    const auto wanted = static_cast<qint64>(seconds * 1000.0);
    if (seconds <= 0 || m_closing)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &FormMain::closing, &loop, &QEventLoop::quit);
    while (!m_closing && clock.elapsed() < wanted) {
        timer.start(static_cast<int>(wanted - clock.elapsed()));
        loop.exec();
    }
}

void FormMain::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    emit closing();
    MSComm1->close();
    event->accept();
}

void FormMain::onFocusLost(QWidget *field, std::function<void()> check)
{
    m_focusChecks[field] = std::move(check);
    field->installEventFilter(this);
}

bool FormMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Leaving the window (another application, a menu) is not leaving the field.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_closing) {
            const auto check = m_focusChecks.find(watched);
            if (check != m_focusChecks.end())
                check->second();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace halvo::app
