#include "file_menu.h"

#include "datafile/data_file.h"
#include "operator_dialogs.h"
#include "session/messages.h"
#include "ui_helpers.h"

#include <QAction>
#include <QDir>
#include <QMenu>

namespace halvo::app {

namespace Msg = session::Msg;

namespace {
FileChoice dataFileChoice(const QString &name)
{
    return {QStringLiteral("csv"), QDir::homePath(), QStringLiteral("CSV Files (*.csv)"), name};
}
} // namespace

FileMenu::FileMenu(QMenu *menu, config::Configuration &config, OperatorDialogs &dialogs)
    : QObject(menu), m_config(config), m_dialogs(dialogs)
{
    auto *save = ui::named(menu->addAction(QStringLiteral("Save Config Data")),
                           QStringLiteral("Menu_Save_Config_Data"));
    auto *load = ui::named(menu->addAction(QStringLiteral("Load Config Data")),
                           QStringLiteral("Menu_Load_Config_Data"));
    connect(save, &QAction::triggered, this, &FileMenu::Menu_Save_Config_Data_Click);
    connect(load, &QAction::triggered, this, &FileMenu::Menu_Load_Config_Data_Click);
}

void FileMenu::Menu_Save_Config_Data_Click()
{
    m_dialogs.message(Msg::ChooseDataFile);
    const QString path = m_dialogs.saveFileName(dataFileChoice(QStringLiteral("Halvo_DataFile.csv")));
    if (path.isEmpty())
        return; // cancelled
    // Every record is built before the file is touched; the old file is replaced only
    // when the new one is whole.
    const auto content = datafile::Build_Data_File(m_config);
    if (!content || !datafile::Save_Data_File(path, *content))
        m_dialogs.message(Msg::SaveFileError);
}

void FileMenu::Menu_Load_Config_Data_Click()
{
    const QString path = m_dialogs.openFileName(dataFileChoice(QStringLiteral("Date.csv")));
    if (path.isEmpty())
        return; // cancelled
    // The whole file is read and checked first: a bad record changes no field.
    const auto records = datafile::Load_Data_File(path);
    if (!records) {
        m_dialogs.message(Msg::LoadFileError);
        return;
    }
    // Parameter 0 keeps what it shows; the priority captions are not refreshed.
    datafile::Apply_Records(*records, m_config);
}

} // namespace halvo::app
