#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

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

// A roster of 72 rows or a list of 50 names, with columns a spreadsheet may add, is a
// few kilobytes; a file past this is refused before it is read whole.
inline constexpr qint64 MaxImportBytes = 1 << 20;
// The bytes of a file to import, or nothing and why (it cannot be read, it is far too big).
std::optional<QByteArray> Read_Import_File(const QString &path, QString *why);

// A roster or a location list read back: columns found by their header, in any
// order, others ignored. A cell that holds what the configuration holds is taken as
// it is; every other cell is checked as the editor checks it. All or nothing: on a
// problem the configuration is left as it was and problems says what (a bad cell
// quoted cut short).
bool Import_Roster(const QByteArray &csv, config::Configuration &config, ImportProblems *problems);
bool Import_Locations(const QByteArray &csv, config::Configuration &config, ImportProblems *problems);

} // namespace halvo::report
