#include "unit_records.h"

#include <algorithm>

#include <QDir>
#include <QFile>

namespace halvo::records {

using config::Part;

UnitRecords::Found UnitRecords::find(const Meeting &meeting) const
{
    Found found;
    QStringList exact;
    for (const QString &unit : m_repository.units()) {
        const auto file = unitFile(unit);
        if (!file || file->banner != meeting.banner)
            continue;
        found.sameBanner << unit;
        if (!meeting.adapter.isEmpty() && file->adapters.contains(meeting.adapter))
            exact << unit;
    }
    if (exact.size() == 1)
        found.unit = exact.front();
    return found;
}

std::optional<QString> UnitRecords::newFolder(const QString &name, QString *why) const
{
    return New_Folder(name, m_repository.units(), m_repository.folder(), why);
}

std::optional<QString> UnitRecords::New_Folder(const QString &name, const QStringList &taken,
                                               const QString &records, QString *why)
{
    const auto folder = Unit_Folder(name, why);
    if (!folder)
        return std::nullopt;
    const QDir dir(records);
    QString candidate = *folder;
    for (int n = 2; taken.contains(candidate, Qt::CaseInsensitive) || dir.exists(candidate); ++n)
        candidate = Unit_Folder(QStringLiteral("%1 (%2)").arg(folder->left(58)).arg(n)).value_or(*folder);
    return candidate;
}

std::optional<UnitVersion> UnitRecords::last(const QString &unit, QString *why) const
{
    return Read_Version(m_repository.lastFile(unit, QStringLiteral("unit.txt")),
                        m_repository.lastFile(unit, QStringLiteral("configuration.csv")), why);
}

std::optional<UnitVersion> UnitRecords::at(const QString &unit, const Version &version, QString *why) const
{
    return Read_Version(m_repository.fileAt(unit, version, QStringLiteral("unit.txt")),
                        m_repository.fileAt(unit, version, QStringLiteral("configuration.csv")), why);
}

std::optional<Version> UnitRecords::lastChanged(const QString &unit, Part part, int index, QString *why) const
{
    const auto history = m_repository.history(unit, why);
    std::optional<UnitVersion> newer;
    const Version *newerVersion = nullptr;
    for (const Version &v : history) { // newest first
        auto older = at(unit, v, why);
        if (!older)
            return std::nullopt;
        if (newer && newer->unit.knows(part)) {
            if (!older->unit.knows(part))
                return *newerVersion; // the first version that knew it
            for (const config::Difference &d :
                 config::Differences(older->configuration, newer->configuration))
                if (d.part == part && d.index == index)
                    return *newerVersion;
        }
        newer = std::move(older);
        newerVersion = &v;
    }
    if (newer && newer->unit.knows(part))
        return *newerVersion;
    return std::nullopt;
}

std::optional<UnitFile> UnitRecords::unitFile(const QString &unit) const
{
    QFile f(QDir(m_repository.folder()).filePath(unit + QStringLiteral("/unit.txt")));
    if (f.open(QIODevice::ReadOnly))
        if (auto u = UnitFile::Parse(f.read(64 * 1024)))
            return u;
    const auto committed = m_repository.lastFile(unit, QStringLiteral("unit.txt"));
    return committed ? UnitFile::Parse(*committed) : std::nullopt;
}

std::optional<Recorded> UnitRecords::record(const QString &unit, const QString &name, const Meeting &meeting,
                                            const Finding &finding, const Author &author, QString *why)
{
    QString error;
    const bool known = m_repository.lastFile(unit, QStringLiteral("unit.txt")).has_value();
    std::optional<UnitVersion> before = known ? last(unit, &error) : UnitVersion{};
    if (!before) {
        if (why)
            *why = QStringLiteral("the last version of %1 cannot be read: %2").arg(unit, error);
        return std::nullopt;
    }
    if (known) // the folder's unit file carries the times of reads that made no version
        if (const auto now = unitFile(unit)) {
            before->unit.lastSeen = now->lastSeen;
            before->unit.lastUnchanged = now->lastUnchanged;
        }
    if (!known) {
        before->unit.name = name;
        before->unit.banner = meeting.banner;
        before->unit.firstSeen = meeting.when;
    }
    UnitVersion next = *before;
    // A part becomes known once the unit has been found to hold all of it; a store of
    // some of its items to a unit never read tells nothing of the rest.
    std::vector<Part> whole = finding.parts;
    for (const config::ItemRef &item : finding.items)
        Take_Item(next.configuration, finding.unit, item);
    for (Part p : RecordedParts) {
        const auto count = std::count_if(finding.items.begin(), finding.items.end(),
                                         [p](const config::ItemRef &i) { return i.part == p; });
        if (count > 0 && count == (p == Part::Passes     ? config::PassCount
                                   : p == Part::Settings ? 1
                                                         : config::LocationCount))
            whole.push_back(p);
    }
    for (Part p : finding.parts)
        Take_Part(next.configuration, finding.unit, p);
    QStringList notes; // what a store's message says of parts the records did not know
    for (Part p : whole)
        if (!next.unit.knows(p))
            notes << QStringLiteral("the %1, not recorded before").arg(config::Part_Name(p));
    for (const config::ItemRef &item : finding.items)
        if (!next.unit.knows(item.part) && std::find(whole.begin(), whole.end(), item.part) == whole.end())
            notes << QStringLiteral("%1, in a %2 never read")
                         .arg(config::Item_Name(item.part, item.index), config::Part_Name(item.part));
    for (Part p : whole)
        next.unit.learn(p);
    if (!meeting.adapter.isEmpty() && !next.unit.adapters.contains(meeting.adapter))
        next.unit.adapters << meeting.adapter;

    Recorded out{unit, next.unit.name, 0, false};
    const auto beforeFiles = Version_Files(*before, why);
    auto nextFiles = Version_Files(next, why);
    if (!beforeFiles || !nextFiles)
        return std::nullopt;
    if (known && *beforeFiles == *nextFiles) {
        // Nothing new: the version stays, and the folder says when it was last found so.
        UnitFile seen = next.unit;
        seen.lastSeen = meeting.when;
        if (finding.kind == Finding::Kind::Read)
            seen.lastUnchanged = meeting.when;
        if (!m_repository.writeAside(unit, QStringLiteral("unit.txt"), seen.text(), why))
            return std::nullopt;
        out.unchanged = true;
        out.version = static_cast<int>(m_repository.history(unit).size());
        return out;
    }
    next.unit.lastSeen = meeting.when;
    (*nextFiles)[QStringLiteral("unit.txt")] = next.unit.text();

    QString message;
    if (finding.kind == Finding::Kind::Read) {
        message = Read_Message(meeting.port, finding.parts);
    } else {
        std::vector<config::Difference> changes;
        for (const config::Difference &d : config::Differences(before->configuration, next.configuration))
            if (before->unit.knows(d.part))
                changes.push_back(d);
        message = Store_Message(changes, notes, finding.notTaken);
    }
    bool unchanged = false;
    const auto version = m_repository.record(unit, *nextFiles, author, message, &unchanged, why);
    if (!version)
        return std::nullopt;
    out.version = *version;
    out.unchanged = unchanged;
    return out;
}

QString Events_File(const QString &host, const QDate &month)
{
    return QStringLiteral("events/%1/%2.txt")
        .arg(Unit_Folder(host).value_or(QStringLiteral("unknown")),
             month.toString(QStringLiteral("yyyy-MM")));
}

std::optional<Recorded> UnitRecords::recordEvents(const QString &unit, const EventsFound &events,
                                                  const Author &author, QString *why)
{
    const auto file = unitFile(unit);
    if (!file || !m_repository.lastFile(unit, QStringLiteral("unit.txt"))) {
        if (why)
            *why = QStringLiteral("%1 has no version in the records to keep its events beside").arg(unit);
        return std::nullopt;
    }
    const QString message = QStringLiteral("Read %1 new event %2 (%3 %4) from the unit on %5 into %6")
                                .arg(events.lines)
                                .arg(events.lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
                                .arg(events.pages)
                                .arg(events.pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"))
                                .arg(events.port, events.files.value(0));
    bool unchanged = false;
    const auto version = m_repository.record(unit, {}, author, message, &unchanged, why, events.files);
    if (!version)
        return std::nullopt;
    return Recorded{unit, file->name, *version, unchanged};
}

} // namespace halvo::records
