// FormMain: construction, start-up, help text, Pause and closing.
#include "formmain.h"

#include "link/serial_link.h"

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
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <type_traits>

namespace halvo::app {

namespace {
const QString CRLF = QStringLiteral("\r\n");

// Twips to pixels.
constexpr int px(int twips)
{
    return twips / 15;
}

template <class W> W *named(W *w, const QString &name, const QString &accessible = {})
{
    w->setObjectName(name);
    if constexpr (std::is_base_of_v<QWidget, W>)
        w->setAccessibleName(accessible.isEmpty() ? name : accessible);
    return w;
}

QString indexed(const char *name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

const char *const ConfigDescriptions[] = {
    "Spare Index 0",
    "Backlight Display Intensity",
    "Backlight Timeout (sec)",
    "Enable Beep",
    "Pass Auto Scroll Time",
    "Global Pass Timeout",
    "Low Battery Timeout",
    "Default Passes to Display",
    "USB Mode",
    "Alarm On Signal Loss",
    "Spare Index 10",
    "Spare Index 11",
    "Spare Index 12",
    "Spare Index 13",
    "Spare Index 14",
    "Spare Index 15",
    "Alarm Priority",
    "Pass Device On Priority",
    "Pass Device Off Priority",
    "No Pass Data Priority",
    "Hide un-Set Pass",
    "Signal Timeout Priority",
    "EVAC Display Priority",
    "Spare Index 23",
    "Spare Index 24",
    "Spare Index 25",
    "All recieved data",
    "Only stored pass device",
    "Attached Pass state change",
    "Attached Connects/Disconnects",
    "Attached Alarms/Reset",
    "Spare Index 31",
    "Spare Index 32",
};
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
    // The data file arrives with its own change; until then the entries say so.
    for (QAction *a : {Menu_Save_Config_Data, Menu_Load_Config_Data}) {
        a->setEnabled(false);
        a->setToolTip(QStringLiteral("Not available in this version"));
    }
    menuBar()->addMenu(QStringLiteral("Options"));
    auto *helpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    Menu_Help_About = named(helpMenu->addAction(QStringLiteral("About")), QStringLiteral("Menu_Help_About"));

    auto *central = new QWidget(this);
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(px(120), px(120), px(120), px(120));
    v->setSpacing(px(105));
    v->addWidget(buildTopRow());

    SSTab1 = named(new QTabWidget(central), QStringLiteral("SSTab1"), QStringLiteral("Configuration tabs"));
    SSTab1->addTab(buildPassTab(), QStringLiteral("Pass Device Configuration "));
    SSTab1->addTab(buildSettingsTab(), QStringLiteral("System Settings"));
    SSTab1->addTab(buildLocationTab(), QStringLiteral("Location Name Configuration"));
    SSTab1->addTab(buildEventLogTab(), QStringLiteral("Event Recorder/Logger"));
    SSTab1->setMinimumSize(px(14775), px(7455));
    // The window opens on the event recorder tab, showing the general instructions.
    SSTab1->setCurrentIndex(3);
    connect(SSTab1, &QTabWidget::currentChanged, this, &FormMain::Build_Help_Message);
    connect(SSTab1, &QTabWidget::tabBarClicked, this, &FormMain::Build_Help_Message);
    connect(SSTab1, &QTabWidget::currentChanged, this, &FormMain::updateTabButtons);
    v->addWidget(SSTab1, 1);
    v->addWidget(buildBottomRow());
    setCentralWidget(central);

    TimerDisconnect = new QTimer(this);
    TimerDisconnect->setObjectName(QStringLiteral("TimerDisconnect"));
    TimerDisconnect->setInterval(1000);
    connect(TimerDisconnect, &QTimer::timeout, this, &FormMain::TimerDisconnect_Timer);
    TimerDisconnect->start();
    Timer_Event_Logger = new QTimer(this);
    Timer_Event_Logger->setObjectName(QStringLiteral("Timer_Event_Logger"));
    Timer_Event_Logger->setInterval(500);
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
    Cmd_ComPort = named(new QPushButton(QStringLiteral("Connect to Base")), QStringLiteral("Cmd_ComPort"),
                        QStringLiteral("Connect to Base"));
    CommandRescanPorts = named(new QPushButton(QStringLiteral("Scan For Halvo")),
                               QStringLiteral("CommandRescanPorts"), QStringLiteral("Scan For Halvo"));
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

    CheckHalvoType = named(new QCheckBox(QStringLiteral("Halvo ST")), QStringLiteral("CheckHalvoType"),
                           QStringLiteral("Halvo ST"));
    Command_Read_Config = named(new QPushButton(QStringLiteral("READ CONFIGURATION")),
                                QStringLiteral("Command_Read_Config"), QStringLiteral("READ CONFIGURATION"));
    Command_Read_Config->setFixedSize(px(3735), px(615));
    Command_Store_Config =
        named(new QPushButton(QStringLiteral("STORE CONFIGURATION")), QStringLiteral("Command_Store_Config"),
              QStringLiteral("STORE CONFIGURATION"));
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

QWidget *FormMain::buildPassTab()
{
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);

    auto *tableFrame = new QGroupBox;
    auto *tv = new QVBoxLayout(tableFrame);
    ListView1 = named(new QTreeWidget, QStringLiteral("ListView1"), QStringLiteral("Pass table"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setMinimumHeight(px(3495));
    tv->addWidget(ListView1);
    connect(ListView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item, int) { ListView1_ItemClick(item); });
    v->addWidget(tableFrame, 1);

    FrameCurrentRecord =
        named(new QGroupBox(QStringLiteral("Current Pass Index#")), QStringLiteral("FrameCurrentRecord"));
    auto *ed = new QHBoxLayout(FrameCurrentRecord);

    // Index and the four text fields.
    auto *fields = new QGridLayout;
    LabelCurrentPassIndex = named(new QLabel(QStringLiteral("01")), QStringLiteral("LabelCurrentPassIndex"),
                                  QStringLiteral("Current Pass Index#"));
    QFont bold = LabelCurrentPassIndex->font();
    bold.setBold(true);
    bold.setPointSize(12);
    LabelCurrentPassIndex->setFont(bold);
    fields->addWidget(LabelCurrentPassIndex, 0, 0, 1, 2);
    auto field = [&](int r, const QString &label, const QString &name, const QString &text) {
        auto *e = named(new QLineEdit(text), name, label);
        auto *l = new QLabel(label);
        l->setBuddy(e);
        fields->addWidget(l, r, 0);
        fields->addWidget(e, r, 1);
        return e;
    };
    TextCurrentPassUsername =
        field(1, QStringLiteral("Username 16-Characters"), QStringLiteral("TextCurrentPassUsername"),
              QStringLiteral("Username Pass X"));
    TextPassCurrentSysId = field(2, QStringLiteral("SYS ID 01-FE"), QStringLiteral("TextPassCurrentSysId"),
                                 QStringLiteral("F0"));
    TextPassCurrentUserId = field(3, QStringLiteral("USER ID 01-99"), QStringLiteral("TextPassCurrentUserId"),
                                  QStringLiteral("01"));
    TextPassCurrentSignalTimeout = field(4, QStringLiteral("Signal Timeout"),
                                         QStringLiteral("TextPassCurrentSignalTimeout"), QStringLiteral("0"));
    for (QLineEdit *e : {TextPassCurrentSysId, TextPassCurrentUserId, TextPassCurrentSignalTimeout})
        e->installEventFilter(this);
    ed->addLayout(fields);

    // Port steering: 16 boxes in one row, bit 15 at the left, so they read like the bit text.
    auto portRow = [&](std::array<QCheckBox *, 16> &boxes, const char *name, const QString &what) {
        auto *h = new QHBoxLayout;
        h->setSpacing(0);
        for (int k = 15; k >= 0; --k) {
            auto *c = named(new QCheckBox, indexed(name, k), QStringLiteral("%1 port %2").arg(what).arg(k));
            c->setToolTip(QStringLiteral("Port %1").arg(k));
            boxes[static_cast<size_t>(k)] = c;
            h->addWidget(c);
            if (k % 4 == 0 && k > 0)
                h->addSpacing(6);
        }
        return h;
    };
    auto *ports = new QVBoxLayout;
    auto *alarmFrame = new QGroupBox(QStringLiteral("Port Steering On Alarm"));
    alarmFrame->setLayout(portRow(CheckCurrentPassAlarmPortSteering, "CheckCurrentPassAlarmPortSteering",
                                  QStringLiteral("Port Steering On Alarm")));
    ports->addWidget(alarmFrame);
    auto *optionFrame = new QGroupBox(QStringLiteral("Port Steering on Option"));
    auto *of = new QVBoxLayout(optionFrame);
    auto *ofTop = new QHBoxLayout;
    ComboOptionCurrentPassAlarmPortSteering =
        named(new QComboBox, QStringLiteral("ComboOptionCurrentPassAlarmPortSteering"),
              QStringLiteral("Option mode"));
    TextCurrentPassOptionPortSteering =
        named(new QLineEdit(QStringLiteral("0")), QStringLiteral("TextCurrentPassOptionPortSteering"),
              QStringLiteral("Option trigger"));
    TextCurrentPassOptionPortSteering->setMaximumWidth(60);
    ofTop->addWidget(ComboOptionCurrentPassAlarmPortSteering, 1);
    ofTop->addWidget(TextCurrentPassOptionPortSteering);
    of->addLayout(ofTop);
    of->addLayout(portRow(CheckCurrentPassOptionPortSteering, "CheckCurrentPassOptionPortSteering",
                          QStringLiteral("Port Steering on Option")));
    ports->addWidget(optionFrame);
    ed->addLayout(ports);

    // Option flags: two columns of four, each box with its label to its left.
    auto *flagsFrame = new QGroupBox(QStringLiteral("Option Flags"));
    auto *fg = new QGridLayout(flagsFrame);
    const QStringList flagNames = {QStringLiteral("Out of Range Option"),
                                   QStringLiteral("Transmit Alarm Ack")};
    for (int k = 0; k < 8; ++k) {
        const QString text = k < flagNames.size() ? flagNames.at(k) : QStringLiteral("NA");
        auto *l = named(new QLabel(text), indexed("LabelCurrentPassOption", k));
        auto *c = named(new QCheckBox, indexed("CheckCurrentPassOption", k),
                        QStringLiteral("Option flag %1 %2").arg(k).arg(text));
        l->setBuddy(c);
        LabelCurrentPassOption[static_cast<size_t>(k)] = l;
        CheckCurrentPassOption[static_cast<size_t>(k)] = c;
        fg->addWidget(l, k % 4, (k / 4) * 2);
        fg->addWidget(c, k % 4, (k / 4) * 2 + 1);
    }
    ed->addWidget(flagsFrame);

    auto *buttons = new QVBoxLayout;
    auto button = [&](const QString &text, const QString &name) {
        auto *b = named(new QPushButton(text), name, text);
        buttons->addWidget(b);
        return b;
    };
    CommandCurrentPassSave = button(QStringLiteral("SAVE"), QStringLiteral("CommandCurrentPassSave"));
    CommandCurrentPassClear = button(QStringLiteral("CLEAR"), QStringLiteral("CommandCurrentPassClear"));
    CommandSetSelectedPasses =
        button(QStringLiteral("Set Selected"), QStringLiteral("CommandSetSelectedPasses"));
    CommandLoadAllPasses = button(QStringLiteral("Set All"), QStringLiteral("CommandLoadAllPasses"));
    connect(CommandCurrentPassSave, &QPushButton::clicked, this, &FormMain::CommandCurrentPassSave_Click);
    connect(CommandCurrentPassClear, &QPushButton::clicked, this, &FormMain::CommandCurrentPassClear_Click);
    connect(CommandSetSelectedPasses, &QPushButton::clicked, this, &FormMain::CommandSetSelectedPasses_Click);
    connect(CommandLoadAllPasses, &QPushButton::clicked, this, &FormMain::CommandLoadAllPasses_Click);
    ed->addLayout(buttons);

    v->addWidget(FrameCurrentRecord);
    return tab;
}

QWidget *FormMain::buildSettingsTab()
{
    auto *tab = new QWidget;
    auto *h = new QHBoxLayout(tab);

    // Every parameter has a value field and limit captions; the ones an operator may
    // not change live in hidden holder frames but still carry data.
    for (int i = 0; i < ConfigParams; ++i) {
        const QString desc = QString::fromLatin1(ConfigDescriptions[i]);
        Text_Config_Parameters[static_cast<size_t>(i)] =
            named(new QLineEdit(QStringLiteral("0")), indexed("Text_Config_Parameters", i), desc);
        Label_Config_Parameters_Max[static_cast<size_t>(i)] =
            named(new QLabel(QStringLiteral("0")), indexed("Label_Config_Parameters_Max", i),
                  desc + QStringLiteral(" maximum"));
        Label_Config_Parameters_Min[static_cast<size_t>(i)] =
            named(new QLabel(QStringLiteral("0")), indexed("Label_Config_Parameters_Min", i),
                  desc + QStringLiteral(" minimum"));
        Label_Config_Parameters_Default[static_cast<size_t>(i)] =
            named(new QLabel(QStringLiteral("0")), indexed("Label_Config_Parameters_Default", i),
                  desc + QStringLiteral(" default"));
        Label_Config_Parameters_Description[static_cast<size_t>(i)] =
            named(new QLabel(desc), indexed("Label_Config_Parameters_Description", i));
    }
    for (int i : {3, 9, 20, 26, 27, 28, 29, 30})
        CheckConfigParameters[static_cast<size_t>(i)] =
            named(new QCheckBox(QString::fromLatin1(ConfigDescriptions[i])),
                  indexed("CheckConfigParameters", i), QString::fromLatin1(ConfigDescriptions[i]));

    auto holder = [](const QString &name, const QString &title) {
        auto *f = named(new QGroupBox(title), name);
        new QGridLayout(f);
        return f;
    };
    Frame7 = holder(QStringLiteral("Frame7"), {});
    Frame8 = holder(QStringLiteral("Frame8"), {});
    Frame13 = holder(QStringLiteral("Frame13"), QStringLiteral("Data Logger Setup boxes"));
    Frame14 = holder(QStringLiteral("Frame14"), QStringLiteral("Pass Display Priority"));
    Frame15 = holder(QStringLiteral("Frame15"), QStringLiteral("System Settings"));
    Frame16 = holder(QStringLiteral("Frame16"), {});
    auto hold = [](QGroupBox *frame, int i, QWidget *w0, QWidget *w1, QWidget *w2, QWidget *w3) {
        auto *g = static_cast<QGridLayout *>(frame->layout());
        int c = 0;
        for (QWidget *w : {w0, w1, w2, w3})
            if (w)
                g->addWidget(w, i, c++);
    };

    // "System Settings": value fields of 1, 2, 4..8, then the switches 3 and 9.
    auto *sys =
        named(new QGroupBox(QStringLiteral("System Settings")), QStringLiteral("FrameSystemSettings"));
    auto *sg = new QGridLayout(sys);
    const QStringList heads = {QStringLiteral("Configuration Parameter"), QStringLiteral("Value"),
                               QStringLiteral("Max Value"), QStringLiteral("Min Value"),
                               QStringLiteral("Default Value")};
    for (int c = 0; c < heads.size(); ++c)
        sg->addWidget(new QLabel(heads.at(c)), 0, c);
    int r = 1;
    for (int i : {1, 2, 4, 5, 6, 7, 8}) {
        const auto s = static_cast<size_t>(i);
        sg->addWidget(Label_Config_Parameters_Description[s], r, 0);
        sg->addWidget(Text_Config_Parameters[s], r, 1);
        sg->addWidget(Label_Config_Parameters_Max[s], r, 2);
        sg->addWidget(Label_Config_Parameters_Min[s], r, 3);
        sg->addWidget(Label_Config_Parameters_Default[s], r, 4);
        Text_Config_Parameters[s]->setMaximumWidth(60);
        ++r;
    }
    for (int i : {3, 9})
        sg->addWidget(CheckConfigParameters[static_cast<size_t>(i)], r++, 0, 1, 2);
    sg->setRowStretch(r, 1);
    h->addWidget(sys);

    // "Pass Display Priority ": six positions; 1 and 6 cannot move.
    auto *prio = named(new QGroupBox(QStringLiteral("Pass Display Priority ")),
                       QStringLiteral("FramePassDisplayPriority"));
    auto *pg = new QGridLayout(prio);
    const char *const classNames[] = {"",
                                      "Alarm Priority",
                                      "EVAC Display Priority",
                                      "Signal Timeout Priority",
                                      "Pass Device On Priority",
                                      "Pass Device Off Priority",
                                      "No Pass Data Priority"};
    for (int p = 1; p <= 6; ++p) {
        const auto s = static_cast<size_t>(p);
        OptionPassDisplayPriority[s] = named(new QRadioButton, indexed("OptionPassDisplayPriority", p),
                                             QStringLiteral("Priority position %1").arg(p));
        LabelPassDisplayPriority[s] = named(new QLabel, indexed("LabelPassDisplayPriority", p),
                                            QStringLiteral("Priority position %1").arg(p));
        LabelPassDisplayPriorityFixed[s] = named(new QLabel(QString::fromLatin1(classNames[p])),
                                                 indexed("LabelPassDisplayPriorityFixed", p));
        hold(Frame14, p, LabelPassDisplayPriorityFixed[s], nullptr, nullptr, nullptr);
        pg->addWidget(new QLabel(QString::number(p)), p - 1, 0);
        pg->addWidget(OptionPassDisplayPriority[s], p - 1, 1);
        pg->addWidget(LabelPassDisplayPriority[s], p - 1, 2);
        OptionPassDisplayPriority[s]->setVisible(p != 1 && p != 6);
    }
    CommandDisplayPriorityUp = named(new QPushButton(QStringLiteral("Up")),
                                     QStringLiteral("CommandDisplayPriorityUp"), QStringLiteral("Up"));
    CommandDisplayPriorityDown = named(new QPushButton(QStringLiteral("Down")),
                                       QStringLiteral("CommandDisplayPriorityDown"), QStringLiteral("Down"));
    pg->addWidget(CommandDisplayPriorityUp, 6, 1, 1, 2);
    pg->addWidget(CommandDisplayPriorityDown, 7, 1, 1, 2);
    pg->addWidget(CheckConfigParameters[20], 8, 0, 1, 3);
    pg->setRowStretch(9, 1);
    h->addWidget(prio);

    auto *right = new QVBoxLayout;
    auto *logger =
        named(new QGroupBox(QStringLiteral("Data Logger Setup ")), QStringLiteral("FrameDataLoggerSetup"));
    auto *lg = new QVBoxLayout(logger);
    auto *explain = new QLabel(QStringLiteral("Select what data to log in event logger.  Attached device are "
                                              "those configured in Pass Configuration"));
    explain->setWordWrap(true);
    lg->addWidget(explain);
    for (int i = 26; i <= 30; ++i)
        lg->addWidget(CheckConfigParameters[static_cast<size_t>(i)]);
    lg->addStretch(1);
    right->addWidget(logger);
    CommandSetSystemClock = named(new QPushButton(QStringLiteral("Set Halvo Clock")),
                                  QStringLiteral("CommandSetSystemClock"), QStringLiteral("Set Halvo Clock"));
    right->addWidget(CommandSetSystemClock);
    right->addStretch(1);
    h->addLayout(right);

    // Hidden holders of the parameters the tab does not show, and of the limit
    // captions of the switches.
    for (int i = 0; i < ConfigParams; ++i) {
        const auto s = static_cast<size_t>(i);
        if (i == 1 || i == 2 || (i >= 4 && i <= 8))
            continue; // shown in the "System Settings" group
        QGroupBox *frame = (i >= 16 && i <= 22)   ? Frame14
                           : (i >= 26 && i <= 30) ? Frame13
                                                  : (i < 16 ? Frame15 : Frame16);
        hold(frame, i + 10, Text_Config_Parameters[s], Label_Config_Parameters_Max[s],
             Label_Config_Parameters_Min[s], Label_Config_Parameters_Default[s]);
        if (i == 3 || i == 9)
            hold(Frame7, i, Label_Config_Parameters_Description[s], nullptr, nullptr, nullptr);
        else
            hold(Frame8, i, Label_Config_Parameters_Description[s], nullptr, nullptr, nullptr);
    }
    for (QGroupBox *f : {Frame7, Frame8, Frame13, Frame14, Frame15})
        right->addWidget(f);
    h->addWidget(Frame16);

    // Reading, checking and storing the settings come with their own change; until
    // then the fields are shown but cannot be edited.
    for (auto *e : Text_Config_Parameters)
        e->setReadOnly(true);
    for (auto *c : CheckConfigParameters)
        if (c)
            c->setEnabled(false);
    for (auto *b : {CommandDisplayPriorityUp, CommandDisplayPriorityDown, CommandSetSystemClock})
        b->setEnabled(false);
    return tab;
}

QWidget *FormMain::buildLocationTab()
{
    auto *tab = new QWidget;
    auto *h = new QHBoxLayout(tab);
    for (int group = 0; group < 5; ++group) {
        auto *frame = new QGroupBox(QStringLiteral("Name Location Addresses"));
        auto *g = new QGridLayout(frame);
        for (int k = 0; k < 10; ++k) {
            const int slot = group * 10 + k;
            const auto s = static_cast<size_t>(slot);
            Lbl_Location_Address[s] = named(new QLabel, indexed("Lbl_Location_Address", slot));
            Text_Location_Name[s] = named(new QLineEdit, indexed("Text_Location_Name", slot),
                                          QStringLiteral("Location %1 name").arg(slot + 1));
            // Reading and storing the names come with their own change.
            Text_Location_Name[s]->setReadOnly(true);
            Lbl_Location_Address[s]->setBuddy(Text_Location_Name[s]);
            g->addWidget(Lbl_Location_Address[s], k, 0);
            g->addWidget(Text_Location_Name[s], k, 1);
        }
        h->addWidget(frame);
    }
    return tab;
}

QWidget *FormMain::buildEventLogTab()
{
    auto *tab = new QWidget;
    auto *g = new QGridLayout(tab);
    CommandReadEventLogPointer =
        named(new QPushButton(QStringLiteral("Read Event Log Pointer Page")),
              QStringLiteral("CommandReadEventLogPointer"), QStringLiteral("Read Event Log Pointer Page"));
    LabelEventLogPointerData =
        named(new QLabel(QStringLiteral("0")), QStringLiteral("LabelEventLogPointerData"),
              QStringLiteral("Event log pointer"));
    CmdReadLastEventLogPages =
        named(new QPushButton(QStringLiteral("Read Last # of Pages of Events")),
              QStringLiteral("CmdReadLastEventLogPages"), QStringLiteral("Read Last # of Pages of Events"));
    Check_Store_Event_Log =
        named(new QCheckBox(QStringLiteral("Store Event Log Data")), QStringLiteral("Check_Store_Event_Log"),
              QStringLiteral("Store Event Log Data"));
    TxtEventLogPageStart = named(new QLineEdit(QStringLiteral("0")), QStringLiteral("TxtEventLogPageStart"),
                                 QStringLiteral("Start Page (0-32,480)"));
    TxtEventLogPagesToDownload =
        named(new QLineEdit(QStringLiteral("1")), QStringLiteral("TxtEventLogPagesToDownload"),
              QStringLiteral("Pages to Download (1-32480)"));
    CmdReadEventLogPage =
        named(new QPushButton(QStringLiteral("Read Event From selected Start")),
              QStringLiteral("CmdReadEventLogPage"), QStringLiteral("Read Event From selected Start"));
    CmdClearEventLog = named(new QPushButton(QStringLiteral("Clear Event Log")),
                             QStringLiteral("CmdClearEventLog"), QStringLiteral("Clear Event Log"));
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

// ---------------------------------------------------------------- start-up

void FormMain::Form_Load()
{
    m_passCount = passes::PassCount;
    m_locationCount = LocationSlots;
    m_receiveErrorLatch = false;
    FrameSavingData->hide();
    Logger_State = 0;

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
    resize(px(15350), px(10695) + menuBar()->sizeHint().height());

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
        const int c = i + 1;
        QString name = QStringLiteral("Location Name ") + QString::number(c);
        if (c < 10)
            name += QLatin1Char(' ');
        Text_Location_Name[static_cast<size_t>(i)]->setText(name);
        Lbl_Location_Address[static_cast<size_t>(i)]->setText(QStringLiteral("0x") + QString::number(c / 16) +
                                                              QString::number(c % 16, 16).toUpper());
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
    updateTabButtons();
}

void FormMain::Init_Display_Priority()
{
    // Class q belongs to config parameter Priority_Class_Param[q]; start-up puts
    // every class at its own position.
    static constexpr std::array<int, 7> Priority_Class_Param = {0, 16, 22, 21, 17, 18, 19};
    for (int q = 1; q <= 6; ++q) {
        const auto s = static_cast<size_t>(q);
        m_priorityPositionParam[s] = Priority_Class_Param[s];
        Text_Config_Parameters[static_cast<size_t>(Priority_Class_Param[s])]->setText(QString::number(q));
        m_priorityClassNames[s] = LabelPassDisplayPriorityFixed[s]->text();
        LabelPassDisplayPriority[s]->setText(m_priorityClassNames[s]);
    }
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

// READ and STORE act on the visible tab. Until the settings and location transfers
// are built, the buttons are off on those tabs rather than silently doing nothing.
void FormMain::updateTabButtons()
{
    const int t = SSTab1->currentIndex();
    const bool available = t == 0 || t == 3;
    for (QPushButton *b : {Command_Read_Config, Command_Store_Config}) {
        b->setEnabled(available);
        b->setToolTip(available ? QString() : QStringLiteral("Not available for this tab in this version"));
    }
}

void FormMain::CommandClearRecievedData_Click()
{
    ListRawSerialData->clear();
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

bool FormMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Leaving the window (another application, a menu) is not leaving the field.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_closing) {
            if (watched == TextPassCurrentSysId)
                TextPassCurrentSysId_LostFocus();
            else if (watched == TextPassCurrentUserId)
                TextPassCurrentUserId_LostFocus();
            else if (watched == TextPassCurrentSignalTimeout)
                TextPassCurrentSignalTimeout_LostFocus();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace halvo::app
