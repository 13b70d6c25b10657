#pragma once

#include "configuration.h"
#include "differences.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace halvo::config {

// The unit takes stores without answering; the pause after each frame is its only
// pacing: 0.2 s after a pass frame, 0.3 s after a location frame.
inline constexpr int PassFramePauseMs = 200;
inline constexpr int LocationFramePauseMs = 300;

struct PacedFrame
{
    QByteArray bytes;
    int pauseMs = 0;             // after the frame has gone out
    std::optional<ItemRef> item; // what it stores, when it is one of the tool's own frames
};

// What a store sends, in order. A plan may stop short of its data: the frames before
// a row that cannot be built still go, and stopsShort says why the rest do not.
struct StorePlan
{
    std::vector<PacedFrame> frames;
    QString stopsShort;
};

// The pass table, rows 1..count (72, or 32 for a "Halvo ST" unit), up to the first
// row that cannot be built.
StorePlan Pass_Store_Plan(const Configuration &c, int count = PassCount);
// The one 39-byte settings store frame; nothing when a value is no byte.
std::optional<QByteArray> Settings_Frame(const Configuration &c, QString *why = nullptr);
// All 50 location frames, aliases normalised, or none when one cannot be sent.
std::optional<StorePlan> Location_Store_Plan(const Configuration &c, QString *why = nullptr);
// A whole configuration, as halvo-cli restores it: the passes, the settings, the
// locations; every frame or none.
std::optional<StorePlan> Restore_Plan(const Configuration &c, QString *why = nullptr);

// The frame that stores one item as c holds it, with the pause the unit needs after it.
std::optional<PacedFrame> Item_Frame(const Configuration &c, const ItemRef &item, QString *why = nullptr);
// What the operator reads of a frame's item and what the frame carries: `pass 14
// user "Night Porter"`, `the settings`, `location 5 name "Gate West"`.
QString Frame_Description(const PacedFrame &frame);

// Only the items named, in the usual order (passes, the settings, locations) and
// pacing: one pass frame per pass, the settings frame, one location frame per slot.
// Every frame or none.
std::optional<StorePlan> Items_Store_Plan(const Configuration &c, const std::vector<ItemRef> &items,
                                          QString *why = nullptr);

// The items that differ between the operator's configuration and the unit, one per
// pass, location slot or the settings, from the differences field by field.
std::vector<ItemRef> Changed_Items(const std::vector<Difference> &differences);
// What is not stored yet, as Store Selected and restore --changed-only send it: the
// frames of the items that differ from the unit, and no others.
std::optional<StorePlan> Changes_Store_Plan(const Configuration &wanted, const Configuration &unit,
                                            QString *why = nullptr);

} // namespace halvo::config
