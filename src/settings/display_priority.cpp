#include "display_priority.h"

#include <utility>

namespace halvo::settings {

namespace {
const char *const ClassNames[8] = {"",
                                   "Alarm Priority",
                                   "EVAC Display Priority",
                                   "Signal Timeout Priority",
                                   "Pass Device On Priority",
                                   "Pass Device Off Priority",
                                   "No Pass Data Priority",
                                   ""};

const QString &valueOf(const ParamTexts &values, int param)
{
    return values[static_cast<size_t>(param)];
}
} // namespace

QString Priority_Class_Name(int q)
{
    return q >= 0 && q <= 7 ? QString::fromLatin1(ClassNames[q]) : QString();
}

QString Initial_Priority_Caption(int p)
{
    return p == PriorityPositions ? QStringLiteral("Not Active") : Priority_Class_Name(p);
}

void DisplayPriority::Init(ParamTexts &values)
{
    m_positionParam = Priority_Class_Param;
    for (int q = 1; q <= PriorityPositions; ++q)
        values[static_cast<size_t>(Priority_Class_Param[static_cast<size_t>(q)])] = QString::number(q);
}

int DisplayPriority::move(int selected, int target, ParamTexts &values)
{
    const auto s = static_cast<size_t>(selected), t = static_cast<size_t>(target);
    std::swap(values[static_cast<size_t>(m_positionParam[s])],
              values[static_cast<size_t>(m_positionParam[t])]);
    std::swap(m_positionParam[s], m_positionParam[t]);
    return target;
}

int DisplayPriority::moveUp(int selected, ParamTexts &values)
{
    return selected >= 3 && selected <= 5 ? move(selected, selected - 1, values) : selected;
}

int DisplayPriority::moveDown(int selected, ParamTexts &values)
{
    return selected >= 2 && selected <= 4 ? move(selected, selected + 1, values) : selected;
}

DisplayPriority::Captions DisplayPriority::positionRefresh(const ParamTexts &values) const
{
    Captions c;
    for (int p = 1; p <= PriorityPositions; ++p)
        for (int q = 1; q <= PriorityPositions; ++q)
            if (Numeric_Value(valueOf(values, Priority_Class_Param[static_cast<size_t>(q)])) == p)
                c[static_cast<size_t>(p)] = Priority_Class_Name(q);
    return c;
}

DisplayPriority::ClassRefresh DisplayPriority::classRefresh(const ParamTexts &values) const
{
    ClassRefresh r;
    for (int p = 1; p <= PriorityPositions; ++p) {
        const int v = Numeric_Value(valueOf(values, Priority_Class_Param[static_cast<size_t>(p)]));
        if (v < 0 || v > 7) {
            r.ok = false;
            break;
        }
        r.captions[static_cast<size_t>(p)] = Priority_Class_Name(v);
    }
    return r;
}

} // namespace halvo::settings
