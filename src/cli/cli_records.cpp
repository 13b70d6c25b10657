// halvo-cli sheet, roster and locations: records made from a data file or the unit.
#include "cli_commands.h"
#include "cli_unit.h"
#include "datafile/data_file.h"
#include "progress.h"
#include "report/config_sheet.h"
#include "report/roster.h"
#include "session/messages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace halvo::cli {

namespace Msg = session::Msg;

namespace {
int save(const QString &path, const QByteArray &bytes)
{
    QString why;
    if (datafile::Save_Whole_File(path, bytes, &why))
        return Ok;
    return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": ") + why);
}

} // namespace

int sheet(const Options &o, const QString &dataFile, const QString &pdf, bool letter)
{
    config::Configuration c;
    report::SheetSource source;
    Unit u(o);
    if (!dataFile.isEmpty()) {
        if (const int status = loadFile(dataFile, c))
            return status;
        source = report::SheetSource::From_File(dataFile);
    } else {
        std::optional<config::Configuration> unit;
        if (const int status = readUnit(u, unit))
            return status;
        c = *unit;
        source = report::SheetSource::From_Unit(u.session.path(), u.session.unitId(), true);
    }
    QElapsedTimer made;
    made.start();
    const QByteArray bytes = report::Sheet_Pdf({c, source, {}, QStringLiteral(HALVO_VERSION)},
                                               QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
    if (const int status = save(pdf, bytes))
        return status;
    Progress::say(QStringLiteral("configuration sheet written to %1 (%2 ms)").arg(pdf).arg(made.elapsed()));
    return Ok;
}

int exportRecords(Records what, const QString &dataFile, const QString &csv)
{
    config::Configuration c;
    if (const int status = loadFile(dataFile, c))
        return status;
    return save(csv, what == Records::Roster ? report::Roster_Csv(c) : report::Locations_Csv(c));
}

int importRecords(Records what, const QString &dataFile, const QString &csv, const QString &outFile)
{
    config::Configuration c;
    if (const int status = loadFile(dataFile, c))
        return status;
    QString why;
    const auto text = report::Read_Import_File(csv, &why);
    if (!text)
        return fail(BadInput, QStringLiteral("cannot read %1: %2").arg(csv, why));
    report::ImportProblems problems;
    const bool imported = what == Records::Roster ? report::Import_Roster(*text, c, &problems)
                                                  : report::Import_Locations(*text, c, &problems);
    if (!imported)
        return fail(BadInput,
                    QStringLiteral("%1 is refused, nothing is changed:\n%2").arg(csv, problems.text()));
    const auto content = datafile::Build_Data_File(c, &why);
    if (!content)
        return fail(BadInput, Msg::SaveFileError + QStringLiteral(": ") + why);
    return save(outFile, *content);
}

} // namespace halvo::cli
