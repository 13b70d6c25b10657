#include "file_menu.h"

#include "config/differences.h"
#include "datafile/data_file.h"
#include "operator_dialogs.h"
#include "report/roster.h"
#include "session/changes_not_stored.h"
#include "session/messages.h"
#include "session/unit_image.h"
#include "session/unit_session.h"
#include "ui_helpers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPrinter>

namespace halvo::app {

namespace Msg = session::Msg;

namespace {
FileChoice choice(const char *suffix, const char *filter, const char *name)
{
    return {QLatin1String(suffix), documentsFolder(), QLatin1String(filter), QLatin1String(name)};
}

} // namespace

FileMenu::FileMenu(QMenu *menu, config::Configuration &config, session::UnitSession &session,
                   const session::ChangesNotStored &changes, OperatorDialogs &dialogs)
    : QObject(menu), m_config(config), m_session(session), m_changes(changes), m_dialogs(dialogs)
{
    auto add = [&](const char *text, const char *name, void (FileMenu::*handler)()) {
        auto *a = ui::named(menu->addAction(QLatin1String(text)), QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
    };
    add("Save Config Data", "Menu_Save_Config_Data", &FileMenu::Menu_Save_Config_Data_Click);
    add("Load Config Data", "Menu_Load_Config_Data", &FileMenu::Menu_Load_Config_Data_Click);
    add("Compare With Data File...", "Menu_Compare_Data_File", &FileMenu::Menu_Compare_Data_File_Click);
    menu->addSeparator();
    add("Print Configuration...", "Menu_Print_Configuration", &FileMenu::Menu_Print_Configuration_Click);
    add("Export Configuration Sheet (PDF)...", "Menu_Export_Sheet", &FileMenu::Menu_Export_Sheet_Click);
    menu->addSeparator();
    add("Export Roster (CSV)...", "Menu_Export_Roster", &FileMenu::Menu_Export_Roster_Click);
    add("Import Roster (CSV)...", "Menu_Import_Roster", &FileMenu::Menu_Import_Roster_Click);
    add("Export Location Names (CSV)...", "Menu_Export_Locations", &FileMenu::Menu_Export_Locations_Click);
    add("Import Location Names (CSV)...", "Menu_Import_Locations", &FileMenu::Menu_Import_Locations_Click);
    // A part read whole from the unit is where the configuration came from now.
    connect(&session.image(), &session::UnitImage::readComplete, this,
            [this] { m_source = report::SheetSource::From_Unit(m_session.path(), {}, false); });
}

void FileMenu::Menu_Save_Config_Data_Click()
{
    m_dialogs.message(Msg::ChooseDataFile);
    const QString path = m_dialogs.saveFileName(choice("csv", "CSV Files (*.csv)", "Halvo_DataFile.csv"));
    if (path.isEmpty())
        return; // cancelled
    // Every record is built before the file is touched; the old file is replaced only
    // when the new one is whole.
    const auto content = datafile::Build_Data_File(m_config);
    if (!content || !datafile::Save_Whole_File(path, *content))
        m_dialogs.message(Msg::SaveFileError);
}

void FileMenu::Menu_Load_Config_Data_Click()
{
    const QString path = m_dialogs.openFileName(choice("csv", "CSV Files (*.csv)", "Date.csv"));
    if (path.isEmpty())
        return; // cancelled
    // The whole file is read and checked first: a bad record changes no field.
    if (const auto records = datafile::Load_Data_File(path))
        load(path, *records);
    else
        m_dialogs.message(Msg::LoadFileError);
}

// What the window holds beside what a file holds, read only; loading it marks the
// differences as edits, as "Load Config Data" does.
void FileMenu::Menu_Compare_Data_File_Click()
{
    const QString path = m_dialogs.openFileName(choice("csv", "CSV Files (*.csv)", "Halvo_DataFile.csv"));
    if (path.isEmpty())
        return;
    const auto records = datafile::Load_Data_File(path);
    if (!records) {
        m_dialogs.message(Msg::LoadFileError);
        return;
    }
    config::Configuration file = m_config;
    datafile::Apply_Records(*records, file);
    std::vector<ComparisonRow> rows;
    for (const config::Difference &d : config::Differences(m_config, file)) {
        const auto [window, held] = config::Difference_Texts(d);
        rows.push_back({config::Field_Name(d), window, held});
    }
    if (m_dialogs.compareWithFile(QFileInfo(path).fileName(), rows))
        load(path, *records);
}

void FileMenu::load(const QString &path, const std::vector<datafile::DataRecord> &records)
{
    // Parameter 0 keeps what it shows; the priority captions are not refreshed.
    datafile::Apply_Records(records, m_config);
    m_source = report::SheetSource::From_File(path);
}

// The sheet of what the window holds, and what of it the unit does not.
report::SheetContent FileMenu::sheet() const
{
    report::SheetSource source = m_source;
    source.unitId = m_session.unitId();
    source.limitsRead = m_session.image().read(config::Part::Settings);
    return {m_config, source, m_changes.differences(), QStringLiteral(HALVO_VERSION)};
}

void FileMenu::Menu_Print_Configuration_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(report::Local_Page_Size());
    printer.setDocName(QStringLiteral("Halvo Configuration"));
    if (m_dialogs.choosePrinter(printer))
        report::Paint_Sheet(sheet(), printer);
}

void FileMenu::Menu_Export_Sheet_Click()
{
    const QString path =
        m_dialogs.saveFileName(choice("pdf", "PDF Files (*.pdf)", "Halvo_Configuration.pdf"));
    if (!path.isEmpty() &&
        !datafile::Save_Whole_File(path, report::Sheet_Pdf(sheet(), report::Local_Page_Size())))
        m_dialogs.message(Msg::SaveFileError);
}

void FileMenu::exportCsv(const QByteArray &csv, const QString &name)
{
    const QString path = m_dialogs.saveFileName(choice("csv", "CSV Files (*.csv)", qPrintable(name)));
    if (!path.isEmpty() && !datafile::Save_Whole_File(path, csv))
        m_dialogs.message(Msg::SaveFileError);
}

void FileMenu::Menu_Export_Roster_Click()
{
    exportCsv(report::Roster_Csv(m_config), QStringLiteral("Halvo_Roster.csv"));
}

void FileMenu::Menu_Export_Locations_Click()
{
    exportCsv(report::Locations_Csv(m_config), QStringLiteral("Halvo_Location_Names.csv"));
}

// All or nothing: a file with one bad cell changes nothing and says every bad cell.
void FileMenu::importCsv(bool roster)
{
    const QString path = m_dialogs.openFileName(
        choice("csv", "CSV Files (*.csv)", roster ? "Halvo_Roster.csv" : "Halvo_Location_Names.csv"));
    if (path.isEmpty())
        return;
    QString why;
    const auto text = report::Read_Import_File(path, &why);
    if (!text) {
        m_dialogs.message(QStringLiteral("%1 cannot be read: %2").arg(path, why));
        return;
    }
    report::ImportProblems problems;
    const bool imported = roster ? report::Import_Roster(*text, m_config, &problems)
                                 : report::Import_Locations(*text, m_config, &problems);
    if (!imported)
        m_dialogs.message(QStringLiteral("%1 is refused, nothing is changed:\n\n%2")
                              .arg(QFileInfo(path).fileName(), problems.text()));
}

void FileMenu::Menu_Import_Roster_Click()
{
    importCsv(true);
}

void FileMenu::Menu_Import_Locations_Click()
{
    importCsv(false);
}

} // namespace halvo::app
