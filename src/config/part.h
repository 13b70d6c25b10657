#pragma once

#include <QString>

namespace halvo::config {

// The four parts of the tool's data, one per tab of the window, in the tabs' order:
// the pass table, the system settings and the location names are read from and
// stored to the unit; the event log is read only.
enum class Part { Passes = 0, Settings = 1, Locations = 2, EventLog = 3 };

inline constexpr Part StoredParts[] = {Part::Passes, Part::Settings, Part::Locations};

// One item of the stored parts, as one store frame carries it: a pass, the
// settings, or a location slot.
struct ItemRef
{
    Part part = Part::Passes;
    int index = 0; // pass row 1..72, location slot 0..49; 0 for the settings
    bool operator==(const ItemRef &) const = default;
};

// The tab's title: "Pass Device Configuration ", "System Settings", ...
QString Part_Title(Part part);
// The part in a sentence: "pass table", "settings", "location names", "event log".
QString Part_Name(Part part);
// What a whole read of the part brings: "pass records", "settings pages", "location names".
QString Part_Replies(Part part);

} // namespace halvo::config
