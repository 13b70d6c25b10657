#pragma once

#include "base/field_text.h"
#include "config/configuration.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <variant>
#include <vector>

namespace halvo::datafile {

// The configuration data file: 72 pass records, 50 location records and one
// settings record, each a quoted text ending LF CR inside its quotes, one entry per
// line. Byte values are two upper-case hex digits; names are their characters.

// Byte values are written by base::Byte_To_Hex and read by base::Hex_To_Byte.
using base::Byte_To_Hex;
using base::Hex_To_Byte;

// Record texts, LF CR included, without the quotes. They fail with a reason when a
// field cannot be written (not a number, out of range, a character outside the
// single-byte set).
std::optional<QByteArray> Build_Pass_Record(int index, const passes::PassRow &row, QString *error = nullptr);
std::optional<QByteArray> Build_Location_Record(int slot, const QString &alias, QString *error = nullptr);
std::optional<QByteArray> Build_Settings_Record(const settings::ParamTexts &params, QString *error = nullptr);

// The whole file, every record built before any byte is written.
std::optional<QByteArray> Build_Data_File(const config::Configuration &config, QString *error = nullptr);

// Writes a file the operator keeps (a data file, a sheet, an export, an event list)
// so that the old one is replaced only once the new one is whole; the window and
// halvo-cli save through here.
bool Save_Whole_File(const QString &path, const QByteArray &content, QString *error = nullptr);

// One record of a file, as the reader found it.
struct PassData
{
    passes::DecodedPass pass; // row 1..72, columns 1..9 and 12
};
struct LocationData
{
    int slot = 0;
    QString alias;
};
struct SettingsData
{
    settings::ParamBytes values{}; // parameter 0 is in the file but the window never loads it
};
using DataRecord = std::variant<PassData, LocationData, SettingsData>;

// One record text (starting "-" and its type character, positions counted from 1).
// Pass and settings records have fixed lengths. A location record's alias is what
// stands between the slot and the fixed tail, cut or padded to 16 characters, as
// earlier releases wrote it unnormalised. Nothing when it is not a record the tool
// can place: too short for its type, hex that is not upper-case hex, a pass index of
// 72 or more, an option mode above 8, a location slot above 49.
std::optional<DataRecord> Parse_Data_Record(const QByteArray &text, QString *error = nullptr);

// A whole file, read all or nothing: its records in order, or nothing and why.
// Each record is taken by its layout, not cut at the next "-", so a name holding "-"
// reads back; text between records is skipped. A file without a single record is refused.
std::optional<std::vector<DataRecord>> Parse_Data_File(const QByteArray &content, QString *error = nullptr);
std::optional<std::vector<DataRecord>> Load_Data_File(const QString &path, QString *error = nullptr);

// A file that holds a whole configuration, as a restore or a comparison needs one:
// every pass, every location and the settings. Nothing, and why (the file named
// first), for a file that cannot be read or holds less.
std::optional<std::vector<DataRecord>> Load_Whole_Configuration(const QString &path,
                                                                QString *error = nullptr);

// Applies records to a configuration: a pass record to its row, a location record
// to its slot, the settings record's values as the unit's would be written (a
// switch's box follows). File > Load keeps parameter 0 as it is; a restore to the
// unit takes it from the file, where the backup put what the unit gave.
enum class Parameter0 { Keep, Load };
void Apply_Records(const std::vector<DataRecord> &records, config::Configuration &config,
                   Parameter0 parameter0 = Parameter0::Keep);

} // namespace halvo::datafile
