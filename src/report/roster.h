#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace halvo::config {
class Configuration;
}

namespace halvo::report {

// The pass roster as a spreadsheet: "Index","User Name","System ID","User ID",
// "Signal Timeout", a row per pass, values as the window shows them; the location
// names likewise with "Code","Location Name".
QByteArray Roster_Csv(const config::Configuration &config);
QByteArray Locations_Csv(const config::Configuration &config);

// What an import found wrong: every bad cell by its row number and column name (the
// first 20, then how many more).
struct ImportProblems
{
    QStringList cells;
    QString text() const;
};

// A roster or a location list read back: columns found by their header, in any
// order, others ignored; every cell checked as the editor checks it. All or nothing:
// on a problem the configuration is left as it was and problems says what.
bool Import_Roster(const QByteArray &csv, config::Configuration &config, ImportProblems *problems);
bool Import_Locations(const QByteArray &csv, config::Configuration &config, ImportProblems *problems);

} // namespace halvo::report
