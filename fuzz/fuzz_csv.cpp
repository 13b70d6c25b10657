// libFuzzer target: arbitrary bytes as a roster and as a list of location names, the
// way a spreadsheet hands them back. An import is all or nothing: refused, the
// configuration is as it was; taken, every value can be sent to the unit and written
// to a data file, and the configuration exported and imported again is unchanged.
#include "datafile/data_file.h"
#include "report/csv.h"
#include "report/roster.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
using namespace halvo;

QByteArray dataFile(const config::Configuration &c)
{
    const auto file = datafile::Build_Data_File(c);
    if (!file)
        std::abort(); // an import took a value the unit cannot be sent
    return *file;
}

QByteArray records(const config::Configuration &c)
{
    return report::Roster_Csv(c) + report::Locations_Csv(c);
}

void check(const QByteArray &csv, bool roster)
{
    static const QByteArray untouched = records(config::Configuration());
    config::Configuration c;
    report::ImportProblems problems;
    const bool taken = roster ? report::Import_Roster(csv, c, &problems) : report::Import_Locations(csv, c, &problems);
    if (!taken) {
        if (records(c) != untouched || problems.cells.isEmpty())
            std::abort(); // refused, yet changed, or refused without a reason
        for (const QString &cell : problems.cells)
            if (cell.size() > 400)
                std::abort(); // a bad cell is quoted cut short
        return;
    }
    const QByteArray after = dataFile(c);
    if (!datafile::Parse_Data_File(after))
        std::abort(); // the data file it makes cannot be read back
    const QByteArray again = roster ? report::Roster_Csv(c) : report::Locations_Csv(c);
    if (!(roster ? report::Import_Roster(again, c, nullptr) : report::Import_Locations(again, c, nullptr)) ||
        dataFile(c) != after)
        std::abort(); // what went out does not come back as it went
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray csv(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    (void)report::Parse_Csv(csv);
    check(csv, true);
    check(csv, false);
    return 0;
}
