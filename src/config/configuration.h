#pragma once

#include "passes/pass_codec.h"
#include "settings/config_params.h"
#include "settings/display_priority.h"
#include "settings/locations.h"

#include <QString>

#include <array>

namespace halvo::config {

inline constexpr int PassCount = passes::PassCount;
inline constexpr int HalvoStPassCount = passes::HalvoStPassCount;
inline constexpr int ParamCount = settings::ParamCount;
inline constexpr int LocationCount = settings::LocationCount;
inline constexpr int PriorityPositions = settings::PriorityPositions;

// The three pages of limits the unit sends with its values.
enum class Limit { Maximum = 0, Minimum = 1, Default = 2 };

// The operator's data: everything the tool reads from a unit, lets the operator edit
// and stores back, held as the texts its fields show. A new Configuration is what
// the tool starts with. The window, halvo-cli and the data file all work on it; the
// rules of the unit's data (the switch rule, the priority list, the limits) live
// here once.
class Configuration
{
public:
    Configuration();

    // ---- pass table: rows 1..72 of 13 text columns
    const passes::PassRow &passRow(int row) const { return m_passes[index(row - 1)]; }
    void setPassRow(int row, const passes::PassRow &texts) { m_passes[index(row - 1)] = texts; }
    // A pass record from the unit or a file: columns 1..9 and 12 of its row.
    void applyPass(const passes::DecodedPass &pass);

    // ---- config parameters 0..31, their limits, and the switches' boxes
    const QString &param(int i) const { return m_params[index(i)]; }
    const settings::ParamTexts &params() const { return m_params; }
    bool ticked(int i) const { return m_ticked[index(i)]; }
    const QString &limit(Limit which, int i) const { return m_limits[index(int(which))][index(i)]; }
    // What the operator typed; a switch's box stays as it is.
    void typeParam(int i, const QString &text) { m_params[index(i)] = text; }
    // The operator ticks or clears a switch's box: its value becomes "1" or "0".
    void clickSwitch(int i, bool ticked);
    // A value from the unit or a file: a switch's box follows it (see Apply_Switch).
    void writeParam(int i, const QString &text);
    // The typed value checked against the parameter's limits.
    settings::ValueCheck checkTyped(int i) const;
    // One settings page fills its target; after a value page the priority captions
    // follow the bytes. False when a byte names no class (8 or more): the captions
    // before it are refreshed, and every value is written all the same.
    bool applySettingsPage(const settings::SettingsPage &page);

    // ---- the display priority list, positions 1..6
    const QString &priorityCaption(int position) const { return m_captions[index(position)]; }
    // The parameter whose byte Up and Down exchange for a position.
    int priorityParam(int position) const { return m_priority.positionParam(position); }
    // Up or Down from the selected position (0: none); returns the new selection.
    int movePriority(bool up, int selected);

    // ---- location aliases, slots 0..49
    const QString &alias(int slot) const { return m_aliases[index(slot)]; }
    void setAlias(int slot, const QString &text) { m_aliases[index(slot)] = text; }

private:
    static size_t index(int i) { return static_cast<size_t>(i); }

    std::array<passes::PassRow, PassCount> m_passes;
    settings::ParamTexts m_params;
    std::array<bool, ParamCount> m_ticked{};
    std::array<settings::ParamTexts, 3> m_limits;
    settings::DisplayPriority m_priority;
    std::array<QString, PriorityPositions + 1> m_captions; // positions 1..6
    std::array<QString, LocationCount> m_aliases;
};

} // namespace halvo::config
