#include "event_requests.h"

#include "base/field_text.h"
#include "link/frame.h"

#include <algorithm>

namespace halvo::eventlog {

QByteArray Build_Pointer_Request()
{
    return link::Build_Short_Request(link::Cmd::ReadEventLogPointer);
}

QByteArray Build_Clear_Request()
{
    return link::Build_Short_Request(link::Cmd::ClearEventLog);
}

int First_Page(int start, int count)
{
    if (start <= count)
        start += RingPages;
    return start - count;
}

std::optional<QByteArray> Build_Page_Request(int firstPage, int count)
{
    if (firstPage < 0 || firstPage > 32767 || count < 0 || count > 255)
        return std::nullopt;
    QByteArray payload;
    payload.append(static_cast<char>(firstPage / 256))
        .append(static_cast<char>((firstPage / 16) % 16))
        .append(static_cast<char>(firstPage % 16))
        .append(static_cast<char>(count));
    return link::Build_Request_Frame(link::Cmd::ReadEventLogPages, payload);
}

std::optional<int> Decode_Event_Log_Pointer(const QByteArray &reply)
{
    if (reply.size() < 5)
        return std::nullopt;
    auto byte = [&](int i) { return static_cast<int>(static_cast<quint8>(reply.at(i))); };
    const int value = byte(2) * 256 + byte(3) * 16 + byte(4);
    if (value > 32767)
        return std::nullopt;
    return value > 0 ? value - 1 : 0;
}

bool Page_Count_Ok(const QString &text)
{
    const auto v = base::Round_Int16(text);
    return v && *v > 0 && *v < RingPages;
}

QByteArray Build_Clock_Request(const QDateTime &now)
{
    // " MM/dd/yy HH:mm:ss:", one clock reading for every field.
    return link::Build_Request_Frame(link::Cmd::SetClock,
                                     now.toString(QStringLiteral(" MM/dd/yy HH:mm:ss:")).toLatin1());
}

QString About_Time(qint64 ms)
{
    const qint64 s = (std::max<qint64>(ms, 0) + 500) / 1000;
    if (s >= 3600)
        return QStringLiteral("about %1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
    if (s >= 60)
        return QStringLiteral("about %1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("about %1 s").arg(s);
}

} // namespace halvo::eventlog
