// FormMain: the port list, scanning, connecting, the link indicators, and what the
// window does with what the session hears from the unit.
#include "formmain.h"

#include "location_tab.h"
#include "pass_tab.h"
#include "session/messages.h"
#include "settings_tab.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include <utility>

namespace halvo::app {

namespace Msg = session::Msg;
using port::PortCatalogue;

void FormMain::listenToTheUnit()
{
    using session::UnitSession;
    connect(&m_session, &UnitSession::connectedShownChanged, this, &FormMain::showConnected);
    connect(&m_session, &UnitSession::eventLine, this,
            [this](const QByteArray &line) { m_lines.append(line); });
    // An adapter that was pulled may have left the list stale while its port was open.
    connect(&m_session, &UnitSession::linkLostSignal, this,
            [this] { QTimer::singleShot(0, this, &FormMain::refreshPortList); });
    connect(&m_session, &UnitSession::notice, this, [this](session::Notice what) {
        tell(what == session::Notice::TerminatorError ? Msg::TerminatorError : Msg::CommError);
    });
    connect(&m_session, &UnitSession::passApplied, this, [this](int row, int mode) {
        m_passTab->showRow(row);
        m_passTab->selectOptionMode(mode);
    });
    connect(&m_session, &UnitSession::settingsPageApplied, m_settingsTab, &SettingsTab::showConfiguration);
    connect(&m_session, &UnitSession::locationApplied, m_locationTab, &LocationTab::showAlias);
    connect(&m_session, &UnitSession::storeProgress, savingProgress, &QProgressBar::setValue);
    connect(&m_session, &UnitSession::storeFinished, this, [this](session::StoreOutcome outcome) {
        savingFrame->hide();
        m_passTab->setPassCount(config::PassCount); // a store always ends with all 72 rows
        if (outcome == session::StoreOutcome::Failed)
            m_session.reportSendFailure();
        if (auto then = std::exchange(m_afterStore, nullptr))
            then(outcome);
    });
    // Replies and a changed image re-mark the window once their burst is taken.
    auto marksDue = [this] {
        if (std::exchange(m_marksDue, true))
            return;
        QTimer::singleShot(0, this, [this] {
            m_marksDue = false;
            refreshMarks();
        });
    };
    connect(&m_session, &UnitSession::passApplied, this, marksDue);
    connect(&m_session, &UnitSession::locationApplied, this, marksDue);
    connect(&m_session, &UnitSession::settingsPageApplied, this, marksDue);
    connect(&m_session, &UnitSession::imageChanged, this, marksDue);
    for (TabPage *tab : std::initializer_list<TabPage *>{m_passTab, m_settingsTab, m_locationTab})
        connect(tab, &TabPage::edited, this, &FormMain::refreshMarks);
}

QString FormMain::comPortText() const
{
    return portBox->currentIndex() < 0 ? QStringLiteral("Select Com Port") : portBox->currentText();
}

void FormMain::showConnected(bool connected)
{
    connectedIndicator->setVisible(connected);
    disconnectedIndicator->setVisible(!connected);
}

namespace {
constexpr int PathRole = Qt::UserRole + 1;
} // namespace

// Each entry carries its port number and its device; a scan's entries also what the
// unit said on it.
void FormMain::listPorts(const QList<port::PortEntry> &ports)
{
    portBox->clear();
    for (const port::PortEntry &e : ports) {
        portBox->addItem(PortCatalogue::Port_Entry_Text(e.number, m_heardOn.value(e.path)), e.number);
        portBox->setItemData(portBox->count() - 1, e.path, PathRole);
        portBox->setItemData(portBox->count() - 1, PortCatalogue::Port_Details(e), Qt::ToolTipRole);
    }
}

// Lists the ports that can be opened; nothing is sent and nothing is listened for.
void FormMain::Build_Port_Table()
{
    m_catalogue.refresh();
    listPorts(m_catalogue.openable());
    if (portBox->count() > 0)
        portBox->setCurrentIndex(0);
}

void FormMain::refreshPortList()
{
    // A list that shifted under an open link, or under a scan, would mislead.
    if (m_session.isOpen() || m_scanning || m_closing)
        return;
    const int selected = portBox->currentIndex();
    const QString device = selected >= 0 ? portBox->itemData(selected, PathRole).toString() : QString();
    QStringList before;
    for (int i = 0; i < portBox->count(); ++i)
        before << portBox->itemData(i, PathRole).toString();
    m_catalogue.refresh();
    const QList<port::PortEntry> ports = m_catalogue.openable();
    listPorts(ports);
    int now = -1;
    if (selected >= 0) {
        now = portBox->findData(device, PathRole); // gone: "Select Com Port"
    } else {
        // Nothing was chosen: an adapter that arrives alone is the one.
        QList<int> arrived;
        for (int i = 0; i < ports.size(); ++i)
            if (!before.contains(ports.at(i).path) && PortCatalogue::Is_Usb_Adapter(ports.at(i).path))
                arrived << i;
        if (arrived.size() == 1)
            now = arrived.first();
    }
    portBox->setCurrentIndex(now);
}

void FormMain::CommandRescanPorts_Click()
{
    Scan_For_Units();
}

// Opens each port in turn and listens for the unit's banner; the unit announces
// itself, so nothing is sent.
void FormMain::Scan_For_Units()
{
    if (m_scanning)
        return; // one scan at a time; a second click while listening does nothing
    m_scanning = true;
    portBox->clear();
    m_heardOn.clear();
    tell(Msg::Scanning);
    m_session.clearErrorLatch();
    m_catalogue.refresh();
    const QList<port::PortEntry> entries = m_catalogue.entries();
    for (const port::PortEntry &e : entries) {
        if (m_closing)
            break;
        m_session.showConnected(false);
        m_session.close();
        if (m_session.open(e.path) != session::OpenResult::Opened)
            continue;
        m_session.clearUnitId();
        Pause(m_timing.scanListen);
        if (m_closing)
            break;
        m_heardOn[e.path] = m_session.unitId();
        portBox->addItem(PortCatalogue::Port_Entry_Text(e.number, m_session.unitId()), e.number);
        portBox->setItemData(portBox->count() - 1, e.path, PathRole);
        portBox->setItemData(portBox->count() - 1, e.path, Qt::ToolTipRole);
        m_session.close();
    }
    if (portBox->count() > 0)
        portBox->setCurrentIndex(0);
    m_scanning = false;
}

void FormMain::Cmd_ComPort_Click()
{
    bool ok = false;
    const int number = PortCatalogue::Port_Number_From_Entry(comPortText(), &ok);
    if (!ok) {
        tell(Msg::CommError); // nothing has happened yet; an open port stays open
        return;
    }
    m_selectedPort = number;
    m_session.close();
    if (number <= 0)
        return;
    const port::PortEntry *entry = m_catalogue.find(number);
    if (!entry) {
        tell(Msg::CommError);
        return;
    }
    QString why;
    switch (m_session.open(entry->path, &why)) {
    case session::OpenResult::Opened:
        m_session.showConnected(true);
        break;
    case session::OpenResult::InUse:
    case session::OpenResult::NoPermission:
        tell(why);
        break;
    case session::OpenResult::Failed:
        tell(Msg::CommError);
        break;
    }
}

// Every request asks first while the port is closed, and connects on OK.
bool FormMain::askToOpenThePort()
{
    if (!m_dialogs.question(Msg::OpenPortQuestion))
        return false;
    Cmd_ComPort_Click();
    return m_session.isOpen();
}

void FormMain::TimerDisconnect_Timer()
{
    m_session.watchdogTick();
}

} // namespace halvo::app
