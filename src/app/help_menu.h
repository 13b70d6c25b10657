#pragma once

#include <QObject>

class QMenu;

namespace halvo::port {
class PortCatalogue;
}
namespace halvo::config {
class Configuration;
}
namespace halvo::session {
class UnitSession;
}

namespace halvo::app {

class OperatorDialogs;

// The Help menu: "Check This Computer..." (what stands between this user and the
// ports the window lists), "Save Support File..." (one text file to send with a
// problem report) and "About".
class HelpMenu : public QObject
{
    Q_OBJECT
public:
    HelpMenu(QMenu *menu, port::PortCatalogue &ports, OperatorDialogs &dialogs, session::UnitSession &session,
             const config::Configuration &config);
    // The tool's name, version, Qt version and licence.
    static QString aboutText();

public slots:
    void Menu_Check_Computer_Click();
    void Menu_Save_Support_File_Click();
    void Menu_Help_About_Click();

private:
    // The device the window is connected through, if any.
    QString openHere() const;

    port::PortCatalogue &m_ports;
    OperatorDialogs &m_dialogs;
    session::UnitSession &m_session;
    const config::Configuration &m_config;
};

} // namespace halvo::app
