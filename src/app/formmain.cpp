// FormMain: the window frame (menu, top row, bottom row), start-up, help text,
// Pause, closing, READ and STORE for the visible tab, and the File menu.
#include "formmain.h"

#include "config/store_plan.h"
#include "datafile/data_file.h"
#include "eventlog_tab.h"
#include "location_tab.h"
#include "pass_tab.h"
#include "port/doctor.h"
#include "session/messages.h"
#include "settings_tab.h"
#include "text_box.h"
#include "ui_helpers.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace halvo::app {

namespace Msg = session::Msg;
using ui::named;
using ui::px;

namespace {
// The port list, refreshed each time the operator opens it.
class PortBox : public QComboBox
{
public:
    std::function<void()> aboutToOpen;
    void showPopup() override
    {
        if (aboutToOpen)
            aboutToOpen();
        QComboBox::showPopup();
    }
};
} // namespace

FormMain::FormMain(const FormOptions &options, QWidget *parent)
    : QMainWindow(parent), m_options(options), m_dialogs(std::make_unique<QtOperatorDialogs>(this)),
      m_portWatcher(options.portDirs)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Halvo Configuration Tool"));
    m_session.setConfiguration(&m_config);
    m_session.setPortCheck([this] { return askToOpenThePort(); });
    m_catalogue.setExtraPorts(options.extraPorts);
    m_catalogue.setFolders(options.portDirs);
    buildUi();
    listenToTheUnit();
    connect(&m_portWatcher, &port::PortWatcher::devicesChanged, this, &FormMain::refreshPortList);

    Build_Port_Table();
    for (int i = 0; i < portBox->count(); ++i) {
        const auto *e = m_catalogue.find(portBox->itemData(i).toInt());
        if (e && !options.preferredPort.isEmpty() && e->path == options.preferredPort)
            portBox->setCurrentIndex(i);
    }
    showConnected(false);
    QSize size(px(15350), px(10695) + menuBar()->sizeHint().height());
    if (const QScreen *s = screen())
        size = size.boundedTo(s->availableGeometry().size() - frameGeometry().size() + geometry().size());
    resize(size);
    helpText->setText(Startup_Help());
    refreshMarks();
}

FormMain::~FormMain()
{
    m_closing = true;
    m_dialogs.silence();
    m_session.stopStore();
    m_session.close();
}

void FormMain::setTiming(const Timing &t)
{
    m_timing = t;
    m_session.setPauseScale(t.pauseScale);
}

// ---------------------------------------------------------------- layout

void FormMain::buildUi()
{
    auto *fileMenu = menuBar()->addMenu(QStringLiteral("File"));
    auto *save = named(fileMenu->addAction(QStringLiteral("Save Config Data")),
                       QStringLiteral("Menu_Save_Config_Data"));
    auto *load = named(fileMenu->addAction(QStringLiteral("Load Config Data")),
                       QStringLiteral("Menu_Load_Config_Data"));
    connect(save, &QAction::triggered, this, &FormMain::Menu_Save_Config_Data_Click);
    connect(load, &QAction::triggered, this, &FormMain::Menu_Load_Config_Data_Click);
    menuBar()->addMenu(QStringLiteral("Options"));
    auto *helpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    auto *check = named(helpMenu->addAction(QStringLiteral("Check This Computer...")),
                        QStringLiteral("Menu_Check_Computer"));
    connect(check, &QAction::triggered, this, &FormMain::Menu_Check_Computer_Click);
    named(helpMenu->addAction(QStringLiteral("About")), QStringLiteral("Menu_Help_About"));

    auto *central = new QWidget;
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(px(120), px(120), px(120), px(120));
    v->setSpacing(px(105));
    v->addWidget(buildTopRow());

    const TabContext context{m_config, m_session, m_dialogs};
    tabs = named(new QTabWidget(central), QStringLiteral("SSTab1"), QStringLiteral("Configuration tabs"));
    tabs->addTab(m_passTab = new PassTab(context), QStringLiteral("Pass Device Configuration "));
    tabs->addTab(m_settingsTab = new SettingsTab(context), QStringLiteral("System Settings"));
    tabs->addTab(m_locationTab = new LocationTab(context), QStringLiteral("Location Name Configuration"));
    tabs->addTab(m_eventLogTab = new EventLogTab(context), QStringLiteral("Event Recorder/Logger"));
    tabs->setMinimumWidth(px(14775));
    // The window opens on the event recorder tab, showing the general instructions.
    tabs->setCurrentIndex(static_cast<int>(Tab::EventLog));
    connect(tabs, &QTabWidget::currentChanged, this, &FormMain::Build_Help_Message);
    connect(tabs, &QTabWidget::tabBarClicked, this, &FormMain::Build_Help_Message);
    v->addWidget(tabs, 1);
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

    watchdogTimer = new QTimer(this);
    watchdogTimer->setObjectName(QStringLiteral("TimerDisconnect"));
    watchdogTimer->setInterval(1000);
    connect(watchdogTimer, &QTimer::timeout, this, &FormMain::TimerDisconnect_Timer);
    watchdogTimer->start();
}

QWidget *FormMain::buildTopRow()
{
    auto *row = new QWidget;
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);

    auto *ports = named(new QGroupBox(QStringLiteral("Base Communications")), QStringLiteral("Frame2"));
    ports->setFixedSize(px(2175), px(1815));
    auto *f2 = new QVBoxLayout(ports);
    auto *box = new PortBox;
    box->aboutToOpen = [this] { refreshPortList(); };
    portBox =
        named(static_cast<QComboBox *>(box), QStringLiteral("Combo_Com_Port"), QStringLiteral("Com port"));
    portBox->setPlaceholderText(QStringLiteral("Select Com Port"));
    auto *connectButton =
        named(new QPushButton(QStringLiteral("Connect to Base")), QStringLiteral("Cmd_ComPort"));
    auto *scanButton =
        named(new QPushButton(QStringLiteral("Scan For Halvo")), QStringLiteral("CommandRescanPorts"));
    f2->addWidget(portBox);
    f2->addWidget(connectButton);
    f2->addWidget(scanButton);
    connect(connectButton, &QPushButton::clicked, this, &FormMain::Cmd_ComPort_Click);
    connect(scanButton, &QPushButton::clicked, this, &FormMain::CommandRescanPorts_Click);
    h->addWidget(ports);

    helpText = named(new TextBox, QStringLiteral("Text1"), QStringLiteral("Instructions"));
    helpText->setReadOnly(true);
    helpText->setFixedSize(px(4935), px(1815));
    h->addWidget(helpText);

    auto *received = named(new QGroupBox(QStringLiteral("Recieved Data")), QStringLiteral("Frame5"));
    received->setMinimumWidth(px(7455));
    received->setFixedHeight(px(1935));
    auto *f5 = new QVBoxLayout(received);
    auto *list = named(new QListView, QStringLiteral("ListRawSerialData"), QStringLiteral("Recieved Data"));
    QFont mono(QStringLiteral("Courier New"), 9);
    mono.setStyleHint(QFont::TypeWriter);
    list->setFont(mono);
    // One line per entry in one font: the list need not measure every entry again
    // each time one is added (a full log download adds 130,000).
    list->setUniformItemSizes(true);
    list->setLayoutMode(QListView::Batched); // laid out a batch at a time, the window live between
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setModel(&m_lines);
    f5->addWidget(list);
    h->addWidget(received, 1);
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
    disconnectedIndicator =
        indicator(QStringLiteral("DISCONNECTED"), QStringLiteral("TextDisConnected"), QColor(64, 0, 0));
    connectedIndicator =
        indicator(QStringLiteral("   CONNECTED"), QStringLiteral("TextConnected"), QColor(0, 64, 0));
    auto *ind = new QVBoxLayout;
    ind->setSpacing(0);
    ind->addWidget(disconnectedIndicator);
    ind->addWidget(connectedIndicator);
    g->addLayout(ind, 0, 0);

    halvoStBox = named(new QCheckBox(QStringLiteral("Halvo ST")), QStringLiteral("CheckHalvoType"));
    auto *read =
        named(new QPushButton(QStringLiteral("&READ CONFIGURATION")), QStringLiteral("Command_Read_Config"));
    read->setFixedSize(px(3735), px(615));
    auto *store = named(new QPushButton(QStringLiteral("&STORE CONFIGURATION")),
                        QStringLiteral("Command_Store_Config"));
    store->setFixedSize(px(3495), px(615));
    auto *clear = named(new QPushButton(QStringLiteral("Clear Recieved\nData")),
                        QStringLiteral("CommandClearRecievedData"), QStringLiteral("Clear Recieved Data"));
    clear->setFixedSize(px(1455), px(855));
    // Beside STORE: the review of what the window holds and the unit does not, and
    // how many fields that is.
    auto *review =
        named(new QPushButton(QStringLiteral("Review Changes")), QStringLiteral("CommandReviewChanges"));
    review->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    review->setToolTip(QStringLiteral("Review Changes (Ctrl+D)"));
    connect(review, &QPushButton::clicked, this, &FormMain::CommandReviewChanges_Click);
    changesLine = named(new QLabel, QStringLiteral("LabelChanges"));
    auto *changes = new QVBoxLayout;
    changes->setSpacing(2);
    changes->addWidget(review);
    changes->addWidget(changesLine);
    g->addWidget(halvoStBox, 0, 1);
    g->addWidget(read, 0, 2);
    g->addWidget(store, 0, 3);
    g->addLayout(changes, 0, 4);
    g->addWidget(clear, 0, 5);
    connect(read, &QPushButton::clicked, this, &FormMain::Command_Read_Config_Click);
    connect(store, &QPushButton::clicked, this, &FormMain::Command_Store_Config_Click);
    connect(clear, &QPushButton::clicked, this, &FormMain::CommandClearRecievedData_Click);

    // Shown over the buttons while a multi-frame store runs.
    savingFrame =
        named(new QGroupBox, QStringLiteral("FrameSavingData"), QStringLiteral("Saving Data to Halvo"));
    savingFrame->setAutoFillBackground(true);
    auto *fs = new QHBoxLayout(savingFrame);
    auto *caption = new QLabel(QStringLiteral("Saving Data to Halvo"));
    QFont big = caption->font();
    big.setPointSize(18);
    caption->setFont(big);
    savingProgress =
        named(new QProgressBar, QStringLiteral("ProgressBarSavingData"), QStringLiteral("Saving progress"));
    fs->addWidget(caption);
    fs->addWidget(savingProgress, 1);
    g->addWidget(savingFrame, 0, 1, 1, 4);
    savingFrame->hide();
    g->setColumnStretch(6, 1);
    return row;
}

// ---------------------------------------------------------------- help text

void FormMain::Build_Help_Message()
{
    const int t = tabs->currentIndex();
    if (t <= static_cast<int>(Tab::EventLog))
        helpText->setText(Tab_Help(static_cast<Tab>(std::max(t, 0))));
}

void FormMain::CommandClearRecievedData_Click()
{
    m_lines.clear();
}

Tab FormMain::visibleTab() const
{
    return static_cast<Tab>(tabs->currentIndex());
}

// ---------------------------------------------------------------- read and store

void FormMain::Command_Read_Config_Click()
{
    if (!m_session.Ensure_Port_Open())
        return;
    switch (visibleTab()) {
    case Tab::Passes:
        m_session.read(session::ReadPart::Passes);
        break;
    case Tab::Settings:
        m_session.read(session::ReadPart::Settings);
        break;
    case Tab::Locations:
        m_session.read(session::ReadPart::Locations);
        break;
    case Tab::EventLog:
        break; // nothing to read here: the tab has its own buttons
    }
}

void FormMain::Command_Store_Config_Click()
{
    if (!m_session.Ensure_Port_Open())
        return;
    switch (visibleTab()) {
    case Tab::Passes:
        storePasses();
        break;
    case Tab::Settings:
        storeSettings();
        break;
    case Tab::Locations:
        storeLocations();
        break;
    case Tab::EventLog:
        break;
    }
}

// A store sends one frame after another, paced, behind the progress frame; the
// window stays live meanwhile. A store started while another paces is ignored.
void FormMain::startStore(config::StorePlan plan, int range, std::function<void(session::StoreOutcome)> then)
{
    if (m_session.storing())
        return;
    savingProgress->setRange(0, range);
    savingProgress->setValue(0);
    savingFrame->show();
    m_afterStore = std::move(then);
    if (!m_session.startStore(std::move(plan))) {
        savingFrame->hide(); // the port is closed: nothing is sent, nothing said
        m_afterStore = nullptr;
    }
}

// The pass table, one frame per row: 72 rows, or 32 for a "Halvo ST" unit. What a
// whole store sent is what the unit holds from then on, as far as the tool can tell.
void FormMain::storePasses()
{
    const int count = halvoStBox->isChecked() ? config::HalvoStPassCount : config::PassCount;
    if (m_session.storing())
        return;
    m_passTab->setPassCount(count);
    startStore(config::Pass_Store_Plan(m_config, count), count,
               [this, sent = m_config, count](session::StoreOutcome outcome) {
                   if (outcome == session::StoreOutcome::Done)
                       m_session.noteStored(session::ReadPart::Passes, sent, count);
               });
    if (!m_session.storing())
        m_passTab->setPassCount(config::PassCount);
}

void FormMain::storeSettings()
{
    if (!m_session.isOpen())
        return;
    const auto frame = config::Settings_Frame(m_config);
    if (!frame)
        m_session.reportSendFailure();
    else if (m_session.send(*frame))
        m_session.noteStored(session::ReadPart::Settings, m_config);
}

// All 50 aliases or none: every frame is built before the first goes out.
void FormMain::storeLocations()
{
    if (m_session.storing())
        return;
    m_locationTab->normaliseAliases(); // names set without leaving their field
    refreshMarks();
    if (const auto plan = config::Location_Store_Plan(m_config))
        startStore(*plan, config::LocationCount, [this, sent = m_config](session::StoreOutcome outcome) {
            if (outcome == session::StoreOutcome::Done)
                m_session.noteStored(session::ReadPart::Locations, sent);
        });
    else
        tell(Msg::CommError);
}

// ---------------------------------------------------------------- File menu

namespace {
FileChoice dataFileChoice(const QString &name)
{
    return {QStringLiteral("csv"), QDir::homePath(), QStringLiteral("CSV Files (*.csv)"), name};
}
} // namespace

void FormMain::Menu_Save_Config_Data_Click()
{
    tell(Msg::ChooseDataFile);
    const QString path = m_dialogs.saveFileName(dataFileChoice(QStringLiteral("Halvo_DataFile.csv")));
    if (path.isEmpty())
        return; // cancelled
    // Every record is built before the file is touched; the old file is replaced only
    // when the new one is whole.
    const auto content = datafile::Build_Data_File(m_config);
    if (!content || !datafile::Save_Data_File(path, *content))
        tell(Msg::SaveFileError);
}

void FormMain::Menu_Load_Config_Data_Click()
{
    const QString path = m_dialogs.openFileName(dataFileChoice(QStringLiteral("Date.csv")));
    if (path.isEmpty())
        return; // cancelled
    // The whole file is read and checked first: a bad record changes no field.
    const auto records = datafile::Load_Data_File(path);
    if (!records) {
        tell(Msg::LoadFileError);
        return;
    }
    // Parameter 0 keeps what it shows; the priority captions are not refreshed.
    datafile::Apply_Records(*records, m_config);
    for (TabPage *tab : std::initializer_list<TabPage *>{m_passTab, m_settingsTab, m_locationTab})
        tab->showConfiguration();
    refreshMarks(); // what the file changed, against what the unit holds
    for (auto r = records->rbegin(); r != records->rend(); ++r)
        if (const auto *p = std::get_if<datafile::PassData>(&*r)) {
            m_passTab->selectOptionMode(p->pass.optionMode); // the last pass record's mode
            break;
        }
}

// ---------------------------------------------------------------- Help menu

void FormMain::Menu_Check_Computer_Click()
{
    m_catalogue.refresh();
    const auto check = port::Check_Computer(port::SystemSnapshot(), m_catalogue.entries());
    m_dialogs.report(QStringLiteral("Check This Computer"), check.lines.join(QLatin1Char('\n')));
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
    // Only parts read from the unit count, so nothing is asked before a read.
    const auto unstored = changesNotStored().size();
    if (!m_closing && unstored > 0 &&
        !m_dialogs.askYesNo(
            unstored == 1
                ? QStringLiteral("1 change is not stored to the unit. Close anyway?")
                : QStringLiteral("%1 changes are not stored to the unit. Close anyway?").arg(unstored))) {
        event->ignore();
        return;
    }
    m_closing = true;
    m_dialogs.silence();
    emit closing();
    m_session.stopStore();
    m_session.close();
    event->accept();
}

} // namespace halvo::app
