// halvo-cli units and history: the records read, never written.
#include "cli_commands.h"
#include "cli_unit.h"

#include "config/differences.h"
#include "datafile/data_file.h"
#include "progress.h"
#include "records/unit_records.h"
#include "session/messages.h"

#include <QDir>
#include <QFileInfo>

namespace halvo::cli {

namespace {

QString When(const records::Version &v)
{
    return v.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// The records as they are: a folder that holds none is not made into any.
std::unique_ptr<records::Repository> openRecords(const Options &o, int *status)
{
    *status = Ok;
    if (o.records.isEmpty()) {
        *status = fail(BadInput, QStringLiteral("no records folder: give --records DIR"));
        return nullptr;
    }
    if (!QFileInfo(QDir(o.records).filePath(QStringLiteral(".git"))).exists()) {
        *status =
            fail(BadInput, QStringLiteral("%1 holds no records").arg(QDir::toNativeSeparators(o.records)));
        return nullptr;
    }
    QString why;
    auto repository = records::Repository::Open(o.records, &why);
    if (!repository)
        *status = fail(BadInput, why);
    return repository;
}

// A unit by its folder or by the name it was given.
std::optional<QString> findUnit(records::Repository &repository, const QString &name)
{
    const QStringList folders = repository.units();
    if (folders.contains(name))
        return name;
    const records::UnitRecords units(repository);
    for (const QString &folder : folders)
        if (const auto file = units.unitFile(folder); file && file->name == name)
            return folder;
    return std::nullopt;
}

const records::Version *versionNumbered(const std::vector<records::Version> &history, int number)
{
    for (const records::Version &v : history)
        if (v.number == number)
            return &v;
    return nullptr;
}

} // namespace

int units(const Options &o)
{
    int status = Ok;
    auto repository = openRecords(o, &status);
    if (!repository)
        return status;
    const records::UnitRecords records(*repository);
    for (const QString &folder : repository->units()) {
        const auto history = repository->history(folder);
        if (history.empty())
            continue;
        const auto file = records.unitFile(folder);
        print(QStringLiteral("%1\tversion %2\t%3\t%4")
                  .arg(file ? file->name : folder)
                  .arg(history.front().number)
                  .arg(When(history.front()), history.front().author.name));
    }
    return Ok;
}

int shareRecords(const Options &o, const QStringList &args)
{
    const bool remote = args.value(0) == QLatin1String("remote") && args.size() == 2;
    if (!remote && !(args.value(0) == QLatin1String("sync") && args.size() == 1))
        return fail(BadInput, QStringLiteral("records takes remote URL, or sync"));
    if (o.records.isEmpty())
        return fail(BadInput, QStringLiteral("no records folder: give --records DIR"));
    QString why;
    // A PC that joins sets the remote on a folder that is empty or not there yet.
    auto repository = records::Repository::Open(o.records, &why);
    if (!repository)
        return fail(BadInput, why);
    if (remote && !repository->setRemote(args.at(1), &why))
        return fail(BadInput, why);
    const auto end = repository->sync();
    const int waiting = repository->notShared();
    if (!end.ok)
        return fail(UnitFailed,
                    end.text +
                        (waiting ? QStringLiteral("; %1 versions not shared yet").arg(waiting) : QString()));
    Progress::say(end.text);
    return Ok;
}

int history(const Options &o, const QString &name, const HistoryHow &how)
{
    int status = Ok;
    auto repository = openRecords(o, &status);
    if (!repository)
        return status;
    const auto unit = findUnit(*repository, name);
    if (!unit)
        return fail(BadInput,
                    QStringLiteral("the records hold no unit \"%1\" (see halvo-cli units)").arg(name));
    const auto history = repository->history(*unit);
    const records::UnitRecords records(*repository);
    auto version = [&](int number, const records::Version **v) -> std::optional<records::UnitVersion> {
        *v = versionNumbered(history, number);
        if (!*v) {
            fail(BadInput, QStringLiteral("%1 has no version %2 (it has 1 to %3)")
                               .arg(name)
                               .arg(number)
                               .arg(history.size()));
            return std::nullopt;
        }
        QString why;
        auto content = records.at(*unit, **v, &why);
        if (!content)
            fail(BadInput, QStringLiteral("version %1 of %2 cannot be read: %3").arg(number).arg(name, why));
        return content;
    };

    if (how.show) {
        const records::Version *v = nullptr;
        const auto content = version(*how.show, &v);
        if (!content)
            return BadInput;
        // A part never read is the tool's start-up values in the file, which a restore
        // of it would store as if the unit had held them.
        QStringList unread;
        for (config::Part p : records::RecordedParts)
            if (!content->unit.knows(p))
                unread << config::Part_Name(p);
        if (!unread.isEmpty())
            return fail(BadInput,
                        QStringLiteral("version %1 of %2 is not written as a data file: its %3 had not been "
                                       "read, and the file would hold start-up values for them that a "
                                       "restore would store. The window's File > Unit History... loads "
                                       "only what was read.")
                            .arg(*how.show)
                            .arg(name, unread.join(QStringLiteral(" and "))));
        const auto csv = repository->fileAt(*unit, *v, QStringLiteral("configuration.csv"));
        QString why;
        if (!datafile::Save_Whole_File(how.out, *csv, &why))
            return fail(UnitFailed, session::Msg::SaveFileError + QStringLiteral(": ") + why);
        Progress::say(QStringLiteral("version %1 of %2 written to %3").arg(*how.show).arg(name, how.out));
        return Ok;
    }
    if (how.diff) {
        const records::Version *first = nullptr, *second = nullptr;
        const auto a = version(how.diff->first, &first);
        if (!a)
            return BadInput;
        const auto b = version(how.diff->second, &second);
        if (!b)
            return BadInput;
        const QString aName = QStringLiteral("version %1").arg(first->number);
        const QString bName = QStringLiteral("version %1").arg(second->number);
        const auto differences = records::Compare_Versions(*a, *b);
        for (const config::Difference &d : differences.fields)
            print(config::Difference_Line(d, aName, bName));
        for (const QString &part : differences.notRead)
            Progress::say(QStringLiteral("%1: not read in both versions, not compared").arg(part));
        if (differences.fields.empty()) {
            Progress::say(QStringLiteral("%1 and %2 hold the same").arg(aName, bName));
            return Ok;
        }
        Progress::say(
            QStringLiteral("%1 and %2 differ in %3 fields").arg(aName, bName).arg(differences.fields.size()));
        return Different;
    }
    for (const records::Version &v : history)
        print(QStringLiteral("%1  %2  %3  %4").arg(v.number).arg(When(v), v.author.name, v.summary));
    return Ok;
}

} // namespace halvo::cli
