#include "locations.h"

#include "base/field_text.h"
#include "link/frame.h"

namespace halvo::settings {

QString Default_Location_Name(int slot)
{
    return Normalise_Alias(QStringLiteral("Location Name ") + QString::number(slot + 1));
}

QString Location_Code_Caption(int slot)
{
    return QStringLiteral("0x") + QString::fromLatin1(base::Byte_To_Hex(slot + 1));
}

QString Normalise_Alias(const QString &text)
{
    return text.left(AliasLength).leftJustified(AliasLength, QLatin1Char(' '));
}

std::optional<QByteArray> Build_Location_Name_Frame(int slot, const QString &alias, QString *error)
{
    const auto name = base::To_Single_Byte(Normalise_Alias(alias));
    if (!name || slot < 0 || slot >= LocationCount) {
        if (error)
            *error = QStringLiteral("location %1 name \"%2\" holds a character the unit cannot show")
                         .arg(slot + 1)
                         .arg(alias);
        return std::nullopt;
    }
    QByteArray payload(1, static_cast<char>(slot));
    payload += *name;
    payload += "1234567890123456789";
    return link::Build_Request_Frame(link::Cmd::StoreLocation, payload);
}

std::optional<LocationReply> Decode_Location_Reply(const QByteArray &reply)
{
    if (reply.size() < 4 + AliasLength)
        return std::nullopt;
    const int slot = (static_cast<quint8>(reply.at(2)) - 48) * 10 + (static_cast<quint8>(reply.at(3)) - 48);
    if (slot < 0 || slot >= LocationCount)
        return std::nullopt;
    return LocationReply{slot, base::From_Single_Byte(reply.mid(4, AliasLength))};
}

} // namespace halvo::settings
