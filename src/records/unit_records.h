#pragma once

#include "repository.h"
#include "unit_version.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace halvo::records {

// Where and how the tool met a unit: its banner, the adapter's serial number (empty
// when the adapter gives none, so that it tells no unit apart), the port, the time.
struct Meeting
{
    QString banner;
    QString adapter;
    QString port;
    QDateTime when;
};

// What a finished run found the unit to hold, for its next version.
struct Finding
{
    enum class Kind { Read, Store };
    Kind kind = Kind::Read;
    std::vector<config::Part> parts;    // a read: the parts read whole
    std::vector<config::ItemRef> items; // a store: the items read back after it
    config::Configuration unit;         // what the unit holds, in those parts or items
    QString notTaken;                   // a store: the unit's refusal, in the store's words
};

// How a finding was recorded.
struct Recorded
{
    QString unit; // the folder
    QString name;
    int version = 0;
    bool unchanged = false; // the last version held it already; no version was made
};

// This PC's file of a unit's events for a month, inside the unit's folder:
// "events/HOST/YYYY-MM.txt". Each PC appends to files of its own, so that two PCs never
// change the same file.
QString Events_File(const QString &host, const QDate &month);

// The units in the records, and their versions, over one repository: who a unit is
// by its banner and adapter, and what each finding changes of its last version.
class UnitRecords
{
public:
    explicit UnitRecords(Repository &repository) : m_repository(repository) {}

    // The unit met before through this adapter with this banner, if exactly one was;
    // otherwise none, and in sameBanner the units with this banner, to be asked about.
    struct Found
    {
        std::optional<QString> unit;
        QStringList sameBanner;
    };
    Found find(const Meeting &meeting) const;
    // The unit's folder for a name an operator gives a new unit: its safe folder name,
    // made unique among the units already there ("Engine 3 (2)").
    std::optional<QString> newFolder(const QString &name, QString *why = nullptr) const;
    // The same, among the units taken, in the records at folder.
    static std::optional<QString> New_Folder(const QString &name, const QStringList &taken,
                                             const QString &folder, QString *why = nullptr);

    // The unit's last version, as the records hold it; nothing when it has none.
    std::optional<UnitVersion> last(const QString &unit, QString *why = nullptr) const;
    std::optional<UnitVersion> at(const QString &unit, const Version &version, QString *why = nullptr) const;
    // The unit file as the folder holds it now (a read that found nothing new included).
    std::optional<UnitFile> unitFile(const QString &unit) const;

    // The newest version in which a field's item (a pass row, a parameter, a location
    // slot) changed from the version before it, or the first that knew it; nothing when
    // no version knows its part.
    std::optional<Version> lastChanged(const QString &unit, config::Part part, int index,
                                       QString *why = nullptr) const;

    // An event download appended lines to the unit's archive in its folder (files:
    // the archive and its record, inside the folder, as they are now): one version.
    // Only a unit with a version in the records keeps its events there.
    struct EventsFound
    {
        QStringList files;
        QString port;
        int lines = 0;
        int pages = 0;
    };
    std::optional<Recorded> recordEvents(const QString &unit, const EventsFound &events, const Author &author,
                                         QString *why);

    // Records what a run found the unit (folder unit, named name when it is new) to
    // hold: one version, unless the last one held it already.
    std::optional<Recorded> record(const QString &unit, const QString &name, const Meeting &meeting,
                                   const Finding &finding, const Author &author, QString *why);

private:
    Repository &m_repository;
};

} // namespace halvo::records
