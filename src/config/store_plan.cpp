#include "store_plan.h"

#include "base/field_text.h"

#include <algorithm>

namespace halvo::config {

StorePlan Pass_Store_Plan(const Configuration &c, int count)
{
    StorePlan plan;
    for (int i = 0; i < count; ++i) {
        const auto frame = passes::Build_Pass_Frame(i, c.passRow(i + 1), &plan.stopsShort);
        if (!frame)
            break;
        plan.frames.push_back({*frame, PassFramePauseMs, ItemRef{Part::Passes, i + 1}});
    }
    return plan;
}

std::optional<QByteArray> Settings_Frame(const Configuration &c, QString *why)
{
    return settings::Build_Config_Frame(c.params(), why);
}

std::optional<StorePlan> Location_Store_Plan(const Configuration &c, QString *why)
{
    StorePlan plan;
    for (int slot = 0; slot < LocationCount; ++slot) {
        const auto frame = settings::Build_Location_Name_Frame(slot, c.alias(slot), why);
        if (!frame)
            return std::nullopt;
        plan.frames.push_back({*frame, LocationFramePauseMs, ItemRef{Part::Locations, slot}});
    }
    return plan;
}

std::optional<StorePlan> Restore_Plan(const Configuration &c, QString *why)
{
    StorePlan plan = Pass_Store_Plan(c);
    if (!plan.stopsShort.isEmpty()) {
        if (why)
            *why = plan.stopsShort;
        return std::nullopt;
    }
    const auto settingsFrame = Settings_Frame(c, why);
    const auto locations = settingsFrame ? Location_Store_Plan(c, why) : std::nullopt;
    if (!locations)
        return std::nullopt;
    plan.frames.push_back({*settingsFrame, 0, ItemRef{Part::Settings, 0}});
    plan.frames.insert(plan.frames.end(), locations->frames.begin(), locations->frames.end());
    return plan;
}

std::optional<PacedFrame> Item_Frame(const Configuration &c, const ItemRef &item, QString *why)
{
    std::optional<QByteArray> frame;
    int pause = 0;
    switch (item.part) {
    case Part::Passes:
        frame = passes::Build_Pass_Frame(item.index - 1, c.passRow(item.index), why);
        pause = PassFramePauseMs;
        break;
    case Part::Settings:
        frame = Settings_Frame(c, why);
        break;
    case Part::Locations:
        frame = settings::Build_Location_Name_Frame(item.index, c.alias(item.index), why);
        pause = LocationFramePauseMs;
        break;
    case Part::EventLog:
        break;
    }
    if (!frame)
        return std::nullopt;
    return PacedFrame{*frame, pause, item};
}

QString Frame_Description(const PacedFrame &frame)
{
    // A pass frame and a location frame both carry the 16-character name from byte 5.
    const QString name =
        QLatin1Char('"') + base::From_Single_Byte(frame.bytes.mid(5, 16)).trimmed() + QLatin1Char('"');
    if (!frame.item)
        return QStringLiteral("a frame");
    switch (frame.item->part) {
    case Part::Passes:
        return QStringLiteral("pass %1 user %2").arg(frame.item->index).arg(name);
    case Part::Settings:
        return QStringLiteral("the settings");
    case Part::Locations:
        return QStringLiteral("location %1 name %2").arg(frame.item->index + 1).arg(name);
    case Part::EventLog:
        break;
    }
    return {};
}

std::optional<StorePlan> Items_Store_Plan(const Configuration &c, const std::vector<ItemRef> &items,
                                          QString *why)
{
    std::vector<ItemRef> sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(), [](const ItemRef &a, const ItemRef &b) {
        return a.part != b.part ? a.part < b.part : a.index < b.index; // passes, settings, locations
    });
    StorePlan plan;
    for (const ItemRef &r : sorted) {
        auto frame = Item_Frame(c, r, why);
        if (!frame)
            return std::nullopt;
        plan.frames.push_back(std::move(*frame));
    }
    return plan;
}

std::vector<ItemRef> Changed_Items(const std::vector<Difference> &differences)
{
    std::vector<ItemRef> items;
    for (const ItemDifferences &i : By_Item(differences))
        items.push_back({i.part, i.index});
    return items;
}

std::optional<StorePlan> Changes_Store_Plan(const Configuration &wanted, const Configuration &unit,
                                            QString *why)
{
    return Items_Store_Plan(wanted, Changed_Items(Differences(wanted, unit)), why);
}

} // namespace halvo::config
