// FormMain: the window frame (menus, top row, bottom row), start-up, help text,
// closing, and READ and STORE for the visible tab.
#include "formmain.h"

#ifdef HALVO_HAS_RECORDS
#include "records_menu.h"
#endif

#include "changes_panel.h"
#include "eventlog_tab.h"
#include "file_menu.h"
#include "help_menu.h"
#include "help_text.h"
#include "link_indicators.h"
#include "location_tab.h"
#include "logging.h"
#include "pass_tab.h"
#include "port/link_switch.h"
#include "session/event_collection.h"
#include "session/event_download.h"
#include "session/messages.h"
#include "session/port_scanner.h"
#include "session/run.h"
#include "session/store_job.h"
#include "settings_tab.h"
#include "text_box.h"
#include "ui_helpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcApp, "halvo.app", QtWarningMsg)

namespace halvo::app {

namespace Msg = session::Msg;
using config::Part;
using ui::named;
using ui::px;

FormMain::FormMain(const FormOptions &options, QWidget *parent)
    : QMainWindow(parent), m_dialogs(std::make_unique<QtOperatorDialogs>(this)),
      m_session(session::Serial_Seams(options.demoLink)), m_options(options)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Halvo Configuration Tool"));
    m_session.setConfiguration(&m_config);
    buildUi();
    listenToTheSession();
    m_session.startWatchdog();
    QSize size(px(15350), px(10695) + menuBar()->sizeHint().height());
    if (const QScreen *s = screen())
        size = size.boundedTo(s->availableGeometry().size() - frameGeometry().size() + geometry().size());
    resize(size);
    helpText->setText(startupHelp());
}

FormMain::~FormMain()
{
    m_closing = true;
    m_dialogs.silence();
}

bool FormMain::isConnectedShown() const
{
    return m_session.connectedShown();
}

// ---------------------------------------------------------------- layout

void FormMain::buildUi()
{
    auto *central = new QWidget;
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(px(120), px(120), px(120), px(120));
    v->setSpacing(px(105));
    v->addWidget(buildTopRow());

    const TabContext context = tabContext();
    tabs = named(new QTabWidget(central), QStringLiteral("SSTab1"), QStringLiteral("Configuration tabs"));
    for (TabPage *tab : std::initializer_list<TabPage *>{m_passTab = new PassTab(context),
                                                      new SettingsTab(context), new LocationTab(context),
                                                      m_eventLogTab = new EventLogTab(context, m_lines)})
        tabs->addTab(tab, config::Part_Title(tab->part()));
    tabs->setMinimumWidth(px(14775));
    // The window opens on the event recorder tab, showing the general instructions.
    tabs->setCurrentWidget(m_eventLogTab);
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

    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    m_fileMenu = new FileMenu(file, m_config, m_session, m_changes, m_dialogs);
    QMenu *options = menuBar()->addMenu(QStringLiteral("Options"));
#ifdef HALVO_HAS_RECORDS
    m_records =
        new RecordsMenu(file, options, m_session, m_config, m_dialogs, m_changesPanel->recordLine(), this);
    m_records->offerWhoChanged(this);
#else
    (void)options;
#endif
    m_helpMenu = new HelpMenu(menuBar()->addMenu(QStringLiteral("Help")), m_ports->catalogue(), m_dialogs,
                              m_session, m_config);

    // Enter on a focused button presses it, as Space does.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(true);
}

QWidget *FormMain::buildTopRow()
{
    auto *row = new QWidget;
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(m_ports = new PortPanel(m_session, m_dialogs, m_options));

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
    g->addWidget(new LinkIndicators(m_session), 0, 0);

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
    m_changesPanel = new ChangesPanel(tabContext());
    g->addWidget(halvoStBox, 0, 1);
    g->addWidget(read, 0, 2);
    g->addWidget(store, 0, 3);
    g->addWidget(m_changesPanel, 0, 4);
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
    // Each frame's progress repaints the bar at once; filled, it is repainted alone,
    // without the frame, its border and its caption behind it.
    savingProgress->setAutoFillBackground(true);
    fs->addWidget(caption);
    fs->addWidget(savingProgress, 1);
    g->addWidget(savingFrame, 0, 1, 1, 4);
    savingFrame->hide();
    g->setColumnStretch(6, 1);
    return row;
}

// What the window shows of the session: its notices, a store's progress frame, the
// received lines.
void FormMain::listenToTheSession()
{
    connect(&m_session, &session::UnitSession::notice, this,
            [this](session::Notice what, const QString &detail) {
                qCInfo(lcApp).noquote() << "the operator is told:" << detail;
                m_dialogs.message(what == session::Notice::TerminatorError ? Msg::TerminatorError
                                                                           : Msg::CommError);
            });
    connect(&m_session, &session::UnitSession::eventLine, this,
            [this](const QByteArray &line) { m_lines.append(line); });
    // A store's progress frame: shown while its frames go out, hidden while the unit
    // is read back.
    connect(&m_session, &session::UnitSession::runStarted, this, [this](session::Run *run) {
        if (run->kind() != session::Run::Kind::Store)
            return;
        connect(run, &session::Run::stageChanged, this, [this, run](session::Run::Stage stage) {
            if (stage == session::Run::Stage::Checking) {
                savingFrame->hide();
                return;
            }
            savingProgress->setRange(0, run->total());
            savingProgress->setValue(0);
            savingFrame->show();
        });
        connect(run, &session::Run::progressed, savingProgress, &QProgressBar::setValue);
        connect(run, &session::Run::finished, this, [this](const session::RunResult &result) {
            savingFrame->hide();
            m_passTab->setPassCount(config::PassCount); // a store always ends with all 72 rows
            // What the unit did not take, or that it did not answer the read back: told once.
            if (result.store == session::StoreOutcome::NotTaken ||
                result.store == session::StoreOutcome::NoAnswer)
                m_dialogs.message(result.why);
        });
    });
}

TabContext FormMain::tabContext()
{
    return {m_config, m_session, m_changes, m_dialogs, [this] { return Ensure_Port_Open(); }};
}

// The question every sender asks while the port is closed, asked here and only
// here: the tabs, READ and STORE, and the review's Store Selected come through it.
bool FormMain::Ensure_Port_Open()
{
    return m_session.isOpen() || m_ports->askToOpenThePort();
}

// ---------------------------------------------------------------- help text

void FormMain::Build_Help_Message()
{
    if (const auto *tab = qobject_cast<const TabPage *>(tabs->currentWidget()))
        helpText->setText(tabHelp(tab->part()));
}

void FormMain::CommandClearRecievedData_Click()
{
    m_lines.clear();
}

config::Part FormMain::visiblePart() const
{
    return static_cast<const TabPage *>(tabs->currentWidget())->part();
}

// ---------------------------------------------------------------- read and store

// The visible tab's part; on the event recorder tab nothing is read or stored (it
// has buttons of its own).
void FormMain::Command_Read_Config_Click()
{
    qCInfo(lcApp) << "READ CONFIGURATION on" << config::Part_Title(visiblePart());
    if (!Ensure_Port_Open() || visiblePart() == Part::EventLog)
        return;
    if (m_read)
        m_read->stop(); // READ again asks again, as the operator means it
    m_read = m_session.read({visiblePart()});
}

// A store sends one frame after another, paced, behind the progress frame; the
// window stays live meanwhile. Passes: 72 rows, or 32 for a "Halvo ST" unit.
void FormMain::Command_Store_Config_Click()
{
    qCInfo(lcApp) << "STORE CONFIGURATION on" << config::Part_Title(visiblePart());
    if (!Ensure_Port_Open() || visiblePart() == Part::EventLog)
        return;
    const int passCount = halvoStBox->isChecked() ? config::HalvoStPassCount : config::PassCount;
    if (visiblePart() == Part::Locations)
        m_config.normaliseAliases(); // names set without leaving their field, as leaving it does
    if (m_session.store(visiblePart(), m_config, passCount)->running() && visiblePart() == Part::Passes)
        m_passTab->setPassCount(passCount);
}

// ---------------------------------------------------------------- closing

void FormMain::closeEvent(QCloseEvent *event)
{
    // Only parts read from the unit count, so nothing is asked before a read.
    const auto unstored = m_changes.differences().size();
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
    m_session.stopJobs();
    m_session.close();
    event->accept();
}

} // namespace halvo::app
