#include "port_panel.h"

#include "logging.h"
#include "operator_dialogs.h"
#include "port/link_switch.h"
#include "session/connection.h"
#include "session/messages.h"
#include "session/run.h"
#include "session/unit_session.h"
#include "ui_helpers.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace halvo::app {

namespace Msg = session::Msg;
using port::PortCatalogue;
using ui::named;
using ui::px;

namespace {
constexpr int PathRole = Qt::UserRole + 1;

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

PortPanel::PortPanel(session::UnitSession &session, OperatorDialogs &dialogs, const PortOptions &options,
                     QWidget *parent)
    : QGroupBox(QStringLiteral("Base Communications"), parent), m_session(session), m_dialogs(dialogs),
      m_watcher(options.portDirs)
{
    setObjectName(QStringLiteral("Frame2"));
    setFixedSize(px(2175), px(1815));
    m_catalogue.setExtraPorts(options.demoLink ? QStringList{port::Demo_Port()} + options.extraPorts
                                               : options.extraPorts);
    m_catalogue.setFolders(options.portDirs);
    auto *v = new QVBoxLayout(this);
    auto *box = new PortBox;
    box->aboutToOpen = [this] { refreshPortList(); };
    portBox =
        named(static_cast<QComboBox *>(box), QStringLiteral("Combo_Com_Port"), QStringLiteral("Com port"));
    portBox->setPlaceholderText(QStringLiteral("Select Com Port"));
    auto *connectButton =
        named(new QPushButton(QStringLiteral("Connect to Base")), QStringLiteral("Cmd_ComPort"));
    scanButton =
        named(new QPushButton(QStringLiteral("Scan For Halvo")), QStringLiteral("CommandRescanPorts"));
    v->addWidget(portBox);
    v->addWidget(connectButton);
    v->addWidget(scanButton);
    connect(connectButton, &QPushButton::clicked, this, &PortPanel::Cmd_ComPort_Click);
    connect(scanButton, &QPushButton::clicked, this, &PortPanel::CommandRescanPorts_Click);
    connect(&m_watcher, &port::PortWatcher::devicesChanged, this, &PortPanel::refreshPortList);
    m_watcher.setBusy([this] { return m_session.isOpen() || m_session.busy(); });
    // An adapter that was pulled may have left the list stale while its port was open.
    connect(&session, &session::UnitSession::linkBroke, this,
            [this] { QTimer::singleShot(0, this, &PortPanel::refreshPortList); });

    Build_Port_Table();
    for (int i = 0; i < portBox->count(); ++i)
        if (!options.preferredPort.isEmpty() &&
            portBox->itemData(i, PathRole).toString() == options.preferredPort)
            portBox->setCurrentIndex(i);
}

QString PortPanel::comPortText() const
{
    return portBox->currentIndex() < 0 ? QStringLiteral("Select Com Port") : portBox->currentText();
}

// Each entry carries its port number and its device; a scan's entries also what the
// unit said on it.
void PortPanel::addPort(const port::PortEntry &e, const QString &heard)
{
    portBox->addItem(PortCatalogue::Port_Entry_Text(e.number, heard), e.number);
    portBox->setItemData(portBox->count() - 1, e.path, PathRole);
    portBox->setItemData(portBox->count() - 1, PortCatalogue::Port_Details(e), Qt::ToolTipRole);
}

void PortPanel::listPorts(const QList<port::PortEntry> &ports)
{
    portBox->clear();
    for (const port::PortEntry &e : ports)
        addPort(e, m_heardOn.value(e.path));
}

// Lists the ports that can be opened; nothing is sent and nothing is listened for.
void PortPanel::Build_Port_Table()
{
    m_catalogue.refresh();
    listPorts(m_catalogue.openable());
    if (portBox->count() > 0)
        portBox->setCurrentIndex(0);
}

void PortPanel::refreshPortList()
{
    // A list that shifted under an open link, or under a scan, would mislead.
    if (m_session.isOpen() || (m_scanning && m_scanning->running()))
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

// Opens each port in turn and listens for the unit's banner; a second click while a
// scan listens does nothing.
void PortPanel::CommandRescanPorts_Click()
{
    if (m_scanning && m_scanning->running())
        return;
    portBox->clear();
    m_heardOn.clear();
    m_dialogs.message(Msg::Scanning);
    qCInfo(lcApp) << "Scan For Halvo";
    m_catalogue.refresh();
    // A scan lists each port that opened with what was heard on it, and shows how far
    // it has come on its button.
    session::Run *scan = m_session.scan(m_catalogue.entries());
    if (!scan->running())
        return;
    m_scanning = scan;
    connect(scan, &session::Run::progressed, this, [this, scan](int i, int n) {
        scanButton->setText(QStringLiteral("Scanning %1 (%2 of %3)...")
                                .arg(PortCatalogue::Port_Entry_Text(scan->port().number).chopped(2))
                                .arg(i + 1)
                                .arg(n));
    });
    connect(scan, &session::Run::heard, this, [this](const port::PortEntry &e, const QString &id) {
        m_heardOn[e.path] = id;
        addPort(e, id);
    });
    connect(scan, &session::Run::finished, this, [this] {
        scanButton->setText(QStringLiteral("Scan For Halvo"));
        if (portBox->count() > 0)
            portBox->setCurrentIndex(0);
    });
}

void PortPanel::Cmd_ComPort_Click()
{
    // The entry carries its port number; "Select Com Port" carries none.
    bool ok = false;
    const int number = portBox->currentData().toInt(&ok);
    if (!ok) {
        m_dialogs.message(Msg::CommError); // nothing has happened yet; an open port stays open
        return;
    }
    m_session.close();
    if (number <= 0)
        return;
    const port::PortEntry *entry = m_catalogue.find(number);
    if (!entry) {
        m_dialogs.message(Msg::CommError);
        return;
    }
    qCInfo(lcApp).noquote() << "Connect to Base:" << entry->path;
    connect(m_session.connectTo(entry->path), &session::Run::finished, this, &PortPanel::connectionEnded);
}

// A port that did not open says why, once the system has been looked into (which
// program holds it, which group is missing).
void PortPanel::connectionEnded(const session::RunResult &end)
{
    if (end.status == session::RunResult::Status::Failed)
        m_dialogs.message(session::Connection::Operator_Text(end.connection, end.why, false));
}

bool PortPanel::askToOpenThePort()
{
    if (!m_dialogs.question(Msg::OpenPortQuestion))
        return false;
    Cmd_ComPort_Click();
    return m_session.isOpen();
}

} // namespace halvo::app
