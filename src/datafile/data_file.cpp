#include "data_file.h"

#include "logging.h"

Q_LOGGING_CATEGORY(lcDatafile, "halvo.datafile", QtWarningMsg)

#include "base/field_text.h"
#include "base/whole_file.h"

#include <QFile>

namespace halvo::datafile {

namespace {
constexpr int PassRecordLength = 53;
constexpr int LocationRecordLength = 43;
constexpr int SettingsRecordLength = 73;
const QByteArray PassFiller = "456789";
const QByteArray LocationFiller = " 1234567890123456";
// What follows the alias in a location record: the filler, two hex digits, LF.
constexpr qsizetype LocationTailLength = 17 + 2;

template <class T> std::optional<T> failed(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

// Appends the checksum of the record's first `covered` characters, then LF CR.
QByteArray sealed(QByteArray record, int covered)
{
    return record + Byte_To_Hex(base::Sum_Of_Bytes(record.left(covered))) + "\n\r";
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Two upper-case hex digits at 1-based position pos, or nothing.
std::optional<quint8> hexAt(const QByteArray &text, int pos)
{
    const char a = text.at(pos - 1), b = text.at(pos);
    if (!isHexDigit(a) || !isHexDigit(b))
        return std::nullopt;
    return static_cast<quint8>(Hex_To_Byte(text.mid(pos - 1, 2)));
}

bool isHexPair(const QByteArray &text, qsizetype at)
{
    return at >= 0 && at + 1 < text.size() && isHexDigit(text.at(at)) && isHexDigit(text.at(at + 1));
}

// Where the record that starts at pos ends: its length, or 0 when no record starts
// there. Pass and settings records have fixed lengths. A location record ends at its
// fixed tail (" 1234567890123456", two hex digits, LF CR): earlier releases wrote the
// alias as it stood in its field, so it may be shorter or longer than 16 characters.
// Its LF is the first one after the slot, since a field holds no line break; when
// that does not give a tail, the record is taken at the length the tool writes (an
// alias from the unit may hold any byte).
qsizetype recordLength(const QByteArray &content, qsizetype pos)
{
    const char type = pos + 1 < content.size() && content.at(pos) == '-' ? content.at(pos + 1) : '\0';
    switch (type) {
    case '!':
        return PassRecordLength;
    case '#':
        return SettingsRecordLength;
    case '+': {
        const qsizetype aliasAt = pos + 6;
        const qsizetype lf = content.indexOf('\n', aliasAt);
        const qsizetype tail = lf - LocationTailLength;
        if (lf >= 0 && tail >= aliasAt && lf + 1 < content.size() && content.at(lf + 1) == '\r' &&
            content.mid(tail, LocationFiller.size()) == LocationFiller && isHexPair(content, lf - 2))
            return lf + 2 - pos;
        return LocationRecordLength;
    }
    default:
        return 0;
    }
}

std::optional<DataRecord> parsePass(const QByteArray &t, QString *error)
{
    // Back to the 36-byte pass record, then decoded exactly as a pass record reply.
    QByteArray record;
    const auto index = hexAt(t, 5);
    if (!index)
        return failed<DataRecord>(error, QStringLiteral("a pass record's index is not hex"));
    if (*index >= passes::PassCount)
        return failed<DataRecord>(error,
                                  QStringLiteral("a pass record for pass %1, which has no row").arg(*index));
    record.append(static_cast<char>(*index));
    record.append(t.mid(6, 16)).append(' ').append(t.mid(23, 2));
    const auto flags = hexAt(t, 26);
    // The user ID is written as "0" plus its high nibble, then a hex digit.
    const char u1 = t.at(27), u2 = t.at(28);
    if (!flags || static_cast<quint8>(u1) < '0' || !isHexDigit(u2))
        return failed<DataRecord>(error,
                                  QStringLiteral("pass %1's record holds hex that is not hex").arg(*index));
    record.append(static_cast<char>(*flags)).append(u1).append(u2);
    for (int pos : {30, 32, 34, 36, 38, 40, 42}) {
        const auto b = hexAt(t, pos);
        if (!b)
            return failed<DataRecord>(
                error, QStringLiteral("pass %1's record holds hex that is not hex").arg(*index));
        record.append(static_cast<char>(*b));
    }
    record.append(PassFiller);
    QString why;
    const auto decoded = passes::Decode_Pass_Record("D!" + record + '\n', &why);
    if (!decoded)
        return failed<DataRecord>(error, why);
    return PassData{*decoded};
}

std::optional<DataRecord> parseLocation(const QByteArray &t, QString *error)
{
    const auto slot = hexAt(t, 5);
    if (!slot || *slot >= settings::LocationCount)
        return failed<DataRecord>(error, QStringLiteral("a location record names no slot 0..49"));
    // The alias as written, then cut or padded to 16 characters as leaving its field does.
    const QByteArray alias = t.mid(6, t.size() - 6 - LocationTailLength - 2);
    return LocationData{*slot, settings::Normalise_Alias(base::From_Single_Byte(alias))};
}

std::optional<DataRecord> parseSettings(const QByteArray &t, QString *error)
{
    SettingsData s;
    s.values[0] = hexAt(t, 5).value_or(0); // never loaded by the window, so never refused
    for (int k = 1; k < settings::ParamCount; ++k) {
        const auto v = hexAt(t, 5 + 2 * k);
        if (!v)
            return failed<DataRecord>(error, QStringLiteral("the settings record holds hex that is not hex"));
        s.values[static_cast<size_t>(k)] = *v;
    }
    return s;
}
} // namespace

std::optional<QByteArray> Build_Pass_Record(int index, const passes::PassRow &row, QString *error)
{
    const auto r = passes::Encode_Pass_Record(index, row, error);
    if (!r)
        return std::nullopt;
    auto hex = [&](int offset) { return Byte_To_Hex(static_cast<quint8>(r->at(offset))); };
    QByteArray t = "-!27" + hex(0) + r->mid(1, 16) + r->mid(17, 1) + r->mid(18, 2) + hex(20) + r->mid(21, 2);
    for (int offset = 23; offset <= 29; ++offset)
        t += hex(offset);
    t += r->mid(30, 6);
    return sealed(t, 48); // the checksum leaves out the filler's final "9"
}

std::optional<QByteArray> Build_Location_Record(int slot, const QString &alias, QString *error)
{
    // A name set without leaving its field is normalised as the store does: a short
    // one would shift every byte after it.
    const auto name = base::To_Single_Byte(settings::Normalise_Alias(alias));
    if (!name)
        return failed<QByteArray>(
            error, QStringLiteral("location %1 name holds a character the file cannot hold").arg(slot + 1));
    return sealed("-+27" + Byte_To_Hex(slot) + *name + LocationFiller, 39);
}

std::optional<QByteArray> Build_Settings_Record(const settings::ParamTexts &params, QString *error)
{
    const auto bytes = settings::Param_Bytes(params, error);
    if (!bytes)
        return std::nullopt;
    QByteArray t = "-#23";
    for (quint8 b : *bytes)
        t += Byte_To_Hex(b);
    return sealed(t + ' ', 39); // as the format has it: positions 1 to 39 only
}

std::optional<QByteArray> Build_Data_File(const config::Configuration &config, QString *error)
{
    QByteArray file;
    auto entry = [&](const std::optional<QByteArray> &record) {
        if (record)
            file += '"' + *record + "\"\r\n";
        return record.has_value();
    };
    for (int i = 0; i < passes::PassCount; ++i)
        if (!entry(Build_Pass_Record(i, config.passRow(i + 1), error)))
            return std::nullopt;
    for (int s = 0; s < settings::LocationCount; ++s)
        if (!entry(Build_Location_Record(s, config.alias(s), error)))
            return std::nullopt;
    if (!entry(Build_Settings_Record(config.params(), error)))
        return std::nullopt;
    return file;
}

bool Save_Whole_File(const QString &path, const QByteArray &content, QString *error)
{
    QString why;
    const bool saved = base::Write_Whole_File(path, content, &why);
    qCInfo(lcDatafile).noquote() << (saved ? "saved" : "cannot save") << path << why;
    if (!saved && error)
        *error = why;
    return saved;
}

std::optional<DataRecord> Parse_Data_Record(const QByteArray &text, QString *error)
{
    const qsizetype length = recordLength(text, 0);
    if (length == 0)
        return failed<DataRecord>(error, QStringLiteral("not a record"));
    // A record cut short would run into the next one: its LF CR must sit at its end.
    if (text.size() < length || text.mid(length - 2, 2) != "\n\r")
        return failed<DataRecord>(error, QStringLiteral("a record is cut short"));
    const QByteArray record = text.left(length);
    switch (text.at(1)) {
    case '!':
        return parsePass(record, error);
    case '+':
        return parseLocation(record, error);
    default:
        return parseSettings(record, error);
    }
}

std::optional<std::vector<DataRecord>> Parse_Data_File(const QByteArray &content, QString *error)
{
    std::vector<DataRecord> records;
    qsizetype pos = 0;
    while ((pos = content.indexOf('-', pos)) >= 0) {
        const qsizetype length = recordLength(content, pos);
        if (length == 0) {
            ++pos; // a "-" that starts no record
            continue;
        }
        const auto record = Parse_Data_Record(content.mid(pos, length), error);
        if (!record)
            return std::nullopt;
        records.push_back(*record);
        pos += length;
    }
    if (records.empty())
        return failed<std::vector<DataRecord>>(error,
                                               QStringLiteral("the file holds no configuration record"));
    return records;
}

std::optional<std::vector<DataRecord>> Load_Data_File(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return failed<std::vector<DataRecord>>(error, f.errorString());
    QString why;
    auto records = Parse_Data_File(f.readAll(), &why);
    qCInfo(lcDatafile).noquote() << (records ? "loaded" : "refused") << path << why;
    if (error)
        *error = why;
    return records;
}

void Apply_Records(const std::vector<DataRecord> &records, config::Configuration &config,
                   Parameter0 parameter0)
{
    // Applied to a copy and taken whole: the views hear of each part once, not of
    // each of the 123 records.
    config::Configuration loaded = config;
    for (const DataRecord &r : records) {
        if (const auto *p = std::get_if<PassData>(&r)) {
            loaded.applyPass(p->pass);
        } else if (const auto *l = std::get_if<LocationData>(&r)) {
            loaded.setAlias(l->slot, l->alias);
        } else if (const auto *s = std::get_if<SettingsData>(&r)) {
            for (int k = parameter0 == Parameter0::Load ? 0 : 1; k < settings::ParamCount; ++k)
                loaded.writeParam(k, QString::number(s->values[static_cast<size_t>(k)]));
        }
    }
    config = loaded;
}

std::optional<std::vector<DataRecord>> Load_Whole_Configuration(const QString &path, QString *error)
{
    QString why;
    auto records = Load_Data_File(path, &why);
    if (!records) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return std::nullopt;
    }
    int passCount = 0, locations = 0, settingsRecords = 0;
    for (const auto &r : *records) {
        passCount += std::holds_alternative<PassData>(r);
        locations += std::holds_alternative<LocationData>(r);
        settingsRecords += std::holds_alternative<SettingsData>(r);
    }
    if (passCount >= config::PassCount && locations >= config::LocationCount && settingsRecords >= 1)
        return records;
    if (error)
        *error =
            QStringLiteral("%4 holds %1 pass, %2 location and %3 settings records, not a whole configuration")
                .arg(passCount)
                .arg(locations)
                .arg(settingsRecords)
                .arg(path);
    return std::nullopt;
}

} // namespace halvo::datafile
