#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace halvo::passes {

inline constexpr int PassCount = 72; // rows of the pass table
inline constexpr int HalvoStPassCount = 32;
inline constexpr int ColumnCount = 13;
inline constexpr int RecordSize = 36; // the pass record, same in both directions
inline constexpr int StoreFrameSize = 43;

// Columns of a pass table row; every field is held as display text.
enum Column : int {
    ColIndex = 0,
    ColUserName = 1,
    ColSystemId = 2,
    ColUserId = 3,
    ColSignalTimeout = 4,
    ColAlarmSteering = 5, // 16-bit bit text
    ColOptionModeName = 6,
    ColOptionTrigger = 7,
    ColOptionSteering = 8, // 16-bit bit text
    ColOptionFlags = 9,    // 8-bit bit text
    ColUnused10 = 10,
    ColUnused11 = 11,
    ColOptionMode = 12, // option mode index 0..8, the one that is stored
};

using PassRow = std::array<QString, ColumnCount>;

// The option modes, index 0..8, spelled as the unit's documentation has them.
const QStringList &Option_Mode_Names();
// Header texts and widths (pixels) of the 13 columns.
const QStringList &Column_Headers();
const std::array<int, ColumnCount> &Column_Widths();

// The row a fresh tool shows for row number n (1-based).
PassRow Default_Pass_Row(int n);

// Bit text: groups of four "0"/"1", most significant bit first, one blank between
// groups. Reading it, only "1" sets a bit; a text shorter than its form fails.
QString Bit_Text_8(quint8 value);
QString Bit_Text_16(quint16 value);
std::optional<quint8> Bits_From_Text_8(const QString &text);
std::optional<quint16> Bits_From_Text_16(const QString &text);

// The user ID travels as two characters: "0" plus the high nibble (no step to
// letters), then the low nibble as an upper-case hex digit. 99 travels as "63".
std::optional<QByteArray> User_Id_Chars(int value);
int User_Id_Value(char c1, char c2);

// The 36-byte pass record of one row, as it travels in both directions. Fails with
// a reason when a column is shorter than its form, is no number, does not fit its
// byte, or holds a character outside the single-byte set.
std::optional<QByteArray> Encode_Pass_Record(int index, const PassRow &row, QString *error = nullptr);

// The 43-byte pass store frame of one row: the request envelope around the record
// ("D", 34, 0, 39, record, checksum, LF, CR).
std::optional<QByteArray> Build_Pass_Frame(int index, const PassRow &row, QString *error = nullptr);

// A pass record reply (bytes 0..38 of the frame), checked whole before any column
// is written.
struct DecodedPass
{
    int row = 0;        // 1-based row number
    int optionMode = 0; // 0..8
    PassRow columns;    // columns 1..9 and 12 are filled; 0, 10, 11 are not written
};
inline constexpr std::array<int, 10> DecodedColumns = {1, 2, 3, 4, 5, 6, 7, 8, 9, 12};
std::optional<DecodedPass> Decode_Pass_Record(const QByteArray &reply, QString *error = nullptr);

// What the unit is sent for a column of a row, as a text two rows can be compared
// by: a user name's first 16 characters, a system ID's first two, the value of a
// number or bit text ("?" and the text when it has none). The option mode name
// (column 6) stands for the mode index that is sent (column 12).
QString Sent_Form(int column, const PassRow &row);

// Field checks of the pass editor. A bad value is replaced by the field's default.
struct FieldCheck
{
    bool good = false;
    QString text; // what the field holds afterwards
};
FieldCheck Check_System_Id(const QString &text);
FieldCheck Check_User_Id(const QString &text);
FieldCheck Check_Signal_Timeout(const QString &text);
// The user name is cut or padded with blanks to 16 characters.
QString Normalise_User_Name(const QString &text);

} // namespace halvo::passes
