#pragma once

#include "datafile/data_file.h"
#include "report/config_sheet.h"

#include <QObject>

class QMenu;

namespace halvo::config {
class Configuration;
}
namespace halvo::session {
class ChangesNotStored;
class UnitSession;
} // namespace halvo::session

namespace halvo::app {

class OperatorDialogs;

// The File menu: the configuration kept in a data file and loaded back, the
// configuration sheet printed or exported as a PDF to sign and keep, and the roster
// and location names exchanged with a spreadsheet. Loading and importing change the
// configuration only; what differs from the unit is then marked, and nothing is sent.
class FileMenu : public QObject
{
    Q_OBJECT
public:
    FileMenu(QMenu *menu, config::Configuration &config, session::UnitSession &session,
             const session::ChangesNotStored &changes, OperatorDialogs &dialogs);
    // Where the configuration the window shows came from: the last read or file.
    const report::SheetSource &source() const { return m_source; }

public slots:
    void Menu_Save_Config_Data_Click();
    void Menu_Load_Config_Data_Click();
    void Menu_Compare_Data_File_Click();
    void Menu_Print_Configuration_Click();
    void Menu_Export_Sheet_Click();
    void Menu_Export_Roster_Click();
    void Menu_Import_Roster_Click();
    void Menu_Export_Locations_Click();
    void Menu_Import_Locations_Click();

private:
    report::SheetContent sheet() const;
    void exportCsv(const QByteArray &csv, const QString &name);
    void importCsv(bool roster);
    void load(const QString &path, const std::vector<datafile::DataRecord> &records);

    config::Configuration &m_config;
    session::UnitSession &m_session;
    const session::ChangesNotStored &m_changes;
    OperatorDialogs &m_dialogs;
    report::SheetSource m_source;
};

} // namespace halvo::app
