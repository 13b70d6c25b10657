#include "display_priority.h"

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
} // namespace

QString Priority_Class_Name(int q)
{
    return q >= 0 && q <= 7 ? QString::fromLatin1(ClassNames[q]) : QString();
}

QString Initial_Priority_Caption(int p)
{
    return p == PriorityPositions ? QStringLiteral("Not Active") : Priority_Class_Name(p);
}

} // namespace halvo::settings
