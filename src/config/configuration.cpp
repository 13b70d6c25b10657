#include "configuration.h"

namespace halvo::config {

Configuration::Configuration()
{
    for (int r = 1; r <= PassCount; ++r)
        m_passes[index(r - 1)] = passes::Default_Pass_Row(r);
    const QString zero = QStringLiteral("0");
    m_params.fill(zero);
    for (auto &page : m_limits)
        page.fill(zero);
    m_priority.Init(m_params); // class q's byte is q
    for (int p = 1; p <= PriorityPositions; ++p)
        m_captions[index(p)] = settings::Initial_Priority_Caption(p);
    for (int s = 0; s < LocationCount; ++s)
        m_aliases[index(s)] = settings::Default_Location_Name(s);
}

void Configuration::applyPass(const passes::DecodedPass &pass)
{
    auto &row = m_passes[index(pass.row - 1)];
    for (int c : passes::DecodedColumns)
        row[index(c)] = pass.columns[index(c)];
}

void Configuration::clickSwitch(int i, bool ticked)
{
    m_ticked[index(i)] = ticked;
    m_params[index(i)] = settings::Switch_Text(ticked);
}

void Configuration::writeParam(int i, const QString &text)
{
    m_params[index(i)] = text;
    if (!settings::Is_Switch(i))
        return;
    const auto s = settings::Apply_Switch(text, m_ticked[index(i)]);
    m_ticked[index(i)] = s.checked;
    m_params[index(i)] = s.text;
}

settings::ValueCheck Configuration::checkTyped(int i) const
{
    return settings::Check_Config_Value(param(i), limit(Limit::Maximum, i), limit(Limit::Minimum, i),
                                        limit(Limit::Default, i));
}

bool Configuration::applySettingsPage(const settings::SettingsPage &page)
{
    for (int i = 0; i < ParamCount; ++i) {
        const QString text = QString::number(page.bytes[index(i)]);
        if (page.kind == settings::SettingsPageKind::Values)
            writeParam(i, text);
        else
            m_limits[index(int(page.kind))][index(i)] = text;
    }
    if (page.kind != settings::SettingsPageKind::Values)
        return true;
    const auto refresh = m_priority.Class_Refresh(m_params);
    for (int p = 1; p <= PriorityPositions; ++p)
        if (const auto &caption = refresh.captions[index(p)])
            m_captions[index(p)] = *caption;
    return refresh.ok;
}

int Configuration::movePriority(bool up, int selected)
{
    const int now = up ? m_priority.Move_Up(selected, m_params) : m_priority.Move_Down(selected, m_params);
    const auto captions = m_priority.Position_Refresh(m_params);
    for (int p = 1; p <= PriorityPositions; ++p)
        if (const auto &caption = captions[index(p)])
            m_captions[index(p)] = *caption;
    return now;
}

} // namespace halvo::config
