#pragma once

#include "config/part.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace halvo::records {

// unit.txt: who a unit in the records is, and what the records know of it. One
// "Field: value" per line, for people and for the tool alike:
//   Name: Engine 3
//   Banner: HALVO BASE V2.31
//   Adapter: FT4711A            (one line per adapter it was met through)
//   First seen: 2026-12-09T08:14:02Z
//   Last seen: 2026-12-09T09:30:11Z
//   Last read unchanged: 2026-12-09T09:30:11Z
//   Known: pass table, settings
//   Not known: location names
struct UnitFile
{
    QString name;
    QString banner;
    QStringList adapters; // serial numbers; none when the adapter gives none
    QDateTime firstSeen, lastSeen, lastUnchanged;
    std::array<bool, 3> known{}; // the pass table, the settings, the location names

    bool knows(config::Part part) const { return known[static_cast<size_t>(part)]; }
    void learn(config::Part part) { known[static_cast<size_t>(part)] = true; }
    bool knowsAny() const { return known[0] || known[1] || known[2]; }

    QByteArray text() const;
    // Nothing, and why, when the text is not a unit file (no name, no banner).
    static std::optional<UnitFile> Parse(const QByteArray &text, QString *why = nullptr);
};

// The parts a unit file speaks of, in their order.
inline constexpr std::array<config::Part, 3> RecordedParts{config::Part::Passes, config::Part::Settings,
                                                           config::Part::Locations};

} // namespace halvo::records
