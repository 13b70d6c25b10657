#include "differences.h"

namespace halvo::config {

namespace {
using namespace passes;

QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}
} // namespace

std::vector<Difference> Differences(const Configuration &first, const Configuration &second)
{
    std::vector<Difference> out;
    for (int r = 1; r <= PassCount; ++r) {
        const PassRow &a = first.passRow(r), &b = second.passRow(r);
        for (int c = ColUserName; c <= ColOptionFlags; ++c)
            if (Sent_Form(c, a) != Sent_Form(c, b))
                out.push_back({Part::Passes, r, c, a[static_cast<size_t>(c)], b[static_cast<size_t>(c)]});
    }
    for (int i = 0; i < ParamCount; ++i)
        if (settings::Param_Value(first.param(i)) != settings::Param_Value(second.param(i)))
            out.push_back({Part::Settings, i, 0, first.param(i), second.param(i)});
    for (int s = 0; s < LocationCount; ++s)
        if (settings::Normalise_Alias(first.alias(s)) != settings::Normalise_Alias(second.alias(s)))
            out.push_back({Part::Locations, s, 0, first.alias(s), second.alias(s)});
    return out;
}

std::vector<ItemDifferences> By_Item(const std::vector<Difference> &differences)
{
    std::vector<ItemDifferences> out;
    for (const Difference &d : differences) {
        const int index = d.part == Part::Settings ? 0 : d.index;
        if (out.empty() || out.back().part != d.part || out.back().index != index)
            out.push_back({d.part, index, {}});
        out.back().fields.push_back(d);
    }
    return out;
}

std::vector<ItemRef> Items_Read_Differently(const Configuration &first, const Configuration &second,
                                            Part part)
{
    std::vector<ItemRef> out;
    switch (part) {
    case Part::Passes:
        for (int r = 1; r <= PassCount; ++r)
            if (first.passRow(r) != second.passRow(r))
                out.push_back({part, r});
        break;
    case Part::Settings: {
        bool same = first.params() == second.params();
        for (Limit l : {Limit::Maximum, Limit::Minimum, Limit::Default})
            for (int i = 0; i < ParamCount; ++i)
                same = same && first.limit(l, i) == second.limit(l, i);
        if (!same)
            out.push_back({part, 0});
        break;
    }
    case Part::Locations:
        for (int s = 0; s < LocationCount; ++s)
            if (first.alias(s) != second.alias(s))
                out.push_back({part, s});
        break;
    case Part::EventLog:
        break;
    }
    return out;
}

QString Item_Name(Part part, int index)
{
    switch (part) {
    case Part::Passes:
        return QStringLiteral("pass %1").arg(index);
    case Part::Settings:
        return QStringLiteral("settings");
    case Part::Locations:
    case Part::EventLog:
        break;
    }
    return QStringLiteral("location ") + settings::Location_Code_Caption(index);
}

QString Field_Label(const Difference &d)
{
    switch (d.part) {
    case Part::Passes:
        return Column_Headers().at(d.column);
    case Part::Settings:
        return settings::Param_Description(d.index);
    case Part::Locations:
    case Part::EventLog:
        break;
    }
    return QStringLiteral("alias");
}

QString Field_Name(const Difference &d)
{
    switch (d.part) {
    case Part::Passes:
        return QStringLiteral("pass %1 %2").arg(d.index).arg(Column_Headers().at(d.column));
    case Part::Settings:
        return QStringLiteral("setting ") + settings::Param_Description(d.index);
    case Part::Locations:
    case Part::EventLog:
        break;
    }
    return QStringLiteral("location ") + settings::Location_Code_Caption(d.index);
}

std::pair<QString, QString> Difference_Texts(const Difference &d)
{
    QString a = d.first, b = d.second;
    if (d.part == Part::Locations) {
        a = quoted(settings::Normalise_Alias(a));
        b = quoted(settings::Normalise_Alias(b));
    } else if (d.part == Part::Passes && d.column == ColUserName) {
        a = quoted(a.left(16));
        b = quoted(b.left(16));
    }
    return {a, b};
}

QString Difference_Values(const Difference &d, const QString &firstName, const QString &secondName)
{
    const auto [a, b] = Difference_Texts(d);
    return QStringLiteral("%1 %2, %3 %4").arg(firstName, a, secondName, b);
}

QString Difference_Line(const Difference &d, const QString &firstName, const QString &secondName)
{
    return Field_Name(d) + QStringLiteral(": ") + Difference_Values(d, firstName, secondName);
}

} // namespace halvo::config
