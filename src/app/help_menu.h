#pragma once

#include <QObject>

class QMenu;

namespace halvo::port {
class PortCatalogue;
}

namespace halvo::app {

class OperatorDialogs;

// The Help menu: "Check This Computer..." (what stands between this user and the
// ports the window lists) and "About".
class HelpMenu : public QObject
{
    Q_OBJECT
public:
    HelpMenu(QMenu *menu, port::PortCatalogue &ports, OperatorDialogs &dialogs);
    // The tool's name, version, Qt version and licence.
    static QString aboutText();

public slots:
    void Menu_Check_Computer_Click();
    void Menu_Help_About_Click();

private:
    port::PortCatalogue &m_ports;
    OperatorDialogs &m_dialogs;
};

} // namespace halvo::app
