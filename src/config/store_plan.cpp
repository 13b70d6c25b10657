#include "store_plan.h"

namespace halvo::config {

StorePlan Pass_Store_Plan(const Configuration &c, int count)
{
    StorePlan plan;
    for (int i = 0; i < count; ++i) {
        const auto frame = passes::Build_Pass_Frame(i, c.passRow(i + 1), &plan.stopsShort);
        if (!frame)
            break;
        plan.frames.push_back({*frame, PassFramePauseMs});
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
        plan.frames.push_back({*frame, LocationFramePauseMs});
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
    plan.frames.push_back({*settingsFrame, 0});
    plan.frames.insert(plan.frames.end(), locations->frames.begin(), locations->frames.end());
    return plan;
}

} // namespace halvo::config
