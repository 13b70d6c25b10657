#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace halvo::settings {

// The unit names 50 locations, slots 0..49; the location code is slot + 1. Each
// alias is exactly 16 characters on the wire.
inline constexpr int LocationCount = 50;
inline constexpr int AliasLength = 16;

// "Location Name " and the code, padded with blanks to 16 characters.
QString Default_Location_Name(int slot);
// "0x" and the code as two upper-case hex digits: "0x01" .. "0x32".
QString Location_Code_Caption(int slot);

// Cut to 16 characters or padded with blanks to 16; nothing is rejected.
QString Normalise_Alias(const QString &text);

// The 43-byte location store frame: "D", "+", 0, 39, the slot as a byte, the 16
// alias bytes, the filler "1234567890123456789", checksum, LF, CR. The alias is
// normalised first; a character outside the single-byte set fails the build.
std::optional<QByteArray> Build_Location_Name_Frame(int slot, const QString &alias, QString *error = nullptr);

// A location reply (bytes 0..38 of the frame): the slot as two ASCII digits in bytes
// 2 and 3, the alias in bytes 4..19. A slot outside 0..49 gives nothing.
struct LocationReply
{
    int slot = 0;
    QString alias;
};
std::optional<LocationReply> Decode_Location_Reply(const QByteArray &reply);

} // namespace halvo::settings
