#pragma once
// Test helper: a data file as an earlier release wrote it, with aliases that were
// saved as they stood in their fields instead of 16 characters long.

#include "datafile/data_file.h"

namespace halvo::test {

// A location record with the alias exactly as given, checksum over what precedes it.
inline QByteArray earlierLocationRecord(int slot, const QByteArray &alias)
{
    QByteArray r = "-+27" + datafile::Byte_To_Hex(slot) + alias + " 1234567890123456";
    unsigned sum = 0;
    for (char c : r.left(39))
        sum += static_cast<unsigned char>(c);
    return r + datafile::Byte_To_Hex(int(sum % 256)) + "\n\r";
}

// The aliases of slots 3, 4 and 5 as an earlier release saved them: four characters,
// twenty holding "-", and none at all.
inline const QByteArray EarlierAliases[3] = {"Gate", "Loading-Dock-Area-51", ""};

// The start-up configuration's file with those three location records.
inline QByteArray earlierReleaseFile(const QByteArray &current)
{
    QByteArray file = current;
    for (int k = 0; k < 3; ++k) {
        const int slot = 3 + k;
        const qsizetype at = file.indexOf("-+27" + datafile::Byte_To_Hex(slot));
        file.replace(at, 43, earlierLocationRecord(slot, EarlierAliases[k]));
    }
    return file;
}

} // namespace halvo::test
