#include "configuration.h"

namespace halvo::config {

QString Part_Title(Part part)
{
    switch (part) {
    case Part::Passes:
        return QStringLiteral("Pass Device Configuration ");
    case Part::Settings:
        return QStringLiteral("System Settings");
    case Part::Locations:
        return QStringLiteral("Location Name Configuration");
    case Part::EventLog:
        break;
    }
    return QStringLiteral("Event Recorder/Logger");
}

QString Part_Name(Part part)
{
    switch (part) {
    case Part::Passes:
        return QStringLiteral("pass table");
    case Part::Settings:
        return QStringLiteral("settings");
    case Part::Locations:
        return QStringLiteral("location names");
    case Part::EventLog:
        break;
    }
    return QStringLiteral("event log");
}

QString Part_Replies(Part part)
{
    switch (part) {
    case Part::Passes:
        return QStringLiteral("pass records");
    case Part::Settings:
        return QStringLiteral("settings pages");
    case Part::Locations:
        return QStringLiteral("location names");
    case Part::EventLog:
        break;
    }
    return QStringLiteral("event pages");
}

Configuration::Configuration() : m_notifier(std::make_unique<ConfigurationNotifier>())
{
    for (int r = 1; r <= PassCount; ++r)
        m_d.passes[index(r - 1)] = passes::Default_Pass_Row(r);
    const QString zero = QStringLiteral("0");
    m_d.params.fill(zero);
    for (auto &page : m_d.limits)
        page.fill(zero);
    m_d.priority.Init(m_d.params); // class q's byte is q
    for (int p = 1; p <= PriorityPositions; ++p)
        m_d.captions[index(p)] = settings::Initial_Priority_Caption(p);
    for (int s = 0; s < LocationCount; ++s)
        m_d.aliases[index(s)] = settings::Default_Location_Name(s);
}

Configuration::Configuration(const Configuration &other)
    : m_d(other.m_d), m_notifier(std::make_unique<ConfigurationNotifier>())
{
}

Configuration &Configuration::operator=(const Configuration &other)
{
    if (this == &other)
        return *this;
    m_d = other.m_d;
    for (Part part : StoredParts)
        announce(part);
    return *this;
}

Configuration::~Configuration() = default;

void Configuration::setPassRow(int row, const passes::PassRow &texts)
{
    if (m_d.passes[index(row - 1)] == texts)
        return;
    m_d.passes[index(row - 1)] = texts;
    announce(Part::Passes, row);
}

void Configuration::applyPass(const passes::DecodedPass &pass)
{
    auto &row = m_d.passes[index(pass.row - 1)];
    for (int c : passes::DecodedColumns)
        row[index(c)] = pass.columns[index(c)];
    announce(Part::Passes, pass.row);
}

void Configuration::typeParam(int i, const QString &text)
{
    if (m_d.params[index(i)] == text)
        return;
    m_d.params[index(i)] = text;
    announce(Part::Settings, i);
}

void Configuration::clickSwitch(int i, bool ticked)
{
    m_d.ticked[index(i)] = ticked;
    m_d.params[index(i)] = settings::Switch_Text(ticked);
    announce(Part::Settings, i);
}

void Configuration::setParam(int i, const QString &text)
{
    m_d.params[index(i)] = text;
    if (!settings::Is_Switch(i))
        return;
    const auto s = settings::Apply_Switch(text, m_d.ticked[index(i)]);
    m_d.ticked[index(i)] = s.checked;
    m_d.params[index(i)] = s.text;
}

void Configuration::writeParam(int i, const QString &text)
{
    setParam(i, text);
    announce(Part::Settings, i);
}

settings::ValueCheck Configuration::checkTyped(int i) const
{
    return settings::Check_Config_Value(param(i), limit(Limit::Maximum, i), limit(Limit::Minimum, i),
                                        limit(Limit::Default, i));
}

bool Configuration::applySettingsPage(const settings::SettingsPage &page)
{
    const bool values = page.kind == settings::SettingsPageKind::Values;
    bool ok = true;
    for (int i = 0; i < ParamCount; ++i) {
        const QString text = QString::number(page.bytes[index(i)]);
        if (values)
            setParam(i, text);
        else
            m_d.limits[index(int(page.kind))][index(i)] = text;
    }
    if (values) {
        const auto refresh = m_d.priority.classRefresh(m_d.params);
        for (int p = 1; p <= PriorityPositions; ++p)
            if (const auto &caption = refresh.captions[index(p)])
                m_d.captions[index(p)] = *caption;
        ok = refresh.ok;
    }
    announce(Part::Settings);
    return ok;
}

int Configuration::movePriority(bool up, int selected)
{
    const int now =
        up ? m_d.priority.moveUp(selected, m_d.params) : m_d.priority.moveDown(selected, m_d.params);
    const auto captions = m_d.priority.positionRefresh(m_d.params);
    for (int p = 1; p <= PriorityPositions; ++p)
        if (const auto &caption = captions[index(p)])
            m_d.captions[index(p)] = *caption;
    announce(Part::Settings);
    return now;
}

void Configuration::setAlias(int slot, const QString &text)
{
    if (m_d.aliases[index(slot)] == text)
        return;
    m_d.aliases[index(slot)] = text;
    announce(Part::Locations, slot);
}

void Configuration::normaliseAliases()
{
    for (int s = 0; s < LocationCount; ++s)
        setAlias(s, settings::Normalise_Alias(alias(s)));
}

} // namespace halvo::config
