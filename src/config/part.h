#pragma once

#include <QString>

namespace halvo::config {

// The four parts of the tool's data, one per tab of the window, in the tabs' order:
// the pass table, the system settings and the location names are read from and
// stored to the unit; the event log is read only.
enum class Part { Passes = 0, Settings = 1, Locations = 2, EventLog = 3 };

inline constexpr Part StoredParts[] = {Part::Passes, Part::Settings, Part::Locations};

// The tab's title: "Pass Device Configuration ", "System Settings", ...
QString Part_Title(Part part);

} // namespace halvo::config
