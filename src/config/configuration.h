#pragma once

#include "configuration_notifier.h"
#include "passes/pass_codec.h"
#include "settings/config_params.h"
#include "settings/display_priority.h"
#include "settings/locations.h"

#include <QString>

#include <array>
#include <memory>

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
// here once. Every change made through it is announced by its notifier, so views
// follow it. A copy takes the data, not the listeners; assigning one configuration
// to another announces every part of it as changed.
class Configuration
{
public:
    Configuration();
    Configuration(const Configuration &other);
    Configuration &operator=(const Configuration &other);
    ~Configuration();
    const ConfigurationNotifier *notifier() const { return m_notifier.get(); }

    // ---- pass table: rows 1..72 of 13 text columns
    const passes::PassRow &passRow(int row) const { return m_d.passes[index(row - 1)]; }
    void setPassRow(int row, const passes::PassRow &texts);
    // A pass record from the unit or a file: columns 1..9 and 12 of its row.
    void applyPass(const passes::DecodedPass &pass);

    // ---- config parameters 0..31, their limits, and the switches' boxes
    const QString &param(int i) const { return m_d.params[index(i)]; }
    const settings::ParamTexts &params() const { return m_d.params; }
    bool ticked(int i) const { return m_d.ticked[index(i)]; }
    const QString &limit(Limit which, int i) const { return m_d.limits[index(int(which))][index(i)]; }
    // What the operator typed; a switch's box stays as it is.
    void typeParam(int i, const QString &text);
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
    const QString &priorityCaption(int position) const { return m_d.captions[index(position)]; }
    // The parameter whose byte Up and Down exchange for a position.
    int priorityParam(int position) const { return m_d.priority.positionParam(position); }
    // Up or Down from the selected position (0: none); returns the new selection.
    int movePriority(bool up, int selected);

    // ---- location aliases, slots 0..49
    const QString &alias(int slot) const { return m_d.aliases[index(slot)]; }
    void setAlias(int slot, const QString &text);
    // Every alias cut or padded to 16 characters, as leaving its field does.
    void normaliseAliases();

private:
    static size_t index(int i) { return static_cast<size_t>(i); }
    void setParam(int i, const QString &text); // the switch rule, unannounced
    void announce(Part part, int index = -1) const { emit m_notifier->changed({part, index}); }

    struct Data
    {
        std::array<passes::PassRow, PassCount> passes;
        settings::ParamTexts params;
        std::array<bool, ParamCount> ticked{};
        std::array<settings::ParamTexts, 3> limits;
        settings::DisplayPriority priority;
        std::array<QString, PriorityPositions + 1> captions; // positions 1..6
        std::array<QString, LocationCount> aliases;
    } m_d;
    std::unique_ptr<ConfigurationNotifier> m_notifier;
};

} // namespace halvo::config
