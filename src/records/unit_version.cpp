#include "unit_version.h"

#include "datafile/data_file.h"
#include "settings/locations.h"

namespace halvo::records {

using config::Part;

std::optional<std::map<QString, QByteArray>> Version_Files(const UnitVersion &version, QString *why)
{
    const auto csv = datafile::Build_Data_File(version.configuration, why);
    if (!csv)
        return std::nullopt;
    return std::map<QString, QByteArray>{{QStringLiteral("unit.txt"), version.unit.text()},
                                         {QStringLiteral("configuration.csv"), *csv}};
}

std::optional<UnitVersion> Read_Version(const std::optional<QByteArray> &unitText,
                                        const std::optional<QByteArray> &configuration, QString *why)
{
    auto fail = [why](const QString &text) -> std::optional<UnitVersion> {
        if (why)
            *why = text;
        return std::nullopt;
    };
    if (!unitText)
        return fail(QStringLiteral("the version has no unit.txt"));
    if (!configuration)
        return fail(QStringLiteral("the version has no configuration.csv"));
    QString error;
    auto unit = UnitFile::Parse(*unitText, &error);
    if (!unit)
        return fail(error);
    const auto records = datafile::Parse_Data_File(*configuration, &error);
    if (!records)
        return fail(QStringLiteral("configuration.csv: ") + error);
    UnitVersion v;
    v.unit = *unit;
    datafile::Apply_Records(*records, v.configuration, datafile::Parameter0::Load);
    return v;
}

void Take_Part(config::Configuration &version, const config::Configuration &unit, Part part)
{
    switch (part) {
    case Part::Passes:
        for (int r = 1; r <= config::PassCount; ++r)
            version.setPassRow(r, unit.passRow(r));
        break;
    case Part::Settings:
        for (int i = 0; i < config::ParamCount; ++i)
            version.writeParam(i, unit.param(i));
        break;
    case Part::Locations:
        for (int s = 0; s < config::LocationCount; ++s)
            version.setAlias(s, settings::Normalise_Alias(unit.alias(s)));
        break;
    case Part::EventLog:
        break;
    }
}

void Take_Item(config::Configuration &version, const config::Configuration &unit, const config::ItemRef &item)
{
    switch (item.part) {
    case Part::Passes:
        version.setPassRow(item.index, unit.passRow(item.index));
        break;
    case Part::Locations:
        version.setAlias(item.index, settings::Normalise_Alias(unit.alias(item.index)));
        break;
    case Part::Settings:
    case Part::EventLog:
        Take_Part(version, unit, item.part);
        break;
    }
}

QString Read_Message(const QString &port, const std::vector<Part> &parts)
{
    QStringList names;
    for (Part p : parts)
        names << config::Part_Name(p);
    return QStringLiteral("Read from the unit on %1: %2").arg(port, names.join(QStringLiteral(", ")));
}

QString Change_Text(const config::Difference &change)
{
    QString value = config::Difference_Texts(change).second;
    if (value.startsWith(QLatin1Char('"'))) // a name: its blanks at the end say nothing
        value = QLatin1Char('"') + value.mid(1, value.size() - 2).trimmed() + QLatin1Char('"');
    return config::Field_Name(change) + QLatin1Char(' ') + value;
}

QString Store_Message(const std::vector<config::Difference> &changes, const QStringList &notes,
                      const QString &notTaken)
{
    QStringList texts;
    for (const config::Difference &d : changes)
        texts << Change_Text(d);
    texts << notes;
    QString message;
    if (texts.isEmpty())
        message = QStringLiteral("Stored, and the unit holds what it held before");
    else if (changes.empty())
        message = QStringLiteral("Stored ") + texts.join(QStringLiteral("; "));
    else
        message = QStringLiteral("Stored %1 %2: %3")
                      .arg(changes.size())
                      .arg(changes.size() == 1 ? QStringLiteral("change") : QStringLiteral("changes"),
                           texts.join(QStringLiteral("; ")));
    if (!notTaken.isEmpty())
        message += QStringLiteral("\n\n") + notTaken;
    return message;
}

VersionDifferences Compare_Versions(const UnitVersion &older, const UnitVersion &newer)
{
    VersionDifferences out;
    for (const config::Difference &d : config::Differences(older.configuration, newer.configuration))
        if (older.unit.knows(d.part) && newer.unit.knows(d.part))
            out.fields.push_back(d);
    for (Part p : RecordedParts)
        if (!older.unit.knows(p) || !newer.unit.knows(p))
            out.notRead << config::Part_Name(p);
    return out;
}

} // namespace halvo::records
