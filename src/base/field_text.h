#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace halvo::base {

// A whole number as the tool reads one from a field: 16-bit signed decimal, blanks
// around it allowed. Anything else (empty, letters, a fraction, out of range) fails.
std::optional<int> Parse_Int16(const QString &text);

// The same, but a fractional text is rounded to the nearest whole number, halves to
// the even neighbour ("2.5" gives 2, "3.5" gives 4). Settings values are read so.
std::optional<int> Round_Int16(const QString &text);

// Frames and files carry one byte per character, in the PC's single-byte set
// (Latin-1). A character beyond it cannot be sent and fails the conversion.
std::optional<QByteArray> To_Single_Byte(const QString &text);
inline QString From_Single_Byte(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// The checksum frames and data file records carry: the sum of the byte values,
// unsigned, keeping the low eight bits.
quint8 Sum_Of_Bytes(const QByteArray &bytes);

// Two upper-case hex digits of a value 0..255.
QByteArray Byte_To_Hex(int value);
// The value of the first two characters, as the data file has always been read: a
// character up to "9" counts as its code minus 48, any other as its code minus 55
// ("a" is not hex: it counts as 42). No check is made.
int Hex_To_Byte(const QByteArray &text);

} // namespace halvo::base
