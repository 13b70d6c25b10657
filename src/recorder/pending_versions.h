#pragma once

#include "records/unit_records.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace halvo::recorder {

// A version the records have yet to take: what a run found, for which records
// folder, unit and author, as it was when the run ended.
struct PendingVersion
{
    QString id;     // to take it off the list once written
    QString folder; // the records it is for
    QString unit;   // the unit's folder; empty until the records could be read to say
    QString name;   // a new unit's name
    records::Meeting meeting;
    records::Finding::Kind kind = records::Finding::Kind::Read;
    std::vector<config::Part> parts;
    std::vector<config::ItemRef> items;
    QByteArray unitData; // what the unit holds, as a data file
    QString notTaken;
    records::Author author;
    // An event download into the unit's archive in the records: its files, as they
    // are when it is written (they only grow).
    std::optional<records::UnitRecords::EventsFound> events;
};

// The versions waiting to be written, in the order their runs ended, kept in one file
// in the tool's own data folder that the window and halvo-cli share. The file is
// written whole each time, under a lock, so a version is never lost or written twice.
class PendingVersions
{
public:
    explicit PendingVersions(QString file = Default_File()) : m_file(std::move(file)) {}
    static QString Default_File();

    std::vector<PendingVersion> list(QString *why = nullptr) const;
    // Changes the list as change says, and writes it whole; false and why when it
    // cannot be read or written.
    bool update(const std::function<void(std::vector<PendingVersion> &)> &change,
                QString *why = nullptr) const;

private:
    QString m_file;
};

} // namespace halvo::recorder
