#pragma once

#include <QString>

namespace halvo::settings {

// The unit names 50 locations, slots 0..49; the location code is slot + 1. Each
// alias is exactly 16 characters on the wire.
inline constexpr int LocationCount = 50;
inline constexpr int AliasLength = 16;

// "Location Name " and the code, padded with blanks to 16 characters.
QString Default_Location_Name(int slot);
// "0x" and the code as two upper-case hex digits: "0x01" .. "0x32".
QString Location_Code_Caption(int slot);

} // namespace halvo::settings
