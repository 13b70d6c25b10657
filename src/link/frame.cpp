#include "frame.h"

#include "base/field_text.h"

#include "logging.h"

Q_LOGGING_CATEGORY(lcLink, "halvo.link", QtWarningMsg)

namespace halvo::link {

QByteArray Build_Request_Frame(quint8 code, const QByteArray &payload)
{
    const QByteArray body = payload.isEmpty() ? QByteArray(1, '\0') : payload;
    if (body.size() > MaxRequestPayload) {
        qCInfo(lcLink) << "a request payload of" << body.size() << "bytes does not fit the request buffer";
        return {};
    }
    QByteArray frame;
    frame.reserve(body.size() + 7);
    frame.append(FrameStart);
    frame.append(static_cast<char>(code));
    frame.append('\0');
    frame.append(static_cast<char>(3 + body.size()));
    frame.append(body);
    frame.append(static_cast<char>(base::Sum_Of_Bytes(frame)));
    frame.append(LF);
    frame.append(CR);
    return frame;
}

QByteArray Build_Short_Request(quint8 code)
{
    return Build_Request_Frame(code, QByteArray(1, '\0'));
}

} // namespace halvo::link
