#pragma once

#include <QByteArray>

namespace halvo::link {

// Command codes: byte 1 of every request frame the tool sends.
namespace Cmd {
inline constexpr quint8 ReadPassTable = 33;       // '!'  answered by one pass record reply per pass
inline constexpr quint8 StorePass = 34;           // '"'  one pass record, no answer
inline constexpr quint8 StoreSettings = 35;       // '#'  the 32 config parameters, no answer
inline constexpr quint8 ReadSettings = 36;        // '$'  answered by four settings pages
inline constexpr quint8 SetClock = 38;            // '&'  date and time text, no answer
inline constexpr quint8 ClearEventLog = 40;       // '('  no answer
inline constexpr quint8 ReadEventLogPages = 41;   // ')'  answered by event text lines
inline constexpr quint8 StoreLocation = 43;       // '+'  one location alias, no answer
inline constexpr quint8 ReadLocations = 45;       // '-'  answered by location replies
inline constexpr quint8 ReadEventLogPointer = 46; // '.' answered by the pointer reply
} // namespace Cmd

// Reply codes: byte 1 of a 40-byte reply frame from the unit.
namespace ReplyCode {
inline constexpr char PassRecord = '!';
inline constexpr char EventLogPointer = '/';
inline constexpr char Location = '-';
inline constexpr char SettingsPage = '$';
} // namespace ReplyCode

inline constexpr char FrameStart = 'D';
inline constexpr char LF = 10;
inline constexpr char CR = 13;

// The tool assembles a request in a 101-byte buffer: four header bytes, the
// payload, the checksum, LF and CR must fit.
inline constexpr int MaxRequestFrame = 101;
inline constexpr int MaxRequestPayload = MaxRequestFrame - 7;

// "D", code, 0, N, payload, checksum, LF, CR where N = 3 + payload length is the
// index of the last payload byte. The unit expects at least one payload byte, so an
// empty payload is sent as the single 0 of a request without data. Payload bytes
// are sent as they are (10 and 13 included). Returns an empty array when the
// payload does not fit the request buffer.
QByteArray Build_Request_Frame(quint8 code, const QByteArray &payload);

// A request without data: "D", code, 0, 4, 0, checksum, LF, CR.
QByteArray Build_Short_Request(quint8 code);

} // namespace halvo::link
