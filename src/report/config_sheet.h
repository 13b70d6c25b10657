#pragma once

#include "config/differences.h"

#include <QDateTime>
#include <QPageSize>
#include <QString>

#include <vector>

class QPagedPaintDevice;

namespace halvo::config {
class Configuration;
}

namespace halvo::report {

// Where the configuration on a sheet came from.
struct SheetSource
{
    enum class Kind { Unit, File, StartUp, Recorded };
    Kind kind = Kind::StartUp;
    QDateTime when;          // read from the unit, or the file saved
    QString where;           // the port device, or the file's name
    QString unitId;          // the unit's identification, when known
    bool limitsRead = false; // the unit's maxima, minima and defaults are known
    QString recordedBy;      // a version in the records: who made it, and its number
    int version = 0;
    // "Read from the unit on 2026-12-07 10:20, /dev/ttyUSB0", "From file unit.csv, saved ...",
    // "Recorded by Ann Operator on 2026-12-07 10:20, version 12".
    QString text() const;
    // A data file, as it is on the disk now.
    static SheetSource From_File(const QString &path);
    // The unit, read just now on port.
    static SheetSource From_Unit(const QString &port, const QString &unitId, bool limitsRead);
};

// What a configuration sheet shows: the configuration, where it came from, and what
// of it is not stored to the unit yet (nothing for a file or a fresh read).
struct SheetContent
{
    const config::Configuration &config;
    SheetSource source;
    std::vector<config::Difference> notStored;
    QString toolVersion;
};

// The configuration sheet to sign and keep: the pass table on landscape pages, then
// the system settings, the display priority order and the location names, and a
// sign-off block. Every page says "Halvo Configuration", where the data came from,
// the unit, the tool's version and "Page n of m". Changes not stored are said on the
// first page and marked where they stand. Returns the number of pages.
int Paint_Sheet(const SheetContent &content, QPagedPaintDevice &device);

// The sheet as a PDF/A-1b document.
QByteArray Sheet_Pdf(const SheetContent &content, const QPageSize &size = QPageSize(QPageSize::A4));

// A4, or Letter where the user's locale measures in inches.
QPageSize Local_Page_Size();

} // namespace halvo::report
