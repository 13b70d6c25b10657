#pragma once

#include "config/configuration.h"
#include "config/differences.h"
#include "unit_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace halvo::records {

// What one version of a unit holds: who the unit is, what the records know of it,
// and its configuration as the data file writes it (only the known parts are the
// unit's; the rest is what a new configuration starts with, and is never shown).
struct UnitVersion
{
    UnitFile unit;
    config::Configuration configuration;
};

// The version's files: unit.txt and configuration.csv, the data file File > Save
// Config Data writes. Nothing, and why, when the configuration cannot be written.
std::optional<std::map<QString, QByteArray>> Version_Files(const UnitVersion &version,
                                                           QString *why = nullptr);
// A version as its files hold it; nothing, and why, when a file is missing or refused.
std::optional<UnitVersion> Read_Version(const std::optional<QByteArray> &unitText,
                                        const std::optional<QByteArray> &configuration,
                                        QString *why = nullptr);

// The part of the unit's configuration, as the unit was found to hold it, put into
// the version: the other parts stay as the version had them.
void Take_Part(config::Configuration &version, const config::Configuration &unit, config::Part part);
// The same for one item: a pass, the settings, a location name.
void Take_Item(config::Configuration &version, const config::Configuration &unit,
               const config::ItemRef &item);

// "Read from the unit on /dev/ttyUSB0: pass table, settings, location names"
QString Read_Message(const QString &port, const std::vector<config::Part> &parts);
// "Stored 3 changes: pass 14 User Name "Night Porter"; setting Backlight Timeout (sec) 60;
// location 0x07 "Boiler Room"", the changes being what the unit holds now that it did
// not before; notes follow them (what the records did not know before), and notTaken,
// the store's own words for what the unit did not take, ends the message.
QString Store_Message(const std::vector<config::Difference> &changes, const QStringList &notes = {},
                      const QString &notTaken = {});
// One change as a message names it: the field and what it became.
QString Change_Text(const config::Difference &change);

// The differences between two versions, item by item, over the parts both know; a
// part either does not know is named in notRead instead ("settings").
struct VersionDifferences
{
    std::vector<config::Difference> fields;
    QStringList notRead;
};
VersionDifferences Compare_Versions(const UnitVersion &older, const UnitVersion &newer);

} // namespace halvo::records
