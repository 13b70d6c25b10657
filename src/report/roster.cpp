#include "roster.h"

#include "config/configuration.h"
#include "csv.h"

#include <QFile>

#include <map>
#include <optional>

namespace halvo::report {

namespace {
using namespace passes;

const QStringList RosterColumns = {QStringLiteral("Index"), QStringLiteral("User Name"),
                                   QStringLiteral("System ID"), QStringLiteral("User ID"),
                                   QStringLiteral("Signal Timeout")};
const QStringList LocationColumns = {QStringLiteral("Code"), QStringLiteral("Location Name")};
constexpr int ListedProblems = 20;
constexpr int QuotedLength = 24; // of a bad cell, in a message

// A cell as a message quotes it: cut short when it is long, so that a hostile file
// cannot fill the message.
QString quoted(const QString &cell)
{
    return QLatin1Char('"') + (cell.size() > QuotedLength ? cell.left(QuotedLength) + QStringLiteral("...") : cell) +
           QLatin1Char('"');
}

// Blanks past the 16th character are the padding of a name as the window shows it
// (the start-up names are 17 long); the unit never gets them.
QString withoutTrailingBlanksPast16(QString name)
{
    while (name.size() > 16 && name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name;
}

bool singleByte(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

// The rows under a header that names every column wanted, as maps column -> cell.
struct Table
{
    QList<QStringList> rows; // the wanted columns, in the order wanted
    QList<int> lines;        // each row's line in the file
};
std::optional<Table> table(const QByteArray &csv, const QStringList &wanted, ImportProblems &problems)
{
    QString why;
    if (csv.size() > MaxImportBytes) {
        problems.cells << QStringLiteral("the file is %1 bytes, far more than any roster or location list").arg(csv.size());
        return std::nullopt;
    }
    const auto rows = Parse_Csv(csv, &why);
    if (!rows) {
        problems.cells << why;
        return std::nullopt;
    }
    if (rows->isEmpty()) {
        problems.cells << QStringLiteral("the file is empty");
        return std::nullopt;
    }
    QStringList header = rows->first();
    for (QString &h : header)
        h = h.trimmed();
    std::vector<qsizetype> at;
    for (const QString &column : wanted) {
        at.push_back(header.indexOf(column));
        if (at.back() < 0)
            problems.cells << QStringLiteral("the column \"%1\" is missing").arg(column);
    }
    if (!problems.cells.isEmpty())
        return std::nullopt;
    Table t;
    for (qsizetype r = 1; r < rows->size(); ++r) {
        const QStringList &row = rows->at(r);
        if (row.size() == 1 && row.first().trimmed().isEmpty())
            continue; // an empty line
        QStringList cells;
        for (qsizetype c : at)
            cells << row.value(c);
        t.rows << cells;
        t.lines << static_cast<int>(r + 1);
    }
    return t;
}

void bad(ImportProblems &p, int line, const QString &column, const QString &what)
{
    p.cells << QStringLiteral("row %1, %2: %3").arg(line).arg(column, what);
}
} // namespace

QString ImportProblems::text() const
{
    QStringList shown = cells.mid(0, ListedProblems);
    if (cells.size() > ListedProblems)
        shown << QStringLiteral("and %1 more").arg(cells.size() - ListedProblems);
    return shown.join(QLatin1Char('\n'));
}

QByteArray Roster_Csv(const config::Configuration &config)
{
    QList<QStringList> rows{RosterColumns};
    for (int r = 1; r <= config::PassCount; ++r) {
        const PassRow &p = config.passRow(r);
        rows << QStringList{p[ColIndex], p[ColUserName], p[ColSystemId], p[ColUserId], p[ColSignalTimeout]};
    }
    return Csv_Text(rows);
}

QByteArray Locations_Csv(const config::Configuration &config)
{
    QList<QStringList> rows{LocationColumns};
    for (int s = 0; s < config::LocationCount; ++s)
        rows << QStringList{settings::Location_Code_Caption(s), config.alias(s)};
    return Csv_Text(rows);
}

std::optional<QByteArray> Read_Import_File(const QString &path, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (why)
            *why = f.errorString();
        return std::nullopt;
    }
    if (f.size() > MaxImportBytes) { // refused before it is read whole
        if (why)
            *why = QStringLiteral("it is %1 bytes, far more than any roster or location list").arg(f.size());
        return std::nullopt;
    }
    return f.readAll();
}

bool Import_Roster(const QByteArray &csv, config::Configuration &config, ImportProblems *problems)
{
    ImportProblems found;
    const auto t = table(csv, RosterColumns, found);
    std::map<int, PassRow> rows; // row number -> the row as it would be
    for (qsizetype i = 0; t && i < t->rows.size(); ++i) {
        const QStringList &cell = t->rows.at(i);
        const int line = t->lines.at(i);
        bool ok = false;
        const int index = cell.at(0).trimmed().toInt(&ok);
        if (!ok || index < 1 || index > config::PassCount) {
            bad(found, line, RosterColumns.at(0), quoted(cell.at(0)) + QStringLiteral(" is not a pass 1 to 72"));
            continue;
        }
        if (rows.count(index)) {
            bad(found, line, RosterColumns.at(0), QStringLiteral("pass %1 is in the file twice").arg(index));
            continue;
        }
        // A cell that still holds what the row holds is taken as it is, whatever it is
        // (a system ID of 00 or FF the unit sent): only what changed meets the editor's rules.
        PassRow row = config.passRow(index);
        if (cell.at(1) != row[ColUserName]) {
            const QString name = withoutTrailingBlanksPast16(cell.at(1));
            if (name.size() > 16 || !singleByte(name))
                bad(found, line, RosterColumns.at(1),
                    quoted(name) + QStringLiteral(" is more than 16 characters, or holds one the unit cannot show"));
            row[ColUserName] = Normalise_User_Name(name);
        }
        const FieldCheck checks[] = {Check_System_Id(cell.at(2).trimmed()),
                                     Check_User_Id(cell.at(3).trimmed()),
                                     Check_Signal_Timeout(cell.at(4).trimmed())};
        const char *const allowed[] = {"01 to FE", "0 to 99", "0 to 60"};
        const int columns[] = {ColSystemId, ColUserId, ColSignalTimeout};
        for (int k = 0; k < 3; ++k) {
            QString &held = row[static_cast<size_t>(columns[k])];
            if (cell.at(k + 2) == held || cell.at(k + 2).trimmed() == held.trimmed())
                continue;
            if (!checks[k].good)
                bad(found, line, RosterColumns.at(k + 2),
                    quoted(cell.at(k + 2)) + QStringLiteral(" is not ") + QLatin1String(allowed[k]));
            held = checks[k].text;
        }
        rows[index] = row;
    }
    if (!found.cells.isEmpty()) {
        if (problems)
            *problems = found;
        return false;
    }
    for (const auto &[index, row] : rows)
        config.setPassRow(index, row);
    return true;
}

bool Import_Locations(const QByteArray &csv, config::Configuration &config, ImportProblems *problems)
{
    ImportProblems found;
    const auto t = table(csv, LocationColumns, found);
    std::map<int, QString> aliases;
    for (qsizetype i = 0; t && i < t->rows.size(); ++i) {
        const QStringList &cell = t->rows.at(i);
        const int line = t->lines.at(i);
        const QString code = cell.at(0).trimmed();
        bool ok = false;
        // "0x05" as the window shows it, or 5 as a spreadsheet may have made of it.
        const int n = code.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? code.mid(2).toInt(&ok, 16)
                                                                                : code.toInt(&ok);
        if (!ok || n < 1 || n > config::LocationCount) {
            bad(found, line, LocationColumns.at(0), quoted(code) + QStringLiteral(" is not a code 0x01 to 0x32"));
            continue;
        }
        if (aliases.count(n - 1)) {
            bad(found, line, LocationColumns.at(0), quoted(code) + QStringLiteral(" is in the file twice"));
            continue;
        }
        if (cell.at(1) == config.alias(n - 1)) { // as it was: taken as it is
            aliases[n - 1] = cell.at(1);
            continue;
        }
        const QString name = withoutTrailingBlanksPast16(cell.at(1));
        if (name.size() > 16 || !singleByte(name))
            bad(found, line, LocationColumns.at(1),
                quoted(name) + QStringLiteral(" is more than 16 characters, or holds one the unit cannot show"));
        aliases[n - 1] = settings::Normalise_Alias(name);
    }
    if (!found.cells.isEmpty()) {
        if (problems)
            *problems = found;
        return false;
    }
    for (const auto &[slot, alias] : aliases)
        config.setAlias(slot, alias);
    return true;
}

} // namespace halvo::report
