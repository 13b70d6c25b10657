#include "unit_image.h"

#include "logging.h"

#include <algorithm>

namespace halvo::session {

using config::Part;

int UnitImage::Expected(Part part)
{
    switch (part) {
    case Part::Passes:
        return config::PassCount;
    case Part::Settings:
        return 4; // maxima, minima, defaults, values
    case Part::Locations:
        return config::LocationCount;
    case Part::EventLog:
        break;
    }
    return 0;
}

bool UnitImage::anyRead() const
{
    return std::any_of(m_read.begin(), m_read.end(), [](bool r) { return r; });
}

int UnitImage::arrived(Part part) const
{
    const auto &a = m_arrived[slot(part)];
    return static_cast<int>(std::count(a.begin(), a.end(), true));
}

bool UnitImage::hasArrived(Part part, int item) const
{
    const auto &a = m_arrived[slot(part)];
    return item >= 0 && static_cast<size_t>(item) < a.size() && a[static_cast<size_t>(item)];
}

QStringList UnitImage::missing(Part part) const
{
    static const char *const pages[] = {"maxima", "minima", "defaults", "values"};
    QStringList out;
    const auto &a = m_arrived[slot(part)];
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i])
            continue;
        const int n = static_cast<int>(i);
        out << (part == Part::Passes     ? QStringLiteral("pass %1").arg(n + 1)
                : part == Part::Settings ? QString::fromLatin1(pages[i])
                                         : settings::Location_Code_Caption(n));
    }
    return out;
}

void UnitImage::startRead(Part part, bool readBack)
{
    auto &a = m_arrived[slot(part)];
    std::fill(a.begin(), a.end(), false);
    m_readingBack[slot(part)] = readBack;
}

void UnitImage::passArrived(const passes::DecodedPass &pass)
{
    m_staging.applyPass(pass);
    markArrived(Part::Passes, pass.row - 1);
}

void UnitImage::locationArrived(int s, const QString &alias)
{
    m_staging.setAlias(s, alias);
    markArrived(Part::Locations, s);
}

void UnitImage::settingsPageArrived(const settings::SettingsPage &page)
{
    if (page.kind == settings::SettingsPageKind::Values) {
        // The image holds the unit's bytes as they are, without the boxes' rule.
        for (int i = 0; i < config::ParamCount; ++i)
            m_staging.typeParam(i, QString::number(page.bytes[static_cast<size_t>(i)]));
        takes(Part::Settings, m_staging); // the values page is taken as it comes
    } else {
        m_staging.applySettingsPage(page); // the limits, for comparing one read with the next
    }
    markArrived(Part::Settings, int(page.kind));
}

void UnitImage::markArrived(Part part, int item)
{
    auto &a = m_arrived[slot(part)];
    if (a[static_cast<size_t>(item)])
        return;
    a[static_cast<size_t>(item)] = true;
    if (arrived(part) == Expected(part)) {
        if (part != Part::Settings)
            takes(part, m_staging);
        qCInfo(lcSession).noquote() << QStringLiteral("read in full: %1, %2 replies")
                                           .arg(config::Part_Title(part).trimmed())
                                           .arg(Expected(part));
        emit readComplete(part);
    }
    emit replyArrived(part); // after the image has taken a whole part
}

void UnitImage::takes(Part part, const config::Configuration &from)
{
    switch (part) {
    case Part::Passes:
        for (int r = 1; r <= config::PassCount; ++r)
            m_unit.setPassRow(r, from.passRow(r));
        break;
    case Part::Settings:
        for (int i = 0; i < config::ParamCount; ++i)
            m_unit.typeParam(i, from.param(i));
        break;
    case Part::Locations:
        for (int s = 0; s < config::LocationCount; ++s)
            m_unit.setAlias(s, settings::Normalise_Alias(from.alias(s)));
        break;
    case Part::EventLog:
        return;
    }
    m_read[slot(part)] = true;
    m_readingBack[slot(part)] = false;
    emit changed(part);
}

} // namespace halvo::session
