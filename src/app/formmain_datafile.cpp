// FormMain, File menu: saving the whole configuration to a data file and loading it
// back. The format is the data file library's; the window only gathers its fields
// before a save and applies the records after a successful read.
#include "formmain.h"

#include "datafile/data_file.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTreeWidget>

namespace halvo::app {

namespace {
FileChoice dataFileChoice(const QString &name)
{
    return {QStringLiteral("csv"), QDir::homePath(), QStringLiteral("CSV Files (*.csv)"), name};
}
} // namespace

datafile::Configuration FormMain::configuration() const
{
    datafile::Configuration c;
    // Always every row: a save made while a "Halvo ST" store paces keeps all 72.
    for (int r = 1; r <= passes::PassCount; ++r)
        c.passes[static_cast<size_t>(r - 1)] = passRow(r);
    c.params = configTexts();
    for (int s = 0; s < LocationSlots; ++s)
        c.aliases[static_cast<size_t>(s)] = Text_Location_Name[static_cast<size_t>(s)]->text();
    return c;
}

void FormMain::Menu_Save_Config_Data_Click()
{
    tell(Msg::ChooseDataFile);
    const QString path =
        m_closing ? QString() : m_dialogs->saveFileName(dataFileChoice(QStringLiteral("Halvo_DataFile.csv")));
    if (path.isEmpty())
        return; // cancelled
    // Every record is built before the file is touched; the old file is replaced only
    // when the new one is whole.
    const auto content = datafile::Build_Data_File(configuration());
    if (!content || !datafile::Save_Data_File(path, *content))
        tell(Msg::SaveFileError);
}

void FormMain::Menu_Load_Config_Data_Click()
{
    const QString path = m_dialogs->openFileName(dataFileChoice(QStringLiteral("Date.csv")));
    if (path.isEmpty())
        return; // cancelled
    // The whole file is read and checked first: a bad record changes no field.
    const auto records = datafile::Load_Data_File(path);
    if (!records) {
        tell(Msg::LoadFileError);
        return;
    }
    for (const datafile::DataRecord &r : *records) {
        if (const auto *p = std::get_if<datafile::PassData>(&r)) {
            QTreeWidgetItem *item = ListView1->topLevelItem(p->pass.row - 1);
            for (int c : passes::DecodedColumns)
                item->setText(c, p->pass.columns[static_cast<size_t>(c)]);
            ComboOptionCurrentPassAlarmPortSteering->setCurrentIndex(p->pass.optionMode);
        } else if (const auto *l = std::get_if<datafile::LocationData>(&r)) {
            Text_Location_Name[static_cast<size_t>(l->slot)]->setText(l->alias);
        } else if (const auto *s = std::get_if<datafile::SettingsData>(&r)) {
            // Parameter 0 keeps what it shows; the priority captions are not refreshed.
            for (int k = 1; k < settings::ParamCount; ++k)
                setConfigValue(k, QString::number(s->values[static_cast<size_t>(k)]));
        }
    }
}

} // namespace halvo::app
