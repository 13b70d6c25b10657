#pragma once

#include "port/link.h"
#include "port/port_catalogue.h"
#include "port/port_watcher.h"
#include "session/run.h"

#include <QGroupBox>
#include <QHash>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QComboBox;
class QPushButton;

namespace halvo::session {
class UnitSession;
}

namespace halvo::app {

class OperatorDialogs;

// Which ports the window lists besides the system's.
struct PortOptions
{
    QStringList extraPorts; // listed first (--port, the demo unit)
    QString preferredPort;  // selected after start-up when listed
    QStringList portDirs;   // folders whose devices are ports too, watched (--port-dir)
    // The demo unit inside the tool, listed first and selected as "demo".
    std::function<std::unique_ptr<port::Link>()> demoLink;
};

// "Base Communications": the port list, "Connect to Base" and "Scan For Halvo". The
// list follows the adapters while no port is open; the selection stays on its
// device when the numbers shift.
class PortPanel : public QGroupBox
{
    Q_OBJECT
public:
    PortPanel(session::UnitSession &session, OperatorDialogs &dialogs, const PortOptions &options,
              QWidget *parent = nullptr);
    port::PortCatalogue &catalogue() { return m_catalogue; }
    // What the port box shows, "Select Com Port" when nothing is selected.
    QString comPortText() const;
    // Every request asks first while the port is closed, and connects on OK.
    bool askToOpenThePort();

public slots:
    void Build_Port_Table();
    // The list as the devices are now, the selection on its device; not while a port
    // is open or a scan listens.
    void refreshPortList();
    void CommandRescanPorts_Click();
    void Cmd_ComPort_Click();

private:
    void listPorts(const QList<port::PortEntry> &ports);
    void addPort(const port::PortEntry &entry, const QString &heard);
    void connectionEnded(const session::RunResult &end);

    session::UnitSession &m_session;
    OperatorDialogs &m_dialogs;
    port::PortCatalogue m_catalogue;
    port::PortWatcher m_watcher;
    QPointer<session::Run> m_scanning; // the scan under way
    QHash<QString, QString> m_heardOn; // device -> the identification a scan heard on it
    QComboBox *portBox = nullptr;
    QPushButton *scanButton = nullptr;
};

} // namespace halvo::app
