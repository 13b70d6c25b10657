#include "win_serial_rules.h"

#include <QRegularExpression>

#include <algorithm>

namespace halvo::port::win {

LineSettings Unit_Line()
{
    return {};
}

Timeouts Reads_Wait_For_Their_Bytes()
{
    return {};
}

quint32 Bytes_To_Take(quint32 inQueue, quint32 bufferSize)
{
    return std::min(inQueue, bufferSize);
}

QString Device_Path(const QString &port)
{
    static const QString prefix = QStringLiteral("\\\\.\\");
    return port.startsWith(prefix) ? port : prefix + port;
}

int Com_Number(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM([1-9][0-9]{0,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(name);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

Link::OpenError Open_Error(quint32 code)
{
    switch (code) {
    case ErrorAccessDenied:
    case ErrorSharingViolation:
        return Link::OpenError::Busy;
    case ErrorFileNotFound:
    case ErrorPathNotFound:
    case ErrorDeviceNotConnected:
        return Link::OpenError::NotFound;
    default:
        return Link::OpenError::Other;
    }
}

qint64 Bytes_Not_Out(bool writePending, qint64 frameBytes, quint32 outQueue)
{
    return writePending ? std::max<qint64>(frameBytes, outQueue) : outQueue;
}

QString Error_Text(quint32 code, const QString &systemText)
{
    const QString text = systemText.trimmed();
    return (text.isEmpty() ? QStringLiteral("system error") : text) + QStringLiteral(" (%1)").arg(code);
}

} // namespace halvo::port::win
