#include "locations.h"

namespace halvo::settings {

QString Default_Location_Name(int slot)
{
    return (QStringLiteral("Location Name ") + QString::number(slot + 1)).leftJustified(AliasLength, ' ');
}

QString Location_Code_Caption(int slot)
{
    const int code = slot + 1;
    return QStringLiteral("0x") + QString::number(code / 16) + QString::number(code % 16, 16).toUpper();
}

} // namespace halvo::settings
