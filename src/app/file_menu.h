#pragma once

#include <QObject>

class QMenu;

namespace halvo::config {
class Configuration;
}

namespace halvo::app {

class OperatorDialogs;

// The File menu: the configuration kept in a data file and loaded back. Loading
// changes the configuration only; what differs from the unit is then marked, and
// nothing is sent.
class FileMenu : public QObject
{
    Q_OBJECT
public:
    FileMenu(QMenu *menu, config::Configuration &config, OperatorDialogs &dialogs);

public slots:
    void Menu_Save_Config_Data_Click();
    void Menu_Load_Config_Data_Click();

private:
    config::Configuration &m_config;
    OperatorDialogs &m_dialogs;
};

} // namespace halvo::app
