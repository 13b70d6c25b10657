#include "win_serial_rules.h"

#include <QRegularExpression>

namespace halvo::port::win {

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

bool Held_Elsewhere(unsigned long systemError)
{
    constexpr unsigned long AccessDenied = 5, SharingViolation = 32;
    return systemError == AccessDenied || systemError == SharingViolation;
}

} // namespace halvo::port::win
